#pragma once
// The engine's stages, one function each in pipeline order, for the engine's
// own files and its tests. Callers outside calc/ use dcalculs.h.

#include "calc/dcalculs.h"

namespace brunzit {

// Rounds to the nearest Real6 value (ties to even), kept as an extended real.
long double RoundToReal6(long double value);

}  // namespace brunzit
