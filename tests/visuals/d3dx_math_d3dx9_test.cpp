// The project's row-vector maths against the real d3dx9_40 (run under Wine).
#include <d3dx9.h>
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>

#include "visuals/d3dx_math.h"

namespace pellix {
namespace {

static_assert(sizeof(Matrix4) == sizeof(D3DXMATRIX));

// Distance in units in the last place, with the scale of the larger magnitude in the row, so
// that entries that cancel to near zero are judged against their row rather than themselves.
float Ulps(float a, float b, float scale) {
  const float ulp = std::nextafter(scale, INFINITY) - scale;
  return std::fabs(a - b) / ulp;
}

float InfNorm(const Matrix4& m) {
  float n = 0;
  for (const auto& row : m.m) {
    n = std::fmax(n, std::fabs(row[0]) + std::fabs(row[1]) + std::fabs(row[2]) + std::fabs(row[3]));
  }
  return n;
}

float RowScale(const float* row, int n) {
  float s = 0;
  for (int i = 0; i < n; ++i) s = std::fmax(s, std::fabs(row[i]));
  return s > 0 ? s : 1e-30f;
}

class D3dx9Compare : public ::testing::Test {
 protected:
  std::mt19937 rng{2024};
  float Random(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); }
  Matrix4 RandomMatrix() {
    Matrix4 m;
    for (auto& row : m.m) {
      for (float& x : row) x = Random(-10, 10);
    }
    return m;
  }
  // A view matrix as a camera makes it: rotation rows and a translation row.
  Matrix4 RandomView() {
    D3DXVECTOR3 eye(Random(-500, 500), Random(-500, 500), Random(-50, 50));
    D3DXVECTOR3 at(Random(-500, 500), Random(-500, 500), Random(-50, 50));
    D3DXVECTOR3 up(0, 0, 1);
    D3DXMATRIX v;
    D3DXMatrixLookAtLH(&v, &eye, &at, &up);
    Matrix4 m;
    std::memcpy(&m, &v, sizeof m);
    return m;
  }
};

TEST_F(D3dx9Compare, Multiply) {
  for (int n = 0; n < 2000; ++n) {
    const Matrix4 a = RandomMatrix(), b = RandomMatrix();
    Matrix4 ours;
    D3DXMATRIX theirs;
    MatrixMultiply(&ours, a, b);
    D3DXMatrixMultiply(&theirs, reinterpret_cast<const D3DXMATRIX*>(&a),
                       reinterpret_cast<const D3DXMATRIX*>(&b));
    for (int i = 0; i < 4; ++i) {
      const float scale = RowScale(theirs.m[i], 4);
      for (int j = 0; j < 4; ++j) {
        ASSERT_LE(Ulps(ours.m[i][j], theirs.m[i][j], scale), 4) << n << " " << i << j;
      }
    }
  }
}

TEST_F(D3dx9Compare, InverseOfViewRotationsAndGeneralMatrices) {
  for (int n = 0; n < 2000; ++n) {
    Matrix4 a = (n % 2) ? RandomView() : RandomMatrix();
    if (n % 4 == 1) a.m[3][0] = a.m[3][1] = a.m[3][2] = 0;  // as the drawing uses it
    Matrix4 ours;
    D3DXMATRIX theirs;
    const bool ok = MatrixInverse(&ours, a);
    const bool theirsOk =
        D3DXMatrixInverse(&theirs, nullptr, reinterpret_cast<const D3DXMATRIX*>(&a)) != nullptr;
    ASSERT_EQ(ok, theirsOk) << n;
    if (n % 2) {
      // Views are orthonormal: entry by entry, against the row's scale.
      for (int i = 0; i < 4; ++i) {
        const float scale = RowScale(theirs.m[i], 4);
        for (int j = 0; j < 4; ++j) {
          ASSERT_LE(Ulps(ours.m[i][j], theirs.m[i][j], scale), 8) << n << " " << i << j;
        }
      }
      continue;
    }
    // General matrices: the rounding of any inverse grows with the condition number, so the
    // two are compared norm-wise: |ours - theirs| <= 8 eps cond(a) max|inverse|.
    Matrix4 theirsCopy;
    std::memcpy(&theirsCopy, &theirs, sizeof theirsCopy);
    const float cond = InfNorm(a) * InfNorm(theirsCopy);
    float largest = 0, diff = 0;
    for (int i = 0; i < 4; ++i) {
      for (int j = 0; j < 4; ++j) {
        largest = std::fmax(largest, std::fabs(theirs.m[i][j]));
        diff = std::fmax(diff, std::fabs(ours.m[i][j] - theirs.m[i][j]));
      }
    }
    ASSERT_LE(diff, 8 * FLT_EPSILON * cond * largest) << n;
  }
  Matrix4 singular{};
  Matrix4 out{};
  out.m[0][0] = 3;
  EXPECT_FALSE(MatrixInverse(&out, singular));
  D3DXMATRIX theirs;
  EXPECT_EQ(D3DXMatrixInverse(&theirs, nullptr, reinterpret_cast<D3DXMATRIX*>(&singular)), nullptr);
  EXPECT_EQ(out.m[0][0], 3);
}

TEST_F(D3dx9Compare, RotationZ) {
  for (int n = 0; n < 2000; ++n) {
    const float angle = Random(-7, 7);
    Matrix4 ours;
    D3DXMATRIX theirs;
    MatrixRotationZ(&ours, angle);
    D3DXMatrixRotationZ(&theirs, angle);
    for (int i = 0; i < 4; ++i) {
      for (int j = 0; j < 4; ++j) {
        ASSERT_LE(Ulps(ours.m[i][j], theirs.m[i][j], 1.0f), 2) << angle << " " << i << j;
      }
    }
  }
}

TEST_F(D3dx9Compare, PointTransforms) {
  for (int n = 0; n < 2000; ++n) {
    Matrix4 m = RandomMatrix();
    const Vec3 v{Random(-1000, 1000), Random(-1000, 1000), Random(-1000, 1000)};
    const Vec4 ours = Vec3Transform(v, m);
    D3DXVECTOR4 theirs;
    const D3DXVECTOR3 dv(v.x, v.y, v.z);
    D3DXVec3Transform(&theirs, &dv, reinterpret_cast<const D3DXMATRIX*>(&m));
    const float o[4] = {ours.x, ours.y, ours.z, ours.w};
    const float t[4] = {theirs.x, theirs.y, theirs.z, theirs.w};
    // The scale of a sum is that of its largest term.
    const float scale = 1000 * 10 * 4;
    for (int k = 0; k < 4; ++k) ASSERT_LE(Ulps(o[k], t[k], scale), 4) << n << " " << k;

    // Coordinate arrays with a 44-byte stride, as the strip is laid out; w kept away from 0.
    m.m[0][3] = Random(-0.1f, 0.1f), m.m[1][3] = Random(-0.1f, 0.1f);
    m.m[2][3] = Random(-0.1f, 0.1f), m.m[3][3] = Random(1, 2) * 400;
    float ourStrip[8][11], theirStrip[8][11];
    for (auto& e : ourStrip) {
      for (float& x : e) x = Random(-1, 1);
    }
    std::memcpy(theirStrip, ourStrip, sizeof ourStrip);
    float input[8][11];
    std::memcpy(input, ourStrip, sizeof ourStrip);
    Vec3TransformCoordArray(ourStrip, 44, ourStrip, 44, m, 8);
    D3DXVec3TransformCoordArray(reinterpret_cast<D3DXVECTOR3*>(theirStrip), 44,
                                reinterpret_cast<const D3DXVECTOR3*>(theirStrip), 44,
                                reinterpret_cast<const D3DXMATRIX*>(&m), 8);
    for (int e = 0; e < 8; ++e) {
      for (int k = 0; k < 11; ++k) {
        if (k < 3) {
          // The scale of a quotient of sums: its largest term over w.
          const float* p = input[e];
          const float w = m.m[0][3] * p[0] + m.m[1][3] * p[1] + m.m[2][3] * p[2] + m.m[3][3];
          const float terms = std::fabs(m.m[0][k] * p[0]) + std::fabs(m.m[1][k] * p[1]) +
                              std::fabs(m.m[2][k] * p[2]) + std::fabs(m.m[3][k]);
          ASSERT_LE(Ulps(ourStrip[e][k], theirStrip[e][k], terms / std::fabs(w)), 4)
              << n << " " << e << k;
        } else {
          ASSERT_EQ(ourStrip[e][k], theirStrip[e][k]);  // the rest of the vertex is untouched
        }
      }
    }
  }
}

}  // namespace
}  // namespace pellix
