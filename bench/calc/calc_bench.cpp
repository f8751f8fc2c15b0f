// The calculator engine beside muparser on the same expressions, in one
// process, engines interleaved. Rows: analyse once and evaluate many times
// (ns per evaluation, ours/muparser, and ours against a plain C++ floor that
// rounds every intermediate to 40 bits as the engine does), then one call
// that analyses, evaluates and formats a fresh text (ns per call).
// --short: small counts, prints the table, fails only when checksums disagree.

#include "calc/dcalculs.h"
#include "calc/stages.h"

#include <muParser.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <new>
#include <string>
#include <sys/utsname.h>
#include <vector>

// Counting allocations shows that evaluation allocates nothing.
static std::size_t allocations = 0;
void* operator new(std::size_t size) {
  ++allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using namespace brunzit;
using Clock = std::chrono::steady_clock;

// The floor's rounding: 40 significant bits, kept in an SSE register.
inline double r40(double v) {
  return std::bit_cast<double>((std::bit_cast<std::uint64_t>(v) + 0x1000) & ~std::uint64_t(0x1FFF));
}
inline double rad(double d) { return r40(d * (1.0 / 180) * 3.141593); }

double degSin(double x) { return std::sin(x * (1.0 / 180) * 3.141593); }
double degCos(double x) { return std::cos(x * (1.0 / 180) * 3.141593); }
double degTan(double x) { return std::tan(x * (1.0 / 180) * 3.141593); }
double absolute(double x) { return std::fabs(x); }

struct Row {
  const char* name;
  std::string text;
  std::function<double(double, const double*)> floor;
};

// 200 slots: "ABS(X)" takes 4, each "+X" 2, the outer brackets 2.
std::string longSum() {
  std::string text = "ABS(X)";
  for (int i = 0; i < 97; ++i) text += "+X";
  return text;
}

std::vector<Row> rows() {
  return {
      {"X^2+1", "X^2+1", [](double x, const double*) { return r40(r40(x * x) + 1); }},
      {"trig", "SIN(X)*COS(X)+X/3",
       [](double x, const double*) { return r40(r40(r40(std::sin(x)) * r40(std::cos(x))) + r40(x / 3)); }},
      {"rational+abs", "(X+1)*(X-1)/(X^2+2)+ABS(X-5)",
       [](double x, const double*) {
         return r40(r40(r40(r40(x + 1) * r40(x - 1)) / r40(r40(x * x) + 2)) + std::fabs(r40(x - 5)));
       }},
      {"long 30-op",
       "(X+1)*(X-2)/(X+3)-(X*4-5)/(X*X+6)+X/7-8*X+(X-9)*(X+10)/11-X*12+13/(X*X+14)-(X+15)*0.5-17",
       [](double x, const double*) {
         const double a = r40(r40(r40(x + 1) * r40(x - 2)) / r40(x + 3));
         const double b = r40(r40(r40(x * 4) - 5) / r40(r40(x * x) + 6));
         const double c = r40(x / 7), d = r40(8 * x);
         const double e = r40(r40(r40(x - 9) * r40(x + 10)) / 11);
         const double f = r40(x * 12), g = r40(13 / r40(r40(x * x) + 14)), h = r40(r40(x + 15) * 0.5);
         return r40(r40(r40(r40(r40(r40(r40(r40(a - b) + c) - d) + e) - f) + g) - h) - 17);
       }},
      {"five variables", "(X+Y)*(Z-U)/(V+1)+X*V-Y/Z",
       [](double x, const double* v) {
         return r40(r40(r40(r40(r40(x + v[0]) * r40(v[1] - v[2])) / r40(v[3] + 1)) + r40(x * v[3])) -
                    r40(v[0] / v[1]));
       }},
      {"degrees", "SIG(X)+COG(X*2)+TAG(X/2)",
       [](double x, const double*) {
         return r40(r40(r40(std::sin(rad(x))) + r40(std::cos(rad(r40(x * 2))))) + r40(std::tan(rad(r40(x / 2)))));
       }},
      {"200 slots", longSum(),
       [](double x, const double*) {
         double s = std::fabs(x);
         for (int i = 0; i < 97; ++i) s = r40(s + x);
         return s;
       }},
  };
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

std::string machineLine() {
  std::ifstream cpu("/proc/cpuinfo");
  std::string line, model = "unknown cpu";
  int cores = 0;
  while (std::getline(cpu, line)) {
    if (line.rfind("model name", 0) == 0) {
      model = line.substr(line.find(':') + 2);
      ++cores;
    }
  }
  utsname u{};
  uname(&u);
  return model + ", " + std::to_string(cores) + " cpus, " + u.sysname + " " + u.release + " " + u.machine;
}

struct Timed {
  double ns;
  double checksum;
};

}  // namespace

int main(int argc, char** argv) {
  const bool shortRun = argc > 1 && std::strcmp(argv[1], "--short") == 0;
  const long evaluations = shortRun ? 1000000 : 10000000;
  const int rounds = shortRun ? 1 : 5;
  const int calls = shortRun ? 2000 : 20000;

  std::printf("machine: %s\n", machineLine().c_str());
  std::printf("flags:   %s\n", BENCH_FLAGS);
  std::printf("muparser %s\n", mu::Parser().GetVersion().c_str());
  std::printf("%s: %ld evaluations x %d rounds, median ns per evaluation\n\n", shortRun ? "short" : "full",
              evaluations, rounds);

  double xs[1024];
  Real6 xs6[1024];
  for (int i = 0; i < 1024; ++i) {
    xs6[i] = Real6(0.25L + i * 0.01L);
    xs[i] = Real6ToDouble(xs6[i]);
  }
  const long double others[4] = {1.5L, 2.25L, 0.75L, 3.5L};
  double vars[5] = {};
  Real6 others6[4];
  for (int i = 0; i < 4; ++i) others6[i] = Real6(others[i]);
  const double othersDouble[4] = {Real6ToDouble(others6[0]), Real6ToDouble(others6[1]), Real6ToDouble(others6[2]),
                                  Real6ToDouble(others6[3])};

  mu::Parser parser;
  parser.DefineFun("SIN", static_cast<double (*)(double)>(std::sin));
  parser.DefineFun("COS", static_cast<double (*)(double)>(std::cos));
  parser.DefineFun("ABS", absolute);
  parser.DefineFun("SIG", degSin);
  parser.DefineFun("COG", degCos);
  parser.DefineFun("TAG", degTan);
  const char* names[] = {"X", "Y", "Z", "U", "V"};
  for (int i = 0; i < 5; ++i) parser.DefineVar(names[i], &vars[i]);
  for (int i = 0; i < 4; ++i) vars[i + 1] = othersDouble[i];

  bool agree = true;
  std::vector<double> ratios;
  std::printf("%-16s %10s %10s %10s %8s %10s %10s  %s\n", "row", "ours", "muparser", "floor", "ratio", "ours/floor",
              "allocs", "checksums (ours | muparser)");
  for (const Row& row : rows()) {
    std::int32_t error = VariablesAllowed, flag = 0;
    analitzar(row.text, error, flag);
    if (error != AnalysisOk) {
      std::printf("%s: analysis error %d\n", row.name, error);
      return 1;
    }
    parser.SetExpr(row.text);
    parser.Eval();

    auto runOurs = [&](long n) {
      double sum = 0;
      Real6 result;
      std::int32_t e = 0;
      const auto start = Clock::now();
      for (long i = 0; i < n; ++i) {
        CalcularXYZUV(xs6[i & 1023], others6[0], others6[1], others6[2], others6[3], result, e);
        sum += Real6ToDouble(result);
      }
      return Timed{std::chrono::duration<double, std::nano>(Clock::now() - start).count() / n, sum};
    };
    auto runMuparser = [&](long n) {
      double sum = 0;
      const auto start = Clock::now();
      for (long i = 0; i < n; ++i) {
        vars[0] = xs[i & 1023];
        sum += parser.Eval();
      }
      return Timed{std::chrono::duration<double, std::nano>(Clock::now() - start).count() / n, sum};
    };
    auto runFloor = [&](long n) {
      double sum = 0;
      const auto start = Clock::now();
      for (long i = 0; i < n; ++i) sum += row.floor(xs[i & 1023], othersDouble);
      return Timed{std::chrono::duration<double, std::nano>(Clock::now() - start).count() / n, sum};
    };
    const std::function<Timed(long)> engines[3] = {runOurs, runMuparser, runFloor};
    for (const auto& engine : engines) engine(evaluations / 10);  // warm-up
    std::vector<double> ns[3];
    double checksum[3] = {};
    for (int r = 0; r < rounds; ++r) {
      for (int k = 0; k < 3; ++k) {
        const int which = (r + k) % 3;  // rotate the starting engine
        const Timed t = engines[which](evaluations);
        ns[which].push_back(t.ns);
        checksum[which] = t.checksum;
      }
    }
    const std::size_t before = allocations;
    runOurs(1000);
    const std::size_t evalAllocs = allocations - before;
    const double ours = median(ns[0]), mu = median(ns[1]), floor = median(ns[2]);
    // muparser computes in plain doubles and the floor rounds halfway cases
    // up, so the sums agree to about 12 digits, not to the last bit.
    const bool same = std::fabs(checksum[0] - checksum[1]) <= 1e-9 * std::fabs(checksum[1]) &&
                      std::fabs(checksum[0] - checksum[2]) <= 1e-9 * std::fabs(checksum[2]);
    agree = agree && same;
    ratios.push_back(ours / mu);
    std::printf("%-16s %10.2f %10.2f %10.2f %8.2f %10.2f %10zu  %.10g | %.10g%s\n", row.name, ours, mu, floor,
                ours / mu, ours / floor, evalAllocs, checksum[0], checksum[1], same ? "" : "  MISMATCH");
  }
  double logSum = 0;
  for (double r : ratios) logSum += std::log(r);
  std::printf("geometric mean of ours/muparser: %.2f\n\n", std::exp(logSum / ratios.size()));

  // One call: a fresh text each time, X replaced by a different literal.
  std::printf("one call (analyse + evaluate + format a fresh text), %d calls x %d rounds, median ns per call\n",
              calls, rounds);
  std::printf("%-16s %10s %10s %8s %14s  %s\n", "row", "ours", "muparser", "ratio", "analysis allocs",
              "checksums (answer lengths)");
  for (const Row& row : rows()) {
    std::vector<std::string> texts;
    for (int i = 0; i < 1024; ++i) {
      std::string t;
      char literal[32];
      std::snprintf(literal, sizeof literal, "%d.%03d", 1 + i / 100, i % 1000);
      // The 200-slot text is already 200 characters long: there the
      // variable becomes "2" and the first ten "+" signs spell i in "+"/"-".
      const bool full = row.text.size() >= 200;
      int signs = 0;
      for (char c : row.text) {
        if (c == 'X' || c == 'Y' || c == 'Z' || c == 'U' || c == 'V') {
          t += full ? "2" : literal;
        } else if (full && c == '+' && signs < 10) {
          t += ((i >> signs++) & 1) ? '-' : '+';
        } else {
          t += c;
        }
      }
      texts.push_back(t);
    }
    auto oneOurs = [&](int n) {
      double sum = 0;
      const auto start = Clock::now();
      for (int i = 0; i < n; ++i) sum += static_cast<double>(CalculateLine(texts[i & 1023]).size());
      return Timed{std::chrono::duration<double, std::nano>(Clock::now() - start).count() / n, sum};
    };
    auto oneMuparser = [&](int n) {
      double sum = 0;
      const auto start = Clock::now();
      for (int i = 0; i < n; ++i) {
        const std::string& t = texts[i & 1023];
        parser.SetExpr(t);
        const std::string answer = t + " = " + FormatResult(Real6(static_cast<long double>(parser.Eval())));
        sum += static_cast<double>(std::min<std::size_t>(answer.size(), AnswerLimit));
      }
      return Timed{std::chrono::duration<double, std::nano>(Clock::now() - start).count() / n, sum};
    };
    oneOurs(calls / 10);
    oneMuparser(calls / 10);
    std::vector<double> ns[2];
    double checksum[2] = {};
    for (int r = 0; r < rounds; ++r) {
      for (int k = 0; k < 2; ++k) {
        const int which = (r + k) % 2;
        const Timed t = which == 0 ? oneOurs(calls) : oneMuparser(calls);
        ns[which].push_back(t.ns);
        checksum[which] = t.checksum;
      }
    }
    const std::size_t before = allocations;
    std::int32_t error = 0, flag = 0;
    analitzar(texts[7], error, flag);
    const std::size_t analysisAllocs = allocations - before;
    // The answers' lengths agree when both engines give the same texts.
    const bool same = checksum[0] == checksum[1];
    agree = agree && same;
    std::printf("%-16s %10.0f %10.0f %8.3f %14zu  %.0f | %.0f%s\n", row.name, median(ns[0]), median(ns[1]),
                median(ns[0]) / median(ns[1]), analysisAllocs, checksum[0], checksum[1], same ? "" : "  MISMATCH");
  }
  std::printf("\nchecksums %s\n", agree ? "agree" : "DISAGREE");
  return agree ? 0 : 1;
}
