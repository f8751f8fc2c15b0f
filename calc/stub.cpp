#include "calc/dcalculs.h"

namespace brunzit {

namespace {
OperationList storedList;
}

const OperationList& CurrentOperationList() { return storedList; }

void analitzar(const std::string&, std::int32_t& error, std::int32_t& flag) {
  flag = 1;
  error = AnalysisBadCharacter;
}

void Calcular(Real6, Real6&, std::int32_t& error) { error = EvaluationListNotReady; }
void CalcularXYZUV(Real6, Real6, Real6, Real6, Real6, Real6&, std::int32_t& error) {
  error = EvaluationListNotReady;
}
std::int32_t RoundClamped(long double) { return 0; }
std::string FormatResult(Real6 value) { return FormatResult(value, DecimalSign::Comma); }
std::string FormatResult(Real6, DecimalSign) { return {}; }
std::string CalculateLine(const std::string& line) { return CalculateLine(line, DecimalSign::Comma); }
std::string CalculateLine(const std::string& line, DecimalSign) {
  return (line + " = " + std::string(AnalysisErrorText)).substr(0, AnswerLimit);
}
ExpressionOutcome CalculateExpression(const std::string&) {
  ExpressionOutcome outcome;
  outcome.AnalysisError = AnalysisBadCharacter;
  return outcome;
}

}  // namespace brunzit
