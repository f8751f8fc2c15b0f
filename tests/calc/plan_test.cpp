// The plan against the reference reduction, and arithmetic against an
// independent rounding, on many generated expressions and values.

#include "calc/dcalculs.h"
#include "calc/compiledplan.h"
#include "calc/stages.h"
#include "tests/calc/calc_test_support.h"

#include <gtest/gtest.h>

#include <cstring>

#include <bit>
#include <cmath>
#include <random>
#include <string>

namespace brunzit {
namespace {

class ExpressionGenerator {
 public:
  explicit ExpressionGenerator(std::uint64_t seed) : random_(seed) {}

  std::string next() {
    std::string text = expression(0);
    return text;
  }

  long double value() {
    static const long double pool[] = {0, 1, -1, 0.5L, 2, 3, -8, 10, 1e18L, 9.99e18L, 1e19L, 2e19L, 1e-19L,
                                       1e-30L, 1e30L, -1e30L, 45, 90, 180, 0.1L, 1.0L / 3};
    if (pick(3) == 0) return testing::round40(std::ldexp(uniform(), static_cast<int>(pick(40)) - 20) * (pick(2) ? 1 : -1));
    return pool[pick(std::size(pool))];
  }

 private:
  std::size_t pick(std::size_t n) { return static_cast<std::size_t>(random_() % n); }
  long double uniform() { return static_cast<long double>(random_() >> 11) / 0x1p53L + 0.5L; }

  std::string space() { return pick(6) == 0 ? " " : ""; }

  std::string operand(int depth) {
    static const char* literals[] = {"0", "1", "2", "3", "0.5", "7", "10", "0.1", "100", "1000000", "12.375", "3,5",
                                     "1'25", "P", "NE", "88", "9999999999999999999", "0.0000000000000000001",
                                     "1099511627777", "4.5", ".25", "5."};
    static const char* functions[] = {"SIN", "SIG", "SEN", "SEG", "COS", "COG", "TAN", "TAG", "ASI", "ASG", "ASE",
                                      "ACO", "ACG", "ATA", "ATG", "ABS", "LOG", "ALO", "EXP", "ALN", "LN"};
    static const char* variables[] = {"X", "Y", "Z", "U", "V"};
    const std::size_t kind = depth > 3 ? pick(2) : pick(5);
    switch (kind) {
      case 0: return literals[pick(std::size(literals))];
      case 1: return variables[pick(std::size(variables))];
      case 2: return "(" + expression(depth + 1) + ")";
      default: return std::string(functions[pick(std::size(functions))]) + "(" + expression(depth + 1) + ")";
    }
  }

  std::string expression(int depth) {
    static const char ops[] = {'+', '-', '*', '/', '^'};
    std::string text = pick(5) == 0 ? "-" : (pick(12) == 0 ? "+" : "");
    const std::size_t terms = 1 + pick(depth == 0 ? 6 : 3);
    for (std::size_t i = 0; i < terms; ++i) {
      if (i) text += space() + ops[pick(std::size(ops))] + space();
      text += operand(depth);
    }
    return text;
  }

