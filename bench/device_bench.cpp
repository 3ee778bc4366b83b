// The tracer drawing on a real Direct3D 9 device (win32 build, run under Wine and Xvfb): N live
// trails drawn for a fixed number of frames one trail at a time and batched, side by side.
// Prints per path (medians over the frames): milliseconds per frame, draw calls per frame, and
// the time of the DrawTracers call split into strip building (the same strips built apart from
// the device) and submission (the rest of the call). A third path submits the batch with
// DrawIndexedPrimitiveUP instead of the batch's own vertex buffer, the alternative it was
// measured against.
//
//   cmake --build --preset win32 --target device_bench
//   sh tests/visuals/with_xvfb.sh wine build/win32/bench/device_bench.exe [frames]
//   wine build/win32/bench/device_bench.exe strips [rounds]
// "strips" needs no device: it prints only the strip building of both passes at 4096 trails,
// each way, as the median of `rounds` rounds of 15 (the 32-bit build's strip cost).
#include <d3d9.h>
#include <d3dx9.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/host_api.h"
#include "sim/pool.h"
#include "startup/settings.h"
#include "startup/tables.h"
#include "tests/support/sample_setup.h"
#include "tests/visuals/host_device.h"
#include "visuals/direct3d_binding.h"
#include "visuals/draw_tracers.h"
#include "visuals/strip_geometry.h"
#include "visuals/tracer_batch.h"

