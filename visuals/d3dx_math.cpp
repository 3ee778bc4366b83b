#include "visuals/d3dx_math.h"

#include <cmath>
#include <cstring>

namespace pellix {

void MatrixMultiply(Matrix4* out, const Matrix4& a, const Matrix4& b) {
  Matrix4 r;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] +
                  a.m[i][3] * b.m[3][j];
    }
  }
  *out = r;
}

bool MatrixInverse(Matrix4* out, const Matrix4& m) {
  // Adjugate over the determinant, with the 2x2 minors of the upper two rows (s) and of the
  // lower two rows (c) shared between the cofactors.
  const float(*a)[4] = m.m;
  const float s0 = a[0][0] * a[1][1] - a[1][0] * a[0][1];
  const float s1 = a[0][0] * a[1][2] - a[1][0] * a[0][2];
  const float s2 = a[0][0] * a[1][3] - a[1][0] * a[0][3];
  const float s3 = a[0][1] * a[1][2] - a[1][1] * a[0][2];
  const float s4 = a[0][1] * a[1][3] - a[1][1] * a[0][3];
  const float s5 = a[0][2] * a[1][3] - a[1][2] * a[0][3];
  const float c5 = a[2][2] * a[3][3] - a[3][2] * a[2][3];
  const float c4 = a[2][1] * a[3][3] - a[3][1] * a[2][3];
  const float c3 = a[2][1] * a[3][2] - a[3][1] * a[2][2];
  const float c2 = a[2][0] * a[3][3] - a[3][0] * a[2][3];
  const float c1 = a[2][0] * a[3][2] - a[3][0] * a[2][2];
  const float c0 = a[2][0] * a[3][1] - a[3][0] * a[2][1];
  const float det = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
  if (det == 0.0f) return false;
  const float adj[4][4] = {
      {a[1][1] * c5 - a[1][2] * c4 + a[1][3] * c3, -a[0][1] * c5 + a[0][2] * c4 - a[0][3] * c3,
       a[3][1] * s5 - a[3][2] * s4 + a[3][3] * s3, -a[2][1] * s5 + a[2][2] * s4 - a[2][3] * s3},
      {-a[1][0] * c5 + a[1][2] * c2 - a[1][3] * c1, a[0][0] * c5 - a[0][2] * c2 + a[0][3] * c1,
       -a[3][0] * s5 + a[3][2] * s2 - a[3][3] * s1, a[2][0] * s5 - a[2][2] * s2 + a[2][3] * s1},
      {a[1][0] * c4 - a[1][1] * c2 + a[1][3] * c0, -a[0][0] * c4 + a[0][1] * c2 - a[0][3] * c0,
       a[3][0] * s4 - a[3][1] * s2 + a[3][3] * s0, -a[2][0] * s4 + a[2][1] * s2 - a[2][3] * s0},
      {-a[1][0] * c3 + a[1][1] * c1 - a[1][2] * c0, a[0][0] * c3 - a[0][1] * c1 + a[0][2] * c0,
       -a[3][0] * s3 + a[3][1] * s1 - a[3][2] * s0, a[2][0] * s3 - a[2][1] * s1 + a[2][2] * s0},
  };
  const float inv = 1.0f / det;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) out->m[i][j] = adj[i][j] * inv;
  }
  return true;
}

void MatrixRotationZ(Matrix4* out, float angle) {
  const float c = std::cos(angle);
  const float s = std::sin(angle);
  *out = Matrix4{{{c, s, 0.0f, 0.0f},
                  {-s, c, 0.0f, 0.0f},
                  {0.0f, 0.0f, 1.0f, 0.0f},
                  {0.0f, 0.0f, 0.0f, 1.0f}}};
}

void Vec3TransformCoordArray(void* out, size_t outStride, const void* in, size_t inStride,
                             const Matrix4& m, size_t count) {
  auto* dst = static_cast<unsigned char*>(out);
  const auto* src = static_cast<const unsigned char*>(in);
  for (size_t i = 0; i < count; ++i) {
    Vec3 v;
    std::memcpy(&v, src + i * inStride, sizeof v);
    const Vec4 r = Vec3Transform(v, m);
    const Vec3 p{r.x / r.w, r.y / r.w, r.z / r.w};
    std::memcpy(dst + i * outStride, &p, sizeof p);
  }
}

}  // namespace pellix
