#pragma once
#include "sim/pool.h"

namespace pellix {

// Gravity and drag against the wind on the record's velocity, for one step of timeStep. A
// step whose new velocity is not finite ends the record instead, at rest where it is.
void ApplyFlightForces(ProjectileRecord* record, float timeStep);

}  // namespace pellix
