#pragma once
#include "sim/pool.h"

namespace pellix {

// Moves a projectile that goes on after an impact clear of what it hit, or stops it.
void ClearAhead(ProjectileRecord* record);
// HostTimeStep := the part of the frame's step not yet used; asks for a repeat.
void CutStep(float travelled, float speed);
// The one way an impact ends a projectile.
void StopProjectile(ProjectileRecord* record);

}  // namespace pellix
