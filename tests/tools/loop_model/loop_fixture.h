// Shared set-up of the loop tests: settings at their defaults, a small weapon table, the
// surface table, a pool, clear loop state, and a loop model installed into pellix::host.
#pragma once
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

#include "sim/pool.h"
#include "startup/settings.h"
#include "startup/tables.h"
#include "tests/support/sample_setup.h"
#include "tools/loop_model/loop_model.h"
#include "tools/loop_model/model_pool.h"
#include "visuals/trace_loop.h"

namespace pellix::testing {

inline WeaponBallistics Weapon(float muzzleSpeed, float ammoLength, float tracerLength,
                               uint32_t colour) {
  WeaponBallistics w{};
  w.speedFactor = 25.0f / muzzleSpeed;
  w.ammoTrailLength = ammoLength;
  w.tracerTrailLength = tracerLength;
  w.ammoTrailWidth = 0.05f;
  w.tracerTrailWidth = 0.2f;
  w.ammoTrailAlpha = 0x180;  // low byte 0x80
  w.tracerTrailAlpha = 0xFF;
  w.tracerColour = colour;
  return w;
}

class LoopFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearLoopState();
    settings = DefaultSettings(3, 8);
    weapons = {Weapon(100.0f, 3.0f, 1.5f, 0xFF0000AA), Weapon(200.0f, 2.0f, 4.0f, 0xFF00BB00),
               Weapon(400.0f, 1.0f, 2.0f, 0xFFCC0000)};
    weaponTable = weapons.data();
    // Class 0 ricochets off anything below the threshold; class 1 can be pierced.
    for (auto& s : surfaces) s = SurfaceBallistics{0.0f, 0.0f, 1.0f, 0.0f, -1.0f};
    surfaces[0] = SurfaceBallistics{0.5f, 0.0f, 1.0f, 0.0f, -1.0f};
    surfaces[1] = SurfaceBallistics{0.0f, 0.0f, 0.0f, 0.0f, 1.0f};
    surfaceTable = surfaces.data();
    drawTracers = nullptr;
    Rebuild();
  }
  void TearDown() override {
    model.reset();
    storage.reset();
    ClearLoopState();
    weaponTable = nullptr;
    surfaceTable = nullptr;
    drawTracers = nullptr;
    settings = Settings{};
  }
  // New pool and model after a change of MaxPellix.
  void Rebuild(int hostProjectiles = 3, int hostTraces = 3) {
    model.reset();
    storage.reset();
    storage = std::make_unique<loop_model::PoolStorage>(settings.MaxPellix);
    model = std::make_unique<loop_model::LoopModel>(world, hostProjectiles, hostTraces);
    model->Install();
  }
  // A live projectile in slot i.
  ProjectileRecord& Fly(int slot, int32_t weaponType, float x, float vx, int16_t damage = 100) {
    ProjectileRecord& p = pool.projectileArray[slot];
    p = ProjectileRecord{};
    p.weaponType = weaponType;
    p.expiryTime = 1.0e9f;
    p.active = 1;
    p.position[0] = x;
    p.position[2] = 1.0f;
    p.velocity[0] = vx;
    p.damage = damage;
    return p;
  }

  std::vector<WeaponBallistics> weapons;
  std::array<SurfaceBallistics, SurfaceClassCount> surfaces{};
  loop_model::BoxPlaneWorld world;
  std::unique_ptr<loop_model::PoolStorage> storage;
  std::unique_ptr<loop_model::LoopModel> model;
};

}  // namespace pellix::testing
