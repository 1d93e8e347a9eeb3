// Processor features the decoders' hot loops use beyond the build's baseline, chosen at run
// time. The i686 build's baseline has no SSE, so there its loops are compiled a second time
// for SSE2 (a 16-byte block copy is then one load and one store). Both x86 builds compile
// them once more for BMI2, whose shifts take their count from any register and leave the
// flags alone: the bit reader's variable shifts no longer queue on CL. A member takes the
// best form the processor runs.
#pragma once

#if defined(__GNUC__) || defined(__clang__)
#if defined(__i386__) && !defined(__SSE2__)
#define KX_SSE2_LOOPS 1
#define KX_TARGET_SSE2 __attribute__((target("sse2")))
#endif
#if (defined(__i386__) || defined(__x86_64__)) && !defined(__BMI2__)
#define KX_BMI2_LOOPS 1
#define KX_TARGET_BMI2 __attribute__((target("sse2,bmi,bmi2")))
#endif
#endif

// A loop form's entry point where the build compiles it, else none.
#ifdef KX_SSE2_LOOPS
#define KX_SSE2_ENTRY(entry) entry
#else
#define KX_SSE2_ENTRY(entry) nullptr
#endif
#ifdef KX_BMI2_LOOPS
#define KX_BMI2_ENTRY(entry) entry
#else
#define KX_BMI2_ENTRY(entry) nullptr
#endif

namespace arj {

enum class LoopForm { kAuto, kBaseline, kSse2, kBmi2 };
// Whether the processor (and the build) can run a form of the loops.
bool LoopFormAvailable(LoopForm form);
// For tests: makes the decoders take one form, or the automatic choice again. False, with
// nothing changed, when the form is not available.
bool ForceLoopForm(LoopForm form);
// The form the decoders take now: kBaseline, kSse2 or kBmi2.
LoopForm ChosenLoopForm();

// A decoder's entry points, one per loop form (those the build leaves out are null).
template <typename Entry>
struct LoopFormEntries {
  Entry baseline;
  Entry sse2;
  Entry bmi2;
  // The entry of the form chosen now; the baseline where the build has no other.
  Entry Chosen() const {
    switch (ChosenLoopForm()) {
      case LoopForm::kSse2:
        return sse2 ? sse2 : baseline;
      case LoopForm::kBmi2:
        return bmi2 ? bmi2 : baseline;
      default:
        return baseline;
    }
  }
};

}  // namespace arj