  std::mt19937_64 random_;
};

TEST(EvaluationPlan, AgreesWithTheReferenceOnGeneratedExpressions) {
  ExpressionGenerator generator(20241208);
  static EvaluationPlan plan;
  int analysed = 0, planned = 0, errors = 0;
  for (int i = 0; i < 20000; ++i) {
    const std::string text = generator.next();
    std::int32_t error = VariablesAllowed, flag = 0;
    analitzar(text, error, flag);
    if (error != AnalysisOk) continue;
    ++analysed;
    BuildPlan(CurrentOperationList(), plan);
    for (int round = 0; round < 3; ++round) {
      VariableValues values;
      double doubles[5];
      for (int v = 0; v < 5; ++v) {
        values.Values[v] = Real6(generator.value());
        doubles[v] = Real6ToDouble(values.Values[v]);
      }
      Real6 reference(-123.0L), engine(-123.0L);
      std::int32_t referenceError = -1, engineError = -1;
      EvaluateList(CurrentOperationList(), values, reference, referenceError);
      const Real6* v = values.Values;
      CalcularXYZUV(v[0], v[1], v[2], v[3], v[4], engine, engineError);
      ASSERT_EQ(engineError, referenceError) << text;
      ASSERT_TRUE(engine == reference) << text << " = " << static_cast<double>(reference.toLongDouble()) << " vs "
                                       << static_cast<double>(engine.toLongDouble());
      ASSERT_NE(referenceError, EvaluationListNotReady) << text;
      errors += referenceError != 0;
      double fast = 0;
      if (plan.Ready && RunPlan(plan, doubles, fast)) {
        ++planned;
        ASSERT_EQ(referenceError, EvaluationOk) << text;
        ASSERT_TRUE(DoubleToReal6(fast) == reference) << text;
      }
    }
  }
  // The generator must exercise all three outcomes substantially.
  EXPECT_GT(analysed, 12000);
  EXPECT_GT(planned, 4000);
  EXPECT_GT(errors, 4000);
}

// The calculators' evaluation on doubles skips the six-byte values where it
// can: it must answer exactly as the six-byte evaluation of the nearest
// values does, before and after the plan is compiled, for any double.
TEST(Calculator, DoublesAnswerAsTheirNearestSixByteValues) {
  ExpressionGenerator generator(4096);
  std::mt19937_64 random(11);
  const double edges[] = {0.0, -0.0, 0x1p-126, -0x1p-126, 0x1.fffffffffffffp-127, 0x1p-1074, 0x1.ffffffffffp125,
                          0x1.fffffffffffffp125, 1e30, 1.7e38, -1.7e38, 1e300, INFINITY, -INFINITY, NAN,
                          1 + 0x1p-40, 1 + 0x3p-40, -(1 + 0x1p-40), 0.1, 1.0 / 3};
  int compared = 0;
  for (int e = 0; e < 24;) {
    const std::string text = generator.next();
    Calculator onDoubles, onBytes;
    std::int32_t error = VariablesAllowed, flag = 0;
    onDoubles.Analyse(text, error, flag);
    if (error != AnalysisOk) continue;
    error = VariablesAllowed;
    onBytes.Analyse(text, error, flag);
    ++e;
    // Past the point where plans are compiled, for a few of them.
    const int runs = e % 6 == 0 ? 17000 : 300;
    for (int i = 0; i < runs; ++i) {
      double in[5];
      for (double& v : in) {
        const auto pick = random() % 4;
        v = pick == 0   ? edges[random() % std::size(edges)]
            : pick == 1 ? static_cast<double>(generator.value())
                        : std::ldexp(static_cast<double>(random() >> 11) / 0x1p53, static_cast<int>(random() % 60) - 30) *
                              (random() % 2 ? 1 : -1);
      }
      std::int32_t doublesError = -1, bytesError = -1;
      const double answer = onDoubles.Evaluate(in, doublesError);
      Real6 result;
      onBytes.Evaluate(DoubleToNearestReal6(in[0]), DoubleToNearestReal6(in[1]), DoubleToNearestReal6(in[2]),
                       DoubleToNearestReal6(in[3]), DoubleToNearestReal6(in[4]), result, bytesError);
      ASSERT_EQ(doublesError, bytesError) << text << " X=" << in[0];
      const double expected = bytesError == EvaluationOk ? Real6ToDouble(result) : 0;
      ASSERT_EQ(std::bit_cast<std::uint64_t>(answer), std::bit_cast<std::uint64_t>(expected))
          << text << " X=" << in[0] << ": " << answer << " vs " << expected;
      ++compared;
    }
  }
  EXPECT_GT(compared, 60000);
}

// Compiled code must give what the plan gives wherever the plan keeps the
// evaluation, and hand every other case, arguments intact, to its fallback.
int fallbacks = 0;
void referenceFallback(const Real6& x, const Real6& y, const Real6& z, const Real6& u, const Real6& v, Real6& result,
                       std::int32_t& error) {
  ++fallbacks;
  EvaluateList(CurrentOperationList(), VariableValues{{x, y, z, u, v}}, result, error);
}

TEST(CompiledPlan, AgreesWithThePlanAndFallsBackExactlyWhereItDoes) {
  static EvaluationPlan plan;
  static CompiledPlan compiled;
  ExpressionGenerator generator(77);
  int compiledCount = 0, kept = 0;
  for (int i = 0; i < 20000; ++i) {
    const std::string text = generator.next();
    std::int32_t error = VariablesAllowed, flag = 0;
    analitzar(text, error, flag);
    if (error != AnalysisOk || !BuildPlan(CurrentOperationList(), plan)) continue;
    if (!compiled.Compile(plan, &referenceFallback)) {
#if defined(BRUNZIT_COMPILED_PLAN)
      FAIL() << "not compiled: " << text;
#else
      GTEST_SKIP() << "no compiled plans on this system";
#endif
    }
    ++compiledCount;
    for (int round = 0; round < 4; ++round) {
      Real6 values[5];
      double doubles[5];
      for (int v = 0; v < 5; ++v) {
        values[v] = Real6(generator.value());
        doubles[v] = Real6ToDouble(values[v]);
      }
      double planned = 0;
      const bool planKeeps = RunPlan(plan, doubles, planned);
      const int fallbacksBefore = fallbacks;
      Real6 result(-123.0L);
      std::int32_t resultError = -1;
      compiled.Entry()(values[0], values[1], values[2], values[3], values[4], result, resultError);
      ASSERT_EQ(fallbacks - fallbacksBefore, planKeeps ? 0 : 1) << text;
      if (!planKeeps) continue;
      ++kept;
      ASSERT_EQ(resultError, EvaluationOk) << text;
      ASSERT_TRUE(result == DoubleToReal6(planned)) << text << " = " << planned;
    }
  }
  EXPECT_GT(compiledCount, 5000);
  EXPECT_GT(kept, 6000);
  EXPECT_GT(fallbacks, 6000);
}

TEST(EvaluationPlan, ArithmeticMatchesAnIndependentRoundingIncludingTies) {
  std::mt19937_64 random(99);
  // "^1" is computed by a call, so the second operand comes back in the
  // register the call returns in.
  const char* texts[] = {"X*Y", "X/Y", "X+Y", "X-Y", "X*Y^1", "X/Y^1", "X+Y^1", "X-Y^1"};
  for (int t = 0; t < 8; ++t) {
    std::int32_t error = VariablesAllowed, flag = 0;
    analitzar(texts[t], error, flag);
    ASSERT_EQ(error, 0);
    for (int i = 0; i < 50000; ++i) {
      // Short mantissas make exact ties between two Real6 values common.
      const int bits = 1 + static_cast<int>(random() % 40);
      auto operand = [&] {
        const long double m = static_cast<long double>((random() >> (64 - bits)) | 1);
        return std::ldexp(m, static_cast<int>(random() % 40) - 20 - bits) * ((random() & 1) ? 1 : -1);
      };
      const long double x = operand(), y = operand();
      long double exact = 0;
      switch (t % 4) {
        case 0: exact = x * y; break;
        case 1: exact = x / y; break;
        case 2: exact = x + y; break;
        default: exact = x - y; break;
      }
      Real6 result;
      CalcularXYZUV(Real6(x), Real6(y), Real6(), Real6(), Real6(), result, error);
      ASSERT_EQ(error, 0);
      ASSERT_EQ(result.toLongDouble(), testing::round40(exact))
          << texts[t] << " x=" << static_cast<double>(x) << " y=" << static_cast<double>(y);
    }
  }
}

// The functions the plan computes on doubles, against the reference's
// extended results, on arguments of every kind: ordinary, huge, tiny, whole
// degrees and near the edges where the reference refuses.
// Arguments of every kind: ordinary, huge, tiny, whole degrees, near 90
// degree multiples, near exp's limits, near 1 for the logarithms.
class FunctionArguments {
 public:
  explicit FunctionArguments(std::uint64_t seed) : random_(seed) {}
  int kind() { return static_cast<int>(random_() % 6); }
  long double next(int kind) {
    const long double sign = (random_() & 1) ? 1 : -1;
    switch (kind) {
      case 0: return sign * 8 * uniform();
      case 1: return sign * std::ldexp(0.5L + uniform() / 2, static_cast<int>(random_() % 124) - 60);
      case 2: return sign * static_cast<long double>(random_() % 4000) * 15;
      case 3: return sign * (static_cast<long double>(random_() % 40) * 90 + (uniform() - 0.5L) * 1e-6L);
      case 4: return sign * (88 - uniform() * 1e-3L);
      default: return 1 + (uniform() - 0.5L) * 1e-9L;
    }
  }

