// Whole runs of the host's projectile loop through the loop model.
#include <gtest/gtest.h>

#include <vector>

#include "host/host_addresses.h"
#include "tests/tools/loop_model/loop_fixture.h"

namespace pellix {
namespace {

namespace addr = host_addr;
using loop_model::Entry;
using loop_model::EntryEvent;
using testing::ClearLoopState;
using testing::LoopFixture;

// The shared state as it stood after one decision.
struct Snapshot {
  Entry entry;
  uint32_t resume;
  int32_t onPool, requested, count, pending, skip;
  float timeStep;
  int16_t damage;
  uint16_t saved;
};

class ProjectileLoopFrameTest : public LoopFixture {
 protected:
  void SetUp() override {
    LoopFixture::SetUp();
    settings.Ricochet = 1;
    settings.minSpeedScaled = 1.0f;
    // Grazing hits (cosine below 0.7) ricochet off class 0 and keep all speed and damage.
    surfaces[0] = SurfaceBallistics{0.7f, 0.0f, 1.0f, 0.0f, -1.0f};
    world.planes.push_back({{0, 0, 1}, 0.0f, 0, 1});  // the ground, z = 0
  }
  void Record(int slot) {
    snapshots.clear();
    model->observer = [this, slot](const EntryEvent& e) {
      const int16_t damage = pool.projectileArray[slot].damage;
      snapshots.push_back({e.entry, e.resume, projectileLoopOnPool, repeatRequested, repeatCount,
                           damageRestorePending, skipHostHit, model->timeStep, damage,
                           savedDamage});
    };
  }
  // A ceiling at z = h above the ground: a steep bounce between the two hits on every pass.
  void AddCeiling(float h) { world.planes.push_back({{0, 0, -1}, -h, 0, 1}); }
  int PassesOf(int slot) const {
    int n = 0;
    for (const auto& p : model->poolPasses) n += p.slot == slot;
    return n;
  }
  std::vector<Snapshot> snapshots;
};

TEST_F(ProjectileLoopFrameTest, OneRicochetInAFrameStepByStep) {
  settings.MaxPellix = 1;
  Rebuild();
  // Speed 5 at muzzle speed 100 (speedFactor 0.25): the hit deals 25 x 0.0625 x 100 = 156.25.
  ProjectileRecord& p = Fly(0, 0, 0.0f, 4.0f, 100);
  p.position[2] = 1.5f;
  p.velocity[2] = -3.0f;
  Record(0);
  model->timeStep = 1.0f;
  model->RunProjectileLoop();

  // Only the pool's decisions; the host's three records pass the loop end untouched.
  std::vector<Snapshot> s;
  for (const Snapshot& x : snapshots) {
    if (x.onPool || x.entry != Entry::ProjectileLoopEnd || x.resume == addr::ProjectileLoopAfter)
      s.push_back(x);
  }
  ASSERT_EQ(s.size(), 6u);
  // Switch onto the pool.
  EXPECT_EQ(s[0].entry, Entry::ProjectileLoopEnd);
  EXPECT_EQ(s[0].onPool, 1);
  EXPECT_EQ(savedTimeStep, 1.0f);
  // Steps 1-3: the first pass hits the ground at (2, 0, 0) after 2.5 units; the ricochet pushes
  // off by 0.01 / 1.2 and cuts the step to (5 - 2.5 - 0.01 / 1.2) / 5.
  EXPECT_EQ(s[1].entry, Entry::Impact);
  EXPECT_EQ(s[1].resume, addr::ImpactHitOther);
  EXPECT_EQ(s[1].pending, 1);
  EXPECT_EQ(s[1].saved, 100);
  EXPECT_EQ(s[1].damage, 156);
  EXPECT_EQ(s[1].requested, 1);
  EXPECT_EQ(s[1].skip, 0);
  EXPECT_NEAR(s[1].timeStep, (5.0 - 2.5 - 0.01 / 1.2) / 5.0, 1e-6);
  ASSERT_EQ(model->damageDealt.size(), 1u);
  EXPECT_EQ(model->damageDealt[0].damage, 156);
  EXPECT_TRUE(model->damageDealt[0].poolRecord);
  // Step 4: damage back, straight on to the advance.
  EXPECT_EQ(s[2].entry, Entry::StepEnd);
  EXPECT_EQ(s[2].resume, addr::StepEndAdvance);
  EXPECT_EQ(s[2].damage, 100);
  EXPECT_EQ(s[2].pending, 0);
  // Step 5: back to the same record.
  EXPECT_EQ(s[3].entry, Entry::ProjectileLoopEnd);
  EXPECT_EQ(s[3].resume, addr::ProjectileLoopTop);
  EXPECT_EQ(s[3].requested, 0);
  EXPECT_EQ(s[3].count, 1);
  EXPECT_EQ(s[3].timeStep, s[1].timeStep);
  // Steps 6-7: the second pass flies clear with the time left, then the frame's step is back.
  EXPECT_EQ(s[4].entry, Entry::StepEnd);
  EXPECT_EQ(s[4].resume, addr::StepEndResume);
  EXPECT_EQ(s[5].entry, Entry::ProjectileLoopEnd);
  EXPECT_EQ(s[5].resume, addr::ProjectileLoopAfter);
  EXPECT_EQ(s[5].count, 0);
  EXPECT_EQ(s[5].timeStep, 1.0f);
  EXPECT_EQ(s[5].onPool, 0);
  ASSERT_EQ(model->poolPasses.size(), 2u);
  EXPECT_EQ(model->poolPasses[1].timeStep, s[1].timeStep);
  // After the bounce it flies up and on: x = 2 + 0.8 x 0.01 / 1.2 + 4 x the cut step.
  EXPECT_EQ(p.active, 1);
  EXPECT_NEAR(p.position[0], 2.0 + 0.8 * 0.01 / 1.2 + 4.0 * s[1].timeStep, 1e-4);
  EXPECT_NEAR(p.position[2], 0.6 * 0.01 / 1.2 + 3.0 * s[1].timeStep, 1e-4);
  EXPECT_EQ(p.velocity[2], 3.0f);
  EXPECT_EQ(p.damage, 100);
  EXPECT_EQ(model->registerFaults, 0);
  EXPECT_EQ(model->runawayLoops, 0);
}

TEST_F(ProjectileLoopFrameTest, RepeatOnEveryPassIsSteppedOnePlusMaxLoopTimes) {
  AddCeiling(1.0f);
  for (int32_t maxLoop : {8, 3, 0, -2}) {
    settings.MaxLoop = maxLoop;
    ClearLoopState();
    model->ClearRecords();
    ProjectileRecord& p = Fly(2, 0, 0.0f, 4.0f);
    p.position[2] = 0.5f;
    p.velocity[2] = -3.0f;
    model->timeStep = 1.0f;
    model->RunProjectileLoop();
    const int expected = 1 + (maxLoop > 0 ? maxLoop : 0);
    EXPECT_EQ(PassesOf(2), expected) << maxLoop;
    // The request of the last pass was dropped: the next record starts clean.
    for (const auto& pass : model->poolPasses) {
      if (pass.slot == 3) {
        EXPECT_EQ(pass.repeatRequested, 0);
        EXPECT_EQ(pass.repeatCount, 0);
        EXPECT_EQ(pass.timeStep, 1.0f);
      }
    }
    EXPECT_EQ(p.active, 1);
    EXPECT_GT(p.position[2], 0.0f);  // kept where the last impact left it, between the planes
    EXPECT_LT(p.position[2], 1.0f);
    EXPECT_EQ(model->timeStep, 1.0f);
    EXPECT_EQ(model->registerFaults, 0);
  }
}

TEST_F(ProjectileLoopFrameTest, RepeatOnTheLastPoolRecordRunsBeforeTheLoopLeaves) {
  AddCeiling(1.0f);
  settings.MaxLoop = 2;
  const int last = settings.MaxPellix - 1;
  ProjectileRecord& p = Fly(last, 0, 0.0f, 4.0f);
  p.position[2] = 0.5f;
  p.velocity[2] = -3.0f;
  std::vector<uint32_t> loopEnds;
  model->observer = [&](const EntryEvent& e) {
    if (e.entry == Entry::ProjectileLoopEnd) loopEnds.push_back(e.resume);
  };
  model->RunProjectileLoop();
  EXPECT_EQ(PassesOf(last), 3);
  ASSERT_GE(loopEnds.size(), 3u);
  EXPECT_EQ(loopEnds.back(), addr::ProjectileLoopAfter);
  EXPECT_EQ(loopEnds[loopEnds.size() - 2], addr::ProjectileLoopTop);
  EXPECT_EQ(model->poolPasses.back().slot, last);
  EXPECT_EQ(projectileLoopOnPool, 0);
}

TEST_F(ProjectileLoopFrameTest, AnIdlePoolIsStillWalkedSlotBySlot) {
  for (float step : {1.0f, 0.25f}) {
    model->ClearRecords();
    model->timeStep = step;
    model->RunProjectileLoop();
    ASSERT_EQ(model->poolPasses.size(), static_cast<size_t>(settings.MaxPellix));
    for (int i = 0; i < settings.MaxPellix; ++i) EXPECT_EQ(model->poolPasses[i].slot, i);
    EXPECT_EQ(model->timeStep, savedTimeStep);
    EXPECT_EQ(model->timeStep, step);
    EXPECT_EQ(projectileLoopOnPool, 0);
  }
}

TEST_F(ProjectileLoopFrameTest, TheHostsOwnRecordsNeverReachTheImpactResponse) {
  world.boxes.push_back({{5, -1, 0}, {6, 1, 2}, 4, 3});  // a pedestrian
  ProjectileRecord& h = model->hostProjectiles[1];
  h.expiryTime = 1.0e9f;
  h.active = 1;
  h.position[2] = 1.0f;
  h.velocity[0] = 10.0f;
  h.damage = 33;
  model->RunProjectileLoop();
  ASSERT_EQ(model->damageDealt.size(), 1u);
  EXPECT_FALSE(model->damageDealt[0].poolRecord);
  EXPECT_EQ(model->damageDealt[0].index, 1);
  EXPECT_EQ(model->damageDealt[0].damage, 33);  // unscaled
  EXPECT_EQ(model->damageDealt[0].handler, addr::ImpactHitTypeThree);
  EXPECT_EQ(model->surfaceClassCalls, 0);
  EXPECT_EQ(model->lineTests, 0);  // no sweep either
  EXPECT_EQ(damageRestorePending, 0);
  EXPECT_EQ(h.active, 0);  // the host's own hit handling ended it
}

TEST_F(ProjectileLoopFrameTest, ASkippedHitLeavesTheFlagClearForTheNextHit) {
  settings.minSpeedScaled = 100.0f;  // every pool projectile is below the floor
  for (int slot : {0, 1}) {
    ProjectileRecord& p = Fly(slot, 0, 0.0f, 4.0f);
    p.velocity[2] = -3.0f;
  }
  std::vector<int32_t> skipAfterImpact;
  model->observer = [&](const EntryEvent& e) {
    if (e.entry == Entry::Impact) {
      EXPECT_EQ(e.resume, addr::ImpactSkipHostHit);
      skipAfterImpact.push_back(skipHostHit);
    }
  };
  model->RunProjectileLoop();
  EXPECT_EQ(skipAfterImpact, (std::vector<int32_t>{0, 0}));
  EXPECT_TRUE(model->damageDealt.empty());
  EXPECT_EQ(pool.projectileArray[0].active, 0);
  EXPECT_EQ(pool.projectileArray[1].active, 0);
  EXPECT_EQ(PassesOf(0), 1);
}

TEST_F(ProjectileLoopFrameTest, APenetrationEntersAndLeavesABoxWithinOneFrame) {
  settings.Ricochet = 0;
  settings.Pierce = 1;
  settings.MaxPellix = 1;
  Rebuild();
  world.planes.clear();
  world.boxes.push_back({{2, -1, 0}, {3, 1, 2}, 1, 1});  // class 1: pierced at no cost
  ProjectileRecord& p = Fly(0, 0, 0.0f, 4.0f, 100);      // speed 4 = muzzle speed: damage x 1
  std::vector<uint32_t> impacts;
  model->observer = [&](const EntryEvent& e) {
    if (e.entry == Entry::Impact) impacts.push_back(e.resume);
  };
  model->RunProjectileLoop();
  // Pass 1 enters at x = 2 and is pushed in by 0.01 / 2; the host deals the damage.
  // Pass 2 (step (4 - 2.005) / 4) leaves at x = 3: no damage, the host's handling is skipped.
  // Pass 3 runs with (4 - (0.995 + 0.005)) / 4, again measured from the frame's full step.
  EXPECT_EQ(impacts, (std::vector<uint32_t>{addr::ImpactHitOther, addr::ImpactSkipHostHit}));
  ASSERT_EQ(model->poolPasses.size(), 3u);
  EXPECT_EQ(model->poolPasses[0].timeStep, 1.0f);
  EXPECT_NEAR(model->poolPasses[1].timeStep, 0.49875, 1e-6);
  EXPECT_NEAR(model->poolPasses[2].timeStep, 0.75, 1e-6);
  ASSERT_EQ(model->damageDealt.size(), 1u);
  EXPECT_EQ(model->damageDealt[0].damage, 100);
  EXPECT_EQ(p.damage, 100);  // restored after both hits
  EXPECT_EQ(p.active, 1);
  EXPECT_FLOAT_EQ(p.velocity[0], 4.0f);
  EXPECT_NEAR(p.position[0], 3.005 + 4.0 * 0.75, 1e-5);
  EXPECT_EQ(pool.extraArray[0].entryClass, 1);
  EXPECT_EQ(pool.extraArray[0].entryPoint[0], 2.0f);
  EXPECT_EQ(skipHostHit, 0);
  EXPECT_EQ(damageRestorePending, 0);
  EXPECT_EQ(model->timeStep, 1.0f);
}

TEST_F(ProjectileLoopFrameTest, FlightForcesActOnEveryPassWithThatPasssStep) {
  settings.Gravity = 1;
  settings.MaxPellix = 1;
  Rebuild();
  ProjectileRecord& p = Fly(0, 0, 0.0f, 4.0f);
  p.position[2] = 1.5f;
  p.velocity[2] = -3.0f;
  std::vector<float> forceSteps;
  model->observer = [&](const EntryEvent& e) {
    if (e.entry == Entry::FlightForces && projectileLoopOnPool)
      forceSteps.push_back(model->timeStep);
  };
  model->RunProjectileLoop();
  ASSERT_EQ(model->poolPasses.size(), 2u);  // one ricochet, one repeat
  ASSERT_EQ(forceSteps.size(), 2u);
  EXPECT_EQ(forceSteps[0], 1.0f);
  EXPECT_EQ(forceSteps[1], model->poolPasses[1].timeStep);
  EXPECT_LT(forceSteps[1], 1.0f);

  // Without Gravity and AirResist the hook is not installed: no call at all.
  settings.Gravity = 0;
  forceSteps.clear();
  Fly(0, 0, 0.0f, 4.0f);
  model->RunProjectileLoop();
  EXPECT_TRUE(forceSteps.empty());
}

TEST_F(ProjectileLoopFrameTest, AnAreaWeaponEndsAtItsFirstHitWithItsOwnDamage) {
  weapons.resize(40, weapons[0]);
  settings.weaponCount = 40;
  weaponTable = weapons.data();
  ProjectileRecord& p = Fly(1, 34, 0.0f, 4.0f, 250);
  p.velocity[2] = -3.0f;
  p.shooter = 0x4444;
  model->RunProjectileLoop();
  ASSERT_EQ(model->areaImpacts.size(), 1u);
  EXPECT_EQ(model->areaImpacts[0].shooter, 0x4444u);
  EXPECT_NEAR(model->areaImpacts[0].point[0], 4.0f / 3.0f, 1e-6);
  ASSERT_EQ(model->damageDealt.size(), 1u);
  EXPECT_EQ(model->damageDealt[0].damage, 250);  // not scaled
  EXPECT_EQ(p.active, 0);
  EXPECT_EQ(damageRestorePending, 0);
  EXPECT_EQ(PassesOf(1), 1);
}

TEST_F(ProjectileLoopFrameTest, ANegativeCutStepMovesTheRoundBackByItsOvershoot) {
  // Worked by hand. From (0, 0, 0.1) at (4, 0, -0.2) (speed sqrt(16.04)) the ground is hit
  // half-way, at (2, 0, 0), after sqrt(4.01). D = -0.4; the bounce gives (4, 0, 0.2) and the
  // push-off P = 5 / (0.4 / speed) puts the round at (2, 0, 0) + (4, 0, 0.2) x 5 / 0.4 =
  // (52, 0, 2.5). Travelled sqrt(4.01) + P = speed x 13, so the cut step is 1 - 13 = -12, and
  // the repeat moves it back to (52, 0, 2.5) - 12 x (4, 0, 0.2) = (4, 0, 0.1): where the half
  // step left after the bounce takes it.
  settings.ColBias = 5.0f;
  ProjectileRecord& p = Fly(0, 0, 0.0f, 4.0f);
  p.position[2] = 0.1f;
  p.velocity[2] = -0.2f;
  model->RunProjectileLoop();
  ASSERT_EQ(PassesOf(0), 2);
  EXPECT_NEAR(model->poolPasses[1].timeStep, -12.0f, 1e-5);
  EXPECT_EQ(model->poolPasses[1].repeatCount, 1);
  EXPECT_EQ(model->timeStep, 1.0f);
  EXPECT_EQ(p.active, 1);
  EXPECT_NEAR(p.position[0], 4.0f, 1e-4);
  EXPECT_EQ(p.position[1], 0.0f);
  EXPECT_NEAR(p.position[2], 0.1f, 1e-5);
  EXPECT_EQ(p.velocity[0], 4.0f);
  EXPECT_EQ(p.velocity[2], 0.2f);
}

TEST_F(ProjectileLoopFrameTest, TheHostEndsExpiredRecordsAndManyFramesStayConsistent) {
  AddCeiling(3.0f);
  settings.Gravity = 1;
  for (int i = 0; i < settings.MaxPellix; ++i) {
    ProjectileRecord& p = Fly(i, i % 4, 0.0f, 3.0f + i);
    p.position[2] = 1.0f + 0.2f * i;
    p.velocity[1] = 0.5f * i;
    p.velocity[2] = -2.0f + 0.5f * i;
    p.expiryTime = 100.0f * (i + 1);
  }
  for (int frame = 0; frame < 60; ++frame) {
    model->RunFrame(0.8f, 16);
    EXPECT_EQ(projectileLoopOnPool, 0);
    EXPECT_EQ(traceLoopOnPool, 0);
    EXPECT_EQ(repeatRequested, 0);
    EXPECT_EQ(damageRestorePending, 0);
    EXPECT_EQ(skipHostHit, 0);
    EXPECT_EQ(model->timeStep, 0.8f);
  }
  for (int i = 0; i < settings.MaxPellix; ++i) {
    EXPECT_EQ(pool.projectileArray[i].active, 0) << i;  // 960 ms: all expired or stopped
  }
  EXPECT_EQ(model->registerFaults, 0);
  EXPECT_EQ(model->runawayLoops, 0);
}

}  // namespace
}  // namespace pellix
