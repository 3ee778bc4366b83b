// The decisions behind the hook shells. Each works on the general registers the shell saved
// and returns the host address at which the host's code resumes; the shell only saves,
// calls and resumes.
#pragma once
#include <cstdint>

#include "host/hook_registers.h"

namespace pellix {

// Projectile loop (EDI = record + 4).
uint32_t ProjectileLoopEndEntry(HookRegisters& regs);  // may rewrite EDI
uint32_t ImpactEntry(HookRegisters& regs);             // AL = hit type code
uint32_t StepEndEntry(HookRegisters& regs);            // may load ECX and EDX
// Flight forces for the record at EDI - 4; the shell pops and pushes the time step itself.
void FlightForcesEntry(HookRegisters& regs, float timeStep);

// Trace loop (ESI = record + 8).
uint32_t TraceLoopEndEntry(HookRegisters& regs);  // may rewrite ESI; may draw
uint32_t TraceColourEntry(HookRegisters& regs);   // sets EAX and EDI
// The trail update over every slot; the shell then performs the replaced epilogue.
void TrailUpdateEntry();

}  // namespace pellix
