#pragma once
// Helpers shared by the engine's tests: an independent rounding to 40 bits and
// a one-call evaluation that keeps every code.

#include "calc/dcalculs.h"

#include <cmath>
#include <cstdint>
#include <string>

namespace brunzit::testing {

// Round to 40 significant bits, ties to even, by frexp/ldexp (not the engine's code).
inline long double round40(long double x) {
  if (x == 0) return 0;
  int e = 0;
  const long double m = std::frexp(x, &e);           // [0.5, 1)
  const long double scaled = std::ldexp(m, 40);      // 40 integer bits
  return std::ldexp(std::nearbyint(scaled), e - 40);  // nearest, ties to even
}

struct Outcome {
  std::int32_t analysis = -1;
  std::int32_t evaluation = -1;
  long double value = 0;
};

// Analyses with variables allowed and evaluates with the given X..V.
inline Outcome evaluate(const std::string& text, long double x = 0, long double y = 0, long double z = 0,
                        long double u = 0, long double v = 0) {
  Outcome out;
  std::int32_t flag = 0;
  out.analysis = VariablesAllowed;
  analitzar(text, out.analysis, flag);
  if (out.analysis != AnalysisOk) return out;
  Real6 result;
  CalcularXYZUV(Real6(x), Real6(y), Real6(z), Real6(u), Real6(v), result, out.evaluation);
  out.value = result.toLongDouble();
  return out;
}

}  // namespace brunzit::testing
