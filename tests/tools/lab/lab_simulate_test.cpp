// simulate: a scene worked out by hand, the scenario checks with their lines, and the JSON form.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "tools/lab/scenario.h"
#include "tools/lab/setting_override.h"
#include "tools/lab/simulate.h"

namespace pellix::lab {
namespace {

const std::string kFixtures = PELLIX_LAB_FIXTURES;

// Fixture "physics": muzzle speed 400 (16 per step), gravity 0.032 per step, host damage 25.
// A level shot from (0, 0, 10) towards a block of class D (no ricochet, no penetration) whose
// face is at x = 40; frames of 40 ms, one time step each.
const char* kBlockScene = R"({
  "schema": "pellix-lab-scenario/1",
  "data": "physics",
  "scene": {"boxes": [{"min": [40, -5, 0], "max": [41, 5, 20], "surface": "D"}]},
  "shots": [
    {"entry": "MakeSniper", "weapon": 0, "start": [0, 0, 10], "direction": [1, 0, 0]},
    {"entry": "MakeSniper", "weapon": 1, "shooter": {"kind": 3, "ammo": 3},
     "start": [0, 50, 10], "direction": [0, 1, 0]},
    {"entry": "MakeSniper", "weapon": 1, "shooter": {"kind": 3, "ammo": 4},
     "start": [0, 60, 10], "direction": [0, 1, 0]}
  ],
  "frames": {"count": 3, "ms": 40}
})";

bool RunText(const std::string& text, SimulationResult& result, std::string& error) {
  Scenario s;
  return ParseScenario(text, "scene.json", kFixtures, s, error) && RunScenario(s, result, error);
}

TEST(LabSimulate, LevelShotFallsAndStopsAtTheBlock) {
  SimulationResult r;
  std::string error;
  ASSERT_TRUE(RunText(kBlockScene, r, error)) << error;
  ASSERT_EQ(r.frames.size(), 3u);
  ASSERT_EQ(r.frames[0].shots.size(), 3u);

  // Frame 1: v.z = -0.032, then the step: (16, 0, 9.968). Frame 2: (32, 0, 9.904).
  const auto& f0 = r.frames[0];
  EXPECT_EQ(f0.clock, 40u);
  ASSERT_GE(f0.records.size(), 1u);
  EXPECT_EQ(f0.records[0].first, 0);
  EXPECT_FLOAT_EQ(f0.records[0].second.position[0], 16.0f);
  EXPECT_NEAR(f0.records[0].second.position[2], 9.968f, 1e-5);
  EXPECT_NEAR(f0.records[0].second.velocity[2], -0.032f, 1e-7);
  EXPECT_NEAR(r.frames[1].records[0].second.position[2], 9.904f, 1e-5);

  // Frame 3 crosses x = 40: a plain hit with the full damage (the energy is a hair above 1,
  // 25 x 1.00000x truncates to 25); the host's hit handling runs and the record ends.
  const auto& f2 = r.frames[2];
  ASSERT_EQ(f2.impacts.size(), 1u);
  const ImpactEvent& hit = f2.impacts[0];
  EXPECT_EQ(hit.slot, 0);
  EXPECT_EQ(hit.outcome, "hit");
  EXPECT_TRUE(hit.hostHitRuns);
  EXPECT_EQ(hit.damage, 25);
  EXPECT_FLOAT_EQ(hit.point[0], 40.0f);
  EXPECT_FLOAT_EQ(hit.normal[0], -1.0f);
  EXPECT_EQ(hit.surfaceId, 4);
  EXPECT_EQ(hit.repeatRequested, 0);
  for (const auto& [slot, record] : f2.records) EXPECT_NE(slot, 0);
}

TEST(LabSimulate, PedestrianTracersCountByAmmunition) {
  SimulationResult r;
  std::string error;
  ASSERT_TRUE(RunText(kBlockScene, r, error)) << error;
  // tracerEvery 2: ammunition 3 -> count 2, a tracer; ammunition 4 -> count 3, not one.
  const auto& records = r.frames[0].records;
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[1].second.isTracer, 1);
  EXPECT_EQ(records[2].second.isTracer, 0);
  // The trail of the tracer is its own length (16 units = 1 step), half of it shown after one
  // update of one step: 0.5 x 16 = 8 units behind the projectile.
  bool seen = false;
  for (const auto& [slot, t] : r.frames[0].trails) {
    if (slot != 1) continue;
    seen = true;
    EXPECT_NEAR(t.end[1] - t.start[1], 8.0f, 1e-4);
    EXPECT_EQ(t.isTracer, 1);
  }
  EXPECT_TRUE(seen);
}