 private:
  long double uniform() { return static_cast<long double>(random_() >> 11) / 0x1p53L; }
  std::mt19937_64 random_;
};

TEST(EvaluationPlan, FunctionsOnDoublesGiveTheReferenceResult) {
  FunctionArguments arguments(2026);
  const FunctionId functions[] = {FunctionId::SIN, FunctionId::SIG, FunctionId::COS, FunctionId::COG,
                                  FunctionId::TAN, FunctionId::TAG, FunctionId::ATA, FunctionId::ABS,
                                  FunctionId::LNE, FunctionId::LOG, FunctionId::EXP, FunctionId::ASI};
  for (const FunctionId function : functions) {
    int fast = 0, ordinary = 0;
    for (int i = 0; i < 120000; ++i) {
      const int kind = arguments.kind();
      double x = static_cast<double>(testing::round40(arguments.next(kind)));
      if (function == FunctionId::LNE || function == FunctionId::LOG) x = std::fabs(x);
      std::uint64_t odd = 0;
      const double planned = PlanFunction(function, x, odd);
      std::int32_t error = EvaluationOk;
      const long double reference = ApplyFunction(function, x, error);
      ordinary += kind == 0;
      if (odd != 0) continue;
      fast += kind == 0;
      ASSERT_EQ(error, EvaluationOk) << static_cast<int>(function) << " of " << x;
      ASSERT_EQ(planned, static_cast<double>(reference)) << static_cast<int>(function) << " of " << x;
    }
    // Ordinary arguments (the first kind) stay in the plan rather than
    // sending the whole evaluation to the reference (the arcsine refuses
    // values beyond 1, so half of them leave).
    if (function != FunctionId::ASI) {
      EXPECT_GT(fast, ordinary * 9 / 10) << static_cast<int>(function);
    }
  }
}

// Compiled code leaves out range checks for variables inside a window of
// magnitudes: at and around every power of two across the plain range it
// must still give the plan's answer and fall back exactly where the plan does.
TEST(CompiledPlan, WindowEdgesKeepThePlansChecks) {
  static EvaluationPlan plan;
  static CompiledPlan compiled;
  int kept = 0, left = 0;
  for (const char* text : {"X^2+1", "X*X*X-1", "X*Y/Z", "(X+1)*(X-1)", "SIN(X)*COS(X)+X/3", "X/(Y+1)", "X*8/0.5+Y"}) {
    std::int32_t error = VariablesAllowed, flag = 0;
    analitzar(text, error, flag);
    ASSERT_EQ(error, AnalysisOk) << text;
    ASSERT_TRUE(BuildPlan(CurrentOperationList(), plan)) << text;
    if (!compiled.Compile(plan, &referenceFallback)) GTEST_SKIP() << "no compiled plans on this system";
    for (int k = -130; k <= 66; ++k) {
      for (const long double step : {-1.0L, 0.0L, 1.0L}) {
        const long double x = std::ldexp(1.0L + step * 0x1p-39L, k);
        Real6 values[5] = {Real6(x), Real6(-x / 3), Real6(std::ldexp(1.5L, -k / 2)), Real6(), Real6()};
        double doubles[5];
        for (int v = 0; v < 5; ++v) doubles[v] = Real6ToDouble(values[v]);
        double planned = 0;
        const bool planKeeps = RunPlan(plan, doubles, planned);
        const int fallbacksBefore = fallbacks;
        Real6 result(-123.0L);
        std::int32_t resultError = -1;
        compiled.Entry()(values[0], values[1], values[2], values[3], values[4], result, resultError);
        ASSERT_EQ(fallbacks - fallbacksBefore, planKeeps ? 0 : 1) << text << " at 2^" << k;
        if (planKeeps) {
          ++kept;
          ASSERT_TRUE(result == DoubleToReal6(planned)) << text << " at 2^" << k;
        } else {
          ++left;
        }
      }
    }
  }
  EXPECT_GT(kept, 1000);
  EXPECT_GT(left, 300);
}

// The largest plans, of every kind of step, fit the code buffer (a plan that
// does not fit runs uncompiled, correct but slower).
TEST(CompiledPlan, LargestPlansCompile) {
  static EvaluationPlan plan;
  static CompiledPlan compiled;
  auto repeated = [](std::string first, const std::string& more) {
    while (first.size() + more.size() <= 196) first += more;  // within 200 slots with the outer brackets
    return first;
  };
  for (const std::string& text : {repeated("ABS(X)", "+X"), repeated("X", "+X/Y*Z"), repeated("SIG(X)", "+TAG(X)"),
                                  repeated("X", "-Y^3"), repeated("X", "+(X-1)*(X+1)/(X*X+2)")}) {
    std::int32_t error = VariablesAllowed, flag = 0;
    analitzar(text, error, flag);
    ASSERT_EQ(error, AnalysisOk) << text;
    ASSERT_TRUE(BuildPlan(CurrentOperationList(), plan)) << text;
#if defined(BRUNZIT_COMPILED_PLAN)
    ASSERT_TRUE(compiled.Compile(plan, &referenceFallback)) << text;
#else
    if (!compiled.Compile(plan, &referenceFallback)) GTEST_SKIP() << "no compiled plans on this system";
#endif
    ASSERT_EQ(std::memcmp(reinterpret_cast<const void*>(compiled.Entry()), EntryMarker, sizeof EntryMarker), 0);
    for (const long double x : {0.5L, 3.0L, -7.25L, 1e10L}) {
      const Real6 v[5] = {Real6(x), Real6(1.5L), Real6(-2.0L), Real6(), Real6()};
      Real6 result, reference;
      std::int32_t resultError = -1, referenceError = -1;
      compiled.Entry()(v[0], v[1], v[2], v[3], v[4], result, resultError);
      EvaluateList(CurrentOperationList(), VariableValues{{v[0], v[1], v[2], v[3], v[4]}}, reference, referenceError);
      ASSERT_EQ(resultError, referenceError) << text;
      if (referenceError == EvaluationOk) {
        ASSERT_TRUE(result == reference) << text << " at " << static_cast<double>(x);
      }
    }
  }
}

// Compiled code calls the library itself and checks the results inline:
// near a rounding midpoint, or where degrees are too sensitive to the
// radians' rounding, it must still give the reference's answer.
TEST(CompiledPlan, LibraryFunctionsGiveTheReferenceResult) {
  static EvaluationPlan plan;
  static CompiledPlan compiled;
  FunctionArguments arguments(4711);
  for (const char* text : {"SIN(X)", "COS(X)", "TAN(X)", "ATA(X)", "SIG(X)", "COG(X)", "TAG(X)", "LN(X)",
                           "EXP(X)", "LOG(X)", "ABS(X)"}) {
    std::int32_t error = VariablesAllowed, flag = 0;
    analitzar(text, error, flag);
    ASSERT_EQ(error, AnalysisOk) << text;
    ASSERT_TRUE(BuildPlan(CurrentOperationList(), plan)) << text;
    if (!compiled.Compile(plan, &referenceFallback)) GTEST_SKIP() << "no compiled plans on this system";
    int ordinary = 0, ordinaryFallbacks = 0;
    for (int i = 0; i < 40000; ++i) {
      const int kind = arguments.kind();
      const Real6 x(arguments.next(kind));
      Real6 result(-123.0L), reference(-123.0L);
      std::int32_t resultError = -1, referenceError = -1;
      const int fallbacksBefore = fallbacks;
      compiled.Entry()(x, x, x, x, x, result, resultError);
      if (kind == 0) {
        ++ordinary;
        ordinaryFallbacks += fallbacks - fallbacksBefore;
      }
      EvaluateList(CurrentOperationList(), VariableValues{{x, x, x, x, x}}, reference, referenceError);
      ASSERT_EQ(resultError, referenceError) << text << " of " << static_cast<double>(x.toLongDouble());
      if (referenceError == EvaluationOk) {
        ASSERT_TRUE(result == reference) << text << " of " << static_cast<double>(x.toLongDouble());
      }
    }
    // Ordinary arguments stay in the code (the logarithms refuse the
    // negative half of them).
    const bool logarithm = text[0] == 'L';
    EXPECT_LT(ordinaryFallbacks, ordinary * (logarithm ? 6 : 1) / 10) << text;
  }
}

TEST(Robustness, AnyBytesOfAnyLength) {
  std::mt19937_64 random(5);
  const char alphabet[] = "0123456789.,'+-*/^()XYZUVSCTALPNEIOGB xyzuvsinp\xC0\xFF";
  for (int i = 0; i < 20000; ++i) {
    std::string line(random() % 260, ' ');
    const bool anyByte = random() % 4 == 0;
    for (char& c : line) c = anyByte ? static_cast<char>(random()) : alphabet[random() % (sizeof alphabet - 1)];
    const std::string answer = CalculateLine(line);
    ASSERT_LE(answer.size(), AnswerLimit);
    const std::size_t kept = std::min(line.size(), AnswerLimit);
    ASSERT_EQ(answer.compare(0, kept, line, 0, kept), 0);
  }
  const std::string huge[] = {std::string(100000, '('), std::string(100000, ')'), std::string(1 << 20, 'p'),
                              std::string(99, '(') + "1" + std::string(99, ')'), std::string(1 << 20, '\0')};
  for (const std::string& text : huge) {
    std::int32_t error = VariablesAllowed, flag = 0;
    analitzar(text, error, flag);
    EXPECT_EQ(flag, 1);
    EXPECT_LE(CurrentOperationList().Count, SlotCapacity);
  }
  // 98 brackets inside the outer pair fill 199 slots; one more needs 201.
  EXPECT_EQ(CalculateLine(std::string(98, '(') + "1" + std::string(98, ')')).substr(197), " = 1");
  std::int32_t error = 0, flag = 0;
  analitzar(std::string(99, '(') + "1" + std::string(99, ')'), error, flag);
  EXPECT_EQ(error, AnalysisTooLong);
}

}  // namespace
}  // namespace brunzit
