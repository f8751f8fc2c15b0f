#pragma once
// The calculator engine (unit DCalculs): analyse an expression once into the
// OperationList, evaluate it for any values of X, Y, Z, U and V, and answer an
// editor line. Text is Windows-1252 bytes throughout.
//
// Failures are small integer codes written through reference parameters; no
// exception leaves the engine. analitzar, Calcular and the one-call functions
// share one process-wide calculator, unlocked: their calls must not overlap.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace brunzit {

// The 6-byte real every calculator value is stored in.
//   byte 0: biased exponent e (0 means the value is zero)
//   bytes 1..4 and bits 0-6 of byte 5: 39-bit fraction f, least significant first
//   bit 7 of byte 5: sign
//   value = (-1)^sign * (1 + f / 2^39) * 2^(e - 129)
// Storing rounds to the nearest 40-bit value (ties to even). Magnitudes below
// half the smallest value become 0, those up to the smallest become the smallest;
// magnitudes beyond the largest (about 1.7e38) saturate to it, NaN becomes 0.
struct Real6 {
  std::uint8_t Bytes[6] = {0, 0, 0, 0, 0, 0};

  Real6() = default;
  explicit Real6(long double value) : Real6(fromLongDouble(value)) {}
  static Real6 fromLongDouble(long double value);
  long double toLongDouble() const;
  explicit operator long double() const { return toLongDouble(); }

  // False when the value does not fit (it would saturate) or is NaN.
  static bool fits(long double value);

  friend bool operator==(const Real6& a, const Real6& b);
};
static_assert(sizeof(Real6) == 6, "Real6 is exactly six bytes");

inline constexpr int SlotCapacity = 200;

// Value of the error variable on entry to analitzar that allows Y, Z, U and V.
inline constexpr std::int32_t VariablesAllowed = 102;

// Analysis codes (error variable of analitzar).
inline constexpr std::int32_t AnalysisOk = 0;
inline constexpr std::int32_t AnalysisTooManyClosing = 1;     // ")" without "(", or outer bracket closed early
inline constexpr std::int32_t AnalysisUnknownName = 2;        // Y/Z/U/V not allowed, or unknown function name
inline constexpr std::int32_t AnalysisBadCharacter = 3;       // character outside the allowed set
inline constexpr std::int32_t AnalysisUnclosedBracket = 4;    // brackets left open
inline constexpr std::int32_t AnalysisBadNeighbours = 5;      // signs side by side, bad points, ")(" ...
inline constexpr std::int32_t AnalysisEmpty = 7;              // nothing but spaces
// Too long: more than 200 characters as typed, a prepared text of exactly 255
// characters, or an expression that needs more than the 200 slots of the list.
inline constexpr std::int32_t AnalysisTooLong = 8;
inline constexpr std::int32_t AnalysisNumberTooLong = 9;      // number of 20 or more characters
inline constexpr std::int32_t AnalysisBadNumber = 10;         // decimal reading refused the number

// Evaluation codes (error of Calcular / CalcularXYZUV).
inline constexpr std::int32_t EvaluationOk = 0;
inline constexpr std::int32_t EvaluationDivisionByZero = 1;
inline constexpr std::int32_t EvaluationNoRealResult = 2;     // root of a negative, 0^0, negative base
inline constexpr std::int32_t EvaluationLogOfNonPositive = 3;
inline constexpr std::int32_t EvaluationOutOfRange = 4;
// The stored list was left by a failed analysis; it is not evaluated.
inline constexpr std::int32_t EvaluationListNotReady = 5;

// A slot name: a length byte and at most 3 characters.
struct SlotName {
  std::uint8_t Length = 0;
  char Chars[3] = {0, 0, 0};

  std::string_view view() const { return {Chars, Length}; }
  bool empty() const { return Length == 0; }
  friend bool operator==(const SlotName& name, std::string_view text) { return name.view() == text; }
};

