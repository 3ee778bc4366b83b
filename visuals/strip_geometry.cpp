#include "visuals/strip_geometry.h"

#include <cmath>
#include <cstring>

// x86 (x86-64, and i686 built with SSE) checks four values at once; other targets take the
// plain loop, with the same result.
#if defined(__SSE__) && !defined(PELLIX_PLAIN_STRIPS)
#include <xmmintrin.h>
#define PELLIX_STRIP_SSE 1
#endif

#include "startup/settings.h"
#include "startup/tables.h"

namespace pellix {

namespace {

constexpr TracerVertex Fixed(float u, float v) {
  return TracerVertex{{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}, 0u, {u, v, 1.0f, 0.0f}};
}

// u and v of each vertex (head cap 0-1, head edge 2-3, tail edge 4-5, tail cap 6-7).
constexpr float kU[TracerStripVertices] = {-1, -1, 0, 0, 0, 0, 1, 1};
constexpr float kV[TracerStripVertices] = {-1, 1, -1, 1, -1, 1, -1, 1};

Vec3 Load(const float* p) { return Vec3{p[0], p[1], p[2]}; }

// Four float lanes that gather x - x over the values written: 0 for a finite x, NaN otherwise,
// and NaN stays.
#if PELLIX_STRIP_SSE
using Lanes = __m128;
inline Lanes NoLanes() { return _mm_setzero_ps(); }
inline Lanes Gather(Lanes sum, const float* four) {
  const __m128 v = _mm_loadu_ps(four);
  return _mm_add_ps(sum, _mm_sub_ps(v, v));
}
inline int NotFiniteLanes(Lanes sum) { return _mm_movemask_ps(_mm_cmpunord_ps(sum, sum)); }
#else
struct Lanes {
  float v[4];
};
inline Lanes NoLanes() { return Lanes{{0.0f, 0.0f, 0.0f, 0.0f}}; }
inline Lanes Gather(Lanes sum, const float* four) {
  for (int j = 0; j < 4; ++j) sum.v[j] += four[j] - four[j];
  return sum;
}
inline int NotFiniteLanes(Lanes sum) {
  int mask = 0;
  for (int j = 0; j < 4; ++j) mask |= std::isnan(sum.v[j]) ? 1 << j : 0;
  return mask;
}
#endif

// The products of one end's corners with rows 0 and 1 of the orientation, per column: a corner
// is (+-half, +half | 0 x half | -half, 0).
struct EndTerms {
  float right[4], left[4];         // row 0 x +half, x -half
  float up[4], level[4], down[4];  // row 1 x +half, x (0 x half), x -half
};

void PrepareEnd(EndTerms* t, const float* row0, const float* row1, float half) {
  const float minus = -1.0f * half;
  const float zero = 0.0f * half;
  for (int j = 0; j < 4; ++j) {
    t->right[j] = row0[j] * half;
    t->left[j] = row0[j] * minus;
    t->up[j] = row1[j] * half;
    t->level[j] = row1[j] * zero;
    t->down[j] = row1[j] * minus;
  }
}

// One whole vertex: its corner through the orientation, divided by w, moved onto its anchor;
// then the anchor and the colour, then the texture coordinates. For any view without a
// projective part w is exactly 1, and the division, which would change nothing, is left out:
// in an affine frame w is not even looked at (it is 1 for every finite corner, and a corner that
// is not finite collapses the strip anyway). Three 16-byte stores: the first also covers
// normal[0] until the second writes it. The position is gathered into `notFinite`.
template <bool kAffine>
inline void WriteVertex(TracerVertex& v, const StripFrame& f, const float* across,
                        const float* along, const float* anchor, const void* anchorColour,
                        const float* tex, Lanes& notFinite) {
  float r[4];
  for (int j = 0; j < 4; ++j) r[j] = across[j] + along[j] + f.cornerZ[j] + f.orientRow3[j];
  if (!kAffine && r[3] != 1.0f) {
    r[0] = r[0] / r[3];
    r[1] = r[1] / r[3];
    r[2] = r[2] / r[3];
  }
  float position[4];
  for (int j = 0; j < 4; ++j) position[j] = r[j] + anchor[j];
  auto* bytes = reinterpret_cast<unsigned char*>(&v);
  std::memcpy(bytes, position, 16);
  std::memcpy(bytes + offsetof(TracerVertex, normal), anchorColour, 16);
  std::memcpy(bytes + offsetof(TracerVertex, tex), tex, 16);
  notFinite = Gather(notFinite, position);
}

// Settings or lengths beyond the float range (an endless refraction length, width, bloom or
// tail bias) give a strip that cannot be drawn: it is written again collapsed onto its head,
// where it covers no pixel, with any texture value that is not finite as 0, rather than send
// an infinity or NaN to the device. Only writes: `out` may be a write-only vertex buffer.
[[gnu::cold, gnu::noinline]] void WriteCollapsed(TracerVertex* out, const StripHead& head,
                                                 const float* third) {
  const float bias = std::isfinite(head.tailBias) ? head.tailBias : 0.0f;
  for (int i = 0; i < TracerStripVertices; ++i) {
    TracerVertex& v = out[i];
    const float point[3] = {head.point.x, head.point.y, head.point.z};
    const float tex[4] = {kU[i], kV[i], std::isfinite(third[i]) ? third[i] : 0.0f,
                          i < 4 ? 0.0f : bias};
    std::memcpy(v.position, point, sizeof point);
    std::memcpy(v.normal, point, sizeof point);
    v.diffuse = head.colour;
    std::memcpy(v.tex, tex, sizeof tex);
  }
}

// The strip from the head to the plan's tail: corners half a width across and beyond each end,
// turned so that the local y axis follows the trail on screen (the plan's rows), laid into the
// camera's plane and moved onto the two anchors.
template <bool kAffine>
void WritePlanned(TracerVertex* out, const StripFrame& f, const StripHead& head,
                  const StripPlan& plan) {
  const float* third = plan.third;
  EndTerms t;
  float anchor[4] = {head.point.x, head.point.y, head.point.z, 0.0f};
  uint32_t anchorColour[4];
  std::memcpy(anchorColour, anchor, 12);
  anchorColour[3] = head.colour;
  float tex[TracerStripVertices][4];
  for (int i = 0; i < TracerStripVertices; ++i) {
    tex[i][0] = kU[i];
    tex[i][1] = kV[i];
    tex[i][2] = third[i];
    tex[i][3] = i < 4 ? 0.0f : head.tailBias;
  }
  // Gathered over the texture values and over each vertex's position (an anchor reaches its
  // vertices' positions), a lane that is not 0 tells.
  const float bias[4] = {head.tailBias, head.tailBias, head.tailBias, head.tailBias};
  const Lanes texture = Gather(Gather(Gather(NoLanes(), bias), third), third + 4);
  Lanes positions = NoLanes();
  PrepareEnd(&t, plan.row0, plan.row1, plan.halfHead);
  WriteVertex<kAffine>(out[0], f, t.left, t.up, anchor, anchorColour, tex[0], positions);
  WriteVertex<kAffine>(out[1], f, t.right, t.up, anchor, anchorColour, tex[1], positions);
  WriteVertex<kAffine>(out[2], f, t.left, t.level, anchor, anchorColour, tex[2], positions);
  WriteVertex<kAffine>(out[3], f, t.right, t.level, anchor, anchorColour, tex[3], positions);
  anchor[0] = plan.tail.x;
  anchor[1] = plan.tail.y;
  anchor[2] = plan.tail.z;
  std::memcpy(anchorColour, anchor, 12);
  PrepareEnd(&t, plan.row0, plan.row1, plan.halfTail);
  WriteVertex<kAffine>(out[4], f, t.left, t.level, anchor, anchorColour, tex[4], positions);
  WriteVertex<kAffine>(out[5], f, t.right, t.level, anchor, anchorColour, tex[5], positions);
  WriteVertex<kAffine>(out[6], f, t.left, t.down, anchor, anchorColour, tex[6], positions);
  WriteVertex<kAffine>(out[7], f, t.right, t.down, anchor, anchorColour, tex[7], positions);
  const int notFinite = NotFiniteLanes(texture) | (NotFiniteLanes(positions) & 7);
  if (notFinite != 0) WriteCollapsed(out, head, third);
}

// The turn of the strip from the head to `tail`, with its half-widths and third coordinates.
void PlanStrip(StripPlan* plan, const StripFrame& f, const StripHead& head, const Vec3& tail,
               float halfHead, float halfTail, const float* third) {
  // Screen direction from tail to head; the divisor is |z|, not w.
  const Vec4 tailClip = Vec3Transform(tail, f.viewProj);
  const float sxTail = tailClip.x / std::fabs(tailClip.z);
  const float syTail = tailClip.y / std::fabs(tailClip.z);
  const StripTurn turn = TurnTowards(head.screenX - sxTail, head.screenY - syTail);

  // Rows 0 and 1 of (rotation about z) x cameraRotationInverse; rows 2 and 3 are the frame's.
  const float c = turn.cosine;
  const float s = turn.sine;
  const float minusS = -s;
  const Matrix4& inverse = f.cameraRotationInverse;
  for (int j = 0; j < 4; ++j) {
    plan->row0[j] = c * inverse.m[0][j] + s * inverse.m[1][j] + f.zeroRow2[j] + f.zeroRow3[j];
    plan->row1[j] = minusS * inverse.m[0][j] + c * inverse.m[1][j] + f.zeroRow2[j] + f.zeroRow3[j];
  }
  plan->tail = tail;
  plan->halfHead = halfHead;
  plan->halfTail = halfTail;
  if (third != plan->third) std::memcpy(plan->third, third, sizeof plan->third);
}
}  // namespace

void WritePlannedStrip(TracerVertex* out, const StripFrame& frame, const StripHead& head,
                       const StripPlan& plan) {
  if (frame.affine) {
    WritePlanned<true>(out, frame, head, plan);
  } else {
    WritePlanned<false>(out, frame, head, plan);
  }
}

StripTurn TurnTowards(float dx, float dy) {
  // An infinite component (an end on the plane z = 0) sets the direction alone.
  if (std::isinf(dx) || std::isinf(dy)) {
    dx = std::isinf(dx) ? std::copysign(1.0f, dx) : std::copysign(0.0f, dx);
    dy = std::isinf(dy) ? std::copysign(1.0f, dy) : std::copysign(0.0f, dy);
  }
  // Products of two floats are exact in double, and float's range cannot overflow or underflow
  // there: the double steps add a few units of double's last place, and the one rounding to
  // float at the end keeps the result within about half a unit of float's.
  const double x = dx;
  const double y = dy;
  const double squared = x * x + y * y;
  // Zero, or NaN (an end on that plane gives 0 / 0): the layout of a trail pointing at the
  // camera, whose ends project onto one point, turned by -pi / 2.
  if (!(squared > 0.0)) return StripTurn{0.0f, -1.0f};
  const double inverse = 1.0 / std::sqrt(squared);
  return StripTurn{static_cast<float>(y * inverse), static_cast<float>(-x * inverse)};
}

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

