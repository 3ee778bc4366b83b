// The range table of a weapon whose numbers are worked out by hand: muzzle speed 400
// (16 units per time step, speedFactor 0.0625), gravity 0.032 per step, no drag, frames of
// 40 ms (one time step), host range 100 units: the life is 100 x 0.0625 x 40 = 250 ms.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <string>

#include "sim/pool.h"
#include "startup/settings.h"
#include "startup/tables.h"
#include "tools/lab/lab_session.h"
#include "tools/lab/range.h"

namespace pellix::lab {
namespace {

class LabRange : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(session.Load(std::string(PELLIX_LAB_FIXTURES) + "/physics", error)) << error;
  }
  LabSession session;
};

TEST_F(LabRange, DropSpeedDamageAndEndFollowTheHandWorkedFlight) {
  RangeOptions o;
  o.weapon = 0;
  o.height = 10.0f;
  o.frameMs = 40.0f;
  const RangeResult r = RunRange(session, o);
  ASSERT_EQ(r.points.size(), 7u);  // the muzzle and six frames up to 240 ms
  EXPECT_FLOAT_EQ(r.muzzleSpeed, 400.0f);
  // Frame n: gravity first takes 0.032 n off v.z, then the step moves; the drop is
  // 0.032 (1 + 2 + ... + n).
  const float drops[7] = {0.0f, 0.032f, 0.096f, 0.192f, 0.320f, 0.480f, 0.672f};
  for (int n = 0; n < 7; ++n) {
    SCOPED_TRACE(n);
    EXPECT_FLOAT_EQ(r.points[n].timeMs, 40.0f * n);
    EXPECT_NEAR(r.points[n].distance, 16.0f * n, 1e-4);
    EXPECT_NEAR(r.points[n].drop, drops[n], 1e-5);
    // The speed only grows by the little vertical part: sqrt(16^2 + (0.032 n)^2) x 25.
    const double vz = 0.032 * n;
    EXPECT_NEAR(r.points[n].speed, std::sqrt(256.0 + vz * vz) * 25.0, 1e-3);
    EXPECT_NEAR(r.points[n].energy, (256.0 + vz * vz) / 256.0, 1e-5);
    // Damage 25 x energy, truncated: the energy never falls below 1 here.
    EXPECT_EQ(r.points[n].hitDamage, 25);
  }
  // The ordinary round's trail is 8 units (0.5 time-step units at 16 per step); the first
  // update shows half a step of flight, which is already all of it.
  EXPECT_FLOAT_EQ(r.points[0].trailLength, 0.0f);
  EXPECT_NEAR(r.points[1].trailLength, 8.0f, 1e-3);
  EXPECT_NEAR(r.points[6].trailLength, 8.0f, 1e-3);
  EXPECT_EQ(r.end, "life ran out at 280 ms (expiry 250 ms), 96.00 units out");
}

TEST_F(LabRange, AShotFromLowHeightEndsOnTheGround) {
  RangeOptions o;
  o.weapon = 0;
  o.height = 0.1f;  // the drop passes 0.1 in the third frame (0.192)
  o.frameMs = 40.0f;
  session.world.planes.clear();
  // Ricochet is on in the fixture, but a level shot meets the ground at a grazing angle
  // below the threshold only when |cos| < 0.5: the flight is nearly level, so it bounces.
  // With ricochet off the hit ends the flight.
  settings.Ricochet = 0;
  settings.Pierce = 0;
  const RangeResult r = RunRange(session, o);
  EXPECT_EQ(r.points.size(), 3u);  // the muzzle and two frames in the air
  EXPECT_EQ(r.end, "hit the ground at 120 ms, 32.00 units out") << r.end;
}

TEST_F(LabRange, WithoutGroundTheLifeRunsOutBelowTheMuzzle) {
  RangeOptions o;
  o.height = 0.1f;
  o.frameMs = 40.0f;
  o.ground = false;
  const RangeResult r = RunRange(session, o);
  EXPECT_EQ(r.end, "life ran out at 280 ms (expiry 250 ms), 96.00 units out");
  EXPECT_LT(r.points.back().height, 0.0f);
}

TEST_F(LabRange, TooSlowForTheFloorStopsAtTheGround) {
  // MinSpeed 1 (25 per step) is above this weapon's 16 per step: the first ground hit stops it
  // and the host's hit handling is skipped.
  settings.minSpeedScaled = 25.0f;
  RangeOptions o;
  o.height = 0.1f;
  o.frameMs = 40.0f;
  const RangeResult r = RunRange(session, o);
  EXPECT_EQ(r.end,
            "hit the ground at 120 ms, 32.00 units out (stopped there by the impact response)");
  // Any hit of it stops it with the host's hit handling skipped: it deals nothing.
  for (const RangePoint& p : r.points) EXPECT_EQ(p.hitDamage, 0) << p.timeMs;
}

TEST(LabRangeData, ARowWithoutMuzzleSpeedNeverFlies) {
  // The same folder, with a later line giving row 1 a muzzle speed of 0.
  LabSession session;
  std::string error;
  ASSERT_TRUE(session.Load(std::string(PELLIX_LAB_FIXTURES) + "/physics", error, {},
                           {"1 0 0 0 1.0 0 2 8 16 0.03 0.06 90 220 0xFF40FF40"}))
      << error;
  RangeOptions o;
  o.weapon = 1;
  const RangeResult r = RunRange(session, o);
  EXPECT_TRUE(r.points.empty());
  EXPECT_EQ(r.end, "never flew: the weapon's row gives no usable muzzle speed");
  // Row 0 is untouched by that line and still flies.
  o.weapon = 0;
  EXPECT_FALSE(RunRange(session, o).points.empty());
}

