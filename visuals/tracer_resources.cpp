#include "visuals/tracer_resources.h"

#include <cstring>

#include "startup/settings.h"
#include "visuals/tracer_batch.h"

namespace pellix {

RenderApi* renderApi = nullptr;

GpuEffect* tracerEffect = nullptr;
EffectHandle hRenderScene = nullptr;
EffectHandle hMatWVP = nullptr;
GpuTexture* sceneCopyTexture = nullptr;
GpuSurface* sceneCopySurface = nullptr;

namespace {
constexpr char kEffectName[] = "pellix.fx";
constexpr uint32_t kModulePathSize = 260;

// Loads the effect from the executable's folder; leaves tracerEffect null when that fails.
void LoadEffect(RenderApi& api, GpuDevice* device) {
  // Room for the module path and the appended "\" + name: a full 260-character path cannot
  // overflow the buffer.
  char path[kModulePathSize + 1 + sizeof kEffectName];
  uint32_t length = api.ModuleFileName(path, kModulePathSize);
  if (length >= kModulePathSize) length = kModulePathSize - 1;  // truncated, maybe unterminated
  path[length] = '\0';
  if (char* cut = std::strrchr(path, '\\')) *cut = '\0';
  std::strcat(path, "\\");
  std::strcat(path, kEffectName);
  tracerEffect = api.CreateEffectFromFile(device, path);
  if (tracerEffect != nullptr) {
    hRenderScene = api.GetParameterByName(tracerEffect, nullptr, "RenderScene");
    hMatWVP = api.GetParameterByName(tracerEffect, nullptr, "matWVP");
  }
}
}  // namespace

void PrepareTracerResources() {
  RenderApi* api = renderApi;
  if (api == nullptr) return;
  GpuDevice* device = api->HostDevice();
  SurfaceDesc desc{};
  GpuSurface* target = api->HostRenderSurface();
  if (target != nullptr) api->GetDesc(target, &desc);
  if (device == nullptr) return;

  const int32_t type = settings.TracerType;
  if (type > 0 && tracerEffect == nullptr) LoadEffect(*api, device);

  // Without a render surface the size of the copy is unknown: it waits for a frame with one.
  if (type == 2 && sceneCopyTexture == nullptr && target != nullptr) {
    sceneCopyTexture = api->CreateTexture(device, desc.width, desc.height, 0,
                                          d3d::USAGE_RENDERTARGET, desc.format, d3d::POOL_DEFAULT);
    if (sceneCopySurface != nullptr) {
      api->ReleaseSurface(sceneCopySurface);
      sceneCopySurface = nullptr;
    }
    if (sceneCopyTexture != nullptr) sceneCopySurface = api->GetSurfaceLevel(sceneCopyTexture, 0);
  }
  if (type > 0 && settings.TracerBatch != 0) PrepareTracerBatch(*api, device);
}

void ReleaseTracerResources() {
  RenderApi* api = renderApi;
  if (api == nullptr) return;
  const int32_t type = settings.TracerType;
  if (type > 0 && tracerEffect != nullptr) api->OnLostDevice(tracerEffect);
  if (type == 2) {
    // The effect holds its own reference to the texture it was given: unbind it, or the
    // default-pool texture outlives our release and the device cannot be reset.
    if (sceneCopyTexture != nullptr && tracerEffect != nullptr && hRenderScene != nullptr) {
      api->SetTexture(tracerEffect, hRenderScene, nullptr);
    }
    if (sceneCopySurface != nullptr) {
      api->ReleaseSurface(sceneCopySurface);
      sceneCopySurface = nullptr;
    }
    if (sceneCopyTexture != nullptr) {
      api->ReleaseTexture(sceneCopyTexture);
      sceneCopyTexture = nullptr;
    }
  }
  // The batch's buffers are in the default pool too.
  ReleaseTracerBatch(*api);
}

void RestoreTracerResources() {
  RenderApi* api = renderApi;
  if (api == nullptr) return;
  if (settings.TracerType > 0 && tracerEffect != nullptr) api->OnResetDevice(tracerEffect);
}

}  // namespace pellix
