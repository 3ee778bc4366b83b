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

// The strip's turn in the camera's plane: the rotation about z that brings its local y axis onto
// the screen direction (dx, dy) from the tail to the head, as the cosine and sine of
// atan2(dy, dx) - pi / 2, that is dy / r and -dx / r, found without the angle. A direction that
// is zero or undefined gives the layout of a trail pointing at the camera: cosine 0, sine -1.
struct StripTurn {
  float cosine;
  float sine;
};
StripTurn TurnTowards(float dx, float dy);

// The per-frame matrices: viewProj = view x projection; cameraRotationInverse = the inverse of
// the view without its translation row. A strip's orientation is (rotation about z by its angle)
// x cameraRotationInverse, applied to corners whose z is 0: the products that do not depend on
// the angle are kept here, computed once per frame.
struct StripFrame {
  Matrix4 view;
  Matrix4 viewProj;
  Matrix4 cameraRotationInverse;
  float zeroRow2[4];    // 0 x row 2 of cameraRotationInverse (the rotation's zeros)
  float zeroRow3[4];    // 0 x row 3 of it
  float cornerZ[4];     // row 2 of the orientation x 0 (a corner's z term)
  float orientRow3[4];  // row 3 of the orientation
  bool affine;          // every finite corner's w is exactly 1: no vertex is divided by it
};
void PrepareStripFrame(StripFrame* frame, const Matrix4& view, const Matrix4& projection);

// What both passes of one trail share: its colour, tail bias, head point and where the head
// lies on screen.
struct StripHead {
  Vec3 point;     // the trail's end point, anchor of vertices 0-3
  float screenX;  // x / |z| of its clip-space position
  float screenY;  // y / |z|
  uint32_t colour;
  float tailBias;
  bool tracer;
};
void PrepareStripHead(StripHead* head, const StripFrame& frame, const TrailRecord& trail);

// The refraction strip's far end: behind a live projectile by what the trail update has not yet
// uncovered of its refraction length, or behind the trail's end point by what is left of it.
Vec3 RefractionTail(const TrailRecord& trail, const ProjectileRecord& projectile,
                    const ProjectileExtra& extra);

// A strip before its vertices: its far end, half-widths and third coordinates, and its turn as
// rows 0 and 1 of its orientation. Planning the next trail's strips before writing the last
// ones lets their long chains of dependent operations (the turn) overlap.
struct StripPlan {
  Vec3 tail;
  float halfHead;
  float halfTail;
  float third[TracerStripVertices];
  float row0[4];
  float row1[4];
};
void PlanRefractionStrip(StripPlan* plan, const StripFrame& frame, const StripHead& head,
                         const TrailRecord& trail, const ProjectileRecord& projectile,
                         const ProjectileExtra& extra, const float* third);
void PlanDisplayStrip(StripPlan* plan, const StripFrame& frame, const StripHead& head,
                      const TrailRecord& trail);
// Eight whole vertices; only writes.
void WritePlannedStrip(TracerVertex* out, const StripFrame& frame, const StripHead& head,
                       const StripPlan& plan);

// The two passes of one trail, each as eight whole vertices (planned, then written). The
// refraction pass does not set the third coordinate: it takes the eight values of `third`.
void WriteRefractionStrip(TracerVertex* out, const StripFrame& frame, const StripHead& head,
                          const TrailRecord& trail, const ProjectileRecord& projectile,
                          const ProjectileExtra& extra, const float* third);
void WriteDisplayStrip(TracerVertex* out, const StripFrame& frame, const StripHead& head,
                       const TrailRecord& trail);

// Writes the strip of one slot for pass 0 (refraction) or 1 (display); later passes write
// nothing. Pass 0 keeps the strip's own third coordinates.
void BuildTracerStrip(TracerVertex* strip, const StripFrame& frame, const TrailRecord& trail,
                      const ProjectileRecord& projectile, const ProjectileExtra& extra,
                      uint32_t pass);

}  // namespace pellix