namespace pellix {
namespace {

constexpr UINT kWidth = 1280;
constexpr UINT kHeight = 720;
constexpr int kSlots = 4096;
constexpr int kWarmUpFrames = 3;

using testing::hostDevice;

// ---- the device's table, with draws counted and the batch's submission replaceable

template <typename M>
int Slot(M method) {  // GCC's pointer to a virtual member holds 1 + its offset
  uintptr_t v;
  std::memcpy(&v, &method, sizeof v);
  return static_cast<int>((v - 1) / sizeof(void*));
}
#define ORIGINAL(table, type, method, ...) \
  reinterpret_cast<HRESULT(__stdcall*)(type*, __VA_ARGS__)>(table[Slot(&type::method)])

int drawCalls = 0;
void* deviceTable[119];
void* ourDeviceTable[119];
void** bufferTable = nullptr;  // the batch buffer's own
void* ourBufferTable[14];

// The alternative submission: the batch's vertex buffers lock into memory of the bench's own
// (pass 0's, then pass 1's), and each indexed draw from them becomes a DrawIndexedPrimitiveUP of
// that memory (which also leaves stream 0 and the indices unset, as the real thing does).
bool fromMemory = false;
std::vector<TracerVertex> batchMemory(2 * kSlots * TracerStripVertices);
std::vector<uint16_t> indexMemory;
const TracerVertex* streamMemory = nullptr;  // the bound buffer's memory, at its offset

const TracerVertex* MemoryOf(IDirect3DVertexBuffer9* b) {
  const bool second = b == reinterpret_cast<IDirect3DVertexBuffer9*>(tracerBatch.vertexBuffers[1]);
  return batchMemory.data() + (second ? kSlots * TracerStripVertices : 0);
}
bool Ours(IDirect3DVertexBuffer9* b) {
  return b != nullptr &&
         (b == reinterpret_cast<IDirect3DVertexBuffer9*>(tracerBatch.vertexBuffers[0]) ||
          b == reinterpret_cast<IDirect3DVertexBuffer9*>(tracerBatch.vertexBuffers[1]));
}

HRESULT __stdcall OurLock(IDirect3DVertexBuffer9* b, UINT o, UINT s, void** data, DWORD f) {
  if (!fromMemory) {
    return ORIGINAL(bufferTable, IDirect3DVertexBuffer9, Lock, UINT, UINT, void**, DWORD)(b, o, s,
                                                                                          data, f);
  }
  *data = const_cast<TracerVertex*>(MemoryOf(b));
  return D3D_OK;
}
HRESULT __stdcall OurUnlock(IDirect3DVertexBuffer9* b) {
  using Unlock = HRESULT(__stdcall*)(IDirect3DVertexBuffer9*);
  return fromMemory
             ? D3D_OK
             : reinterpret_cast<Unlock>(bufferTable[Slot(&IDirect3DVertexBuffer9::Unlock)])(b);
}
HRESULT __stdcall OurSetStreamSource(IDirect3DDevice9* d, UINT n, IDirect3DVertexBuffer9* b, UINT o,
                                     UINT s) {
  // The device must not see the buffers with the bench's table.
  if (fromMemory && Ours(b)) {
    streamMemory = MemoryOf(b) + o / sizeof(TracerVertex);
    return D3D_OK;
  }
  return ORIGINAL(deviceTable, IDirect3DDevice9, SetStreamSource, UINT, IDirect3DVertexBuffer9*,
                  UINT, UINT)(d, n, b, o, s);
}
HRESULT __stdcall OurDrawPrimitiveUP(IDirect3DDevice9* d, D3DPRIMITIVETYPE t, UINT n, const void* v,
                                     UINT s) {
  ++drawCalls;
  return ORIGINAL(deviceTable, IDirect3DDevice9, DrawPrimitiveUP, D3DPRIMITIVETYPE, UINT,
                  const void*, UINT)(d, t, n, v, s);
}
HRESULT __stdcall OurDrawIndexedPrimitive(IDirect3DDevice9* d, D3DPRIMITIVETYPE t, INT base,
                                          UINT minIndex, UINT vertices, UINT start, UINT n) {
  ++drawCalls;
  if (fromMemory) {
    const TracerVertex* v = streamMemory + base;
    return ORIGINAL(deviceTable, IDirect3DDevice9, DrawIndexedPrimitiveUP, D3DPRIMITIVETYPE, UINT,
                    UINT, UINT, const void*, D3DFORMAT, const void*,
                    UINT)(d, t, minIndex, vertices, n, indexMemory.data() + start, D3DFMT_INDEX16,
                          v, sizeof(TracerVertex));
  }
  return ORIGINAL(deviceTable, IDirect3DDevice9, DrawIndexedPrimitive, D3DPRIMITIVETYPE, INT, UINT,
                  UINT, UINT, UINT)(d, t, base, minIndex, vertices, start, n);
}

void HookDevice(IDirect3DDevice9* device) {
  void** table = *reinterpret_cast<void***>(device);
  std::memcpy(deviceTable, table, sizeof deviceTable);
  std::memcpy(ourDeviceTable, table, sizeof ourDeviceTable);
  ourDeviceTable[Slot(&IDirect3DDevice9::DrawPrimitiveUP)] =
      reinterpret_cast<void*>(&OurDrawPrimitiveUP);
  ourDeviceTable[Slot(&IDirect3DDevice9::DrawIndexedPrimitive)] =
      reinterpret_cast<void*>(&OurDrawIndexedPrimitive);
  ourDeviceTable[Slot(&IDirect3DDevice9::SetStreamSource)] =
      reinterpret_cast<void*>(&OurSetStreamSource);
  *reinterpret_cast<void***>(device) = ourDeviceTable;
}

// Switches the batch's vertex buffers to the alternative submission and back: their table, and
// the index buffer's two orders in memory.
void SubmitFromMemory(bool on) {
  fromMemory = on;
  for (GpuObject* object : tracerBatch.vertexBuffers) {
    auto* buffer = reinterpret_cast<IDirect3DVertexBuffer9*>(object);
    if (buffer == nullptr) continue;
    void** table = *reinterpret_cast<void***>(buffer);
    if (table != ourBufferTable) {
      bufferTable = table;
      std::memcpy(ourBufferTable, table, sizeof ourBufferTable);
      ourBufferTable[Slot(&IDirect3DVertexBuffer9::Lock)] = reinterpret_cast<void*>(&OurLock);
      ourBufferTable[Slot(&IDirect3DVertexBuffer9::Unlock)] = reinterpret_cast<void*>(&OurUnlock);
    }
    *reinterpret_cast<void***>(buffer) = on ? ourBufferTable : bufferTable;
  }
  const uint16_t orders[2][TracerStripIndices] = {
      {0, 1, 2, 1, 2, 3, 2, 3, 4, 3, 4, 5, 4, 5, 6, 5, 6, 7},
      {0, 1, 2, 1, 3, 2, 2, 3, 4, 3, 5, 4, 4, 5, 6, 5, 7, 6}};
  indexMemory.clear();
  for (const auto& order : orders) {
    for (int k = 0; k < tracerBatch.indexedStrips; ++k) {
      for (uint16_t i : order) indexMemory.push_back(static_cast<uint16_t>(k * 8 + i));
    }
  }
}

// ---- the frames

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

void Camera(D3DXMATRIX* view, D3DXMATRIX* projection) {
  const D3DXVECTOR3 eye(0, -10, 6), at(0, 40, 8), up(0, 0, 1);
  D3DXMatrixLookAtLH(view, &eye, &at, &up);
  D3DXMatrixPerspectiveFovLH(projection, D3DX_PI / 3, float(kWidth) / kHeight, 0.5f, 500);
}

// The camera's frame as the drawing prepares it.
StripFrame CameraFrame() {
  D3DXMATRIX view, projection;
  Camera(&view, &projection);
  Matrix4 v, p;
  std::memcpy(&v, &view, sizeof v);
  std::memcpy(&p, &projection, sizeof p);
  StripFrame frame;
  PrepareStripFrame(&frame, v, p);
  return frame;
}

// Waits until the device has done everything asked of it so far.
void Finish(IDirect3DDevice9* device) {
  IDirect3DQuery9* query = nullptr;
  if (FAILED(device->CreateQuery(D3DQUERYTYPE_EVENT, &query))) return;
  query->Issue(D3DISSUE_END);
  while (query->GetData(nullptr, 0, D3DGETDATA_FLUSH) == S_FALSE) Sleep(0);
  query->Release();
}

// N live rounds in the first N slots, spread over the view, every third a tracer.
void Volley(int live) {
  for (int i = 0; i < kSlots; ++i) {
    pool.trailArray[i] = TrailRecord{};
    pool.projectileArray[i] = ProjectileRecord{};
    if (i >= live) continue;
    const float x = -30.0f + 60.0f * static_cast<float>(i % 64) / 63.0f;
    const float z = 1.0f + 16.0f * static_cast<float>(i / 64 % 64) / 63.0f;
    const float y = 25.0f + 0.01f * static_cast<float>(i);
    const D3DXVECTOR3 velocity(2.0f, 1.0f, 0.2f * static_cast<float>(i % 5) - 0.4f);
    const D3DXVECTOR3 head(x, y, z), tail = head - velocity * 1.5f;
    TrailRecord& t = pool.trailArray[i];
    std::memcpy(t.start, &tail, 12);
    std::memcpy(t.end, &head, 12);
    t.activity = 1;
    t.isTracer = i % 3 == 0;
    t.weaponType = 1;
    t.width = t.isTracer ? 0.12f : 0.08f;
    ProjectileRecord& p = pool.projectileArray[i];
    p.active = 1;
    p.isTracer = t.isTracer;
    p.weaponType = 1;
    std::memcpy(p.position, &head, 12);
    std::memcpy(p.velocity, &velocity, 12);
    pool.extraArray[i].refractLength = 1.0f;
  }
}

// One host frame: the ground, then the trails at the host's trace step. With `isolated` the
// device first finishes all earlier work, so the DrawTracers call waits for nothing but its own.
// Gives the milliseconds of the DrawTracers call and its draw calls.
double Frame(IDirect3DDevice9* device, bool isolated, int* draws) {
  D3DXMATRIX view, projection;
  Camera(&view, &projection);
  const struct {
    float x, y, z;
    D3DCOLOR colour;
  } ground[] = {{-400, -20, 0, 0xFF3A4A2A},
                {400, -20, 0, 0xFF3A4A2A},
                {-400, 400, 0, 0xFF3A4A2A},
                {400, 400, 0, 0xFF3A4A2A}};
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF304860, 1.0f, 0);
  device->BeginScene();
  device->SetTransform(D3DTS_VIEW, &view);
  device->SetTransform(D3DTS_PROJECTION, &projection);
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
  device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, ground, sizeof ground[0]);
  if (isolated) Finish(device);
  const int before = drawCalls;
  const double t0 = Now();
  DrawTracers();
  const double t1 = Now();
  *draws = drawCalls - before;
  device->EndScene();
  device->Present(nullptr, nullptr, nullptr, nullptr);
  return t1 - t0;
}

