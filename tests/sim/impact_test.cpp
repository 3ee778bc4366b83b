#include "sim/impact.h"

#include <gtest/gtest.h>

#include <cmath>

#include "sim/loop_state.h"
#include "sim/vec3.h"
#include "tests/support/fake_host.h"
#include "tests/support/sim_setup.h"

namespace pellix {
namespace {

using testing::FakeHost;
using testing::HostCallKind;
using testing::SimSetup;

constexpr int32_t kRifle = 5;

class Impact : public ::testing::Test {
 protected:
  SimSetup sim{40, 4};
  FakeHost fake;
  ProjectileRecord& record = sim.Record(1);
  ProjectileExtra& extra = sim.Extra(1);

  void SetUp() override {
    settings.minSpeedScaled = 1.0f;
    savedTimeStep = 1.0f;
    fake.timeStep = 0.5f;
    record.weaponType = kRifle;
    record.shooter = 0x4242;
    record.active = 1;
    SetPosition(0.0f, 0.0f, 0.0f);
    SetVelocity(4.0f, 0.0f, 0.0f);
    record.damage = 100;
    sim.Weapon(kRifle).speedFactor = 0.25f;
  }
  void SetPosition(float x, float y, float z) {
    record.position[0] = x;
    record.position[1] = y;
    record.position[2] = z;
  }
  void SetVelocity(float x, float y, float z) {
    record.velocity[0] = x;
    record.velocity[1] = y;
    record.velocity[2] = z;
  }
  float Speed() const { return vec3::Length(record.velocity); }
  void Hit(float px, float py, float pz, float nx, float ny, float nz, uint32_t surfaceId = 0,
           uint32_t kind = 0) {
    hitPoint[0] = px, hitPoint[1] = py, hitPoint[2] = pz;
    hitNormal[0] = nx, hitNormal[1] = ny, hitNormal[2] = nz;
    ResolveImpact(&record, hitPoint, hitNormal, surfaceId, kind);
  }
  float hitPoint[3] = {};
  float hitNormal[3] = {};
};

// --- Special weapons -------------------------------------------------------------------

TEST_F(Impact, WeaponType34EndsWithOneAreaImpactAndNothingElse) {
  record.weaponType = 34;
  repeatRequested = 1;
  Hit(1.0f, 2.0f, 3.0f, 0.0f, 0.0f, 1.0f);

  ASSERT_EQ(fake.calls.size(), 1u);
  const auto& call = fake.calls[0];
  EXPECT_EQ(call.kind, HostCallKind::AreaImpact);
  EXPECT_EQ(call.pointers[0], hitPoint);
  EXPECT_EQ(call.floats, (std::vector<float>{1.0f, 2.0f, 3.0f, 2.0f, 25.0f, 1.0f}));
  EXPECT_EQ(call.ints, (std::vector<int64_t>{0, 0x4242, 1}));
  EXPECT_EQ(record.active, 0);
  EXPECT_EQ(record.damage, 100);
  EXPECT_EQ(record.position[0], 0.0f);
  EXPECT_EQ(record.velocity[0], 4.0f);
  EXPECT_EQ(damageRestorePending, 0);
  EXPECT_EQ(skipHostHit, 0);
  EXPECT_EQ(repeatRequested, 1);
  EXPECT_EQ(fake.timeStep, 0.5f);
}

TEST_F(Impact, WeaponType38BuildsTheOrientationMatrix) {
  record.weaponType = 38;
  Hit(1.0f, 2.0f, 3.0f, 0.0f, 0.0f, 1.0f);  // no effect object comes back

  ASSERT_EQ(fake.calls.size(), 2u);
  const auto& create = fake.calls[0];
  EXPECT_EQ(create.kind, HostCallKind::EffectCreate);
  EXPECT_EQ(create.name, "tank_fire");
  EXPECT_EQ(create.floats, (std::vector<float>{0, 0, 0,      // zero vector
                                               -1, 0, 0, 0,  //
                                               0, 0, 1, 0,   //
                                               0, 1, 0, 0,   //
                                               1, 2, 3, 1}));
  EXPECT_EQ(create.ints, (std::vector<int64_t>{0}));
  EXPECT_EQ(fake.calls[1].kind, HostCallKind::AreaImpact);
  EXPECT_EQ(record.active, 0);
  EXPECT_EQ(damageRestorePending, 0);
}

TEST_F(Impact, WeaponType38GeneralNormalAndEffectFollowUps) {
  record.weaponType = 38;
  fake.effectResult = 0xE1;
  Hit(-1.0f, 0.5f, 7.0f, 0.5f, -0.25f, 0.75f);

  ASSERT_EQ(fake.calls.size(), 4u);
  EXPECT_EQ(fake.calls[0].floats, (std::vector<float>{0, 0, 0,                 //
                                                      -0.75f, 0, 0.5f, 0,      //
                                                      0.5f, -0.25f, 0.75f, 0,  //
                                                      0, 0.75f, 0.25f, 0,      //
                                                      -1.0f, 0.5f, 7.0f, 1}));
  EXPECT_EQ(fake.calls[1].kind, HostCallKind::EffectStart);
  EXPECT_EQ(fake.calls[1].ints, (std::vector<int64_t>{0xE1}));
  EXPECT_EQ(fake.calls[2].kind, HostCallKind::EffectFinish);
  EXPECT_EQ(fake.calls[2].ints, (std::vector<int64_t>{0xE1}));
  EXPECT_EQ(fake.calls[3].kind, HostCallKind::AreaImpact);
}

// --- Surface class ---------------------------------------------------------------------

// Only one class can be pierced, so the class an impact used shows in entryClass.
class ImpactClass : public Impact {
 protected:
  void OnlyClassPierces(int32_t cls) {
    settings.Pierce = 1;
    for (int32_t c = 0; c < SurfaceClassCount; ++c) sim.Surface(c).pierceResistance = -1.0f;
    sim.Surface(cls).pierceResistance = 0.0f;
    extra.entryClass = -7;
  }
};

TEST_F(ImpactClass, EntityKindsTwoAndThreeTakeTheirOwnRows) {
  for (auto [kind, cls] : {std::pair<uint32_t, int32_t>{2, 5}, {3, 6}, {0x7702, 5}}) {
    OnlyClassPierces(cls);
    fake.ClearCalls();
    SetPosition(0, 0, 0);
    SetVelocity(4, 0, 0);
    Hit(1, 0, 0, -1, 0, 0, /*surfaceId=*/4, kind);
    EXPECT_EQ(extra.entryClass, cls) << "kind " << kind;
    EXPECT_EQ(fake.Count(HostCallKind::SurfaceClass), 0);
  }
}

TEST_F(ImpactClass, OtherKindsAskTheHostAndUseTheLowByte) {
  OnlyClassPierces(3);
  fake.surfaceClassById[17] = 0xAB03;
  Hit(1, 0, 0, -1, 0, 0, 17, /*kind=*/1);
  EXPECT_EQ(extra.entryClass, 3);
  const auto calls = fake.Calls(HostCallKind::SurfaceClass);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].ints, (std::vector<int64_t>{17}));
}

