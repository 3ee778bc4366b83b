#pragma once

namespace pellix {

// Draws every live trail of the pool with the effect, once per frame, from the host's trace
// drawing step. Every device state it changes is read first and put back at the end.
void DrawTracers();

}  // namespace pellix
