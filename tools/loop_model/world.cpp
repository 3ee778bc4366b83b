#include "tools/loop_model/world.h"

#include <algorithm>
#include <limits>

namespace pellix::loop_model {

namespace {

struct Crossing {
  float t = std::numeric_limits<float>::infinity();
  float normal[3] = {0, 0, 0};
  uint8_t surfaceId = 0;
  uint8_t typeCode = 0;
};

float Dot(const float* a, const float* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void PlaneCrossing(const Plane& plane, const float* start, const float* end, Crossing& best) {
  const float s = Dot(plane.normal, start) - plane.offset;
  const float e = Dot(plane.normal, end) - plane.offset;
  const bool startSolid = s < 0.0f;
  const bool endSolid = e < 0.0f;
  if (startSolid == endSolid || s == e) return;
  const float t = s / (s - e);
  if (t < best.t) {
    best.t = t;
    std::copy(plane.normal, plane.normal + 3, best.normal);
    best.surfaceId = plane.surfaceId;
    best.typeCode = plane.typeCode;
  }
}

// Slab test of the segment's line against the box: the entry face when the start is
// outside, else the exit face.
void BoxCrossing(const Box& box, const float* start, const float* end, Crossing& best) {
  float tEnter = -std::numeric_limits<float>::infinity();
  float tExit = std::numeric_limits<float>::infinity();
  int enterAxis = -1, exitAxis = -1;
  float enterSign = 0, exitSign = 0;
  for (int k = 0; k < 3; ++k) {
    const float d = end[k] - start[k];
    if (d == 0.0f) {
      if (start[k] <= box.min[k] || start[k] >= box.max[k]) return;  // parallel, outside
      continue;
    }
    float t0 = (box.min[k] - start[k]) / d;
    float t1 = (box.max[k] - start[k]) / d;
    // Moving up an axis enters through the min face (normal -1) and leaves through max (+1).
    float sign0 = -1.0f, sign1 = 1.0f;
    if (t0 > t1) {
      std::swap(t0, t1);
      std::swap(sign0, sign1);
    }
    if (t0 > tEnter) {
      tEnter = t0;
      enterAxis = k;
      enterSign = sign0;
    }
    if (t1 < tExit) {
      tExit = t1;
      exitAxis = k;
      exitSign = sign1;
    }
  }
  if (tEnter >= tExit) return;  // the line misses the box or only touches it
  float t;
  int axis;
  float sign;
  if (tEnter >= 0.0f) {
    t = tEnter, axis = enterAxis, sign = enterSign;
  } else {
    t = tExit, axis = exitAxis, sign = exitSign;
  }
  if (axis < 0 || t < 0.0f || t > 1.0f || t >= best.t) return;
  best.t = t;
  best.normal[0] = best.normal[1] = best.normal[2] = 0.0f;
  best.normal[axis] = sign;
  best.surfaceId = box.surfaceId;
  best.typeCode = box.typeCode;
}

}  // namespace

bool BoxPlaneWorld::LineTest(const float* start, const float* end) const {
  Hit hit;
  return FindHit(start, end, hit);
}

bool BoxPlaneWorld::FindHit(const float* start, const float* end, Hit& hit) const {
  if (start[0] == end[0] && start[1] == end[1] && start[2] == end[2]) return false;
  Crossing best;
  for (const Plane& plane : planes) PlaneCrossing(plane, start, end, best);
  for (const Box& box : boxes) BoxCrossing(box, start, end, best);
  if (!(best.t <= 1.0f)) return false;
  for (int k = 0; k < 3; ++k) {
    hit.point[k] = start[k] + (end[k] - start[k]) * best.t;
    hit.normal[k] = best.normal[k];
  }
  hit.surfaceId = best.surfaceId;
  hit.typeCode = best.typeCode;
  return true;
}

}  // namespace pellix::loop_model
