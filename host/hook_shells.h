// The assembly entry points that the hooks lead to (hook_shells.S), and the values they read.
// Each shell only saves, calls the C++ decision and resumes the host's code.
#pragma once
#include <cstdint>

extern "C" {

// Mid-routine entries, reached by a jump written into the host's code.
void FlightForcesShell();
void ProjectileLoopEndShell();
void ImpactShell();
void StepEndShell();
void TrailUpdateShell();
void TraceColourShell();
void TraceLoopEndShell();
// Reached by a call written over the host's Reset call sequences.
void ResetWrapperA();
void ResetWrapperB();
// The shot routines with the host's conventions, under a known FPU control word.
void MakeShell();
void MakeSniperShell();
void MakeM4Shell();

// Host addresses and constants the shells read from memory: a resume is a jump through memory,
// never a relative jump assembled against an absolute host address.
extern const uint32_t hookResumeFlightForces;
extern const uint32_t hookResumeProjectileLoopTop;
extern const uint32_t hookResumeTraceLoopTop;
extern const uint32_t hookHostProjectileArrayEnd;
extern const uint32_t hookHostTraceArrayEnd;
extern const uint32_t hookHostPresentParams;
extern const uint32_t hookKnownMxcsr;       // SSE: round to nearest, all exceptions masked
extern const uint16_t hookKnownFpuControl;  // x87: 64-bit precision, nearest, all masked
}
