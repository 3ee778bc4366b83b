#pragma once

namespace pellix {

// Writes every hook into the host's code (the last step of start-up, 32-bit Windows only).
// Returns how many of the four Reset sites were left as the host has them.
int InstallHooks();

}  // namespace pellix
