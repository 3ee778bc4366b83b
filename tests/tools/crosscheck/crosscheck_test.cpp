// The crosscheck's own pieces: the data files it writes for the library and the comparison
// that must name the first value where the stand-in's result leaves the lab's.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tools/standin_host/crosscheck_compare.h"
#include "tools/standin_host/crosscheck_text.h"

namespace standin {
namespace {

using Json = nlohmann::json;

TEST(CrosscheckIni, OverridesReplaceTheirKeysOnlyInTheirSection) {
  const std::string file =
      "; Gravity=5 in a comment stays\n"
      "[PELLIX]\n"
      "MaxPellix=4096\n"
      "[PHYSICS]\n"
      "gravity = 0\n"
      "MinSpeed=1.0\n"
      "[GRAPHICS]\n"
      "Gravity=7\n";
  const std::string out = MergeIni(
      file, {{"PHYSICS/Gravity", "1"}, {"PELLIX/MaxPellix", "4"}, {"PHYSICS/MaxLoop", "2"}});
  EXPECT_EQ(out,
            "; Gravity=5 in a comment stays\n"
            "[PELLIX]\n"
            "MaxPellix=4\r\n"
            "[PHYSICS]\n"
            "Gravity=1\r\n"
            "MaxLoop=2\r\n"
            "MinSpeed=1.0\n"
            "[GRAPHICS]\n"
            "Gravity=7\n");
}

TEST(CrosscheckIni, SectionsTheFileLacksAreAppendedAndRepeatedHeadersGetOverridesOnce) {
  const std::string out = MergeIni("[physics]\nRicochet=0\n[PHYSICS]\nPierce=0\n",
                                   {{"PHYSICS/Ricochet", "1"}, {"GRAPHICS/TracerType", "0"}});
  EXPECT_EQ(out,
            "[physics]\nRicochet=1\r\n"
            "[PHYSICS]\nPierce=0\n"
            "[GRAPHICS]\r\nTracerType=0\r\n");
  EXPECT_EQ(MergeIni("", {}), "");
}

TEST(CrosscheckIni, ExtraLinesFollowTheFileOnLinesOfTheirOwn) {
  EXPECT_EQ(WithLines("N 1 2 3 4 5", {"S 0.9 0.1 0.9 0.3 -1", "P 1 1 1 1 1"}),
            "N 1 2 3 4 5\nS 0.9 0.1 0.9 0.3 -1\nP 1 1 1 1 1\n");
  EXPECT_EQ(WithLines("N 1\n", {"W 2"}), "N 1\nW 2\n");
  EXPECT_EQ(WithLines("N 1", {}), "N 1");
}

// A result of three frames with one record each and one impact in frame 1.
Json Result() {
  Json doc = {{"schema", "pellix-lab-simulation/1"}, {"scenario", "a.json"}, {"slots", 8}};
  Json frames = Json::array();
  for (int f = 0; f < 3; ++f) {
    Json record = {
        {"slot", 0}, {"position", {1.5f * static_cast<float>(f), 0.25f, 2.0f}}, {"damage", 30}};
    Json impacts = Json::array();
    if (f == 1) {
      impacts.push_back(
          {{"slot", 0},
           {"outcome", "ricochet"},
           {"damage", 14},
           {"flags", {{"skipHostHit", 0}, {"repeatRequested", 1}, {"damageRestorePending", 1}}}});
    }
    frames.push_back({{"frame", f}, {"records", Json::array({record})}, {"impacts", impacts}});
  }
  doc["frames"] = frames;
  return doc;
}

TEST(CrosscheckCompare, AgreeingResultsHaveNoDifference) {
  EXPECT_EQ(FirstResultDifference(Result(), Result()), "");
}

TEST(CrosscheckCompare, TheFirstDifferingValueIsNamedWithItsFrameAndBits) {
  Json standin = Result();
  standin["frames"][1]["records"][0]["position"][0] = 1.50000012f;  // one bit up
  standin["frames"][2]["records"][0]["damage"] = 29;                // later: not the first
  EXPECT_EQ(FirstResultDifference(Result(), standin),
            "frame 1.records[0].position[0]: lab 1.5 (0x3FC00000), stand-in 1.50000012 "
            "(0x3FC00001)");
  Json lab = Result();
  lab["frames"][2]["records"][0]["damage"] = 140;
  EXPECT_EQ(FirstResultDifference(lab, Result()),
            "frame 2.records[0].damage: lab 140, stand-in 30");
}

TEST(CrosscheckCompare, WhatTheStandInCannotSeeIsLeftOutButTheRepeatIsCompared) {
  Json standin = Result();
  standin["scenario"] = "elsewhere.json";
  Json& impact = standin["frames"][1]["impacts"][0];
  impact["outcome"] = "";
  impact["flags"]["skipHostHit"] = 1;
  impact["flags"]["damageRestorePending"] = 0;
  EXPECT_EQ(FirstResultDifference(Result(), standin), "");
  impact["flags"]["repeatRequested"] = 0;
  EXPECT_EQ(FirstResultDifference(Result(), standin),
            "frame 1.impacts[0].flags.repeatRequested: lab 1, stand-in 0");
}

TEST(CrosscheckCompare, MissingFramesEntriesAndKeysAreDifferences) {
  Json fewer = Result();
  fewer["frames"].erase(2);
  EXPECT_EQ(FirstResultDifference(Result(), fewer), "lab has 3 frames, stand-in 2");
  Json noRecord = Result();
  noRecord["frames"][0]["records"] = Json::array();
  EXPECT_EQ(FirstResultDifference(Result(), noRecord),
            "frame 0.records: lab has 1 entries, stand-in 0");
  Json noDamage = Result();
  noDamage["frames"][0]["records"][0].erase("damage");
  EXPECT_EQ(FirstResultDifference(Result(), noDamage),
            "frame 0.records[0].damage: missing in the stand-in's");
  EXPECT_EQ(FirstResultDifference(noDamage, Result()),
            "frame 0.records[0].damage: missing in the lab's");
  Json otherSlots = Result();
  otherSlots["slots"] = 4096;
  EXPECT_EQ(FirstResultDifference(Result(), otherSlots), "slots: lab 8, stand-in 4096");
}

TEST(CrosscheckCompare, MalformedResultsAreReportedNotThrown) {
  EXPECT_NE(FirstResultDifference(Json::array(), Result()), "");
  Json noFrames = Result();
  noFrames["frames"] = 3;
  EXPECT_EQ(FirstResultDifference(Result(), noFrames), "frames: not both lists");
  Json oddImpacts = Result();
  oddImpacts["frames"][1]["impacts"] = Json::array({7});
  EXPECT_NE(FirstResultDifference(Result(), oddImpacts), "");
}

}  // namespace
}  // namespace standin
