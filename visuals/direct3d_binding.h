#pragma once

namespace pellix {

// Points the tracer drawing at the real Direct3D 9 device and D3DX 9 effect (32-bit Windows
// only), and the trace loop at DrawTracers.
void BindDirect3D();

}  // namespace pellix
