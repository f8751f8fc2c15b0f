#include "calc/dcalculs.h"
#include "calc/stages.h"
#include "tests/calc/calc_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

namespace brunzit {
namespace {

using testing::evaluate;
using testing::round40;

struct ValueRow {
  const char* text;
  long double x;
  long double expected;
  long double tolerance;  // 0: bit for bit
};

void checkValues(const ValueRow* rows, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const ValueRow& row = rows[i];
    const testing::Outcome out = evaluate(row.text, row.x);
    ASSERT_EQ(out.analysis, AnalysisOk) << row.text;
    EXPECT_EQ(out.evaluation, EvaluationOk) << row.text;
    if (row.tolerance == 0) {
      EXPECT_EQ(out.value, row.expected) << row.text;
    } else {
      EXPECT_NEAR(static_cast<double>(out.value), static_cast<double>(row.expected), static_cast<double>(row.tolerance))
          << row.text;
    }
  }
}

TEST(Evaluation, OperatorsAssociativityAndSigns) {
  const ValueRow rows[] = {
      {"2^3^2", 0, 64, 0},           // "^" is left-associative
      {"2+3*4", 0, 14, 0},
      {"-2^2", 0, -4, 0},             // the leading minus is "-1 *"
      {"(-2)^2", 0, 4, 0},
      {"2^(-1)", 0, 0.5L, 0},
      {"(-2)^3", 0, -8, 0},
      {"8/2/2", 0, 2, 0},
      {"8-2-2", 0, 4, 0},
      {"2*3^2", 0, 18, 0},
      {"X^2+1", 3, 10, 0},
      {"X^2+1", -1, 2, 0},
      {"3X", 2, 6, 0},
      {"1/3", 0, round40(1.0L / 3), 0},
      {"0.1+0.2", 0, round40(round40(0.1L) + round40(0.2L)), 0},
      {"10^18", 0, round40(1e18L), 0},
      {"0^2", 0, 0, 0},
      {"0^0.5", 0, 0, 0},
      {"(-3)^0", 0, 1, 0},            // any negative base to the power 0
      {"2^0", 0, 1, 0},
      {"((((((((((7))))))))))", 0, 7, 0},
      {"1/ALO(38.2)/ALO(38.2)", 0, 0, 0},  // below the Real6 range: stored as 0
  };
  checkValues(rows, std::size(rows));
}

TEST(Evaluation, Functions) {
  const ValueRow rows[] = {
      {"SIG(30)", 0, round40(std::sin(30 * (1.0L / 180) * 3.141593L)), 0},
      {"SIG(30)", 0, 0.50000005L, 1e-8L},
      {"SIN(P/6)", 0, 0.50000005L, 1e-8L},
      {"ASG(1)", 0, 90, 0},
      {"ASG(-1)", 0, -90, 0},
      {"ACG(0)", 0, 90, 0},
      {"ACO(-1)", 0, round40(3.141593L), 0},
      {"ASI(1)", 0, round40(1.570796L), 0},
      {"ACO(0)", 0, round40(1.570796L), 0},
      {"ACG(-0.5)", 0, 120, 1e-4L},
      {"ASG(0.5)", 0, 30, 1e-4L},
      {"ACO(0.5)", 0, 1.0471975512L, 1e-6L},
      {"LOG(100)", 0, 2, 0},
      {"ALO(2)", 0, 100, 0},
      {"LN(NE)", 0, 1, 1e-6L},
      {"EXP(1)", 0, 2.718281828L, 1e-9L},
      {"ALN(0)", 0, 1, 0},
      {"EXP(43)", 0, 4.727839468e18L, 1e9L},
      {"TAG(45)", 0, 1, 1e-6L},
      {"ATG(1)", 0, 45, 1e-4L},
      {"COG(60)", 0, 0.5L, 1e-6L},
      {"ABS(-3,5)", 0, 3.5L, 0},
      {"(-8)^(1/3)", 0, -2, 1e-10L},
      {"(-8)^(2/3)", 0, 4, 1e-10L},
      {"2^0.5", 0, round40(std::exp(round40(0.5L) * std::log(2.0L))), 0},
      {"SIN(EXP(50))", 0, 0, 0},  // beyond 2^63 the sine is 0
  };
  checkValues(rows, std::size(rows));
}

TEST(Evaluation, ErrorCodes) {
  struct Row {
    const char* text;
    std::int32_t error;
  };
  const Row rows[] = {
      {"1/0", 1},
      {"0^0", 2},
      {"0^(-0.5)", 2},
      {"0^(-1)", 4},  // a whole exponent multiplies: 1/0 is refused as too small a divisor
      {"(-4)^0.5", 2},
      {"ASI(2)", 2},
      {"ACG(-1.5)", 2},
      {"LN(0)", 3},
      {"LOG(-1)", 3},
      {"EXP(88)", 4},
      {"EXP(-88)", 4},
      {"(-2)^(-1)", 4},  // an odd negative power of a negative base
      {"10^20", 4},
      {"1/10^(-20)", 4},
      {"9999999999999999999", 4},    // stored above 1e19: the final check
      {"9999999999999999999*1", 4},  // an operand of 1e19 or more
      {"EXP(50)/2", 4},
      {"2/EXP(-50)", 4},
      {"2^200", 4},
      {"ALO(38.2)", 4},
      {"(-EXP(69))^2", 4},  // the running product would leave the Real6 range
      {"(-EXP(69))^3", 4},
      // Which error wins: brackets by their ")" from the left, then "^", "*/", "+-".
      {"(1/0)+LN(0)", 1},
      {"LN(0)+(1/0)", 3},
      {"1/0+0^0", 2},
      {"0^0*LN(0)", 3},
      {"1/0*EXP(100)", 4},
      {"2/0^0", 2},
      {"1/0+EXP(50)*EXP(50)", 1},
      {"EXP(50)*EXP(50)+1/0", 4},
  };
  for (const Row& row : rows) {
    const testing::Outcome out = evaluate(row.text);
    ASSERT_EQ(out.analysis, AnalysisOk) << row.text;
    EXPECT_EQ(out.evaluation, row.error) << row.text;
  }
}

TEST(Evaluation, ResultIsKeptOnErrorExceptForTheFinalBound) {
  std::int32_t error = 0, flag = 0;
  analitzar("1/0", error, flag);
  Real6 result(7.0L);
  Calcular(Real6(), result, error);
  EXPECT_EQ(error, EvaluationDivisionByZero);
  EXPECT_EQ(result.toLongDouble(), 7.0L);

  error = 0;
  analitzar("9999999999999999999", error, flag);
  Calcular(Real6(), result, error);
  EXPECT_EQ(error, EvaluationOutOfRange);
  EXPECT_EQ(result.toLongDouble(), round40(9999999999999999999.0L));
}

TEST(Evaluation, OneAnalysisManyEvaluations) {
  std::int32_t error = 0, flag = 0;
  analitzar("X^2+1", error, flag);
  ASSERT_EQ(error, 0);
  const long double xs[] = {3, -1, 0.5L, 1000};
  for (long double x : xs) {
    Real6 result;
    Calcular(Real6(x), result, error);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(result.toLongDouble(), round40(x * x + 1)) << static_cast<double>(x);
  }
  error = 0;
  analitzar("2Y", error, flag);
  EXPECT_EQ(error, AnalysisUnknownName);
  error = VariablesAllowed;
  analitzar("2Y", error, flag);
  ASSERT_EQ(error, 0);
  Real6 result;
  CalcularXYZUV(Real6(), Real6(4.0L), Real6(), Real6(), Real6(), result, error);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(result.toLongDouble(), 8.0L);
  // The stored list is not changed by evaluating it.
  EXPECT_EQ(CurrentOperationList().Count, 5);
  EXPECT_EQ(CurrentOperationList().Slots[3].Name, "Y");
}

TEST(Evaluation, RaisePowerOnItsOwn) {
  struct Row {
    long double base, exponent;
    std::int32_t error;
    long double value;
  };
  const Row rows[] = {
      {2, 10, 0, 1024},
      {2, -2, 0, 0.25L},
      {-2, -2, 0, 0.25L},
      {-2, -3, 4, 0},
      {1e10L, 2, 0, round40(1e20L)},  // the product may pass 1e19 on the last step
      {1e10L, 3, 4, 0},
      {0, 0, 2, 0},
      {0, 2.5L, 0, 0},
      {-1, 0.5L, 2, 0},
      {-1, 100, 0, 1},  // |E| >= 100 takes the angle search: a = 100 pi
  };
  for (const Row& row : rows) {
    std::int32_t error = 0;
    const long double value = RaisePower(row.base, row.exponent, error);
    EXPECT_EQ(error, row.error) << static_cast<double>(row.base) << "^" << static_cast<double>(row.exponent);
    if (row.error == 0) {
      EXPECT_NEAR(static_cast<double>(value), static_cast<double>(row.value), 1e-9);
    }
  }
}

}  // namespace
}  // namespace brunzit

