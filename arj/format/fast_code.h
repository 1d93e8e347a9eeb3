// The fixed code of method 4, for the decoder that reads it and the packer that writes it.
// A literal is a 0-bit and the byte. A match is its length, then its position (the distance
// minus 1), each a run of 1-bits closed by a 0-bit unless the run is at its longest, then
// value bits:
// - length: a run of k 1-bits (1 to 7), k value bits; the length is 2^k + 1 + the value;
// - position: a run of m 1-bits (0 to 4), 9 + m value bits; the position is
//   512 (2^m - 1) + the value.
// Portable.
#pragma once
#include <cstdint>

namespace arj {

constexpr unsigned kFastLiteralBits = 9;
constexpr unsigned kFastLengthRuns = 7;    // the longest run of a length
constexpr unsigned kFastPositionRuns = 4;  // the longest run of a position
constexpr unsigned kFastPositionStep = 512;
constexpr unsigned kFastPositionLowBits = 9;  // value bits of a position whose run is empty

constexpr unsigned FastLengthValueBits(unsigned run) { return run; }
constexpr unsigned FastLengthBase(unsigned run) { return (1u << run) + 1; }
constexpr unsigned FastPositionValueBits(unsigned run) { return kFastPositionLowBits + run; }
constexpr unsigned FastPositionBase(unsigned run) { return kFastPositionStep * ((1u << run) - 1); }

// The longest a length and a position code can be.
constexpr unsigned kFastMaxLengthBits = kFastLengthRuns + FastLengthValueBits(kFastLengthRuns);
constexpr unsigned kFastMaxPositionBits =
    kFastPositionRuns + FastPositionValueBits(kFastPositionRuns);
// The farthest a match reaches back: one past the largest position.
constexpr unsigned kFastMaxDistance =
    FastPositionBase(kFastPositionRuns) + (1u << FastPositionValueBits(kFastPositionRuns));

struct BitCode {
  std::uint32_t bits;
  unsigned count;
};

// A match length of 3 to 256.
inline BitCode FastLengthCode(unsigned length) {
  const unsigned v = length - 2;
  const unsigned k = 31u - static_cast<unsigned>(__builtin_clz(v + 1));  // v in [2^k-1, 2^(k+1)-2]
  const unsigned prefix_bits = k < kFastLengthRuns ? k + 1 : k;
  const std::uint32_t prefix = k < kFastLengthRuns ? ((1u << k) - 1) << 1 : (1u << k) - 1;
  return BitCode{prefix << FastLengthValueBits(k) | (length - FastLengthBase(k)),
                 prefix_bits + FastLengthValueBits(k)};
}

// A match position below kFastMaxDistance.
inline BitCode FastPositionCode(unsigned position) {
  unsigned m = 0;
  while (m < kFastPositionRuns && position >= FastPositionBase(m + 1)) ++m;
  const unsigned prefix_bits = m < kFastPositionRuns ? m + 1 : m;
  const std::uint32_t prefix = m < kFastPositionRuns ? ((1u << m) - 1) << 1 : (1u << m) - 1;
  return BitCode{prefix << FastPositionValueBits(m) | (position - FastPositionBase(m)),
                 prefix_bits + FastPositionValueBits(m)};
}

}  // namespace arj