TEST_F(ImpactClass, ClassBeyondTheTableFallsBackToRowZero) {
  for (uint32_t answer : {7u, 0xFFu, 0x1234u}) {
    OnlyClassPierces(0);
    fake.defaultSurfaceClass = answer;
    SetPosition(0, 0, 0);
    SetVelocity(4, 0, 0);
    Hit(1, 0, 0, -1, 0, 0, 9, 0);
    EXPECT_EQ(extra.entryClass, 0) << answer;
  }
}

// --- Speed floor and damage --------------------------------------------------------------

TEST_F(Impact, SpeedEqualToTheFloorGoesOn) {
  settings.minSpeedScaled = 4.0f;
  Hit(1, 0, 0, -1, 0, 0);
  EXPECT_EQ(record.active, 1);
  EXPECT_EQ(skipHostHit, 0);
  EXPECT_EQ(damageRestorePending, 1);
  EXPECT_EQ(fake.Count(HostCallKind::LineTest), 1);
}

TEST_F(Impact, SpeedJustBelowTheFloorStops) {
  settings.minSpeedScaled = std::nextafter(4.0f, 5.0f);
  repeatRequested = 1;
  savedDamage = 7;  // left by an earlier impact of another record
  Hit(1, 0, 0, -1, 0, 0);
  EXPECT_EQ(record.active, 0);
  EXPECT_EQ(skipHostHit, 1);
  EXPECT_EQ(repeatRequested, 0);
  EXPECT_EQ(damageRestorePending, 1);
  EXPECT_EQ(record.damage, 100);  // not scaled
  EXPECT_EQ(savedDamage, 100);    // the restore that follows puts back this record's damage
  EXPECT_EQ(fake.timeStep, 0.5f);
  EXPECT_EQ(fake.Count(HostCallKind::LineTest), 0);

  // A MinSpeed beyond the float range is an infinite floor: every impact stops.
  settings.minSpeedScaled = INFINITY;
  record.active = 1;
  SetVelocity(3e38f, 0, 0);
  Hit(1, 0, 0, -1, 0, 0);
  EXPECT_EQ(record.active, 0);
}

