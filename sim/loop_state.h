// Loop-control state shared by the sweep and impact response (which set it) and the
// projectile-loop takeover (which acts on it and clears it). Plain globals, zero at load.
#pragma once
#include <cstdint>

namespace pellix {

extern float savedTimeStep;           // the frame's HostTimeStep at the switch onto the pool
extern int32_t repeatRequested;       // step the current record again
extern int32_t skipHostHit;           // the host's hit handling must not run for this hit
extern int32_t damageRestorePending;  // the record holds a scaled damage to put back
extern uint16_t savedDamage;          // the record's own damage
extern int32_t projectileLoopOnPool;  // the projectile loop walks the pool
extern int32_t repeatCount;           // extra passes made for the current record
extern int32_t traceLoopOnPool;       // the trace loop walks the pool (or the sentinel)

// Puts every loop-control global back as it is at load (the lab and the tests start each
// run from there; the library itself never needs it).
inline void ClearLoopState() {
  savedTimeStep = 0.0f;
  repeatRequested = 0;
  skipHostHit = 0;
  damageRestorePending = 0;
  savedDamage = 0;
  projectileLoopOnPool = 0;
  repeatCount = 0;
  traceLoopOnPool = 0;
}

}  // namespace pellix
