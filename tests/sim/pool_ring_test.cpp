// The pool as a ring: shots take slot after slot, whatever the slot holds.
#include <gtest/gtest.h>

#include "sim/pool.h"
#include "sim/shots.h"
#include "tests/support/fake_host.h"
#include "tests/support/sim_setup.h"

namespace pellix {
namespace {

constexpr int32_t kSlots = 4096;

class PoolRing : public ::testing::Test {
 protected:
  testing::SimSetup sim{4, kSlots};
  testing::FakeHost fake;

  void SetUp() override {
    fake.clockMs = 1000;
    sim.Weapon(0).speedFactor = 0.05f;
    fake.weaponInfoByType[0] = fake.AddWeaponInfo(100.0f, 10);
  }
  void Shoot(float x) {
    const float start[3] = {x, 0, 0};
    float end[3] = {x, 1, 0};
    MakeM4(start, end, 10);
  }
};

TEST_F(PoolRing, ShotAfterTheLastSlotTakesSlotZeroAgain) {
  for (int32_t shot = 0; shot < kSlots; ++shot) {
    EXPECT_EQ(pool.nextSlot, shot);
    Shoot(static_cast<float>(shot));
    ASSERT_LT(pool.nextSlot, kSlots);  // never holds MaxPellix
  }
  EXPECT_EQ(pool.nextSlot, 0);         // from MaxPellix - 1 straight to 0
  ASSERT_EQ(sim.Record(0).active, 1);  // slot 0 still flies
  Shoot(5000.0f);                      // shot 4097
  EXPECT_EQ(sim.Record(0).position[0], 5000.0f);
  EXPECT_EQ(pool.nextSlot, 1);
}

TEST_F(PoolRing, NewShotKeepsThePreviousEntryRecord) {
  ProjectileExtra& extra = sim.Extra(0);
  extra.entryClass = SurfaceW;
  extra.entryPoint[0] = 1.5f;
  extra.entryPoint[1] = -2.0f;
  extra.entryPoint[2] = 3.25f;
  extra.pierceBudget = 0.75f;
  Shoot(0.0f);
  EXPECT_EQ(sim.Record(0).active, 1);
  EXPECT_EQ(extra.entryClass, SurfaceW);
  EXPECT_EQ(extra.entryPoint[0], 1.5f);
  EXPECT_EQ(extra.entryPoint[1], -2.0f);
  EXPECT_EQ(extra.entryPoint[2], 3.25f);
  EXPECT_EQ(extra.pierceBudget, 0.75f);
}

}  // namespace
}  // namespace pellix
