#include "sim/vec3.h"

#include <gtest/gtest.h>

#include <cmath>

namespace pellix {
namespace {

TEST(Vec3, NormalizeKeepsZeroAndDividesByTheFloatLength) {
  float out[3] = {7, 7, 7};
  const float zero[3] = {0, 0, 0};
  vec3::Normalize(out, zero);
  EXPECT_EQ(out[0], 0.0f);
  EXPECT_EQ(out[1], 0.0f);
  EXPECT_EQ(out[2], 0.0f);

  const float v[3] = {3, 0, -4};
  vec3::Normalize(out, v);
  EXPECT_EQ(out[0], 3.0f / 5.0f);
  EXPECT_EQ(out[2], -4.0f / 5.0f);

  // Squares that underflow give length 0: the zero vector, not a division by zero.
  const float tiny[3] = {1e-30f, 0, 0};
  vec3::Normalize(out, tiny);
  EXPECT_EQ(out[0], 0.0f);
}

TEST(Vec3, LengthIsTheFloatSqrtOfTheFloatSum) {
  // In float: 1.004004 + 7.83999985e-06 = 1.00401187, + 0.0900000036 = 1.0940119, whose root
  // is 1.04595029. The exact sum, or the float sum taken from z, gives 1.04595017.
  const float v[3] = {1.002f, 0.0028f, 0.3f};
  EXPECT_EQ(vec3::Length(v), 1.04595029f);
}

TEST(Truncate, TowardZeroAndIndefiniteOutsideTheRange) {
  EXPECT_EQ(TruncateToInt32(5.625L), 5);
  EXPECT_EQ(TruncateToInt32(-5.625L), -5);
  EXPECT_EQ(TruncateToInt32(2147483647.9L), 2147483647);
  EXPECT_EQ(TruncateToInt32(-2147483648.9L), INT32_MIN);
  EXPECT_EQ(TruncateToInt32(2147483648.0L), INT32_MIN);
  EXPECT_EQ(TruncateToInt32(-2147483649.0L), INT32_MIN);
  EXPECT_EQ(TruncateToInt32(NAN), INT32_MIN);
  EXPECT_EQ(TruncateToInt32(INFINITY), INT32_MIN);
  EXPECT_EQ(TruncateToInt32(-INFINITY), INT32_MIN);
}

TEST(Truncate, DamageKeepsTheLow16Bits) {
  EXPECT_EQ(DamageBits(80000.5L), static_cast<int16_t>(80000 - 65536));
  EXPECT_EQ(DamageBits(65535.0L), -1);
  EXPECT_EQ(DamageBits(-1.5L), -1);
  EXPECT_EQ(DamageBits(1e12L), 0);
}

}  // namespace
}  // namespace pellix
