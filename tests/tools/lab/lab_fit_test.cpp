// `fit` on the sample data with gravity and drag on, a host range of 600 and no ground: a row
// recovered from targets read off its own range table, targets that cannot be met together,
// and the written line read back by start-up.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "startup/settings.h"
#include "tests/tools/lab/data_copy.h"
#include "tools/lab/fit.h"
#include "tools/lab/lint.h"

namespace pellix::lab {
namespace {

::testing::AssertionResult StartsWith(const std::string& text, const std::string& start) {
  if (text.rfind(start, 0) == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "'" << text << "' does not start with '" << start << "'";
}

// Rows 0 and 3 at 400 units/s, dragAlong 0.02, for fits that set their own settings.
const char* const kRows =
    "0 400 0.02 0 1.0 0 0 8 16 0.03 0.06 90 220 0xFFFFC060\n"
    "3 400 0.02 0 1.0 0 0 8 16 0.03 0.06 90 220 0xFFFFC060\n";

class LabFit : public ::testing::Test {
 protected:
  void Load(const std::string& dir, std::map<std::string, std::string> overrides = {
                                        {"PHYSICS/Gravity", "1"}, {"PHYSICS/AirResist", "1"}}) {
    std::string error;
    overrides["PELLIX/MaxPellix"] = "1";
    overrides["PELLIX/MaxWeapon"] = "7";
    ASSERT_TRUE(session.Load(dir, error, overrides)) << error;
    session.defaultWeapon.range = 600.0f;
    ASSERT_TRUE(ReadFileBytes(dir + "/pellix_weapon.dat", weaponFile));
  }
  void SetUp() override { Load(PELLIX_SAMPLE_DATA); }

  FitOptions Options(int32_t weapon, const std::vector<std::string>& targets) {
    FitOptions o;
    o.range.weapon = weapon;
    o.range.ground = false;
    for (const std::string& text : targets) {
      FitTarget t;
      std::string error;
      EXPECT_TRUE(ParseFitTarget(text, t, error)) << error;
      o.targets.push_back(t);
    }
    return o;
  }

  LabSession session;
  std::string weaponFile;
};

TEST_F(LabFit, RecoversARowFromAnotherRowsValues) {
  // Row 6 (920 per second, dragAlong 0.006) printed these at frames 15, 22 and 28 of its range
  // table; the search starts from row 5's 880 and 0.008.
  FitOptions o = Options(6, {"time@274.68=300", "drop@383.86=1.840", "speed@492.65=905.3"});
  o.start = {{kMuzzleSpeed, 880.0}, {kDragAlong, 0.008}};
  FitResult r;
  std::string error;
  ASSERT_TRUE(RunFit(session, weaponFile, o, r, error)) << error;
  EXPECT_TRUE(r.met);
  for (const FitTargetResult& t : r.targets)
    EXPECT_LE(std::fabs(t.residual), t.target.Tolerance()) << t.target.text << " " << t.value;
  EXPECT_NEAR(r.after[kMuzzleSpeed], 920.0, 1.0);
  EXPECT_NEAR(r.after[kDragAlong], 0.006, 0.0003);
  EXPECT_EQ(r.line.number, 25);
  EXPECT_EQ(r.fittedLine.substr(0, 6), "6     ");
}

TEST_F(LabFit, SaysWhichTargetsCannotBeMetTogether) {
  FitResult r;
  std::string error;
  ASSERT_TRUE(RunFit(session, weaponFile,
                     Options(5, {"speed@300=850", "speed@300=800", "drop@300=1.0"}), r, error))
      << error;
  EXPECT_FALSE(r.met);
  ASSERT_EQ(r.conflicts.size(), 2u);
  EXPECT_TRUE(StartsWith(r.conflicts[0],
                         "speed@300=850 cannot be met together with speed@300=800 (it can "
                         "alone): the best fit of all reaches 825."));
  EXPECT_TRUE(r.targets[2].met);

  // Beyond the muzzle speed's bound (4 x 880): the nearest value is the bound's, less the drag
  // at its own bound of 0 leaves nothing off; gravity adds a little.
  ASSERT_TRUE(RunFit(session, weaponFile, Options(5, {"speed@300=5000"}), r, error)) << error;
  ASSERT_EQ(r.conflicts.size(), 1u);
  EXPECT_TRUE(StartsWith(r.conflicts[0],
                         "speed@300=5000 is out of reach with muzzleSpeed 220:3520, dragAlong "
                         "0:1: the nearest value reached is 3520."));
}

TEST_F(LabFit, TheWrittenLineIsAllThatChangesAndReadsBackAsFitted) {
  const std::string dir = CopySampleData("fit");
  Load(dir);
  FitResult r;
  std::string error;
  ASSERT_TRUE(RunFit(session, weaponFile, Options(5, {"time@300=400", "energy@400=0.9"}), r, error))
      << error;
  ASSERT_TRUE(r.met);
  const std::string path = dir + "/pellix_weapon.dat";
  ASSERT_TRUE(WriteFit(path, weaponFile, r, error)) << error;

  std::string after, backup;
  ASSERT_TRUE(ReadFileBytes(path, after));
  ASSERT_TRUE(ReadFileBytes(path + ".bak", backup));
  EXPECT_EQ(backup, weaponFile);
  std::vector<std::string> a, b;
  ASSERT_TRUE(ReadLines(PELLIX_SAMPLE_DATA "/pellix_weapon.dat", a));
  ASSERT_TRUE(ReadLines(path, b));
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    if (static_cast<int>(i + 1) == r.line.number) {
      EXPECT_EQ(b[i], r.fittedLine);
      EXPECT_NE(a[i], b[i]);
    } else {
      EXPECT_EQ(a[i], b[i]) << "line " << i + 1;
    }
  }
  EXPECT_EQ(after.size(), weaponFile.size() - r.line.text.size() + r.fittedLine.size());

  // Start-up on the rewritten folder (with the full pool), then a plain range run.
  ASSERT_TRUE(session.Load(dir, error, {{"PHYSICS/Gravity", "1"}, {"PHYSICS/AirResist", "1"}}));
  EXPECT_EQ(settings.MaxPellix, 4096);
  RangeOptions ro;
  ro.weapon = 5;
  ro.ground = false;
  const RangeResult run = RunRange(session, ro);
  RangePoint p{};
  ASSERT_TRUE(RangeAt(run, 300.0f, p));
  EXPECT_DOUBLE_EQ(p.timeMs, r.targets[0].value);
  EXPECT_NEAR(p.timeMs, 400.0, 0.5);
  ASSERT_TRUE(RangeAt(run, 400.0f, p));
  EXPECT_NEAR(p.energy, 0.9, 0.0005);
  std::filesystem::remove_all(dir);
}

TEST_F(LabFit, FreesOnlyWhatTheTargetsDependOn) {
  // Gravity leaves the horizontal speed alone: with AirResist off, 300 units in 400 ms is a
  // muzzle speed of 750 units/s (0.5 ms of 400 is 0.94 of it), and nothing reads dragAlong.
  Load(PELLIX_SAMPLE_DATA, {{"PHYSICS/Gravity", "1"}, {"PHYSICS/MinSpeed", "1"}});
  FitResult r;
  std::string error;
  ASSERT_TRUE(RunFit(session, kRows, Options(3, {"time@300=400"}), r, error)) << error;
  EXPECT_EQ(r.free, std::vector<int>{kMuzzleSpeed});
  EXPECT_TRUE(r.met);
  EXPECT_NEAR(r.after[kMuzzleSpeed], 750.0, 0.94);
  EXPECT_TRUE(r.warnings.empty());  // one value for one target; 750 is above the floor of 625
  FitOptions byHand = Options(3, {"time@300=400"});
  byHand.free = {kDragAlong};
  ASSERT_TRUE(RunFit(session, kRows, byHand, r, error)) << error;
  ASSERT_FALSE(r.warnings.empty());  // then the speed floor: 400 units/s is below 625
  EXPECT_TRUE(StartsWith(r.warnings[0], "dragAlong is free, but AirResist is off"));

  Load(PELLIX_SAMPLE_DATA, {{"PHYSICS/Gravity", "1"}, {"PHYSICS/AirResist", "1"}});
  ASSERT_TRUE(RunFit(session, kRows, Options(3, {"time@300=400"}), r, error)) << error;
  EXPECT_EQ(r.free, (std::vector<int>{kMuzzleSpeed, kDragAlong}));
  ASSERT_EQ(r.warnings.size(), 1u);
  EXPECT_TRUE(StartsWith(r.warnings[0], "1 target(s) for 2 free values (muzzleSpeed, dragAlong)"));
}

TEST_F(LabFit, NamesTheSettingThatKeepsATargetOutOfReach) {
  const auto conflict = [this](const std::map<std::string, std::string>& overrides,
                               FitOptions o, const std::string& start, bool reached) {
    Load(PELLIX_SAMPLE_DATA, overrides);
    FitResult r;
    std::string error;
    ASSERT_TRUE(RunFit(session, kRows, o, r, error)) << error;
    EXPECT_FALSE(r.met);
    ASSERT_EQ(r.conflicts.size(), 1u);
    EXPECT_NE(r.conflicts[0].find(start), std::string::npos) << r.conflicts[0];
    // Nothing reached: the row keeps its own line.
    EXPECT_EQ(r.fitted, reached);
    if (!reached) {
      EXPECT_EQ(r.fittedLine, r.line.text);
    }
  };
  const std::map<std::string, std::string> physics = {
      {"PHYSICS/Gravity", "1"}, {"PHYSICS/AirResist", "1"}, {"PHYSICS/RangeMult", "1"}};
  conflict({}, Options(3, {"drop@300=1.6"}), "drop@300=1.6 whatever the values: Gravity is off",
           false);
  // A round lives as long as 600 units take at its muzzle speed: at most a frame beyond them.
  conflict(physics, Options(3, {"time@700=900"}), "the host range ends the round first", false);
  FitOptions grounded = Options(3, {"drop@200=4"});
  grounded.range.ground = true;
  conflict(physics, grounded, "the ground caps the drop at the --height of 1 units",
           true);
  FitOptions pierce = Options(3, {"depth=2"});
  pierce.surfaceClass = 0;
  conflict(physics, pierce, "depth=2 whatever the values: Pierce is off", false);
}

TEST_F(LabFit, WarnsOfAHitBelowTheSpeedFloorAndOfTheSharedRow) {
  // MinSpeed 0.48 is 12 per step, 300 units/s. Half the energy of 400 units/s left at 300
  // units is 282.8 units/s there, and a hit there meets the frame beyond, slower still.
  Load(PELLIX_SAMPLE_DATA,
       {{"PHYSICS/Gravity", "1"}, {"PHYSICS/AirResist", "1"}, {"PHYSICS/MinSpeed", "0.48"}});
  FitOptions o = Options(12, {"energy@300=0.5"});
  o.free = {kDragAlong};
  FitResult r;
  std::string error;
  ASSERT_TRUE(RunFit(session, kRows, o, r, error)) << error;
  ASSERT_TRUE(r.met);
  ASSERT_EQ(r.warnings.size(), 2u);
  EXPECT_TRUE(StartsWith(r.warnings[0], "weapon type 12 is beyond MaxWeapon 7: it uses row 0"));
  EXPECT_TRUE(StartsWith(r.warnings[1], "energy@300=0.5: a hit at 300 units deals nothing"));
  EXPECT_NE(r.warnings[1].find("below the speed floor of 300 units/s (MinSpeed 0.48)"),
            std::string::npos);
  EXPECT_LT(r.targets[0].hitSpeed, 282.8);
}

}  // namespace
}  // namespace pellix::lab
