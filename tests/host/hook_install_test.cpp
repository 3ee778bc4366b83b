#include "host/hook_install.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "fake_code_memory.h"

namespace pellix {
namespace {

using test::FakeCodeMemory;

// Entry points at made-up load addresses, far from the host image.
constexpr HookTargets kTargets = {
    .resetWrapperA = 0x10001000,
    .resetWrapperB = 0x10001100,
    .traceColour = 0x10002000,
    .trailUpdate = 0x10002100,
    .traceLoopEnd = 0x10002200,
    .flightForces = 0x10003000,
    .impact = 0x10003100,
    .stepEnd = 0x10003200,
    .projectileLoopEnd = 0x10003300,
    .make = 0x10004000,
    .makeSniper = 0x10004100,
    .makeM4 = 0x10004200,
};

struct ExpectedSite {
  uint32_t site;
  uint8_t firstByte;
  std::vector<uint8_t> patched;  // what the site holds after installation
};

std::vector<uint8_t> Rel(uint8_t opcode, uint32_t site, uint32_t target, int fill = 0) {
  const uint32_t d = target - site - 5;
  std::vector<uint8_t> v{opcode, static_cast<uint8_t>(d), static_cast<uint8_t>(d >> 8),
                         static_cast<uint8_t>(d >> 16), static_cast<uint8_t>(d >> 24)};
  for (int i = 0; i < fill; ++i) v.push_back(0x90);
  return v;
}

std::vector<uint8_t> FillJump(uint32_t site, uint32_t target) {
  std::vector<uint8_t> v{0x90};
  for (uint8_t b : Rel(0xE9, site + 1, target)) v.push_back(b);
  return v;
}

// Rows 5 to 17, written out independently of the installer's own table.
std::vector<ExpectedSite> PlainSites() {
  return {
      {0x723CCD, 0xA1, Rel(0xE9, 0x723CCD, kTargets.traceColour)},
      {0x7240B5, 0x5F, Rel(0xE9, 0x7240B5, kTargets.trailUpdate)},
      {0x723F57, 0x81, Rel(0xE9, 0x723F57, kTargets.traceLoopEnd)},
      {0x73614A, 0xD9, Rel(0xE9, 0x73614A, kTargets.flightForces)},
      {0x736517, 0x74, {0x90, 0x90}},
      {0x736282, 0x0F, FillJump(0x736282, kTargets.impact)},
      {0x7366C8, 0x0F, std::vector<uint8_t>(6, 0x90)},
      {0x73679F, 0x75, {0x90, 0x90}},
      {0x7367EB, 0x8B, Rel(0xE9, 0x7367EB, kTargets.stepEnd)},
      {0x73680E, 0x81, Rel(0xE9, 0x73680E, kTargets.projectileLoopEnd)},
      {0x73B550, 0x6A, Rel(0xE9, 0x73B550, kTargets.make)},
      {0x736010, 0x51, Rel(0xE9, 0x736010, kTargets.makeSniper)},
      {0x73AF00, 0x83, Rel(0xE9, 0x73AF00, kTargets.makeM4)},
  };
}

struct ResetSite {
  uint32_t primary;
  uint32_t wrapper;
  int fill;
};
constexpr ResetSite kResetSites[4] = {
    {0x7F8704, kTargets.resetWrapperA, 4},
    {0x7F9750, kTargets.resetWrapperB, 6},
    {0x7F97C8, kTargets.resetWrapperB, 6},
    {0x7F9A56, kTargets.resetWrapperB, 6},
};

std::string Message(uint32_t address, const char* label) {
  char text[256];
  std::snprintf(text, sizeof text,
                "An unknown code found at 0x%08X (%s).\nDo you want to continue without this "
                "Function?",
                static_cast<unsigned>(address), label);
  return text;
}

class HookInstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    chainedResetA = 0;
    chainedResetB = 0;
    for (const ExpectedSite& s : PlainSites()) memory.Put(s.site, {s.firstByte});
    for (const ResetSite& r : kResetSites) {
      memory.Put(r.primary, {0x68, 0x40, 0xC0, 0xC9, 0x00, 0x50});
      memory.Put(r.primary - 0x40, {0x00});
    }
  }

