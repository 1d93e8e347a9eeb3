// CRC-32: the fast paths (tables, carry-less multiplication where the processor has it)
// against the bit-at-a-time definition, over many lengths, alignments and split points.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "arj/crc32.h"

namespace {

std::uint32_t BitwiseUpdate(std::uint32_t crc, const std::uint8_t *p, std::size_t n) {
  while (n--) {
    crc ^= *p++;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return crc;
}

TEST(ArjCrc32, KnownValue) {
  EXPECT_EQ(arj::Crc32("123456789", 9), 0xCBF43926u);
  EXPECT_EQ(arj::Crc32("", 0), 0u);
}

TEST(ArjCrc32, MatchesTheDefinitionAtEveryLengthAndAlignment) {
  std::vector<std::uint8_t> data(70000);
  std::uint32_t seed = 99;
  for (auto &b : data) {
    seed = seed * 1664525u + 1013904223u;
    b = static_cast<std::uint8_t>(seed >> 24);
  }
  int mismatches = 0;
  for (std::size_t n = 0; n < 2100; ++n) {
    const std::size_t offset = n % 61;
    const std::uint32_t start = 0xFFFFFFFFu ^ static_cast<std::uint32_t>(n * 2654435761u);
    if (arj::Crc32Update(start, data.data() + offset, n) !=
        BitwiseUpdate(start, data.data() + offset, n)) {
      ++mismatches;
    }
  }
  EXPECT_EQ(mismatches, 0);
  // Long blocks, whole and in uneven pieces.
  const std::uint32_t whole = BitwiseUpdate(0xFFFFFFFFu, data.data() + 3, data.size() - 3);
  EXPECT_EQ(arj::Crc32Update(0xFFFFFFFFu, data.data() + 3, data.size() - 3), whole);
  std::uint32_t pieces = 0xFFFFFFFFu;
  std::size_t at = 3;
  for (std::size_t step : {1u, 255u, 256u, 1023u, 1024u, 4097u, 17u, 30000u}) {
    pieces = arj::Crc32Update(pieces, data.data() + at, step);
    at += step;
  }
  pieces = arj::Crc32Update(pieces, data.data() + at, data.size() - at);
  EXPECT_EQ(pieces, whole);
}

}  // namespace
