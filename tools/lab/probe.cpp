#include "tools/lab/probe.h"

#include <cmath>

#include "host/host_api.h"
#include "sim/impact.h"
#include "sim/loop_state.h"
#include "startup/settings.h"

namespace pellix::lab {

ProbeState SaveProbeState(int32_t slot) {
  return ProbeState{pool.projectileArray[slot],
                    pool.extraArray[slot],
                    savedTimeStep,
                    *host.timeStep,
                    repeatRequested,
                    skipHostHit,
                    damageRestorePending,
                    repeatCount,
                    projectileLoopOnPool,
                    savedDamage,
                    settings.Ricochet,
                    settings.Pierce};
}

void RestoreProbeState(int32_t slot, const ProbeState& s) {
  pool.projectileArray[slot] = s.record;
  pool.extraArray[slot] = s.extra;
  savedTimeStep = s.savedTimeStep;
  *host.timeStep = s.hostTimeStep;
  repeatRequested = s.repeatRequested;
  skipHostHit = s.skipHostHit;
  damageRestorePending = s.damageRestorePending;
  repeatCount = s.repeatCount;
  projectileLoopOnPool = s.projectileLoopOnPool;
  savedDamage = s.savedDamage;
  settings.Ricochet = s.ricochet;
  settings.Pierce = s.pierce;
}

void ClearImpactFlags(float step) {
  repeatRequested = 0;
  skipHostHit = 0;
  damageRestorePending = 0;
  savedDamage = 0;
  savedTimeStep = step;
  *host.timeStep = step;
}

int32_t ProbeHitDamage(int32_t slot) {
  const ProbeState before = SaveProbeState(slot);
  ProjectileRecord* record = &pool.projectileArray[slot];
  settings.Ricochet = 0;
  settings.Pierce = 0;
  ClearImpactFlags(1.0f);
  const float* v = record->velocity;
  const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  float normal[3] = {0.0f, 0.0f, 1.0f};
  if (length > 0.0f) {
    for (int k = 0; k < 3; ++k) normal[k] = -v[k] / length;
  }
  float point[3] = {record->position[0], record->position[1], record->position[2]};
  ResolveImpact(record, point, normal, 0, 0);
  // Below the speed floor the round stops and the host's hit handling is skipped: no damage.
  const int32_t damage = skipHostHit ? 0 : record->damage;
  RestoreProbeState(slot, before);
  return damage;
}

}  // namespace pellix::lab