  void PutForeignCall(uint32_t site, uint32_t target) { memory.Put(site, Rel(0xE8, site, target)); }

  void ExpectPlainRowsInstalled(size_t from) {
    const std::vector<ExpectedSite> sites = PlainSites();
    for (size_t i = from; i < sites.size(); ++i) {
      EXPECT_EQ(memory.Get(sites[i].site, sites[i].patched.size()), sites[i].patched)
          << "row " << i + 5;
    }
  }

  FakeCodeMemory memory;
};

TEST_F(HookInstallTest, ExpectedHostCodeGetsEveryRowInOrderWithoutADialog) {
  EXPECT_TRUE(InstallHookTable(memory, kTargets, true));
  EXPECT_TRUE(memory.dialogs.empty());
  EXPECT_FALSE(memory.outOfRange);
  EXPECT_EQ(chainedResetA, 0u);
  EXPECT_EQ(chainedResetB, 0u);
  for (const ResetSite& r : kResetSites) {
    EXPECT_EQ(memory.Get(r.primary, 5 + r.fill), Rel(0xE8, r.primary, r.wrapper, r.fill));
    EXPECT_EQ(memory.Get(r.primary - 0x40, 1), std::vector<uint8_t>{0x00});
  }
  ExpectPlainRowsInstalled(0);

  // Writes follow the table's order; every byte lies inside the row that writes it.
  std::vector<uint32_t> rowStarts;
  for (const ResetSite& r : kResetSites) rowStarts.push_back(r.primary);
  for (const ExpectedSite& s : PlainSites()) rowStarts.push_back(s.site);
  size_t row = 0;
  for (const FakeCodeMemory::WriteEvent& w : memory.writes) {
    while (row < rowStarts.size() &&
           !(w.address >= rowStarts[row] && w.address < rowStarts[row] + 11)) {
      ++row;
    }
    ASSERT_LT(row, rowStarts.size()) << "write at " << std::hex << w.address << " out of order";
  }
  // Nothing beyond the patched bytes changes: the byte after each Reset call's fill is kept.
  EXPECT_EQ(memory.Get(0x7F8704 + 9, 1), std::vector<uint8_t>{0xCC});
}

TEST_F(HookInstallTest, FlightForcesRowOnlyWithGravityOrDrag) {
  memory.Put(0x73614A, {0x00});  // would be a mismatch if it were checked
  EXPECT_TRUE(InstallHookTable(memory, kTargets, false));
  EXPECT_TRUE(memory.dialogs.empty());
  EXPECT_FALSE(memory.WasRead(0x73614A));
  EXPECT_EQ(memory.Get(0x73614A, 5), (std::vector<uint8_t>{0x00, 0xCC, 0xCC, 0xCC, 0xCC}));
  ExpectPlainRowsInstalled(4);
}

TEST_F(HookInstallTest, MismatchAnsweredYesSkipsOnlyThatRow) {
  memory.Put(0x7240B5, {0x5E});
  memory.answers = {FakeCodeMemory::kAnswerYes};
  int skipped = -1;
  EXPECT_TRUE(InstallHookTable(memory, kTargets, true, &skipped));
  EXPECT_EQ(skipped, 0);  // no Reset site among them
  ASSERT_EQ(memory.dialogs.size(), 1u);
  EXPECT_EQ(memory.dialogs[0].text, Message(0x7240B5, "Track Patch"));
  EXPECT_EQ(memory.dialogs[0].caption, "Pellix");
  EXPECT_EQ(memory.dialogs[0].flags, 0x114u);
  EXPECT_EQ(memory.Get(0x7240B5, 2), (std::vector<uint8_t>{0x5E, 0xCC}));
  ExpectPlainRowsInstalled(2);  // rows 7 to 17
  EXPECT_FALSE(memory.exited);
}

