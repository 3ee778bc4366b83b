#include "sim/flight_forces.h"

#include <gtest/gtest.h>

#include <cmath>

#include "sim/loop_state.h"
#include "tests/support/fake_host.h"
#include "tests/support/sim_setup.h"

namespace pellix {
namespace {

using testing::FakeHost;
using testing::SimSetup;

class FlightForces : public ::testing::Test {
 protected:
  SimSetup sim{40, 4};
  FakeHost fake;
  ProjectileRecord& record = sim.Record(0);

  void SetVelocity(float x, float y, float z) {
    record.velocity[0] = x;
    record.velocity[1] = y;
    record.velocity[2] = z;
  }
  void ExpectVelocity(float x, float y, float z) {
    EXPECT_EQ(record.velocity[0], x);
    EXPECT_EQ(record.velocity[1], y);
    EXPECT_EQ(record.velocity[2], z);
  }
};

TEST_F(FlightForces, GravityAloneChangesOnlyZByScaleTimesStep) {
  settings.Gravity = 1;
  settings.gravityScale = 0.032f;
  // Wind that would matter if it were read.
  fake.wind[0] = 100.0f;
  SetVelocity(3.0f, -4.0f, 1.5f);
  ApplyFlightForces(&record, 0.75f);
  ExpectVelocity(3.0f, -4.0f, 1.5f - 0.032f * 0.75f);
}

TEST_F(FlightForces, NothingOnChangesNothing) {
  SetVelocity(3.0f, -4.0f, 1.5f);
  ApplyFlightForces(&record, 1.0f);
  ExpectVelocity(3.0f, -4.0f, 1.5f);
}

TEST_F(FlightForces, AlongDragWithoutWind) {
  settings.AirResist = 1;
  sim.Weapon(0).dragAlong = 0.25f;  // x dt 2 = 0.5
  SetVelocity(10.0f, 0.0f, 0.0f);
  ApplyFlightForces(&record, 2.0f);
  ExpectVelocity(9.0f, 0.0f, 0.0f);
}

TEST_F(FlightForces, BothFactorsClampToOneGiveExactlyEightTenths) {
  settings.AirResist = 1;
  sim.Weapon(0).dragAlong = 1.0f;
  sim.Weapon(0).dragAcross = 7.0f;
  SetVelocity(10.0f, 5.0f, -2.5f);
  ApplyFlightForces(&record, 1.0f);
  // Both parts keep v - 0.2 v; the parts are exact in binary here, so the sum is too.
  ExpectVelocity(8.0f, 4.0f, -2.0f);
}

TEST_F(FlightForces, NaNProductCountsAsOne) {
  settings.AirResist = 1;
  sim.Weapon(0).dragAlong = INFINITY;  // inf x 0 is NaN
  SetVelocity(10.0f, 0.0f, 0.0f);
  ApplyFlightForces(&record, 0.0f);
  ExpectVelocity(8.0f, 0.0f, 0.0f);
}

TEST_F(FlightForces, NegativeCoefficientIsNotBoundedBelow) {
  settings.AirResist = 1;
  sim.Weapon(0).dragAlong = -1.0f;
  SetVelocity(10.0f, 0.0f, 0.0f);
  ApplyFlightForces(&record, 1.0f);
  ExpectVelocity(12.0f, 0.0f, 0.0f);
}

TEST_F(FlightForces, WindWithoutDragLeavesVelocity) {
  settings.AirResist = 1;
  fake.wind[1] = 50.0f;
  SetVelocity(10.0f, 0.0f, 0.0f);
  ApplyFlightForces(&record, 1.0f);
  ExpectVelocity(10.0f, 0.0f, 0.0f);
}

TEST_F(FlightForces, AcrossDragDriftsWithTheWind) {
  settings.AirResist = 1;
  sim.Weapon(0).dragAcross = 1.0f;
  fake.wind[1] = 50.0f;
  SetVelocity(10.0f, 0.0f, 0.0f);
  ApplyFlightForces(&record, 1.0f);
  ExpectVelocity(10.0f, 2.0f, 0.0f);
}

TEST_F(FlightForces, OffTheAxesEveryStepIsAFloatInTheSpecifiedOrder) {
  settings.Gravity = 1;
  settings.gravityScale = 0.032f;
  settings.AirResist = 1;
  sim.Weapon(0).dragAlong = 0.5f;
  sim.Weapon(0).dragAcross = 0.64f;
  fake.wind[0] = -7.8f, fake.wind[1] = -0.3f, fake.wind[2] = 8.2f;
  SetVelocity(14.7f, -1.7f, 10.5f);
  ApplyFlightForces(&record, 0.71f);
  // Worked out in float, one rounding per operation:
  //   v.z = 10.5 - 0.032 x 0.71 = 10.4772797; |v| = 18.1315575 (x, then y, then z squared);
  //   n = v / |v| = (0.810741127, -0.0937591866, 0.577847719), gravity already in;
  //   w = 0.2 x wind = (-1.56000006, -0.0600000024, 1.63999999); r = v - w;
  //   s = r.n = 18.4430161 (x + y, then + z); along = s x n; across = r - along;
  //   0.2 x kc = 0.2 x (0.64 x 0.71) = 0.0908799991, 0.2 x ka = 0.0710000023;
  //   across - (0.2 kc) x across = (1.18866384, 0.0810953677, -1.65457642),
  //   along - (0.2 ka) x along = (13.8908834, -1.60642874, 9.90058994);
  //   v = (across + along) + w.
  // across x (1 - 0.2 kc), 0.2 x (kc x across), across + (along + w), n = v x (1 / |v|),
  // the dot product summed from z, or n taken before gravity each change a component.
  ExpectVelocity(13.5195465f, -1.58533335f, 9.88601398f);
}

TEST_F(FlightForces, WeaponRowsOutsideTheTableUseRowZero) {
  settings.AirResist = 1;
  sim.Weapon(0).dragAlong = 0.5f;
  sim.Weapon(39).dragAlong = 0.0f;
  for (int32_t type : {40, 1000, -1}) {
    record.weaponType = type;
    SetVelocity(10.0f, 0.0f, 0.0f);
    ApplyFlightForces(&record, 1.0f);
    ExpectVelocity(9.0f, 0.0f, 0.0f);
  }
  record.weaponType = 39;
  SetVelocity(10.0f, 0.0f, 0.0f);
  ApplyFlightForces(&record, 1.0f);
  ExpectVelocity(10.0f, 0.0f, 0.0f);
}

TEST_F(FlightForces, ZeroVelocityPutsEverythingAcross) {
  settings.AirResist = 1;
  sim.Weapon(0).dragAcross = 1.0f;
  sim.Weapon(0).dragAlong = 1.0f;
  fake.wind[0] = 50.0f;  // w = (10, 0, 0), r = (-10, 0, 0), all across
  SetVelocity(0.0f, 0.0f, 0.0f);
  ApplyFlightForces(&record, 1.0f);
  ExpectVelocity(2.0f, 0.0f, 0.0f);
}

TEST_F(FlightForces, OverflowEndsTheProjectileAtRest) {
  settings.AirResist = 1;
  sim.Weapon(0).dragAcross = -3e38f;  // finite, but across x 0.2 x 3e38 is not
  fake.wind[1] = 50.0f;
  record.active = 1;
  SetVelocity(10.0f, 0.0f, 0.0f);
  ApplyFlightForces(&record, 1.0f);
  EXPECT_EQ(record.active, 0);
  ExpectVelocity(0.0f, 0.0f, 0.0f);
  EXPECT_EQ(skipHostHit, 0);  // no hit in this pass would clear it
  EXPECT_EQ(repeatRequested, 0);
}

}  // namespace
}  // namespace pellix
