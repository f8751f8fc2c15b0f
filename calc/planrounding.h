#pragma once
// The constants the plan and its compiled code share: how a double is
// rounded to a Real6's 40 significant bits, and the range of values both
// handle themselves rather than handing them to the reference.

#include <cstdint>

namespace brunzit {

// A double keeps 52 fraction bits, a Real6 39: the low 13 are dropped.
// Adding half of the lowest kept bit and clearing the dropped ones rounds
// half up; a result whose dropped bits are exactly that half is a tie.
inline constexpr std::uint64_t RoundingHalf = 0x1000;
inline constexpr std::uint64_t DroppedBits = 0x1FFF;
inline constexpr std::uint64_t LowestKeptBit = 0x2000;

// Plain values are 0 or have a double exponent in [2^-126, 2^63): inside
// Real6, below every bound of 1e19, and far from the Real6 underflow.
inline constexpr std::uint64_t LowestPlainExponent = 1023 - 126;
inline constexpr std::uint64_t HighestPlainExponent = 1023 + 62;

// A little above 1e-19, so a divisor the reference might refuse goes to it.
inline constexpr double SafeDivisor = 1.000001e-19;

}  // namespace brunzit
