// The Direct3D 9 device that the drawing checks draw on (the stand-in host's scenarios, the
// device test and the device benchmark): a borderless window and a windowed device on it. When no device can
// be made, the reason says which step failed and what is most likely missing on this machine.
#pragma once
#include <d3d9.h>
#include <windows.h>

#include <string>

namespace standin {

// Windowed, X8R8G8B8 back buffer, D24S8 depth, discard swap, presented without waiting.
D3DPRESENT_PARAMETERS WindowedParams(HWND window, UINT width, UINT height);

struct DrawingDevice {
  HWND window = nullptr;
  IDirect3D9* d3d = nullptr;
  IDirect3DDevice9* device = nullptr;
};

// Creates a window of width x height and the device on it (software vertex processing plus
// `flags`), filling `params`. On failure returns false with `why` set, e.g.
// "no Direct3D 9 device: Direct3DCreate9 returned no object; ...".
bool CreateDrawingDevice(DWORD flags, UINT width, UINT height, D3DPRESENT_PARAMETERS* params,
                         DrawingDevice* out, std::string* why);

}  // namespace standin
