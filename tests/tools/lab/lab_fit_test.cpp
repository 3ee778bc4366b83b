// `fit` on the sample data with gravity and drag on, a host range of 600 and no ground: a row
// recovered from targets read off its own range table, targets that cannot be met together,
// and the written line read back by start-up.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
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

class LabFit : public ::testing::Test {
 protected:
  void Load(const std::string& dir) {
    std::string error;
    ASSERT_TRUE(session.Load(dir, error,
                             {{"PHYSICS/Gravity", "1"}, {"PHYSICS/AirResist", "1"},
                              {"PELLIX/MaxPellix", "1"}}))
        << error;
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
  ASSERT_TRUE(WriteFileBytes(path, ReplaceLine(weaponFile, r.line, r.fittedLine), error));

  std::string after;
  ASSERT_TRUE(ReadFileBytes(path, after));
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

}  // namespace
}  // namespace pellix::lab
