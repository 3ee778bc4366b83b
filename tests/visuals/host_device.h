// The host's Direct3D 9 device for the programs that draw under Wine (the device test, the
// device benchmark): a borderless window whose client area is the whole back buffer, and the
// device and its back buffer where the library reads them, at HostDevice and HostRenderSurface.
#pragma once
#include <d3d9.h>
#include <windows.h>

#include <cstdint>

#include "host/host_addresses.h"

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
  D3DPRESENT_PARAMETERS pp = {};
  pp.BackBufferWidth = width;
  pp.BackBufferHeight = height;
  pp.BackBufferFormat = D3DFMT_X8R8G8B8;
  pp.Windowed = TRUE;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.hDeviceWindow = hostWindow;
  pp.EnableAutoDepthStencil = TRUE;
  pp.AutoDepthStencilFormat = D3DFMT_D24S8;
  pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  return pp;
}

// The window and the device with HostParams(width, height); false when either is missing.
inline bool CreateHostDevice(IDirect3D9* d3d, UINT width, UINT height) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "pellix-host";
  RegisterClassA(&wc);
  hostWindow = CreateWindowA(wc.lpszClassName, "pellix", WS_POPUP, 0, 0, width, height, nullptr,
                             nullptr, wc.hInstance, nullptr);
  D3DPRESENT_PARAMETERS pp = HostParams(width, height);
  if (hostWindow == nullptr || d3d == nullptr ||
      FAILED(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, hostWindow,
                               D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &hostDevice))) {
    return false;
  }
  hostDevice->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &hostRenderSurface);
  return true;
}

}  // namespace pellix::testing
