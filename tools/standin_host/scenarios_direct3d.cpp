// Scenarios on a real Direct3D 9 device (Wine, Xvfb, Mesa): the host keeps the device at
// HostDevice, its back buffer at HostRenderSurface and its present parameters at
// HostPresentParams; the library draws the trails at the trace loop's end and wraps the host's
// Reset calls. The device's table is copied with recording entries, so the stand-in sees every
// call the library makes, as the host's device would.
#include <d3d9.h>
#include <d3dx9.h>
#include <windows.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "drawing_device.h"
#include "glue.h"
#include "host_map.h"
#include "report.h"
#include "scenario.h"
#include "scenario_support.h"

namespace standin {
namespace {

constexpr int kSlots = 8;
constexpr D3DCOLOR kSky = 0xFF304860;
constexpr uint32_t kDefaultTrailColour = 0x08FFFF80;

D3DPRESENT_PARAMETERS& HostParams() {
  return *reinterpret_cast<D3DPRESENT_PARAMETERS*>(uintptr_t{ha::HostPresentParams});
}
IDirect3DDevice9*& HostDeviceSlot() {
  return *reinterpret_cast<IDirect3DDevice9**>(uintptr_t{ha::HostDevice});
}
IDirect3DSurface9*& HostSurfaceSlot() {
  return *reinterpret_cast<IDirect3DSurface9**>(uintptr_t{ha::HostRenderSurface});
}

// ---- the recording device table

constexpr int kTableSize = 134;  // IDirect3DDevice9Ex's methods, a superset
void* original[kTableSize];
void* recording[kTableSize];
bool record = false;
std::vector<std::string> calls;
struct Created {
  IDirect3DTexture9* texture;
  UINT width, height, levels;
  DWORD usage;
  D3DFORMAT format;
  D3DPOOL pool;
};
std::vector<Created> textures;
struct Copy {
  IDirect3DSurface9 *source, *dest;
  D3DTEXTUREFILTERTYPE filter;
};
std::vector<Copy> copies;

// The table slot of a method (GCC's pointer to a virtual member holds 1 + its offset).
template <typename M>
int Slot(M method) {
  uintptr_t v;
  std::memcpy(&v, &method, sizeof v);
  return static_cast<int>((v - 1) / sizeof(void*));
}

void Called(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Called(const char* format, ...) {
  if (!record) return;
  char line[160];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  calls.push_back(line);
}

#define ORIGINAL(method, ...)                                            \
  reinterpret_cast<HRESULT(__stdcall*)(IDirect3DDevice9*, __VA_ARGS__)>( \
      original[Slot(&IDirect3DDevice9::method)])

HRESULT __stdcall RecGetRenderTarget(IDirect3DDevice9* d, DWORD i, IDirect3DSurface9** s) {
  Called("GetRenderTarget %lu", i);
  return ORIGINAL(GetRenderTarget, DWORD, IDirect3DSurface9**)(d, i, s);
}
HRESULT __stdcall RecGetFVF(IDirect3DDevice9* d, DWORD* f) {
  Called("GetFVF");
  return ORIGINAL(GetFVF, DWORD*)(d, f);
}
HRESULT __stdcall RecGetVertexDeclaration(IDirect3DDevice9* d, IDirect3DVertexDeclaration9** v) {
  Called("GetVertexDeclaration");
  return ORIGINAL(GetVertexDeclaration, IDirect3DVertexDeclaration9**)(d, v);
}
HRESULT __stdcall RecGetRenderState(IDirect3DDevice9* d, D3DRENDERSTATETYPE s, DWORD* v) {
  Called("GetRenderState %d", static_cast<int>(s));
  return ORIGINAL(GetRenderState, D3DRENDERSTATETYPE, DWORD*)(d, s, v);
}
HRESULT __stdcall RecGetStreamSource(IDirect3DDevice9* d, UINT n, IDirect3DVertexBuffer9** b,
                                     UINT* o, UINT* s) {
  Called("GetStreamSource %u", n);
  return ORIGINAL(GetStreamSource, UINT, IDirect3DVertexBuffer9**, UINT*, UINT*)(d, n, b, o, s);
}
HRESULT __stdcall RecGetTransform(IDirect3DDevice9* d, D3DTRANSFORMSTATETYPE t, D3DMATRIX* m) {
  Called("GetTransform %d", static_cast<int>(t));
  return ORIGINAL(GetTransform, D3DTRANSFORMSTATETYPE, D3DMATRIX*)(d, t, m);
}
HRESULT __stdcall RecStretchRect(IDirect3DDevice9* d, IDirect3DSurface9* s, const RECT* sr,
                                 IDirect3DSurface9* t, const RECT* tr, D3DTEXTUREFILTERTYPE f) {
  Called("StretchRect %s %s %d", sr ? "rect" : "whole", tr ? "rect" : "whole", static_cast<int>(f));
  if (record) copies.push_back({s, t, f});
  return ORIGINAL(StretchRect, IDirect3DSurface9*, const RECT*, IDirect3DSurface9*, const RECT*,
                  D3DTEXTUREFILTERTYPE)(d, s, sr, t, tr, f);
}
HRESULT __stdcall RecSetVertexDeclaration(IDirect3DDevice9* d, IDirect3DVertexDeclaration9* v) {
  Called("SetVertexDeclaration %s", v ? "saved" : "null");
  return ORIGINAL(SetVertexDeclaration, IDirect3DVertexDeclaration9*)(d, v);
}
HRESULT __stdcall RecSetRenderState(IDirect3DDevice9* d, D3DRENDERSTATETYPE s, DWORD v) {
  Called("SetRenderState %d %lu", static_cast<int>(s), v);
  return ORIGINAL(SetRenderState, D3DRENDERSTATETYPE, DWORD)(d, s, v);
}
HRESULT __stdcall RecSetFVF(IDirect3DDevice9* d, DWORD f) {
  Called("SetFVF 0x%lX", f);
  return ORIGINAL(SetFVF, DWORD)(d, f);
}
HRESULT __stdcall RecSetStreamSource(IDirect3DDevice9* d, UINT n, IDirect3DVertexBuffer9* b, UINT o,
                                     UINT s) {
  Called("SetStreamSource %u %s %u %u", n, b ? "saved" : "null", o, s);
  return ORIGINAL(SetStreamSource, UINT, IDirect3DVertexBuffer9*, UINT, UINT)(d, n, b, o, s);
}
HRESULT __stdcall RecDrawPrimitiveUP(IDirect3DDevice9* d, D3DPRIMITIVETYPE t, UINT n, const void* v,
                                     UINT s) {
  Called("DrawPrimitiveUP %d %u %u", static_cast<int>(t), n, s);
  return ORIGINAL(DrawPrimitiveUP, D3DPRIMITIVETYPE, UINT, const void*, UINT)(d, t, n, v, s);
}
HRESULT __stdcall RecDrawIndexedPrimitive(IDirect3DDevice9* d, D3DPRIMITIVETYPE t, INT base,
                                          UINT minIndex, UINT vertices, UINT start, UINT n) {
  Called("DrawIndexedPrimitive %d %d %u %u %u %u", static_cast<int>(t), base, minIndex, vertices,
         start, n);
  return ORIGINAL(DrawIndexedPrimitive, D3DPRIMITIVETYPE, INT, UINT, UINT, UINT, UINT)(
      d, t, base, minIndex, vertices, start, n);
}
HRESULT __stdcall RecCreateVertexBuffer(IDirect3DDevice9* d, UINT length, DWORD usage, DWORD fvf,
                                        D3DPOOL pool, IDirect3DVertexBuffer9** b, HANDLE* sh) {
  Called("CreateVertexBuffer %u 0x%lX 0x%lX %d", length, usage, fvf, static_cast<int>(pool));
  return ORIGINAL(CreateVertexBuffer, UINT, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer9**,
                  HANDLE*)(d, length, usage, fvf, pool, b, sh);
}
HRESULT __stdcall RecCreateTexture(IDirect3DDevice9* d, UINT w, UINT h, UINT l, DWORD u,
                                   D3DFORMAT f, D3DPOOL p, IDirect3DTexture9** t, HANDLE* sh) {
  Called("CreateTexture %ux%u %u %lu %d %d", w, h, l, u, static_cast<int>(f), static_cast<int>(p));
  const HRESULT hr = ORIGINAL(CreateTexture, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL,
                              IDirect3DTexture9**, HANDLE*)(d, w, h, l, u, f, p, t, sh);
  if (record && SUCCEEDED(hr)) textures.push_back({*t, w, h, l, u, f, p});
  return hr;
}

void InstallRecorder(IDirect3DDevice9* device) {
  void** table = *reinterpret_cast<void***>(device);
  std::memcpy(original, table, sizeof original);
  std::memcpy(recording, table, sizeof recording);
  recording[Slot(&IDirect3DDevice9::GetRenderTarget)] =
      reinterpret_cast<void*>(&RecGetRenderTarget);
  recording[Slot(&IDirect3DDevice9::GetFVF)] = reinterpret_cast<void*>(&RecGetFVF);
  recording[Slot(&IDirect3DDevice9::GetVertexDeclaration)] =
      reinterpret_cast<void*>(&RecGetVertexDeclaration);
  recording[Slot(&IDirect3DDevice9::GetRenderState)] = reinterpret_cast<void*>(&RecGetRenderState);
  recording[Slot(&IDirect3DDevice9::GetStreamSource)] =
      reinterpret_cast<void*>(&RecGetStreamSource);
  recording[Slot(&IDirect3DDevice9::GetTransform)] = reinterpret_cast<void*>(&RecGetTransform);
  recording[Slot(&IDirect3DDevice9::StretchRect)] = reinterpret_cast<void*>(&RecStretchRect);
  recording[Slot(&IDirect3DDevice9::SetVertexDeclaration)] =
      reinterpret_cast<void*>(&RecSetVertexDeclaration);
  recording[Slot(&IDirect3DDevice9::SetRenderState)] = reinterpret_cast<void*>(&RecSetRenderState);
  recording[Slot(&IDirect3DDevice9::SetFVF)] = reinterpret_cast<void*>(&RecSetFVF);
  recording[Slot(&IDirect3DDevice9::SetStreamSource)] =
      reinterpret_cast<void*>(&RecSetStreamSource);
  recording[Slot(&IDirect3DDevice9::DrawPrimitiveUP)] =
      reinterpret_cast<void*>(&RecDrawPrimitiveUP);
  recording[Slot(&IDirect3DDevice9::CreateTexture)] = reinterpret_cast<void*>(&RecCreateTexture);
  recording[Slot(&IDirect3DDevice9::DrawIndexedPrimitive)] =
      reinterpret_cast<void*>(&RecDrawIndexedPrimitive);
  recording[Slot(&IDirect3DDevice9::CreateVertexBuffer)] =
      reinterpret_cast<void*>(&RecCreateVertexBuffer);
  *reinterpret_cast<void***>(device) = recording;
}

// ---- the host's device and frame

IDirect3DDevice9* device = nullptr;

bool CreateHostDevice() {
  // FPU_PRESERVE: the stand-in checks the FPU control word at every resumption itself.
  DrawingDevice created;
  std::string why;
  const bool ok = CreateDrawingDevice(D3DCREATE_FPU_PRESERVE, 640, 360, &HostParams(), &created, &why);
  if (!Check(ok, "Direct3D 9 device created with HostPresentParams", "%s", why.c_str())) {
    return false;
  }
  device = created.device;
  HostDeviceSlot() = device;
  device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &HostSurfaceSlot());
  InstallRecorder(device);
  resetDevice = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(device));
  return true;
}

// Where the host's camera stands and looks.
D3DXVECTOR3 cameraEye(62, 28, 4), cameraAt(62, 0, 2);

void Camera(D3DXMATRIX* view, D3DXMATRIX* projection) {
  D3DSURFACE_DESC d;
  HostSurfaceSlot()->GetDesc(&d);
  const D3DXVECTOR3 eye = cameraEye, at = cameraAt, up(0, 0, 1);
  D3DXMatrixLookAtLH(view, &eye, &at, &up);
  D3DXMatrixPerspectiveFovLH(projection, D3DX_PI / 2.5f, float(d.Width) / d.Height, 0.5f, 500);
}

struct SceneVertex {
  float x, y, z;
  D3DCOLOR colour;
};

// What the drawing must leave as it found it.
struct DeviceState {
  DWORD renderStates[9];
  DWORD fvf;
  IDirect3DVertexDeclaration9* declaration;
  IDirect3DVertexBuffer9* stream;
  UINT offset, stride;
  IDirect3DIndexBuffer9* indices;
  IDirect3DVertexShader9* vs;
  IDirect3DPixelShader9* ps;
  IDirect3DBaseTexture9* texture0;
  IDirect3DSurface9* target;
  D3DMATRIX view, projection;

