// Processor features the decoders' hot loops use beyond the build's baseline, chosen at run
// time. The i686 build's baseline has no SSE, so there its loops are compiled a second time
// for SSE2 (a 16-byte block copy is then one load and one store), and a member takes that
// form where the processor has SSE2. Builds whose baseline has SSE2 have one form only.
#pragma once

#if defined(__i386__) && !defined(__SSE2__) && (defined(__GNUC__) || defined(__clang__))
#define KX_SSE2_LOOPS 1
#define KX_TARGET_SSE2 __attribute__((target("sse2")))
#endif

namespace arj {

enum class LoopForm { kAuto, kBaseline, kSse2 };
// Whether the processor (and the build) can run a form of the loops.
bool LoopFormAvailable(LoopForm form);
// For tests: makes the decoders take one form, or the automatic choice again. False, with
// nothing changed, when the form is not available.
bool ForceLoopForm(LoopForm form);
// The form the decoders take now: kBaseline or kSse2.
LoopForm ChosenLoopForm();

}  // namespace arj
