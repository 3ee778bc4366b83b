// The C entry points that the assembly shells call, and the host values they read. Each only
// translates between the register block and the C++ decisions.
#include <cstdint>

#include "host/hook_entries.h"
#include "host/hook_registers.h"
#include "host/hook_shells.h"
#include "host/host_addresses.h"
#include "visuals/tracer_resources.h"

namespace ha = pellix::host_addr;
using pellix::HookRegisters;

static_assert(sizeof(HookRegisters) == 32, "one pushad block");

extern "C" const uint32_t hookResumeFlightForces = ha::FlightForcesResume;
extern "C" const uint32_t hookResumeProjectileLoopTop = ha::ProjectileLoopTop;
extern "C" const uint32_t hookResumeTraceLoopTop = ha::TraceLoopTop;
extern "C" const uint32_t hookHostProjectileArrayEnd = ha::HostProjectileArrayEnd;
extern "C" const uint32_t hookHostTraceArrayEnd = ha::HostTraceArrayEnd;
extern "C" const uint32_t hookHostPresentParams = ha::HostPresentParams;
extern "C" const uint32_t hookKnownMxcsr = 0x1F80;
extern "C" const uint16_t hookKnownFpuControl = 0x037F;

extern "C" {

uint32_t PellixProjectileLoopEnd(HookRegisters* regs) {
  return pellix::ProjectileLoopEndEntry(*regs);
}
uint32_t PellixImpact(HookRegisters* regs) { return pellix::ImpactEntry(*regs); }
uint32_t PellixStepEnd(HookRegisters* regs) { return pellix::StepEndEntry(*regs); }
uint32_t PellixTraceLoopEnd(HookRegisters* regs) { return pellix::TraceLoopEndEntry(*regs); }
uint32_t PellixTraceColour(HookRegisters* regs) { return pellix::TraceColourEntry(*regs); }
void PellixFlightForces(HookRegisters* regs, float timeStep) {
  pellix::FlightForcesEntry(*regs, timeStep);
}
void PellixTrailUpdate() { pellix::TrailUpdateEntry(); }
void PellixReleaseTracerResources() { pellix::ReleaseTracerResources(); }
void PellixRestoreTracerResources() { pellix::RestoreTracerResources(); }
}