TEST_F(Impact, ZeroSpeedWithAFloorOfZeroOrBelowStops) {
  for (float floor : {0.0f, -25.0f}) {
    settings.minSpeedScaled = floor;
    record.active = 1;
    SetVelocity(0, 0, 0);
    Hit(1, 0, 0, -1, 0, 0);
    EXPECT_EQ(record.active, 0);
    EXPECT_EQ(skipHostHit, 1);
    EXPECT_TRUE(vec3::IsFinite(record.position));
    EXPECT_TRUE(vec3::IsFinite(record.velocity));
  }
}

TEST_F(Impact, DamageFollowsEnergyTruncatedTowardZero) {
  sim.Weapon(kRifle).speedFactor = 0.25f;  // muzzle speed 100
  SetVelocity(3, 0, 0);
  record.damage = 10;
  Hit(1, 0, 0, -1, 0, 0);
  EXPECT_EQ(record.damage, 5);  // 5.625
  EXPECT_EQ(savedDamage, 10);
}

TEST_F(Impact, DamageReadsUnsignedAndKeepsTheLow16Bits) {
  sim.Weapon(kRifle).speedFactor = 0.5f;  // speed 4: ratio 2, energy x4
  record.damage = 20000;
  Hit(1, 0, 0, -1, 0, 0);
  EXPECT_EQ(static_cast<uint16_t>(record.damage), 80000 - 65536);

  record.damage = -1;                      // 65535 unsigned
  sim.Weapon(kRifle).speedFactor = 0.25f;  // ratio 1
  Hit(1, 0, 0, -1, 0, 0);
  EXPECT_EQ(savedDamage, 65535);
  EXPECT_EQ(static_cast<uint16_t>(record.damage), 65535);
}

TEST_F(Impact, DamageBeyondInt32GivesTheIndefiniteIntegersLowBits) {
  sim.Weapon(kRifle).speedFactor = 250.0f;  // ratio 1000: energy x 1e6
  record.damage = 30000;
  Hit(1, 0, 0, -1, 0, 0);
  EXPECT_EQ(record.damage, 0);  // 0x80000000 & 0xFFFF
}

TEST_F(Impact, PlainHitWhenNothingIsOn) {
  Hit(1, 0, 0, -1, 0, 0);
  EXPECT_EQ(record.active, 1);
  EXPECT_EQ(record.position[0], 0.0f);
  EXPECT_EQ(record.velocity[0], 4.0f);
  EXPECT_EQ(repeatRequested, 0);
  EXPECT_EQ(fake.timeStep, 0.5f);
  EXPECT_EQ(fake.Count(HostCallKind::LineTest), 1);
}

// --- Ricochet ----------------------------------------------------------------------------

class Ricochet : public Impact {
 protected:
  void SetUp() override {
    Impact::SetUp();
    settings.Ricochet = 1;
    sim.Weapon(kRifle).speedFactor = 0.2f;  // speed 5 is the muzzle speed
    sim.Weapon(kRifle).ricochetBonus = 0.2f;
    SurfaceBallistics& s = sim.Surface(0);
    s.ricochetThreshold = 0.5f;
    s.ricochetAngleLoss = 0.25f;
    s.ricochetKeep = 0.255f;
    s.ricochetScatter = 0.0f;
    SetPosition(-4, 0, 3);
    SetVelocity(4, 0, -3);  // speed 5, D = -6, F = -1.2, |F/2| = 0.6 < 0.7
  }
};

