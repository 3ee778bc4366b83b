// Faults the fuzz targets found in the plug-in's code, each kept fixed by a test here (their
// inputs are in the corpus as well).
#include <gtest/gtest.h>

#include <cmath>

#include "host/host_api.h"
#include "sim/pool.h"
#include "startup/settings.h"
#include "tests/support/fake_host.h"
#include "tests/support/sim_setup.h"
#include "visuals/trail_update.h"

namespace pellix::fuzz {
namespace {

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
// refraction length of a shrinking trail NaN (inf - inf). An endless refraction length shows none
// of itself while the projectile lives, so none is left to shrink when it ends.
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
  sim.Extra(1).trailLength = 3.0f;  // as the shot leaves them
  sim.Extra(1).refractLength = INFINITY;
  UpdateTrails();
  UpdateTrails();
  EXPECT_EQ(sim.Extra(1).refractLength, INFINITY);
  p.active = 0;  // the projectile ends: the trail starts to shrink
  UpdateTrails();
  EXPECT_EQ(pool.trailArray[1].activity, kTrailShrinking);
  EXPECT_EQ(sim.Extra(1).refractLength, 0.0f);
  EXPECT_EQ(sim.Extra(1).trailLength, 0.5f);  // 1 of 3 shown after two updates, less 0.5
}

}  // namespace
}  // namespace pellix::fuzz