// The strips of both passes as DrawTracers builds them on each path, without the device.
double BuildMs(bool batched, const StripFrame& frame) {
  std::vector<double> times;
  TracerVertex* display = batchMemory.data() + kSlots * TracerStripVertices;
  for (int r = 0; r < 15; ++r) {
    const double t0 = Now();
    if (batched) {
      WriteTracerBatch(batchMemory.data(), display, frame);
    } else {
      for (uint32_t p = 0; p < 2; ++p) {
        for (int i = 0; i < kSlots; ++i) {
          if (pool.trailArray[i].activity == 0) continue;
          BuildTracerStrip(tracerStrip, frame, pool.trailArray[i], pool.projectileArray[i],
                           pool.extraArray[i], p);
        }
      }
    }
    times.push_back(Now() - t0);
  }
  return Median(times);
}

struct Figures {
  double frameMs, drawMs, buildMs;
  int draws;
};

enum Path { kPerTrail, kBatched, kBatchedFromMemory };

Figures Run(IDirect3DDevice9* device, Path path, int frames) {
  settings.TracerBatch = path == kPerTrail ? 0 : 1;
  int draws = 0;
  Frame(device, false, &draws);  // makes the batch's buffers
  SubmitFromMemory(path == kBatchedFromMemory);
  // Frames back to back, as a game runs them: the time from one frame's start to the next's.
  for (int f = 1; f < kWarmUpFrames; ++f) Frame(device, false, &draws);
  Finish(device);
  std::vector<double> frameTimes;
  double start = Now();
  for (int f = 0; f < frames; ++f) {
    Frame(device, false, &draws);
    const double end = Now();
    frameTimes.push_back(end - start);
    start = end;
  }
  Finish(device);
  // The DrawTracers call alone.
  std::vector<double> drawTimes;
  for (int f = 0; f < frames; ++f) drawTimes.push_back(Frame(device, true, &draws));
  SubmitFromMemory(false);

  return Figures{Median(frameTimes), Median(drawTimes), BuildMs(path != kPerTrail, CameraFrame()),
                 draws};
}

