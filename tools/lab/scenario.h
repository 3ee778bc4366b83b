// A lab scenario: a scene of planes and boxes, settings and data overrides, shots and frames.
// The JSON form is documented in docs/lab-scenario.md (schema "pellix-lab-scenario/1").
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tools/lab/lab_session.h"

namespace pellix::lab {

inline constexpr const char* kScenarioSchema = "pellix-lab-scenario/1";

enum class ShotEntry { Make, MakeSniper, MakeM4 };

struct ScenarioShot {
  int frame = 0;  // fired before this frame runs
  ShotEntry entry = ShotEntry::MakeSniper;
  int32_t weapon = 0;
  std::optional<Shooter> shooter;
  std::array<float, 3> start{};
  bool hasEnd = false;  // an end point; otherwise a direction
  std::array<float, 3> end{};
  std::array<float, 3> direction{1, 0, 0};
  bool alternative = false;  // Make: the end point is passed as the alternative one
  uint32_t damage = 0;       // MakeM4
};

struct ScenarioFrame {
  uint32_t ms = 20;
  float step = 0.5f;
  std::array<float, 3> wind{};
};

struct Scenario {
  std::string file;                             // for messages
  std::string dataDir;                          // resolved against the scenario's folder
  std::map<std::string, std::string> settings;  // "SECTION/Key" -> value text
  std::vector<std::string> weaponLines, surfaceLines;
  HostWeapon defaultWeapon;
  std::map<int32_t, HostWeapon> hostWeapons;
  uint32_t seed = 1;
  uint32_t clock = 0;
  std::vector<loop_model::Plane> planes;
  std::vector<loop_model::Box> boxes;
  std::vector<ScenarioShot> shots;
  std::vector<ScenarioFrame> frames;
  // At most this many pool slots (LabSession::poolSlots); 0: one a shot. Not in the JSON.
  int32_t poolSlots = 0;
};

// Reads and checks a scenario file. On failure `error` is "FILE:LINE: what".
bool LoadScenario(const std::string& path, Scenario& out, std::string& error);
// The same from text; `file` names it in messages and `baseDir` resolves "data".
bool ParseScenario(const std::string& text, const std::string& file, const std::string& baseDir,
                   Scenario& out, std::string& error);

}  // namespace pellix::lab
