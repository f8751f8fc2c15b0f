#pragma once
// The engine's stages, one function each in pipeline order, for the engine's
// own files and its tests. Callers outside calc/ use dcalculs.h.

#include "calc/dcalculs.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

namespace brunzit {

// Rounds to the nearest Real6 value (ties to even), kept as an extended real.
long double RoundToReal6(long double value);

// Degrees become radians with pi as the calculator writes it, 3.141593, on
// extended reals: x * (1/180) * pi, in that order.
inline constexpr long double ShortPi = 3.141593L;
inline constexpr long double OneEightieth = 1.0L / 180.0L;
// The degree functions first try the radians on doubles: 1/180 and pi
// rounded to doubles and two rounded products put r within 4.002 * 2^-53 |r|
// of the extended radians. Where |r f'(r)| <= 2 |f(r)| (with |sin r| <= |r|
// for the cosine) that moves the result by less than 8.01 units in the last
// place, inside their margin (PlanFunctionMarginFor).
inline constexpr double DoubleOneEightieth = 1.0 / 180;
inline constexpr double DoubleShortPi = 3.141593;
inline constexpr double DoubleRadiansShare = 2;

// Real6 values have 40 significant bits and a small exponent range, so each
// one is exactly a double; these convert without any rounding.
inline double Real6ToDouble(Real6 value) {
  // Two loads joined in a register: six bytes copied into a 64-bit variable
  // would be read back through memory, a store-forwarding stall per value.
  std::uint32_t low = 0;
  std::uint16_t high = 0;
  std::memcpy(&low, value.Bytes, 4);
  std::memcpy(&high, value.Bytes + 4, 2);
  const std::uint64_t raw = low | (std::uint64_t(high) << 32);
  const std::uint64_t exponent = raw & 0xFF;
  const std::uint64_t sign = (raw >> 47) << 63;
  const std::uint64_t fraction = (raw >> 8) & ((std::uint64_t(1) << 39) - 1);
  const double v = std::bit_cast<double>(sign | ((exponent + 1023 - 129) << 52) | (fraction << 13));
  return exponent == 0 ? 0.0 : v;
}

// A Real6 value's six bytes in the low bytes of a 64-bit word.
inline std::uint64_t Real6Bits(double v) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
  const std::uint64_t exponent = ((bits >> 52) & 0x7FF) + 129 - 1023;
  const std::uint64_t raw = (exponent & 0xFF) | (((bits >> 13) & ((std::uint64_t(1) << 39) - 1)) << 8) | ((bits >> 63) << 47);
  return (bits << 1) == 0 ? 0 : raw;
}

inline Real6 DoubleToReal6(double v) {
  Real6 out;
  const std::uint64_t value = Real6Bits(v);
  std::memcpy(out.Bytes, &value, 6);
  return out;
}

// A Real6 written with one 8-byte store: compiled code reads the value back
// with loads that straddle the 4- and 2-byte stores of a plain Real6, which
// the processor cannot forward.
struct PaddedReal6 {
  Real6 value;
  std::uint8_t padding[2] = {0, 0};
};
static_assert(sizeof(PaddedReal6) == 8 && std::is_trivially_copyable_v<PaddedReal6>, "one 8-byte store");
inline void StoreReal6(double v, PaddedReal6& out) {
  const std::uint64_t value = Real6Bits(v);
  std::memcpy(static_cast<void*>(&out), &value, sizeof value);
}

// The 23-character scientific notation of ProcCalcularExpressio: sign place
// (" " or "-"), one digit, ".", 14 digits, "E", the exponent's sign and 4
// digits. Exact ties round away from zero, as FormatResult's do.
std::string ScientificNotation(Real6 value);

