#include "sim/pool.h"

namespace pellix {

ProjectilePool pool{};

}  // namespace pellix
