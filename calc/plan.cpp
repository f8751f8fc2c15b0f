// The plan: the reductions of the reference replayed symbolically once per
// analysis, so evaluation is a flat loop over register operations.
//
// Arithmetic runs on doubles. A Real6 value is exactly a double, and for
// "+ - * /" rounding the double result to 40 bits gives the same Real6 as
// rounding the extended result, unless the double result lies exactly on a
// midpoint between two Real6 values: such ties are settled in place when the
// double result is exact, and on extended reals otherwise. The functions
// run on glibc's doubles where the result is far enough from a midpoint,
// and on extended reals where it is not. Values near any bound or the edges
// of the Real6 range, and every error, send the evaluation to the
// reference, which decides the exact answer and error code.

#include "calc/compiledplan.h"
#include "calc/planrounding.h"
#include "calc/stages.h"

#include <bit>
#include <cstdint>
#include <cmath>
#include <cstring>
#include <math.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brunzit {

namespace {

enum class SymbolKind : std::uint8_t { Number, Name };

struct Symbol {
  SymbolKind kind;
  std::uint16_t reg;  // for a number
  SlotName name;
};

struct SymbolList {
  int count = 0;
  Symbol items[SlotCapacity];
};

void removeSymbols(SymbolList& list, int at, int n) {
  std::memmove(&list.items[at], &list.items[at + n], sizeof(Symbol) * (list.count - at - n));
  list.count -= n;
}

bool isName(const Symbol& s, char c) { return s.kind == SymbolKind::Name && s.name.Length == 1 && s.name.Chars[0] == c; }

inline bool plainValue(double v) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
  const std::uint64_t exponent = (bits >> 52) & 0x7FF;
  return (bits << 1) == 0 || (exponent - LowestPlainExponent <= HighestPlainExponent - LowestPlainExponent);
}

// The operation on extended reals, rounded as the reference rounds it.
[[gnu::noinline]] double exactly(PlanOp op, double a, double b) {
  const long double x = a, y = b;
  long double v = 0;
  switch (op) {
    case PlanOp::Add: v = x + y; break;
    case PlanOp::Subtract: v = x - y; break;
    case PlanOp::Multiply: v = x * y; break;
    default: v = x / y; break;
  }
  return static_cast<double>(RoundToReal6(v));
}

// The significant bits of a normal double: 53 less its trailing zero bits.
inline int significantBits(double x) {
  const std::uint64_t significand = (std::bit_cast<std::uint64_t>(x) & ((std::uint64_t(1) << 52) - 1)) |
                                    (std::uint64_t(1) << 52);
  return 53 - std::countr_zero(significand);
}

// Rounds half up at bit 40 (ties were dealt with before). Done in the SSE
// registers where the value already is: moving it to a general register and
// back costs more than the arithmetic.
inline double roundPlainFast(double v) {
#if defined(__SSE2__)
  const __m128i bits = _mm_castpd_si128(_mm_set_sd(v));
  const __m128i rounded = _mm_and_si128(_mm_add_epi64(bits, _mm_set1_epi64x(RoundingHalf)),
                                        _mm_set1_epi64x(static_cast<long long>(~DroppedBits)));
  return _mm_cvtsd_f64(_mm_castsi128_pd(rounded));
#else
  return std::bit_cast<double>((std::bit_cast<std::uint64_t>(v) + RoundingHalf) & ~DroppedBits);
#endif
}

// Rounds the double result v of `a op b` to 40 significant bits; `odd`
// collects values outside the plain range. A double result exactly halfway
// between two Real6 values may hide bits it lost, so that rare case is
// computed again on extended reals.
inline double roundToReal6(double v, PlanOp op, double a, double b, std::uint64_t& odd) {
  std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
  const std::uint64_t exponent = (bits >> 52) & 0x7FF;
  odd |= ((bits << 1) != 0) & (exponent - LowestPlainExponent > HighestPlainExponent - LowestPlainExponent);
  if ((bits & DroppedBits) == RoundingHalf) [[unlikely]] {
    if (!std::isfinite(v)) return v;
    // A sum that lost nothing is a true tie, and the reference's extended sum
    // is the same value: round half to even. Sums of close values, as in
    // X^2+1 for X below 1, are exact and land on ties often.
    if (op == PlanOp::Add || op == PlanOp::Subtract) {
      const double y = op == PlanOp::Add ? b : -b;
      const double back = v - a;
      const double lost = (a - (v - back)) + (y - back);
      if (lost == 0) {
        if (bits & LowestKeptBit) bits += RoundingHalf;
        return std::bit_cast<double>(bits & ~DroppedBits);
      }
    }
    // So is a product of two values whose significant bits fit in a double
    // together, as with a short factor like 1.5.
    if (op == PlanOp::Multiply && significantBits(a) + significantBits(b) <= 53) {
      if (bits & LowestKeptBit) bits += RoundingHalf;
      return std::bit_cast<double>(bits & ~DroppedBits);
    }
    return exactly(op, a, b);
  }
  return roundPlainFast(v);
}

