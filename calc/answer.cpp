// The answer line: the line, " = ", then the result as it is said aloud, or
// one of the two error texts.

#include "calc/stages.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>

namespace brunzit {

std::int32_t RoundClamped(long double value) {
  if (std::isnan(value)) return 0;
  if (value > 2e9L) return 2000000000;
  if (value < -2e9L) return -2000000000;
  return static_cast<std::int32_t>(std::nearbyint(value));
}

namespace {

// v * 10^6 = k + 1/2 exactly needs v = m / 2^7 with m odd (5^6 divides
// 2k + 1): v * 128 is then an odd whole number, and computing it is exact.
bool SixDecimalTie(double v) {
  const double scaled = v * 128;
  return std::fabs(scaled) < 0x1p53 && scaled == std::trunc(scaled) && std::fmod(scaled, 2) != 0;
}

// The printers round exact ties to even. A tie moved by 2^-62 of itself away
// from zero rounds away, as people round; that move is far below the distance
// of any other Real6 value from a rounding midpoint, so only ties call it.
long double AwayFromZero(double v) {
  const long double exact = v;
  return exact + exact * 0x1p-62L;
}

// Whether the sixteenth significant digit of v is its last and a 5. A Real6
// value has at most about 130 significant digits, all printed here.
bool FifteenDigitTie(double v) {
  char digits[256];
  const auto written = std::to_chars(digits, digits + sizeof digits, std::fabs(v), std::chars_format::scientific, 180);
  const std::string_view text(digits, static_cast<std::size_t>(written.ptr - digits));
  const std::size_t e = text.find('e');
  // "d.ddd...": the sixteenth digit sits at index 16.
  return e != std::string_view::npos && e > 17 && text[16] == '5' &&
         text.find_first_not_of('0', 17) == e;
}

}  // namespace

std::string ScientificNotation(Real6 value) {
  double v = static_cast<double>(value.toLongDouble());  // every Real6 is exactly a double
  if (v == 0 || std::isnan(v)) v = 0;
  char digits[64];
  const auto written =
      FifteenDigitTie(v)
          ? std::to_chars(digits, digits + sizeof digits, std::fabs(AwayFromZero(v)), std::chars_format::scientific, 14)
          : std::to_chars(digits, digits + sizeof digits, std::fabs(v), std::chars_format::scientific, 14);
  const std::string_view text(digits, static_cast<std::size_t>(written.ptr - digits));
  const std::size_t e = text.find('e');
  int exponent = 0;
  std::from_chars(text.data() + e + 1 + (text[e + 1] == '+' ? 1 : 0), text.data() + text.size(), exponent);
  char out[32];
  const int length = std::snprintf(out, sizeof out, "%c%.*sE%c%04d", v < 0 ? '-' : ' ', static_cast<int>(e),
                                   text.data(), exponent < 0 ? '-' : '+', exponent < 0 ? -exponent : exponent);
  return std::string(out, static_cast<std::size_t>(length));
}

std::string FormatResult(Real6 value) { return FormatResult(value, DecimalSign::Comma); }

std::string FormatResult(Real6 value, DecimalSign sign) {
  long double v = value.toLongDouble();
  // Large values lose their fraction; large negative ones keep it.
  if (v > 100000) v = std::trunc(v);
  char text[128];
  // The same whole values RoundClamped finds, by a truncating conversion
  // rather than the slower extended rounding: every Real6 value is a double.
  const double exact = static_cast<double>(v);
  if (std::fabs(exact) <= 2e9 && exact == static_cast<double>(static_cast<std::int32_t>(exact))) {
    const auto written = std::to_chars(text, text + sizeof text, static_cast<std::int32_t>(exact));
    return std::string(text, written.ptr);
  }
  // Every Real6 value, and its whole part, is exactly a double.
  const auto written = SixDecimalTie(exact)
                           ? std::to_chars(text, text + sizeof text, AwayFromZero(exact), std::chars_format::fixed, 6)
                           : std::to_chars(text, text + sizeof text, exact, std::chars_format::fixed, 6);
  std::size_t length = static_cast<std::size_t>(written.ptr - text);
  while (length > 0 && text[length - 1] == '0') --length;
  if (length > 0 && text[length - 1] == '.') --length;
  // A small negative value shows as zero, never as "-0".
  if (length == 2 && text[0] == '-' && text[1] == '0') return "0";
  std::string out(text, length);
  if (sign == DecimalSign::Comma) {
    const std::size_t point = out.find('.');
    if (point != std::string::npos) out[point] = ',';
  }
  return out;
}

ExpressionOutcome CalculateExpression(const std::string& text, Calculator& calculator) {
  ExpressionOutcome outcome;
  std::int32_t flag = 0;
  outcome.AnalysisError = 0;
  calculator.Analyse(text, outcome.AnalysisError, flag);
  if (outcome.AnalysisError != AnalysisOk) return outcome;
  const Real6 zero;
  calculator.Evaluate(zero, zero, zero, zero, zero, outcome.Result, outcome.EvaluationError);
  return outcome;
}

ExpressionOutcome CalculateExpression(const std::string& text) {
  ExpressionOutcome outcome;
  std::int32_t flag = 0;
  outcome.AnalysisError = 0;
  analitzar(text, outcome.AnalysisError, flag);
  if (outcome.AnalysisError != AnalysisOk) return outcome;
  Calcular(Real6(), outcome.Result, outcome.EvaluationError);
  return outcome;
}

std::string AnswerLine(const std::string& line, const ExpressionOutcome& outcome, DecimalSign sign) {
  std::string answer;
  answer.reserve(line.size() + 24);
  answer.append(line).append(" = ");
  if (outcome.AnalysisError != AnalysisOk) {
    answer.append(AnalysisErrorText);
  } else if (outcome.EvaluationError != EvaluationOk) {
    answer.append(CalculationErrorText);
  } else {
    answer.append(FormatResult(outcome.Result, sign));
  }
  if (answer.size() > AnswerLimit) answer.resize(AnswerLimit);
  return answer;
}

std::string CalculateLine(const std::string& line) { return CalculateLine(line, DecimalSign::Comma); }

std::string CalculateLine(const std::string& line, DecimalSign sign) {
  return AnswerLine(line, CalculateExpression(line), sign);
}

}  // namespace brunzit
