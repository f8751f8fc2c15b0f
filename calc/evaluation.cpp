// Evaluation by innermost-bracket reduction, the reference the plan is held
// to. Inside a bracket "^" goes first, then "*" and "/", then "+" and "-",
// each left to right, so "^" is left-associative: 2^3^2 = 64. Every value is
// computed on the 80-bit extended real and stored rounded to Real6.

#include "calc/stages.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace brunzit {

namespace {

constexpr long double Bound = 1e19L;
constexpr long double SmallBound = 1e-19L;
// Degree conversions use pi as six decimals, as the typed constant does.
constexpr long double FullPi = 3.14159265358979323846264338327950288L;

long double toRadians(long double degrees) { return degrees * OneEightieth * ShortPi; }
long double toDegrees(long double radians) { return radians * 180.0L * (1.0L / ShortPi); }

// The processor's sine and cosine give up at 2^63; the engine answers 0 there.
long double sine(long double x) { return std::fabs(x) >= 0x1p63L ? 0.0L : std::sin(x); }
long double cosine(long double x) { return std::fabs(x) >= 0x1p63L ? 0.0L : std::cos(x); }

bool isNumber(const OperationSlot& slot) { return slot.Name.Length == 0; }

long double valueOf(const OperationSlot& slot) { return slot.Value.toLongDouble(); }

void removeSlots(OperationList& work, int at, int count) {
  std::memmove(&work.Slots[at], &work.Slots[at + count], sizeof(OperationSlot) * (work.Count - at - count));
  work.Count -= count;
}

// Stores value into slot as a number; a value beyond Real6 is out of range.
bool store(OperationSlot& slot, long double value, std::int32_t& error) {
  if (!Real6::fits(value)) {
    error = EvaluationOutOfRange;
    return false;
  }
  slot.Value = Real6::fromLongDouble(value);
  slot.Name = SlotName{};
  return true;
}

long double combine(char op, long double left, long double right, std::int32_t& error) {
  switch (op) {
    case '^':
      return RaisePower(left, right, error);
    case '*':
      if (std::fabs(left) < Bound && std::fabs(right) < Bound) return left * right;
      break;
    case '/':
      if (right == 0) {
        error = EvaluationDivisionByZero;
        return 0;
      }
      if (std::fabs(left) < Bound && std::fabs(right) > SmallBound) return left / right;
      break;
    case '+':
      if (std::fabs(left) < Bound && std::fabs(right) < Bound) return left + right;
      break;
    case '-':
      if (std::fabs(left) < Bound && std::fabs(right) < Bound) return left - right;
      break;
  }
  error = EvaluationOutOfRange;
  return 0;
}

// One pass over the bracket for the operators in `ops`, left to right.
bool reducePass(OperationList& work, int open, int& close, std::string_view ops, std::int32_t& error) {
  for (int k = open + 1; k < close;) {
    const SlotName& name = work.Slots[k].Name;
    if (name.Length == 1 && ops.find(name.Chars[0]) != std::string_view::npos) {
      if (k - 1 <= open || k + 1 >= close || !isNumber(work.Slots[k - 1]) || !isNumber(work.Slots[k + 1])) {
        error = EvaluationListNotReady;
        return false;
      }
      const long double value = combine(name.Chars[0], valueOf(work.Slots[k - 1]), valueOf(work.Slots[k + 1]), error);
      if (error != EvaluationOk || !store(work.Slots[k - 1], value, error)) return false;
      removeSlots(work, k, 2);
      close -= 2;
    } else {
      ++k;
    }
  }
  return true;
}

}  // namespace

FunctionId FunctionFromName(std::string_view name) {
  static constexpr std::pair<std::string_view, FunctionId> Names[] = {
      {"SIN", FunctionId::SIN}, {"SIG", FunctionId::SIG}, {"COS", FunctionId::COS}, {"COG", FunctionId::COG},
      {"TAN", FunctionId::TAN}, {"TAG", FunctionId::TAG}, {"ASI", FunctionId::ASI}, {"ASG", FunctionId::ASG},
      {"ACO", FunctionId::ACO}, {"ACG", FunctionId::ACG}, {"ATA", FunctionId::ATA}, {"ATG", FunctionId::ATG},
      {"ABS", FunctionId::ABS}, {"LNE", FunctionId::LNE}, {"LOG", FunctionId::LOG}, {"ALO", FunctionId::ALO},
      {"EXP", FunctionId::EXP},
  };
  for (const auto& [text, id] : Names) {
    if (text == name) return id;
  }
  return FunctionId::None;
}

