#include "sim/loop_state.h"

namespace pellix {

float savedTimeStep = 0.0f;
int32_t repeatRequested = 0;
int32_t skipHostHit = 0;
int32_t damageRestorePending = 0;
uint16_t savedDamage = 0;
int32_t projectileLoopOnPool = 0;
int32_t repeatCount = 0;
int32_t traceLoopOnPool = 0;

}  // namespace pellix