double power(double base, double exponent, std::uint64_t& odd) {
  if (exponent == std::trunc(exponent) && exponent != 0 && std::fabs(exponent) < 100) {
    double product = 1.0;
    const int times = static_cast<int>(std::fabs(exponent));
    for (int i = 0; i < times; ++i) product = roundToReal6(product * base, PlanOp::Multiply, product, base, odd);
    if (exponent > 0) return product;
    odd |= !(product > SafeDivisor);
    return roundToReal6(1.0 / product, PlanOp::Divide, 1.0, product, odd);
  }
  // After a flagged step the values are garbage; the reference takes over anyway.
  if (!std::isfinite(base) || !std::isfinite(exponent)) {
    odd = 1;
    return 0;
  }
  std::int32_t error = EvaluationOk;
  const long double r = RaisePower(base, exponent, error);
  odd |= error != EvaluationOk;
  return static_cast<double>(r);
}

// See PlanFunctionMarginFor.
inline bool nearMidpoint(double v, std::uint64_t margin) {
  const std::uint64_t low = std::bit_cast<std::uint64_t>(v) & DroppedBits;
  return low - (RoundingHalf - margin) <= 2 * margin;
}

inline double roundPlain(double v) {
  return std::bit_cast<double>((std::bit_cast<std::uint64_t>(v) + RoundingHalf) & ~DroppedBits);
}

[[gnu::noinline]] double exactFunction(FunctionId function, double x, std::uint64_t& odd) {
  std::int32_t error = EvaluationOk;
  const double v = static_cast<double>(ApplyFunction(function, x, error));
  odd |= (error != EvaluationOk) || !plainValue(v);
  return v;
}

// The degree functions turn degrees into radians on extended reals, as the
// reference does, and evaluate at that argument split into two doubles:
// f(hi + lo) = f(hi) + f'(hi) * lo. Kept to arguments where lo is tiny and
// results far from 0, so the dropped terms stay far below a unit in the
// last place.
constexpr double LargestDegreeArgument = 0x1p20;
constexpr double SmallestDegreeResult = 0x1p-20;

// Dropping lo moves a result by at most |lo| * |f'(hi)| <= 2^-53 |hi f'(hi)|;
// where that is below 8 |f(hi)| the result stays within 8 units in the last
// place, well inside the degree functions' margin, and one library call does.
constexpr double ShortArgumentShare = 8;

#if defined(__GLIBC__)
bool doubleRadiansFunction(FunctionId function, double x, double& v) {
  const double r = x * DoubleOneEightieth * DoubleShortPi;
  switch (function) {
    case FunctionId::SIG:
      v = std::sin(r);
      return std::fabs(r) <= DoubleRadiansShare * std::fabs(v);
    case FunctionId::COG:
      v = std::cos(r);
      return r * r <= DoubleRadiansShare * std::fabs(v);
    default:
      v = std::tan(r);
      return std::fabs(r) * (1 + v * v) <= DoubleRadiansShare * std::fabs(v);
  }
}

