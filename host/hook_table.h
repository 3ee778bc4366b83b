#pragma once

namespace pellix {

// Writes every hook into the host's code (the last step of start-up, 32-bit Windows only).
void InstallHooks();

}  // namespace pellix
