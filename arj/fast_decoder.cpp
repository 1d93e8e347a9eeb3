#include "arj/fast_decoder.h"

#include "arj/cpu_features.h"
#include "arj/result.h"

namespace arj {
namespace {

// Bits a step takes at most: a literal; a length (seven 1-bits, seven more); a position
// (four 1-bits, thirteen more).
constexpr unsigned kLiteralBits = 9;
constexpr unsigned kMaxLengthBits = 14;
constexpr unsigned kMaxPositionBits = 17;
// Literals one refill surely holds: 6 with a 64-bit word, 2 with a 32-bit one.
constexpr unsigned kLiteralsPerRefill = kRefillBits / kLiteralBits;

// Leading 1-bits of the upcoming bits, at most limit.
inline unsigned LeadingOnes(BitWord bits, unsigned limit) {
  const unsigned n = LeadingZeros(~bits | 1u);
  return n < limit ? n : limit;
}

// A field of a code: prefix bits, then n value bits; returns the value and skips both.
inline std::uint32_t TakeField(BitState &s, unsigned prefix, unsigned n) {
  const unsigned total = prefix + n;
  const std::uint32_t v =
      static_cast<std::uint32_t>(s.bits >> (kWordBits - total)) & ((1u << n) - 1);
  SkipBits(s, total);
  return v;
}

// Decodes while pos < stop.
__attribute__((always_inline)) inline void DecodeRunBody(BitInput &input, std::uint8_t *base,
                                                         std::size_t &pos_ref, std::size_t stop) {
  BitState s = input.state;
  std::uint8_t *out = base + pos_ref;
  std::uint8_t *const out_stop = base + stop;
  while (out < out_stop) {
    s = input.Refill(s);
    // Length code: up to seven 1-bits closed by a 0-bit (none after the seventh).
    const unsigned k = LeadingOnes(s.bits, 7);
    if (k == 0) {
      // A literal costs 9 bits; a refill holds enough for several in a row.
      *out++ = static_cast<std::uint8_t>(s.bits >> (kWordBits - kLiteralBits));
      SkipBits(s, kLiteralBits);
      for (unsigned i = 1;
           i < kLiteralsPerRefill && (s.bits >> (kWordBits - 1)) == 0 && out < out_stop; ++i) {
        *out++ = static_cast<std::uint8_t>(s.bits >> (kWordBits - kLiteralBits));
        SkipBits(s, kLiteralBits);
      }
      continue;
    }
    const std::size_t length = (1u << k) + 1 + TakeField(s, k < 7 ? k + 1 : 7, k);
    // With a 64-bit word the refill above covers the position too.
    if (kRefillBits < kMaxLengthBits + kMaxPositionBits) s = input.Refill(s);
    // Position code: up to four 1-bits closed by a 0-bit (none after the fourth).
    const unsigned m = LeadingOnes(s.bits, 4);
    const unsigned position = 512u * ((1u << m) - 1) + TakeField(s, m < 4 ? m + 1 : 4, 9 + m);
    CopyMatch(out, position + 1, length);
    out += length;
  }
  input.state = s;
  pos_ref = static_cast<std::size_t>(out - base);
}

void DecodeRun(BitInput &input, std::uint8_t *base, std::size_t &pos, std::size_t stop) {
  DecodeRunBody(input, base, pos, stop);
}

#ifdef KX_SSE2_LOOPS
KX_TARGET_SSE2 void DecodeRunSse2(BitInput &input, std::uint8_t *base, std::size_t &pos,
                                  std::size_t stop) {
  DecodeRunBody(input, base, pos, stop);
}
#endif

}  // namespace

int UnpackFast(BitInput &input, SlidingWindow &window, MemberOutput &output,
               std::int32_t unpacked_size) {
#ifdef KX_SSE2_LOOPS
  if (ChosenLoopForm() == LoopForm::kSse2) {
    return window.Run(output, unpacked_size,
                      [&](std::uint8_t *base, std::size_t &pos, std::size_t stop) {
                        DecodeRunSse2(input, base, pos, stop);
                        return kOk;
                      });
  }
#endif
  return window.Run(output, unpacked_size,
                    [&](std::uint8_t *base, std::size_t &pos, std::size_t stop) {
                      DecodeRun(input, base, pos, stop);
                      return kOk;
                    });
}

}  // namespace arj