bool degreeFunction(FunctionId function, double x, double& v) {
  if (doubleRadiansFunction(function, x, v)) return true;
  const long double radians = x * OneEightieth * ShortPi;
  const double hi = static_cast<double>(radians);
  switch (function) {
    case FunctionId::SIG:
      v = std::sin(hi);
      if (std::fabs(hi) <= ShortArgumentShare * std::fabs(v)) return true;
      break;
    case FunctionId::COG:
      v = std::cos(hi);
      if (std::fabs(hi) <= ShortArgumentShare * std::fabs(v)) return true;
      break;
    default:
      v = std::tan(hi);
      if (std::fabs(hi) * (1 + v * v) <= ShortArgumentShare * std::fabs(v)) return true;
      break;
  }
  if (!(std::fabs(hi) < LargestDegreeArgument)) return false;
  const double lo = static_cast<double>(radians - hi);
  double s = 0, c = 0;
  ::sincos(hi, &s, &c);
  const double sine = s + c * lo;
  const double cosine = c - s * lo;
  switch (function) {
    case FunctionId::SIG:
      v = sine;
      return std::fabs(sine) >= SmallestDegreeResult;
    case FunctionId::COG:
      v = cosine;
      return std::fabs(cosine) >= SmallestDegreeResult;
    default:
      v = sine / cosine;
      return std::fabs(sine) >= SmallestDegreeResult && std::fabs(cosine) >= SmallestDegreeResult;
  }
}
#else
bool degreeFunction(FunctionId, double, double&) { return false; }
#endif

// Inlined into each function's own entry below, so the choice of function
// is made once, when the plan is compiled.
[[gnu::always_inline]] inline double planFunction(FunctionId function, double x, std::uint64_t& odd) {
  if (!std::isfinite(x)) {
    odd = 1;
    return 0;
  }
#if !defined(__GLIBC__)
  // Only glibc's double functions are known to be this close everywhere
  // (another runtime's sine may reduce large arguments with a short pi).
  if (function != FunctionId::ABS) return exactFunction(function, x, odd);
#endif
  double v = 0;
  switch (function) {
    case FunctionId::ABS: return std::fabs(x);
    case FunctionId::SIN: v = std::sin(x); break;
    case FunctionId::COS: v = std::cos(x); break;
    // Where the reference refuses a cosine near 0 the tangent is far beyond
    // the plain range, which sends the evaluation to the reference anyway.
    case FunctionId::TAN: v = std::tan(x); break;
    case FunctionId::SIG:
    case FunctionId::COG:
    case FunctionId::TAG:
      if (!degreeFunction(function, x, v)) return exactFunction(function, x, odd);
      break;
    case FunctionId::ATA: v = std::atan(x); break;
    case FunctionId::LNE:
    case FunctionId::LOG:
      if (!(x > 0)) return exactFunction(function, x, odd);
      v = function == FunctionId::LNE ? std::log(x) : std::log10(x);
      break;
    case FunctionId::EXP:
      if (!(x > -88 && x < 88)) return exactFunction(function, x, odd);
      v = std::exp(x);
      break;
    default: return exactFunction(function, x, odd);
  }
  if (nearMidpoint(v, PlanFunctionMarginFor(function)) || !std::isfinite(v)) return exactFunction(function, x, odd);
  v = roundPlain(v);
  odd |= !plainValue(v);
  return v;
}

template <FunctionId F>
double functionEntry(double x, std::uint64_t* odd) {
  return planFunction(F, x, *odd);
}

}  // namespace

double PlanFunction(FunctionId function, double x, std::uint64_t& odd) { return planFunction(function, x, odd); }

PlanFunctionPointer PlanFunctionEntry(FunctionId function) {
  switch (function) {
    case FunctionId::SIN: return functionEntry<FunctionId::SIN>;
    case FunctionId::SIG: return functionEntry<FunctionId::SIG>;
    case FunctionId::COS: return functionEntry<FunctionId::COS>;
    case FunctionId::COG: return functionEntry<FunctionId::COG>;
    case FunctionId::TAN: return functionEntry<FunctionId::TAN>;
    case FunctionId::TAG: return functionEntry<FunctionId::TAG>;
    case FunctionId::ATA: return functionEntry<FunctionId::ATA>;
    case FunctionId::LNE: return functionEntry<FunctionId::LNE>;
    case FunctionId::LOG: return functionEntry<FunctionId::LOG>;
    case FunctionId::EXP: return functionEntry<FunctionId::EXP>;
    default: return nullptr;  // the rest take the general entry
  }
}

double PlanFunctionGeneral(int function, double x, std::uint64_t* odd) {
  return planFunction(static_cast<FunctionId>(function), x, *odd);
}

