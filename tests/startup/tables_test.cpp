// One table of data-file texts and the rows they give, run natively and as 32-bit Windows under
// Wine (there with the Microsoft runtime's fgets, atol and sscanf).
#include "startup/tables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "startup/profile.h"
#include "temp_files.h"

namespace pellix {
namespace {

using namespace std::string_view_literals;

// A weapon row as the file gives it, before the load conversions.
struct WeaponLine {
  int32_t row;
  float muzzle, dragAlong, dragAcross, pierceCost, ricochetBonus;
  int32_t tracerEvery;
  float ammoLength, tracerLength, ammoWidth, tracerWidth;
  int32_t ammoAlpha, tracerAlpha;
  uint32_t colour;
};

// The row that one full line with these values leaves in a zero row.
WeaponBallistics Loaded(const WeaponLine& w) {
  WeaponBallistics b{};
  b.speedFactor = static_cast<float>(25.0 / static_cast<double>(w.muzzle));
  b.dragAlong = w.dragAlong;
  b.dragAcross = w.dragAcross;
  b.pierceCost = w.pierceCost;
  b.ricochetBonus = w.ricochetBonus;
  b.tracerEvery = w.tracerEvery;
  b.ammoTrailLength = b.speedFactor * w.ammoLength;
  b.tracerTrailLength = w.tracerLength * b.speedFactor;
  b.ammoTrailWidth = w.ammoWidth;
  b.tracerTrailWidth = w.tracerWidth;
  b.ammoTrailAlpha = w.ammoAlpha;
  b.tracerTrailAlpha = w.tracerAlpha;
  b.tracerColour = w.colour;
  return b;
}

struct ExpectedWeapon {
  int32_t row;
  WeaponBallistics values;
};

struct WeaponCase {
  const char* name;
  std::string_view text;
  int32_t count;
  std::vector<ExpectedWeapon> rows;  // every other row stays zero
};

const WeaponLine kRifle{1,  900, 0.1f, 0.2f, 0.3f, 0.4f, 3,
                        30, 40,  0.5f, 0.6f, 200,  255,  0xFF00FF00};
const WeaponLine kPistol{2,  350, 0.5f,  0.25f, 2,   0.125f, 0,
                         10, 12,  0.25f, 0.75f, 128, 192,    0x80FFA000};
#define RIFLE_TEXT "1 900 0.1 0.2 0.3 0.4 3 30 40 0.5 0.6 200 255 0xFF00FF00"
#define PISTOL_TEXT "2 350 0.5 0.25 2 0.125 0 10 12 0.25 0.75 128 192 0x80FFA000"

WeaponBallistics With(WeaponBallistics row, uint32_t colour) {
  row.tracerColour = colour;
  return row;
}

std::vector<WeaponCase> WeaponCases() {
  const WeaponBallistics rifle = Loaded(kRifle);
  const WeaponBallistics pistol = Loaded(kPistol);
  WeaponBallistics cut{};  // "2 800 0.1 0.2": three fields, the rest zero
  cut.speedFactor = static_cast<float>(25.0 / 800.0);
  cut.dragAlong = 0.1f;
  cut.dragAcross = 0.2f;
  // A second line for row 1 that stops after the drag along: the other fields keep the rifle's
  // stored values, and the trail lengths are multiplied by the new speed factor once more.
  WeaponBallistics partial = rifle;
  partial.speedFactor = static_cast<float>(25.0 / 600.0);
  partial.dragAlong = 0.7f;
  partial.ammoTrailLength = partial.speedFactor * rifle.ammoTrailLength;
  partial.tracerTrailLength = rifle.tracerTrailLength * partial.speedFactor;
  WeaponBallistics exponent =
      Loaded({3, 1200, 0.5f, -0.25f, 0.001f, -0.5f, 2, 50, 80, 1, 2, -1, 300, 0x1234ABCD});
  const auto muzzleOnly = [](double muzzle) {
    WeaponBallistics row{};
    row.speedFactor = static_cast<float>(25.0 / static_cast<double>(static_cast<float>(muzzle)));
    return row;
  };
  // A number beyond the float range is kept as an infinity of its sign. A muzzle speed of 0 or
  // of infinity leaves no muzzle speed (speedFactor 0), and then no trail, endless or not
  // (0 x inf is 0, not NaN: found by the table fuzz target).
  const float inf = INFINITY;
  const WeaponBallistics endless =
      Loaded({1, 900, inf, -inf, inf, -inf, 3, inf, 40, inf, 0.6f, 200, 255, 0x1});
  WeaponBallistics noSpeed = Loaded({1, 900, 0.1f, 0.2f, 0.3f, 0.4f, 3, 0, 0, 0.5f, 0.6f, 200,
                                     255, 0x1});
  noSpeed.speedFactor = 0.0f;
  const std::string longLine = "3" + std::string(1022, ' ') + PISTOL_TEXT "\n";
  static std::string longLineText;
  longLineText = longLine;

  return {
      {"full line", RIFLE_TEXT "\n", 4, {{1, rifle}}},
      {"two rows", RIFLE_TEXT "\n" PISTOL_TEXT "\n", 4, {{1, rifle}, {2, pistol}}},
      {"colour without 0x",
       "1 900 0.1 0.2 0.3 0.4 3 30 40 0.5 0.6 200 255 ff00ff00\n",
       4,
       {{1, rifle}}},
      {"colour in upper case",
       "1 900 0.1 0.2 0.3 0.4 3 30 40 0.5 0.6 200 255 0XFF00FF00\n",
       4,
       {{1, rifle}}},
      {"upper-case digits",
       "1 900 0.1 0.2 0.3 0.4 3 30 40 0.5 0.6 200 255 FF00FF00\n",
       4,
       {{1, rifle}}},
      {"signs and exponents",
       "+3 1.2e3 5E-1 -0.25 1e-3 -5e-1 +2 5.0e1 8e+1 1. 2.0 -1 +300 0x1234abcd\n",
       4,
       {{3, exponent}}},
      {"tabs between fields",
       "1\t900\t0.1\t0.2\t0.3\t0.4\t3\t30\t40\t0.5\t0.6\t200\t255\t0xFF00FF00\n",
       4,
       {{1, rifle}}},
      {"spaces before the index", "   " RIFLE_TEXT "\n", 4, {{1, rifle}}},
      {"line cut short", "2 800 0.1 0.2\n", 4, {{2, cut}}},
      {"junk colour keeps the old one",
       "1 900 0.1 0.2 0.3 0.4 3 30 40 0.5 0.6 200 255 zz\n",
       4,
       {{1, With(rifle, 0)}}},
      {"later line keeps fields after its mismatch",
       RIFLE_TEXT "\n1 600 0.7 x 0.3 0.4 3 30 40 0.5 0.6 200 255 0x1\n",
       4,
       {{1, partial}}},
      {"repeated index overwrites",
       PISTOL_TEXT "\n"
                   "2 900 0.1 0.2 0.3 0.4 3 30 40 0.5 0.6 200 255 0xFF00FF00\n",
       4,
       {{2,
         Loaded({2, 900, 0.1f, 0.2f, 0.3f, 0.4f, 3, 30, 40, 0.5f, 0.6f, 200, 255, 0xFF00FF00})}}},
      {"index equal to the count",
       "4 900 0.1 0.2 0.3 0.4 3 30 40 0.5 0.6 200 255 0xFF00FF00\n",
       4,
       {}},
      {"negative index", "-1 900 0.1 0.2 0.3 0.4 3 30 40 0.5 0.6 200 255 0xFF00FF00\n", 4, {}},
      // The index is the low 32 bits of the runtime's reading, as the host's runtime gives it.
      {"index -4294967295 wraps to row 1",
       "-4294967295 900 0.1 0.2 0.3 0.4 3 30 40 0.5 0.6 200 255 0xFF00FF00\n",
       4,
       {{1, rifle}}},
      {"index 4294967298 wraps to row 2",
       "4294967298 350 0.5 0.25 2 0.125 0 10 12 0.25 0.75 128 192 0x80FFA000\n",
       4,
       {{2, pistol}}},
      {"comment line with a row", ";" RIFLE_TEXT "\n", 4, {}},
      {"white space before the semicolon", "  ;" RIFLE_TEXT "\n", 4, {}},
      {"blank lines leave row 0", "\n\n  \n" RIFLE_TEXT "\n\n", 4, {{1, rifle}}},
      {"words", "rifle fast\n" RIFLE_TEXT "\n", 4, {{1, rifle}}},
      {"row 0", "0 900 0.1 0.2 0.3 0.4 3 30 40 0.5 0.6 200 255 0xFF00FF00\n", 1, {{0, rifle}}},
      {"no final line end", PISTOL_TEXT "\n" RIFLE_TEXT, 4, {{1, rifle}, {2, pistol}}},
      {"last line a comment", RIFLE_TEXT "\n; the end", 4, {{1, rifle}}},
      {"last line ignored", RIFLE_TEXT "\n9 900", 4, {{1, rifle}}},
      {"CRLF line ends", RIFLE_TEXT "\r\n" PISTOL_TEXT "\r\n", 4, {{1, rifle}, {2, pistol}}},
      {"NUL first stops reading", RIFLE_TEXT "\n\0\n" PISTOL_TEXT "\n"sv, 4, {{1, rifle}}},
      {"line over 1023 chars reads as two", longLineText, 4, {{2, pistol}}},
      {"empty file", "", 4, {}},
      // Editors on Windows may start a file with a UTF-8 byte-order mark: no part of the line.
      {"byte-order mark skipped", "\xEF\xBB\xBF" RIFLE_TEXT "\n", 4, {{1, rifle}}},
      {"byte-order mark after the start", RIFLE_TEXT "\n\xEF\xBB\xBF" PISTOL_TEXT "\n", 4,
       {{1, rifle}}},
      // The runtime's number reading: no "inf", "nan" or hexadecimal floats, an exponent
      // needs digits, and integers are kept modulo 2^32.
      {"exponent without digits ends the scan",
       "1 900 1e 0.2 0.3 0.4 3 30 40 0.5 0.6 200 255 0x1\n",
       4,
       {{1, muzzleOnly(900)}}},
      {"inf is no number", "1 inf 0.1 0.2 0.3 0.4 3 30 40 0.5 0.6 200 255 0x1\n", 4, {}},
      {"nan is no number",
       "1 900 nan 0.2 0.3 0.4 3 30 40 0.5 0.6 200 255 0x1\n",
       4,
       {{1, muzzleOnly(900)}}},
      {"hexadecimal float reads its 0",
       "1 900 0x10 0.2 0.3 0.4 3 30 40 0.5 0.6 200 255 0x1\n",
       4,
       {{1, muzzleOnly(900)}}},
      {"number with trailing letters",
       "1 1.5e3x 0.1 0.2 0.3 0.4 3 30 40 0.5 0.6 200 255 0x1\n",
       4,
       {{1, muzzleOnly(1500)}}},
      {"prefix without hexadecimal digits",
       "1 900 0.1 0.2 0.3 0.4 3 30 40 0.5 0.6 200 255 0x\n",
       4,
       {{1, With(rifle, 0)}}},
      {"colour kept modulo 2^32",
       "1 900 0.1 0.2 0.3 0.4 3 30 40 0.5 0.6 200 255 1FF00FF00\n",
       4,
       {{1, rifle}}},
      {"negative colour",
       "1 900 0.1 0.2 0.3 0.4 3 30 40 0.5 0.6 200 255 -1\n",
       4,
       {{1, With(rifle, 0xFFFFFFFF)}}},
      {"beyond the float range",
       "1 900 1e39 -1e39 1e300 -1e39 3 1e39 40 1e39 0.6 200 255 0x1\n",
       4,
       {{1, endless}}},
      {"no muzzle speed, no trail",
       "1 0 0.1 0.2 0.3 0.4 3 1e39 40 0.5 0.6 200 255 0x1\n"
       "2 1e39 0.1 0.2 0.3 0.4 3 1e39 40 0.5 0.6 200 255 0x1\n",
       4,
       {{1, noSpeed}, {2, noSpeed}}},
      {"alpha kept modulo 2^32",
       "1 900 0.1 0.2 0.3 0.4 3 30 40 0.5 0.6 4294967496 255 0xFF00FF00\n",
       4,
       {{1, rifle}}},
  };
}

struct ExpectedSurface {
  int32_t row;
  SurfaceBallistics values;  // as stored
};

struct SurfaceCase {
  const char* name;
  std::string_view text;
  std::vector<ExpectedSurface> rows;
};

std::vector<SurfaceCase> SurfaceCases() {
  const SurfaceBallistics line{0.5f, 0.4f, 0.3f, 0.1f, 2.0f};  // "0.5 0.8 0.3 0.1 2"
  return {
      {"SP is row 1", "SP 0.5 0.8 0.3 0.1 2\n", {{1, line}}},
      {"SPARK is row 1", "SPARK 0.5 0.8 0.3 0.1 2\n", {{1, line}}},
      {"Sp is row 2", "Sp 0.5 0.8 0.3 0.1 2\n", {{2, line}}},
      {"S alone is row 2", "S 0.5 0.8 0.3 0.1 2\n", {{2, line}}},
      {"lower-case s is ignored", "sp 0.5 0.8 0.3 0.1 2\n", {}},
      {"every key",
       "N 0.5 0.8 0.3 0.1 2\nW 0.5 0.8 0.3 0.1 2\nD 0.5 0.8 0.3 0.1 2\nC 0.5 0.8 0.3 0.1 2\n"
       "P 0.5 0.8 0.3 0.1 2\n",
       {{0, line}, {3, line}, {4, line}, {5, line}, {6, line}}},
      {"unknown keys", "X 1 1 1 1 1\n1 1 1 1 1 1\n N 1 1 1 1 1\nn 1 1 1 1 1\n", {}},
      {"negative resistance", "W 0.25 1 0 0.5 -1\n", {{3, {0.25f, 0.5f, 0.0f, 0.5f, -1.0f}}}},
      {"exponents and signs",
       "D +2.5e-1 1E0 -0 5e-1 -1e1\n",
       {{4, {0.25f, 0.5f, -0.0f, 0.5f, -10.0f}}}},
      {"cut short", "W 0.5 0.8\n", {{3, {0.5f, 0.4f, 0, 0, 0}}}},
      {"key alone", "N\n", {}},
      {"word instead of a number", "N abc 1 1 1 1\n", {}},
      // A shorter repeat keeps the rest, and the kept angle loss is halved once more.
      {"repeated class", "D 0.5 0.8 0.3 0.1 2\nD 0.6\n", {{4, {0.6f, 0.2f, 0.3f, 0.1f, 2.0f}}}},
      {"comment", ";N 0.5 0.8 0.3 0.1 2\n", {}},
      {"tab after the key", "N\t0.5\t0.8\t0.3\t0.1\t2\n", {{0, line}}},
      {"CRLF and no final line end",
       "N 0.5 0.8 0.3 0.1 2\r\nC 0.5 0.8 0.3 0.1 2",
       {{0, line}, {5, line}}},
      {"blank line", "\nN 0.5 0.8 0.3 0.1 2\n\n", {{0, line}}},
      {"byte-order mark skipped", "\xEF\xBB\xBFN 0.5 0.8 0.3 0.1 2\n", {{0, line}}},
      {"NUL first stops reading", "N 0.5 0.8 0.3 0.1 2\n\0\nC 0.5 0.8 0.3 0.1 2\n"sv, {{0, line}}},
      {"beyond the float range", "W 1e39 -1e39 -1e300 1e39 -1e39\n",
       {{3, {INFINITY, -INFINITY, -INFINITY, INFINITY, -INFINITY}}}},
      {"runtime number reading",
       "N 1e 1 1 1 1\nW inf 1 1 1 1\nD 0.5 nan\nC 0.5 0x8\n",
       {{4, {0.5f, 0, 0, 0, 0}}, {5, {0.5f, 0, 0, 0, 0}}}},
  };
}

class TableFiles : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { folder_ = testing::ScratchFolder("tables"); }
  static std::string Write(const std::string& name, std::string_view text) {
    const auto file = folder_ / name;
    testing::WriteBytes(file, text);
    return file.string();
  }
  static std::filesystem::path folder_;
};
std::filesystem::path TableFiles::folder_;

TEST_F(TableFiles, WeaponCasesGiveTheirRows) {
  int index = 0;
  for (const WeaponCase& c : WeaponCases()) {
    SCOPED_TRACE(c.name);
    const std::string path = Write("weapon" + std::to_string(index++) + ".dat", c.text);
    std::vector<WeaponBallistics> rows(static_cast<size_t>(c.count));
    std::FILE* file = OpenPlatformFile(path.c_str(), "r");
    ASSERT_NE(file, nullptr);
    ReadWeaponFile(file, rows.data(), c.count);
    std::fclose(file);
    for (int32_t r = 0; r < c.count; ++r) {
      WeaponBallistics expected{};
      for (const ExpectedWeapon& e : c.rows) {
        if (e.row == r) expected = e.values;
      }
      const WeaponBallistics& got = rows[static_cast<size_t>(r)];
      SCOPED_TRACE("row " + std::to_string(r));
      EXPECT_EQ(got.speedFactor, expected.speedFactor);
      EXPECT_EQ(got.dragAlong, expected.dragAlong);
      EXPECT_EQ(got.dragAcross, expected.dragAcross);
      EXPECT_EQ(got.pierceCost, expected.pierceCost);
      EXPECT_EQ(got.ricochetBonus, expected.ricochetBonus);
      EXPECT_EQ(got.tracerEvery, expected.tracerEvery);
      EXPECT_EQ(got.ammoTrailLength, expected.ammoTrailLength);
      EXPECT_EQ(got.tracerTrailLength, expected.tracerTrailLength);
      EXPECT_EQ(got.ammoTrailWidth, expected.ammoTrailWidth);
      EXPECT_EQ(got.tracerTrailWidth, expected.tracerTrailWidth);
      EXPECT_EQ(got.ammoTrailAlpha, expected.ammoTrailAlpha);
      EXPECT_EQ(got.tracerTrailAlpha, expected.tracerTrailAlpha);
      EXPECT_EQ(got.tracerColour, expected.tracerColour);
      EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0);  // signs of zeros too
    }
  }
}