  // Rows 2 and 3 of a rotation about z are the same for every angle.
  const Matrix4& inverse = frame->cameraRotationInverse;
  Matrix4 orient;
  MatrixRotationZ(&orient, 0.0f);
  MatrixMultiply(&orient, orient, inverse);
  for (int j = 0; j < 4; ++j) {
    frame->zeroRow2[j] = 0.0f * inverse.m[2][j];
    frame->zeroRow3[j] = 0.0f * inverse.m[3][j];
    frame->cornerZ[j] = orient.m[2][j] * 0.0f;
    frame->orientRow3[j] = orient.m[3][j];
  }
  // w = (row 0 and row 1 of the orientation, times a finite half-width) + cornerZ + orientRow3,
  // in the fourth column: exactly 1 when these are 0, 0, 0 and 1.
  frame->affine = inverse.m[0][3] == 0.0f && inverse.m[1][3] == 0.0f &&
                  frame->zeroRow2[3] == 0.0f && frame->zeroRow3[3] == 0.0f &&
                  frame->cornerZ[3] == 0.0f && frame->orientRow3[3] == 1.0f;
}

void PrepareStripHead(StripHead* head, const StripFrame& frame, const TrailRecord& trail) {
  head->tracer = trail.isTracer != 0;
  // The trail's weapon byte is an unsigned type: a byte beyond the table takes row 0.
  head->colour = head->tracer ? WeaponRow(trail.weaponType).tracerColour : defaultTrailColour;
  head->tailBias = head->tracer ? settings.TrTailBias : settings.AmTailBias;
  head->point = Load(trail.end);
  const Vec4 clip = Vec3Transform(head->point, frame.viewProj);
  head->screenX = clip.x / std::fabs(clip.z);
  head->screenY = clip.y / std::fabs(clip.z);
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

void PlanRefractionStrip(StripPlan* plan, const StripFrame& frame, const StripHead& head,
                         const TrailRecord& trail, const ProjectileRecord& projectile,
                         const ProjectileExtra& extra, const float* third) {
  const float half = settings.RefractSize;
  PlanStrip(plan, frame, head, RefractionTail(trail, projectile, extra), half, half, third);
}

void PlanDisplayStrip(StripPlan* plan, const StripFrame& frame, const StripHead& head,
                      const TrailRecord& trail) {
  const Vec3 tail = Load(trail.start);
  const float w = trail.width;
  if (!head.tracer) {
    const float third[TracerStripVertices] = {1, 1, 1, 1, 1, 1, 1, 1};
    PlanStrip(plan, frame, head, tail, w, w, third);
    return;
  }
  // Tracers widen with view-space depth, so a far tracer still shows.
  const float headDepth = Vec3Transform(head.point, frame.view).z;
  const float tailDepth = Vec3Transform(tail, frame.view).z;
  const float halfHead = w + settings.TracerBloom * headDepth;
  const float halfTail = w + settings.TracerBloom * tailDepth;
  const float headThird = 1.0f - 0.5f * w / halfHead;
  const float tailThird = 1.0f - 0.5f * w / halfTail;
  const float third[TracerStripVertices] = {headThird, headThird, headThird, headThird,
                                            tailThird, tailThird, tailThird, tailThird};
  PlanStrip(plan, frame, head, tail, halfHead, halfTail, third);
}

void WriteRefractionStrip(TracerVertex* out, const StripFrame& frame, const StripHead& head,
                          const TrailRecord& trail, const ProjectileRecord& projectile,
                          const ProjectileExtra& extra, const float* third) {
  StripPlan plan;
  PlanRefractionStrip(&plan, frame, head, trail, projectile, extra, third);
  WritePlannedStrip(out, frame, head, plan);
}

void WriteDisplayStrip(TracerVertex* out, const StripFrame& frame, const StripHead& head,
                       const TrailRecord& trail) {
  StripPlan plan;
  PlanDisplayStrip(&plan, frame, head, trail);
  WritePlannedStrip(out, frame, head, plan);
}

void BuildTracerStrip(TracerVertex* strip, const StripFrame& frame, const TrailRecord& trail,
                      const ProjectileRecord& projectile, const ProjectileExtra& extra,
                      uint32_t pass) {
  if (pass > 1) return;
  StripHead head;
  PrepareStripHead(&head, frame, trail);
  if (pass == 1) {
    WriteDisplayStrip(strip, frame, head, trail);
    return;
  }
  // The third coordinates go straight into the plan, which PlanStrip then leaves as they are.
  StripPlan plan;
  for (int i = 0; i < TracerStripVertices; ++i) plan.third[i] = strip[i].tex[2];
  PlanRefractionStrip(&plan, frame, head, trail, projectile, extra, plan.third);
  WritePlannedStrip(strip, frame, head, plan);
}

}  // namespace pellix