  DeviceState() {
    const D3DRENDERSTATETYPE states[9] = {
        D3DRS_ZENABLE,   D3DRS_STENCILENABLE, D3DRS_ALPHABLENDENABLE,
        D3DRS_FOGENABLE, D3DRS_ZWRITEENABLE,  D3DRS_SRCBLEND,
        D3DRS_DESTBLEND, D3DRS_CULLMODE,      D3DRS_STENCILFUNC};
    const bool was = record;
    record = false;
    for (int i = 0; i < 9; ++i) device->GetRenderState(states[i], &renderStates[i]);
    device->GetFVF(&fvf);
    device->GetVertexDeclaration(&declaration);
    device->GetStreamSource(0, &stream, &offset, &stride);
    // With no buffer bound the offset and stride mean nothing: Direct3D keeps the last ones
    // bound, which no call can set back without binding a buffer.
    if (!stream) offset = stride = 0;
    device->GetIndices(&indices);
    device->GetVertexShader(&vs);
    device->GetPixelShader(&ps);
    device->GetTexture(0, &texture0);
    device->GetRenderTarget(0, &target);
    device->GetTransform(D3DTS_VIEW, &view);
    device->GetTransform(D3DTS_PROJECTION, &projection);
    for (IUnknown* o :
         {static_cast<IUnknown*>(declaration), static_cast<IUnknown*>(stream),
          static_cast<IUnknown*>(indices), static_cast<IUnknown*>(vs), static_cast<IUnknown*>(ps),
          static_cast<IUnknown*>(texture0), static_cast<IUnknown*>(target)}) {
      if (o) o->Release();  // compared by identity only
    }
    record = was;
  }
  bool operator==(const DeviceState& o) const { return std::memcmp(this, &o, sizeof o) == 0; }
};

void DrawScene() {
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kSky, 1.0f, 0);
  D3DXMATRIX view, projection, world;
  Camera(&view, &projection);
  D3DXMatrixIdentity(&world);
  device->SetTransform(D3DTS_WORLD, &world);
  device->SetTransform(D3DTS_VIEW, &view);
  device->SetTransform(D3DTS_PROJECTION, &projection);
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
  const D3DCOLOR ground = 0xFF3A4A2A, wall = 0xFF806850;
  const SceneVertex quads[] = {
      {-400, -400, -1, ground}, {400, -400, -1, ground}, {-400, 400, -1, ground},
      {400, 400, -1, ground},   {-50, -40, -1, wall},    {120, -40, -1, wall},
      {-50, -40, 1, wall},      {120, -40, 1, wall},
  };
  for (int q = 0; q < 2; ++q) {
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quads + 4 * q, sizeof(SceneVertex));
  }
}

