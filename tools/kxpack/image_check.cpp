#include "tools/kxpack/image_check.h"

#include <cstdio>

#include "tools/kxpack/file_io.h"
#include "tools/kxpack/pe_image.h"

namespace kxpack {

bool CheckImage(const std::string &path, ImageCheck *out, std::string *why) {
  std::FILE *f = std::fopen(path.c_str(), "rb");
  if (!f) {
    *why = "cannot open " + path;
    return false;
  }
  out->imageLength = FileSize(f);
  if (out->imageLength < 0) {
    std::fclose(f);
    *why = "cannot read " + path;
    return false;
  }
  // The headers and the section table lie within the first 64 KiB of any image we build.
  std::string head(static_cast<std::size_t>(out->imageLength < 65536 ? out->imageLength : 65536),
                   '\0');
  bool read = SeekTo(f, 0) && std::fread(&head[0], 1, head.size(), f) == head.size();
  std::fclose(f);
  if (!read) {
    *why = "cannot read " + path;
    return false;
  }
  PeLayout pe;
  if (!ParsePe(head, &pe, why)) {
    *why = path + " is not a PE image: " + *why;
    return false;
  }
  out->stamp =
      kx::DecodeStamp(reinterpret_cast<const unsigned char *>(head.data()) + kx::kStampOffset);
  out->complete = kx::PayloadFits(out->stamp, out->imageLength);
  return true;
}

}  // namespace kxpack
