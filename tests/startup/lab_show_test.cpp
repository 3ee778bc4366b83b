// The JSON of `pellix-lab show DIR` on a fixture folder: what start-up read, floats that read
// back as the same float32, and the reason of a stop.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "temp_files.h"
#include "tools/lab/show_json.h"

namespace pellix {
namespace {

using Json = nlohmann::json;

class LabShow : public ::testing::Test {
 protected:
  void SetUp() override { folder = testing::ScratchFolder("show"); }
  void Put(const char* name, const char* text) { testing::WriteBytes(folder / name, text); }
  Json Show(int expectedStatus) {
    std::ostringstream out;
    EXPECT_EQ(lab::PrintShowJson(folder.string(), out), expectedStatus);
    return Json::parse(out.str());
  }
  static float AsFloat(const Json& value) { return static_cast<float>(value.get<double>()); }
  static bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
  }
  std::filesystem::path folder;
};

TEST_F(LabShow, WhatStartupRead) {
  Put("pellix.ini", "[PELLIX]\nMaxWeapon=5\n[PHYSICS]\nRangeMult=2\nGravityMult=1.1\n");
  Put("pellix_weapon.dat",
      "; comment\n"
      "0 400 0.1 0 0 0 0 0 0 0 0 0 0 0\n"
      "3 900 0.1 0.2 0.3 0.4 3 30 40 0.5 0.6 200 255 0xFF00FF00\n"
      "4 0 0 0 0 0 0 0 0 0 0 0 0 0\n");
  Put("pellix_surface.dat", "SP 0.5 0.8 0.3 0.1 2\n");
  const Json j = Show(0);

  EXPECT_EQ(std::filesystem::path(j["dataFolder"].get<std::string>()).filename(),
            folder.filename());
  EXPECT_TRUE(EndsWith(j["files"]["settings"].get<std::string>(), "pellix.ini"));
  EXPECT_TRUE(EndsWith(j["files"]["weapons"].get<std::string>(), "pellix_weapon.dat"));
  EXPECT_TRUE(EndsWith(j["files"]["surfaces"].get<std::string>(), "pellix_surface.dat"));

  const Json& s = j["settings"];
  EXPECT_EQ(s.size(), 23u);  // the 21 keys' values, TracerBatch and Reload
  EXPECT_EQ(s["MaxPellix"], 4096);
  EXPECT_EQ(s["weaponCount"], 6);
  EXPECT_EQ(AsFloat(s["rangeScale"]), 80.0f);
  EXPECT_EQ(AsFloat(s["gravityScale"]), 0.0352000035f);
  EXPECT_EQ(AsFloat(s["ColBias"]), 0.01f);
  EXPECT_EQ(AsFloat(s["TrTailBias"]), -1.0f);
  EXPECT_EQ(s["TracerType"], 2);
  EXPECT_EQ(s["TracerBatch"], 1);

  // Rows 0 and 3 have something; the empty rows 1, 2 and 5 are left out, and so is row 4,
  // whose muzzle speed 0 is stored as a row without one.
  const Json& w = j["weapons"];
  ASSERT_EQ(w.size(), 2u);
  EXPECT_EQ(w[0]["row"], 0);
  EXPECT_EQ(w[1]["row"], 3);
  EXPECT_EQ(w[1].size(), 14u);  // the row and 13 fields
  EXPECT_EQ(AsFloat(w[1]["speedFactor"]), static_cast<float>(25.0 / 900.0));
  EXPECT_EQ(AsFloat(w[1]["ammoTrailLength"]), static_cast<float>(25.0 / 900.0) * 30.0f);
  EXPECT_EQ(w[1]["tracerEvery"], 3);
  EXPECT_EQ(w[1]["tracerColour"], 0xFF00FF00u);

  const Json& f = j["surfaces"];
  ASSERT_EQ(f.size(), 7u);
  EXPECT_EQ(f[1]["class"], 1);
  EXPECT_EQ(AsFloat(f[1]["ricochetAngleLoss"]), 0.4f);
  EXPECT_EQ(AsFloat(f[1]["pierceResistance"]), 2.0f);
  EXPECT_EQ(AsFloat(f[0]["ricochetThreshold"]), 0.0f);

  EXPECT_EQ(j["startup"]["outcome"], "started");
  EXPECT_EQ(j["startup"]["log"].back(), "started");
}

// Numbers beyond the float range are stored as infinities of their sign, which JSON spells as
// strings: an impenetrable surface stays impenetrable, a surface every hit may ricochet off
// stays one, every impact stops (MinSpeed), no shot expires by time (RangeMult).
TEST_F(LabShow, ValuesBeyondTheFloatRangeKeepTheirSign) {
  Put("pellix.ini", "[PHYSICS]\nRangeMult=1e39\nMinSpeed=1e38\nColBias=-1e39\n");
  Put("pellix_weapon.dat", "0 400 0 0 1e300 1e39 0 -1e39 16 0 0 0 0 0\n");
  Put("pellix_surface.dat", "W 1e39 0 1 0 -1e39\n");
  const Json j = Show(0);
  EXPECT_EQ(j["settings"]["rangeScale"], "inf");
  EXPECT_EQ(j["settings"]["minSpeedScaled"], "inf");
  EXPECT_EQ(j["settings"]["ColBias"], "-inf");
  const Json& w = j["weapons"][0];
  EXPECT_EQ(AsFloat(w["speedFactor"]), 0.0625f);
  EXPECT_EQ(w["pierceCost"], "inf");
  EXPECT_EQ(w["ricochetBonus"], "inf");
  EXPECT_EQ(w["ammoTrailLength"], "-inf");
  EXPECT_EQ(AsFloat(w["tracerTrailLength"]), 1.0f);
  const Json& wall = j["surfaces"][3];
  EXPECT_EQ(wall["ricochetThreshold"], "inf");
  EXPECT_EQ(wall["pierceResistance"], "-inf");
}

TEST_F(LabShow, MissingFilesAndAStop) {
  Put("pellix_weapon.dat", "0 400 0 0 0 0 0 0 0 0 0 0 0 0\n");
  const Json j = Show(1);
  EXPECT_TRUE(j["files"]["settings"].is_null());
  EXPECT_FALSE(j["files"]["weapons"].is_null());
  EXPECT_TRUE(j["files"]["surfaces"].is_null());
  EXPECT_EQ(j["settings"]["weaponCount"], 1);
  EXPECT_EQ(j["weapons"].size(), 1u);
  // The surface table was allocated zero-filled before its file failed to open.
  ASSERT_EQ(j["surfaces"].size(), 7u);
  EXPECT_EQ(AsFloat(j["surfaces"][6]["pierceResistance"]), 0.0f);
  EXPECT_EQ(j["startup"]["outcome"], "the surface file cannot be opened");
}

}  // namespace
}  // namespace pellix