// Host objects bound while the game's frame runs (null: none).
IDirect3DVertexDeclaration9* hostDeclaration = nullptr;
IDirect3DVertexBuffer9* hostBuffer = nullptr;
bool stateKept = true;

// One host frame: the scene, the host's own state, then the game's frame (loops, trace
// routine, trace loop, where the library draws). Only the game's frame is recorded.
void HostFrame() {
  calls.clear();
  copies.clear();
  device->BeginScene();
  DrawScene();
  if (hostDeclaration) device->SetVertexDeclaration(hostDeclaration);
  if (hostBuffer) device->SetStreamSource(0, hostBuffer, 8, 12);
  device->SetRenderState(D3DRS_FOGENABLE, FALSE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_DESTCOLOR);
  const DeviceState before;
  record = true;
  RunFrame(1.0f, 50);
  record = false;
  const DeviceState after;
  stateKept = stateKept && before == after;
  device->EndScene();
}

// Whether `expected` appears in `calls`, in order, possibly with other calls between.
bool InOrder(const std::vector<std::string>& expected, size_t* at = nullptr) {
  size_t i = at ? *at : 0;
  for (const std::string& e : expected) {
    while (i < calls.size() && calls[i] != e) ++i;
    if (i == calls.size()) {
      Note("missing in order: %s", e.c_str());
      return false;
    }
    ++i;
  }
  if (at) *at = i;
  return true;
}

