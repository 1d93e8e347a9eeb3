#include "arj/crc32.h"

namespace arj {

// Bitwise placeholder; the engine brings the table-driven version.
std::uint32_t Crc32Update(std::uint32_t crc, const void *data, std::size_t n) {
  const unsigned char *p = static_cast<const unsigned char *>(data);
  while (n--) {
    crc ^= *p++;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return crc;
}

}  // namespace arj
