#include "sim/shots.h"

#include <gtest/gtest.h>

#include <cmath>

#include "sim/vec3.h"
#include "tests/support/fake_host.h"
#include "tests/support/sim_setup.h"

namespace pellix {
namespace {

using testing::FakeHost;
using testing::HostCallKind;
using testing::SimSetup;

constexpr int32_t kRifle = 7;

class Shots : public ::testing::Test {
 protected:
  SimSetup sim{40, 4};
  FakeHost fake;
  uint32_t rifleInfo = 0;

  void SetUp() override {
    fake.clockMs = 1000;
    WeaponBallistics& w = sim.Weapon(kRifle);
    w.speedFactor = 0.05f;  // muzzle speed 500
    w.ammoTrailLength = 3.0f;
    w.tracerTrailLength = 5.0f;
    rifleInfo = fake.AddWeaponInfo(100.0f, 42);
    fake.weaponInfoByType[kRifle] = rifleInfo;
  }
  bool MakeRifle(uint32_t shooter, const float* start, float* end, int32_t type = kRifle) {
    const HostWeapon weapon{type};
    float unusedEnd[3] = {9, 9, 9};
    return Make(&weapon, shooter, 0, start, end, unusedEnd, 0xDEAD);
  }
  bool ShootOnce(uint32_t shooter = 0) {
    const float start[3] = {0, 0, 0};
    float end[3] = {1, 0, 0};
    MakeRifle(shooter, start, end);
    const int32_t slot = pool.nextSlot == 0 ? settings.MaxPellix - 1 : pool.nextSlot - 1;
    return sim.Record(slot).isTracer == 1;
  }
  static void ExpectDeadAtOnce(const ProjectileRecord& r, float clock) {
    EXPECT_EQ(r.active, 0);
    EXPECT_EQ(r.velocity[0], 0.0f);
    EXPECT_EQ(r.velocity[1], 0.0f);
    EXPECT_EQ(r.velocity[2], 0.0f);
    EXPECT_EQ(r.expiryTime, clock);
    EXPECT_TRUE(vec3::IsFinite(r.position));
  }
};

TEST_F(Shots, MakeFillsTheSlotUnderTheCursor) {
  const uint32_t shooter = fake.AddShooter(1);
  fake.skillByShooter[shooter] = 3;
  const float start[3] = {1, 2, 3};
  float end[3] = {1, 7, 3};
  ProjectileRecord& r = sim.Record(0);
  r.spare14[0] = r.spare14[1] = r.spare42[0] = r.spare42[1] = 0x5A;
  sim.Extra(0).entryClass = 4;
  sim.Extra(0).pierceBudget = 12.0f;

  EXPECT_FALSE(MakeRifle(shooter, start, end));

  EXPECT_EQ(r.weaponType, kRifle);
  EXPECT_EQ(r.shooter, shooter);
  EXPECT_EQ(r.expiryTime, 1200.0f);  // 100 x 0.05 x 40 ms after the clock
  EXPECT_EQ(r.active, 1);
  EXPECT_EQ(r.position[0], 1.0f);
  EXPECT_EQ(r.position[1], 2.0f);
  EXPECT_EQ(r.position[2], 3.0f);
  EXPECT_EQ(r.velocity[0], 0.0f);
  EXPECT_EQ(r.velocity[1], 1.0f / 0.05f);  // length 20 per time-step unit
  EXPECT_EQ(r.velocity[2], 0.0f);
  EXPECT_FLOAT_EQ(vec3::Length(r.velocity), 20.0f);
  EXPECT_EQ(r.damage, 42);
  EXPECT_EQ(r.spare14[0], 0x5A);
  EXPECT_EQ(r.spare42[1], 0x5A);
  EXPECT_EQ(sim.Extra(0).entryClass, 4);
  EXPECT_EQ(sim.Extra(0).pierceBudget, 12.0f);
  EXPECT_EQ(pool.nextSlot, 1);

  ASSERT_EQ(fake.calls.size(), 2u);
  EXPECT_EQ(fake.calls[0].kind, HostCallKind::ShooterSkill);
  EXPECT_EQ(fake.calls[0].ints, (std::vector<int64_t>{shooter}));
  EXPECT_EQ(fake.calls[1].kind, HostCallKind::WeaponInfo);
  EXPECT_EQ(fake.calls[1].ints, (std::vector<int64_t>{kRifle, 3}));
}

TEST_F(Shots, NullShooterHasSkillOne) {
  const float start[3] = {0, 0, 0};
  float end[3] = {1, 0, 0};
  MakeRifle(0, start, end);
  ASSERT_EQ(fake.calls.size(), 1u);
  EXPECT_EQ(fake.calls[0].ints, (std::vector<int64_t>{kRifle, 1}));
  EXPECT_EQ(sim.Record(0).shooter, 0u);
}

TEST_F(Shots, MakeWritesTheDirectionIntoTheChosenEndOnly) {
  const HostWeapon weapon{kRifle};
  const float start[3] = {1, 1, 1};
  float end[3] = {4, 5, 1};
  float alternative[3] = {1, 1, 3};
  Make(&weapon, 0, 0, start, end, alternative, 0);
  EXPECT_EQ(end[0], 3.0f);
  EXPECT_EQ(end[1], 4.0f);
  EXPECT_EQ(alternative[2], 3.0f);  // untouched
  EXPECT_FLOAT_EQ(sim.Record(0).velocity[0], 0.6f * 20.0f);

  float end2[3] = {4, 5, 1};
  Make(&weapon, 0, 1, start, end2, alternative, 0);
  EXPECT_EQ(end2[0], 4.0f);  // untouched
  EXPECT_EQ(alternative[0], 0.0f);
  EXPECT_EQ(alternative[2], 2.0f);
  EXPECT_EQ(sim.Record(1).velocity[2], 20.0f);
}

TEST_F(Shots, TypesBeyondTheTableUseRowZeroButAskTheHostUnclamped) {
  sim.Weapon(0).speedFactor = 0.5f;
  for (int32_t type : {40, -5}) {
    fake.ClearCalls();
    const float start[3] = {0, 0, 0};
    float end[3] = {0, 0, 2};
    MakeRifle(0, start, end, type);
    const ProjectileRecord& r = sim.Record(pool.nextSlot == 0 ? 3 : pool.nextSlot - 1);
    EXPECT_EQ(r.weaponType, type);
    EXPECT_EQ(r.velocity[2], 2.0f);
    EXPECT_EQ(fake.calls[0].ints, (std::vector<int64_t>{type, 1}));
  }
}

TEST_F(Shots, EveryThirdGlobalShotIsATracer) {
  sim.Weapon(kRifle).tracerEvery = 3;
  const uint32_t driver = fake.AddShooter(1);
  std::vector<bool> tracers;
  for (int i = 0; i < 7; ++i) tracers.push_back(ShootOnce(i % 2 ? driver : 0));
  EXPECT_EQ(tracers, (std::vector<bool>{true, false, false, true, false, false, true}));
  EXPECT_EQ(tracerCounter, 7);
}

TEST_F(Shots, NoTracersAndNoCountWhenEveryIsZero) {
  for (int i = 0; i < 5; ++i) EXPECT_FALSE(ShootOnce());
  EXPECT_EQ(tracerCounter, 0);
}

TEST_F(Shots, PedestrianCountsByItsAmmunition) {
  sim.Weapon(kRifle).tracerEvery = 4;
  tracerCounter = 1;  // would say "not a tracer" for N 4
  // The kind is the low three bits; slot 2 is the current one.
  const uint32_t walker = fake.AddShooter(0xF3, 2, 5);
  fake.Write<uint16_t>(walker + 0x5A8, 1);  // slot 0, not the current one
  EXPECT_TRUE(ShootOnce(walker));           // count 4
  EXPECT_EQ(tracerCounter, 1);

  fake.Write<uint16_t>(walker + 0x5A8 + 2 * 28, 0);  // count -1
  EXPECT_FALSE(ShootOnce(walker));
  sim.Weapon(kRifle).tracerEvery = 1;
  EXPECT_TRUE(ShootOnce(walker));
  sim.Weapon(kRifle).tracerEvery = -1;
  EXPECT_TRUE(ShootOnce(walker));
  sim.Weapon(kRifle).tracerEvery = -2;
  EXPECT_FALSE(ShootOnce(walker));                        // -1 rem -2 is -1
  fake.Write<uint16_t>(walker + 0x5A8 + 2 * 28, 0xFFFF);  // count 65534, unsigned
  EXPECT_TRUE(ShootOnce(walker));
  EXPECT_EQ(tracerCounter, 1);
}

TEST_F(Shots, GlobalCounterSurvivesItsWholeRange) {
  sim.Weapon(kRifle).tracerEvery = -1;
  tracerCounter = INT32_MIN;  // INT32_MIN rem -1 must not fault
  EXPECT_TRUE(ShootOnce());
  sim.Weapon(kRifle).tracerEvery = 2;
  tracerCounter = INT32_MAX;
  EXPECT_FALSE(ShootOnce());
  EXPECT_EQ(tracerCounter, INT32_MIN);
  EXPECT_TRUE(ShootOnce());
}

TEST_F(Shots, TrailAndRefractionLengthsFollowTheTracerChoice) {
  sim.Weapon(kRifle).tracerEvery = 2;
  EXPECT_TRUE(ShootOnce());
  EXPECT_EQ(sim.Extra(0).trailLength, 5.0f);
  EXPECT_EQ(sim.Extra(0).refractLength, 5.0f * 1.5f);
  EXPECT_FALSE(ShootOnce());
  EXPECT_EQ(sim.Extra(1).trailLength, 3.0f);
  EXPECT_EQ(sim.Extra(1).refractLength, 3.0f * 2.0f);
  // Lengths beyond the float range keep their meaning, none of the trail shown yet; with no
  // length or no factor there is no refraction, endless as the other may be.
  sim.Weapon(kRifle).tracerTrailLength = INFINITY;
  settings.AmRefractLen = INFINITY;
  EXPECT_TRUE(ShootOnce());
  EXPECT_EQ(sim.Extra(2).trailLength, INFINITY);
  EXPECT_EQ(sim.Extra(2).refractLength, INFINITY);
  sim.Weapon(kRifle).ammoTrailLength = 0.0f;
  EXPECT_FALSE(ShootOnce());
  EXPECT_EQ(sim.Extra(3).refractLength, 0.0f);
  settings.TrRefractLen = 0.0f;
  EXPECT_TRUE(ShootOnce());
  EXPECT_EQ(sim.Extra(0).refractLength, 0.0f);
}

TEST_F(Shots, CursorWrapsAfterTheLastSlot) {
  pool.nextSlot = 3;
  ShootOnce();
  EXPECT_EQ(pool.nextSlot, 0);
  EXPECT_EQ(sim.Record(3).active, 1);
  ShootOnce();
  EXPECT_EQ(pool.nextSlot, 1);
}

TEST_F(Shots, SniperTakesTheLowByteAndLeavesTheDirection) {
  fake.weaponInfoByType[255] = rifleInfo;
  sim.Weapon(0).speedFactor = 25.0f / 730.0f;  // 0.0342465751, muzzle speed 730
  fake.clockMs = 2147483848u;                  // 2^31 + 200
  EXPECT_FALSE(MakeSniper(0, 0x1FF, 1, 2, 3, 1.5f, 1.85f, -0.75f));
  const ProjectileRecord& r = sim.Record(0);
  EXPECT_EQ(r.weaponType, 255);
  EXPECT_EQ(fake.calls.back().ints, (std::vector<int64_t>{255, 1}));
  EXPECT_EQ(r.position[2], 3.0f);
  // |d| = sqrt(6.23500013) = 2.49699831, n = d / |d| = (0.6007213, 0.740889549, -0.30036065),
  // k = 1 / 0.0342465751 = 29.2000008 and v = n x k. Dividing n by the speed factor would give
  // (17.5410614, 21.6339741, -8.7705307).
  EXPECT_EQ(r.velocity[0], 17.5410633f);
  EXPECT_EQ(r.velocity[1], 21.633976f);
  EXPECT_EQ(r.velocity[2], -8.77053165f);
  // 100 x 0.0342465751 x 40 = 136.9863 ms after the clock read unsigned: 2^31 + 336.9863,
  // rounded once to 2^31 + 256. Rounding the clock to float first gives 2^31 + 512.
  EXPECT_EQ(r.expiryTime, 2147483904.0f);
  EXPECT_EQ(r.damage, 42);
}

TEST_F(Shots, M4FliesToItsEndPointWithoutAskingTheHost) {
  sim.Weapon(31).speedFactor = 25.0f / 730.0f;  // 0.0342465751
  sim.Weapon(31).tracerEvery = 1;
  fake.clockMs = 2;
  const float start[3] = {1.5f, -2.0f, 0.25f};
  float end[3] = {7.9f, 1.8f, -3.05f};
  EXPECT_FALSE(MakeM4(start, end, 0x12345));
  const ProjectileRecord& r = sim.Record(0);
  // The direction written back: d = (6.4000001, 3.79999995, -3.29999995).
  EXPECT_EQ(end[0], 6.4000001f);
  EXPECT_EQ(end[1], 3.79999995f);
  EXPECT_EQ(end[2], -3.29999995f);
  EXPECT_EQ(r.weaponType, 31);
  EXPECT_EQ(r.shooter, 0u);
  EXPECT_EQ(r.damage, 0x2345);
  // |d| = 8.14186764; |d| x 0.0342465751 = 0.278831095 as a float, x 40 + 2 = 13.153244. The
  // product left unrounded would give 13.1532431.
  EXPECT_EQ(r.expiryTime, 13.153244f);
  // v = d x (1 / 0.278831095) = d x 3.58640051. d / 0.278831095 would give 22.9529648 and
  // -11.8351221 in x and z; n x (1 / speedFactor) 22.9529667, 13.6283236, -11.8351231.
  EXPECT_EQ(r.velocity[0], 22.9529629f);
  EXPECT_EQ(r.velocity[1], 13.6283216f);
  EXPECT_EQ(r.velocity[2], -11.8351212f);
  EXPECT_EQ(r.isTracer, 1);
  EXPECT_EQ(tracerCounter, 1);
  EXPECT_TRUE(fake.calls.empty());
}

TEST_F(Shots, M4WithASmallTableUsesRowZero) {
  settings.weaponCount = 31;
  sim.Weapon(0).speedFactor = 0.5f;
  sim.Weapon(31).speedFactor = 0.125f;
  const float start[3] = {0, 0, 0};
  float end[3] = {0, 3, 0};
  MakeM4(start, end, 1);
  EXPECT_EQ(sim.Record(0).weaponType, 31);
  EXPECT_EQ(sim.Record(0).expiryTime, 1000.0f + 3.0f * 0.5f * 40.0f);
}

TEST_F(Shots, NoDirectionIsDeadAtOnceInAllThree) {
  const float start[3] = {1, 2, 3};
  float end[3] = {1, 2, 3};
  MakeRifle(0, start, end);
  ExpectDeadAtOnce(sim.Record(0), 1000.0f);
  MakeSniper(0, kRifle, 1, 2, 3, 0, 0, 0);
  ExpectDeadAtOnce(sim.Record(1), 1000.0f);
  float m4End[3] = {1, 2, 3};
  MakeM4(start, m4End, 5);
  ExpectDeadAtOnce(sim.Record(2), 1000.0f);
  EXPECT_EQ(sim.Record(2).damage, 5);
  EXPECT_EQ(pool.nextSlot, 3);
}

TEST_F(Shots, NoMuzzleSpeedIsDeadAtOnceInAllThree) {
  sim.Weapon(kRifle).speedFactor = 0.0f;
  sim.Weapon(31).speedFactor = 0.0f;
  const float start[3] = {1, 2, 3};
  float end[3] = {2, 2, 3};
  MakeRifle(0, start, end);
  ExpectDeadAtOnce(sim.Record(0), 1000.0f);
  MakeSniper(0, kRifle, 1, 2, 3, 1, 0, 0);
  ExpectDeadAtOnce(sim.Record(1), 1000.0f);
  float m4End[3] = {2, 2, 3};
  MakeM4(start, m4End, 5);
  ExpectDeadAtOnce(sim.Record(2), 1000.0f);
}

// A time to live beyond the float range is an expiry that never comes: the shot flies. Only
// a NaN from the host kills it at once; a range of 0 lives 0 ms under any RangeMult.
TEST_F(Shots, ExpiryBeyondTheFloatRangeNeverComes) {
  struct Case {
    float range, rangeScale, expiry;
  };
  // 100 x 0.05 x 3e38 is no float; 0 x inf is taken as 0, as 0 x every finite RangeMult.
  for (Case c : {Case{INFINITY, 40.0f, INFINITY}, Case{100.0f, 3.0e38f, INFINITY},
                 Case{100.0f, INFINITY, INFINITY}, Case{100.0f, -INFINITY, -INFINITY},
                 Case{0.0f, INFINITY, 1000.0f}}) {
    SCOPED_TRACE(c.rangeScale);
    fake.Write<float>(rifleInfo + 8, c.range);
    settings.rangeScale = c.rangeScale;
    pool.nextSlot = 0;
    const float start[3] = {0, 0, 0};
    float end[3] = {1, 0, 0};
    MakeRifle(0, start, end);
    EXPECT_EQ(sim.Record(0).active, 1);
    EXPECT_EQ(sim.Record(0).expiryTime, c.expiry);
    EXPECT_EQ(sim.Record(0).velocity[0], 20.0f);
  }
  settings.rangeScale = 40.0f;
  fake.Write<float>(rifleInfo + 8, std::nanf(""));
  const float start[3] = {0, 0, 0};
  float end[3] = {1, 0, 0};
  MakeRifle(0, start, end);
  ExpectDeadAtOnce(sim.Record(1), 1000.0f);
}

}  // namespace
}  // namespace pellix
