// Row-vector matrix maths with the conventions and the arithmetic order of D3DX 9: a point p
// maps to p x M, a matrix is stored row by row, and the translation is the fourth row.
#pragma once
#include <cstddef>
#include <cstdint>

namespace pellix {

struct Matrix4 {  // D3DXMATRIX layout: m[row][column]
  float m[4][4];
};
static_assert(sizeof(Matrix4) == 64);

struct Vec3 {
  float x, y, z;
};
struct Vec4 {
  float x, y, z, w;
};

// out = a x b. out may be a or b.
void MatrixMultiply(Matrix4* out, const Matrix4& a, const Matrix4& b);

// The inverse of m, without a determinant output. A singular m (determinant 0) leaves out
// untouched and gives false, as D3DX does (it returns null there).
bool MatrixInverse(Matrix4* out, const Matrix4& m);

// Rotation about the z axis by angle radians: x turns toward y.
void MatrixRotationZ(Matrix4* out, float angle);

// (v, 1) x m, with no division. Inline: the strip geometry needs only some of its components.
inline Vec4 Vec3Transform(const Vec3& v, const Matrix4& m) {
  return Vec4{m.m[0][0] * v.x + m.m[1][0] * v.y + m.m[2][0] * v.z + m.m[3][0],
              m.m[0][1] * v.x + m.m[1][1] * v.y + m.m[2][1] * v.z + m.m[3][1],
              m.m[0][2] * v.x + m.m[1][2] * v.y + m.m[2][2] * v.z + m.m[3][2],
              m.m[0][3] * v.x + m.m[1][3] * v.y + m.m[2][3] * v.z + m.m[3][3]};
}

// (v, 1) x m divided by its w, for count points read every inStride bytes from in and written
// every outStride bytes to out (three floats each). out may be in.
void Vec3TransformCoordArray(void* out, size_t outStride, const void* in, size_t inStride,
                             const Matrix4& m, size_t count);

}  // namespace pellix
