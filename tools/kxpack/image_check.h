// Reading an image's stamp and checking that its payload is all there.
#pragma once
#include <cstdint>
#include <string>

#include "base/stamp.h"

namespace kxpack {

struct ImageCheck {
  kx::StampRecord stamp;
  std::int64_t imageLength = 0;
  bool complete = false;  // the payload lies wholly inside the file, as the program checks it
};

// False with a reason when the file cannot be read or is not a PE image.
bool CheckImage(const std::string &path, ImageCheck *out, std::string *why);

}  // namespace kxpack
