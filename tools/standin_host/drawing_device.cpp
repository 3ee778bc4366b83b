#include "drawing_device.h"

#include <cstdio>

namespace standin {
namespace {

// Why Wine gave no device: Wine's Direct3D draws through OpenGL on the X display, so look at
// the display, then at OpenGL on the window as Direct3D would use it.
std::string Diagnosis(HWND window) {
  char display[64] = {};
  if (GetEnvironmentVariableA("DISPLAY", display, sizeof display) == 0) {
    return "DISPLAY is not set: Wine has no X display (tests/visuals/with_xvfb.sh starts Xvfb)";
  }
  const std::string on = std::string(" on X display ") + display;
  HDC dc = window ? GetDC(window) : nullptr;
  if (!dc) return "no window could be created" + on + ": is the X server (Xvfb) running?";
  PIXELFORMATDESCRIPTOR pfd = {};
  pfd.nSize = sizeof pfd;
  pfd.nVersion = 1;
  pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  pfd.iPixelType = PFD_TYPE_RGBA;
  pfd.cColorBits = 24;
  pfd.cDepthBits = 24;
  const int format = ChoosePixelFormat(dc, &pfd);
  std::string why;
  if (format == 0) {
    why = "Wine could not create an OpenGL context (no OpenGL pixel format" + on +
          "): is the 32-bit libGL installed (Debian: libgl1:i386, libglx-mesa0:i386, "
          "libgl1-mesa-dri:i386), and does the X server offer GLX?";
  } else {
    why = "OpenGL offers pixel format " + std::to_string(format) + on +
          ", so the cause lies in Wine's Direct3D: run with WINEDEBUG=err+d3d to see it";
  }
  ReleaseDC(window, dc);
  return why;
}

std::string Failure(const std::string& tried, HWND window) {
  return "no Direct3D 9 device: " + tried + "; " + Diagnosis(window);
}

}  // namespace

D3DPRESENT_PARAMETERS WindowedParams(HWND window, UINT width, UINT height) {
  D3DPRESENT_PARAMETERS pp = {};
  pp.BackBufferWidth = width;
  pp.BackBufferHeight = height;
  pp.BackBufferFormat = D3DFMT_X8R8G8B8;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.hDeviceWindow = window;
  pp.Windowed = TRUE;
  pp.EnableAutoDepthStencil = TRUE;
  pp.AutoDepthStencilFormat = D3DFMT_D24S8;
  pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  return pp;
}

bool CreateDrawingDevice(DWORD flags, UINT width, UINT height, D3DPRESENT_PARAMETERS* params,
                         DrawingDevice* out, std::string* why) {
  // A borderless window whose client area is the whole back buffer.
  out->window = CreateWindowA("STATIC", "pellix", WS_POPUP, 0, 0, width, height, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
  if (!out->window) {
    *why = Failure("CreateWindow failed", nullptr);
    return false;
  }
  out->d3d = Direct3DCreate9(D3D_SDK_VERSION);
  if (!out->d3d) {
    *why = Failure("Direct3DCreate9 returned no object (Wine found no usable adapter)", out->window);
    return false;
  }
  *params = WindowedParams(out->window, width, height);
  const HRESULT hr =
      out->d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, out->window,
                             D3DCREATE_SOFTWARE_VERTEXPROCESSING | flags, params, &out->device);
  if (hr != D3D_OK) {
    char tried[160];
    std::snprintf(tried, sizeof tried,
                  "CreateDevice (HAL, windowed %u x %u X8R8G8B8 with D24S8, software vertex "
                  "processing) returned 0x%08lX",
                  width, height, static_cast<unsigned long>(hr));
    *why = Failure(tried, out->window);
    out->device = nullptr;
    return false;
  }
  return true;
}

}  // namespace standin