TEST_F(TableFiles, SurfaceCasesGiveTheirRows) {
  int index = 0;
  for (const SurfaceCase& c : SurfaceCases()) {
    SCOPED_TRACE(c.name);
    const std::string path = Write("surface" + std::to_string(index++) + ".dat", c.text);
    SurfaceBallistics rows[SurfaceClassCount] = {};
    std::FILE* file = OpenPlatformFile(path.c_str(), "r");
    ASSERT_NE(file, nullptr);
    ReadSurfaceFile(file, rows);
    std::fclose(file);
    for (int32_t r = 0; r < SurfaceClassCount; ++r) {
      SurfaceBallistics expected{};
      for (const ExpectedSurface& e : c.rows) {
        if (e.row == r) expected = e.values;
      }
      SCOPED_TRACE("class " + std::to_string(r));
      EXPECT_EQ(rows[r].ricochetThreshold, expected.ricochetThreshold);
      EXPECT_EQ(rows[r].ricochetAngleLoss, expected.ricochetAngleLoss);
      EXPECT_EQ(rows[r].ricochetKeep, expected.ricochetKeep);
      EXPECT_EQ(rows[r].ricochetScatter, expected.ricochetScatter);
      EXPECT_EQ(rows[r].pierceResistance, expected.pierceResistance);
      EXPECT_EQ(std::memcmp(&rows[r], &expected, sizeof expected), 0);
    }
  }
}

