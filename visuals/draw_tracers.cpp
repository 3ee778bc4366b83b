#include "visuals/draw_tracers.h"

#include "sim/pool.h"
#include "startup/settings.h"
#include "visuals/render_device.h"
#include "visuals/strip_geometry.h"
#include "visuals/tracer_batch.h"
#include "visuals/tracer_resources.h"

namespace pellix {

namespace {
// The states the drawing sets, in the order they are read, set and put back.
struct StateValue {
  uint32_t state;
  uint32_t value;
};
constexpr StateValue kDrawStates[] = {
    {d3d::RS_ZENABLE, d3d::ZB_TRUE},
    {d3d::RS_STENCILENABLE, 0},
    {d3d::RS_ALPHABLENDENABLE, 1},
    {d3d::RS_FOGENABLE, 0},
    {d3d::RS_ZWRITEENABLE, 0},
    {d3d::RS_SRCBLEND, d3d::BLEND_SRCALPHA},
    {d3d::RS_DESTBLEND, d3d::BLEND_INVSRCALPHA},
    {d3d::RS_CULLMODE, d3d::CULL_NONE},
    {d3d::RS_STENCILFUNC, d3d::CMP_ALWAYS},
};
constexpr int kStateCount = sizeof kDrawStates / sizeof kDrawStates[0];

// Only the refraction pass (0) and the display pass (1) have strip data.
constexpr uint32_t kStripPasses = 2;

void AdditiveBlend(RenderApi& api, GpuDevice* device) {
  api.SetRenderState(device, d3d::RS_SRCBLEND, d3d::BLEND_ONE);
  api.SetRenderState(device, d3d::RS_DESTBLEND, d3d::BLEND_ONE);
}

void DrawPass(RenderApi& api, GpuDevice* device, const StripFrame& frame, uint32_t pass) {
  const int32_t slots = settings.MaxPellix;
  const TrailRecord* trails = pool.trailArray;
  if (trails == nullptr) return;
  for (int32_t i = 0; i < slots; ++i) {
    if (trails[i].activity == 0) continue;
    BuildTracerStrip(tracerStrip, frame, trails[i], pool.projectileArray[i], pool.extraArray[i],
                     pass);
    api.DrawPrimitiveUP(device, d3d::PT_TRIANGLESTRIP, TracerStripTriangles, tracerStrip,
                        sizeof(TracerVertex));
  }
}
}  // namespace

void DrawTracers() {
  RenderApi* api = renderApi;
  const int32_t type = settings.TracerType;
  // A negative type loads no effect: it draws nothing, like 0.
  if (api == nullptr || type <= 0) return;
  GpuDevice* device = api->HostDevice();
  if (device == nullptr) return;
  PrepareTracerResources();
  // Without an effect nothing can be drawn: leave before any state is touched.
  GpuEffect* effect = tracerEffect;
  if (effect == nullptr) return;
  // TracerBatch 0, or no batch buffers (their creation failed): one draw per trail and pass.
  const bool batched = settings.TracerBatch != 0 && tracerBatch.vertexBuffers[0] != nullptr &&
                       tracerBatch.vertexBuffers[1] != nullptr &&
                       tracerBatch.indexBuffer != nullptr;

  GpuSurface* target = api->GetRenderTarget(device, 0);
  const uint32_t savedFvf = api->GetFVF(device);
  GpuObject* savedDeclaration = api->GetVertexDeclaration(device);
  uint32_t savedStates[kStateCount];
  for (int k = 0; k < kStateCount; ++k) {
    savedStates[k] = api->GetRenderState(device, kDrawStates[k].state);
  }
  GpuObject* savedStream = nullptr;
  uint32_t savedOffset = 0;
  uint32_t savedStride = 0;
  api->GetStreamSource(device, 0, &savedStream, &savedOffset, &savedStride);
  // The batch sets the device's indices as well.
  GpuObject* savedIndices = batched ? api->GetIndices(device) : nullptr;

  Matrix4 view;
  Matrix4 projection;
  api->GetTransform(device, d3d::TS_VIEW, &view);
  api->GetTransform(device, d3d::TS_PROJECTION, &projection);
  StripFrame frame;
  PrepareStripFrame(&frame, view, projection);

  // The refraction pass samples the scene copy; with type 2 and no copy (its creation failed)
  // it is skipped like with type 1 rather than sampling nothing.
  const bool sceneCopy = type == 2 && sceneCopyTexture != nullptr && sceneCopySurface != nullptr;
  const bool refraction = type != 1 && (type != 2 || sceneCopy);
  if (sceneCopy && target != nullptr) {
    api->StretchRect(device, target, sceneCopySurface, d3d::TEXF_NONE);
  }

  api->SetVertexDeclaration(device, nullptr);
  for (const StateValue& s : kDrawStates) api->SetRenderState(device, s.state, s.value);
  if (sceneCopy && hRenderScene != nullptr) api->SetTexture(effect, hRenderScene, sceneCopyTexture);
  if (hMatWVP != nullptr) api->SetFloatArray(effect, hMatWVP, &frame.viewProj.m[0][0], 16);
  api->SetFVF(device, TracerVertexFvf);

  uint32_t passes = 2;  // kept when Begin leaves the count untouched
  api->Begin(effect, &passes, 0);
  // The batch holds the strips of both passes, built in one walk over the pool. A buffer that
  // cannot be locked, or strips beyond the device's reach, leave this frame to the
  // one-trail-at-a-time drawing.
  const int32_t strips =
      batched ? BuildTracerBatch(*api, device, frame, refraction && passes > 0, passes > 1) : -1;
  for (uint32_t p = 0; p < passes && p < kStripPasses; ++p) {
    if (p == 0 && !refraction) {
      AdditiveBlend(*api, device);
      continue;
    }
    api->BeginPass(effect, p);
    if (strips >= 0) {
      DrawTracerBatch(*api, device, p, strips);
    } else {
      DrawPass(*api, device, frame, p);
    }
    api->EndPass(effect);
    AdditiveBlend(*api, device);
  }
  api->End(effect);

  api->SetFVF(device, savedFvf);
  api->SetVertexDeclaration(device, savedDeclaration);
  for (int k = 0; k < kStateCount; ++k) {
    api->SetRenderState(device, kDrawStates[k].state, savedStates[k]);
  }
  api->SetStreamSource(device, 0, savedStream, savedOffset, savedStride);
  if (batched) api->SetIndices(device, savedIndices);

  if (target != nullptr) api->ReleaseSurface(target);
  if (savedDeclaration != nullptr) api->ReleaseObject(savedDeclaration);
  if (savedStream != nullptr) api->ReleaseObject(savedStream);
  if (savedIndices != nullptr) api->ReleaseObject(savedIndices);
}

}  // namespace pellix