int Count(const char* prefix) {
  int n = 0;
  for (const std::string& c : calls) n += c.rfind(prefix, 0) == 0;
  return n;
}

void Prepare() {
  SetupHostData();
  ClearWorld();
  HostClockMs() = 200000;
  HostWind() = {0, 0, 0};
}

void ConfigureDirect3D(ScenarioConfig& c) {
  c.ini = MakeIni("Gravity=0\r\nAirResist=0\r\n", "TracerType=2\r\nAfterEffect=2\r\n", kSlots);
  c.weapons = WeaponFile();
  c.surfaces = SurfaceFile();
}

// The calls of drawing one trail at a time, which d3d-draw checks one by one.
void ConfigureOneTrailAtATime(ScenarioConfig& c) {
  ConfigureDirect3D(c);
  c.ini += "TracerBatch=0\r\n";
}

void ConfigureForeign(ScenarioConfig& c) {
  ConfigureDirect3D(c);
  c.variant.reset[0] = ResetLayout::ForeignPrimary;
  c.variant.reset[1] = ResetLayout::ForeignPrimary;
}

const D3DRENDERSTATETYPE kNine[9] = {D3DRS_ZENABLE,   D3DRS_STENCILENABLE, D3DRS_ALPHABLENDENABLE,
                                     D3DRS_FOGENABLE, D3DRS_ZWRITEENABLE,  D3DRS_SRCBLEND,
                                     D3DRS_DESTBLEND, D3DRS_CULLMODE,      D3DRS_STENCILFUNC};

// Pixel of a world point in the back buffer.
void Project(const Vec3& p, UINT width, UINT height, int* x, int* y) {
  D3DXMATRIX view, projection;
  Camera(&view, &projection);
  const D3DXMATRIX viewProj = view * projection;
  const D3DXVECTOR3 in(p.x, p.y, p.z);
  D3DXVECTOR3 c;
  D3DXVec3TransformCoord(&c, &in, &viewProj);
  *x = int((c.x + 1) * 0.5f * width);
  *y = int((1 - c.y) * 0.5f * height);
}

