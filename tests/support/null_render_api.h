// A device that does nothing, for measuring and counting the drawing's own work (benchmarks,
// the allocation test): every call returns at once, objects are fixed fake pointers, and the
// batch's buffers lock into memory held here, sized at construction. Header-only.
#pragma once
#include <cstdint>
#include <cstring>
#include <vector>

#include "visuals/render_device.h"

namespace pellix::testing {

class NullRenderApi final : public RenderApi {
 public:
  // Room for the batch of `slots` trails.
  explicit NullRenderApi(int32_t slots)
      : vertices_(static_cast<size_t>(slots) * 2 * 8 * 44), indices_(2 * 8192 * 18 * 2) {}

  Matrix4 view{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
  Matrix4 projection{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
  uint64_t stripDraws = 0;  // DrawPrimitiveUP: one trail at a time
  uint64_t batchDraws = 0;  // DrawIndexedPrimitive: the batch

  GpuDevice* HostDevice() override { return Fake<GpuDevice>(1); }
  GpuSurface* HostRenderSurface() override { return Fake<GpuSurface>(2); }
  uint32_t ModuleFileName(char* buffer, uint32_t size) override {
    const char path[] = "C:\\host.exe";
    if (size < sizeof path) return 0;
    std::memcpy(buffer, path, sizeof path);
    return sizeof path - 1;
  }
  GpuEffect* CreateEffectFromFile(GpuDevice*, const char*, char* errors, uint32_t size) override {
    if (errors != nullptr && size > 0) errors[0] = '\0';
    return Fake<GpuEffect>(3);
  }

  GpuSurface* GetRenderTarget(GpuDevice*, uint32_t) override { return Fake<GpuSurface>(4); }
  uint32_t GetFVF(GpuDevice*) override { return 0; }
  GpuObject* GetVertexDeclaration(GpuDevice*) override { return nullptr; }
  uint32_t GetRenderState(GpuDevice*, uint32_t) override { return 0; }
  void GetStreamSource(GpuDevice*, uint32_t, GpuObject** buffer, uint32_t* offset,
                       uint32_t* stride) override {
    *buffer = nullptr;
    *offset = *stride = 0;
  }
  void GetTransform(GpuDevice*, uint32_t state, Matrix4* out) override {
    *out = state == d3d::TS_VIEW ? view : projection;
  }
  void StretchRect(GpuDevice*, GpuSurface*, GpuSurface*, uint32_t) override {}
  void SetVertexDeclaration(GpuDevice*, GpuObject*) override {}
  void SetRenderState(GpuDevice*, uint32_t, uint32_t) override {}
  void SetFVF(GpuDevice*, uint32_t) override {}
  void SetStreamSource(GpuDevice*, uint32_t, GpuObject*, uint32_t, uint32_t) override {}
  void DrawPrimitiveUP(GpuDevice*, uint32_t, uint32_t, const void*, uint32_t) override {
    ++stripDraws;
  }
  DrawLimits GetDrawLimits(GpuDevice*) override { return DrawLimits{0xFFFFF, 0xFFFFF, true}; }
  GpuObject* GetIndices(GpuDevice*) override { return nullptr; }
  void SetIndices(GpuDevice*, GpuObject*) override {}
  void DrawIndexedPrimitive(GpuDevice*, uint32_t, int32_t, uint32_t, uint32_t, uint32_t,
                            uint32_t) override {
    ++batchDraws;
  }
  // A pass's buffer: each locks into its own half of the memory.
  GpuObject* CreateVertexBuffer(GpuDevice*, uint32_t length, uint32_t, uint32_t,
                                uint32_t) override {
    if (length > vertices_.size() / 2) return nullptr;
    return Fake<GpuObject>(vertexBuffersMade_++ % 2 == 0 ? kFirstBuffer : kFirstBuffer + 1);
  }
  GpuObject* CreateIndexBuffer(GpuDevice*, uint32_t length, uint32_t, uint32_t, uint32_t) override {
    return length <= indices_.size() ? Fake<GpuObject>(6) : nullptr;
  }
  void* LockVertexBuffer(GpuObject* buffer, uint32_t) override {
    const bool second = buffer == Fake<GpuObject>(kFirstBuffer + 1);
    return vertices_.data() + (second ? vertices_.size() / 2 : 0);
  }
  void UnlockVertexBuffer(GpuObject*) override {}
  void* LockIndexBuffer(GpuObject*, uint32_t) override { return indices_.data(); }
  void UnlockIndexBuffer(GpuObject*) override {}
  GpuTexture* CreateTexture(GpuDevice*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                            uint32_t) override {
    return Fake<GpuTexture>(7);
  }

  void GetDesc(GpuSurface*, SurfaceDesc* desc) override {
    *desc = SurfaceDesc{21, 1, 1, 0, 0, 0, 1280, 720};
  }
  GpuSurface* GetSurfaceLevel(GpuTexture*, uint32_t) override { return Fake<GpuSurface>(8); }
  void ReleaseSurface(GpuSurface*) override {}
  void ReleaseTexture(GpuTexture*) override {}
  void ReleaseObject(GpuObject*) override {}

  EffectHandle GetParameterByName(GpuEffect*, EffectHandle, const char* name) override {
    return name;
  }
  void SetTexture(GpuEffect*, EffectHandle, GpuTexture*) override {}
  void SetFloatArray(GpuEffect*, EffectHandle, const float*, uint32_t) override {}
  void Begin(GpuEffect*, uint32_t* passes, uint32_t) override { *passes = 2; }
  void BeginPass(GpuEffect*, uint32_t) override {}
  void EndPass(GpuEffect*) override {}
  void End(GpuEffect*) override {}
  void OnLostDevice(GpuEffect*) override {}
  void OnResetDevice(GpuEffect*) override {}
  void ReleaseEffect(GpuEffect*) override {}

 private:
  template <typename T>
  static T* Fake(uintptr_t id) {
    return reinterpret_cast<T*>(id * 16);
  }
  static constexpr uintptr_t kFirstBuffer = 9;
  std::vector<uint8_t> vertices_;
  std::vector<uint8_t> indices_;
  int vertexBuffersMade_ = 0;
};

}  // namespace pellix::testing
