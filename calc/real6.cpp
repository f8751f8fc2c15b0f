#include "calc/dcalculs.h"
#include "calc/stages.h"

#include <cmath>
#include <cstring>

namespace brunzit {

namespace {

// The x87 extended format: 64-bit significand with an explicit integer bit,
// then 15 exponent bits (bias 16383) and the sign.
struct ExtendedParts {
  std::uint64_t significand;
  int exponent;  // unbiased
  bool negative;
};

ExtendedParts split(long double value) {
  unsigned char bytes[sizeof(long double)] = {};
  std::memcpy(bytes, &value, 10);
  ExtendedParts parts;
  std::memcpy(&parts.significand, bytes, 8);
  const unsigned top = bytes[8] | (unsigned(bytes[9]) << 8);
  parts.exponent = int(top & 0x7FFF) - 16383;
  parts.negative = (top & 0x8000) != 0;
  return parts;
}

constexpr long double SmallestReal6 = 0x1p-128L;
constexpr long double LargestReal6 = 0x1.fffffffffep126L;  // (2 - 2^-39) * 2^126

}  // namespace

long double RoundToReal6(long double value) {
  if (std::isnan(value)) return 0.0L;
  const long double magnitude = std::fabs(value);
  if (magnitude == 0.0L) return 0.0L;
  if (magnitude < SmallestReal6) {
    return magnitude < SmallestReal6 / 2 ? 0.0L : std::copysign(SmallestReal6, value);
  }
  if (magnitude >= LargestReal6) return std::copysign(LargestReal6, value);
  // Keep the top 40 significand bits, rounding the 24 dropped ones to nearest even.
  ExtendedParts parts = split(magnitude);
  std::uint64_t kept = parts.significand >> 24;
  const std::uint64_t dropped = parts.significand & 0xFFFFFF;
  if (dropped > 0x800000 || (dropped == 0x800000 && (kept & 1))) ++kept;
  long double rounded = std::ldexp(static_cast<long double>(kept), parts.exponent - 39);
  if (rounded > LargestReal6) rounded = LargestReal6;
  return value < 0 ? -rounded : rounded;
}

bool Real6::fits(long double value) {
  return !std::isnan(value) && std::fabs(value) <= LargestReal6;
}

Real6 Real6::fromLongDouble(long double value) {
  Real6 out;
  const long double rounded = RoundToReal6(value);
  if (rounded == 0.0L) return out;
  int exponent = 0;
  const long double mantissa = std::frexp(std::fabs(rounded), &exponent);  // [0.5, 1)
  // 1.f * 2^(e-129) with 1.f = 2 * mantissa
  const std::uint64_t bits = static_cast<std::uint64_t>(std::ldexp(mantissa, 40)) - (std::uint64_t(1) << 39);
  out.Bytes[0] = static_cast<std::uint8_t>(exponent - 1 + 129);
  for (int i = 0; i < 5; ++i) out.Bytes[1 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
  out.Bytes[5] &= 0x7F;
  if (rounded < 0) out.Bytes[5] |= 0x80;
  return out;
}

long double Real6::toLongDouble() const {
  if (Bytes[0] == 0) return 0.0L;
  std::uint64_t fraction = 0;
  for (int i = 0; i < 5; ++i) fraction |= std::uint64_t(Bytes[1 + i]) << (8 * i);
  fraction &= (std::uint64_t(1) << 39) - 1;
  const long double magnitude =
      std::ldexp(static_cast<long double>(fraction | (std::uint64_t(1) << 39)), int(Bytes[0]) - 129 - 39);
  return (Bytes[5] & 0x80) ? -magnitude : magnitude;
}

bool operator==(const Real6& a, const Real6& b) {
  return std::memcmp(a.Bytes, b.Bytes, 6) == 0;
}

}  // namespace brunzit
