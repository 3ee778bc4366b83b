#include "visuals/trail_update.h"

#include <cmath>

#include "host/host_api.h"
#include "sim/pool.h"
#include "startup/settings.h"
#include "startup/tables.h"

namespace pellix {

namespace {

constexpr float kDecayRate = 0.5f;        // length lost per unit of time step
constexpr double kLifetimeFactor = 25.0;  // ms of lifetime per unit of full length

// Truncation to a 64-bit integer as the hardware does it: a value out of range (or NaN)
// gives the "integer indefinite" 0x8000000000000000, whose low 32 bits are 0.
uint32_t LowBitsOfTruncation(double value) {
  constexpr double kLimit = 9223372036854775808.0;  // 2^63
  if (!(value > -kLimit && value < kLimit)) return 0;
  return static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(value)));
}

float NoneIfUndefined(float length) { return std::isnan(length) ? 0.0f : length; }

float Decayed(float length, float timeStep) {
  const float value = length - kDecayRate * timeStep;
  return value < 0.0f ? 0.0f : value;
}

}  // namespace

uint32_t TrailColour(uint8_t isTracer, uint8_t weaponType) {
  if ((isTracer & 1) == 0) return kPlainTrailColour;
  const uint32_t row = weaponType < static_cast<uint32_t>(settings.weaponCount) ? weaponType : 0u;
  return weaponTable[row].tracerColour;
}

bool HostDrawsTrails() { return settings.TracerType <= 0; }

void UpdateTrails() {
  const int32_t slots = settings.MaxPellix;
  const bool afterEffect = settings.AfterEffect != 0;
  const bool keepAlpha = HostDrawsTrails();
  const float timeStep = *host.timeStep;
  const uint32_t clock = *host.clockMs;

  for (int32_t i = 0; i < slots; ++i) {
    const ProjectileRecord& p = pool.projectileArray[i];
    TrailRecord& t = pool.trailArray[i];
    ProjectileExtra& x = pool.extraArray[i];
    const WeaponBallistics& w = WeaponRow(p.weaponType);
    const bool tracer = p.isTracer != 0;
    const float full = tracer ? w.tracerTrailLength : w.ammoTrailLength;

    if (!afterEffect) {
      t.activity = p.active;
    } else {
      if (t.activity == kTrailLive && p.active == 0) {
        // The part not yet shown becomes the part still shown: the shrink starts from the
        // length the trail had. An endless length showed none of itself (inf - inf): none is
        // left to shrink.
        x.trailLength = NoneIfUndefined(full - x.trailLength);
        x.refractLength = NoneIfUndefined(RefractionLength(full, tracer) - x.refractLength);
        t.activity = kTrailShrinking;
      }
      t.activity = static_cast<uint8_t>(t.activity | p.active);
    }
    if (t.activity == kTrailHidden) continue;

    x.trailLength = Decayed(x.trailLength, timeStep);
    x.refractLength = Decayed(x.refractLength, timeStep);

    // Live: the tail lies the shown length of flight behind. Ended: the shown part shrinks
    // into the last position.
    const float back = p.active != 0 ? full - x.trailLength : x.trailLength;
    for (int k = 0; k < 3; ++k) {
      t.start[k] = p.position[k] - p.velocity[k] * back;
      t.end[k] = p.position[k];
    }
    // A tail beyond the float range (a muzzle speed near the float limit, an endless trail
    // length) or an endless width cannot be drawn: such a trail shrinks to its head, with no
    // width, rather than carry an infinity or NaN to the drawing.
    const float width = tracer ? w.tracerTrailWidth : w.ammoTrailWidth;
    const bool drawable = std::isfinite(width);
    if (!drawable || !std::isfinite(t.start[0]) || !std::isfinite(t.start[1]) ||
        !std::isfinite(t.start[2])) {
      for (int k = 0; k < 3; ++k) t.start[k] = t.end[k];
    }
    if (p.active != 0) {
      t.creationTime = clock;
      t.lifetime = LowBitsOfTruncation(static_cast<double>(full) * kLifetimeFactor);
      t.width = drawable ? width : 0.0f;
      t.alpha =
          keepAlpha ? static_cast<uint8_t>(tracer ? w.tracerTrailAlpha : w.ammoTrailAlpha) : 0;
      t.isTracer = p.isTracer;
      t.weaponType = static_cast<uint8_t>(p.weaponType);
    }
    if (clock - t.creationTime > t.lifetime) t.activity = kTrailHidden;
  }
}

}  // namespace pellix
