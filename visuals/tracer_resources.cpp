#include "visuals/tracer_resources.h"

#include <cstring>

#include "startup/reload.h"
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
constexpr int kErrorLines = 12;  // of the compiler's messages, in the log

// The effect file's path: the executable's folder, then "\pellix.fx".
void EffectPath(RenderApi& api, char (&path)[kModulePathSize + 1 + sizeof kEffectName]) {
  // Room for the module path and the appended "\" + name: a full 260-character path cannot
  // overflow the buffer.
  uint32_t length = api.ModuleFileName(path, kModulePathSize);
  if (length >= kModulePathSize) length = kModulePathSize - 1;  // truncated, maybe unterminated
  path[length] = '\0';
  if (char* cut = std::strrchr(path, '\\')) *cut = '\0';
  std::strcat(path, "\\");
  std::strcat(path, kEffectName);
}

void TakeEffect(RenderApi& api, GpuEffect* effect) {
  tracerEffect = effect;
  hRenderScene = api.GetParameterByName(tracerEffect, nullptr, "RenderScene");
  hMatWVP = api.GetParameterByName(tracerEffect, nullptr, "matWVP");
}

// Loads the effect from the executable's folder; leaves tracerEffect null when that fails.
void LoadEffect(RenderApi& api, GpuDevice* device) {
  char path[kModulePathSize + 1 + sizeof kEffectName];
  EffectPath(api, path);
  effectReloadPending = 0;  // this reads the file as it is now
  GpuEffect* effect = api.CreateEffectFromFile(device, path, nullptr, 0);
  if (effect != nullptr) TakeEffect(api, effect);
}

// pellix.fx changed (Reload): the effect is made again, and the old one given up only when the
// new one compiles; otherwise the compiler's messages go to the log.
void ReloadEffect(RenderApi& api, GpuDevice* device) {
  effectReloadPending = 0;
  char path[kModulePathSize + 1 + sizeof kEffectName];
  EffectPath(api, path);
  char errors[2048];
  GpuEffect* effect = api.CreateEffectFromFile(device, path, errors, sizeof errors);
  if (effect == nullptr) {
    int lines = 0;
    for (char* line = errors; *line != '\0' && lines < kErrorLines; ++lines) {
      char* end = line + std::strcspn(line, "\r\n");
      const char next = *end;
      *end = '\0';
      if (*line != '\0') ReloadLogLine("%s", line);
      line = next == '\0' ? end : end + 1;
    }
    ReloadLogLine("reload refused: pellix.fx does not compile; the previous effect stays");
  } else {
    // The old effect holds the scene copy it was given; releasing it lets that go.
    api.ReleaseEffect(tracerEffect);
    TakeEffect(api, effect);
    ReloadLogLine("reloaded: pellix.fx");
  }
  FlushReloadLog();
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
  if (type > 0 && effectReloadPending != 0) ReloadEffect(*api, device);

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
  // By what exists rather than by TracerType, which a reload may have changed since.
  if (tracerEffect != nullptr) api->OnLostDevice(tracerEffect);
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
  // The batch's buffers are in the default pool too.
  ReleaseTracerBatch(*api);
}

void RestoreTracerResources() {
  RenderApi* api = renderApi;
  if (api == nullptr) return;
  if (tracerEffect != nullptr) api->OnResetDevice(tracerEffect);
}

}  // namespace pellix
