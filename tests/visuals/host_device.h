// The host's Direct3D 9 device for the programs that draw under Wine (the device test, the
// device benchmark): a borderless window whose client area is the whole back buffer, and the
// device and its back buffer where the library reads them, at HostDevice and HostRenderSurface.
#pragma once
#include <d3d9.h>
#include <windows.h>

#include <cstdint>
#include <string>

#include "host/host_addresses.h"
#include "tools/standin_host/drawing_device.h"

namespace pellix::testing {

inline IDirect3DDevice9* hostDevice = nullptr;
inline IDirect3DSurface9* hostRenderSurface = nullptr;
inline HWND hostWindow = nullptr;

// For host.at: the two pointers the host keeps at its fixed addresses.
inline const void* HostMemory(uint32_t address) {
  if (address == host_addr::HostDevice) return &hostDevice;
  if (address == host_addr::HostRenderSurface) return &hostRenderSurface;
  return nullptr;
}

inline D3DPRESENT_PARAMETERS HostParams(UINT width, UINT height) {
  return standin::WindowedParams(hostWindow, width, height);
}

// The window, the device and its back buffer at width x height; false with the reason in
// `why` when there is no device.
inline bool CreateHostDevice(UINT width, UINT height, IDirect3D9** d3d, std::string* why) {
  standin::DrawingDevice created;
  D3DPRESENT_PARAMETERS params;
  const bool ok = standin::CreateDrawingDevice(0, width, height, &params, &created, why);
  hostWindow = created.window;
  *d3d = created.d3d;
  if (!ok) return false;
  hostDevice = created.device;
  hostDevice->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &hostRenderSurface);
  return true;
}

}  // namespace pellix::testing
