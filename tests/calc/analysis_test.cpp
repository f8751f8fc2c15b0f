#include "calc/dcalculs.h"
#include "calc/stages.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace brunzit {
namespace {

// The prepared text, or "error N".
std::string prepare(const std::string& text, std::int32_t errorIn = 0) {
  static PreparedText prepared;
  std::int32_t error = errorIn, flag = 0;
  if (!PrepareExpression(text, error, flag, prepared)) return "error " + std::to_string(error);
  return std::string(prepared.view());
}

// The stored list as "( 2 + 3 )", numbers printed with %g.
std::string slots() {
  const OperationList& list = CurrentOperationList();
  std::string out;
  for (int i = 0; i < list.Count; ++i) {
    if (i) out += ' ';
    const OperationSlot& slot = list.Slots[i];
    if (slot.Name.empty()) {
      char number[40];
      std::snprintf(number, sizeof number, "%.12Lg", slot.Value.toLongDouble());
      out += number;
    } else {
      out += slot.Name.view();
    }
  }
  return out;
}

std::int32_t analyse(const std::string& text, std::int32_t errorIn = 0) {
  std::int32_t error = errorIn, flag = 0;
  analitzar(text, error, flag);
  EXPECT_EQ(flag, 1) << text;
  return error;
}

TEST(PrepareExpression, CanonicalForms) {
  struct Row {
    const char* in;
    const char* out;
  };
  const Row rows[] = {
      {"2pi", "(2*3.141593)"},
      {"pi2", "(3.1415932)"},  // the constant's digits run on into the typed one
      {"3,5 + 1'25", "(3.5+1.25)"},
      {"sen(30)+seg(30)", "(SIN(30)+SIG(30))"},
      {"ase(1)", "(ASI(1))"},
      {"exp(1)", "(ALN(1))"},
      {"2 (3+4)", "(2*(3+4))"},
      {"3ne", "(3*2.718282)"},
      {"p", "(3.141593)"},
      {"2sin(30)", "(2*SIN(30))"},
      {"3x", "(3*X)"},
      {"x(2+1)", "(X*(2+1))"},
      {"xcos(0)", "(X*COS(0))"},
      {"(2)(3)", "((2)(3))"},  // no "*" after a closing bracket
      {"s e n(1)", "(SEN(1))"},  // spaces go before "SEN(" is looked for at S
      {"\xE9s", "(\xE9S)"},      // accented letters pass through unchanged
  };
  for (const Row& row : rows) EXPECT_EQ(prepare(row.in), row.out) << row.in;
  EXPECT_EQ(prepare("x y", VariablesAllowed), "(XY)");
}

TEST(PrepareExpression, EarlyRefusals) {
  struct Row {
    std::string in;
    std::int32_t errorIn;
    std::string result;
  };
  const Row rows[] = {
      {"x y", 0, "error 2"},
      {"u+1", 0, "error 2"},
      {"u+1", VariablesAllowed, "(U+1)"},
      {"x", 0, "(X)"},
      {"   ", 0, "error 7"},
      {"", 0, "error 7"},
      {std::string(200, '1'), 0, "(" + std::string(200, '1') + ")"},
      {std::string(201, '1'), 0, "error 8"},
      {std::string(201, ' ') + "y", 0, "error 2"},  // the variable check comes before the length
  };
  for (const Row& row : rows) EXPECT_EQ(prepare(row.in, row.errorIn), row.result) << row.in;
}

TEST(PrepareExpression, OnlyExactlyTwoHundredFiftyFivePreparedCharactersIsTooLong) {
  // Each "p+" prepares to 9 characters.
  std::string pairs;
  for (int i = 0; i < 27; ++i) pairs += "p+";
  struct Row {
    std::string in;
    std::size_t preparedLength;  // 0: refused with error 8
  };
  const Row rows[] = {{pairs + "p1", 254}, {pairs + "p+1", 0}, {pairs + "p+11", 256}};
  for (const Row& row : rows) {
    const std::string prepared = prepare(row.in);
    if (row.preparedLength == 0) {
      EXPECT_EQ(prepared, "error 8");
    } else {
      EXPECT_EQ(prepared.size(), row.preparedLength);
      EXPECT_EQ(analyse(row.in), AnalysisOk);
    }
  }
}

TEST(Analysis, SlotLists) {
  struct Row {
    const char* in;
    const char* slots;
  };
  const Row rows[] = {
      {"2+3", "( 2 + 3 )"},
      {"-5", "( -1 * 5 )"},
      {"+5", "( 5 )"},
      {"2+SIN(30)", "( 2 + SIN ( 30 ) )"},
      {"LN(2)", "( LNE ( 2 ) )"},
      {"exp(1)", "( EXP ( 1 ) )"},
      {"2*(-3)", "( 2 * ( -1 * 3 ) )"},
      {"5.+.5", "( 5 + 0.5 )"},
      {"1234567890123456789", "( 1.23456789012e+18 )"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(analyse(row.in), AnalysisOk) << row.in;
    EXPECT_EQ(slots(), row.slots) << row.in;
  }
}

TEST(Analysis, ErrorCodes) {
  struct Row {
    std::string in;
    std::int32_t error;
  };
  const Row rows[] = {
      {"2*-3", 5},       {"2*(-3)", 0},      {"(2)(3)", 5},     {"(2)3", 5},       {"2)", 1},
      {"2)+(3", 1},      {"(2", 4},          {"1.2.3", 5},      {".", 5},          {"2E5", 3},
      {"2%3", 3},        {"2=3", 3},         {"SQR(4)", 2},     {"LN(2)", 0},      {"()", 5},
      {"2+", 5},         {"y+1", 2},         {"2^-1", 5},       {"--1", 5},        {"X2", 5},
      {"XX", 5},         {"1.X", 5},         {"SIN()", 5},      {"(*2)", 5},       {"2..5", 5},
      {"2 3", 0},        {"abs(-3,5)", 0},   {"xsin(x)", 0},    {"sin(1)cos(1)", 5},
      {std::string(19, '9'), 0},             {std::string(20, '9'), 9},
      {"0000000000000000001.5", 9},          {"0.00000000000000001", 0},
      {"2 pi", 0},  // "2" and "3.141593" run together into one number
  };
  for (const Row& row : rows) EXPECT_EQ(analyse(row.in), row.error) << row.in;
}

TEST(Analysis, CheckSlotsRefusesWhatCheckCharactersLetsThrough) {
  EXPECT_EQ(CheckCharacters("((2)(3))"), AnalysisOk);
  EXPECT_EQ(analyse("(2)(3)"), AnalysisBadNeighbours);
  EXPECT_EQ(CheckCharacters("((2)3)"), AnalysisBadNeighbours);
}

TEST(Analysis, SlotTableLimit) {
  std::string sum200 = "ABS(1)";  // 4 slots, then 2 per "+1", plus the outer brackets
  for (int i = 0; i < 97; ++i) sum200 += "+1";
  EXPECT_EQ(analyse(sum200), AnalysisOk);
  EXPECT_EQ(CurrentOperationList().Count, 200);

  std::string sum201 = "1";
  for (int i = 0; i < 99; ++i) sum201 += "+1";
  EXPECT_EQ(analyse(sum201), AnalysisTooLong);
  EXPECT_LE(CurrentOperationList().Count, SlotCapacity);

  std::string signed201 = "-1";  // 200 slots, and the leading minus needs one more
  for (int i = 0; i < 98; ++i) signed201 += "+1";
  EXPECT_EQ(analyse(signed201), AnalysisTooLong);

  // Prepared texts beyond 255 characters are analysed, not cut.
  std::string constants = "p";
  for (int i = 0; i < 40; ++i) constants += "+p";
  EXPECT_EQ(analyse(constants), AnalysisOk);
  EXPECT_EQ(CurrentOperationList().Count, 2 + 41 + 40);
}

TEST(Analysis, FailedAnalysisIsNotEvaluated) {
  EXPECT_EQ(analyse("(2"), AnalysisUnclosedBracket);
  Real6 result(7.0L);
  std::int32_t error = -1;
  Calcular(Real6(), result, error);
  EXPECT_EQ(error, EvaluationListNotReady);
  EXPECT_EQ(result.toLongDouble(), 7.0L);
}

TEST(Analysis, ReadDecimalIsCorrectlyRounded) {
  struct Row {
    const char* text;
    long double value;
  };
  const Row rows[] = {{"5.", 5.0L}, {".5", 0.5L}, {"0.1", 0.1L}, {"3.141593", 3.141593L},
                      {"9999999999999999999", 9999999999999999999.0L}, {"123.456", 123.456L}};
  for (const Row& row : rows) {
    long double value = -1;
    EXPECT_TRUE(ReadDecimal(row.text, value)) << row.text;
    EXPECT_EQ(value, row.value) << row.text;
  }
  long double unused = 0;
  for (const char* bad : {"", ".", "1.2.3", "1a"}) EXPECT_FALSE(ReadDecimal(bad, unused)) << bad;
}

}  // namespace
}  // namespace brunzit