// One slot: a number (empty Name, Value set), an operator "+ - * / ^", a
// bracket "(" ")", a function (SIN, SIG, ASI, ASG, COS, COG, ACO, ACG, TAN, TAG,
// ATA, ATG, ABS, LOG, ALO, EXP, LNE) or a variable letter (X, Y, Z, U, V).
struct OperationSlot {
  Real6 Value;
  SlotName Name;
};

// The analysed expression. Slots[k - 1] is slot k (slots are numbered 1..Count).
struct OperationList {
  std::int32_t Count = 0;
  OperationSlot Slots[SlotCapacity];
};

// One analysed expression and what its evaluation keeps. Calculators are
// independent of one another; one calculator is used by one thread at a time.
class Calculator {
 public:
  Calculator();
  ~Calculator();
  Calculator(const Calculator&) = delete;
  Calculator& operator=(const Calculator&) = delete;

  // As analitzar and CalcularXYZUV below, on this calculator's own list.
  void Analyse(const std::string& text, std::int32_t& error, std::int32_t& flag);
  void Evaluate(const Real6& x, const Real6& y, const Real6& z, const Real6& u, const Real6& v, Real6& result,
                std::int32_t& error);
  // The same evaluation for callers holding doubles: each variable is first
  // rounded to the nearest Real6, and the answer (0 on an error) is exactly
  // a Real6 value. The six-byte values are built only where the rare paths
  // need them.
  double Evaluate(const double (&variables)[5], std::int32_t& error);
  const OperationList& List() const;

  struct State;

 private:
  std::unique_ptr<State> state_;
};

// The list left by the last analitzar (one per process).
const OperationList& CurrentOperationList();

// Analyses text into the OperationList. error: in, VariablesAllowed (102)
// allows Y, Z, U, V; out, an analysis code. flag: always 1 on return.
void analitzar(const std::string& text, std::int32_t& error, std::int32_t& flag);

// Evaluates the stored list with X = x and Y, Z, U, V = 0. result is written
// only on success, and with the out-of-range code of a too-large final value.
void Calcular(const Real6& x, Real6& result, std::int32_t& error);
void CalcularXYZUV(const Real6& x, const Real6& y, const Real6& z, const Real6& u, const Real6& v, Real6& result,
                   std::int32_t& error);

enum class DecimalSign { Comma, Point };

// 2000000000 above 2e9, -2000000000 below -2e9, else the nearest integer.
std::int32_t RoundClamped(long double value);

// The result as it is written and said: whole numbers without decimals, else up
// to six decimals with trailing zeros stripped. Comma for the editor, point for
// the library.
std::string FormatResult(Real6 value);
std::string FormatResult(Real6 value, DecimalSign sign);

inline constexpr std::string_view AnalysisErrorText = "ERROR D'AN\xC0LISIS";
inline constexpr std::string_view CalculationErrorText = "ERROR DE C\xC0LCUL";
inline constexpr std::size_t AnswerLimit = 255;

// line + " = " + result or error text, cut to 255 characters. Variables are
// not allowed and X counts as 0.
std::string CalculateLine(const std::string& line);
std::string CalculateLine(const std::string& line, DecimalSign sign);

// The one-call calculation behind CalculateLine, for callers that need the
// codes: analysis with variables forbidden, then evaluation with X = 0.
// EvaluationError and Result are meaningful only when AnalysisError is 0, and
// Result only when EvaluationError is 0.
struct ExpressionOutcome {
  std::int32_t AnalysisError = 0;
  std::int32_t EvaluationError = 0;
  Real6 Result;
};
ExpressionOutcome CalculateExpression(const std::string& text);
// The same on a calculator of the caller's.
ExpressionOutcome CalculateExpression(const std::string& text, Calculator& calculator);

// line + " = " + the outcome's result or error text, cut to 255 characters.
std::string AnswerLine(const std::string& line, const ExpressionOutcome& outcome, DecimalSign sign);

}  // namespace brunzit
