// Pool arrays for the loop model and its users: zero-filled, owned here, and published
// through pellix::pool for as long as the storage lives.
#pragma once
#include <vector>

#include "sim/pool.h"

namespace pellix::loop_model {

class PoolStorage {
 public:
  explicit PoolStorage(int slots)
      : projectiles_(slots > 0 ? slots : 0),
        trails_(slots > 0 ? slots : 0),
        extras_(slots > 0 ? slots : 0) {
    pool = ProjectilePool{};
    if (slots <= 0) return;
    pool.projectileArray = projectiles_.data();
    pool.projectileArrayEnd = projectiles_.data() + slots;
    pool.trailArray = trails_.data();
    pool.trailArrayEnd = trails_.data() + slots;
    pool.extraArray = extras_.data();
  }
  ~PoolStorage() { pool = ProjectilePool{}; }
  PoolStorage(const PoolStorage&) = delete;
  PoolStorage& operator=(const PoolStorage&) = delete;

 private:
  std::vector<ProjectileRecord> projectiles_;
  std::vector<TrailRecord> trails_;
  std::vector<ProjectileExtra> extras_;
};

}  // namespace pellix::loop_model