// Settings as shipped (TracerType 2: both passes, scene copy), two weapon rows, the pool.
WeaponBallistics benchWeapons[2] = {};
bool SetUpPool() {
  settings = testing::DefaultSettings(2, kSlots);
  benchWeapons[1].tracerColour = 0xFFFF4020;
  for (WeaponBallistics& w : benchWeapons) w.ammoTrailLength = w.tracerTrailLength = 1.5f;
  weaponTable = benchWeapons;
  return AllocatePool(kSlots);
}

// The strip building alone, without a device: median over rounds of each way's median.
int StripsOnly(int rounds) {
  if (!SetUpPool()) return 1;
  Volley(kSlots);
  const StripFrame frame = CameraFrame();
  std::vector<double> perTrail[2];
  for (int r = 0; r < rounds; ++r) {
    for (int batched = 0; batched < 2; ++batched) {
      perTrail[batched].push_back(BuildMs(batched != 0, frame) * 1e6 / kSlots);
    }
  }
  std::printf(
      "strips of both passes, %d trails, ns a trail (median of %d rounds): "
      "one trail at a time %.1f, batched %.1f\n",
      kSlots, rounds, Median(perTrail[0]), Median(perTrail[1]));
  return 0;
}

int Main(int frames) {
  IDirect3D9* d3d = nullptr;
  std::string why;
  if (!testing::CreateHostDevice(kWidth, kHeight, &d3d, &why)) {
    std::fprintf(stderr, "%s\n", why.c_str());
    return 1;
  }
  HookDevice(hostDevice);
  host.at = testing::HostMemory;
  BindDirect3D();

  if (!SetUpPool()) return 1;

  std::printf(
      "%d frames of %ux%u, TracerType 2; the DrawTracers call = strip building + "
      "submission (medians)\n",
      frames, kWidth, kHeight);
  std::printf("%6s  %-17s %9s %12s %15s %10s %10s\n", "trails", "path", "ms/frame", "draws/frame",
              "DrawTracers ms", "strips ms", "submit ms");
  for (int live : {256, 1024, 4096}) {
    Volley(live);
    for (Path path : {kPerTrail, kBatched, kBatchedFromMemory}) {
      const Figures f = Run(hostDevice, path, frames);
      const char* names[] = {"per-trail", "batched", "batched, UP"};
      std::printf("%6d  %-17s %9.2f %12d %15.3f %10.3f %10.3f\n", live, names[path], f.frameMs,
                  f.draws, f.drawMs, f.buildMs, f.drawMs - f.buildMs);
      std::fflush(stdout);
    }
  }
  return 0;
}

}  // namespace
}  // namespace pellix

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "strips") == 0) {
    return pellix::StripsOnly(argc > 2 ? std::atoi(argv[2]) : 9);
  }
  return pellix::Main(argc > 1 ? std::atoi(argv[1]) : 20);
}
