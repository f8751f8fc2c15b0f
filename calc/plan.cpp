// The plan: the reductions of the reference replayed symbolically once per
// analysis, so evaluation is a flat loop over register operations.
//
// Arithmetic runs on doubles. A Real6 value is exactly a double, and for
// "+ - * /" rounding the double result to 40 bits gives the same Real6 as
// rounding the extended result, unless the double result lies exactly on a
// midpoint between two Real6 values. Such ties, values near any bound or
// the edges of the Real6 range, and every error send the evaluation to the
// reference, which decides the exact answer and error code.

#include "calc/stages.h"

#include <bit>
#include <cmath>
#include <cstring>

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

SymbolList symbols;

void removeSymbols(SymbolList& list, int at, int n) {
  std::memmove(&list.items[at], &list.items[at + n], sizeof(Symbol) * (list.count - at - n));
  list.count -= n;
}

bool isName(const Symbol& s, char c) { return s.kind == SymbolKind::Name && s.name.Length == 1 && s.name.Chars[0] == c; }

// Plain values stay in [2^-126, 2^63) or are 0: inside Real6, below every
// bound of 1e19, and far from the Real6 underflow.
constexpr std::uint64_t LowestPlainExponent = 1023 - 126;
constexpr std::uint64_t HighestPlainExponent = 1023 + 62;

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

// Rounds the double result v of `a op b` to 40 significant bits; `odd`
// collects values outside the plain range. A double result exactly halfway
// between two Real6 values may hide bits it lost, so that rare case is
// computed again on extended reals.
inline double roundToReal6(double v, PlanOp op, double a, double b, std::uint64_t& odd) {
  std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
  const std::uint64_t exponent = (bits >> 52) & 0x7FF;
  odd |= ((bits << 1) != 0) & (exponent - LowestPlainExponent > HighestPlainExponent - LowestPlainExponent);
  if ((bits & 0x1FFF) == 0x1000) [[unlikely]] {
    return std::isfinite(v) ? exactly(op, a, b) : v;
  }
  bits = (bits + 0x1000) & ~std::uint64_t(0x1FFF);
  return std::bit_cast<double>(bits);
}

// A little above 1e-19, so a divisor the reference might refuse goes to it.
constexpr double SafeDivisor = 1.000001e-19;

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

}  // namespace

bool BuildPlan(const OperationList& list, EvaluationPlan& plan) {
  plan.Ready = false;
  plan.StepCount = 0;
  int nextRegister = 5;
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
    } else {
      s.kind = SymbolKind::Name;
    }
  }
  const int firstTemporary = nextRegister;
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
          switch (s.name.Chars[0]) {
            case '^':
              op = isWholeConstant(symbols.items[k + 1].reg) ? PlanOp::PowerWhole : PlanOp::Power;
              break;
            case '*': op = PlanOp::Multiply; break;
            case '/': op = PlanOp::Divide; break;
            case '+': op = PlanOp::Add; break;
            default: op = PlanOp::Subtract; break;
          }
          const int target = emit(op, FunctionId::None, symbols.items[k - 1].reg, symbols.items[k + 1].reg);
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
  for (int i = 0; i < 5; ++i) {
    r[i] = variables[i];
    odd |= !plainValue(variables[i]);
  }
  const PlanStep* step = plan.Steps;
  const PlanStep* const end = plan.Steps + plan.StepCount;
  for (; step != end; ++step) {
    const double a = r[step->Left];
    const double b = r[step->Right];
    double v;
    switch (step->Op) {
      case PlanOp::Add: v = roundToReal6(a + b, PlanOp::Add, a, b, odd); break;
      case PlanOp::Subtract: v = roundToReal6(a - b, PlanOp::Subtract, a, b, odd); break;
      case PlanOp::Multiply: v = roundToReal6(a * b, PlanOp::Multiply, a, b, odd); break;
      case PlanOp::Divide:
        odd |= !(std::fabs(b) > SafeDivisor);
        v = roundToReal6(a / b, PlanOp::Divide, a, b, odd);
        break;
      case PlanOp::PowerWhole: {
        // The running product starts as 1 * a = a, exactly.
        const int times = static_cast<int>(std::fabs(b));
        v = a;
        for (int k = 1; k < times; ++k) v = roundToReal6(v * a, PlanOp::Multiply, v, a, odd);
        if (b < 0) {
          odd |= !(v > SafeDivisor);
          v = roundToReal6(1.0 / v, PlanOp::Divide, 1.0, v, odd);
        }
        odd |= !plainValue(v);
        break;
      }
      case PlanOp::Power:
        v = power(a, b, odd);
        odd |= !plainValue(v);
        break;
      default: {
        std::int32_t error = EvaluationOk;
        v = std::isfinite(a) ? static_cast<double>(ApplyFunction(step->Function, a, error)) : 0.0;
        odd |= (error != EvaluationOk) || !std::isfinite(a) || !plainValue(v);
        break;
      }
    }
    r[step->Target] = v;
  }
  result = r[plan.ResultRegister];
  return odd == 0;
}

}  // namespace brunzit
