#include "tests/support/sim_setup.h"

#include "sim/loop_state.h"
#include "sim/shots.h"

namespace pellix::testing {

Settings DefaultSettings(int32_t weaponCount, int32_t maxPellix) {
  Settings s{};
  s.MaxPellix = maxPellix;
  s.weaponCount = weaponCount;
  s.rangeScale = 1.0f * 40.0f;
  s.Gravity = 0;
  s.gravityScale = 1.0f * 0.032f;
  s.AirResist = 0;
  s.Ricochet = 0;
  s.Pierce = 0;
  s.MaxLoop = 8;
  s.minSpeedScaled = 1.0f * 25.0f;
  s.ColBias = 0.01f;
  s.SolidBias = 0.1f;
  s.SolidLoop = 50;
  s.TracerType = 2;
  s.AfterEffect = 2;
  s.TracerBloom = 0.001f;
  s.RefractSize = 0.1f;
  s.AmRefractLen = 2.0f;
  s.TrRefractLen = 1.5f;
  s.AmTailBias = -1.0f;
  s.TrTailBias = -1.0f;
  return s;
}

void ResetLoopState() {
  savedTimeStep = 0.0f;
  repeatRequested = 0;
  skipHostHit = 0;
  damageRestorePending = 0;
  savedDamage = 0;
  projectileLoopOnPool = 0;
  repeatCount = 0;
  traceLoopOnPool = 0;
  tracerCounter = 0;
}

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