// The nearest Real6 to a double, as Real6::fromLongDouble gives it, on the
// double's bits where it lies well inside the Real6 range (the extended
// rounding costs several times more).
// False, leaving `rounded` alone, outside 2^-126 <= |v| < 2^126, where
// rounding up may carry into the exponent and stay in range.
inline bool RoundToNearestReal6Fast(double v, double& rounded) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
  const std::uint64_t exponent = (bits >> 52) & 0x7FF;
  if (exponent - (1023 - 126) > 252 - 1) return false;
  const std::uint64_t halfUp = 0xFFF + ((bits >> 13) & 1);  // ties to even
  rounded = std::bit_cast<double>((bits + halfUp) & ~std::uint64_t(0x1FFF));
  return true;
}

inline Real6 DoubleToNearestReal6(double v) {
  if ((std::bit_cast<std::uint64_t>(v) << 1) == 0) return Real6();
  double rounded;
  if (!RoundToNearestReal6Fast(v, rounded)) [[unlikely]] return Real6::fromLongDouble(v);
  return DoubleToReal6(rounded);
}

// ---- Preparation and analysis -------------------------------------------

// The classes of the characters a prepared text may hold, one table lookup
// each: the checks run over every character of every line calculated.
namespace chars {
enum : std::uint8_t { Digit = 1, Variable = 2, FunctionInitial = 4, Operator = 8, Structure = 16 };
inline constexpr std::array<std::uint8_t, 256> Classes = [] {
  std::array<std::uint8_t, 256> classes{};
  for (char c = '0'; c <= '9'; ++c) classes[static_cast<unsigned char>(c)] = Digit;
  for (char c : {'X', 'Y', 'Z', 'U', 'V'}) classes[static_cast<unsigned char>(c)] = Variable;
  for (char c : {'S', 'C', 'T', 'A', 'L'}) classes[static_cast<unsigned char>(c)] = FunctionInitial;
  for (char c : {'+', '-', '*', '/', '^'}) classes[static_cast<unsigned char>(c)] = Operator;
  for (char c : {'(', ')', '.'}) classes[static_cast<unsigned char>(c)] = Structure;
  return classes;
}();
inline bool is(char c, std::uint8_t classes) { return (Classes[static_cast<unsigned char>(c)] & classes) != 0; }
}  // namespace chars

inline bool isDigit(char c) { return chars::is(c, chars::Digit); }
inline bool isVariable(char c) { return chars::is(c, chars::Variable); }
inline bool isFunctionInitial(char c) { return chars::is(c, chars::FunctionInitial); }
inline bool isOperator(char c) { return chars::is(c, chars::Operator); }
// Every character the analysis accepts.
inline bool isAllowed(char c) { return chars::Classes[static_cast<unsigned char>(c)] != 0; }

// Up to 202 characters enter the substitutions; "P" grows to 8 characters
// and every pair may gain a "*", so 202 * 8 * 2 bounds the prepared text.
inline constexpr int PreparedCapacity = 4096;
static_assert(PreparedCapacity >= 202 * 8 * 2, "room for every substitution and implied sign");

struct PreparedText {
  char Chars[PreparedCapacity];
  int Length = 0;
  std::string_view view() const { return {Chars, static_cast<std::size_t>(Length)}; }
};

// Upper case, outer brackets, variable check, substitutions, implied "*".
// Returns false with error set when the analysis ends here.
bool PrepareExpression(std::string_view text, std::int32_t& error, std::int32_t& flag, PreparedText& prepared);

// Every character against its neighbours, and the decimal points: 0 or 5.
std::int32_t CheckCharacters(std::string_view prepared);

// Cuts the prepared text into slots: 0 or an analysis code.
std::int32_t Tokenise(std::string_view prepared, OperationList& list);

// Every slot against its neighbours; "(+" loses the sign, "(-" becomes "(-1*".
std::int32_t CheckSlots(OperationList& list);

// The decimal reading of a number of digits with at most one point.
bool ReadDecimal(std::string_view digits, long double& value);

// ---- Evaluation by innermost-bracket reduction (the reference) ----------

// Values of X, Y, Z, U, V in this order.
struct VariableValues {
  Real6 Values[5];
};