double PlanTie(int op, double a, double b) {
  const PlanOp operation = static_cast<PlanOp>(op);
  double v = 0;
  switch (operation) {
    case PlanOp::Add: v = a + b; break;
    case PlanOp::Subtract: v = a - b; break;
    case PlanOp::Multiply: v = a * b; break;
    default: v = a / b; break;
  }
  std::uint64_t range = 0;  // the caller checks the range
  return roundToReal6(v, operation, a, b, range);
}

double PlanPowerWhole(double a, double b, std::uint64_t* odd) {
  // The running product starts as 1 * a = a, exactly.
  const int times = static_cast<int>(std::fabs(b));
  double v = a;
  for (int k = 1; k < times; ++k) v = roundToReal6(v * a, PlanOp::Multiply, v, a, *odd);
  if (b < 0) {
    *odd |= !(v > SafeDivisor);
    v = roundToReal6(1.0 / v, PlanOp::Divide, 1.0, v, *odd);
  }
  *odd |= !plainValue(v);
  return v;
}

double PlanPower(double a, double b, std::uint64_t* odd) {
  const double v = power(a, b, *odd);
  *odd |= !plainValue(v);
  return v;
}

bool BuildPlan(const OperationList& list, EvaluationPlan& plan) {
  plan.Ready = false;
  plan.UsedVariables = 0;
  plan.StepCount = 0;
  int nextRegister = 5;
  SymbolList symbols;  // on the stack: calculators on other threads build plans too
  symbols.count = list.Count;
  bool plainConstants = true;
  for (int i = 0; i < list.Count; ++i) {
    const OperationSlot& slot = list.Slots[i];
    Symbol& s = symbols.items[i];
    s.name = slot.Name;
    if (slot.Name.Length == 0) {
      s.kind = SymbolKind::Number;
      s.reg = static_cast<std::uint16_t>(nextRegister);
      plan.Registers[nextRegister++] = Real6ToDouble(slot.Value);
      plainConstants = plainConstants && plainValue(plan.Registers[s.reg]);
    } else if (slot.Name.Length == 1 && std::strchr("XYZUV", slot.Name.Chars[0])) {
      s.kind = SymbolKind::Number;
      s.reg = static_cast<std::uint16_t>(std::strchr("XYZUV", slot.Name.Chars[0]) - "XYZUV");
      plan.UsedVariables = static_cast<std::uint8_t>(plan.UsedVariables | (1u << s.reg));
    } else {
      s.kind = SymbolKind::Name;
    }
  }
  const int firstTemporary = nextRegister;
  auto isConstantTwo = [&](int reg) { return reg >= 5 && reg < firstTemporary && plan.Registers[reg] == 2.0; };
  auto isWholeConstant = [&](int reg) {
    const double v = plan.Registers[reg];
    return reg >= 5 && reg < firstTemporary && v == std::trunc(v) && v != 0 && std::fabs(v) < 100;
  };
  auto emit = [&](PlanOp op, FunctionId function, int left, int right) -> int {
    if (plan.StepCount >= SlotCapacity || nextRegister >= PlanRegisterCapacity) return -1;
    plan.Steps[plan.StepCount++] = PlanStep{op, function, static_cast<std::uint16_t>(nextRegister),
                                            static_cast<std::uint16_t>(left), static_cast<std::uint16_t>(right)};
    return nextRegister++;
  };
  static constexpr std::pair<std::string_view, std::string_view> Passes[] = {{"^", "^"}, {"*/", "*/"}, {"+-", "+-"}};
  for (;;) {
    // The innermost pair, exactly as the reference finds it.
    int open = -1, close = -1;
    for (int i = 0; i < symbols.count; ++i) {
      if (isName(symbols.items[i], '(')) open = i;
      if (isName(symbols.items[i], ')')) {
        close = i;
        break;
      }
    }
    if (close < 0) break;
    if (open < 0) return false;
    for (const auto& pass : Passes) {
      for (int k = open + 1; k < close;) {
        const Symbol& s = symbols.items[k];
        if (s.kind == SymbolKind::Name && s.name.Length == 1 && pass.first.find(s.name.Chars[0]) != std::string_view::npos) {
          if (k - 1 <= open || k + 1 >= close || symbols.items[k - 1].kind != SymbolKind::Number ||
              symbols.items[k + 1].kind != SymbolKind::Number) {
            return false;
          }
          PlanOp op = PlanOp::Add;
          int right = symbols.items[k + 1].reg;
          switch (s.name.Chars[0]) {
            case '^':
              // The reference's running product for a square is 1 * a = a, then a * a.
              if (isConstantTwo(right)) {
                op = PlanOp::Multiply;
                right = symbols.items[k - 1].reg;
              } else {
                op = isWholeConstant(right) ? PlanOp::PowerWhole : PlanOp::Power;
              }
              break;
            case '*': op = PlanOp::Multiply; break;
            case '/': op = PlanOp::Divide; break;
            case '+': op = PlanOp::Add; break;
            default: op = PlanOp::Subtract; break;
          }
          const int target = emit(op, FunctionId::None, symbols.items[k - 1].reg, right);
          if (target < 0) return false;
          symbols.items[k - 1].reg = static_cast<std::uint16_t>(target);
          removeSymbols(symbols, k, 2);
          close -= 2;
        } else {
          ++k;
        }
      }
    }
    if (close != open + 2 || symbols.items[open + 1].kind != SymbolKind::Number) return false;
    symbols.items[open] = symbols.items[open + 1];
    removeSymbols(symbols, open + 1, 2);
    if (open > 0 && symbols.items[open - 1].kind == SymbolKind::Name && symbols.items[open - 1].name.Length == 3) {
      const FunctionId function = FunctionFromName(symbols.items[open - 1].name.view());
      if (function == FunctionId::None) return false;
      const int target = emit(PlanOp::Function, function, symbols.items[open].reg, 0);
      if (target < 0) return false;
      symbols.items[open - 1] = symbols.items[open];
      symbols.items[open - 1].reg = static_cast<std::uint16_t>(target);
      removeSymbols(symbols, open, 1);
    }
  }
  if (symbols.count < 1 || symbols.items[0].kind != SymbolKind::Number) return false;
  plan.ResultRegister = symbols.items[0].reg;
  // Constants at or beyond a bound always need the reference.
  plan.Ready = plainConstants;
  return plan.Ready;
}

