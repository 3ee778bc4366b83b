// `simulate`: a scenario run frame by frame through the loop model and the plug-in's code.
#pragma once
#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "sim/pool.h"
#include "tools/lab/scenario.h"
#include "tools/lab/table.h"

namespace pellix::lab {

inline constexpr const char* kSimulationSchema = "pellix-lab-simulation/1";

struct ShotEvent {
  int index;  // in the scenario's shots
  int32_t slot;
  const char* entry;
};

struct ImpactEvent {
  int32_t slot;
  std::array<float, 3> point, normal;
  uint8_t surfaceId, kind;
  std::string outcome;  // stop, hit, ricochet, enter, leave, area
  int16_t damage;       // as the host's hit handling would get it
  bool hostHitRuns;     // the host's own hit handling runs for this hit
  int32_t skipHostHit, repeatRequested, damageRestorePending;  // as the decision left them
  std::array<float, 3> velocityBefore, velocityAfter;
};

struct HostCall {
  std::string name;  // lineTest count, surfaceClass count, areaImpact, hitHandling
  std::string detail;
};

struct FrameResult {
  int frame;
  uint32_t clock;
  float step;
  std::vector<ShotEvent> shots;
  std::vector<std::pair<int32_t, ProjectileRecord>> records;  // live ones
  std::vector<std::pair<int32_t, ProjectileExtra>> extras;    // beside each live record
  std::vector<std::pair<int32_t, TrailRecord>> trails;        // shown ones
  std::vector<ImpactEvent> impacts;
  int lineTests = 0, surfaceClassCalls = 0, poolPasses = 0;
  std::vector<HostCall> hostCalls;
};

struct SimulationResult {
  std::string scenario;
  int32_t slots = 0;
  std::vector<FrameResult> frames;
};

// Loads the scenario's data folder with its overrides and runs it. False with `error` when
// start-up does not go through.
bool RunScenario(const Scenario& scenario, SimulationResult& out, std::string& error);

void PrintSimulationText(std::ostream& out, const SimulationResult& r);
void PrintSimulationJson(std::ostream& out, const SimulationResult& r);
// One row per live record per frame.
Table SimulationRecordTable(const SimulationResult& r);

}  // namespace pellix::lab
