// Just enough of the PE format to tell where an image's own bytes end.
#pragma once
#include <cstdint>
#include <string>

namespace kxpack {

struct PeLayout {
  std::uint32_t peHeaderOffset = 0;  // the DOS header's pointer at 0x3C
  std::int64_t imageEnd = 0;         // end of the last section's raw data (or of the COFF symbols)
  std::uint32_t certTableSize = 0;   // size in the security directory; nonzero once signed
};

// Parses the headers at the start of data (the whole file or at least its headers plus the
// section table). False with a reason when it is not a PE image.
bool ParsePe(const std::string &data, PeLayout *out, std::string *why);

}  // namespace kxpack
