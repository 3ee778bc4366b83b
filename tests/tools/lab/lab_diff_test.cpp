// `diff` between the sample data and a copy with one value changed (gravity, drag, ricochet
// and penetration on), and the editing of one weapon line that `fit --write` does.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "startup/tables.h"
#include "tests/tools/lab/data_copy.h"
#include "tools/lab/diff.h"
#include "tools/lab/report.h"
#include "tools/lab/weapon_line.h"

namespace pellix::lab {
namespace {

DiffOptions PhysicsOn() {
  DiffOptions o = DefaultDiffOptions();
  for (const char* key : {"PHYSICS/Gravity", "PHYSICS/AirResist", "PHYSICS/Ricochet",
                          "PHYSICS/Pierce"}) {
    // Not from a const char*: MinGW's GCC 12 warns of an overlap there (-Wrestrict) that is none.
    o.overrides[key] = std::string(1, '1');
  }
  return o;
}

TEST(LabDiff, AFolderAgainstItselfIsEmpty) {
  DiffResult r;
  std::string error;
  ASSERT_TRUE(DiffFolders(PELLIX_SAMPLE_DATA, PELLIX_SAMPLE_DATA, PhysicsOn(), r, error)) << error;
  EXPECT_TRUE(r.Empty());
  EXPECT_FALSE(r.noticeable);
}

TEST(LabDiff, ChangedDragShowsInThatWeaponsRowsOnly) {
  const std::string dir = CopySampleData("drag");
  EditFile(dir, "pellix_weapon.dat", "5     880    0.008", "5     880    0.020");
  const DiffOptions o = PhysicsOn();
  DiffResult r;
  std::string error;
  ASSERT_TRUE(DiffFolders(PELLIX_SAMPLE_DATA, dir, o, r, error)) << error;
  EXPECT_TRUE(r.settings.empty());
  EXPECT_TRUE(r.surfaces.empty());
  EXPECT_TRUE(r.cells.empty());  // impacts are at shares of the muzzle speed, which stays
  ASSERT_EQ(r.weapons.size(), 1u);
  const WeaponDiff& w = r.weapons[0];
  EXPECT_EQ(w.row, 5);
  ASSERT_EQ(w.fields.size(), 1u);
  EXPECT_EQ(w.fields[0].name, "dragAlong");
  EXPECT_TRUE(w.rangeChanged);
  EXPECT_TRUE(r.noticeable);
  // Drag along: each half step keeps q = 1 - 0.2 x drag x 0.5 of the speed, 0.9992 before and
  // 0.998 after; frame n flies 17.6 q^n units at 880 q^n per second. Between the frames
  // around each distance (gravity adds a few thousandths): -1.504, -3.008, -4.513.
  ASSERT_EQ(w.oldAt.size(), 3u);
  const double expected[3] = {-1.504, -3.008, -4.513};
  for (size_t i = 0; i < 3; ++i)
    EXPECT_NEAR(w.newAt[i].point.speed - w.oldAt[i].point.speed, expected[i], 0.01) << i;

  // The comparison page draws the old data dashed under the new.
  // The changed weapon is drawn wider and marked.
  ReportOptions ro;
  ro.overrides = o.overrides;
  ro.changedWeapons = {5};
  std::string html;
  ASSERT_TRUE(BuildDiffReport(PELLIX_SAMPLE_DATA, dir, ro, html, error)) << error;
  EXPECT_NE(html.find("class=\"series old\" data-series=\"weapon 5\""), std::string::npos);
  EXPECT_NE(html.find("stroke-dasharray=\"6 4\""), std::string::npos);
  EXPECT_NE(html.find("stroke-width=\"4\""), std::string::npos);
  EXPECT_NE(html.find(">weapon 5 (changed)</text>"), std::string::npos);
  EXPECT_EQ(html.find(">weapon 4 (changed)</text>"), std::string::npos);
  std::filesystem::remove_all(dir);
}

// A type up to MaxWeapon without a line has no row of its own and never flies; only a type
// above MaxWeapon uses row 0.
TEST(LabDiff, ARowThatGoesSaysWhatItsTypeFliesWith) {
  const std::string noLine = CopySampleData("no-line"), beyond = CopySampleData("beyond");
  EditFile(noLine, "pellix_weapon.dat", "7     850", ";7     850");
  EditFile(beyond, "pellix.ini", "MaxWeapon=7", "MaxWeapon=6");
  for (const auto& [dir, says] : {std::pair{noLine, "type 7 has no line, so no shot of it can fly"},
                                  std::pair{beyond, "type 7 is above MaxWeapon and uses row 0"}}) {
    DiffResult r;
    std::string error;
    ASSERT_TRUE(DiffFolders(PELLIX_SAMPLE_DATA, dir, DefaultDiffOptions(), r, error)) << error;
    std::ostringstream text;
    PrintDiffText(r, DefaultDiffOptions(), text);
    EXPECT_NE(text.str().find(std::string("weapon row 7 is only in OLD: in NEW weapon ") + says),
              std::string::npos)
        << text.str();
    std::filesystem::remove_all(dir);
  }
}

TEST(LabDiff, SurfaceThatCannotBePiercedFlipsItsPenetrations) {
  const std::string dir = CopySampleData("wall");
  EditFile(dir, "pellix_surface.dat", "W    0.15      0.60      0.30 0.20    0.8",
           "W    0.15      0.60      0.30 0.20    -1");
  DiffResult r;
  std::string error;
  ASSERT_TRUE(DiffFolders(PELLIX_SAMPLE_DATA, dir, PhysicsOn(), r, error)) << error;
  ASSERT_EQ(r.surfaces.size(), 1u);
  EXPECT_EQ(r.surfaces[0].surfaceClass, SurfaceW);
  EXPECT_TRUE(r.weapons.empty());
  // Weapon 5 (880 per second, ricochet bonus 0) on W (threshold 0.15): a hit ricochets when
  // the cosine is below 0.15, from 85 degrees on; every share is above the floor of 125 per
  // second (0.25 is 220). Every other hit pierced and is now a plain hit: angles 0 to 80 at
  // all four shares.
  int flips5 = 0;
  for (const CellChange& c : r.cells) {
    EXPECT_EQ(c.surfaceClass, SurfaceW);
    if (!c.Flipped()) continue;
    EXPECT_EQ(c.old.outcome, ImpactOutcome::Penetration);
    EXPECT_EQ(c.now.outcome, ImpactOutcome::Hit);
    if (c.weapon != 5) continue;
    ++flips5;
    EXPECT_LE(c.old.angleDeg, 80.0f);
  }
  EXPECT_EQ(flips5, 36);
  EXPECT_TRUE(r.noticeable);
  std::filesystem::remove_all(dir);
}

// The sample's surfaces, W's ricochet threshold given.
std::string Surfaces(const char* wallThreshold) {
  return std::string(
             "N 0.25 0.80 0.40 0.10 2.0\nSP 0.30 0.90 0.50 0.05 6.0\n"
             "S 0.20 0.70 0.35 0.15 1.5\nW ") +
         wallThreshold +
         " 0.60 0.30 0.20 0.8\nD 0.10 0.50 0.20 0.25 -1\n"
         "C 0.35 0.90 0.55 0.05 3.0\nP 0.05 0.30 0.10 0.30 0.3\n";
}

TEST(LabDiff, ASurfaceEditChangesThatSurfacesCellsAlone) {
  // One weapon, 880 per second, ricochet bonus 0. A hit ricochets when the cosine of its angle
  // from the normal is below W's threshold, now 0.45 for 0.15: cos 70 = 0.342 and cos 80 =
  // 0.174 newly are (cos 60 = 0.5 is not). Shares 1 and 0.75 (880 and 660 per second) are above
  // the 625 floor, 0.5 is not: 4 cells flip from penetration. Each cell draws its scatter from
  // the start of the sequence, so no cell after them, on W or on D, C and P, moves.
  const char* ini = "[PELLIX]\nMaxWeapon=0\n";
  const char* weapons = "0 880 0.008 0.040 0.80 0.00 4 8.0 16.0 0.03 0.07 90 230 0xFFFF4020\n";
  const std::string a = WriteDataFolder("wall-old", ini, weapons, Surfaces("0.15"));
  const std::string b = WriteDataFolder("wall-new", ini, weapons, Surfaces("0.45"));
  DiffResult r;
  std::string error;
  ASSERT_TRUE(DiffFolders(a, b, PhysicsOn(), r, error)) << error;
  ASSERT_EQ(r.cells.size(), 4u);
  for (const CellChange& c : r.cells) {
    EXPECT_EQ(c.surfaceClass, SurfaceW);
    EXPECT_EQ(c.old.outcome, ImpactOutcome::Penetration);
    EXPECT_EQ(c.now.outcome, ImpactOutcome::Ricochet);
    EXPECT_TRUE(c.old.angleDeg == 70.0f || c.old.angleDeg == 80.0f) << c.old.angleDeg;
    EXPECT_GE(c.old.speedShare, 0.75f);
  }
  std::ostringstream text;
  PrintDiffText(r, DefaultDiffOptions(), text);
  EXPECT_NE(text.str().find("  ricochetThreshold 0.15 -> 0.45\n"), std::string::npos);
  EXPECT_NE(text.str().find("  W: penetration -> ricochet: 4 cells of weapon 0\n"),
            std::string::npos)
      << text.str();
  std::filesystem::remove_all(a);
  std::filesystem::remove_all(b);
}

TEST(LabDiff, ChangesAreListedAsTheFilesGiveThem) {
  // GravityMult 0.49 is stored as float(float(0.49) x 0.032f) = 0.01568, which divided back
  // in float is 0.48999998: the INI's 0.49 is the shortest number stored the same (gravity is
  // off, so no table changes with it). Row 0's trail lengths are
  // stored times 25 / muzzle speed, so they change with it, but their world units do not. Row
  // 1's drag changes nothing with AirResist off, and its trail does not change the flight.
  const std::string surfaces = Surfaces("0.15");
  const std::string a =
      WriteDataFolder("terms-old", "[PELLIX]\nMaxWeapon=1\n",
                      "0 880 0.008 0.04 0.8 0 4 8.0 16.0 0.03 0.07 90 230 0xFFFF4020\n"
                      "1 400 0.008 0.04 0.8 0 4 8.0 16.0 0.03 0.07 90 230 0xFFFF4020\n",
                      surfaces);
  const std::string b =
      WriteDataFolder("terms-new", "[PELLIX]\nMaxWeapon=1\n[PHYSICS]\nGravityMult=0.49\n",
                      "0 807.2 0.008 0.04 0.8 0 4 8.0 16.0 0.03 0.07 90 230 0xFFFF4020\n"
                      "1 400 0.02 0.04 0.8 0 4 9.5 16.0 0.03 0.07 90 230 0xFFFF4020\n",
                      surfaces);
  DiffResult r;
  std::string error;
  ASSERT_TRUE(DiffFolders(a, b, DefaultDiffOptions(), r, error)) << error;
  ASSERT_EQ(r.settings.size(), 1u);
  EXPECT_EQ(r.settings[0].name, "GravityMult");
  EXPECT_EQ(r.settings[0].old.dump() + " " + r.settings[0].now.dump(), "1.0 0.49");
  ASSERT_EQ(r.weapons.size(), 2u);
  ASSERT_EQ(r.weapons[0].fields.size(), 1u);
  EXPECT_EQ(r.weapons[0].fields[0].name, "muzzleSpeed");
  EXPECT_EQ(r.weapons[0].fields[0].now.dump(), "807.2");
  ASSERT_EQ(r.weapons[1].fields.size(), 2u);
  EXPECT_EQ(r.weapons[1].fields[1].name + " " + r.weapons[1].fields[1].now.dump(),
            "ammoTrailLength 9.5");
  EXPECT_FALSE(r.weapons[1].rangeChanged);
  EXPECT_EQ(r.weapons[1].sameBecause,
            "AirResist is off; tracers and trails do not change the flight");
  std::filesystem::remove_all(a);
  std::filesystem::remove_all(b);
}

TEST(LabWeaponLine, OnlyTheRowsLastLineChangesAndKeepsItsColumns) {
  // Row 5 twice (the later line wins), a line of row 5 that the reader ignores, CRLF line
  // ends and no final line end.
  const std::string file =
      "; weapons\r\n"
      "0     600    0.010  0.050\r\n"
      "5     880    0.008  0.040  0.80\r\n"
      ";5    999    0.5    0.5\r\n"
      "5     870    0.008  0.040  0.80   0.00  4\r\n"
      "5 words\r\n"
      "7     850    0.005  0.025";
  WeaponLine line;
  ASSERT_TRUE(FindWeaponLine(file, 5, 8, line));
  EXPECT_EQ(line.number, 5);
  EXPECT_EQ(line.fields, 6);
  const std::string text = ReplaceWeaponFields(line.text, {{0, "919.8"}, {1, "0.005921"}});
  // The longer drag pushes the next value one column on; the wider gap after it takes that
  // back.
  EXPECT_EQ(text, "5     919.8  0.005921 0.040 0.80  0.00  4");
  const std::string edited = ReplaceLine(file, line, text);
  EXPECT_EQ(edited, file.substr(0, line.begin) + text + file.substr(line.end));
  EXPECT_EQ(edited.substr(line.begin + text.size(), 2), "\r\n");
  // With tabs between the values only the values change.
  EXPECT_EQ(ReplaceWeaponFields("5\t880\t0.008", {{1, "0.01"}}), "5\t880\t0.01");
  EXPECT_FALSE(FindWeaponLine(file, 6, 8, line));
}

}  // namespace
}  // namespace pellix::lab