TEST_F(Ricochet, KeepsSharesReflectsPushesOffScattersAndCuts) {
  sim.Surface(0).ricochetKeep = 0.0f;
  sim.Surface(0).ricochetScatter = 0.1f;
  fake.randScript = {702, 12482, 479};
  SetPosition(-4.4f, 0.35f, 5.3f);
  SetVelocity(9.55f, 3.1f, -6.1f);
  Hit(0.0078125f, -0.00390625f, 0.001953125f, 0.0f, 0.6f, 0.8f);
  // Worked out in float: speed = 11.7482977, D = 2 x (v.n) = -6.03999996, F = D / speed =
  // -0.514117062 (|F / 2| below 0.7). Damage 11.7482977^2 x 0.2^2 x 100 = 552.09: 552, then
  // x (g = |0.25 F| = 0.128529266) = 70.95: 70. speedKeep = 1 - g = 0.871470749.
  // Reflected v = v - D n = (9.55000019, 6.72399998, -1.26799965), |v| = 11.7482977, so
  // P = 0.01 / |D / |v|| = 0.0194508228 and position = hit + (v x 0.0851187184) x P, with
  // 0.0851187184 = 1 / speed. Scatter x, y, z: v += ((r / 32767 - 0.5) x speed) x 0.1. Then
  // q = (|v| / speed) / speedKeep^2 = 1.26558292 and v = v x (1 / q) = v x 0.790149748.
  // v / speed in the push-off would give (0.0236237571, 0.00722619984, z), v / q would give
  // y 5.20243692 and z -1.45248508.
  EXPECT_EQ(record.position[0], 0.0236237589f);
  EXPECT_EQ(record.position[1], 0.00722620077f);
  EXPECT_EQ(record.position[2], -0.000146212056f);
  EXPECT_EQ(record.velocity[0], 7.10167217f);
  EXPECT_EQ(record.velocity[1], 5.2024374f);
  EXPECT_EQ(record.velocity[2], -1.4524852f);
  EXPECT_EQ(record.damage, 70);
  EXPECT_EQ(savedDamage, 100);
  // travelled = 6.90096855 + P = 6.92041922; (1 x speed - travelled) / speed in extended.
  EXPECT_EQ(fake.timeStep, 0.410942823f);
  EXPECT_EQ(record.active, 1);
  EXPECT_EQ(repeatRequested, 1);
  EXPECT_EQ(damageRestorePending, 1);
  EXPECT_EQ(skipHostHit, 0);
  EXPECT_EQ(fake.Count(HostCallKind::Rand), 3);
  EXPECT_EQ(fake.Count(HostCallKind::LineTest), 1);

  // The speed ratio on inputs that every other grouping rounds differently: speed =
  // 7.71536779, D = -7.94400072, g = |0.19 x (D / speed)| = 0.195630342, speedKeep = (1 - g)
  // + 0.08 = 0.884369671, speedKeep^2 = 0.782109737. Reflected and scattered, v =
  // (5.27246141, 4.92971039, 0.92817837), |v| = 7.27752733; q = (|v| / speed) / speedKeep^2
  // = 0.943250835 / 0.782109737 = 1.20603383 and v x (1 / q = 0.829164147). |v| / (speed x
  // speedKeep^2), (|v| / speedKeep^2) / speed, two divisions by speedKeep, the scale taken as
  // (speed x speedKeep^2) / |v|, or v / q each change a component.
  sim.Surface(0).ricochetAngleLoss = 0.19f;
  sim.Surface(0).ricochetKeep = 0.08f;
  sim.Surface(0).ricochetScatter = 0.16f;
  fake.randScript = {7424, 9570, 12481};
  SetVelocity(5.61f, 0.42f, -5.28f);
  Hit(0, 0, 0, 0.0f, 0.6f, 0.8f);
  EXPECT_EQ(record.velocity[0], 4.37173605f);
  EXPECT_EQ(record.velocity[1], 4.0875392f);
  EXPECT_EQ(record.velocity[2], 0.769612253f);
}

