#include "arj/fast_decoder.h"

#include "arj/cpu_features.h"
#include "arj/format/fast_code.h"
#include "arj/result.h"

namespace arj {
namespace {

// Bits a step takes at most: a literal; a length and a position.
constexpr unsigned kLiteralBits = kFastLiteralBits;
constexpr unsigned kMaxLengthBits = kFastMaxLengthBits;
constexpr unsigned kMaxPositionBits = kFastMaxPositionBits;
// Literals one refill surely holds: 6 with a 64-bit word, 2 with a 32-bit one.
constexpr unsigned kLiteralsPerRefill = kRefillBits / kLiteralBits;
// What one step (a match, or a run of literals from one refill) writes and reads at most.
constexpr std::size_t kMaxStepOutput = 256;
constexpr std::size_t kMaxStepInput = sizeof(BitWord);
static_assert(kLiteralsPerRefill * kLiteralBits <= kRefillBits &&
                  kMaxLengthBits + kMaxPositionBits <= 8 * kMaxStepInput,
              "a step reads at most one word");

// Both fields of a match are a run of 1-bits (closed by a 0-bit unless the run is at its
// longest), then value bits. Read as one number of the code's full width, a field is its
// value less a constant of the run's length: one table entry per run length gives the width
// and that constant, so a field costs a lookup, a shift and an add. A table for fields
// whose run of r 1-bits (at most kMaxRun) is followed by value_bits(r) bits and whose
// value is base(r) plus them:
template <unsigned kIndexBits, unsigned kMaxRun, class ValueBits, class Base>
struct FieldTable {
  FieldCode entries[1u << kIndexBits];
  constexpr FieldTable(ValueBits value_bits, Base base) : entries{} {
    for (unsigned i = 0; i < (1u << kIndexBits); ++i) {
      unsigned run = 0;
      while (run < kMaxRun && (i >> (kIndexBits - 1 - run) & 1u)) ++run;
      const unsigned closing = run < kMaxRun ? 1 : 0;
      const unsigned width = run + closing + value_bits(run);
      const std::uint32_t prefix = ((1u << run) - 1) << (closing + value_bits(run));
      entries[i] = FieldCode{width, base(run) - prefix};
    }
  }
};

// Lengths. A run of none is a literal: the 0-bit and eight bits, the byte itself as a 9-bit
// number.
constexpr unsigned kLengthIndexBits = 8;
constexpr auto kLengthValueBits = [](unsigned k) {
  return k == 0 ? kFastLiteralBits - 1 : FastLengthValueBits(k);
};
constexpr auto kLengthBase = [](unsigned k) { return k == 0 ? 0u : FastLengthBase(k); };
constexpr FieldTable<kLengthIndexBits, kFastLengthRuns, decltype(kLengthValueBits),
                     decltype(kLengthBase)>
    kLengthCodes{kLengthValueBits, kLengthBase};

// Positions: the table gives the copy's distance, one more than the position.
constexpr unsigned kPositionIndexBits = 5;
constexpr auto kPositionValueBits = [](unsigned m) { return FastPositionValueBits(m); };
constexpr auto kDistanceBase = [](unsigned m) { return FastPositionBase(m) + 1; };
constexpr FieldTable<kPositionIndexBits, kFastPositionRuns, decltype(kPositionValueBits),
                     decltype(kDistanceBase)>
    kDistanceCodes{kPositionValueBits, kDistanceBase};

// One step: a run of literals that one refill holds, or one match. The careful form looks
// at the buffer's end on every refill and at the output's end after every literal; the
// fast form runs only where ReserveSteps and the output's room say neither can be reached.
template <bool kCareful>
__attribute__((always_inline)) inline void Step(BitInput &input, BitState &s, std::uint8_t *&out,
                                                std::uint8_t *const out_stop) {
  s = kCareful ? input.Refill(s) : BitInput::RefillWord(s);
  if ((s.bits >> (kWordBits - 1)) == 0) {
    // A literal costs 9 bits; a refill holds enough for several in a row.
    *out++ = static_cast<std::uint8_t>(s.bits >> (kWordBits - kLiteralBits));
    SkipBits(s, kLiteralBits);
    for (unsigned i = 1; i < kLiteralsPerRefill && (s.bits >> (kWordBits - 1)) == 0 &&
                         (!kCareful || out < out_stop);
         ++i) {
      *out++ = static_cast<std::uint8_t>(s.bits >> (kWordBits - kLiteralBits));
      SkipBits(s, kLiteralBits);
    }
    return;
  }
  const std::size_t length =
      TakeCode(s, kLengthCodes.entries[s.bits >> (kWordBits - kLengthIndexBits)]);
  // With a 64-bit word the refill above covers the position too.
  if (kRefillBits < kMaxLengthBits + kMaxPositionBits) {
    s = kCareful ? input.Refill(s) : BitInput::RefillWord(s);
  }
  const std::size_t distance =
      TakeCode(s, kDistanceCodes.entries[s.bits >> (kWordBits - kPositionIndexBits)]);
  CopyMatch(out, distance, length);
  out += length;
}

// Decodes while pos < stop.
__attribute__((always_inline)) inline void DecodeRunBody(BitInput &input, std::uint8_t *base,
                                                         std::size_t &pos_ref, std::size_t stop) {
  BitState s = input.state;
  std::uint8_t *out = base + pos_ref;
  std::uint8_t *const out_stop = base + stop;
  for (;;) {
    const std::size_t by_output = static_cast<std::size_t>(out_stop - out) / kMaxStepOutput;
    if (by_output == 0) break;
    const std::size_t by_input = input.ReserveSteps(s, kMaxStepInput);
    for (std::size_t n = by_output < by_input ? by_output : by_input; n != 0; --n) {
      Step<false>(input, s, out, out_stop);
    }
  }
  while (out < out_stop) Step<true>(input, s, out, out_stop);
  input.state = s;
  pos_ref = static_cast<std::size_t>(out - base);
}

// Each loop form's entry point.
#define KX_FAST_LOOP_FORM(Suffix, target)                                              \
  target void DecodeRun##Suffix(BitInput &input, std::uint8_t *base, std::size_t &pos, \
                                std::size_t stop) {                                    \
    DecodeRunBody(input, base, pos, stop);                                             \
  }

KX_FAST_LOOP_FORM(Baseline, )
#ifdef KX_SSE2_LOOPS
KX_FAST_LOOP_FORM(Sse2, KX_TARGET_SSE2)
#endif
#ifdef KX_BMI2_LOOPS
KX_FAST_LOOP_FORM(Bmi2, KX_TARGET_BMI2)
#endif

}  // namespace

int UnpackFast(BitInput &input, SlidingWindow &window, MemberOutput &output,
               std::int32_t unpacked_size) {
  static constexpr LoopFormEntries<decltype(&DecodeRunBaseline)> kEntries = {
      DecodeRunBaseline, KX_SSE2_ENTRY(DecodeRunSse2), KX_BMI2_ENTRY(DecodeRunBmi2)};
  const auto decode_run = kEntries.Chosen();
  return window.Run(output, unpacked_size,
                    [&](std::uint8_t *base, std::size_t &pos, std::size_t stop) {
                      decode_run(input, base, pos, stop);
                      return kOk;
                    });
}

}  // namespace arj
