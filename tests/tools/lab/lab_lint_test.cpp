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
  bool fault;
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
    EXPECT_EQ(findings[i].fault, expected[i].fault);
    EXPECT_NE(findings[i].reason.find(expected[i].words), std::string::npos);
  }
}

TEST(LabLint, SampleDataIsClean) {
  const auto findings = LintFolder(PELLIX_SAMPLE_DATA);
  for (const auto& f : findings) ADD_FAILURE() << f.file << ":" << f.line << ": " << f.reason;
  EXPECT_FALSE(AnyFault(findings));
}

TEST(LabLint, BrokenCopyListsEveryFaultWithItsLine) {
  const Expected expected[] = {
      {"pellix.ini", 4, true, "belongs in [PHYSICS]"},
      {"pellix.ini", 6, true, "'fast' is not a number"},
      {"pellix.ini", 7, true, "'yes' is not a number"},
      {"pellix.ini", 8, true, "text after the number is ignored (it reads as 0.5000)"},
      {"pellix.ini", 9, true, "empty: it reads as 0"},
      {"pellix.ini", 11, true, "already set at line 10"},
      {"pellix.ini", 13, true, "'Bounce' is not one of the 23 keys"},
      {"pellix.ini", 16, true, "'inf' is not a decimal number: it reads as 0"},
      {"pellix.ini", 17, true, "'0x10' is not a decimal number"},
      {"pellix.ini", 18, false,
       "'1e39' is beyond the float range: stored as inf, so the refraction strip of a plain "
       "round never shows"},
      {"pellix_weapon.dat", 3, true, "weapon type 4 is outside the table (types 0 to 3"},
      {"pellix_weapon.dat", 4, true, "weapon type -1 is outside the table"},
      {"pellix_weapon.dat", 5, true, "muzzle speed 0"},
      {"pellix_weapon.dat", 6, true, "only 3 of 13 fields read: the scan stopped at pierceCost"},
      {"pellix_weapon.dat", 7, true, "no field could be read"},
      {"pellix_weapon.dat", 8, false, "not a comment"},
      {"pellix_weapon.dat", 9, true, "already given at line 2"},
      {"pellix_weapon.dat", 10, true, "1102 characters long"},
      {"pellix_weapon.dat", 0, true, "weapon row 0 is not filled"},
      {"pellix_surface.dat", 3, true, "'sp' is in lower case"},
      {"pellix_surface.dat", 4, true, "'Sp' is read as key S"},
      {"pellix_surface.dat", 5, true, "only 2 of 5 fields read: the scan stopped at ricochetKeep"},
      {"pellix_surface.dat", 6, true, "'X' is not a surface key"},
      {"pellix_surface.dat", 7, true, "no field could be read"},
      {"pellix_surface.dat", 8, true, "class N was already given at line 2"},
      {"pellix_surface.dat", 0, false, "class SP has no line"},
      {"pellix_surface.dat", 0, false, "class D has no line"},
      {"pellix_surface.dat", 0, false, "class C has no line"},
      {"pellix_surface.dat", 0, false, "class P has no line"},
  };
  const auto findings = LintFolder(std::string(PELLIX_LAB_FIXTURES) + "/broken");
  ASSERT_EQ(findings.size(), std::size(expected));
  ExpectFindings(findings, expected);
  EXPECT_TRUE(AnyFault(findings));
}

// Values beyond the float range are kept as infinities: notes that say what each will do.
TEST(LabLint, ValuesBeyondTheFloatRangeAreNotedWithWhatTheyDo) {
  const Expected expected[] = {
      {"pellix.ini", 5, false, "RangeMult = '1e39' is beyond the float range: stored as inf, so "
                               "no shot expires by time"},
      {"pellix.ini", 6, false, "'1e38' is beyond the float range: stored as inf, so every impact "
                               "stops the round"},
      {"pellix_weapon.dat", 4, false, "pierceCost is beyond the float range: stored as inf"},
      {"pellix_weapon.dat", 4, false, "stored as -inf, so no hit ricochets"},
      // The one fault: 25 / inf is 0, no muzzle speed.
      {"pellix_weapon.dat", 5, true, "muzzle speed beyond the float range: 25 / speed is 0"},
      {"pellix_surface.dat", 2, false, "ricochetThreshold is beyond the float range: stored as "
                                       "inf, so every hit against this surface may ricochet"},
      {"pellix_surface.dat", 2, false, "stored as -inf, so the surface cannot be pierced"},
      {"pellix_surface.dat", 3, false, "stored as inf, so every round stops on its way out"},
  };
  const auto findings = LintFolder(std::string(PELLIX_LAB_FIXTURES) + "/endless");
  ASSERT_GE(findings.size(), std::size(expected));
  ExpectFindings(findings, expected);
  EXPECT_EQ(std::count_if(findings.begin(), findings.end(), [](const Finding& f) {
              return f.fault;
            }),
            1);
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

// The reload refuses a file for exactly the faults lint reports, in lint's words.
TEST(LabLint, TheReloadsChecksFindLintsFaults) {
  for (const char* dir : {PELLIX_LAB_FIXTURES "/broken", PELLIX_LAB_FIXTURES "/endless"}) {
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
      std::ifstream in(std::string(dir) + "/" + name, std::ios::binary);
      text.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    Settings s{};
    ReadSettings(SystemProfile(), (std::string(dir) + "/pellix.ini").c_str(), s);
    std::vector<int32_t> filledAt(static_cast<size_t>(s.weaponCount));
    CheckSettingsFaults(text[0].data(), text[0].size(), sink);
    CheckWeaponFaults(text[1].data(), text[1].size(), s.weaponCount, filledAt.data(), sink);
    CheckSurfaceFaults(text[2].data(), text[2].size(), sink);
    EXPECT_EQ(reload, lint) << dir;
  }
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