// What ships: a shot of every weapon type up to MaxWeapon (and of the one after, row 0's)
// flies, and a hit 10 units out deals damage, with physics off and as --physics turns it on.
TEST(LabRangeData, EveryShippedWeaponFliesAndHurtsTenUnitsOut) {
  for (const char* physics : {"0", "1"}) {
    LabSession session;
    std::string error;
    ASSERT_TRUE(session.Load(PELLIX_SAMPLE_DATA, error,
                             {{"PHYSICS/Gravity", physics},
                              {"PHYSICS/AirResist", physics},
                              {"PHYSICS/Ricochet", physics},
                              {"PHYSICS/Pierce", physics}}))
        << error;
    ASSERT_GE(settings.weaponCount, 8);
    for (int32_t type = 0; type <= settings.weaponCount; ++type) {
      SCOPED_TRACE("physics " + std::string(physics) + ", weapon type " + std::to_string(type));
      RangeOptions o;
      o.weapon = type;
      const RangeResult r = RunRange(session, o);
      RangePoint at{};
      ASSERT_TRUE(RangeAt(r, 10.0f, at)) << r.end;
      EXPECT_GT(at.hitDamage, 0);
    }
  }
}

TEST(LabRangeData, SettingOverridesGoThroughTheSettingsReader) {
  LabSession session;
  std::string error;
  // RangeMult 2 doubles the life: 500 ms for the 100-unit host range at 400 per second.
  ASSERT_TRUE(session.Load(std::string(PELLIX_LAB_FIXTURES) + "/physics", error,
                           {{"PHYSICS/RangeMult", "2"}, {"PHYSICS/Gravity", "0"}}))
      << error;
  EXPECT_FLOAT_EQ(settings.rangeScale, 80.0f);
  RangeOptions o;
  o.height = 10.0f;
  o.frameMs = 40.0f;
  const RangeResult r = RunRange(session, o);
  EXPECT_EQ(r.end, "life ran out at 520 ms (expiry 500 ms), 192.00 units out");
  EXPECT_FLOAT_EQ(r.points.back().drop, 0.0f);  // gravity off

  // A RangeMult beyond the float range: the expiry is infinite, the life never runs out.
  ASSERT_TRUE(session.Load(std::string(PELLIX_LAB_FIXTURES) + "/physics", error,
                           {{"PHYSICS/RangeMult", "1e39"}, {"PHYSICS/Gravity", "0"}}))
      << error;
  EXPECT_EQ(settings.rangeScale, INFINITY);
  o.maxFrames = 40;
  const RangeResult endless = RunRange(session, o);
  EXPECT_EQ(endless.end, "still flying after the last frame: the cap of 40 frames (1.6 s)");
  EXPECT_EQ(endless.endKind, RangeEnd::StillFlying);
  EXPECT_EQ(endless.points.size(), 41u);
}

// From the settings reader to the record: a GravityMult, or a weapon line's dragAlong, beyond
// the float range is stored as an infinity, so the first force step's velocity is not finite
// and the round ends there, at rest at the muzzle.
TEST(LabRangeData, AVelocityBeyondTheFloatRangeEndsTheRound) {
  using Ini = std::map<std::string, std::string>;
  for (const bool gravity : {true, false}) {
    SCOPED_TRACE(gravity ? "GravityMult" : "dragAlong");
    const Ini ini = gravity ? Ini{{"PHYSICS/GravityMult", "1e39"}}  // the drag stays off
                            : Ini{{"PHYSICS/Gravity", "0"}, {"PHYSICS/AirResist", "1"}};
    LabSession session;
    std::string error;
    ASSERT_TRUE(session.Load(std::string(PELLIX_LAB_FIXTURES) + "/physics", error, ini,
                             {"0 400 -1e39 0 1.0 0 0 8 16 0.03 0.06 90 220 0xFFFFC060"}))
        << error;
    EXPECT_EQ(gravity ? settings.gravityScale : -weaponTable[0].dragAlong, INFINITY);
    RangeOptions o;
    o.height = 10.0f;
    const RangeResult r = RunRange(session, o);
    EXPECT_EQ(r.end,
              "ended at 20 ms, 0.00 units out: a force step gave a velocity beyond the "
              "float range");
    const ProjectileRecord& p = pool.projectileArray[0];
    EXPECT_EQ(p.active, 0);
    EXPECT_EQ(p.position[2], 10.0f);
    for (float v : p.velocity) EXPECT_EQ(v, 0.0f);
  }
}

TEST_F(LabRange, TableFormatsKeepEveryRow) {
  RangeOptions o;
  o.height = 10.0f;
  o.frameMs = 40.0f;
  const Table t = RangeTable(RunRange(session, o), 0);
  std::ostringstream csv;
  PrintTable(csv, t, OutputFormat::Csv);
  EXPECT_EQ(csv.str().substr(0, csv.str().find('\n')),
            "timeMs,distance,drop,speed,energy,hitDamage,trail");
  EXPECT_NE(csv.str().find("\n80,32.00,0.096,400.0,1.000,25,8.00\n"), std::string::npos)
      << csv.str();
}

}  // namespace
}  // namespace pellix::lab
