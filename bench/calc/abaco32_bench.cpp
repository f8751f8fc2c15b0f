// Abaco32 as its callers get it, beside muparser: one analysis, then N
// evaluations with X spread over -10 .. 10, timed as a whole, through the
// library's exported C functions (analitzar + N x Calcular or CalcularXYZUV,
// and Abaco32Analyse + N x Abaco32Evaluate) and muparser's (SetExpr once +
// N x Eval). Engines interleaved, the median of several rounds, printed as
// the ratio to muparser per analysis. The library is loaded at run time, as
// a program would; a second build of it (compiling switched off) may be
// named after the first to time both in the same run.
//
// abaco32_bench LIBRARY [LIBRARY-WITHOUT-COMPILING] [--short] [--row NAME]
//   --short: fewer rounds; fails only when answers disagree.
//   --row: that row alone.

#include "calclib/abaco32.h"

#include <muParser.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <fstream>
#include <string>
#include <sys/utsname.h>
#include <vector>

namespace {

// Processor time of this thread: the machine is shared, and time spent
// waiting for a processor belongs to no engine.
double cpuNanoseconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

// The library's entry points, looked up by name.
struct Library {
  const char* label;
  Abaco32analitzarFn analitzar;
  Abaco32CalcularFn calcular;
  Abaco32CalcularXYZUVFn calcularXYZUV;
  decltype(&Abaco32New) create;
  decltype(&Abaco32Free) destroy;
  decltype(&Abaco32Analyse) analyse;
  decltype(&Abaco32Evaluate) evaluate;
};

template <typename F>
bool lookUp(void* handle, const char* name, F& out) {
  out = reinterpret_cast<F>(dlsym(handle, name));
  if (out == nullptr) std::fprintf(stderr, "%s: missing\n", name);
  return out != nullptr;
}

bool load(const char* path, const char* label, Library& lib) {
  void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    std::fprintf(stderr, "%s\n", dlerror());
    return false;
  }
  lib.label = label;
  return lookUp(handle, "analitzar", lib.analitzar) && lookUp(handle, "Calcular", lib.calcular) &&
         lookUp(handle, "CalcularXYZUV", lib.calcularXYZUV) && lookUp(handle, "Abaco32New", lib.create) &&
         lookUp(handle, "Abaco32Free", lib.destroy) && lookUp(handle, "Abaco32Analyse", lib.analyse) &&
         lookUp(handle, "Abaco32Evaluate", lib.evaluate);
}

// A double with 40 significant bits as the library's 6-byte real (both
// engines then see the same X).
Abaco32Real6 toReal6(double v) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
  const std::uint64_t exponent = ((bits >> 52) & 0x7FF) + 129 - 1023;
  const std::uint64_t raw = v == 0 ? 0 : (exponent & 0xFF) | (((bits >> 13) & ((std::uint64_t(1) << 39) - 1)) << 8) |
                                             ((bits >> 63) << 47);
  Abaco32Real6 out;
  std::memcpy(out.Bytes, &raw, 6);
  return out;
}

double fromReal6(const Abaco32Real6& r) {
  std::uint64_t raw = 0;
  std::memcpy(&raw, r.Bytes, 6);
  if ((raw & 0xFF) == 0) return 0;
  const std::uint64_t bits = ((raw >> 47) << 63) | (((raw & 0xFF) + 1023 - 129) << 52) |
                             (((raw >> 8) & ((std::uint64_t(1) << 39) - 1)) << 13);
  return std::bit_cast<double>(bits);
}

double round40(double v) {
  return std::bit_cast<double>((std::bit_cast<std::uint64_t>(v) + 0x1000) & ~std::uint64_t(0x1FFF));
}

double degSin(double x) { return std::sin(x * (1.0 / 180) * 3.141593); }
double degCos(double x) { return std::cos(x * (1.0 / 180) * 3.141593); }
double degTan(double x) { return std::tan(x * (1.0 / 180) * 3.141593); }
double absolute(double x) { return std::fabs(x); }

struct Row {
  const char* name;
  std::string text;
  bool fiveVariables;
};

