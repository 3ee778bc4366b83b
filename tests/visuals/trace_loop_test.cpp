// The trace-loop decisions, row by row, and whole runs of the host's trace routine.
#include "visuals/trace_loop.h"

#include <gtest/gtest.h>

#include <cstring>

#include "host/host_addresses.h"
#include "tests/tools/loop_model/loop_fixture.h"
#include "visuals/trail_update.h"

namespace pellix {
namespace {

namespace addr = host_addr;
using loop_model::Entry;
using loop_model::EntryEvent;
using testing::LoopFixture;

int draws = 0;
int drawsWhileOnPool = 0;
void CountDraw() {
  ++draws;
  drawsWhileOnPool += traceLoopOnPool;
}

uintptr_t Esi(const TrailRecord* record) { return reinterpret_cast<uintptr_t>(record) + 8; }

class TraceLoopTest : public LoopFixture {
 protected:
  void SetUp() override {
    LoopFixture::SetUp();
    draws = 0;
    drawsWhileOnPool = 0;
    drawTracers = &CountDraw;
    regs = HookRegisters{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
  }
  HookRegisters regs;
};

void ExpectOnlyEsiChanged(const HookRegisters& a, const HookRegisters& b) {
  EXPECT_EQ(a.edi, b.edi);
  EXPECT_EQ(a.ebp, b.ebp);
  EXPECT_EQ(a.esp, b.esp);
  EXPECT_EQ(a.ebx, b.ebx);
  EXPECT_EQ(a.edx, b.edx);
  EXPECT_EQ(a.ecx, b.ecx);
  EXPECT_EQ(a.eax, b.eax);
}

// All zero but activity 1 and lifetime 0x7FFFFFFF.
bool SentinelIntact() {
  uint8_t expected[44] = {};
  expected[24] = 1;
  const uint32_t lifetime = 0x7FFFFFFF;
  std::memcpy(expected + 32, &lifetime, 4);
  return std::memcmp(&sentinelTrace, expected, sizeof expected) == 0;
}

TEST(SentinelTraceTest, ShownNeverExpiringAndOtherwiseZero) { EXPECT_TRUE(SentinelIntact()); }

TEST_F(TraceLoopTest, OnTheHostsOwnRecordsTheEntryOnlyTests) {
  for (int32_t tracerType : {0, 2}) {
    settings.TracerType = tracerType;
    // The host's test is signed: a "negative" ESI is below the limit too.
    for (uintptr_t esi : {uintptr_t{0xC7CA10 - 1}, uintptr_t{0x100}, static_cast<uintptr_t>(-8)}) {
      regs.esi = esi;
      const HookRegisters before = regs;
      EXPECT_EQ(TraceLoopEndEntry(regs), addr::TraceLoopTop);
      EXPECT_EQ(regs.esi, esi);
      ExpectOnlyEsiChanged(before, regs);
      EXPECT_EQ(traceLoopOnPool, 0);
    }
  }
  EXPECT_EQ(draws, 0);
}

TEST_F(TraceLoopTest, AtTheHostsArrayEndTheLoopTurnsOntoThePoolOrTheSentinel) {
  struct Case {
    int32_t tracerType;
    uintptr_t esi;
  };
  for (Case c : {Case{0, Esi(pool.trailArray)}, Case{-3, Esi(pool.trailArray)},
                 Case{1, Esi(&sentinelTrace)}, Case{2, Esi(&sentinelTrace)}}) {
    settings.TracerType = c.tracerType;
    traceLoopOnPool = 0;
    regs.esi = 0xC7CA10;
    const HookRegisters before = regs;
    EXPECT_EQ(TraceLoopEndEntry(regs), addr::TraceLoopTop);
    EXPECT_EQ(regs.esi, c.esi) << c.tracerType;
    ExpectOnlyEsiChanged(before, regs);
    EXPECT_EQ(traceLoopOnPool, 1);
  }
  EXPECT_EQ(draws, 0);
}

TEST_F(TraceLoopTest, OnThePoolTheHostDrawsUntilTheArrayEnd) {
  settings.TracerType = 0;
  traceLoopOnPool = 1;
  regs.esi = Esi(pool.trailArray + settings.MaxPellix - 1);
  EXPECT_EQ(TraceLoopEndEntry(regs), addr::TraceLoopTop);
  EXPECT_EQ(traceLoopOnPool, 1);
  regs.esi = Esi(pool.trailArrayEnd);
  const HookRegisters before = regs;
  EXPECT_EQ(TraceLoopEndEntry(regs), addr::TraceLoopAfter);
  ExpectOnlyEsiChanged(before, regs);
  EXPECT_EQ(regs.esi, before.esi);
  EXPECT_EQ(traceLoopOnPool, 0);
  EXPECT_EQ(draws, 0);
}

TEST_F(TraceLoopTest, AfterTheSentinelThePlugInDrawsOnce) {
  settings.TracerType = 1;
  traceLoopOnPool = 1;
  regs.esi = Esi(&sentinelTrace) + 44;
  const HookRegisters before = regs;
  EXPECT_EQ(TraceLoopEndEntry(regs), addr::TraceLoopAfter);
  ExpectOnlyEsiChanged(before, regs);
  EXPECT_EQ(draws, 1);
  EXPECT_EQ(traceLoopOnPool, 0);

  drawTracers = nullptr;  // not yet wired: the loop still leaves cleanly
  traceLoopOnPool = 1;
  EXPECT_EQ(TraceLoopEndEntry(regs), addr::TraceLoopAfter);
  EXPECT_EQ(traceLoopOnPool, 0);
}

TEST_F(TraceLoopTest, WithoutPoolSlotsTheLoopLeavesAtTheHostsArrayEnd) {
  for (int32_t tracerType : {0, 2}) {
    for (int32_t slots : {0, -1}) {
      settings.TracerType = tracerType;
      settings.MaxPellix = slots;
      Rebuild();
      regs.esi = 0xC7CA10 + 36;
      EXPECT_EQ(TraceLoopEndEntry(regs), addr::TraceLoopAfter);
      EXPECT_EQ(traceLoopOnPool, 0);
      model->ClearRecords();
      model->RunTraceRoutine();
      EXPECT_EQ(model->traceVisits.size(), model->hostTraces.size());
    }
  }
  EXPECT_EQ(draws, 0);
}

TEST_F(TraceLoopTest, TheColourEntryLoadsEaxAndColoursEveryRecord) {
  model->traceColourSource = 0x12345678;
  weapons[1].tracerColour = 0xFF00FF00;
  // A host record, read through the host's memory.
  TrailRecord& hostRecord = model->hostTraces[2];
  hostRecord.isTracer = 1;
  hostRecord.weaponType = 1;
  regs.esi = model->HostTraceAddress(2) + 8;
  HookRegisters before = regs;
  EXPECT_EQ(TraceColourEntry(regs), addr::TraceColourResume);
  EXPECT_EQ(regs.eax, 0x12345678u);
  EXPECT_EQ(regs.edi, 0xFF00FF00u);
  EXPECT_EQ(regs.esi, before.esi);
  EXPECT_EQ(regs.ebx, before.ebx);
  EXPECT_EQ(regs.ecx, before.ecx);
  EXPECT_EQ(regs.edx, before.edx);
  EXPECT_EQ(regs.ebp, before.ebp);
  EXPECT_EQ(regs.esp, before.esp);
  // Pool trails and the sentinel.
  traceLoopOnPool = 1;
  pool.trailArray[3].isTracer = 1;
  pool.trailArray[3].weaponType = 9;  // outside the table: row 0
  regs.esi = Esi(pool.trailArray + 3);
  TraceColourEntry(regs);
  EXPECT_EQ(regs.edi, weapons[0].tracerColour);
  regs.esi = Esi(&sentinelTrace);
  TraceColourEntry(regs);
  EXPECT_EQ(regs.edi, kPlainTrailColour);
  EXPECT_EQ(regs.eax, 0x12345678u);
}

TEST_F(TraceLoopTest, WithHostDrawingEveryTrailIsVisitedOncePerRunInSlotOrder) {
  for (int32_t tracerType : {0, -1}) {
    settings.TracerType = tracerType;
    pool.trailArray[4].isTracer = 1;
    pool.trailArray[4].weaponType = 2;
    for (int run = 0; run < 3; ++run) {
      model->ClearRecords();
      model->RunTraceRoutine();
      const size_t hostCount = model->hostTraces.size();
      ASSERT_EQ(model->traceVisits.size(), hostCount + settings.MaxPellix);
      for (size_t i = 0; i < hostCount; ++i) {
        EXPECT_EQ(model->traceVisits[i].record, &model->hostTraces[i]);
        EXPECT_EQ(model->traceVisits[i].colour, kPlainTrailColour);
        EXPECT_EQ(model->traceVisits[i].loaded, model->traceColourSource);
      }
      for (int i = 0; i < settings.MaxPellix; ++i) {
        const auto& v = model->traceVisits[hostCount + i];
        EXPECT_EQ(v.record, pool.trailArray + i);
        EXPECT_EQ(v.colour, i == 4 ? weapons[2].tracerColour : kPlainTrailColour);
      }
      EXPECT_EQ(traceLoopOnPool, 0);
      EXPECT_EQ(model->registerFaults, 0);
      EXPECT_EQ(model->runawayLoops, 0);
    }
  }
  EXPECT_EQ(draws, 0);
}

TEST_F(TraceLoopTest, WithPlugInDrawingTheSentinelIsVisitedOnceAndTheDrawingRunsOnce) {
  settings.TracerType = 2;
  int visitsOfSentinel = 0;
  for (int run = 1; run <= 3; ++run) {
    model->ClearRecords();
    model->RunTraceRoutine();
    const size_t hostCount = model->hostTraces.size();
    ASSERT_EQ(model->traceVisits.size(), hostCount + 1);
    EXPECT_EQ(model->traceVisits.back().record, &sentinelTrace);
    EXPECT_EQ(model->traceVisits.back().colour, kPlainTrailColour);
    for (const auto& v : model->traceVisits) {
      EXPECT_FALSE(v.record >= pool.trailArray && v.record < pool.trailArrayEnd);
      visitsOfSentinel += v.record == &sentinelTrace;
    }
    EXPECT_EQ(draws, run);
    EXPECT_EQ(drawsWhileOnPool, run);  // drawn before the flag is cleared
    EXPECT_EQ(traceLoopOnPool, 0);
    EXPECT_EQ(model->registerFaults, 0);
  }
  EXPECT_EQ(visitsOfSentinel, 3);
  EXPECT_TRUE(SentinelIntact());  // the plug-in never writes it
}

TEST_F(TraceLoopTest, TheTraceRoutineEndsWithTheTrailUpdate) {
  settings.TracerType = 0;
  ProjectileRecord& p = Fly(6, 0, 10.0f, 2.0f);
  pool.extraArray[6].trailLength = 3.0f;
  model->clockMs = 777;
  model->RunTraceRoutine();
  EXPECT_EQ(pool.trailArray[6].activity, 1);
  EXPECT_EQ(pool.trailArray[6].creationTime, 777u);
  EXPECT_EQ(pool.trailArray[6].end[0], p.position[0]);
  EXPECT_EQ(model->traceVisits.size(), model->hostTraces.size() + settings.MaxPellix);
}

}  // namespace
}  // namespace pellix
