#pragma once
#include "sim/pool.h"

namespace pellix {

// Gravity and drag against the wind on the record's velocity, for one step of timeStep.
void ApplyFlightForces(ProjectileRecord* record, float timeStep);

}  // namespace pellix