TEST_F(Ricochet, RandIsDrawnEvenWithoutScatter) {
  Hit(0, 0, 0, 0, 0, 1);
  // g = 0.3: damage keeps 0.555 of 100.
  EXPECT_EQ(record.damage, 55);  // 55.5, truncated
  EXPECT_EQ(fake.Count(HostCallKind::Rand), 3);
}

TEST_F(Ricochet, HalfTheSpeedShareLeavesAQuarterOfTheSpeedWhateverTheScatter) {
  sim.Surface(0).ricochetAngleLoss = 0.0f;
  sim.Surface(0).ricochetKeep = -0.5f;  // speedKeep 0.5
  sim.Surface(0).ricochetScatter = 0.7f;
  for (int i = 0; i < 20; ++i) {
    SetPosition(-4, 0, 3);
    SetVelocity(4, 0, -3);
    Hit(0, 0, 0, 0, 0, 1);
    EXPECT_NEAR(Speed(), 1.25f, 1e-5f);
  }
}

TEST_F(Ricochet, NothingKeptLeavesTheProjectileAtRest) {
  sim.Surface(0).ricochetAngleLoss = 0.0f;
  sim.Surface(0).ricochetKeep = -1.0f;  // speedKeep 0
  Hit(0, 0, 0, 0, 0, 1);
  EXPECT_EQ(Speed(), 0.0f);
  EXPECT_EQ(record.active, 1);
  EXPECT_EQ(repeatRequested, 1);
  EXPECT_EQ(fake.Count(HostCallKind::LineTest), 0);  // no direction to sweep along
}

TEST_F(Ricochet, StrictThreshold) {
  SetPosition(0, 0, 4);
  SetVelocity(0, 0, -4);  // head on: |F/2| = 1
  sim.Weapon(kRifle).ricochetBonus = 0.25f;
  sim.Surface(0).ricochetThreshold = 0.75f;  // sum exactly 1: no ricochet
  Hit(0, 0, 0, 0, 0, 1);
  EXPECT_EQ(repeatRequested, 0);
  EXPECT_EQ(record.velocity[2], -4.0f);

  sim.Weapon(kRifle).ricochetBonus = 0.0f;
  sim.Surface(0).ricochetThreshold = std::nextafter(1.0f, 2.0f);
  Hit(0, 0, 0, 0, 0, 1);
  EXPECT_EQ(repeatRequested, 1);
  EXPECT_GT(record.velocity[2], 0.0f);

  // Beyond the float range: an infinite threshold lets even a head-on hit ricochet, an
  // infinite negative bonus lets none.
  for (float bonus : {0.0f, -INFINITY}) {
    repeatRequested = 0;
    SetPosition(0, 0, 4);
    SetVelocity(0, 0, -4);
    sim.Weapon(kRifle).ricochetBonus = bonus;
    sim.Surface(0).ricochetThreshold = INFINITY;
    Hit(0, 0, 0, 0, 0, 1);
    EXPECT_EQ(repeatRequested, bonus == 0.0f ? 1 : 0) << bonus;
  }
}

TEST_F(Ricochet, NeverWhenMovingWithTheNormal) {
  sim.Surface(0).ricochetThreshold = 100.0f;
  SetVelocity(4, 0, 3);
  Hit(0, 0, 0, 0, 0, 1);  // D > 0
  SetVelocity(4, 0, 0);
  Hit(0, 0, 0, 0, 0, 1);  // D = 0
  EXPECT_EQ(repeatRequested, 0);
  EXPECT_EQ(fake.Count(HostCallKind::Rand), 0);
  EXPECT_EQ(record.velocity[0], 4.0f);
}

TEST_F(Ricochet, NeverAlsoPenetrates) {
  settings.Pierce = 1;
  sim.Surface(0).pierceResistance = 0.0f;
  extra.entryClass = -7;
  Hit(0, 0, 0, 0, 0, 1);
  EXPECT_EQ(extra.entryClass, -7);
  EXPECT_EQ(skipHostHit, 0);
}

