// The trail of every slot over sequences of updates, and the colour rule.
#include "visuals/trail_update.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "host/hook_entries.h"
#include "tests/tools/loop_model/loop_fixture.h"

namespace pellix {
namespace {

using testing::LoopFixture;

class TrailUpdateTest : public LoopFixture {
 protected:
  // A new shot as shot creation leaves it: the trail's full length not yet shown.
  ProjectileRecord& Shoot(int slot, int32_t weaponType, uint8_t tracer, float vx = 2.0f) {
    ProjectileRecord& p = Fly(slot, weaponType, 10.0f, vx);
    p.isTracer = tracer;
    const WeaponBallistics& w = WeaponRow(weaponType);
    const float full = tracer ? w.tracerTrailLength : w.ammoTrailLength;
    pool.extraArray[slot].trailLength = full;
    pool.extraArray[slot].refractLength = RefractionLength(full, tracer != 0);
    return p;
  }
  // One update at the given clock and step.
  void Update(uint32_t clock, float step = 1.0f) {
    model->clockMs = clock;
    model->timeStep = step;
    TrailUpdateEntry();
  }
  // The shown length: how far back from the head the tail lies, in time-step units.
  float Shown(int slot) const {
    const TrailRecord& t = pool.trailArray[slot];
    return (t.end[0] - t.start[0]) / pool.projectileArray[slot].velocity[0];
  }
  const TrailRecord& T(int slot) const { return pool.trailArray[slot]; }
  const ProjectileExtra& X(int slot) const { return pool.extraArray[slot]; }
};

TEST_F(TrailUpdateTest, ALiveTrailGrowsByHalfAStepPerUpdateUpToItsFullLength) {
  Shoot(0, 0, 0);  // F = 3.0
  const float expected[] = {0.5f, 1.0f, 1.5f, 2.0f, 2.5f, 3.0f, 3.0f, 3.0f};
  for (float shown : expected) {
    Update(1000);
    EXPECT_FLOAT_EQ(Shown(0), shown);
    EXPECT_EQ(T(0).activity, 1);
    EXPECT_EQ(T(0).end[0], 10.0f);
    EXPECT_EQ(T(0).end[2], 1.0f);
    EXPECT_GE(X(0).trailLength, 0.0f);
    EXPECT_GE(X(0).refractLength, 0.0f);
  }
  EXPECT_EQ(X(0).trailLength, 0.0f);
  EXPECT_EQ(X(0).refractLength, 2.0f);  // 6.0 - 8 x 0.5
  for (int i = 0; i < 5; ++i) Update(1000);
  EXPECT_EQ(X(0).refractLength, 0.0f);  // held at 0
  EXPECT_FLOAT_EQ(Shown(0), 3.0f);

  // The first update of another shot with a smaller step reaches back half of that step.
  ProjectileRecord& p = Shoot(1, 1, 1, 4.0f);  // F = 4.0
  p.velocity[1] = 2.0f;
  Update(1000, 0.3f);
  EXPECT_FLOAT_EQ(X(1).trailLength, 4.0f - 0.15f);
  EXPECT_FLOAT_EQ(T(1).start[0], 10.0f - 4.0f * (4.0f - (4.0f - 0.15f)));
  EXPECT_FLOAT_EQ(T(1).start[1], 0.0f - 2.0f * (4.0f - (4.0f - 0.15f)));
}

TEST_F(TrailUpdateTest, ALiveTrailTakesItsLookFromTheWeaponRow) {
  settings.TracerType = 0;
  Shoot(0, 1, 0);
  Shoot(1, 1, 1);
  pool.projectileArray[1].isTracer = 1;
  Update(5000);
  EXPECT_EQ(T(0).creationTime, 5000u);
  EXPECT_EQ(T(0).lifetime, 50u);  // 2.0 x 25
  EXPECT_EQ(T(0).width, 0.05f);
  EXPECT_EQ(T(0).alpha, 0x80);  // low byte of 0x180
  EXPECT_EQ(T(0).isTracer, 0);
  EXPECT_EQ(T(0).weaponType, 1);
  EXPECT_EQ(T(1).lifetime, 100u);  // 4.0 x 25
  EXPECT_EQ(T(1).width, 0.2f);
  EXPECT_EQ(T(1).alpha, 0xFF);
  EXPECT_EQ(T(1).isTracer, 1);

  // A length of 1.5 gives 37.5 ms, truncated.
  weapons[2].ammoTrailLength = 1.5f;
  Shoot(2, 2, 0);
  Update(5016);
  EXPECT_EQ(T(2).lifetime, 37u);
  EXPECT_EQ(T(0).creationTime, 5016u);  // refreshed on every update while live
}

TEST_F(TrailUpdateTest, ALiveTrailNeverExpiresHoweverLongItFlies) {
  Shoot(0, 2, 0);  // lifetime 25 ms
  for (uint32_t clock = 0xFFFFFF00u, n = 0; n < 20; ++n, clock += 1000) {
    Update(clock);
    EXPECT_EQ(T(0).activity, 1);
    EXPECT_EQ(T(0).creationTime, clock);
  }
}

TEST_F(TrailUpdateTest, AlphaIsZeroWheneverThePlugInDrawsTheTrails) {
  struct Case {
    int32_t tracerType;
    uint8_t alpha;
  };
  // A negative TracerType is taken as 0: the host draws, with the row's alpha.
  for (Case c : {Case{0, 0x80}, Case{1, 0}, Case{2, 0}, Case{7, 0}, Case{-1, 0x80}}) {
    settings.TracerType = c.tracerType;
    Shoot(3, 0, 0);
    Update(100);
    EXPECT_EQ(T(3).alpha, c.alpha) << c.tracerType;
  }
}

TEST_F(TrailUpdateTest, AWeaponTypeOutsideTheTableUsesRowZeroButKeepsItsOwnLowByte) {
  settings.TracerType = 0;
  for (int32_t type : {3, 0x1FF, -1, -200, std::numeric_limits<int32_t>::min()}) {
    Shoot(0, type, 1);
    EXPECT_EQ(pool.extraArray[0].trailLength, 1.5f);  // row 0's tracer length
    Update(100);
    EXPECT_EQ(T(0).lifetime, 37u) << type;
    EXPECT_EQ(T(0).width, 0.2f);
    EXPECT_EQ(T(0).alpha, 0xFF);
    EXPECT_EQ(T(0).weaponType, static_cast<uint8_t>(type));
    EXPECT_FLOAT_EQ(Shown(0), 0.5f);
  }
}

TEST_F(TrailUpdateTest, AfterTheProjectileEndsTheTrailShrinksIntoItsLastPosition) {
  ProjectileRecord& p = Shoot(0, 0, 0);  // F = 3, refraction 6
  Update(1000);
  Update(1016);  // shown 1.0, refraction shown 1.0
  p.active = 0;  // stopped by an impact
  Update(1032);  // swap: shown 3 - 2 = 1.0, then decay to 0.5
  EXPECT_EQ(T(0).activity, 2);
  EXPECT_FLOAT_EQ(X(0).trailLength, 0.5f);
  EXPECT_FLOAT_EQ(X(0).refractLength, 0.5f);
  EXPECT_FLOAT_EQ(Shown(0), 0.5f);
  EXPECT_EQ(T(0).end[0], 10.0f);
  EXPECT_EQ(T(0).creationTime, 1016u);  // kept from the last live update
  EXPECT_EQ(T(0).lifetime, 75u);
  Update(1048);
  EXPECT_FLOAT_EQ(Shown(0), 0.0f);
  EXPECT_EQ(T(0).start[0], 10.0f);
  Update(1091);  // 75 ms after the last live update: not yet more than the lifetime
  EXPECT_EQ(T(0).activity, 2);
  EXPECT_EQ(X(0).trailLength, 0.0f);
  Update(1092);
  EXPECT_EQ(T(0).activity, 0);
  Update(1108);
  EXPECT_EQ(T(0).activity, 0);
}

// An endless length (a trail length beyond the float range) shows none of the trail: it stays
// on its head while the projectile lives and has none left to shrink when it ends. An endless
// width cannot be drawn: the trail lies on its head, with no width.
TEST_F(TrailUpdateTest, AnEndlessLengthOrWidthKeepsTheTrailOnItsHead) {
  weapons[0].ammoTrailLength = INFINITY;
  weapons[1].tracerTrailWidth = -INFINITY;
  Shoot(0, 0, 0);
  Shoot(1, 1, 1);
  for (int i = 0; i < 3; ++i) Update(1000);
  for (int slot : {0, 1}) {
    EXPECT_EQ(T(slot).activity, 1);
    EXPECT_EQ(T(slot).start[0], T(slot).end[0]);
    EXPECT_EQ(T(slot).start[2], T(slot).end[2]);
  }
  EXPECT_EQ(X(0).trailLength, INFINITY);
  EXPECT_EQ(X(0).refractLength, INFINITY);
  EXPECT_EQ(T(0).lifetime, 0u);  // the hardware's indefinite, as for any length out of range
  EXPECT_EQ(T(1).width, 0.0f);
  pool.projectileArray[0].active = 0;
  Update(1000);
  EXPECT_EQ(T(0).activity, 2);
  EXPECT_EQ(X(0).trailLength, 0.0f);
  EXPECT_EQ(X(0).refractLength, 0.0f);
  EXPECT_EQ(T(0).start[0], T(0).end[0]);
}

TEST_F(TrailUpdateTest, WithoutAfterEffectATrailVanishesAtTheFirstUpdateAfterItsEnd) {
  settings.AfterEffect = 0;
  ProjectileRecord& p = Shoot(0, 0, 0);
  Update(10);
  Update(26);
  const TrailRecord before = T(0);
  const ProjectileExtra extra = X(0);
  p.active = 0;
  Update(42);
  EXPECT_EQ(T(0).activity, 0);
  EXPECT_EQ(T(0).start[0], before.start[0]);  // a hidden slot is left alone
  EXPECT_EQ(X(0).trailLength, extra.trailLength);
}

TEST_F(TrailUpdateTest, ASlotReusedWhileItsTrailShrinksGetsActivityThreeAndNoSwap) {
  ProjectileRecord& p = Shoot(0, 0, 0);
  Update(1000);
  Update(1016);
  p.active = 0;
  Update(1032);  // shrinking, 0.5 shown
  ASSERT_EQ(T(0).activity, 2);
  ProjectileRecord& q = Shoot(0, 1, 0, 5.0f);  // F = 2; the new trail grows from nothing
  Update(1048);
  EXPECT_EQ(T(0).activity, 3);
  EXPECT_FLOAT_EQ(Shown(0), 0.5f);
  EXPECT_EQ(T(0).creationTime, 1048u);
  Update(1064);  // 1.0 shown: 1.0 not yet shown
  q.position[0] = 20.0f;
  q.active = 0;
  Update(1080);  // no swap: the tail lies trailLength (1.0 - 0.5) behind the last position
  EXPECT_EQ(T(0).activity, 3);
  EXPECT_FLOAT_EQ(X(0).trailLength, 0.5f);
  EXPECT_FLOAT_EQ(T(0).start[0], 20.0f - 5.0f * 0.5f);
  EXPECT_EQ(T(0).end[0], 20.0f);
  Update(1096);
  EXPECT_FLOAT_EQ(X(0).trailLength, 0.0f);
  Update(1064 + 51);  // lifetime 50 since the last live update
  EXPECT_EQ(T(0).activity, 0);
}

TEST_F(TrailUpdateTest, ExpiryAcrossAWrapOfTheClock) {
  ProjectileRecord& p = Shoot(0, 0, 0);  // lifetime 75
  Update(0xFFFFFFF0u);
  p.active = 0;
  Update(0xFFFFFFF8u);
  Update(0x00000010u);  // 32 ms later
  EXPECT_EQ(T(0).activity, 2);
  Update(0xFFFFFFF0u + 75u);  // exactly the lifetime: still shown
  EXPECT_EQ(T(0).activity, 2);
  Update(0xFFFFFFF0u + 76u);
  EXPECT_EQ(T(0).activity, 0);
}

TEST_F(TrailUpdateTest, NoSlotsMeansNothingIsTouched) {
  Shoot(0, 0, 0);  // F = 3.0
  for (int32_t slots : {0, -5}) {
    settings.MaxPellix = slots;
    Update(100);
    EXPECT_EQ(T(0).activity, 0);
    EXPECT_EQ(X(0).trailLength, 3.0f);  // not decayed
  }
  // With slots, a slot beyond MaxPellix is never written.
  settings.MaxPellix = 8;
  Shoot(7, 0, 0);
  settings.MaxPellix = 7;
  Update(100);
  EXPECT_EQ(T(7).activity, 0);
}

TEST_F(TrailUpdateTest, ALifetimeOutOfRangeGivesTheLowBitsOfTheHardwaresIndefinite) {
  struct Case {
    float full;
    uint32_t lifetime;
  };
  // Beyond 32 bits the low bits are kept; beyond 64 bits, and for NaN, they are 0.
  for (Case c : {Case{-1.0f, 0xFFFFFFE7u}, Case{171798688.0f, 4294967200u},
                 Case{1.0e9f, 3525163520u}, Case{1.0e18f, 0u},
                 Case{std::numeric_limits<float>::infinity(), 0u}, Case{std::nanf(""), 0u}}) {
    weapons[0].ammoTrailLength = c.full;
    Shoot(0, 0, 0);
    Update(100);
    EXPECT_EQ(T(0).lifetime, c.lifetime) << c.full;
  }
}

TEST_F(TrailUpdateTest, ATrailFollowsItsProjectileIntoAWallAndShrinksThere) {
  // Frames through the loop model: the shot flies at 2 units per step towards a wall at x = 17,
  // the host's hit handling ends it there, and the trail then shrinks into its last position.
  settings.minSpeedScaled = 1.0f;
  world.boxes.push_back({{17, -5, -5}, {20, 5, 5}, 2, 1});
  ProjectileRecord& p = Shoot(0, 0, 0);  // F = 3: 75 ms of lifetime
  std::vector<float> shown;
  int endedAtFrame = -1;
  for (int frame = 0; frame < 12; ++frame) {
    model->RunFrame(1.0f, 10);
    if (T(0).activity == 0) break;
    shown.push_back(Shown(0));
    if (p.active == 0 && endedAtFrame < 0) endedAtFrame = frame;
  }
  // Live at 10, 12, 14, 16; the step from 16 meets the wall and the host ends the projectile.
  ASSERT_EQ(endedAtFrame, 3);
  EXPECT_EQ(p.position[0], 16.0f);
  EXPECT_EQ(model->damageDealt.size(), 1u);
  // Grows 0.5, 1.0, 1.5 while live (the trace routine runs after each projectile loop), then
  // the swap turns 1.5 shown into 1.5 still shown, which shrinks by 0.5 per frame.
  const std::vector<float> expected = {0.5f, 1.0f, 1.5f, 1.0f, 0.5f, 0.0f, 0.0f, 0.0f};
  ASSERT_GE(shown.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_FLOAT_EQ(shown[i], expected[i]) << i;
  EXPECT_EQ(T(0).end[0], 16.0f);
  EXPECT_EQ(T(0).start[0], 16.0f);
  // Hidden once more than 75 ms have passed since the last live update (frame 2, at 30 ms).
  EXPECT_EQ(shown.size(), 10u);
  EXPECT_EQ(T(0).activity, 0);
}

TEST(TrailColourTest, PlainForEveryRecordThatIsNotATracer) {
  settings.weaponCount = 2;
  WeaponBallistics rows[2] = {};
  rows[0].tracerColour = 0xFF112233;
  rows[1].tracerColour = 0xFF445566;
  weaponTable = rows;
  EXPECT_EQ(TrailColour(0, 1), 0x00FFFF80u);
  EXPECT_EQ(TrailColour(2, 1), 0x00FFFF80u);  // only bit 0 counts
  EXPECT_EQ(TrailColour(0xFE, 0), 0x00FFFF80u);
  EXPECT_EQ(TrailColour(1, 1), 0xFF445566u);
  EXPECT_EQ(TrailColour(3, 1), 0xFF445566u);
  EXPECT_EQ(TrailColour(1, 2), 0xFF112233u);  // outside the table: row 0
  EXPECT_EQ(TrailColour(1, 0xFF), 0xFF112233u);
  weaponTable = nullptr;
  settings = Settings{};
}

}  // namespace
}  // namespace pellix