std::vector<Row> rows() {
  std::string longSum = "ABS(X)";  // 200 slots: "ABS(X)" 4, each "+X" 2, the outer brackets 2
  for (int i = 0; i < 97; ++i) longSum += "+X";
  return {
      {"X^2+1", "X^2+1", false},
      {"trig", "SIN(X)*COS(X)+X/3", false},
      {"rational+abs", "(X+1)*(X-1)/(X^2+2)+ABS(X-5)", false},
      {"long 30-op",
       "(X+1)*(X-2)/(X+3)-(X*4-5)/(X*X+6)+X/7-8*X+(X-9)*(X+10)/11-X*12+13/(X*X+14)-(X+15)*0.5-17", false},
      {"five variables", "(X+Y)*(Z-U)/(V+1)+X*V-Y/Z", true},
      {"degrees", "SIG(X)+COG(X*2)+TAG(X/2)", false},
      {"200 slots", longSum, false},
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

// One timed batch: `analyses` times one analysis and N evaluations.
struct Timed {
  double nsPerAnalysis;
  double checksum;
};

struct Inputs {
  std::vector<double> xs;
  std::vector<Abaco32Real6> xs6;
  double others[4];
  Abaco32Real6 others6[4];
};

Inputs inputsFor(long n) {
  Inputs in;
  for (long i = 0; i < n; ++i) {
    const double x = round40(n == 1 ? 0.5 : -10 + 20.0 * static_cast<double>(i) / static_cast<double>(n - 1));
    in.xs.push_back(x);
    in.xs6.push_back(toReal6(x));
  }
  const double others[4] = {1.5, 2.25, 0.75, 3.5};
  for (int i = 0; i < 4; ++i) {
    in.others[i] = others[i];
    in.others6[i] = toReal6(others[i]);
  }
  return in;
}

template <typename Body>
Timed timed(long analyses, Body&& body) {
  double sum = 0;
  const double start = cpuNanoseconds();
  for (long a = 0; a < analyses; ++a) sum += body();
  return Timed{(cpuNanoseconds() - start) / static_cast<double>(analyses), sum};
}

// A sum of the answers that lets both engines' errors through as nothing.
inline double counted(double value, bool ok) { return ok && std::isfinite(value) ? value : 0; }

}  // namespace

int main(int argc, char** argv) {
  std::vector<const char*> paths;
  bool shortRun = false;
  std::string only;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--short") == 0) {
      shortRun = true;
    } else if (std::strcmp(argv[i], "--row") == 0 && i + 1 < argc) {
      only = argv[++i];
    } else {
      paths.push_back(argv[i]);
    }
  }
  if (paths.empty() || paths.size() > 2) {
    std::fprintf(stderr, "usage: %s LIBRARY [LIBRARY-WITHOUT-COMPILING] [--short]\n", argv[0]);
    return 2;
  }
  std::vector<Library> libraries(paths.size());
  if (!load(paths[0], "exports", libraries[0])) return 2;
  if (paths.size() > 1 && !load(paths[1], "no code", libraries[1])) return 2;

  const int rounds = shortRun ? 1 : 5;
  const long budget = shortRun ? 100000 : 1000000;  // evaluations per engine, row and N in a round
  const long counts[] = {1, 3, 10, 100, 1000, 10000, 100000};

  std::printf("machine: %s\n", machineLine().c_str());
  std::printf("flags:   %s\n", BENCH_FLAGS);
  std::printf("muparser %s\n", mu::Parser().GetVersion().c_str());
  std::printf("analyse once + N evaluations, X from -10 to 10; median of %d rounds, ns per analysis;\n", rounds);
  std::printf("ratio = ours / muparser (old exports, calculators%s)\n\n",
              libraries.size() > 1 ? ", old exports without compiling" : "");
  std::printf("%-15s %7s %12s %12s %12s%s %7s %7s%s  %s\n", "row", "N", "muparser", "exports", "calculator",
              libraries.size() > 1 ? "      no code" : "", "ratio", "ratio", libraries.size() > 1 ? "   ratio" : "",
              "answers");

  double vars[5] = {};
  mu::Parser parser;
  parser.DefineFun("SIN", static_cast<double (*)(double)>(std::sin));
  parser.DefineFun("COS", static_cast<double (*)(double)>(std::cos));
  parser.DefineFun("ABS", absolute);
  parser.DefineFun("SIG", degSin);
  parser.DefineFun("COG", degCos);
  parser.DefineFun("TAG", degTan);
  const char* names[] = {"X", "Y", "Z", "U", "V"};
  for (int i = 0; i < 5; ++i) parser.DefineVar(names[i], &vars[i]);

  bool agree = true;
  double worst = 0;
  for (const Row& row : rows()) {
    if (!only.empty() && only != row.name) continue;
    alignas(8) char block[512];
    const char* counted6 = Abaco32MakeCountedString(block, sizeof block, row.text.c_str());
    for (const long n : counts) {
      const Inputs in = inputsFor(n);
      for (int i = 0; i < 4; ++i) vars[i + 1] = in.others[i];
      const long analyses = std::max(3L, budget / (n + 100));

      auto oldExports = [&](const Library& lib) {
        return timed(analyses, [&] {
          std::int32_t error = Abaco32VariablesAllowed, flag = 0;
          lib.analitzar(counted6, &error, &flag);
          double sum = 0;
          Abaco32Real6 result;
          for (long i = 0; i < n; ++i) {
            if (row.fiveVariables) {
              lib.calcularXYZUV(in.xs6[i], in.others6[0], in.others6[1], in.others6[2], in.others6[3], &result,
                                &error);
            } else {
              lib.calcular(&in.xs6[i], &result, &error);
            }
            sum += counted(fromReal6(result), error == 0);
          }
          return sum;
        });
      };
      Abaco32Calculator* calculator = libraries[0].create();
      auto calculators = [&] {
        return timed(analyses, [&] {
          libraries[0].analyse(calculator, row.text.c_str(), 1);
          double sum = 0;
          std::int32_t error = 0;
          for (long i = 0; i < n; ++i) {
            const double v = libraries[0].evaluate(calculator, in.xs[i], in.others[0], in.others[1], in.others[2],
                                                   in.others[3], &error);
            sum += counted(v, error == 0);
          }
          return sum;
        });
      };
      auto muparser = [&] {
        return timed(analyses, [&] {
          parser.SetExpr(row.text);
          double sum = 0;
          for (long i = 0; i < n; ++i) {
            vars[0] = in.xs[i];
            sum += counted(parser.Eval(), true);
          }
          return sum;
        });
      };
      const int engines = 3 + (libraries.size() > 1 ? 1 : 0);
      auto run = [&](int which) {
        switch (which) {
          case 0: return muparser();
          case 1: return oldExports(libraries[0]);
          case 2: return calculators();
          default: return oldExports(libraries[1]);
        }
      };
      std::vector<double> ns[4];
      double checksum[4] = {};
      for (int k = 0; k < engines; ++k) run(k);  // warm-up
      for (int r = 0; r < rounds; ++r) {
        for (int k = 0; k < engines; ++k) {
          const int which = (r + k) % engines;  // rotate the starting engine
          const Timed t = run(which);
          ns[which].push_back(t.nsPerAnalysis);
          checksum[which] = t.checksum;
        }
      }
      libraries[0].destroy(calculator);
      // muparser computes in plain doubles: the sums agree to about 10
      // digits, ours among themselves to the last bit.
      bool same = checksum[1] == checksum[2] && (engines < 4 || checksum[1] == checksum[3]);
      same = same && std::fabs(checksum[1] - checksum[0]) <= 1e-8 * (1 + std::fabs(checksum[0]));
      agree = agree && same;
      const double mu = median(ns[0]);
      const double ratios[3] = {median(ns[1]) / mu, median(ns[2]) / mu, engines > 3 ? median(ns[3]) / mu : 0};
      worst = std::max({worst, ratios[0], ratios[1]});
      std::printf("%-15s %7ld %12.0f %12.0f %12.0f", row.name, n, mu, median(ns[1]), median(ns[2]));
      if (engines > 3) std::printf(" %12.0f", median(ns[3]));
      std::printf(" %7.2f %7.2f", ratios[0], ratios[1]);
      if (engines > 3) std::printf(" %7.2f", ratios[2]);
      std::printf("  %s\n", same ? "same" : "DIFFER");
    }
  }
  std::printf("\nhighest ratio (exports, calculators): %.2f\nanswers %s\n", worst, agree ? "agree" : "DISAGREE");
  return agree ? 0 : 1;
}