// --- Penetration -------------------------------------------------------------------------

class Pierce : public Impact {
 protected:
  void SetUp() override {
    Impact::SetUp();
    settings.Pierce = 1;
    sim.Weapon(kRifle).pierceCost = 2.0f;
    sim.Surface(3).pierceResistance = 5.0f;  // cost x resistance = 10
    fake.defaultSurfaceClass = 3;
  }
  void Enter() {
    SetPosition(-1, 0, 0);
    SetVelocity(4, 0, 0);
    Hit(0, 0, 0, -1, 0, 0);
  }
  // The takeover puts the unscaled damage back after each step.
  void LeaveAt(float x) {
    record.damage = 100;
    repeatRequested = 0;
    skipHostHit = 0;
    Hit(x, 0, 0, 1, 0, 0);
  }
};

TEST_F(Pierce, EnteringStoresTheEnergyAsBudget) {
  Enter();
  EXPECT_EQ(extra.pierceBudget, 100.0f);
  EXPECT_EQ(extra.entryClass, 3);
  EXPECT_EQ(extra.entryPoint[0], 0.0f);
  EXPECT_EQ(record.damage, 100);  // speed 4 is the muzzle speed
  EXPECT_EQ(record.active, 1);
  EXPECT_FLOAT_EQ(record.position[0], 0.005f);  // pushed ColBias / |D / speed| = 0.01 / 2 in
  EXPECT_EQ(record.velocity[0], 4.0f);
  EXPECT_EQ(repeatRequested, 1);
  EXPECT_EQ(skipHostHit, 0);
  // travelled 1 + 0.005 at speed 4 of a frame step 1.
  EXPECT_FLOAT_EQ(fake.timeStep, (4.0f - 1.005f) / 4.0f);
}

TEST_F(Pierce, LeavingSpendsTheBudgetAndSlows) {
  Enter();
  LeaveAt(2.0f);
  EXPECT_EQ(extra.pierceBudget, 80.0f);
  EXPECT_NEAR(Speed(), 3.578f, 5e-4f);
  EXPECT_FLOAT_EQ(Speed(), std::sqrt(80.0f / 6.25f));
  EXPECT_EQ(record.damage, 0);
  EXPECT_EQ(skipHostHit, 1);
  EXPECT_EQ(repeatRequested, 1);
  EXPECT_EQ(record.active, 1);

  // Inputs that every other grouping of the three products rounds differently. Muzzle speed
  // 857: speedFactor = 25 / 857 = 0.0291715283; speed = |v| = 25.0418968, speed^2 =
  // 627.096619. Entering: budget = ((speedFactor x speed^2) x speedFactor) x 201 = (18.2933674
  // x speedFactor = 0.533645511) x 201 = 107.262749. Leaving 2.388 further: cost = (2.72 x
  // 7.9 = 21.4880009) x 2.388 = 51.3133469, budget 55.9494019. k = sqrt(budget /
  // (speedFactor^2 x 201)) / speed = sqrt(55.9494019 / (0.000850978075 x 201 = 0.1710466) =
  // 327.100342) / speed = 18.0859146 / speed = 0.722226202, and v x k. Any other order of the
  // budget's five factors, 2.72 x (7.9 x 2.388), (2.72 x 2.388) x 7.9, speedFactor x
  // (speedFactor x 201), dividing by the factors one at a time, by speed inside the root or
  // through 1 / speed, or v x sqrt(...) / speed each change a value.
  sim.Weapon(kRifle).speedFactor = 25.0f / 857.0f;
  sim.Weapon(kRifle).pierceCost = 2.72f;
  sim.Surface(3).pierceResistance = 7.9f;
  record.damage = 201;
  SetVelocity(15.69f, 19.38f, 2.31f);
  Hit(0, 0, 0, -1, 0, 0);
  EXPECT_EQ(extra.pierceBudget, 107.262749f);
  record.damage = 201;
  Hit(2.388f, 0, 0, 1, 0, 0);
  EXPECT_EQ(extra.pierceBudget, 55.9494019f);
  EXPECT_EQ(record.velocity[0], 11.3317289f);
  EXPECT_EQ(record.velocity[1], 13.9967432f);
  EXPECT_EQ(record.velocity[2], 1.66834247f);
}

