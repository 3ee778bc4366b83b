// The world that the loop model's host tests projectiles against: a line test for the
// sweep and a hit finder for the host's step. BoxPlaneWorld is a small default.
#pragma once
#include <cstdint>
#include <vector>

namespace pellix::loop_model {

struct Hit {
  float point[3];
  float normal[3];    // unit, pointing out of the solid that was crossed
  uint8_t surfaceId;  // the host's surface id (the model's surface class routine maps it)
  uint8_t typeCode;   // kind code of what was hit; the host's loop sees it in AL
};

class World {
 public:
  virtual ~World() = default;
  // Whether the segment from start to end crosses a surface (the host's line test).
  virtual bool LineTest(const float* start, const float* end) const = 0;
  // The first surface crossing from start to end, if any.
  virtual bool FindHit(const float* start, const float* end, Hit& hit) const = 0;
};

// A half-space: the points x with normal . x < offset are solid.
struct Plane {
  float normal[3];
  float offset;
  uint8_t surfaceId;
  uint8_t typeCode;
};

// A solid axis-aligned box.
struct Box {
  float min[3];
  float max[3];
  uint8_t surfaceId;
  uint8_t typeCode;
};

// Planes and boxes, crossed in either direction: entering a solid and leaving it both count,
// so that a projectile inside a box finds the face it leaves through.
class BoxPlaneWorld : public World {
 public:
  std::vector<Plane> planes;
  std::vector<Box> boxes;

  bool LineTest(const float* start, const float* end) const override;
  bool FindHit(const float* start, const float* end, Hit& hit) const override;
};

}  // namespace pellix::loop_model
