// Thousands of frames of the host's loops through the loop model, with the pool overfilled
// many times by random shots that ricochet off the ground and pierce or stop in boxes, under
// ordinary and extreme settings. The invariants are checked after every frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <ostream>
#include <random>
#include <vector>

#include "host/host_addresses.h"
#include "host/host_api.h"
#include "sim/loop_state.h"
#include "sim/pool.h"
#include "sim/shots.h"
#include "startup/settings.h"
#include "startup/tables.h"
#include "tests/fuzz/pool_invariants.h"
#include "tests/support/sample_setup.h"
#include "tests/support/weapon_info_stub.h"
#include "tools/loop_model/loop_model.h"
#include "tools/loop_model/model_pool.h"
#include "visuals/trace_loop.h"

namespace pellix {
namespace {

using loop_model::Box;
using loop_model::BoxPlaneWorld;
using loop_model::LoopModel;
using loop_model::Plane;
using loop_model::PoolStorage;

constexpr int32_t kSlots = 48;
constexpr int kFrames = 2500;
constexpr float kFrameStep = 1.0f;
constexpr uint32_t kFrameMs = 33;

// The weapon-info record that Make and MakeSniper read, at a fake host address; every other
// address goes to the model.
constexpr uint32_t kWeaponInfoAddress = 0x30000;

struct SoakCase {
  const char* name;
  void (*adjust)(Settings&);
};
void PrintTo(const SoakCase& c, std::ostream* out) { *out << c.name; }

WeaponBallistics Weapon(float muzzleSpeed, float dragAlong, float pierceCost, int32_t every) {
  WeaponBallistics w = testing::SampleWeapon(muzzleSpeed, every);
  w.dragAlong = dragAlong;
  w.dragAcross = dragAlong * 2.0f;
  w.pierceCost = pierceCost;
  w.ricochetBonus = 0.1f;
  w.ammoTrailLength = 2.0f;
  w.tracerTrailLength = 5.0f;
  w.tracerColour = 0xFFFF2020;
  return w;
}

class SoakTest : public ::testing::TestWithParam<SoakCase> {
 protected:
  void SetUp() override {
    settings = testing::ForcesOnSettings(kSlots);
    GetParam().adjust(settings);

    weapons.assign(settings.weaponCount, Weapon(700.0f, 0.02f, 1.0f, 0));
    weapons[1] = Weapon(350.0f, 0.05f, 0.5f, 3);
    weapons[22] = Weapon(900.0f, 0.01f, 2.0f, 1);
    weapons[31] = Weapon(600.0f, 0.02f, 1.0f, 4);
    weaponTable = weapons.data();
    // Ground: ricochets at grazing angles, cannot be pierced. Class 1 is thin cover that
    // pierces; class 2 is hard; C and P are the entity kinds.
    surfaces[SurfaceN] = {0.4f, 0.5f, 0.1f, 0.1f, -1.0f};
    surfaces[SurfaceSP] = {0.1f, 0.2f, 0.2f, 0.05f, 0.3f};
    surfaces[SurfaceS] = {0.6f, 0.3f, 0.3f, 0.2f, -1.0f};
    surfaces[SurfaceW] = {0.2f, 0.4f, 0.1f, 0.0f, 2.0f};
    surfaces[SurfaceD] = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    surfaces[SurfaceC] = {0.0f, 0.0f, 0.0f, 0.0f, 0.5f};
    surfaces[SurfaceP] = {0.0f, 0.0f, 0.0f, 0.0f, 0.2f};
    surfaceTable = surfaces.data();

    world.planes.push_back(Plane{{0, 0, 1}, 0.0f, SurfaceN, 1});
    std::mt19937 layout(17);
    std::uniform_real_distribution<float> place(-150.0f, 150.0f);
    for (int b = 0; b < 24; ++b) {
      const float x = place(layout), y = place(layout), size = 1.0f + (b % 5);
      const uint8_t surface = static_cast<uint8_t>(1 + b % 4);
      const uint8_t kind = static_cast<uint8_t>(b % 6 == 0 ? 2 : b % 6 == 1 ? 3 : 1);
      world.boxes.push_back(
          Box{{x, y, 0.0f}, {x + size, y + size * 0.5f, size * 2.0f}, surface, kind});
    }

    testing::ResetLoopState();
    drawTracers = nullptr;
    storage = std::make_unique<PoolStorage>(kSlots);
    model = std::make_unique<LoopModel>(world, 3, 3);
    model->Install();
    testing::WeaponInfoStub::Install(kWeaponInfoAddress, 300.0f, 40, 1);
  }

  void TearDown() override {
    model.reset();
    storage.reset();
    testing::ClearLoopState();
    weaponTable = nullptr;
    surfaceTable = nullptr;
    settings = Settings{};
  }

  void Shoot(std::mt19937& random) {
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    float start[3] = {unit(random) * 20.0f, unit(random) * 20.0f, 1.5f};
    float end[3] = {start[0] + unit(random) * 100.0f, start[1] + unit(random) * 100.0f,
                    start[2] + unit(random) * 8.0f - 3.0f};
    switch (random() % 3) {
      case 0: {
        const HostWeapon weapon{static_cast<int32_t>(random() % 45)};  // some beyond the table
        float alternative[3] = {end[0], end[1], end[2]};
        Make(&weapon, 0, 0, start, end, alternative, 0);
        break;
      }
      case 1:
        MakeSniper(0, static_cast<uint32_t>(random() % 3 == 0 ? 22 : 1), start[0], start[1],
                   start[2], end[0] - start[0], end[1] - start[1], end[2] - start[2]);
        break;
      default:
        MakeM4(start, end, 30 + random() % 50);
        break;
    }
  }

