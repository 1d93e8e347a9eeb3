// The fixed codes of method 4. A literal is a 0-bit and the byte. A match length L is
// v = L - 2 in the length code: k 1-bits (1 to 7) closed by a 0-bit unless k is 7, then k
// bits of v - (2^k - 1). A position p is m 1-bits (0 to 4) closed by a 0-bit unless m is
// 4, then 9 + m bits of p - 512 (2^m - 1).
#pragma once
#include <cstdint>

namespace arjenc {

constexpr unsigned kFastLiteralBits = 9;
constexpr unsigned kFastLengthSteps = 7;
constexpr unsigned kFastPositionSteps = 4;

struct BitCode {
  std::uint32_t bits;
  unsigned count;
};

inline BitCode FastLengthCode(unsigned length) {
  const unsigned v = length - 2;
  const unsigned k = 31u - static_cast<unsigned>(__builtin_clz(v + 1));  // v in [2^k-1, 2^(k+1)-2]
  const unsigned prefix_bits = k < kFastLengthSteps ? k + 1 : k;
  const std::uint32_t prefix = k < kFastLengthSteps ? ((1u << k) - 1) << 1 : (1u << k) - 1;
  return BitCode{prefix << k | (v - ((1u << k) - 1)), prefix_bits + k};
}

inline BitCode FastPositionCode(unsigned position) {
  unsigned m = 0;
  while (m < kFastPositionSteps && position >= 512u * ((2u << m) - 1)) ++m;
  const unsigned prefix_bits = m < kFastPositionSteps ? m + 1 : m;
  const std::uint32_t prefix = m < kFastPositionSteps ? ((1u << m) - 1) << 1 : (1u << m) - 1;
  return BitCode{prefix << (9 + m) | (position - 512u * ((1u << m) - 1)), prefix_bits + 9 + m};
}

}  // namespace arjenc
