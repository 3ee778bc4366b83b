// Set-up and tear-down of the plug-in's process-wide state for unit tests.
//
// - DefaultSettings(), ResetLoopState(): see sample_setup.h.
// - TableSetup: owns a weapon table of settings.weaponCount zero rows and a surface table of
//   seven zero rows, points `weaponTable` / `surfaceTable` at them; restores both on exit.
// - PoolSetup: owns zero-filled pool arrays of `slots` records, points `pool` at them with
//   nextSlot 0; restores an empty pool on exit.
// - SimSetup: all of it at once (settings, tables, pool, loop state), restored on exit.
#pragma once
#include <cstdint>
#include <vector>

#include "sim/pool.h"
#include "startup/settings.h"
#include "startup/tables.h"
#include "tests/support/sample_setup.h"

namespace pellix::testing {

class TableSetup {
 public:
  TableSetup();  // sized by the current settings.weaponCount
  ~TableSetup();
  TableSetup(const TableSetup&) = delete;
  TableSetup& operator=(const TableSetup&) = delete;

  std::vector<WeaponBallistics> weapons;
  std::vector<SurfaceBallistics> surfaces;
};

class PoolSetup {
 public:
  explicit PoolSetup(int32_t slots);
  ~PoolSetup();
  PoolSetup(const PoolSetup&) = delete;
  PoolSetup& operator=(const PoolSetup&) = delete;

  std::vector<ProjectileRecord> projectiles;
  std::vector<TrailRecord> trails;
  std::vector<ProjectileExtra> extras;
};

class SimSetup {
 public:
  explicit SimSetup(int32_t weaponCount = 40, int32_t maxPellix = 16);
  ~SimSetup();
  SimSetup(const SimSetup&) = delete;
  SimSetup& operator=(const SimSetup&) = delete;

  WeaponBallistics& Weapon(int32_t row) { return tables_.weapons.at(row); }
  SurfaceBallistics& Surface(int32_t row) { return tables_.surfaces.at(row); }
  ProjectileRecord& Record(int32_t slot) { return pool_.projectiles.at(slot); }
  ProjectileExtra& Extra(int32_t slot) { return pool_.extras.at(slot); }

 private:
  struct SettingsScope {
    SettingsScope(int32_t weaponCount, int32_t maxPellix);
    ~SettingsScope();
  };
  SettingsScope settings_;
  TableSetup tables_;
  PoolSetup pool_;
};

}  // namespace pellix::testing
