// Ranges of a plan's values for a window of the variables' magnitudes. A
// value is 0 (where `zero`) or 2^lo <= |v| < 2^hi. Every value is a Real6
// value, a multiple of its exponent's 2^-39, so a sum or difference that is
// not 0 is at least 2^(min lo - 39). Rounding may reach 2^hi.

#include "calc/planranges.h"

#include <algorithm>
#include <cmath>

namespace brunzit {

namespace {

struct Range {
  int lo;
  int hi;
  bool zero;
};
constexpr int ZeroOnly = 100000;

bool insidePlain(const Range& r) { return r.lo >= -126 && r.hi <= 63; }

int exponentOf(double v) {
  int e = 0;
  std::frexp(std::fabs(v), &e);
  return e - 1;  // 2^(e-1) <= |v| < 2^e
}

class RangeAnalysis {
 public:
  explicit RangeAnalysis(const EvaluationPlan& plan) : plan_(plan) {
    std::fill(std::begin(isTarget_), std::end(isTarget_), false);
    for (int i = 0; i < plan.StepCount; ++i) isTarget_[plan.Steps[i].Target] = true;
  }

  // Marks the checks a window of 2^window lets the windowed body leave out,
  // and counts them.
  int pass(int window, bool* skipRange, bool* skipDivisor) {
    Range* const ranges = ranges_;
    int skipped = 0;
    for (int i = 0; i < plan_.StepCount; ++i) {
      const PlanStep& s = plan_.Steps[i];
      const Range a = rangeOf(s.Left, window, ranges);
      const Range b = s.Op == PlanOp::Function ? a : rangeOf(s.Right, window, ranges);
      Range r{-126, 63, true};
      bool checked = false;
      skipRange[i] = skipDivisor[i] = false;
      switch (s.Op) {
        case PlanOp::Multiply:
          if (powerOfTwo(s.Left) || powerOfTwo(s.Right)) {
            const Range& other = powerOfTwo(s.Left) ? b : a;
            const int e = exponentOf(plan_.Registers[powerOfTwo(s.Left) ? s.Left : s.Right]);
            r = Range{other.lo + e, other.hi + e, other.zero};
          } else {
            r = Range{a.lo + b.lo, a.hi + b.hi + 1, a.zero || b.zero};
          }
          checked = true;
          break;
        case PlanOp::Divide:
          if (powerOfTwo(s.Right)) {
            const int e = exponentOf(plan_.Registers[s.Right]);
            r = Range{a.lo - e, a.hi - e, a.zero};
          } else {
            r = Range{a.lo - b.hi, a.hi - b.lo + 1, a.zero};
            if (!b.zero && b.lo >= -63) {  // 2^-63 is above every divisor bound
              skipDivisor[i] = true;
              ++skipped;
            }
          }
          checked = true;
          break;
        case PlanOp::Add:
        case PlanOp::Subtract:
          r = Range{std::min(a.lo, b.lo) - 39, std::max(a.hi, b.hi) + 2, true};
          checked = true;
          break;
        case PlanOp::Function:
          switch (s.Function) {
            case FunctionId::ABS: r = a; break;
            // The library's sine and cosine of a double stay above 2^-62
            // away from 0; the arctangent is below pi/2.
            case FunctionId::SIN: r = Range{std::min(a.lo - 1, -63), 1, a.zero}; break;
            case FunctionId::COS: r = Range{-63, 1, false}; break;
            case FunctionId::ATA: r = Range{std::min(a.lo - 1, -1), 1, a.zero}; break;
            case FunctionId::SIG:
            case FunctionId::COG: r = Range{-126, 1, true}; break;
            default: break;
          }
          break;
        default: break;
      }
      if (checked) {
        if (insidePlain(r)) {
          skipRange[i] = true;
          ++skipped;
        } else {
          r = Range{std::max(r.lo, -126), std::min(r.hi, 63), r.zero};
        }
      }
      ranges[s.Target] = r;
    }
    return skipped;
  }


 private:
  bool isConstant(int reg) const { return reg >= 5 && !isTarget_[reg]; }
  bool powerOfTwo(int reg) const {
    int exponent = 0;
    return isConstant(reg) && std::frexp(std::fabs(plan_.Registers[reg]), &exponent) == 0.5;
  }
  Range rangeOf(int reg, int window, const Range* ranges) const {
    if (reg < 5) return Range{-window, window, true};
    if (isConstant(reg)) {
      const double v = plan_.Registers[reg];
      if (v == 0) return Range{ZeroOnly, -ZeroOnly, true};
      const int e = exponentOf(v);
      return Range{e, e + 1, false};
    }
    return ranges[reg];
  }

  const EvaluationPlan& plan_;
  bool isTarget_[PlanRegisterCapacity];
  Range ranges_[PlanRegisterCapacity];
};

}  // namespace

void ChoosePlanWindow(const EvaluationPlan& plan, PlanWindow& chosen) {
  RangeAnalysis analysis(plan);
  bool skipRange[SlotCapacity];
  bool skipDivisor[SlotCapacity];
  int best = 0;
  chosen.Window = 0;
  for (int window = 62; window >= 4; --window) {
    const int skipped = analysis.pass(window, skipRange, skipDivisor);
    if (skipped > best) {
      best = skipped;
      chosen.Window = window;
    }
  }
  if (chosen.Window > 0) analysis.pass(chosen.Window, chosen.SkipRange, chosen.SkipDivisor);
}

}  // namespace brunzit
