// lint on the sample data and on a copy with one fault per line.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "startup/data_faults.h"
#include "startup/settings.h"
#include "tests/tools/lab/data_copy.h"
#include "tools/lab/lint.h"
#include "tools/lab/watch_command.h"

namespace pellix::lab {
namespace {

struct Expected {
  const char* file;
  int line;
  const char* kind;   // fault, warning or note
  const char* words;  // part of the reason
};

// The first findings, in order, against the expected ones.
template <size_t N>
void ExpectFindings(const std::vector<Finding>& findings, const Expected (&expected)[N]) {
  for (size_t i = 0; i < N && i < findings.size(); ++i) {
    SCOPED_TRACE(findings[i].file + ":" + std::to_string(findings[i].line) + ": " +
                 findings[i].reason);
    EXPECT_EQ(findings[i].file, expected[i].file);
    EXPECT_EQ(findings[i].line, expected[i].line);
    EXPECT_STREQ(FindingKind(findings[i]), expected[i].kind);
    EXPECT_NE(findings[i].reason.find(expected[i].words), std::string::npos);
  }
}

// The reload refuses a file for exactly the faults lint reports, in lint's words, and for no
// warning or note.
void ExpectTheReloadsChecksFindLintsFaults(const std::string& dir) {
  std::vector<std::string> lint, reload;
  for (const Finding& f : LintFolder(dir)) {
    if (f.fault) lint.push_back(f.file + ":" + std::to_string(f.line) + ": " + f.reason);
  }
  const FaultSink sink{[](void* out, const char* file, int line, const char* reason) {
                         static_cast<std::vector<std::string>*>(out)->push_back(
                             std::string(file) + ":" + std::to_string(line) + ": " + reason);
                       },
                       &reload};
  std::vector<std::string> text;
  for (const char* name : {"pellix.ini", "pellix_weapon.dat", "pellix_surface.dat"}) {
    std::ifstream in(dir + "/" + name, std::ios::binary);
    text.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  Settings s{};
  ReadSettings(SystemProfile(), (dir + "/pellix.ini").c_str(), s);
  std::vector<int32_t> filledAt(static_cast<size_t>(s.weaponCount));
  CheckSettingsFaults(text[0].data(), text[0].size(), sink);
  CheckWeaponFaults(text[1].data(), text[1].size(), s.weaponCount, filledAt.data(), sink);
  CheckSurfaceFaults(text[2].data(), text[2].size(), sink);
  EXPECT_EQ(reload, lint) << dir;
}

TEST(LabLint, SampleDataIsClean) {
  const auto findings = LintFolder(PELLIX_SAMPLE_DATA);
  for (const auto& f : findings) ADD_FAILURE() << f.file << ":" << f.line << ": " << f.reason;
  EXPECT_FALSE(AnyFault(findings));
}

TEST(LabLint, BrokenCopyListsEveryFaultWithItsLine) {
  const Expected expected[] = {
      {"pellix.ini", 4, "fault", "belongs in [PHYSICS]"},
      {"pellix.ini", 6, "fault", "'fast' is not a number"},
      {"pellix.ini", 7, "fault", "'yes' is not a number"},
      {"pellix.ini", 8, "fault", "text after the number is ignored (it reads as 0.5000)"},
      {"pellix.ini", 9, "fault", "empty: it reads as 0"},
      {"pellix.ini", 11, "fault", "already set at line 10"},
      {"pellix.ini", 13, "fault", "'Bounce' is not one of the 23 keys"},
      {"pellix.ini", 16, "fault", "'inf' is not a decimal number: it reads as 0"},
      {"pellix.ini", 17, "fault", "'0x10' is not a decimal number"},
      {"pellix.ini", 18, "note",
       "'1e39' is beyond the float range: stored as inf, so the refraction strip of a plain "
       "round never shows"},
      {"pellix_weapon.dat", 3, "fault", "weapon type 4 is outside the table (types 0 to 3"},
      {"pellix_weapon.dat", 4, "fault", "weapon type -1 is outside the table"},
      {"pellix_weapon.dat", 5, "fault", "muzzle speed 0"},
      {"pellix_weapon.dat", 6, "fault", "only 3 of 13 fields read: the scan stopped at pierceCost"},
      {"pellix_weapon.dat", 7, "fault", "no field could be read"},
      {"pellix_weapon.dat", 8, "note", "not a comment"},
      {"pellix_weapon.dat", 9, "fault", "already given at line 2"},
      {"pellix_weapon.dat", 10, "fault", "1102 characters long"},
      // The rest of that line is no comment: start-up reads it as a line of its own.
      {"pellix_weapon.dat", 10, "fault", "from character 1024 on, read as a line of its own: no "
                                         "field could be read"},
      {"pellix_weapon.dat", 0, "fault", "weapon row 0 is not filled"},
      {"pellix_surface.dat", 3, "fault", "'sp' is in lower case"},
      {"pellix_surface.dat", 4, "fault", "'Sp' is read as key S"},
      {"pellix_surface.dat", 5, "fault", "2 values after the key, 5 expected: a missing value "
                                         "moves every value after it one column to the left "
                                         "(ricochetThreshold reads as 0.15); the scan stopped at "
                                         "ricochetKeep"},
      {"pellix_surface.dat", 6, "fault", "'X' is not a surface key"},
      {"pellix_surface.dat", 7, "fault", "no field could be read"},
      {"pellix_surface.dat", 8, "fault", "class N was already given at line 2"},
      {"pellix_surface.dat", 0, "note", "class SP has no line"},
      {"pellix_surface.dat", 0, "note", "class D has no line"},
      {"pellix_surface.dat", 0, "note", "class C has no line"},
      {"pellix_surface.dat", 0, "note", "class P has no line"},
  };
  const auto findings = LintFolder(std::string(PELLIX_LAB_FIXTURES) + "/broken");
  ASSERT_EQ(findings.size(), std::size(expected));
  ExpectFindings(findings, expected);
  EXPECT_TRUE(AnyFault(findings));
  ExpectTheReloadsChecksFindLintsFaults(std::string(PELLIX_LAB_FIXTURES) + "/broken");
}

// Values beyond the float range are kept as infinities: notes that say what each will do.
TEST(LabLint, ValuesBeyondTheFloatRangeAreNotedWithWhatTheyDo) {
  const Expected expected[] = {
      {"pellix.ini", 5, "note", "RangeMult = '1e39' is beyond the float range: stored as inf, so "
                               "no shot expires by time"},
      {"pellix.ini", 6, "note", "'1e38' is beyond the float range: stored as inf, so every impact "
                               "stops the round"},
      {"pellix_weapon.dat", 4, "note", "pierceCost is beyond the float range: stored as inf"},
      {"pellix_weapon.dat", 4, "note", "stored as -inf, so no hit ricochets"},
      // The one fault: 25 / inf is 0, no muzzle speed.
      {"pellix_weapon.dat", 5, "fault", "muzzle speed beyond the float range: 25 / speed is 0"},
      {"pellix_surface.dat", 2, "note", "ricochetThreshold is beyond the float range: stored as "
                                       "inf, so every hit against this surface may ricochet"},
      {"pellix_surface.dat", 2, "note", "stored as -inf, so the surface cannot be pierced"},
      {"pellix_surface.dat", 3, "note", "stored as inf, so every round stops on its way out"},
  };
  const auto findings = LintFolder(std::string(PELLIX_LAB_FIXTURES) + "/endless");
  ASSERT_GE(findings.size(), std::size(expected));
  ExpectFindings(findings, expected);
  ExpectTheReloadsChecksFindLintsFaults(std::string(PELLIX_LAB_FIXTURES) + "/endless");
  EXPECT_EQ(std::count_if(findings.begin(), findings.end(), [](const Finding& f) {
              return f.fault;
            }),
            1);
}

// A copy of the shipped data with typical mistakes: files saved with a byte-order mark (read
// as start-up reads them, so no false fault), the old speed floor, a missing and an extra
// column, legal values that are typos, types up to MaxWeapon without a line.
TEST(LabLint, TypicalMistakesAreWarnedWithTheirLineAndWhatTheyDo) {
  const std::string dir = CopySampleData("lint-mistakes");
  const std::string mark = "\xEF\xBB\xBF";
  EditFile(dir, "pellix.ini", "; Pellix", mark + "; Pellix");
  EditFile(dir, "pellix.ini", "MaxWeapon=7", "MaxWeapon=9");
  EditFile(dir, "pellix.ini", "MinSpeed=0.2", "MinSpeed=1.0");
  EditFile(dir, "pellix.ini", "MaxLoop=8", "MaxLoop=0");
  EditFile(dir, "pellix.ini", "TracerType=2", "TracerType=3");
  EditFile(dir, "pellix_weapon.dat", "; Pellix", mark + "; Pellix");
  EditFile(dir, "pellix_weapon.dat", "5     880    0.008", "5     0.008");
  EditFile(dir, "pellix_weapon.dat", "6     920    0.006  0.030  0.60   0.00  3",
           "6     920    1.5    -0.03  0.60   0.00  -3");
  EditFile(dir, "pellix_weapon.dat", "230 0xFF40FF40", "300 0x0040FF40");
  EditFile(dir, "pellix_weapon.dat", "0xFFFFFFFF", "0xFFFFFFFF 7");
  EditFile(dir, "pellix_surface.dat", "; Pellix", mark + "; Pellix");
  EditFile(dir, "pellix_surface.dat", "W    0.15      0.60      0.30", "W 0.15 0.60 1.30");
  const Expected expected[] = {
      {"pellix.ini", 1, "note", "starts with a UTF-8 byte-order mark, which start-up skips"},
      {"pellix.ini", 35, "warning", "MaxLoop 0 is below 1"},
      {"pellix.ini", 53, "warning", "TracerType 3 is outside 0 to 2: the trails are drawn with "
                                    "pellix.fx, display pass only"},
      {"pellix_weapon.dat", 1, "note", "byte-order mark"},
      // The row 5 without its muzzle speed: 12 values, and "8.0" split by the scan.
      {"pellix_weapon.dat", 24, "fault", "12 values after the weapon type, 13 expected: a missing "
                                         "value moves every value after it one column to the "
                                         "left (muzzle speed reads as 0.008)"},
      {"pellix_weapon.dat", 25, "warning", "dragAlong 1.5 is at or above 1 per time step"},
      {"pellix_weapon.dat", 25, "warning", "dragAcross -0.03 is negative: with AirResist on, its "
                                           "motion across the path grows"},
      {"pellix_weapon.dat", 25, "warning", "tracerEvery -3 is below 0: it works as 3"},
      {"pellix_weapon.dat", 25, "warning", "tracerTrailAlpha 300 is outside 0 to 255: only its "
                                           "low byte counts, so it is drawn with alpha 44"},
      {"pellix_weapon.dat", 25, "warning", "tracerColour 0x0040FF40 has alpha 00"},
      {"pellix_weapon.dat", 26, "warning", "14 values after the weapon type, 13 expected: the "
                                           "last 1 are ignored"},
      {"pellix_weapon.dat", 0, "warning", "weapon types 8 to 9 have no line (MaxWeapon 9): their "
                                          "speedFactor is 0, so no shot of them can fly; only "
                                          "types above MaxWeapon use row 0"},
      {"pellix_weapon.dat", 19, "warning", "weapon type 0: muzzle speed 600.0 units/s is below "
                                           "the speed floor of 625.0 units/s (MinSpeed 1 x 625): "
                                           "every hit of it stops the round and deals nothing"},
      {"pellix_weapon.dat", 20, "warning", "weapon type 1: muzzle speed 350.0"},
      {"pellix_weapon.dat", 21, "warning", "weapon type 2: muzzle speed 420.0"},
      {"pellix_weapon.dat", 22, "warning", "weapon type 3: muzzle speed 400.0"},
      {"pellix_weapon.dat", 23, "warning", "weapon type 4: muzzle speed 390.0"},
      {"pellix_weapon.dat", 24, "warning", "weapon type 5: muzzle speed 0.0 units/s"},
      {"pellix_surface.dat", 1, "note", "byte-order mark"},
      {"pellix_surface.dat", 16, "warning", "ricochetKeep 1.3 is above 1"},
  };
  const auto findings = LintFolder(dir);
  ASSERT_EQ(findings.size(), std::size(expected));
  ExpectFindings(findings, expected);
  ExpectTheReloadsChecksFindLintsFaults(dir);
  EXPECT_EQ(findings[4].text, "5     0.008  0.040  0.80   0.00  4     8.0     16.0  0.03  0.07 90 "
                              "   230 0xFFFF4020");

  // Warnings alone are no fault; an empty surface file is.
  EditFile(dir, "pellix_weapon.dat", "5     0.008", "5     880    0.008");
  EXPECT_FALSE(AnyFault(LintFolder(dir)));
  EditFile(dir, "pellix.ini", "MinSpeed=1.0", "MinSpeed=-1");
  std::string error;
  ASSERT_TRUE(WriteFileBytes(dir + "/pellix_surface.dat", "", error)) << error;
  const auto empty = LintFolder(dir);
  ASSERT_GE(empty.size(), 4u);
  EXPECT_EQ(empty[3].reason, "MinSpeed -1 is negative: no round is too slow to go on after an "
                             "impact, as with 0");
  EXPECT_EQ(empty.back().reason, "no line fills a surface class: every surface row stays zero "
                                 "(no ricochet, pierced at no cost)");
  EXPECT_TRUE(AnyFault(empty));
  ExpectTheReloadsChecksFindLintsFaults(dir);
  // A byte-order mark alone is as empty, plus its note: no line of it starts with NUL.
  ASSERT_TRUE(WriteFileBytes(dir + "/pellix_surface.dat", "\xEF\xBB\xBF", error)) << error;
  const auto markOnly = LintFolder(dir);
  ASSERT_EQ(markOnly.size(), empty.size() + 1);
  const Finding& note = markOnly[markOnly.size() - 2];
  EXPECT_TRUE(!note.fault && !note.warning && note.line == 1) << note.reason;
  EXPECT_EQ(markOnly.back().reason, empty.back().reason);
  ExpectTheReloadsChecksFindLintsFaults(dir);
  ExpectTheReloadsChecksFindLintsFaults(std::string(PELLIX_LAB_FIXTURES) + "/warnings");
}

TEST(LabLint, MissingFilesAreNamed) {
  const auto findings = LintFolder(std::string(PELLIX_LAB_FIXTURES) + "/no-such-folder");
  ASSERT_EQ(findings.size(), 3u);
  EXPECT_FALSE(findings[0].fault);  // no INI: the defaults
  EXPECT_EQ(findings[1].file, "pellix_weapon.dat");
  EXPECT_TRUE(findings[1].fault);
  EXPECT_EQ(findings[2].file, "pellix_surface.dat");
  EXPECT_TRUE(findings[2].fault);
}

TEST(LabLint, OutputFormatsCarryEveryFinding) {
  const auto findings = LintFolder(std::string(PELLIX_LAB_FIXTURES) + "/broken");
  const Table table = FindingsTable(findings);
  std::ostringstream csv, json;
  PrintTable(csv, table, OutputFormat::Csv);
  PrintTable(json, table, OutputFormat::Json);
  const std::string c = csv.str();
  EXPECT_EQ(std::count(c.begin(), c.end(), '\n'), static_cast<long>(findings.size() + 1));
  EXPECT_NE(c.find("pellix_weapon.dat,5,fault,muzzle speed 0"), std::string::npos);
  EXPECT_NE(json.str().find("\"line\": 11"), std::string::npos);
}

// watch: one run at once, one more when a saved file has settled (a look that finds the
// stamps the look before found), and none while nothing changes.
TEST(LabWatch, RunsAgainOnceAfterEachSavedChange) {
  const std::string dir = CopySampleData("watch");
  std::ostringstream out;
  int looks = 0;
  const int status = Watch(dir, WatchOptions{}, out, [&] {
    if (++looks == 1) {
      EditFile(dir, "pellix_weapon.dat", "\n5     880", "\n5     440");
      const auto file = std::filesystem::path(dir) / "pellix_weapon.dat";
      std::filesystem::last_write_time(file,
                                       std::filesystem::last_write_time(file) + std::chrono::seconds(2));
    }
    return looks < 5;
  });
  EXPECT_EQ(status, 0);
  const std::string text = out.str();
  const size_t second = text.find(" run 2 ==");
  ASSERT_NE(second, std::string::npos) << text;
  EXPECT_EQ(text.find(" run 3 =="), std::string::npos);
  // Weapon 5's line: its muzzle speed before and after the edit.
  EXPECT_NE(text.substr(0, second).find("\n     5   880.0 "), std::string::npos) << text;
  EXPECT_NE(text.substr(second).find("\n     5   440.0 "), std::string::npos) << text;
}

}  // namespace
}  // namespace pellix::lab
