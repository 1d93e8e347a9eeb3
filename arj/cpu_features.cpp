#include "arj/cpu_features.h"

#include <atomic>

namespace arj {
namespace {

std::atomic<LoopForm> forced{LoopForm::kAuto};

}  // namespace

bool LoopFormAvailable(LoopForm form) {
  switch (form) {
    case LoopForm::kAuto:
    case LoopForm::kBaseline:
      return true;
#ifdef KX_SSE2_LOOPS
    case LoopForm::kSse2:
      return __builtin_cpu_supports("sse2");
#endif
#ifdef KX_BMI2_LOOPS
    case LoopForm::kBmi2:
      return __builtin_cpu_supports("sse2") && __builtin_cpu_supports("bmi") &&
             __builtin_cpu_supports("bmi2");
#endif
    default:
      return false;
  }
}

bool ForceLoopForm(LoopForm form) {
  if (!LoopFormAvailable(form)) return false;
  forced.store(form, std::memory_order_relaxed);
  return true;
}

LoopForm ChosenLoopForm() {
  static const LoopForm best = LoopFormAvailable(LoopForm::kBmi2)   ? LoopForm::kBmi2
                               : LoopFormAvailable(LoopForm::kSse2) ? LoopForm::kSse2
                                                                    : LoopForm::kBaseline;
  const LoopForm form = forced.load(std::memory_order_relaxed);
  return form == LoopForm::kAuto ? best : form;
}

}  // namespace arj
