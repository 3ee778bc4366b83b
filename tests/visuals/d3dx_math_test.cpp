#include "visuals/d3dx_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

namespace pellix {
namespace {

const Matrix4 kIdentity{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};

Matrix4 RandomMatrix(std::mt19937& rng) {
  std::uniform_real_distribution<float> d(-4.0f, 4.0f);
  Matrix4 m;
  for (auto& row : m.m) {
    for (float& x : row) x = d(rng);
  }
  return m;
}

TEST(D3dxMath, MultiplyIsRowTimesColumnAndMayAlias) {
  const Matrix4 a{{{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16}}};
  const Matrix4 b{{{2, 0, 0, 1}, {0, 3, 0, 0}, {0, 0, 4, 0}, {1, 0, 0, 5}}};
  Matrix4 out;
  MatrixMultiply(&out, a, b);
  EXPECT_EQ(out.m[0][0], 1 * 2 + 4 * 1);
  EXPECT_EQ(out.m[0][3], 1 * 1 + 4 * 5);
  EXPECT_EQ(out.m[2][1], 10 * 3);
  EXPECT_EQ(out.m[3][2], 15 * 4);
  Matrix4 alias = a;
  MatrixMultiply(&alias, alias, b);
  EXPECT_EQ(0, std::memcmp(&alias, &out, sizeof out));
  alias = b;
  MatrixMultiply(&alias, a, alias);
  EXPECT_EQ(0, std::memcmp(&alias, &out, sizeof out));
}

TEST(D3dxMath, InverseTimesMatrixIsIdentity) {
  std::mt19937 rng(7);
  for (int n = 0; n < 200; ++n) {
    const Matrix4 m = RandomMatrix(rng);
    Matrix4 inv;
    ASSERT_TRUE(MatrixInverse(&inv, m));
    Matrix4 p;
    MatrixMultiply(&p, m, inv);
    for (int i = 0; i < 4; ++i) {
      for (int j = 0; j < 4; ++j) EXPECT_NEAR(p.m[i][j], i == j ? 1.0f : 0.0f, 2e-3f) << n;
    }
  }
  // In place, as the drawing uses it.
  Matrix4 m{{{2, 0, 0, 0}, {0, 4, 0, 0}, {0, 0, 8, 0}, {1, 2, 3, 1}}};
  ASSERT_TRUE(MatrixInverse(&m, m));
  EXPECT_EQ(m.m[0][0], 0.5f);
  EXPECT_EQ(m.m[2][2], 0.125f);
  EXPECT_EQ(m.m[3][0], -0.5f);
  EXPECT_EQ(m.m[3][2], -0.375f);
}

TEST(D3dxMath, SingularInverseLeavesTheOutputAlone) {
  Matrix4 out = kIdentity;
  Matrix4 zero{};
  EXPECT_FALSE(MatrixInverse(&out, zero));
  EXPECT_EQ(0, std::memcmp(&out, &kIdentity, sizeof out));
  Matrix4 repeated{{{1, 2, 3, 4}, {1, 2, 3, 4}, {0, 1, 0, 0}, {0, 0, 0, 1}}};
  EXPECT_FALSE(MatrixInverse(&out, repeated));
  EXPECT_EQ(0, std::memcmp(&out, &kIdentity, sizeof out));
}

TEST(D3dxMath, RotationZTurnsXTowardY) {
  Matrix4 r;
  MatrixRotationZ(&r, 1.5707964f);
  const Vec4 x = Vec3Transform(Vec3{1, 0, 0}, r);
  EXPECT_NEAR(x.x, 0, 1e-7f);
  EXPECT_NEAR(x.y, 1, 1e-7f);
  const Vec4 y = Vec3Transform(Vec3{0, 1, 0}, r);
  EXPECT_NEAR(y.x, -1, 1e-7f);
  EXPECT_NEAR(y.y, 0, 1e-7f);
  EXPECT_EQ(r.m[2][2], 1.0f);
  EXPECT_EQ(r.m[3][3], 1.0f);
}

TEST(D3dxMath, TransformsTakeTheTranslationRowAndDivideByW) {
  const Matrix4 m{{{1, 0, 0, 0}, {0, 2, 0, 0}, {0, 0, 3, 2}, {10, 20, 30, 0}}};
  const Vec4 v = Vec3Transform(Vec3{1, 1, 1}, m);
  EXPECT_EQ(v.x, 11);
  EXPECT_EQ(v.y, 22);
  EXPECT_EQ(v.z, 33);
  EXPECT_EQ(v.w, 2);
  // Strided, in place: only the first twelve bytes of each 20-byte element change.
  float data[2][5] = {{1, 1, 1, 7, 7}, {2, 0, 0.5f, 8, 8}};
  Vec3TransformCoordArray(data, 20, data, 20, m, 2);
  EXPECT_FLOAT_EQ(data[0][0], 5.5f);
  EXPECT_FLOAT_EQ(data[0][1], 11);
  EXPECT_FLOAT_EQ(data[0][2], 16.5f);
  EXPECT_EQ(data[0][3], 7);
  EXPECT_FLOAT_EQ(data[1][0], 12);
  EXPECT_FLOAT_EQ(data[1][2], 31.5f);
  EXPECT_EQ(data[1][4], 8);
}

}  // namespace
}  // namespace pellix
