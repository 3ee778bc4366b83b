#pragma once

namespace pellix {

// Points the host interface at the host game's fixed addresses (32-bit Windows only).
void BindHostGame();

}  // namespace pellix