long double SafeTangent(long double x, std::int32_t& error) {
  const long double c = cosine(x);
  if (std::fabs(c) <= SmallBound) {
    error = EvaluationOutOfRange;
    return 0;
  }
  return sine(x) / c;
}

long double SafeSquareRoot(long double x, std::int32_t& error) {
  if (x < 0) {
    error = EvaluationNoRealResult;
    return 0;
  }
  return std::sqrt(x);
}

long double RaisePower(long double base, long double exponent, std::int32_t& error) {
  if (exponent == std::trunc(exponent) && exponent != 0 && std::fabs(exponent) < 100) {
    // A running product stored as Real6 after every step.
    long double product = 1.0L;
    const int times = static_cast<int>(std::fabs(exponent));
    for (int i = 0; i < times; ++i) {
      if (product > Bound || base > Bound) {
        error = EvaluationOutOfRange;
        return 0;
      }
      product *= base;
      // A negative base of huge magnitude can leave the Real6 range at once.
      if (!Real6::fits(product)) {
        error = EvaluationOutOfRange;
        return 0;
      }
      product = RoundToReal6(product);
    }
    if (exponent > 0) return product;
    if (product <= SmallBound) {
      error = EvaluationOutOfRange;
      return 0;
    }
    return RoundToReal6(1.0L / product);
  }
  if (base > 0) {
    const long double r = exponent * std::log(base);
    if (r > -88 && r < 88) return RoundToReal6(std::exp(r));
    error = EvaluationOutOfRange;
    return 0;
  }
  if (base == 0) {
    if (exponent > 0) return 0;
    error = EvaluationNoRealResult;
    return 0;
  }
  // A negative base: look for an angle E*pi + E*(f*2pi), f = 0, 1, 2 ...,
  // whose sine is about 0, which makes the complex power real. The search
  // gives up after the first angle beyond 2*pi.
  if (std::isnan(exponent)) {
    error = EvaluationNoRealResult;
    return 0;
  }
  auto angleAt = [exponent](long double f) { return exponent * FullPi + exponent * (f * (2 * FullPi)); };
  auto found = [&](long double f, long double& value) {
    const long double angle = angleAt(f);
    const long double s = sine(angle);
    if (!(s > -1e-5L && s < 1e-5L)) return false;
    const long double r = exponent * std::log(-base);
    // Any later angle would give the same r, so an out-of-range r is final.
    if (r > -88 && r < 88) {
      value = RoundToReal6(std::exp(r) * cosine(angle));
    } else {
      error = EvaluationOutOfRange;
    }
    return true;
  };
  long double value = 0;
  if (std::fabs(exponent) >= 1e-3L) {
    for (long double f = 0;; f += 1) {
      if (found(f, value)) return value;
      if (!(std::fabs(angleAt(f)) <= 2 * FullPi)) break;
    }
  } else {
    // A small exponent would take up to 1/|E| steps. Once f = 0 misses,
    // |E| > 1e-5/pi and each step moves the angle by more than 2e-5, so only
    // the steps next to pi and 2*pi can come within 1e-5 of a multiple of pi:
    // trying just those gives the same first hit as trying every step.
    if (found(0, value)) return value;  // always so for |E| < 1e-5/pi
    const long double e = std::fabs(exponent);
    long double last = std::max(0.0L, std::floor((2 / e - 1) / 2) - 3);
    for (int i = 0; i < 16 && std::fabs(angleAt(last)) <= 2 * FullPi; ++i) last += 1;
    long double candidates[11] = {0};
    int count = 1;
    for (int k = 1; k <= 2; ++k) {
      const long double centre = std::nearbyint((k / e - 1) / 2);
      for (int d = -2; d <= 2; ++d) {
        const long double f = centre + d;
        if (f > candidates[count - 1] && f <= last) candidates[count++] = f;
      }
    }
    for (int i = 1; i < count; ++i) {
      if (found(candidates[i], value)) return value;
    }
  }
  error = EvaluationNoRealResult;
  return 0;
}

