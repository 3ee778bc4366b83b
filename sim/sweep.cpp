#include "sim/sweep.h"

#include "host/host_api.h"
#include "sim/loop_state.h"
#include "sim/vec3.h"
#include "startup/settings.h"

namespace pellix {
namespace {

// The host's line test with the flags every sweep test uses. The hit record and entity slot
// are scratch space the host fills and nobody reads.
bool SegmentBlocked(const float* start, const float* end) {
  alignas(4) uint8_t hitRecord[44];
  alignas(4) uint8_t hitEntity[4];
  return host.lineTest(start, end, hitRecord, hitEntity, 1, 1, 1, 1, 1, 0, 0, 1) != 0;
}

}  // namespace

void ClearAhead(ProjectileRecord* record) {
  const float* p = record->position;
  const float* v = record->velocity;
  const float speed = vec3::Length(v);
  // A projectile that does not move has no direction to probe in; neither has one whose
  // speed overflowed.
  if (!(speed > 0.0f) || !std::isfinite(speed)) return;

  const float L = speed / settings.ColBias;
  const float probeScale = 1.0f / L;
  const float probeEnd[3] = {p[0] + v[0] * probeScale, p[1] + v[1] * probeScale,
                             p[2] + v[2] * probeScale};
  const float m = 1.0f / ((settings.ColBias * L) / settings.SolidBias);  // SolidBias / speed
  const float step[3] = {v[0] * m, v[1] * m, v[2] * m};
  // Odd settings (a zero ColBias) leave no defined segment; the line test never gets one.
  if (!vec3::IsFinite(probeEnd) || !vec3::IsFinite(step)) return;

  if (!SegmentBlocked(p, probeEnd)) return;
  if (settings.SolidLoop <= 0) return;

  float start[3] = {p[0], p[1], p[2]};
  float end[3] = {start[0] + step[0], start[1] + step[1], start[2] + step[2]};
  for (int32_t i = 0;; ++i) {
    if (!SegmentBlocked(start, end)) {
      vec3::Copy(record->position, start);
      return;
    }
    if (i == settings.SolidLoop - 1) {
      StopProjectile(record);
      return;
    }
    vec3::Copy(start, end);
    end[0] += step[0];
    end[1] += step[1];
    end[2] += step[2];
    // A walk that runs out of the float range has found no way out.
    if (!vec3::IsFinite(end)) {
      StopProjectile(record);
      return;
    }
  }
}

void CutStep(float travelled, float speed) {
  const long double remaining =
      (static_cast<long double>(savedTimeStep) * speed - travelled) / speed;
  const float cut = static_cast<float>(remaining);
  // Only a zero or overflowing speed gets here without a finite answer; no time is left then.
  *host.timeStep = std::isfinite(cut) ? cut : 0.0f;
  repeatRequested = 1;
}

void StopProjectile(ProjectileRecord* record) {
  record->active = 0;
  repeatRequested = 0;
  skipHostHit = 1;
}

}  // namespace pellix