  std::vector<WeaponBallistics> weapons;
  std::array<SurfaceBallistics, SurfaceClassCount> surfaces{};
  BoxPlaneWorld world;
  std::unique_ptr<PoolStorage> storage;
  std::unique_ptr<LoopModel> model;
};

TEST_P(SoakTest, InvariantsHoldAfterEveryFrame) {
  std::mt19937 random(2024);
  const long passLimit = std::max<int32_t>(settings.MaxLoop, 0) + 1;
  long repeats = 0, skippedHits = 0, impacts = 0, ricochets = 0;
  model->observer = [&](const loop_model::EntryEvent& e) {
    if (e.entry == loop_model::Entry::Impact) {
      ++impacts;
      if (e.resume == host_addr::ImpactSkipHostHit) ++skippedHits;
      // A round that goes on without leaving a solid and now moves away from the surface
      // bounced off it.
      const auto* record = reinterpret_cast<const ProjectileRecord*>(e.after.edi - 4);
      float normal[3];
      std::memcpy(normal, reinterpret_cast<const void*>(e.after.esp + 0x34), sizeof normal);
      const float away = record->velocity[0] * normal[0] + record->velocity[1] * normal[1] +
                         record->velocity[2] * normal[2];
      if (projectileLoopOnPool != 0 && e.resume != host_addr::ImpactSkipHostHit &&
          repeatRequested == 1 && away > 0.0f) {
        ++ricochets;
      }
    }
  };
  std::vector<int> passesOfSlot(kSlots);
  for (int frame = 0; frame < kFrames; ++frame) {
    const int shotsNow = static_cast<int>(random() % 7);
    for (int s = 0; s < shotsNow; ++s) Shoot(random);
    model->ClearRecords();
    model->RunFrame(kFrameStep, kFrameMs);

    SCOPED_TRACE(frame);
    ASSERT_EQ(fuzz::CheckRecords(), nullptr) << fuzz::CheckRecords();
    ASSERT_EQ(fuzz::CheckLoopFlags(), nullptr) << fuzz::CheckLoopFlags();
    ASSERT_EQ(projectileLoopOnPool, 0);
    ASSERT_EQ(traceLoopOnPool, 0);
    ASSERT_EQ(repeatRequested, 0);
    ASSERT_EQ(repeatCount, 0);
    ASSERT_EQ(model->timeStep, kFrameStep);  // the frame's step is given back
    ASSERT_EQ(model->registerFaults, 0);
    ASSERT_EQ(model->runawayLoops, 0);
    std::fill(passesOfSlot.begin(), passesOfSlot.end(), 0);
    for (const auto& pass : model->poolPasses) {
      ASSERT_GE(pass.slot, 0);
      ASSERT_LT(pass.slot, kSlots);
      ++passesOfSlot[pass.slot];
      if (pass.repeatCount > 0) ++repeats;
      // A repeat after a push-off past the frame's travel steps back: negative, but finite.
      ASSERT_TRUE(std::isfinite(pass.timeStep));
      ASSERT_LE(pass.timeStep, kFrameStep);
    }
    for (int n : passesOfSlot) ASSERT_LE(n, passLimit);
    ASSERT_LE(model->lineTests,
              impacts * (std::max<int32_t>(settings.SolidLoop, 0) + 1) + 1);  // bounded probes
    impacts = 0;
  }
  // With a push-off from surfaces, some rounds go on within their frame and leave solids.
  if (settings.ColBias > 0.0f) {
    if (settings.MaxLoop > 0) {
      EXPECT_GT(repeats, 0) << "no ricochet or penetration went on";
    }
    EXPECT_GT(skippedHits, 0) << "no round left a solid";
    EXPECT_GT(ricochets, 0) << "no round bounced";
  }
}

// clang-format off
const SoakCase kCases[] = {
    {"Ordinary", [](Settings&) {}},
    {"MaxLoopZero", [](Settings& s) { s.MaxLoop = 0; }},
    {"MaxLoopLarge", [](Settings& s) { s.MaxLoop = 100000; }},
    {"MaxLoopNegative", [](Settings& s) { s.MaxLoop = -3; }},
    {"SolidLoopZero", [](Settings& s) { s.SolidLoop = 0; }},
    {"SolidLoopNegative", [](Settings& s) { s.SolidLoop = -7; }},
    {"MinSpeedZero", [](Settings& s) { s.minSpeedScaled = 0.0f; }},
    {"HugeRangeMult", [](Settings& s) { s.rangeScale = 1.0e30f * 40.0f; }},
    // Values beyond the float range, as start-up stores them: no round expires by time, none
    // is too slow to go on, no refraction strip ever shows.
    {"BeyondTheFloatRange", [](Settings& s) {
       s.rangeScale = INFINITY; s.minSpeedScaled = -INFINITY;
       s.AmRefractLen = INFINITY; s.TrRefractLen = -INFINITY; }},
    {"HostDrawsTrailsNoAfterEffect", [](Settings& s) { s.TracerType = 0; s.AfterEffect = 0; }},
    {"AllExtremes", [](Settings& s) {
       s.MaxLoop = 1000000; s.SolidLoop = -1; s.minSpeedScaled = 0.0f;
       s.rangeScale = 3.0e38f; s.ColBias = 0.0f; s.SolidBias = 1.0e-30f; s.Gravity = 0; }},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Settings, SoakTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<SoakCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace pellix
