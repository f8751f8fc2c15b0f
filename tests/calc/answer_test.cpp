#include "calc/dcalculs.h"
#include "calc/stages.h"

#include <gtest/gtest.h>

#include <string>

namespace brunzit {
namespace {

const std::string AnalysisError = " = ERROR D'AN\xC0LISIS";
const std::string CalculationError = " = ERROR DE C\xC0LCUL";

TEST(CalculateLine, Answers) {
  struct Row {
    std::string line;
    std::string answer;
  };
  const Row rows[] = {
      {"2+3", "2+3 = 5"},
      {"7/2", "7/2 = 3,5"},
      {"2pi", "2pi = 6,283186"},
      {"sig(30)", "sig(30) = 0,5"},
      {"1/0", "1/0" + CalculationError},
      {"2+", "2+" + AnalysisError},
      {"y+1", "y+1" + AnalysisError},
      {"3x", "3x = 0"},
      {"", AnalysisError},
      {"123456.789", "123456.789 = 123456"},
      {"-123456.789", "-123456.789 = -123456,789"},
      {"1/3", "1/3 = 0,333333"},
      {"2/3", "2/3 = 0,666667"},
      {"Seg(30) + 2", "Seg(30) + 2 = 2,5"},
      {"Sen(30)", "Sen(30) = -0,988032"},  // radians  // the line is repeated as typed
      {"3,5 + 1'25", "3,5 + 1'25 = 4,75"},
      {"2^-1", "2^-1" + AnalysisError},
      {"\xC7", "\xC7" + AnalysisError},
  };
  for (const Row& row : rows) EXPECT_EQ(CalculateLine(row.line), row.answer) << row.line;
}

TEST(CalculateLine, PointForTheLibrary) {
  EXPECT_EQ(CalculateLine("7/2", DecimalSign::Point), "7/2 = 3.5");
  EXPECT_EQ(CalculateLine("1/4", DecimalSign::Point), "1/4 = 0.25");
  EXPECT_EQ(CalculateLine("1/3", DecimalSign::Point), "1/3 = 0.333333");
}

TEST(CalculateLine, AnswerIsCutAt255Characters) {
  struct Row {
    std::string line;
    std::size_t length;
  };
  const Row rows[] = {
      {std::string(250, ' ') + "", 255},        // too long: the error text is cut
      {std::string(199, ' ') + "1", 204},       // 200 characters: answered in full
      {std::string(300, '1'), 255},             // the line itself is longer than the answer may be
      {std::string(1000, '('), 255},
  };
  for (const Row& row : rows) {
    const std::string answer = CalculateLine(row.line);
    EXPECT_EQ(answer.size(), row.length);
    EXPECT_EQ(answer.compare(0, std::min<std::size_t>(row.line.size(), 255), row.line, 0,
                             std::min<std::size_t>(row.line.size(), 255)),
              0);
  }
}

TEST(CalculateExpression, KeepsBothCodes) {
  struct Row {
    const char* text;
    std::int32_t analysis, evaluation;
  };
  const Row rows[] = {{"1/0", 0, 1}, {"(", 4, 0}, {"2+3", 0, 0}, {"u", 2, 0}};
  for (const Row& row : rows) {
    const ExpressionOutcome outcome = CalculateExpression(row.text);
    EXPECT_EQ(outcome.AnalysisError, row.analysis) << row.text;
    if (row.analysis == 0) {
      EXPECT_EQ(outcome.EvaluationError, row.evaluation) << row.text;
    }
  }
  EXPECT_EQ(CalculateExpression("2+3").Result.toLongDouble(), 5.0L);
}

TEST(FormatResult, Texts) {
  struct Row {
    long double value;
    const char* comma;
  };
  const Row rows[] = {
      {2.5L, "2,5"},
      {-3, "-3"},
      {150000, "150000"},
      {150000.75L, "150000"},          // above 100000 the fraction goes
      {-150000.75L, "-150000,75"},     // below -100000 it stays
      {100000.5L, "100000"},
      {2.0000001L, "2"},
      {0.5000001L, "0,5"},
      {1.0L / 3, "0,333333"},
      {-1.0L / 3, "-0,333333"},
      {0.0000004L, "0"},
      {3e9L, "3000000000"},             // whole above 2e9: written by the fixed form
      {-3e9L, "-3000000000"},
      {-2000000000.25L, "-2000000000,25"},
      {2000000000, "2000000000"},
      {0, "0"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(FormatResult(Real6(row.value)), row.comma) << static_cast<double>(row.value);
    std::string point = row.comma;
    for (char& c : point) c = c == ',' ? '.' : c;
    EXPECT_EQ(FormatResult(Real6(row.value), DecimalSign::Point), point);
  }
}

// Exact ties round away from zero, as people round, at six decimals and at
// fifteen digits; a value that rounds to zero is never written "-0". The
// neighbours of each tie check that nothing else moved.
TEST(FormatResult, TiesRoundAwayFromZeroAndZeroHasNoSign) {
  struct Row {
    const char* line;
    const char* answer;
  };
  const Row rows[] = {
      {"1/128", "1/128 = 0,007813"},       // 0.0078125
      {"-1/128", "-1/128 = -0,007813"},
      {"3/128", "3/128 = 0,023438"},       // 0.0234375
      {"5/128", "5/128 = 0,039063"},       // 0.0390625: ties to even would keep ...062
      {"1+1/128", "1+1/128 = 1,007813"},
      {"-100000-1/128", "-100000-1/128 = -100000,007813"},
      {"1/256", "1/256 = 0,003906"},       // 0.00390625: no tie at six decimals
      {"-1/1000000/2", "-1/1000000/2 = 0"},  // 5e-7 is stored a little below: not a tie
      {"-1/10000000", "-1/10000000 = 0"},
      {"-6/10000000", "-6/10000000 = -0,000001"},
      {"0-0", "0-0 = 0"},
  };
  for (const Row& row : rows) EXPECT_EQ(CalculateLine(row.line), row.answer) << row.line;

  struct Scientific {
    long double value;
    const char* text;
  };
  const Scientific scientific[] = {
      {0x1p-22L, " 2.38418579101563E-0007"},   // 2.384185791015625e-07
      {-0x1p-22L, "-2.38418579101563E-0007"},
      {0x1p-21L, " 4.76837158203125E-0007"},   // exactly fifteen digits
      {0x3p-22L, " 7.15255737304688E-0007"},   // 7.152557373046875e-07
      {1.0L / 3, " 3.33333333333485E-0001"},   // 1/3 as stored: no tie
      {0, " 0.00000000000000E+0000"},
  };
  for (const Scientific& row : scientific) {
    EXPECT_EQ(ScientificNotation(Real6(row.value)), row.text) << static_cast<double>(row.value);
  }
}

TEST(RoundClamped, BoundsAndRounding) {
  struct Row {
    long double value;
    std::int32_t rounded;
  };
  const Row rows[] = {{2e9L + 1, 2000000000}, {-2e9L - 1, -2000000000}, {2e9L, 2000000000}, {1.4L, 1},
                      {1.6L, 2},            {-1.6L, -2},              {1e30L, 2000000000}, {-1e30L, -2000000000}};
  for (const Row& row : rows) EXPECT_EQ(RoundClamped(row.value), row.rounded) << static_cast<double>(row.value);
}

}  // namespace
}  // namespace brunzit