std::vector<uint32_t> ReadBack(UINT* width, UINT* height) {
  D3DSURFACE_DESC d;
  HostSurfaceSlot()->GetDesc(&d);
  IDirect3DSurface9* copy = nullptr;
  device->CreateOffscreenPlainSurface(d.Width, d.Height, d.Format, D3DPOOL_SYSTEMMEM, &copy,
                                      nullptr);
  std::vector<uint32_t> pixels;
  if (copy && SUCCEEDED(device->GetRenderTargetData(HostSurfaceSlot(), copy))) {
    D3DLOCKED_RECT r;
    copy->LockRect(&r, nullptr, D3DLOCK_READONLY);
    pixels.resize(d.Width * d.Height);
    for (UINT y = 0; y < d.Height; ++y) {
      std::memcpy(&pixels[y * d.Width], static_cast<const char*>(r.pBits) + y * r.Pitch,
                  d.Width * 4);
    }
    copy->UnlockRect();
  }
  if (copy) copy->Release();
  *width = d.Width;
  *height = d.Height;
  return pixels;
}

// The brightest added light within a pixel of (x, y): red, green and blue increases.
void AddedLight(const std::vector<uint32_t>& before, const std::vector<uint32_t>& after, UINT w,
                int x, int y, int rgb[3]) {
  rgb[0] = rgb[1] = rgb[2] = 0;
  for (int yy = y - 1; yy <= y + 1; ++yy) {
    for (int xx = x - 1; xx <= x + 1; ++xx) {
      const uint32_t b = before[yy * w + xx], a = after[yy * w + xx];
      int d[3];
      for (int k = 0; k < 3; ++k) {
        d[k] = int((a >> (16 - 8 * k)) & 0xFF) - int((b >> (16 - 8 * k)) & 0xFF);
      }
      if (d[0] + d[1] + d[2] > rgb[0] + rgb[1] + rgb[2]) std::memcpy(rgb, d, sizeof d);
    }
  }
}

const StepVisit* LastStep(uint32_t record, int frame) {
  const StepVisit* found = nullptr;
  for (const StepVisit& v : standin::Log().steps) {
    if (v.record == record && v.frame == frame) found = &v;
  }
  return found;
}