TEST_F(Pierce, LeavingPastTheBudgetStops) {
  Enter();
  fake.timeStep = 0.5f;
  fake.ClearCalls();
  LeaveAt(11.0f);
  EXPECT_EQ(extra.pierceBudget, -10.0f);
  EXPECT_EQ(record.active, 0);
  EXPECT_EQ(skipHostHit, 1);
  EXPECT_EQ(repeatRequested, 0);
  EXPECT_EQ(fake.timeStep, 0.5f);
  EXPECT_EQ(fake.Count(HostCallKind::LineTest), 0);
}

TEST_F(Pierce, ExactlyEmptyBudgetGoesOnAtRest) {
  Enter();
  fake.ClearCalls();
  LeaveAt(10.0f);
  EXPECT_EQ(extra.pierceBudget, 0.0f);
  EXPECT_EQ(record.active, 1);
  EXPECT_EQ(Speed(), 0.0f);
  EXPECT_EQ(repeatRequested, 1);
  EXPECT_EQ(fake.Count(HostCallKind::LineTest), 0);
}

TEST_F(Pierce, SecondWayOutSpendsFromTheReducedBudget) {
  Enter();
  LeaveAt(2.0f);  // budget 80, speed sqrt(12.8)
  LeaveAt(3.0f);  // 3 units from the same entry: 30 more
  EXPECT_EQ(extra.pierceBudget, 50.0f);
  EXPECT_FLOAT_EQ(Speed(), std::sqrt(50.0f / 6.25f));
  EXPECT_EQ(record.active, 1);
}

TEST_F(Pierce, ResistanceSignDecides) {
  sim.Surface(3).pierceResistance = -0.5f;
  Enter();
  EXPECT_EQ(repeatRequested, 0);
  EXPECT_EQ(record.position[0], -1.0f);

  sim.Surface(3).pierceResistance = 0.0f;  // pierces at no cost
  Enter();
  LeaveAt(1000.0f);
  EXPECT_EQ(extra.pierceBudget, 100.0f);
  EXPECT_FLOAT_EQ(Speed(), 4.0f);

  // Beyond the float range the sign still decides: -inf cannot be pierced; +inf can, but the
  // way out costs everything, unless the weapon pierces at no cost (0 x inf is no cost).
  sim.Surface(3).pierceResistance = -INFINITY;
  repeatRequested = 0;
  Enter();
  EXPECT_EQ(repeatRequested, 0);
  sim.Surface(3).pierceResistance = INFINITY;
  Enter();
  EXPECT_EQ(repeatRequested, 1);
  LeaveAt(2.0f);
  EXPECT_EQ(record.active, 0);
  EXPECT_EQ(extra.pierceBudget, 0.0f);  // no infinity left in the field
  sim.Weapon(kRifle).pierceCost = 0.0f;
  record.active = 1;
  record.damage = 100;
  Enter();
  LeaveAt(2.0f);
  EXPECT_EQ(record.active, 1);
  EXPECT_EQ(extra.pierceBudget, 100.0f);
}

TEST_F(Pierce, PathAlongTheSurfaceIsNotPushedOff) {
  SetPosition(-1, 0, 0);
  SetVelocity(4, 0, 0);
  Hit(0, 0, 0, 0, 0, 1);  // D = 0: a way out with no finite push-off
  EXPECT_EQ(record.position[0], 0.0f);
  EXPECT_TRUE(vec3::IsFinite(record.position));
  EXPECT_EQ(record.active, 1);
}

TEST_F(Pierce, LeavingWithoutEnergyToCarryStops) {
  Enter();
  record.damage = 0;  // savedDamage 0: 0/0
  skipHostHit = 0;
  Hit(2, 0, 0, 1, 0, 0);
  EXPECT_EQ(record.active, 0);
  EXPECT_EQ(skipHostHit, 1);
  EXPECT_TRUE(vec3::IsFinite(record.velocity));

  Enter();
  sim.Weapon(kRifle).speedFactor = 0.0f;
  LeaveAt(2.0f);
  EXPECT_EQ(record.active, 0);
  EXPECT_TRUE(vec3::IsFinite(record.velocity));
}

