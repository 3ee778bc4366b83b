#include "startup/tables.h"

namespace pellix {

WeaponBallistics* weaponTable = nullptr;
SurfaceBallistics* surfaceTable = nullptr;

}  // namespace pellix
