#include <cstdio>
#include <cstring>

#include "scenario.h"

namespace standin {
namespace {

ScenarioList (*const kLists[])() = {&BindingScenarios,   &FlightScenarios,     &TrailScenarios,
                                    &Direct3DScenarios, &CrosscheckScenarios, &PackageScenarios,
                                    &ReloadScenarios};

}  // namespace

const Scenario* FindScenario(const char* name) {
  for (auto list : kLists) {
    const ScenarioList l = list();
    for (int i = 0; i < l.count; ++i)
      if (std::strcmp(l.items[i].name, name) == 0) return &l.items[i];
  }
  return nullptr;
}

void ListScenarios() {
  for (auto list : kLists) {
    const ScenarioList l = list();
    for (int i = 0; i < l.count; ++i)
      std::printf("%-28s %s\n", l.items[i].name, l.items[i].summary);
  }
}

}  // namespace standin
