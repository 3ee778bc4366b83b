// The projectile-loop decisions, row by row, on register snapshots.
#include "sim/projectile_loop.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "host/host_addresses.h"
#include "host/host_api.h"
#include "tests/tools/loop_model/loop_fixture.h"

namespace pellix {
namespace {

namespace addr = host_addr;
using testing::ClearLoopState;
using testing::LoopFixture;

uintptr_t Edi(int slot) { return reinterpret_cast<uintptr_t>(pool.projectileArray + slot) + 4; }

HookRegisters Canary() {
  return HookRegisters{0x11111111, 0x22222222, 0x33333333, 0x44444444,
                       0x55555555, 0x66666666, 0x77777777, 0x88888888};
}

class ProjectileLoopTest : public LoopFixture {
 protected:
  void SetUp() override {
    LoopFixture::SetUp();
    std::memset(frame, 0, sizeof frame);
    regs = Canary();
    regs.esp = reinterpret_cast<uintptr_t>(frame);
  }
  // The host's hit frame at the impact site.
  void PutHit(const float (&point)[3], const float (&normal)[3], uint8_t surfaceId) {
    std::memcpy(frame + 0x24, point, sizeof point);
    std::memcpy(frame + 0x34, normal, sizeof normal);
    frame[0x57] = surfaceId;
  }
  alignas(16) uint8_t frame[0x80];
  HookRegisters regs;
};

// Every field but the named ones is as it was.
void ExpectOnlyChanged(const HookRegisters& before, const HookRegisters& after,
                       std::initializer_list<uintptr_t HookRegisters::*> owned) {
  for (auto field :
       {&HookRegisters::edi, &HookRegisters::esi, &HookRegisters::ebp, &HookRegisters::esp,
        &HookRegisters::ebx, &HookRegisters::edx, &HookRegisters::ecx, &HookRegisters::eax}) {
    bool isOwned = false;
    for (auto o : owned) isOwned |= o == field;
    if (!isOwned) {
      EXPECT_EQ(before.*field, after.*field);
    }
  }
}

TEST_F(ProjectileLoopTest, LoopEndOnTheHostsOwnRecordsOnlyTests) {
  model->timeStep = 0.75f;
  savedTimeStep = 0.25f;
  repeatRequested = 1;
  repeatCount = 3;
  regs.edi = addr::HostProjectileArrayEnd - 1;
  const HookRegisters before = regs;
  EXPECT_EQ(ProjectileLoopEndEntry(regs), addr::ProjectileLoopTop);
  ExpectOnlyChanged(before, regs, {});
  EXPECT_EQ(projectileLoopOnPool, 0);
  EXPECT_EQ(repeatRequested, 1);
  EXPECT_EQ(repeatCount, 3);
  EXPECT_EQ(savedTimeStep, 0.25f);
  EXPECT_EQ(model->timeStep, 0.75f);
}

TEST_F(ProjectileLoopTest, LoopEndSwitchesOntoThePoolAtTheHostsArrayEnd) {
  for (uintptr_t edi : {uintptr_t{addr::HostProjectileArrayEnd}, uintptr_t{0xC888A4 + 40}}) {
    ClearLoopState();
    model->timeStep = 0.75f;
    repeatRequested = 1;
    repeatCount = 5;
    regs.edi = edi;
    const HookRegisters before = regs;
    EXPECT_EQ(ProjectileLoopEndEntry(regs), addr::ProjectileLoopTop);
    EXPECT_EQ(regs.edi, Edi(0));
    ExpectOnlyChanged(before, regs, {&HookRegisters::edi});
    EXPECT_EQ(savedTimeStep, 0.75f);
    EXPECT_EQ(projectileLoopOnPool, 1);
    EXPECT_EQ(repeatRequested, 0);
    EXPECT_EQ(repeatCount, 0);
  }
}

TEST_F(ProjectileLoopTest, LoopEndWithoutPoolSlotsLeavesAtTheHostsArrayEnd) {
  for (int32_t slots : {0, -1}) {
    settings.MaxPellix = slots;
    Rebuild();
    savedTimeStep = 0.5f;
    regs.edi = addr::HostProjectileArrayEnd;
    const HookRegisters before = regs;
    EXPECT_EQ(ProjectileLoopEndEntry(regs), addr::ProjectileLoopAfter);
    ExpectOnlyChanged(before, regs, {});
    EXPECT_EQ(projectileLoopOnPool, 0);
    EXPECT_EQ(savedTimeStep, 0.5f);
  }
}

TEST_F(ProjectileLoopTest, LoopEndRepeatsTheSameRecordWhileRepeatsRemain) {
  projectileLoopOnPool = 1;
  savedTimeStep = 1.0f;
  model->timeStep = 0.4f;  // the cut step
  repeatRequested = 1;
  repeatCount = settings.MaxLoop - 1;
  regs.edi = Edi(3) + 44;  // the host has advanced
  EXPECT_EQ(ProjectileLoopEndEntry(regs), addr::ProjectileLoopTop);
  EXPECT_EQ(regs.edi, Edi(3));
  EXPECT_EQ(repeatRequested, 0);
  EXPECT_EQ(repeatCount, settings.MaxLoop);
  EXPECT_EQ(model->timeStep, 0.4f);  // the extra pass uses the cut step
  EXPECT_EQ(projectileLoopOnPool, 1);
}

TEST_F(ProjectileLoopTest, LoopEndFinishesARecordAndRestoresTheFramesStep) {
  struct Case {
    int32_t requested, count, maxLoop;
  };
  // No repeat; a repeat past MaxLoop; MaxLoop 0 and below drop every repeat.
  for (Case c : {Case{0, 0, 8}, Case{0, 2, 8}, Case{1, 8, 8}, Case{1, 0, 0}, Case{1, 0, -3}}) {
    settings.MaxLoop = c.maxLoop;
    projectileLoopOnPool = 1;
    savedTimeStep = 1.0f;
    model->timeStep = 0.4f;
    repeatRequested = c.requested;
    repeatCount = c.count;
    regs.edi = Edi(3) + 44;
    EXPECT_EQ(ProjectileLoopEndEntry(regs), addr::ProjectileLoopTop);
    EXPECT_EQ(regs.edi, Edi(4));
    EXPECT_EQ(repeatRequested, 0);
    EXPECT_EQ(repeatCount, 0);
    EXPECT_EQ(model->timeStep, 1.0f);
    EXPECT_EQ(projectileLoopOnPool, 1);
  }
}

TEST_F(ProjectileLoopTest, LoopEndLeavesAfterTheLastSlotsLastPass) {
  projectileLoopOnPool = 1;
  savedTimeStep = 1.0f;
  model->timeStep = 0.3f;
  regs.edi = Edi(settings.MaxPellix - 1) + 44;
  const HookRegisters before = regs;
  EXPECT_EQ(ProjectileLoopEndEntry(regs), addr::ProjectileLoopAfter);
  ExpectOnlyChanged(before, regs, {});
  EXPECT_EQ(projectileLoopOnPool, 0);
  EXPECT_EQ(model->timeStep, 1.0f);

  // A repeat on the last slot still runs first.
  projectileLoopOnPool = 1;
  repeatRequested = 1;
  regs.edi = Edi(settings.MaxPellix - 1) + 44;
  EXPECT_EQ(ProjectileLoopEndEntry(regs), addr::ProjectileLoopTop);
  EXPECT_EQ(regs.edi, Edi(settings.MaxPellix - 1));
  EXPECT_EQ(projectileLoopOnPool, 1);
}

// The cut step is not checked: a negative or zero step runs its pass like any other.
TEST_F(ProjectileLoopTest, LoopEndRepeatsWithANegativeOrZeroCutStep) {
  for (float cut : {-12.25f, -0.0f, 0.0f}) {
    projectileLoopOnPool = 1;
    savedTimeStep = 1.0f;
    model->timeStep = cut;
    repeatRequested = 1;
    repeatCount = 0;
    regs.edi = Edi(2) + 44;
    EXPECT_EQ(ProjectileLoopEndEntry(regs), addr::ProjectileLoopTop);
    EXPECT_EQ(regs.edi, Edi(2)) << cut;
    EXPECT_EQ(repeatRequested, 0);
    EXPECT_EQ(repeatCount, 1);
    EXPECT_EQ(model->timeStep, cut);
  }
}

TEST_F(ProjectileLoopTest, ImpactOnAHostRecordOnlyReproducesTheDecisionOnAL) {
  struct Case {
    uintptr_t eax;
    uint32_t resume;
  };
  host.surfaceClass = [](uint32_t) -> uint32_t { std::abort(); };
  for (Case c : {Case{0x3, addr::ImpactHitTypeThree}, Case{0xABCD0103, addr::ImpactHitTypeThree},
                 Case{0x2, addr::ImpactHitOther}, Case{0x300, addr::ImpactHitOther},
                 Case{0x4, addr::ImpactHitOther}, Case{0xFF, addr::ImpactHitOther}}) {
    regs.eax = c.eax;
    regs.edi = model->HostProjectileAddress(1) + 4;
    model->hostProjectiles[1].damage = 40;
    const HookRegisters before = regs;
    EXPECT_EQ(ImpactEntry(regs), c.resume) << std::hex << c.eax;
    ExpectOnlyChanged(before, regs, {});
    EXPECT_EQ(damageRestorePending, 0);
    EXPECT_EQ(model->hostProjectiles[1].damage, 40);
  }
}

uint32_t lastSurfaceId;
uint32_t RecordSurface(uint32_t id) {
  lastSurfaceId = id;
  return 1;  // the pierceable class of the fixture
}

TEST_F(ProjectileLoopTest, ImpactOnAPoolRecordHandsTheHitFrameToTheImpactResponse) {
  settings.Pierce = 1;
  settings.minSpeedScaled = 1.0f;
  host.surfaceClass = &RecordSurface;
  projectileLoopOnPool = 1;
  ProjectileRecord& p = Fly(2, 0, 0.0f, 4.0f, 100);  // speed 4, speedFactor 0.25
  const float point[3] = {2.0f, 0.0f, 1.0f};
  const float normal[3] = {-1.0f, 0.0f, 0.0f};
  PutHit(point, normal, 0xC7);
  regs.edi = Edi(2);
  regs.eax = 0x12345601;
  const HookRegisters before = regs;
  EXPECT_EQ(ImpactEntry(regs), addr::ImpactHitOther);
  ExpectOnlyChanged(before, regs, {});
  EXPECT_EQ(lastSurfaceId, 0xC7u);  // the byte at ESP + 0x57, zero-extended
  // Entering a solid of class 1: the entry point is the hit point, the budget the damage
  // scaled by (4 x 0.25)^2 = 1.
  const ProjectileExtra& x = pool.extraArray[2];
  EXPECT_EQ(x.entryClass, 1);
  EXPECT_EQ(x.entryPoint[0], 2.0f);
  EXPECT_EQ(x.entryPoint[2], 1.0f);
  EXPECT_EQ(x.pierceBudget, 100.0f);
  EXPECT_EQ(damageRestorePending, 1);
  EXPECT_EQ(savedDamage, 100);
  EXPECT_EQ(repeatRequested, 1);
  EXPECT_EQ(p.active, 1);
  EXPECT_GT(p.position[0], 2.0f);  // pushed into the solid along the flight
}

TEST_F(ProjectileLoopTest, ImpactPassesEaxAsTheHitKind) {
  settings.Pierce = 1;
  settings.minSpeedScaled = 1.0f;
  surfaces[SurfaceC].pierceResistance = 0.0f;
  host.surfaceClass = [](uint32_t) -> uint32_t { std::abort(); };
  projectileLoopOnPool = 1;
  Fly(1, 0, 0.0f, 4.0f, 100);
  const float point[3] = {2.0f, 0.0f, 1.0f};
  const float normal[3] = {-1.0f, 0.0f, 0.0f};
  PutHit(point, normal, 0);
  regs.edi = Edi(1);
  regs.eax = 0x7702;  // AL 2: class 5 whatever the surface id says
  EXPECT_EQ(ImpactEntry(regs), addr::ImpactHitOther);
  EXPECT_EQ(pool.extraArray[1].entryClass, 5);
}

TEST_F(ProjectileLoopTest, ImpactSkipsTheHostsHitHandlingOnceAndClearsTheFlag) {
  settings.minSpeedScaled = 25.0f;
  projectileLoopOnPool = 1;
  ProjectileRecord& p = Fly(0, 0, 0.0f, 4.0f, 100);  // below the speed floor
  const float point[3] = {2.0f, 0.0f, 1.0f};
  const float normal[3] = {-1.0f, 0.0f, 0.0f};
  PutHit(point, normal, 0);
  regs.edi = Edi(0);
  regs.eax = 3;
  const HookRegisters before = regs;
  EXPECT_EQ(ImpactEntry(regs), addr::ImpactSkipHostHit);
  ExpectOnlyChanged(before, regs, {});
  EXPECT_EQ(skipHostHit, 0);
  EXPECT_EQ(p.active, 0);
  EXPECT_EQ(repeatRequested, 0);

  // The next hit starts with the flag clear: a plain hit reaches the decision on AL.
  settings.minSpeedScaled = 1.0f;
  Fly(1, 0, 0.0f, 4.0f, 100);
  regs.edi = Edi(1);
  EXPECT_EQ(ImpactEntry(regs), addr::ImpactHitTypeThree);
  EXPECT_EQ(skipHostHit, 0);
}

TEST_F(ProjectileLoopTest, StepEndRestoresTheDamageAndLeavesForARepeat) {
  projectileLoopOnPool = 1;
  damageRestorePending = 1;
  savedDamage = 0xFFF0;  // read back as the int16 -16
  repeatRequested = 1;
  ProjectileRecord& p = Fly(5, 0, 0.0f, 1.0f, 7);
  regs.edi = Edi(5);
  const HookRegisters before = regs;
  EXPECT_EQ(StepEndEntry(regs), addr::StepEndAdvance);
  ExpectOnlyChanged(before, regs, {});  // no loads on the way to the advance
  EXPECT_EQ(p.damage, -16);
  EXPECT_EQ(damageRestorePending, 0);
  EXPECT_EQ(repeatRequested, 1);
}

TEST_F(ProjectileLoopTest, StepEndLoadsEcxAndEdxOtherwise) {
  const uint32_t ecx = 0xCAFEF00D, edx = 0x0BADBEEF;
  std::memcpy(frame + 0x14, &ecx, 4);
  std::memcpy(frame + 0x18, &edx, 4);
  struct Case {
    int32_t onPool, pending, requested;
    bool restores;
  };
  for (Case c : {Case{1, 1, 0, true}, Case{1, 0, 1, false}, Case{1, 0, 0, false},
                 Case{0, 1, 1, false}, Case{0, 0, 0, false}}) {
    projectileLoopOnPool = c.onPool;
    damageRestorePending = c.pending;
    repeatRequested = c.requested;
    savedDamage = 55;
    ProjectileRecord& p = Fly(0, 0, 0.0f, 1.0f, 9);
    model->hostProjectiles[0].damage = 9;
    regs = Canary();
    regs.esp = reinterpret_cast<uintptr_t>(frame);
    regs.edi = c.onPool ? Edi(0) : model->HostProjectileAddress(0) + 4;
    const HookRegisters before = regs;
    EXPECT_EQ(StepEndEntry(regs), addr::StepEndResume);
    ExpectOnlyChanged(before, regs, {&HookRegisters::ecx, &HookRegisters::edx});
    EXPECT_EQ(regs.ecx, ecx);
    EXPECT_EQ(regs.edx, edx);
    EXPECT_EQ(p.damage, c.restores ? 55 : 9);
    EXPECT_EQ(model->hostProjectiles[0].damage, 9);  // never a host record's damage
    EXPECT_EQ(damageRestorePending, c.restores ? 0 : c.pending);
  }
}

TEST_F(ProjectileLoopTest, FlightForcesReachTheRecordAtEdiMinusFour) {
  settings.Gravity = 1;
  ProjectileRecord& p = Fly(4, 0, 0.0f, 1.0f);
  projectileLoopOnPool = 1;
  regs.edi = Edi(4);
  HookRegisters before = regs;
  FlightForcesEntry(regs, 2.0f);
  ExpectOnlyChanged(before, regs, {});
  EXPECT_FLOAT_EQ(p.velocity[2], -0.064f);
  EXPECT_EQ(p.velocity[0], 1.0f);

  // The host's own records are stepped by the same code.
  projectileLoopOnPool = 0;
  model->hostProjectiles[2].velocity[2] = 1.0f;
  regs.edi = model->HostProjectileAddress(2) + 4;
  FlightForcesEntry(regs, 1.0f);
  EXPECT_FLOAT_EQ(model->hostProjectiles[2].velocity[2], 1.0f - 0.032f);
  EXPECT_EQ(p.velocity[2], -0.064f);
}

}  // namespace
}  // namespace pellix
