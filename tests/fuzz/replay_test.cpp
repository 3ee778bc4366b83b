// The seed corpus of every fuzz target, replayed as ordinary tests; and the checks that the
// targets rely on, shown to catch what they are there to catch.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>

#include "sim/loop_state.h"
#include "startup/startup.h"
#include "tests/fuzz/corpus.h"
#include "tests/fuzz/fuzz_targets.h"
#include "tests/fuzz/pool_invariants.h"
#include "tests/support/sim_setup.h"

namespace pellix::fuzz {
namespace {

using Target = const char* (*)(const uint8_t*, size_t);

// Runs every corpus file of `folder` through `target`; returns how many there were.
int Replay(std::string_view folder, Target target) {
  int files = 0;
  for (size_t i = 0; i < corpusEntryCount; ++i) {
    const CorpusEntry& e = corpusEntries[i];
    const std::string_view name = e.name;
    if (name.size() <= folder.size() || name.substr(0, folder.size()) != folder ||
        name[folder.size()] != '/') {
      continue;
    }
    ++files;
    const char* fault = target(e.data, e.size);
    EXPECT_EQ(fault, nullptr) << e.name << ": " << fault;
  }
  return files;
}

TEST(FuzzCorpusReplay, SettingsFiles) { EXPECT_GT(Replay("settings", FuzzSettingsFile), 5); }
TEST(FuzzCorpusReplay, TableFiles) { EXPECT_GT(Replay("tables", FuzzTableFiles), 5); }
TEST(FuzzCorpusReplay, StartupFolders) { EXPECT_GT(Replay("startup", FuzzStartup), 5); }
TEST(FuzzCorpusReplay, SimSequences) { EXPECT_GT(Replay("sim", FuzzSimSequence), 5); }
TEST(FuzzCorpusReplay, LoopFrames) { EXPECT_GT(Replay("loop", FuzzLoopFrames), 5); }

// The start-up seeds reach the outcomes they were written for.
TEST(FuzzCorpusReplay, StartupSeedsReachTheirOutcomes) {
  const struct {
    const char* name;
    StartupOutcome outcome;
  } seeds[] = {
      {"startup/sample", StartupOutcome::Started},
      {"startup/odd_rows", StartupOutcome::Started},
      {"startup/no_surface_file", StartupOutcome::SurfaceFileMissing},
      {"startup/pool_zero", StartupOutcome::PoolSizeInvalid},
      {"startup/weapon_count_negative", StartupOutcome::WeaponCountInvalid},
      {"startup/weapon_count_wraps", StartupOutcome::WeaponCountInvalid},
      {"startup/pool_too_large", StartupOutcome::OutOfMemory},
      {"startup/tables_too_large", StartupOutcome::OutOfMemory},
  };
  for (const auto& seed : seeds) {
    const CorpusEntry* entry = nullptr;
    for (size_t i = 0; i < corpusEntryCount; ++i) {
      if (std::string_view(corpusEntries[i].name) == seed.name) entry = &corpusEntries[i];
    }
    ASSERT_NE(entry, nullptr) << seed.name;
    EXPECT_EQ(FuzzStartup(entry->data, entry->size), nullptr) << seed.name;
    EXPECT_EQ(lastStartupOutcome, static_cast<int32_t>(seed.outcome)) << seed.name;
  }
}

// Empty and one-byte inputs are complete cases for every target.
TEST(FuzzCorpusReplay, ShortInputsAreCompleteCases) {
  const uint8_t bytes[2] = {0xFF, 0x00};
  for (Target target :
       {FuzzSettingsFile, FuzzTableFiles, FuzzStartup, FuzzSimSequence, FuzzLoopFrames}) {
    EXPECT_EQ(target(bytes, 0), nullptr);
    EXPECT_EQ(target(bytes, 1), nullptr);
    EXPECT_EQ(target(bytes, 2), nullptr);
  }
}

TEST(PoolInvariants, CatchEachKindOfBrokenRecord) {
  testing::SimSetup sim(4, 3);
  ASSERT_EQ(CheckRecords(), nullptr);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();

  sim.Record(1).position[2] = nan;
  EXPECT_NE(CheckRecords(), nullptr);
  sim.Record(1).position[2] = 0.0f;
  sim.Record(2).velocity[0] = -inf;
  EXPECT_NE(CheckRecords(), nullptr);
  sim.Record(2).velocity[0] = 0.0f;
  sim.Record(0).active = 2;
  EXPECT_NE(CheckRecords(), nullptr);
  sim.Record(0).active = 1;
  sim.Extra(2).pierceBudget = inf;
  EXPECT_NE(CheckRecords(), nullptr);
  sim.Extra(2).pierceBudget = 0.0f;
  pool.trailArray[1].start[1] = nan;
  EXPECT_NE(CheckRecords(), nullptr);
  pool.trailArray[1].start[1] = 0.0f;
  pool.trailArray[0].activity = 4;
  EXPECT_NE(CheckRecords(), nullptr);
  pool.trailArray[0].activity = 3;
  pool.nextSlot = 3;
  EXPECT_NE(CheckRecords(), nullptr);
  pool.nextSlot = 2;
  EXPECT_EQ(CheckRecords(), nullptr);

  repeatRequested = 2;
  EXPECT_NE(CheckLoopFlags(), nullptr);
  testing::ResetLoopState();
  EXPECT_EQ(CheckLoopFlags(), nullptr);
}

}  // namespace
}  // namespace pellix::fuzz
