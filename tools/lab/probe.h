// Asking the impact response "what would a hit do now" without disturbing the run: the slot,
// the loop-control state and the host's time step are put back afterwards.
#pragma once
#include <cstdint>

#include "sim/pool.h"

namespace pellix::lab {

struct ProbeState {
  ProjectileRecord record;
  ProjectileExtra extra;
  float savedTimeStep, hostTimeStep;
  int32_t repeatRequested, skipHostHit, damageRestorePending, repeatCount, projectileLoopOnPool;
  uint16_t savedDamage;
  int32_t ricochet, pierce;
};

ProbeState SaveProbeState(int32_t slot);
void RestoreProbeState(int32_t slot, const ProbeState& state);

// Clears the flags the impact response sets, as the loop takeover does before a new hit, and
// starts a full frame step of `step`.
void ClearImpactFlags(float step);

// The damage a plain head-on hit on class-0 ground would deal to the projectile in `slot` now:
// the impact response with ricochet and penetration off, undone afterwards. 0 when the hit
// would skip the host's hit handling (a round below the speed floor).
int32_t ProbeHitDamage(int32_t slot);

}  // namespace pellix::lab
