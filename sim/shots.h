// The three shot routines of the host, replaced whole: each fills the slot under the ring
// cursor and returns false to the host's caller.
#pragma once
#include <cstdint>

#include "host/calling_convention.h"

namespace pellix {

struct HostWeapon {
  int32_t weaponType;  // +0, the only field read
};

extern int32_t tracerCounter;  // shots that took the global tracer choice

// Member call on the HostWeapon (ECX); removes its six stack arguments.
extern "C" HOST_THISCALL bool Make(const HostWeapon* weapon, uint32_t shooter, int32_t useAlternative,
                                   const float* start, float* end, float* alternativeEnd,
                                   uint32_t unused);
// Plain C calls; the caller removes the arguments.
extern "C" bool MakeSniper(uint32_t shooter, uint32_t weaponType, float x, float y, float z, float dx,
                           float dy, float dz);
extern "C" bool MakeM4(const float* start, float* end, uint32_t damage);

}  // namespace pellix
