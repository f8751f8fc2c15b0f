#include "calc/dcalculs.h"
#include "calc/stages.h"
#include "tests/calc/calc_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>

namespace brunzit {
namespace {

using Bytes = std::array<std::uint8_t, 6>;

Bytes bytesOf(Real6 value) {
  Bytes b;
  std::copy(value.Bytes, value.Bytes + 6, b.begin());
  return b;
}

TEST(Real6Layout, KnownValuesHaveTheirBytes) {
  struct Row {
    long double value;
    Bytes bytes;
  };
  const Row rows[] = {
      {1.0L, {0x81, 0, 0, 0, 0, 0x00}},
      {-1.0L, {0x81, 0, 0, 0, 0, 0x80}},
      {10.0L, {0x84, 0, 0, 0, 0, 0x20}},
      {90.0L, {0x87, 0, 0, 0, 0, 0x34}},
      {0.5L, {0x80, 0, 0, 0, 0, 0x00}},
      {0.0L, {0, 0, 0, 0, 0, 0}},
      {-0.0L, {0, 0, 0, 0, 0, 0}},
      {1.0L + 0x1p-39L, {0x81, 1, 0, 0, 0, 0x00}},  // lowest fraction bit is byte 1 bit 0
      {-(2.0L - 0x1p-39L), {0x81, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(bytesOf(Real6(row.value)), row.bytes) << static_cast<double>(row.value);
    if (row.value != 0) {
      EXPECT_EQ(Real6(row.value).toLongDouble(), row.value);
    }
  }
}

TEST(Real6Rounding, StoresRoundToNearestWithTiesToEven) {
  struct Row {
    const char* name;
    long double in;
    long double stored;
  };
  const Row rows[] = {
      {"tie down to even", 1.0L + 0x1p-40L, 1.0L},
      {"tie up to even", 1.0L + 3 * 0x1p-40L, 1.0L + 0x1p-38L},
      {"just above a tie", 1.0L + 0x1p-40L + 0x1p-60L, 1.0L + 0x1p-39L},
      {"just below a tie", 1.0L + 0x1p-40L - 0x1p-60L, 1.0L},
      {"carry into the exponent", 2.0L - 0x1p-41L, 2.0L},
      {"negative tie", -(1.0L + 3 * 0x1p-40L), -(1.0L + 0x1p-38L)},
      {"smallest", 0x1p-128L, 0x1p-128L},
      {"below half the smallest", 0x1p-130L, 0.0L},
      {"between half and smallest", 0x1.8p-129L, 0x1p-128L},
      {"beyond the largest saturates", 1e39L, 0x1.fffffffffep126L},
  };
  for (const Row& row : rows) EXPECT_EQ(Real6(row.in).toLongDouble(), row.stored) << row.name;
}

TEST(Real6Rounding, AgreesWithAnIndependentRoundingOnRandomValues) {
  std::mt19937_64 random(7);
  for (int i = 0; i < 100000; ++i) {
    const long double v = std::ldexp(static_cast<long double>(random()) / 0x1p64L + 0.5L,
                                     static_cast<int>(random() % 200) - 100) * ((random() & 1) ? -1 : 1);
    ASSERT_EQ(Real6(v).toLongDouble(), testing::round40(v)) << static_cast<double>(v);
    const Real6 stored(v);
    ASSERT_EQ(bytesOf(DoubleToReal6(Real6ToDouble(stored))), bytesOf(stored));
    const double d = static_cast<double>(v);
    ASSERT_EQ(bytesOf(DoubleToNearestReal6(d)), bytesOf(Real6(static_cast<long double>(d)))) << d;
  }
  // The quick rounding of doubles at the edges of its range and beyond.
  for (const double d : std::initializer_list<double>{0.0, -0.0, 0x1p-126, -0x1p-126, 0x1.fffffffffffffp-127, 0x1p-1074, 0x1.fffffffffffffp125,
                         0x1p126, -0x1.ffffffffffp126, 0x1p127, 1e300, HUGE_VAL, -HUGE_VAL, std::nan(""), 0x1.0000000001p0,
                         0x1.00000000008p0, 0x1.00000000018p0, -0x1.00000000018p0}) {
    EXPECT_EQ(bytesOf(DoubleToNearestReal6(d)), bytesOf(Real6(static_cast<long double>(d)))) << d;
  }
}

TEST(Real6Rounding, ZeroExponentByteMeansZero) {
  Real6 odd;
  odd.Bytes[3] = 0x55;
  odd.Bytes[5] = 0x80;
  EXPECT_EQ(odd.toLongDouble(), 0.0L);
  EXPECT_EQ(Real6ToDouble(odd), 0.0);
}

}  // namespace
}  // namespace brunzit