TEST(LabSimulate, JsonCarriesTheSchemaAndEveryFrame) {
  SimulationResult r;
  std::string error;
  ASSERT_TRUE(RunText(kBlockScene, r, error)) << error;
  std::ostringstream out;
  PrintSimulationJson(out, r);
  const auto doc = nlohmann::json::parse(out.str());
  EXPECT_EQ(doc["schema"], "pellix-lab-simulation/1");
  ASSERT_EQ(doc["frames"].size(), 3u);
  EXPECT_EQ(doc["frames"][2]["impacts"][0]["outcome"], "hit");
  EXPECT_EQ(doc["frames"][2]["impacts"][0]["flags"]["repeatRequested"], 0);
  EXPECT_EQ(doc["frames"][0]["records"][0]["position"][0], 16.0);
  EXPECT_EQ(doc["frames"][0]["hostCalls"][0]["name"], "lineTest");
}

// A pool of one slot a shot gives the frames of the full pool bit for bit, passes included,
// also where the pool wraps (repeats.json), and a run replays the same.
TEST(LabSimulate, TheSameScenarioReplaysBitForBitInAPoolOfOneSlotAShot) {
  for (const char* name : {"flight.json", "grazing.json", "repeats.json"}) {
    Scenario s;
    std::string error;
    ASSERT_TRUE(LoadScenario(std::string(PELLIX_CROSSCHECK_SCENARIOS "/") + name, s, error))
        << error;
    std::string json[3];
    for (int run = 0; run < 3; ++run) {
      s.poolSlots = run == 0 ? INT32_MAX : 0;
      SimulationResult r;
      ASSERT_TRUE(RunScenario(s, r, error)) << error;
      std::ostringstream out;
      PrintSimulationJson(out, r);
      json[run] = out.str();
    }
    EXPECT_EQ(json[1], json[0]) << name;
    EXPECT_EQ(json[2], json[1]) << name;
  }
}

// The crosscheck's grazing ricochet, worked by hand. Muzzle speed 1000: v = 40 (1000, 0, -1) /
// sqrt(1000001). From z = 0.036 the ground is hit after 0.9 of the step, at (36, 0, 0), having
// covered h = 0.036 sqrt(1000001). D = 2 v.z; the push-off P = ColBias / |D / speed| =
// 0.005 sqrt(1000001) along the bounced direction puts the round at (36, 0, 0) + 0.005 (1000,
// 0, 1) = (41, 0, 0.005). h + P = 40 + 1.0000205 overshoots the frame's 40 units, so the cut
// step is -1.0000205 / 40, and the repeat moves the round back along (1000, 0, 1) by that much:
// to (40000 / sqrt(1000001), 0, 0.004), the straight step (to z = -0.004) mirrored in the ground.
TEST(LabSimulate, AGrazingRicochetIsSteppedBackByItsOvershoot) {
  Scenario s;
  SimulationResult r;
  std::string error;
  ASSERT_TRUE(LoadScenario(PELLIX_CROSSCHECK_SCENARIOS "/grazing.json", s, error)) << error;
  ASSERT_TRUE(RunScenario(s, r, error)) << error;
  ASSERT_EQ(r.frames.size(), 2u);
  const auto& f0 = r.frames[0];
  ASSERT_EQ(f0.impacts.size(), 1u);
  EXPECT_EQ(f0.impacts[0].outcome, "ricochet");
  EXPECT_EQ(f0.impacts[0].repeatRequested, 1);
  EXPECT_NEAR(f0.impacts[0].point[0], 36.0f, 1e-4);
  EXPECT_EQ(f0.poolPasses, 3);  // slot 0 twice, slot 1 once
  ASSERT_EQ(f0.records.size(), 1u);
  const ProjectileRecord& p = f0.records[0].second;
  EXPECT_NEAR(p.position[0], 39.99998f, 1e-4);
  EXPECT_NEAR(p.position[2], 0.004f, 1e-6);
  EXPECT_NEAR(p.velocity[2], 0.04f, 1e-7);
  // The next frame flies on from there.
  ASSERT_EQ(r.frames[1].records.size(), 1u);
  EXPECT_NEAR(r.frames[1].records[0].second.position[0], 79.99996f, 1e-4);
  EXPECT_NEAR(r.frames[1].records[0].second.position[2], 0.044f, 1e-6);
}

