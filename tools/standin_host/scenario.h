// A scenario: how the host is laid and configured before the plug-in loads, and what it then
// plays and checks. Scenario lists live in their own files and are joined in scenario_table.cpp.
#pragma once
#include <cstdint>
#include <string>

#include "site_layout.h"

namespace standin {

struct ScenarioConfig {
  bool loadLibrary = true;
  bool answerYes = true;          // the answer to any dialog
  std::string expectedDialog;     // checked as each dialog shows, when set
  bool expectViolations = false;  // the scenario judges the contract checks itself
  HostVariant variant;
  bool filesAsTheyAre = false;  // run on the files already beside the program (a release)
  std::string ini;       // pellix.ini beside the executable (empty: no file)
  std::string weapons;   // pellix_weapon.dat
  std::string surfaces;  // pellix_surface.dat
};

struct Library {
  bool loaded = false;
  uint32_t base = 0, end = 0;  // the module's image
};

struct Scenario {
  const char* name;
  const char* summary;
  void (*configure)(ScenarioConfig& config);
  void (*run)(const ScenarioConfig& config, const Library& library);
};

struct ScenarioList {
  const Scenario* items;
  int count;
};

ScenarioList BindingScenarios();
ScenarioList FlightScenarios();
ScenarioList TrailScenarios();
ScenarioList Direct3DScenarios();
ScenarioList CrosscheckScenarios();
ScenarioList PackageScenarios();
ScenarioList ReloadScenarios();

const Scenario* FindScenario(const char* name);
void ListScenarios();

}  // namespace standin