// --- Outcome of one call, by path ---------------------------------------------------------

struct Outcome {
  const char* path;
  int active, restore, skip, repeat;  // -1: unchanged from 0 / 1 (active)
  bool cut, sweep;
};

TEST_F(Impact, OutcomeByPath) {
  const Outcome rows[] = {
      {"special", 0, 0, 0, 0, false, false},        {"below floor", 0, 1, 1, 0, false, false},
      {"plain", 1, 1, 0, 0, false, true},           {"ricochet", 1, 1, 0, 1, true, true},
      {"entering", 1, 1, 0, 1, true, true},         {"leaving", 1, 1, 1, 1, true, true},
      {"leaving, spent", 0, 1, 1, 0, false, false},
  };
  for (const Outcome& row : rows) {
    SCOPED_TRACE(row.path);
    testing::ResetLoopState();
    savedTimeStep = 1.0f;
    fake.timeStep = 0.5f;
    settings.Ricochet = settings.Pierce = 0;
    settings.minSpeedScaled = 1.0f;
    sim.Surface(0) = SurfaceBallistics{};
    record.weaponType = kRifle;
    record.active = 1;
    record.damage = 100;
    SetPosition(-1, 0, 0);
    SetVelocity(4, 0, 0);
    extra = ProjectileExtra{};
    float normal = -1.0f;
    const std::string path = row.path;
    if (path == "special") record.weaponType = 34;
    if (path == "below floor") settings.minSpeedScaled = 5.0f;
    if (path == "ricochet") {
      settings.Ricochet = 1;
      sim.Surface(0).ricochetThreshold = 2.0f;
      sim.Surface(0).ricochetKeep = 1.0f;
    }
    if (path.rfind("entering", 0) == 0 || path.rfind("leaving", 0) == 0) settings.Pierce = 1;
    if (path.rfind("leaving", 0) == 0) {
      normal = 1.0f;
      extra.pierceBudget = path == "leaving" ? 100.0f : 0.0f;
      sim.Weapon(kRifle).pierceCost = 1.0f;
      sim.Surface(0).pierceResistance = 1.0f;
      extra.entryPoint[0] = -1.0f;
    }
    fake.ClearCalls();
    Hit(0, 0, 0, normal, 0, 0);
    EXPECT_EQ(record.active, row.active);
    EXPECT_EQ(damageRestorePending, row.restore);
    EXPECT_EQ(skipHostHit, row.skip);
    EXPECT_EQ(repeatRequested, row.repeat);
    EXPECT_EQ(fake.timeStep != 0.5f, row.cut);
    EXPECT_EQ(fake.Count(HostCallKind::LineTest) > 0, row.sweep);
  }
}

// --- Host geometry that is not finite -----------------------------------------------------

TEST_F(Impact, NonFiniteHitGeometryIsAPlainHit) {
  settings.Ricochet = 1;
  settings.Pierce = 1;
  sim.Surface(0).ricochetThreshold = 2.0f;
  Hit(NAN, 0, 0, -1, 0, 0);
  Hit(0, 0, 0, NAN, 0, 0);
  EXPECT_EQ(repeatRequested, 0);
  EXPECT_TRUE(vec3::IsFinite(record.position));
  EXPECT_TRUE(vec3::IsFinite(record.velocity));
}

TEST_F(Impact, OverflowingScatterIsEndedWhereTheImpactFoundIt) {
  settings.Ricochet = 1;
  sim.Surface(0).ricochetThreshold = 2.0f;
  sim.Surface(0).ricochetKeep = 1.0f;
  sim.Surface(0).ricochetScatter = 3e38f;
  fake.randScript = {32767, 32767, 32767};
  Hit(0, 0, 0, -1, 0, 0);
  EXPECT_EQ(record.active, 0);
  EXPECT_EQ(record.position[0], 0.0f);
  EXPECT_EQ(record.velocity[0], 4.0f);
  EXPECT_EQ(skipHostHit, 1);
}

}  // namespace
}  // namespace pellix
