#include "tests/support/sim_setup.h"

namespace pellix::testing {

TableSetup::TableSetup()
    : weapons(settings.weaponCount > 0 ? settings.weaponCount : 1), surfaces(SurfaceClassCount) {
  weaponTable = weapons.data();
  surfaceTable = surfaces.data();
}

TableSetup::~TableSetup() {
  weaponTable = nullptr;
  surfaceTable = nullptr;
}

PoolSetup::PoolSetup(int32_t slots) : projectiles(slots), trails(slots), extras(slots) {
  pool.projectileArray = projectiles.data();
  pool.projectileArrayEnd = projectiles.data() + slots;
  pool.trailArray = trails.data();
  pool.trailArrayEnd = trails.data() + slots;
  pool.extraArray = extras.data();
  pool.nextSlot = 0;
}

PoolSetup::~PoolSetup() { pool = ProjectilePool{}; }

SimSetup::SettingsScope::SettingsScope(int32_t weaponCount, int32_t maxPellix) {
  settings = DefaultSettings(weaponCount, maxPellix);
  ResetLoopState();
}

SimSetup::SettingsScope::~SettingsScope() {
  settings = Settings{};
  ResetLoopState();
}

SimSetup::SimSetup(int32_t weaponCount, int32_t maxPellix)
    : settings_(weaponCount, maxPellix), pool_(maxPellix) {}

SimSetup::~SimSetup() = default;

}  // namespace pellix::testing
