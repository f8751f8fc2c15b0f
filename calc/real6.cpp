#include "calc/dcalculs.h"
#include "calc/stages.h"

#include <bit>
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
  // kept * 2^(exponent - 39): both factors, and the product, are exact doubles here.
  const double scale = std::bit_cast<double>(static_cast<std::uint64_t>(1023 + parts.exponent - 39) << 52);
  long double rounded = static_cast<long double>(static_cast<double>(kept) * scale);
  if (rounded > LargestReal6) rounded = LargestReal6;
  return value < 0 ? -rounded : rounded;
}

bool Real6::fits(long double value) {
  return !std::isnan(value) && std::fabs(value) <= LargestReal6;
}

Real6 Real6::fromLongDouble(long double value) {
  // A rounded value is exactly a double.
  return DoubleToReal6(static_cast<double>(RoundToReal6(value)));
}

long double Real6::toLongDouble() const {
  return Real6ToDouble(*this);
}

bool operator==(const Real6& a, const Real6& b) {
  return std::memcmp(a.Bytes, b.Bytes, 6) == 0;
}

}  // namespace brunzit
