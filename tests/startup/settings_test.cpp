#include "startup/settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "startup/profile.h"
#include "temp_files.h"

namespace pellix {
namespace {

class SettingsFile : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { folder_ = testing::ScratchFolder("settings"); }
  // Reads the settings from an INI file of this text (no file for a null text) through the
  // platform's profile functions.
  static Settings Read(const char* text, const std::string& name) {
    const auto file = folder_ / (name + ".ini");
    if (text) testing::WriteBytes(file, text);
    Settings s{};
    ReadSettings(SystemProfile(), file.string().c_str(), s);
    return s;
  }
  static std::filesystem::path folder_;
};
std::filesystem::path SettingsFile::folder_;

TEST_F(SettingsFile, NoFileGivesEveryDefault) {
  const Settings s = Read(nullptr, "none");
  EXPECT_EQ(s.MaxPellix, 4096);
  EXPECT_EQ(s.weaponCount, 1);
  EXPECT_EQ(s.rangeScale, 40.0f);
  EXPECT_EQ(s.Gravity, 0);
  EXPECT_EQ(s.gravityScale, 0.032f);
  EXPECT_EQ(s.AirResist, 0);
  EXPECT_EQ(s.Ricochet, 0);
  EXPECT_EQ(s.Pierce, 0);
  EXPECT_EQ(s.MaxLoop, 8);
  EXPECT_EQ(s.minSpeedScaled, 25.0f);
  EXPECT_EQ(s.ColBias, 0.01f);
  EXPECT_EQ(s.SolidBias, 0.1f);
  EXPECT_EQ(s.SolidLoop, 50);
  EXPECT_EQ(s.TracerType, 2);
  EXPECT_EQ(s.AfterEffect, 2);
  EXPECT_EQ(s.TracerBloom, 0.001f);
  EXPECT_EQ(s.RefractSize, 0.1f);
  EXPECT_EQ(s.AmRefractLen, 2.0f);
  EXPECT_EQ(s.TrRefractLen, 1.5f);
  EXPECT_EQ(s.AmTailBias, -1.0f);
  EXPECT_EQ(s.TrTailBias, -1.0f);
  EXPECT_EQ(s.TracerBatch, 1);
}

TEST_F(SettingsFile, EmptyFileAndOtherSectionsGiveTheDefaults) {
  const Settings none = Read(nullptr, "none2");
  const Settings empty = Read("", "empty");
  const Settings other = Read("[OTHER]\nMaxPellix=5\n[PELLIX]\nSomething=1\n", "other");
  EXPECT_EQ(std::memcmp(&none, &empty, sizeof none), 0);
  EXPECT_EQ(std::memcmp(&none, &other, sizeof none), 0);
}

TEST_F(SettingsFile, ScaledKeys) {
  const Settings s = Read(
      "[PELLIX]\nMaxWeapon=46\n[PHYSICS]\nRangeMult=2\nMinSpeed=0.5\nGravityMult=2\n", "scaled");
  EXPECT_EQ(s.weaponCount, 47);
  EXPECT_EQ(s.rangeScale, 80.0f);
  EXPECT_EQ(s.minSpeedScaled, 12.5f);
  EXPECT_EQ(s.gravityScale, 0.064f);
}

// The value is rounded to float before the factor; gravity's factor is 0.032 as a float. Both
// roundings show in the last bit (expected values worked out apart from the code).
TEST_F(SettingsFile, ScalingRoundsTheValueFirstAndUsesTheFloatFactor) {
  const Settings s = Read("[PHYSICS]\nGravityMult=1.1\nMinSpeed=0.3\n", "rounding");
  EXPECT_EQ(s.gravityScale, 0.0352000035f);  // not 0.0351999998 (exact product)
  EXPECT_EQ(s.minSpeedScaled, 7.50000048f);  // not 7.5
}

TEST_F(SettingsFile, EveryKeyInItsSection) {
  const Settings s = Read(
      "[PELLIX]\nMaxPellix=100\nMaxWeapon=9\n"
      "[PHYSICS]\nRangeMult=1.5\nGravity=1\nGravityMult=0.5\nAirResist=1\nRicochet=1\nPierce=1\n"
      "MaxLoop=3\nMinSpeed=2\nColBias=0.02\nSolidBias=0.2\nSolidLoop=20\n"
      "[GRAPHICS]\nTracerType=0\nAfterEffect=0\nTracerBloom=0.002\nRefractSize=0.3\n"
      "AmRefractLen=1.25\nTrRefractLen=0.75\nAmTailBias=-0.5\nTrTailBias=0.5\nTracerBatch=0\n",
      "every");
  EXPECT_EQ(s.MaxPellix, 100);
  EXPECT_EQ(s.weaponCount, 10);
  EXPECT_EQ(s.rangeScale, 60.0f);
  EXPECT_EQ(s.Gravity, 1);
  EXPECT_EQ(s.gravityScale, 0.016f);
  EXPECT_EQ(s.AirResist, 1);
  EXPECT_EQ(s.Ricochet, 1);
  EXPECT_EQ(s.Pierce, 1);
  EXPECT_EQ(s.MaxLoop, 3);
  EXPECT_EQ(s.minSpeedScaled, 50.0f);
  EXPECT_EQ(s.ColBias, 0.02f);
  EXPECT_EQ(s.SolidBias, 0.2f);
  EXPECT_EQ(s.SolidLoop, 20);
  EXPECT_EQ(s.TracerType, 0);
  EXPECT_EQ(s.AfterEffect, 0);
  EXPECT_EQ(s.TracerBloom, 0.002f);
  EXPECT_EQ(s.RefractSize, 0.3f);
  EXPECT_EQ(s.AmRefractLen, 1.25f);
  EXPECT_EQ(s.TrRefractLen, 0.75f);
  EXPECT_EQ(s.AmTailBias, -0.5f);
  EXPECT_EQ(s.TrTailBias, 0.5f);
  EXPECT_EQ(s.TracerBatch, 0);
}

TEST_F(SettingsFile, TextThatIsNoNumber) {
  const Settings s = Read(
      "[PHYSICS]\nGravity=yes\nRangeMult=abc\nColBias=\"0.5\"\nSolidBias=0.25 world units\n"
      "MaxLoop=\n[GRAPHICS]\nTracerType=1.9\nTracerBloom=\n",
      "words");
  EXPECT_EQ(s.Gravity, 0);         // does not start with a number
  EXPECT_EQ(s.rangeScale, 0.0f);   // atof of a word
  EXPECT_EQ(s.ColBias, 0.5f);      // the quotes go
  EXPECT_EQ(s.SolidBias, 0.25f);   // the number at the start counts
  EXPECT_EQ(s.MaxLoop, 8);         // an empty integer value takes the default
  EXPECT_EQ(s.TracerType, 1);      // integer part
  EXPECT_EQ(s.TracerBloom, 0.0f);  // an empty number text converts to 0
}

// The host's runtime reads no "inf", "nan" or hexadecimal number: they give 0 (from the "0" of
// "0x10"). A number beyond the float range, or whose scaled value is, is stored as an infinity
// of its sign: every round is stopped at an impact (MinSpeed), lives without end (RangeMult).
TEST_F(SettingsFile, RuntimeNumberReadingAndValuesBeyondTheFloatRange) {
  const Settings s = Read(
      "[PHYSICS]\nColBias=inf\nSolidBias=nan\nMinSpeed=1e38\nRangeMult=1e37\n"
      "GravityMult=1e400\n[GRAPHICS]\nTracerBloom=-1e39\nRefractSize=1e-50\nAmRefractLen= +.5e1x\n"
      "TrRefractLen=1e\nAmTailBias=1,5\nTrTailBias=-0x10\n",
      "runtime");
  EXPECT_EQ(s.ColBias, 0.0f);
  EXPECT_EQ(s.SolidBias, 0.0f);
  EXPECT_EQ(s.minSpeedScaled, INFINITY);  // 1e38 is a float, 1e38 x 25 is not
  EXPECT_EQ(s.rangeScale, INFINITY);
  EXPECT_EQ(s.gravityScale, INFINITY);  // beyond even the double range
  EXPECT_EQ(s.TracerBloom, -INFINITY);
  EXPECT_EQ(s.RefractSize, 0.0f);  // underflows to zero
  EXPECT_EQ(s.AmRefractLen, 5.0f);
  EXPECT_EQ(s.TrRefractLen, 1.0f);  // an exponent without digits is not read
  EXPECT_EQ(s.AmTailBias, 1.0f);
  EXPECT_EQ(s.TrTailBias, -0.0f);
  EXPECT_TRUE(std::signbit(s.TrTailBias));
}

TEST_F(SettingsFile, MaxWeaponAtTheTopOfTheRangeWrapsInsteadOfOverflowing) {
  EXPECT_EQ(Read("[PELLIX]\nMaxWeapon=2147483647\n", "wrap").weaponCount, INT32_MIN);
  EXPECT_EQ(Read("[PELLIX]\nMaxWeapon=-1\n", "minus").weaponCount, 0);
}

// The keys go to the profile functions in their order, with their defaults.
struct Query {
  std::string section, key, fallback;
};
std::vector<Query> queries;

int32_t RecordInt(const char* section, const char* key, int32_t fallback, const char*) {
  queries.push_back({section, key, std::to_string(fallback)});
  return fallback;
}
uint32_t RecordString(const char* section, const char* key, const char* fallback, char* out,
                      uint32_t size, const char*) {
  queries.push_back({section, key, fallback});
  EXPECT_EQ(size, 1024u);
  std::snprintf(out, size, "%s", fallback);
  return static_cast<uint32_t>(std::strlen(out));
}

TEST(SettingsOrder, TwentyOneKeysInOrder) {
  queries.clear();
  Settings s{};
  ReadSettings({RecordInt, RecordString}, "x", s);
  // The 21 keys, then TracerBatch and Reload.
  const std::vector<Query> expected = {
      {"PELLIX", "MaxPellix", "4096"},     {"PELLIX", "MaxWeapon", "0"},
      {"PHYSICS", "RangeMult", "1.0"},     {"PHYSICS", "Gravity", "0"},
      {"PHYSICS", "GravityMult", "1.0"},   {"PHYSICS", "AirResist", "0"},
      {"PHYSICS", "Ricochet", "0"},        {"PHYSICS", "Pierce", "0"},
      {"PHYSICS", "MaxLoop", "8"},         {"PHYSICS", "MinSpeed", "1.0"},
      {"PHYSICS", "ColBias", "0.01"},      {"PHYSICS", "SolidBias", "0.1"},
      {"PHYSICS", "SolidLoop", "50"},      {"GRAPHICS", "TracerType", "2"},
      {"GRAPHICS", "AfterEffect", "2"},    {"GRAPHICS", "TracerBloom", "0.001"},
      {"GRAPHICS", "RefractSize", "0.1"},  {"GRAPHICS", "AmRefractLen", "2.0"},
      {"GRAPHICS", "TrRefractLen", "1.5"}, {"GRAPHICS", "AmTailBias", "-1.0"},
      {"GRAPHICS", "TrTailBias", "-1.0"},  {"GRAPHICS", "TracerBatch", "1"},
      {"PELLIX", "Reload", "0"},
  };
  ASSERT_EQ(queries.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(expected[i].key);
    EXPECT_EQ(queries[i].section, expected[i].section);
    EXPECT_EQ(queries[i].key, expected[i].key);
    EXPECT_EQ(queries[i].fallback, expected[i].fallback);
  }
}

}  // namespace
}  // namespace pellix
