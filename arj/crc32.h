// CRC-32 of IEEE 802.3 (reflected polynomial 0xEDB88320). Portable.
#pragma once
#include <cstddef>
#include <cstdint>

namespace arj {

// Feeds n bytes into a running CRC (start with 0xFFFFFFFF, complement at the end).
std::uint32_t Crc32Update(std::uint32_t crc, const void *data, std::size_t n);

// The finished CRC-32 of a block.
inline std::uint32_t Crc32(const void *data, std::size_t n) {
  return ~Crc32Update(0xFFFFFFFFu, data, n);
}

}  // namespace arj