namespace brunzit {
namespace {

// The negative-base search tried step by step, as written, for comparison.
long double stepByStepNegativePower(long double base, long double exponent, std::int32_t& error) {
  const long double pi = 3.14159265358979323846264338327950288L;
  error = EvaluationNoRealResult;
  for (long double f = 0;; f += 1) {
    const long double a = exponent * pi + exponent * (f * (2 * pi));
    const long double s = std::fabs(a) >= 0x1p63L ? 0 : std::sin(a);
    if (s > -1e-5L && s < 1e-5L) {
      const long double r = exponent * std::log(-base);
      if (r > -88 && r < 88) {
        error = EvaluationOk;
        return testing::round40(std::exp(r) * std::cos(a));
      }
      error = EvaluationOutOfRange;
      return 0;
    }
    if (std::fabs(a) > 2 * pi) return 0;
  }
}

TEST(Evaluation, NegativeBaseSearchSkipsOnlyHopelessSteps) {
  std::mt19937_64 random(3);
  int hits = 0;
  for (int i = 0; i < 3000; ++i) {
    // Small exponents, where the search is long, around the 1e-5/pi edge.
    const long double exponent =
        testing::round40(std::ldexp(static_cast<long double>(random() >> 11) / 0x1p53L + 0.5L,
                                    -5 - static_cast<int>(random() % 14))) * ((random() & 1) ? 1 : -1);
    const long double base = -static_cast<long double>(1 + random() % 50) / 4;
    std::int32_t expectedError = 0, error = 0;
    const long double expected = stepByStepNegativePower(base, exponent, expectedError);
    const long double value = RaisePower(base, exponent, error);
    ASSERT_EQ(error, expectedError) << static_cast<double>(exponent);
    if (error == 0) {
      ++hits;
      ASSERT_EQ(value, expected) << static_cast<double>(exponent);
    }
  }
  EXPECT_GT(hits, 100);
}

}  // namespace
}  // namespace brunzit
