#pragma once
#include <cstdint>

#include "sim/pool.h"

namespace pellix {

// What a hit does to the projectile: special weapons, damage by energy, ricochet, penetration.
// The record's position must still be the start of the step's path.
void ResolveImpact(ProjectileRecord* record, const float* hitPoint, const float* hitNormal,
                   uint32_t surfaceId, uint32_t hitKind);

}  // namespace pellix
