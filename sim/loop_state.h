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

}  // namespace pellix
