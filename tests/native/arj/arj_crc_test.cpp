// CRC-32: every kernel (tables, carry-less multiplication in 128 and 512 bits), each forced
// in turn wherever the processor has it, against the bit-at-a-time definition, over many
// lengths, alignments and split points.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
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

// Runs each test with one kernel forced, and the automatic choice again afterwards.
class ArjCrc32Kernel : public testing::TestWithParam<arj::Crc32Kernel> {
 protected:
  void SetUp() override {
    if (!arj::Crc32ForceKernel(GetParam())) {
      GTEST_SKIP() << "this processor has no " << arj::Crc32KernelName(GetParam()) << " kernel";
    }
  }
  void TearDown() override { arj::Crc32ForceKernel(arj::Crc32Kernel::kAuto); }
};

TEST_P(ArjCrc32Kernel, MatchesTheDefinitionAtEveryLengthAndAlignment) {
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
  EXPECT_EQ(arj::Crc32("123456789", 9), 0xCBF43926u);
}

std::string KernelTestName(const testing::TestParamInfo<arj::Crc32Kernel> &kernel) {
  std::string name = arj::Crc32KernelName(kernel.param);
  for (char &c : name) {
    if (c == '-') c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(EveryKernel, ArjCrc32Kernel, testing::ValuesIn(arj::kCrc32Kernels),
                         KernelTestName);

}  // namespace
