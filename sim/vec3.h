// Small single-precision vector helpers on plain float[3] arrays. Every result is rounded to
// float at each step, as the host's own code computes.
#pragma once
#include <cmath>
#include <cstdint>

namespace pellix::vec3 {

inline float Dot(const float* a, const float* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// The float square root of the float sum of squares.
inline float Length(const float* v) { return std::sqrt(Dot(v, v)); }

// Unit vector as Direct3D's normalize gives it: the zero vector stays zero, else each
// component divided by the length.
inline void Normalize(float* out, const float* v) {
  const float length = Length(v);
  if (length == 0.0f) {
    out[0] = out[1] = out[2] = 0.0f;
    return;
  }
  out[0] = v[0] / length;
  out[1] = v[1] / length;
  out[2] = v[2] / length;
}

inline void Copy(float* out, const float* v) {
  out[0] = v[0];
  out[1] = v[1];
  out[2] = v[2];
}

inline float Distance(const float* a, const float* b) {
  const float d[3] = {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
  return Length(d);
}

inline bool IsFinite(const float* v) {
  return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

}  // namespace pellix::vec3

namespace pellix {

// Float to int32 truncating toward zero as the x86 conversion instructions do: a NaN or a
// value whose truncation does not fit gives the "integer indefinite" 0x80000000 instead of
// undefined behaviour.
inline int32_t TruncateToInt32(long double value) {
  if (!(value > -2147483649.0L && value < 2147483648.0L)) return INT32_MIN;
  return static_cast<int32_t>(value);
}

// a x b, except that a zero factor wins over an infinite one: 0 x inf is 0 (the limit of 0 x b
// for every finite b) where IEEE arithmetic gives NaN. A NaN factor still gives NaN.
template <typename T>
inline T ZeroWinsProduct(T a, T b) {
  const T product = a * b;
  return std::isnan(product) && !std::isnan(a) && !std::isnan(b) ? T(0) : product;
}

// Low 16 bits of a damage computed from floats.
inline int16_t DamageBits(long double value) {
  return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(TruncateToInt32(value))));
}

}  // namespace pellix
