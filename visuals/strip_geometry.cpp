#include "visuals/strip_geometry.h"

#include <cmath>

#include "startup/settings.h"
#include "startup/tables.h"

namespace pellix {

namespace {
// pi / 2 in single precision: the rotation that turns the local y axis onto screen angle 0.
constexpr float kQuarterTurn = 1.5707964f;

constexpr TracerVertex Fixed(float u, float v) {
  return TracerVertex{{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, 0u, {u, v, 1.0f, 0.0f}};
}

// Local x and y of each vertex, as multiples of the half-width of its end (head 0-3, tail 4-7).
constexpr float kLocalX[TracerStripVertices] = {-1, 1, -1, 1, -1, 1, -1, 1};
constexpr float kLocalY[TracerStripVertices] = {1, 1, 0, 0, 0, 0, -1, -1};

Vec3 Load(const float* p) { return Vec3{p[0], p[1], p[2]}; }

bool Finite(const float* v, int n) {
  for (int i = 0; i < n; ++i) {
    if (!std::isfinite(v[i])) return false;
  }
  return true;
}

// Settings or lengths beyond the float range (an endless refraction length, width, bloom or
// tail bias) give a strip that cannot be drawn: it is collapsed onto its head, where it covers
// no pixel, rather than send an infinity or NaN to the device.
void CollapseUndrawable(TracerVertex* strip, const Vec3& head) {
  for (int i = 0; i < TracerStripVertices; ++i) {
    const TracerVertex& v = strip[i];
    if (!Finite(v.position, 3) || !Finite(v.normal, 3) || !Finite(v.tex, 4)) {
      for (int j = 0; j < TracerStripVertices; ++j) {
        TracerVertex& w = strip[j];
        w.position[0] = w.normal[0] = head.x;
        w.position[1] = w.normal[1] = head.y;
        w.position[2] = w.normal[2] = head.z;
        for (float& c : w.tex) c = std::isfinite(c) ? c : 0.0f;
      }
      return;
    }
  }
}
}  // namespace

TracerVertex tracerStrip[TracerStripVertices] = {
    Fixed(-1, -1), Fixed(-1, 1), Fixed(0, -1), Fixed(0, 1),
    Fixed(0, -1),  Fixed(0, 1),  Fixed(1, -1), Fixed(1, 1),
};

void PrepareStripFrame(StripFrame* frame, const Matrix4& view, const Matrix4& projection) {
  frame->view = view;
  MatrixMultiply(&frame->viewProj, view, projection);
  Matrix4 rotation = view;
  rotation.m[3][0] = rotation.m[3][1] = rotation.m[3][2] = 0.0f;
  // A singular view leaves the translation-free copy in place (the inverse is not written).
  frame->cameraRotationInverse = rotation;
  MatrixInverse(&frame->cameraRotationInverse, rotation);
}

Vec3 RefractionTail(const TrailRecord& trail, const ProjectileRecord& projectile,
                    const ProjectileExtra& extra) {
  const float e = extra.refractLength;
  const float* vel = projectile.velocity;
  if (projectile.active != 0) {
    const WeaponBallistics& row = WeaponRow(projectile.weaponType);
    const bool tracer = projectile.isTracer != 0;
    const float l = tracer ? row.tracerTrailLength : row.ammoTrailLength;
    const float t = RefractionLength(l, tracer) - e;
    const float* pos = projectile.position;
    return Vec3{pos[0] - t * vel[0], pos[1] - t * vel[1], pos[2] - t * vel[2]};
  }
  const float* head = trail.end;
  return Vec3{head[0] - e * vel[0], head[1] - e * vel[1], head[2] - e * vel[2]};
}

void BuildTracerStrip(TracerVertex* strip, const StripFrame& frame, const TrailRecord& trail,
                      const ProjectileRecord& projectile, const ProjectileExtra& extra,
                      uint32_t pass) {
  if (pass > 1) return;
  const bool tracer = trail.isTracer != 0;
  // The trail's weapon byte is an unsigned type: a byte beyond the table takes row 0.
  const uint32_t colour = tracer ? WeaponRow(trail.weaponType).tracerColour : defaultTrailColour;
  const float tailBias = tracer ? settings.TrTailBias : settings.AmTailBias;
  const Vec3 head = Load(trail.end);
  const Vec3 tail = pass == 0 ? RefractionTail(trail, projectile, extra) : Load(trail.start);

  const Vec4 headClip = Vec3Transform(head, frame.viewProj);
  const Vec4 tailClip = Vec3Transform(tail, frame.viewProj);

  float halfHead;
  float halfTail;
  const float w = trail.width;
  if (pass == 0) {
    halfHead = halfTail = settings.RefractSize;
  } else if (!tracer) {
    halfHead = halfTail = w;
    for (int i = 0; i < TracerStripVertices; ++i) strip[i].tex[2] = 1.0f;
  } else {
    // Tracers widen with view-space depth, so a far tracer still shows.
    const float headDepth = Vec3Transform(head, frame.view).z;
    const float tailDepth = Vec3Transform(tail, frame.view).z;
    halfHead = w + settings.TracerBloom * headDepth;
    halfTail = w + settings.TracerBloom * tailDepth;
    const float headThird = 1.0f - 0.5f * w / halfHead;
    const float tailThird = 1.0f - 0.5f * w / halfTail;
    for (int i = 0; i < 4; ++i) strip[i].tex[2] = headThird;
    for (int i = 4; i < TracerStripVertices; ++i) strip[i].tex[2] = tailThird;
  }

  for (int i = 0; i < TracerStripVertices; ++i) {
    const bool atHead = i < 4;
    const float half = atHead ? halfHead : halfTail;
    const Vec3 anchor = atHead ? head : tail;
    TracerVertex& v = strip[i];
    v.position[0] = kLocalX[i] * half;
    v.position[1] = kLocalY[i] * half;
    v.position[2] = 0.0f;
    v.normal[0] = anchor.x;
    v.normal[1] = anchor.y;
    v.normal[2] = anchor.z;
    v.diffuse = colour;
    if (!atHead) v.tex[3] = tailBias;
  }

  // Screen direction from tail to head; the divisor is |z|, not w.
  const float sxHead = headClip.x / std::fabs(headClip.z);
  const float syHead = headClip.y / std::fabs(headClip.z);
  const float sxTail = tailClip.x / std::fabs(tailClip.z);
  const float syTail = tailClip.y / std::fabs(tailClip.z);
  float angle = std::atan2(syHead - syTail, sxHead - sxTail) - kQuarterTurn;
  // A point on the plane z = 0 leaves the direction undefined: lay the strip out as for a
  // trail that points at the camera rather than send NaN positions to the device.
  if (std::isnan(angle)) angle = -kQuarterTurn;

  Matrix4 orient;
  MatrixRotationZ(&orient, angle);
  MatrixMultiply(&orient, orient, frame.cameraRotationInverse);
  Vec3TransformCoordArray(strip[0].position, sizeof(TracerVertex), strip[0].position,
                          sizeof(TracerVertex), orient, TracerStripVertices);
  for (int i = 0; i < TracerStripVertices; ++i) {
    for (int k = 0; k < 3; ++k) strip[i].position[k] += strip[i].normal[k];
  }
  CollapseUndrawable(strip, head);
}

}  // namespace pellix
