// Every slot's trail follows its projectile: shown while it flies, and, with AfterEffect,
// shrinking into the point where it ended until its lifetime runs out.
#pragma once
#include <cstdint>

namespace pellix {

// Trail activity values (TrailRecord::activity).
inline constexpr uint8_t kTrailHidden = 0;
inline constexpr uint8_t kTrailLive = 1;       // follows a live projectile
inline constexpr uint8_t kTrailShrinking = 2;  // the projectile ended; only with AfterEffect
inline constexpr uint8_t kTrailReused = kTrailShrinking | kTrailLive;  // new shot, old trail

// The colour the host's trace loop gets for a record, from its isTracer and weaponType bytes.
inline constexpr uint32_t kPlainTrailColour = 0x00FFFF80;
uint32_t TrailColour(uint8_t isTracer, uint8_t weaponType);

// Whether the host's own trace loop draws the pool's trails. A negative TracerType names no
// effect of ours, so it is taken as 0.
bool HostDrawsTrails();

// The update over slots 0 .. MaxPellix - 1, with HostTimeStep and HostClockMs of the host.
void UpdateTrails();

}  // namespace pellix