void RunDraw(const ScenarioConfig&, const Library&) {
  Prepare();
  if (!CreateHostDevice()) return;
  FireSniper(0, 22, {0, 0, 2}, {1, 0, 0});   // every round of weapon 22 is a tracer
  FireSniper(0, 23, {0, -6, 2}, {1, 0, 0});  // weapon 23 has none
  // The host's own objects, which the drawing must hand back.
  const D3DVERTEXELEMENT9 elements[] = {
      {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
  device->CreateVertexDeclaration(elements, &hostDeclaration);
  device->CreateVertexBuffer(256, 0, 0, D3DPOOL_MANAGED, &hostBuffer, nullptr);
  stateKept = true;
  for (int f = 1; f <= 3; ++f) HostFrame();
  Check(stateKept, "the device state after each frame's drawing is the state before it");

  // The last frame's calls: reads, the scene copy, the nine states, the FVF, two trails drawn in
  // two passes, then the restore with the values the host had.
  std::vector<std::string> expected = {"GetRenderTarget 0", "GetFVF", "GetVertexDeclaration"};
  for (auto s : kNine) expected.push_back("GetRenderState " + std::to_string(int(s)));
  expected.insert(expected.end(), {"GetStreamSource 0", "GetTransform 2", "GetTransform 3",
                                   "StretchRect whole whole 0", "SetVertexDeclaration null"});
  const DWORD values[9] = {1, 0, 1, 0, 0, 5, 6, 1, 8};
  for (int i = 0; i < 9; ++i) {
    expected.push_back("SetRenderState " + std::to_string(int(kNine[i])) + " " +
                       std::to_string(values[i]));
  }
  expected.push_back("SetFVF 0x20152");
  size_t at = 0;
  Check(InOrder(expected, &at), "reads, scene copy, the nine states and the FVF, in order");
  Check(Count("DrawPrimitiveUP 5 6 44") == 4 && Count("DrawPrimitiveUP") == 4,
        "each pass draws each live trail as one strip of six triangles", "%d draws",
        Count("DrawPrimitiveUP"));
  DWORD fvf = 0;
  device->GetFVF(&fvf);
  char line[64];
  std::snprintf(line, sizeof line, "SetFVF 0x%lX", fvf);
  std::vector<std::string> restore = {line, "SetVertexDeclaration saved"};
  for (auto s : kNine) {
    DWORD v = 0;
    device->GetRenderState(s, &v);
    restore.push_back("SetRenderState " + std::to_string(int(s)) + " " + std::to_string(v));
  }
  restore.push_back("SetStreamSource 0 saved 8 12");
  Check(InOrder(restore, &at), "after the passes every state is put back in order");

  // The scene copy: made once, the size and format of the back buffer, copied every frame.
  D3DSURFACE_DESC back;
  HostSurfaceSlot()->GetDesc(&back);
  bool copyOk = textures.size() == 1 && copies.size() == 1;
  if (copyOk) {
    const Created& t = textures[0];
    IDirect3DSurface9* level0 = nullptr;
    t.texture->GetSurfaceLevel(0, &level0);
    copyOk = t.width == back.Width && t.height == back.Height && t.levels == 0 &&
             t.usage == D3DUSAGE_RENDERTARGET && t.format == back.Format &&
             t.pool == D3DPOOL_DEFAULT && copies[0].source == HostSurfaceSlot() &&
             copies[0].dest == level0 && copies[0].filter == D3DTEXF_NONE;
    if (level0) level0->Release();
  }
  Check(copyOk, "TracerType 2 copies the back buffer into a render-target texture of its size",
        "%u textures, %u copies", static_cast<unsigned>(textures.size()),
        static_cast<unsigned>(copies.size()));
  device->SetVertexDeclaration(nullptr);
  device->SetStreamSource(0, nullptr, 0, 0);
  hostDeclaration->Release();
  hostBuffer->Release();
  hostDeclaration = nullptr;
  hostBuffer = nullptr;

  // A picture: one more frame, and the same scene without the game's frame for reference.
  HostFrame();
  UINT w = 0, h = 0;
  const std::vector<uint32_t> drawn = ReadBack(&w, &h);
  D3DXSaveSurfaceToFileA("standin-tracers.png", D3DXIFF_PNG, HostSurfaceSlot(), nullptr, nullptr);
  device->BeginScene();
  DrawScene();
  device->EndScene();
  const std::vector<uint32_t> reference = ReadBack(&w, &h);
  const StepVisit* t = LastStep(PoolRecordAt({0, 0, 2}), Frame());
  const StepVisit* p = LastStep(PoolRecordAt({0, -6, 2}), Frame());
  if (!Check(t && p && !drawn.empty() && reference.size() == drawn.size(),
             "both rounds flew and the frames were read back"))
    return;
  // A point a fifth of the way back from each trail's head (the tracer's trail is 20 long, the
  // plain round's 10).
  const Vec3 tracerAt{t->after.position.x - 4, t->after.position.y, t->after.position.z};
  const Vec3 plainAt{p->after.position.x - 2, p->after.position.y, p->after.position.z};
  int x, y, rgb[3];
  Project(tracerAt, w, h, &x, &y);
  const auto inside = [&] { return x > 0 && y > 0 && x + 1 < int(w) && y + 1 < int(h); };
  if (!Check(inside(), "the tracer is in view", "at %d,%d", x, y)) return;
  AddedLight(reference, drawn, w, x, y, rgb);
  Check(rgb[1] > 60 && rgb[1] > rgb[0] && rgb[1] > rgb[2],
        "the tracer glows in its weapon's colour 0xFF20C040 where its strip projects",
        "added %d %d %d at %d,%d", rgb[0], rgb[1], rgb[2], x, y);
  Project(plainAt, w, h, &x, &y);
  if (!Check(inside(), "the plain round is in view", "at %d,%d", x, y)) return;
  AddedLight(reference, drawn, w, x, y, rgb);
  Check(rgb[0] >= 3 && std::abs(rgb[0] - rgb[1]) <= 1 && rgb[2] < rgb[0],
        "the plain round is a faint streak in the default colour 0x08FFFF80",
        "added %d %d %d at %d,%d", rgb[0], rgb[1], rgb[2], x, y);
  Note("picture: standin-tracers.png (default trail colour 0x%08X)", kDefaultTrailColour);
}

// Runs Reset sequence k with a new back-buffer size, as the host does: its own back-buffer
// reference goes first, the present parameters change, and the back buffer is taken again.
uint32_t HostReset(int k, UINT width, UINT height) {
  HostSurfaceSlot()->Release();
  HostSurfaceSlot() = nullptr;
  HostParams() = WindowedParams(HostParams().hDeviceWindow, width, height);
  const uint32_t eax = RunResetSequence(k);
  device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &HostSurfaceSlot());
  return eax;
}

void ConfigureDisplayOnly(ScenarioConfig& c) {
  c.ini = MakeIni("Gravity=0\r\nAirResist=0\r\n", "TracerType=1\r\nTracerBatch=0\r\n", kSlots);
  c.weapons = WeaponFile();
  c.surfaces = SurfaceFile();
}

// TracerType 1: no scene copy, the refraction pass skipped, the display pass additive.
void RunDisplayOnly(const ScenarioConfig&, const Library&) {
  Prepare();
  if (!CreateHostDevice()) return;
  FireSniper(0, 22, {0, 0, 2}, {1, 0, 0});
  FireSniper(0, 23, {0, -6, 2}, {1, 0, 0});
  stateKept = true;
  HostFrame();
  HostFrame();
  Check(stateKept, "the device state after each frame's drawing is the state before it");
  Check(textures.empty() && Count("StretchRect") == 0, "no scene copy is made or copied");
  std::vector<std::string> expected = {"SetFVF 0x20152",         "SetRenderState 19 2",
                                       "SetRenderState 20 2",    "DrawPrimitiveUP 5 6 44",
                                       "DrawPrimitiveUP 5 6 44", "SetRenderState 19 2",
                                       "SetRenderState 20 2"};
  Check(InOrder(expected) && Count("DrawPrimitiveUP") == 2,
        "additive blend, then only the display pass draws the two trails", "%d draws",
        Count("DrawPrimitiveUP"));
  const uint32_t eax = HostReset(1, 512, 288);
  Check(eax == D3D_OK, "a reset through site B succeeds", "EAX 0x%08X", eax);
  HostFrame();
  Check(textures.empty() && Count("DrawPrimitiveUP") == 2, "after the reset the trails draw again");
}

void ConfigureVolley(ScenarioConfig& c) {
  c.ini = MakeIni("Gravity=0\r\nAirResist=0\r\n", "TracerType=2\r\nAfterEffect=2\r\n", 16);
  c.weapons = WeaponFile();
  c.surfaces = SurfaceFile();
}

// A volley sweeping upward, four rounds a frame; every third round is a tracer
// (weapon 22), the others plain (weapon 23). The frame is saved as standin-volley.png.
void RunVolley(const ScenarioConfig&, const Library&) {
  Prepare();
  if (!CreateHostDevice()) return;
  cameraEye = D3DXVECTOR3(8, 12, 5);
  cameraAt = D3DXVECTOR3(40, -4, 4);
  stateKept = true;
  struct Round {
    Vec3 from, direction;
    bool tracer;
  };
  std::vector<Round> rounds;
  for (int i = 0; i < 12; ++i) {
    // A gun sweeping upward: each round a little higher and turned a little farther away.
    const float side = -0.03f * i;
    const float n = std::sqrt(1 + side * side);
    rounds.push_back({{0.25f * i, 0, 1.0f + 0.6f * i}, {1 / n, side / n, 0}, i % 3 == 0});
  }
  for (size_t i = 0; i < rounds.size(); ++i) {
    FireSniper(0, rounds[i].tracer ? 22 : 23, rounds[i].from, rounds[i].direction);
    if (i % 4 == 3) HostFrame();
  }
  // The shipped default: each pass draws all twelve trails at once, from the vertex buffer the
  // library made on its first frame.
  Check(stateKept, "the device state after each frame's drawing is the state before it");
  Check(Count("DrawIndexedPrimitive 4 0 0 96 0 72") == 2 && Count("DrawIndexedPrimitive") == 2 &&
            Count("DrawPrimitiveUP") == 0 && Count("CreateVertexBuffer") == 0,
        "each pass draws the volley in one indexed draw from the library's vertex buffer",
        "%d indexed draws, %d strips", Count("DrawIndexedPrimitive"), Count("DrawPrimitiveUP"));
  UINT w = 0, h = 0;
  const std::vector<uint32_t> drawn = ReadBack(&w, &h);
  D3DXSaveSurfaceToFileA("standin-volley.png", D3DXIFF_PNG, HostSurfaceSlot(), nullptr, nullptr);
  device->BeginScene();
  DrawScene();
  device->EndScene();
  const std::vector<uint32_t> reference = ReadBack(&w, &h);
  if (!Check(!drawn.empty() && reference.size() == drawn.size(), "frames read back")) return;
  int tracersOk = 0, plainOk = 0, tracers = 0, plains = 0;
  for (const Round& r : rounds) {
    const StepVisit* v = LastStep(PoolRecordAt(r.from), Frame());
    if (!v) continue;
    // A fifth of the way back from the trail's head (tracer trails 20 long, plain ones 10).
    const float back = r.tracer ? 4.0f : 2.0f;
    const Vec3 at{v->after.position.x - back * r.direction.x,
                  v->after.position.y - back * r.direction.y,
                  v->after.position.z - back * r.direction.z};
    int x, y, rgb[3];
    Project(at, w, h, &x, &y);
    if (x <= 0 || y <= 0 || x + 1 >= int(w) || y + 1 >= int(h)) continue;
    AddedLight(reference, drawn, w, x, y, rgb);
    if (r.tracer) {
      ++tracers;
      tracersOk += rgb[1] > 60 && rgb[1] > rgb[0] && rgb[1] > rgb[2];
    } else {
      ++plains;
      plainOk += rgb[0] >= 2 && std::abs(rgb[0] - rgb[1]) <= 1 && rgb[2] < rgb[0];
    }
    Note("%s round at %d,%d: added %d %d %d", r.tracer ? "tracer" : "plain", x, y, rgb[0], rgb[1],
         rgb[2]);
  }
  Check(tracers == 4 && tracersOk == tracers,
        "every tracer of the volley shows in its weapon's colour where it projects", "%d of %d",
        tracersOk, tracers);
  Check(plains == 8 && plainOk == plains,
        "every plain round of the volley is a faint streak in the default colour", "%d of %d",
        plainOk, plains);
}

void CheckResets(const int expectedForeign[4]) {
  Prepare();
  if (!CreateHostDevice()) return;
  FireSniper(0, 22, {0, 0, 2}, {1, 0, 0});
  HostFrame();
  if (!Check(textures.size() == 1 && Count("CreateVertexBuffer") == 1,
             "the first frame made the scene copy and the batch's vertex buffer")) {
    return;
  }
  // Without the library's release the default-pool copy and buffers block a reset: a reset made
  // directly by the host fails, which is what the wrappers' release step is there for.
  {
    D3DPRESENT_PARAMETERS pp = HostParams();
    HostSurfaceSlot()->Release();
    HostSurfaceSlot() = nullptr;
    Check(device->Reset(&pp) != D3D_OK, "a reset that bypasses the wrappers fails");
    device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &HostSurfaceSlot());
  }
  for (int k = 0; k < 4; ++k) {
    const UINT width = 480 + 40 * k, height = 270 + 30 * k;
    uint32_t before[4];
    std::memcpy(before, standin_foreign_calls, sizeof before);
    const size_t fakeResets = standin::Log().resets.size();
    textures.clear();
    const uint32_t eax = HostReset(k, width, height);
    int foreign = -1, calls = 0;
    for (int i = 0; i < 4; ++i) {
      const uint32_t n = standin_foreign_calls[i] - before[i];
      calls += static_cast<int>(n);
      if (n) foreign = i;
    }
    D3DSURFACE_DESC back{};
    if (HostSurfaceSlot()) HostSurfaceSlot()->GetDesc(&back);
    char name[96];
    std::snprintf(name, sizeof name, "Reset site %c resets the real device through %s", 'A' + k,
                  expectedForeign[k] < 0 ? "the device's Reset" : "the foreign call");
    Check(eax == D3D_OK && back.Width == width && back.Height == height &&
              foreign == expectedForeign[k] && calls == (expectedForeign[k] < 0 ? 0 : 1) &&
              standin::Log().resets.size() == fakeResets,
          name, "EAX 0x%08X, back buffer %ux%u, foreign %d (%d calls)", eax, back.Width,
          back.Height, foreign, calls);
    HostFrame();
    // The batch's vertex buffer, released with the copy, is made again and draws both passes.
    const bool sized = textures.size() == 1 && textures[0].width == width &&
                       textures[0].height == height && Count("CreateVertexBuffer") == 1 &&
                       Count("DrawIndexedPrimitive") == 2;
    std::snprintf(name, sizeof name,
                  "after reset %c the next frame's copy has the new size and the batch draws again",
                  'A' + k);
    Check(sized, name, "%u textures", static_cast<unsigned>(textures.size()));
  }
}