TEST_F(HookInstallTest, MismatchLabelsNameTheirGroups) {
  const struct {
    uint32_t site;
    const char* label;
  } cases[] = {{0x736517, "Pellix Patch"},
               {0x73B550, "Make Patch"},
               {0x736010, "MakeSniper Patch"},
               {0x73AF00, "MakeM4 Patch"}};
  for (const auto& c : cases) {
    memory.Put(c.site, {0x01});
  }
  EXPECT_TRUE(InstallHookTable(memory, kTargets, true));
  ASSERT_EQ(memory.dialogs.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(memory.dialogs[i].text, Message(cases[i].site, cases[i].label));
    EXPECT_EQ(memory.Get(cases[i].site, 1), std::vector<uint8_t>{0x01});
  }
}

TEST_F(HookInstallTest, MismatchAnsweredNoQuitsWithCodeZeroAndWritesNothingMore) {
  memory.Put(0x723F57, {0x80});
  memory.answers = {kAnswerNo};
  EXPECT_FALSE(InstallHookTable(memory, kTargets, true));
  EXPECT_TRUE(memory.exited);
  EXPECT_EQ(memory.exitCode, 0u);
  EXPECT_FALSE(memory.afterExit);
  ASSERT_EQ(memory.dialogs.size(), 1u);
  EXPECT_EQ(memory.Get(0x73680E, 1), std::vector<uint8_t>{0x81});  // a later row untouched
}

TEST_F(HookInstallTest, UntouchedAlternativeResetSitesArePatched) {
  for (const ResetSite& r : kResetSites) {
    memory.Put(r.primary, {0x00});
    memory.Put(r.primary - 0x40, {0x68});
  }
  EXPECT_TRUE(InstallHookTable(memory, kTargets, true));
  EXPECT_TRUE(memory.dialogs.empty());
  for (const ResetSite& r : kResetSites) {
    const uint32_t q = r.primary - 0x40;
    EXPECT_EQ(memory.Get(q, 5 + r.fill), Rel(0xE8, q, r.wrapper, r.fill));
    EXPECT_EQ(memory.Get(r.primary, 1), std::vector<uint8_t>{0x00});
  }
  EXPECT_EQ(chainedResetA, 0u);
  EXPECT_EQ(chainedResetB, 0u);
}

TEST_F(HookInstallTest, ForeignCallAtAPrimaryIsChained) {
  PutForeignCall(0x7F8704, 0x20005000);
  EXPECT_TRUE(InstallHookTable(memory, kTargets, true));
  EXPECT_TRUE(memory.dialogs.empty());
  EXPECT_EQ(chainedResetA, 0x20005000u);
  EXPECT_EQ(chainedResetB, 0u);
  EXPECT_EQ(memory.Get(0x7F8704, 9), Rel(0xE8, 0x7F8704, kTargets.resetWrapperA, 4));
}

TEST_F(HookInstallTest, ForeignCallAtAnAlternativeIsChained) {
  memory.Put(0x7F9750, {0x00});
  PutForeignCall(0x7F9750 - 0x40, 0x00401234);  // a target below the site
  EXPECT_TRUE(InstallHookTable(memory, kTargets, true));
  EXPECT_TRUE(memory.dialogs.empty());
  EXPECT_EQ(chainedResetB, 0x00401234u);
  EXPECT_EQ(memory.Get(0x7F9710, 11), Rel(0xE8, 0x7F9710, kTargets.resetWrapperB, 6));
  EXPECT_EQ(memory.Get(0x7F9750, 1), std::vector<uint8_t>{0x00});
}