bool RunPlan(EvaluationPlan& plan, const double variables[5], double& result) {
  double* r = plan.Registers;
  std::uint64_t odd = 0;
  for (unsigned used = plan.UsedVariables; used != 0; used &= used - 1) {
    const int i = std::countr_zero(used);
    r[i] = variables[i];
    odd |= !plainValue(variables[i]);
  }
  const PlanStep* step = plan.Steps;
  const PlanStep* const end = plan.Steps + plan.StepCount;
  // Most steps use the one before's result: taken from a register, not read
  // back from the register file just written.
  double v = 0;
  std::uint32_t last = PlanRegisterCapacity;
  for (; step != end; ++step) {
    const double a = step->Left == last ? v : r[step->Left];
    const double b = step->Right == last ? v : r[step->Right];
    switch (step->Op) {
      case PlanOp::Add: v = roundToReal6(a + b, PlanOp::Add, a, b, odd); break;
      case PlanOp::Subtract: v = roundToReal6(a - b, PlanOp::Subtract, a, b, odd); break;
      case PlanOp::Multiply: v = roundToReal6(a * b, PlanOp::Multiply, a, b, odd); break;
      case PlanOp::Divide:
        odd |= !(std::fabs(b) > SafeDivisor);
        v = roundToReal6(a / b, PlanOp::Divide, a, b, odd);
        break;
      // The calls get flags of their own, so the running flags stay in a
      // register rather than in memory for the whole loop.
      case PlanOp::PowerWhole: {
        std::uint64_t flags = 0;
        v = PlanPowerWhole(a, b, &flags);
        odd |= flags;
        break;
      }
      case PlanOp::Power: {
        std::uint64_t flags = 0;
        v = PlanPower(a, b, &flags);
        odd |= flags;
        break;
      }
      default: {
        std::uint64_t flags = 0;
        v = PlanFunction(step->Function, a, flags);
        odd |= flags;
        break;
      }
    }
    r[step->Target] = v;
    last = step->Target;
  }
  result = r[plan.ResultRegister];
  return odd == 0;
}

}  // namespace brunzit