struct BadScenario {
  const char* text;
  const char* error;  // expected message, with the line
};

TEST(LabScenario, ErrorsNameTheFileAndLine) {
  const BadScenario cases[] = {
      {"{\n  \"schema\": \"pellix-lab-scenario/1\",\n  \"frames\": {\"count\": 1},\n  \"sceen\": "
       "{}\n}",
       "scene.json:4: unknown key \"sceen\""},
      {"{\n  \"schema\": \"pellix-lab-scenario/2\",\n  \"frames\": {\"count\": 1}\n}",
       "scene.json:2: schema \"pellix-lab-scenario/2\" is not \"pellix-lab-scenario/1\""},
      {"{\n  \"schema\": \"pellix-lab-scenario/1\",\n  \"frames\": {\"count\": 1},\n"
       "  \"shots\": [\n    {\"start\": [0, 0, 0],\n     \"direction\": [1, 0, 0]}\n  ]\n}",
       "scene.json:5: shot needs a \"weapon\""},
      {"{\n  \"schema\": \"pellix-lab-scenario/1\",\n  \"frames\": {\"count\": 1},\n"
       "  \"shots\": [{\"weapon\": 0,\n    \"start\": [0, 0],\n    \"direction\": [1, 0, 0]}]\n}",
       "scene.json:5: shots.0.start must be [x, y, z]"},
      {"{\n  \"schema\": \"pellix-lab-scenario/1\",\n  \"frames\": {\"count\": 1},\n"
       "  \"scene\": {\"boxes\": [\n    {\"min\": [0, 0, 0], \"max\": [1, 1, 1], \"surface\": "
       "\"sp\"}]}\n}",
       "scene.json:5: surface \"sp\" is not one of N, SP, S, W, D, C, P"},
      {"{\n  \"schema\": \"pellix-lab-scenario/1\",\n  \"frames\": {\"count\": 1,}\n}",
       "scene.json:3: "},
      {"{\"schema\": \"pellix-lab-scenario/1\", \"frames\": {\"count\": 1},\n"
       "  \"settings\": {\"PELLIX/Gravity\": 1}}",
       "scene.json:2: PELLIX/Gravity is not a setting: Gravity belongs in [PHYSICS]"},
      {"{\"schema\": \"pellix-lab-scenario/1\", \"frames\": {\"count\": 1},\n"
       "  \"settings\": {\"physics/MaxLoop\": 2.5}}",
       "scene.json:2: PHYSICS/MaxLoop = '2.5' is not a whole number"},
  };
  for (const BadScenario& c : cases) {
    Scenario s;
    std::string error;
    EXPECT_FALSE(ParseScenario(c.text, "scene.json", kFixtures, s, error)) << c.text;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << "got: " << error << "\nwanted: " << c.error;
  }
}

TEST(LabScenario, SettingKeysIgnoreLetterCaseAsTheIniDoes) {
  const char* text = R"({"schema": "pellix-lab-scenario/1", "frames": {"count": 1},
    "settings": {"physics/minspeed": 0.3, "Graphics/TRACERTYPE": 0, "PHYSICS/RangeMult": 1e39}})";
  Scenario s;
  std::string error;
  ASSERT_TRUE(ParseScenario(text, "scene.json", kFixtures, s, error)) << error;
  const std::map<std::string, std::string> wanted = {
      {"PHYSICS/MinSpeed", "0.3"}, {"GRAPHICS/TracerType", "0"}, {"PHYSICS/RangeMult", "1e+39"}};
  EXPECT_EQ(s.settings, wanted);
  // The runtime reads inf, nan and hexadecimal as 0: no number.
  std::map<std::string, std::string> out;
  for (const char* value : {"inf", "nan", "0x10", "1.", "", "1e"}) {
    EXPECT_EQ(AddSettingOverride("PHYSICS/MinSpeed", value, out, error), value == std::string("1."))
        << value;
  }
}

TEST(LabScenario, MissingDataFolderIsNamed) {
  const char* text =
      R"({"schema": "pellix-lab-scenario/1", "data": "nowhere", "frames": {"count": 1}})";
  Scenario s;
  std::string error;
  ASSERT_TRUE(ParseScenario(text, "scene.json", kFixtures, s, error)) << error;
  SimulationResult r;
  EXPECT_FALSE(RunScenario(s, r, error));
  EXPECT_NE(error.find("pellix_weapon.dat: cannot be opened"), std::string::npos) << error;
}

}  // namespace
}  // namespace pellix::lab