// Muzzle speed 900 and an ammo trail of 30 world units.
TEST(WeaponConversion, SpeedFactorAndTrailLengthInTimeStepUnits) {
  WeaponBallistics rows[1] = {};
  ReadWeaponLine("0 900 0 0 0 0 0 30 0 0 0 0 0 0", rows, 1);
  EXPECT_FLOAT_EQ(rows[0].speedFactor, 0.027777778f);
  EXPECT_FLOAT_EQ(rows[0].ammoTrailLength, 0.8333333f);
  EXPECT_EQ(rows[0].speedFactor, static_cast<float>(25.0 / 900.0));  // division in double
}

TEST(SurfaceConversion, AngleLossIsHalved) {
  SurfaceBallistics rows[SurfaceClassCount] = {};
  EXPECT_EQ(ReadSurfaceLine("N 0.5 0.8", rows), LineResult::Stored);
  EXPECT_EQ(rows[0].ricochetAngleLoss, 0.4f);
}

TEST(WeaponLookup, RowOfEachTypeWithThirtyTwoRows) {
  WeaponBallistics rows[32] = {};
  const int32_t savedCount = settings.weaponCount;
  WeaponBallistics* savedTable = weaponTable;
  settings.weaponCount = 32;
  weaponTable = rows;
  EXPECT_EQ(ReadWeaponLine("32 900 0 0 0 0 0 0 0 0 0 0 0 0", rows, 32), LineResult::Ignored);
  EXPECT_EQ(ReadWeaponLine("-1 900 0 0 0 0 0 0 0 0 0 0 0 0", rows, 32), LineResult::Ignored);
  EXPECT_EQ(ReadWeaponLine("31 900 0 0 0 0 0 0 0 0 0 0 0 0", rows, 32), LineResult::Stored);
  EXPECT_EQ(WeaponRowIndex(31), 31u);
  EXPECT_EQ(WeaponRowIndex(32), 0u);
  EXPECT_EQ(WeaponRowIndex(40), 0u);
  EXPECT_EQ(WeaponRowIndex(-1), 0u);
  EXPECT_EQ(&WeaponRow(40), &rows[0]);
  settings.weaponCount = savedCount;
  weaponTable = savedTable;
}

