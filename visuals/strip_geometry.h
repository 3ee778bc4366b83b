// One trail as a camera-facing strip of eight vertices. Portable: it reads the pool records,
// the weapon table and the settings, and touches no device.
#pragma once
#include <cstddef>
#include <cstdint>

#include "sim/pool.h"
#include "visuals/d3dx_math.h"

namespace pellix {

// Flexible vertex format 0x20152: position, normal, diffuse, one set of four texture coordinates.
struct TracerVertex {
  float position[3];  // +0, world position
  float normal[3];    // +12, the anchor: headPoint for vertices 0-3, tailPoint for 4-7
  uint32_t diffuse;   // +24, ARGB colour of the trail
  float tex[4];       // +28, u, v, third coordinate, fourth coordinate (tail bias on 4-7)
};
static_assert(sizeof(TracerVertex) == 44);
static_assert(offsetof(TracerVertex, normal) == 12);
static_assert(offsetof(TracerVertex, diffuse) == 24);
static_assert(offsetof(TracerVertex, tex) == 28);

inline constexpr uint32_t TracerVertexFvf = 0x20152;
inline constexpr int TracerStripVertices = 8;
inline constexpr uint32_t TracerStripTriangles = 6;
inline constexpr uint32_t defaultTrailColour = 0x08FFFF80;

// The one strip that every trail and pass is written into. Only the third coordinate carries
// over from one trail to the next (the refraction pass does not write it).
extern TracerVertex tracerStrip[TracerStripVertices];

// The per-frame matrices: viewProj = view x projection; cameraRotationInverse = the inverse of
// the view without its translation row.
struct StripFrame {
  Matrix4 view;
  Matrix4 viewProj;
  Matrix4 cameraRotationInverse;
};
void PrepareStripFrame(StripFrame* frame, const Matrix4& view, const Matrix4& projection);

// The refraction strip's far end: behind a live projectile by what the trail update has not yet
// uncovered of its refraction length, or behind the trail's end point by what is left of it.
Vec3 RefractionTail(const TrailRecord& trail, const ProjectileRecord& projectile,
                    const ProjectileExtra& extra);

// Writes the strip of one slot for pass 0 (refraction) or 1 (display); later passes write
// nothing.
void BuildTracerStrip(TracerVertex* strip, const StripFrame& frame, const TrailRecord& trail,
                      const ProjectileRecord& projectile, const ProjectileExtra& extra,
                      uint32_t pass);

}  // namespace pellix