TEST_F(HookInstallTest, UntouchedCodeWinsOverAForeignCall) {
  // A foreign call at the primary with the untouched sequence at the alternative: the
  // untouched one is patched and nothing is chained.
  PutForeignCall(0x7F8704, 0x20005000);
  memory.Put(0x7F86C4, {0x68});
  EXPECT_TRUE(InstallHookTable(memory, kTargets, true));
  EXPECT_EQ(chainedResetA, 0u);
  EXPECT_EQ(memory.Get(0x7F86C4, 9), Rel(0xE8, 0x7F86C4, kTargets.resetWrapperA, 4));
  EXPECT_EQ(memory.Get(0x7F8704, 5), Rel(0xE8, 0x7F8704, 0x20005000));
}

TEST_F(HookInstallTest, SitesBToDShareOneChainSlotAndTheLastFoundIsKept) {
  PutForeignCall(0x7F9750, 0x20001000);         // B, primary
  PutForeignCall(0x7F9A56 - 0x40, 0x20003000);  // D, alternative
  memory.Put(0x7F9A56, {0x00});
  EXPECT_TRUE(InstallHookTable(memory, kTargets, true));
  EXPECT_EQ(chainedResetB, 0x20003000u);
  EXPECT_EQ(chainedResetA, 0u);

  // B and C only: C is found last.
  SetUp();
  memory.writes.clear();
  PutForeignCall(0x7F9750, 0x20001000);
  PutForeignCall(0x7F97C8, 0x20002000);
  EXPECT_TRUE(InstallHookTable(memory, kTargets, true));
  EXPECT_EQ(chainedResetB, 0x20002000u);
}

TEST_F(HookInstallTest, ResetDialogComesOnlyFromTheCheckAtTheAlternative) {
  memory.Put(0x7F97C8, {0x00});
  memory.Put(0x7F97C8 - 0x40, {0x90});
  memory.answers = {FakeCodeMemory::kAnswerYes};
  int skipped = -1;
  EXPECT_TRUE(InstallHookTable(memory, kTargets, true, &skipped));
  EXPECT_EQ(skipped, 1);  // the drawing then does without the batch
  ASSERT_EQ(memory.dialogs.size(), 1u);
  EXPECT_EQ(memory.dialogs[0].text, Message(0x7F9788, "IDirect3DDevice9::Reset"));
  EXPECT_EQ(memory.Get(0x7F97C8, 1), std::vector<uint8_t>{0x00});
  EXPECT_EQ(memory.Get(0x7F9788, 1), std::vector<uint8_t>{0x90});
  // Probes read P, Q, P, then the check reads Q.
  std::vector<uint32_t> siteReads;
  for (uint32_t a : memory.reads) {
    if (a == 0x7F97C8 || a == 0x7F9788) siteReads.push_back(a);
  }
  EXPECT_EQ(siteReads, (std::vector<uint32_t>{0x7F97C8, 0x7F9788, 0x7F97C8, 0x7F9788}));
  // The other Reset sites and every plain row are still in place.
  EXPECT_EQ(memory.Get(0x7F9A56, 11), Rel(0xE8, 0x7F9A56, kTargets.resetWrapperB, 6));
  ExpectPlainRowsInstalled(0);
}

TEST_F(HookInstallTest, ResetMismatchAnsweredNoQuitsBeforeAnyPlainRow) {
  memory.Put(0x7F8704, {0x00});
  memory.answers = {kAnswerNo};
  EXPECT_FALSE(InstallHookTable(memory, kTargets, true));
  EXPECT_EQ(memory.exitCode, 0u);
  EXPECT_TRUE(memory.writes.empty());
  EXPECT_FALSE(memory.afterExit);
}

TEST_F(HookInstallTest, CallThatAlreadyLeadsToTheWrapperIsNotChained) {
  // Chaining to our own wrapper would make it call itself for ever.
  PutForeignCall(0x7F8704, kTargets.resetWrapperA);
  EXPECT_TRUE(InstallHookTable(memory, kTargets, true));
  EXPECT_EQ(chainedResetA, 0u);
  EXPECT_EQ(memory.Get(0x7F8704, 9), Rel(0xE8, 0x7F8704, kTargets.resetWrapperA, 4));
}

}  // namespace
}  // namespace pellix
