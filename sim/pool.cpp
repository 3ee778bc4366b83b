#include "sim/pool.h"

#include <cstdlib>

namespace pellix {

ProjectilePool pool{};

void* CallocZeroed(size_t count, size_t size) { return std::calloc(count, size); }

bool AllocatePool(int32_t slots, ZeroAllocator allocate) {
  pool = ProjectilePool{};
  if (slots < 1) return false;
  const auto count = static_cast<size_t>(slots);
  auto* trails = static_cast<TrailRecord*>(allocate(count, sizeof(TrailRecord)));
  auto* projectiles =
      trails ? static_cast<ProjectileRecord*>(allocate(count, sizeof(ProjectileRecord))) : nullptr;
  auto* extras = projectiles
                     ? static_cast<ProjectileExtra*>(allocate(count, sizeof(ProjectileExtra)))
                     : nullptr;
  if (!extras) {
    std::free(projectiles);
    std::free(trails);
    return false;
  }
  pool.trailArray = trails;
  pool.trailArrayEnd = trails + count;
  pool.projectileArray = projectiles;
  pool.projectileArrayEnd = projectiles + count;
  pool.extraArray = extras;
  pool.nextSlot = 0;
  return true;
}

}  // namespace pellix
