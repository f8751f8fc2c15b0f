#pragma once
// The range analysis behind compiled plans: where every variable is 0 or
// inside a window of magnitudes, the exponents of every result are bounded,
// and the range checks those bounds make needless can be left out of a
// second, windowed body of code.

#include "calc/stages.h"

namespace brunzit {

struct PlanWindow {
  // Variables with 2^-Window <= |v| < 2^Window, or 0, run the windowed body;
  // 0 when no window leaves out any check.
  int Window = 0;
  bool SkipRange[SlotCapacity];    // step i's result needs no range check
  bool SkipDivisor[SlotCapacity];  // step i's divisor needs no bound check
};

// Tries every window from 2^62 down to 2^4 and keeps the widest one that
// leaves out the most checks.
void ChoosePlanWindow(const EvaluationPlan& plan, PlanWindow& chosen);

}  // namespace brunzit
