// Faults the fuzz targets found in the plug-in's code, each kept fixed by a test here (their
// inputs are in the corpus as well).
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "host/host_api.h"
#include "sim/pool.h"
#include "startup/settings.h"
#include "startup/tables.h"
#include "tests/support/fake_host.h"
#include "tests/support/sim_setup.h"
#include "visuals/trail_update.h"

namespace pellix::fuzz {
namespace {

// Found by the table target: numbers beyond the float range, and a muzzle speed of 0, used to
// leave infinities and NaN in the rows, and from there in the trails.
TEST(TableReaders, NumbersBeyondTheFloatRangeAreStoredAsZero) {
  WeaponBallistics weapons[2] = {};
  ASSERT_EQ(ReadWeaponLine("1 0 1e39 -1e39 1e300 1 2 1e39 5 1 1 7 8 ff\n", weapons, 2),
            LineResult::Stored);
  const WeaponBallistics& w = weapons[1];
  EXPECT_EQ(w.speedFactor, 0.0f);  // muzzle speed 0: no muzzle speed
  EXPECT_EQ(w.dragAlong, 0.0f);
  EXPECT_EQ(w.dragAcross, 0.0f);
  EXPECT_EQ(w.pierceCost, 0.0f);
  EXPECT_EQ(w.ricochetBonus, 1.0f);
  EXPECT_EQ(w.tracerEvery, 2);
  EXPECT_EQ(w.ammoTrailLength, 0.0f);
  EXPECT_EQ(w.tracerTrailLength, 0.0f);
  EXPECT_EQ(w.tracerColour, 0xFFu);
  ASSERT_EQ(ReadWeaponLine("0 1e39 0.5\n", weapons, 2), LineResult::Stored);
  EXPECT_EQ(weapons[0].speedFactor, 0.0f);  // 25 / inf
  EXPECT_EQ(weapons[0].dragAlong, 0.5f);

  SurfaceBallistics surfaces[SurfaceClassCount] = {};
  ASSERT_EQ(ReadSurfaceLine("W 1e39 -1e39 0.5 1e300 2\n", surfaces), LineResult::Stored);
  EXPECT_EQ(surfaces[SurfaceW].ricochetThreshold, 0.0f);
  EXPECT_EQ(surfaces[SurfaceW].ricochetAngleLoss, 0.0f);
  EXPECT_EQ(surfaces[SurfaceW].ricochetKeep, 0.5f);
  EXPECT_EQ(surfaces[SurfaceW].ricochetScatter, 0.0f);
  EXPECT_EQ(surfaces[SurfaceW].pierceResistance, 2.0f);
}

// Found by the sim target: a muzzle speed near the float limit gives a velocity whose trail
// tail lies beyond the float range.
TEST(TrailUpdateFaults, ATailBeyondTheFloatRangeShrinksToTheHead) {
  testing::SimSetup sim(4, 2);
  testing::FakeHost fake;
  sim.Weapon(1).ammoTrailLength = 40.0f;
  ProjectileRecord& p = sim.Record(0);
  p.weaponType = 1;
  p.active = 1;
  p.position[0] = 5.0f;
  p.position[2] = 2.0f;
  p.velocity[0] = 2.0e37f;  // 1 / speedFactor for a muzzle speed of 5e38 / 25
  p.velocity[2] = 1.0f;
  UpdateTrails();
  const TrailRecord& t = pool.trailArray[0];
  EXPECT_EQ(t.activity, kTrailLive);
  EXPECT_EQ(t.start[0], 5.0f);
  EXPECT_EQ(t.start[2], 2.0f);
  EXPECT_EQ(t.end[0], 5.0f);

  p.velocity[0] = 3.0f;  // an ordinary velocity gets its tail behind the head again
  UpdateTrails();
  EXPECT_LT(t.start[0], 5.0f);
  EXPECT_TRUE(std::isfinite(t.start[0]));
}

// Found by the sim target: an INI refraction factor beyond the float range ("1e999") made the
// refraction length of a shrinking trail infinite or NaN.
TEST(TrailUpdateFaults, ARefractionFactorBeyondTheFloatRangeLeavesNoRefractionToShrink) {
  testing::SimSetup sim(4, 2);
  testing::FakeHost fake;
  settings.AfterEffect = 1;
  settings.AmRefractLen = INFINITY;
  sim.Weapon(1).ammoTrailLength = 3.0f;
  ProjectileRecord& p = sim.Record(1);
  p.weaponType = 1;
  p.active = 1;
  p.velocity[0] = 1.0f;
  UpdateTrails();
  p.active = 0;  // the projectile ends: the trail starts to shrink
  UpdateTrails();
  EXPECT_EQ(pool.trailArray[1].activity, kTrailShrinking);
  EXPECT_EQ(sim.Extra(1).refractLength, 0.0f);
  EXPECT_TRUE(std::isfinite(sim.Extra(1).trailLength));
}

}  // namespace
}  // namespace pellix::fuzz
