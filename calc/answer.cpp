// The answer line: the line, " = ", then the result as it is said aloud, or
// one of the two error texts.

#include "calc/stages.h"

#include <charconv>
#include <cmath>

namespace brunzit {

std::int32_t RoundClamped(long double value) {
  if (std::isnan(value)) return 0;
  if (value > 2e9L) return 2000000000;
  if (value < -2e9L) return -2000000000;
  return static_cast<std::int32_t>(std::nearbyint(value));
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
  const auto written = std::to_chars(text, text + sizeof text, static_cast<double>(v), std::chars_format::fixed, 6);
  std::size_t length = static_cast<std::size_t>(written.ptr - text);
  while (length > 0 && text[length - 1] == '0') --length;
  if (length > 0 && text[length - 1] == '.') --length;
  std::string out(text, length);
  if (sign == DecimalSign::Comma) {
    const std::size_t point = out.find('.');
    if (point != std::string::npos) out[point] = ',';
  }
  return out;
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

std::string CalculateLine(const std::string& line) { return CalculateLine(line, DecimalSign::Comma); }

std::string CalculateLine(const std::string& line, DecimalSign sign) {
  const ExpressionOutcome outcome = CalculateExpression(line);
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

}  // namespace brunzit