long double ApplyFunction(FunctionId function, long double x, std::int32_t& error) {
  long double r = 0;
  switch (function) {
    case FunctionId::None:
      return x;
    case FunctionId::SIN: r = sine(x); break;
    case FunctionId::SIG: r = sine(toRadians(x)); break;
    case FunctionId::COS: r = cosine(x); break;
    case FunctionId::COG: r = cosine(toRadians(x)); break;
    case FunctionId::TAN: r = SafeTangent(x, error); break;
    case FunctionId::TAG: r = SafeTangent(toRadians(x), error); break;
    case FunctionId::ASI:
    case FunctionId::ASG: {
      const bool degrees = function == FunctionId::ASG;
      if (x == 1) {
        r = degrees ? 90.0L : 1.570796L;
      } else if (x == -1) {
        r = degrees ? -90.0L : -1.570796L;
      } else {
        const long double root = SafeSquareRoot(1 - x * x, error);
        if (error) return 0;
        r = std::atan(x / root);
        if (degrees) r = toDegrees(r);
      }
      break;
    }
    case FunctionId::ACO:
    case FunctionId::ACG: {
      const bool degrees = function == FunctionId::ACG;
      if (x == 0) {
        r = degrees ? 90.0L : 1.570796L;
      } else {
        const long double root = SafeSquareRoot(1 - x * x, error);
        if (error) return 0;
        r = std::atan(root / x);
        if (degrees) r = toDegrees(r);
        if (x < 0) r += degrees ? 180.0L : ShortPi;
      }
      break;
    }
    case FunctionId::ATA: r = std::atan(x); break;
    case FunctionId::ATG: r = toDegrees(std::atan(x)); break;
    case FunctionId::ABS: r = std::fabs(x); break;
    case FunctionId::LNE:
    case FunctionId::LOG:
      if (x <= 0) {
        error = EvaluationLogOfNonPositive;
        return 0;
      }
      r = function == FunctionId::LNE ? std::log(x) : std::log(x) / std::log(10.0L);
      break;
    case FunctionId::ALO: return RaisePower(10.0L, x, error);
    case FunctionId::EXP:
      if (!(x > -88 && x < 88)) {
        error = EvaluationOutOfRange;
        return 0;
      }
      r = std::exp(x);
      break;
  }
  if (error) return 0;
  return RoundToReal6(r);
}

bool FindInnermostBracket(const OperationList& work, int& open, int& close) {
  int lastOpen = -1;
  for (int i = 0; i < work.Count; ++i) {
    const SlotName& name = work.Slots[i].Name;
    if (name.Length != 1) continue;
    if (name.Chars[0] == '(') lastOpen = i;
    if (name.Chars[0] == ')') {
      if (lastOpen < 0) return false;
      open = lastOpen;
      close = i;
      return true;
    }
  }
  return false;
}

bool ReduceBracket(OperationList& work, int open, int close, std::int32_t& error) {
  if (!reducePass(work, open, close, "^", error) || !reducePass(work, open, close, "*/", error) ||
      !reducePass(work, open, close, "+-", error)) {
    return false;
  }
  if (close != open + 2 || !isNumber(work.Slots[open + 1])) {
    error = EvaluationListNotReady;
    return false;
  }
  work.Slots[open] = work.Slots[open + 1];
  removeSlots(work, open + 1, 2);
  if (open > 0 && work.Slots[open - 1].Name.Length == 3) {
    const FunctionId function = FunctionFromName(work.Slots[open - 1].Name.view());
    if (function == FunctionId::None) {
      error = EvaluationListNotReady;
      return false;
    }
    const long double value = ApplyFunction(function, valueOf(work.Slots[open]), error);
    if (error != EvaluationOk || !store(work.Slots[open - 1], value, error)) return false;
    removeSlots(work, open, 1);
  }
  return true;
}

void EvaluateList(const OperationList& list, const VariableValues& variables, Real6& result, std::int32_t& error) {
  OperationList workingList;  // on the stack: other threads evaluate too
  const int count = list.Count < 0 ? 0 : (list.Count > SlotCapacity ? SlotCapacity : list.Count);
  for (int i = 0; i < count; ++i) {
    const OperationSlot& slot = list.Slots[i];
    OperationSlot& copy = workingList.Slots[i];
    copy = slot;
    if (slot.Name.Length == 1) {
      const char* letters = "XYZUV";
      const char* at = std::strchr(letters, slot.Name.Chars[0]);
      if (at && *at) {
        // A zero exponent byte means 0 whatever the other bytes hold.
        copy.Value = Real6::fromLongDouble(variables.Values[at - letters].toLongDouble());
        copy.Name = SlotName{};
      }
    }
  }
  error = EvaluationOk;
  workingList.Count = count;
  int open = 0, close = 0;
  while (FindInnermostBracket(workingList, open, close)) {
    if (!ReduceBracket(workingList, open, close, error)) return;
  }
  result = workingList.Slots[0].Value;
  if (std::fabs(result.toLongDouble()) > Bound) error = EvaluationOutOfRange;
}

}  // namespace brunzit