// The whole evaluation on a working copy of list; result is written on
// success and with the out-of-range code of a too-large final value.
void EvaluateList(const OperationList& list, const VariableValues& variables, Real6& result, std::int32_t& error);

// The last "(" before the first ")" and that ")" (indexes into Slots).
bool FindInnermostBracket(const OperationList& work, int& open, int& close);

// Reduces Slots[open..close] to one number slot and applies the function
// before it. Returns false with error set when an operation fails.
bool ReduceBracket(OperationList& work, int open, int close, std::int32_t& error);

// Operations on values stored as Real6; results come back rounded to Real6.
long double RaisePower(long double base, long double exponent, std::int32_t& error);
long double SafeTangent(long double x, std::int32_t& error);
long double SafeSquareRoot(long double x, std::int32_t& error);

enum class FunctionId : std::uint8_t {
  None, SIN, SIG, COS, COG, TAN, TAG, ASI, ASG, ACO, ACG, ATA, ATG, ABS, LNE, LOG, ALO, EXP
};
FunctionId FunctionFromName(std::string_view name);
// The function applied to x, rounded to Real6; error set on failure.
long double ApplyFunction(FunctionId function, long double x, std::int32_t& error);

// ---- Evaluation by a plan built once per analysis ------------------------

// The reductions of the reference, in the same order, as a flat list of
// register operations. Constants and variables live in registers; every
// operation writes a fresh register, so a plan can run any number of times.
inline constexpr int PlanRegisterCapacity = 5 + 2 * SlotCapacity + 8;
// Every number slot is a constant and every reduction writes one register.
static_assert(PlanRegisterCapacity >= 5 + SlotCapacity + SlotCapacity, "a register for every constant and step");

// PowerWhole: "^" with a constant whole exponent, 0 < |E| < 100.
enum class PlanOp : std::uint8_t { Add, Subtract, Multiply, Divide, Power, PowerWhole, Function };

struct PlanStep {
  PlanOp Op;
  FunctionId Function;
  std::uint16_t Target;
  std::uint16_t Left;   // the argument of a function
  std::uint16_t Right;
};

struct EvaluationPlan {
  bool Ready = false;           // built from a successful analysis
  std::uint8_t UsedVariables = 0;  // bit i: the plan reads variable i (X = bit 0)
  int StepCount = 0;
  int ResultRegister = 0;
  PlanStep Steps[SlotCapacity];
  double Registers[PlanRegisterCapacity];  // 0..4 hold X, Y, Z, U, V
};

// Builds the plan from a successfully analysed list. Returns false (plan not
// ready) for a list the reduction would not accept.
bool BuildPlan(const OperationList& list, EvaluationPlan& plan);

// Runs the plan. Returns false when any value came near a bound, an error or
// the edge of the Real6 range: the caller then asks the reference, which
// gives the exact answer and error. Only the variables the plan reads are
// looked at.
bool RunPlan(EvaluationPlan& plan, const double variables[5], double& result);

// A function of the plan on doubles: the same Real6 as ApplyFunction gives.
// Results too near a rounding midpoint are computed again on extended reals;
// odd is set where ApplyFunction would fail or the result leaves the plain
// range.
double PlanFunction(FunctionId function, double x, std::uint64_t& odd);

// glibc's double functions are within 2 units in the last place of the true
// value (sine, cosine, tangent, arctangent, exponential and natural
// logarithm within about half of one, the decimal logarithm within 2), the
// degree functions within about 10 (see DoubleRadiansShare), and the
// reference's extended results within a small part of one. Unless the double
// result lies this many units from a point halfway between two Real6 values,
// both round to the same Real6.
inline constexpr unsigned PlanFunctionMarginFor(FunctionId function) {
  switch (function) {
    case FunctionId::SIG:
    case FunctionId::COG:
    case FunctionId::TAG: return 16;
    case FunctionId::LOG: return 8;
    default: return 4;
  }
}

}  // namespace brunzit