TEST(TableLines, FirstCharacterDecides) {
  WeaponBallistics weapons[2] = {};
  SurfaceBallistics surfaces[SurfaceClassCount] = {};
  EXPECT_EQ(ReadWeaponLine("", weapons, 2), LineResult::Stop);
  EXPECT_EQ(ReadSurfaceLine("", surfaces), LineResult::Stop);
  EXPECT_EQ(ReadWeaponLine(";1 900", weapons, 2), LineResult::Ignored);
  EXPECT_EQ(ReadWeaponLine(" ;1 900", weapons, 2), LineResult::Ignored);
  EXPECT_EQ(ReadWeaponLine("\n", weapons, 2), LineResult::Ignored);
  EXPECT_EQ(ReadSurfaceLine("\n", surfaces), LineResult::Ignored);
  const WeaponBallistics zero[2] = {};
  EXPECT_EQ(std::memcmp(weapons, zero, sizeof zero), 0);
  EXPECT_EQ(SurfaceClassOfLine("SP"), SurfaceSP);
  EXPECT_EQ(SurfaceClassOfLine("S"), SurfaceS);
  EXPECT_EQ(SurfaceClassOfLine("Sp"), SurfaceS);
  EXPECT_EQ(SurfaceClassOfLine("sP"), -1);
  EXPECT_EQ(SurfaceClassOfLine(" N"), -1);
}

// The scans are also called on lines that did not come through the 1024-character reader
// (the lab, the fuzzers): a number longer than any such line must not overrun a buffer.
TEST(TableLines, NumberLongerThanAReaderLineIsSafe) {
  const std::string weaponLine = "0 " + std::string(3000, '7');
  const std::string surfaceLine = "N " + std::string(3000, '7');
  WeaponBallistics weapon{};
  SurfaceBallistics surface{};
  EXPECT_LE(ScanWeaponFields(weaponLine.c_str(), weapon), 1);
  EXPECT_LE(ScanSurfaceFields(surfaceLine.c_str(), surface), 1);
}

}  // namespace
}  // namespace pellix