void RunReset(const ScenarioConfig&, const Library&) {
  const int expected[4] = {-1, -1, -1, -1};
  CheckResets(expected);
}

void RunResetForeign(const ScenarioConfig&, const Library&) {
  // Site B's foreign call is the one chained for B, C and D alike; it resets the device itself,
  // which succeeds only because the release came first, and its EAX reaches the host.
  const int expected[4] = {0, 1, 1, 1};
  CheckResets(expected);
}

const Scenario kScenarios[] = {
    {"d3d-draw", "a real device: recorded calls, state kept, scene copy, a picture",
     ConfigureOneTrailAtATime, RunDraw},
    {"d3d-display-only", "TracerType 1 on a real device: no copy, display pass only",
     ConfigureDisplayOnly, RunDisplayOnly},
    {"d3d-volley", "a volley of tracers and plain rounds, saved as standin-volley.png",
     ConfigureVolley, RunVolley},
    {"d3d-reset", "a real device reset through each Reset site, then drawn at the new size",
     ConfigureDirect3D, RunReset},
    {"d3d-reset-foreign", "foreign calls at Reset sites A and B reset the real device",
     ConfigureForeign, RunResetForeign},
};

}  // namespace

ScenarioList Direct3DScenarios() { return {kScenarios, sizeof kScenarios / sizeof kScenarios[0]}; }

}  // namespace standin
