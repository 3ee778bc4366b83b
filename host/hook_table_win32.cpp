#include <cstdint>

#include "host/hook_install.h"
#include "host/hook_shells.h"
#include "host/hook_table.h"
#include "host/patching.h"
#include "startup/settings.h"

namespace pellix {

namespace {

uint32_t LoadedAddress(void (*entry)()) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(entry));
}

}  // namespace

int InstallHooks() {
  const HookTargets targets = {
      .resetWrapperA = LoadedAddress(ResetWrapperA),
      .resetWrapperB = LoadedAddress(ResetWrapperB),
      .traceColour = LoadedAddress(TraceColourShell),
      .trailUpdate = LoadedAddress(TrailUpdateShell),
      .traceLoopEnd = LoadedAddress(TraceLoopEndShell),
      .flightForces = LoadedAddress(FlightForcesShell),
      .impact = LoadedAddress(ImpactShell),
      .stepEnd = LoadedAddress(StepEndShell),
      .projectileLoopEnd = LoadedAddress(ProjectileLoopEndShell),
      .make = LoadedAddress(MakeShell),
      .makeSniper = LoadedAddress(MakeSniperShell),
      .makeM4 = LoadedAddress(MakeM4Shell),
  };
  // With Reload on, Gravity and AirResist may be switched on later: the entry is there for them.
  int resetSitesSkipped = 0;
  InstallHookTable(ProcessCodeMemory(), targets,
                   settings.Gravity != 0 || settings.AirResist != 0 || settings.Reload != 0,
                   &resetSitesSkipped);
  return resetSitesSkipped;
}

}  // namespace pellix
