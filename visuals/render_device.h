// The thin interface between the tracer drawing and Direct3D 9 / D3DX 9. The Windows adapter
// forwards each call to the real object; tests record the calls. Objects are opaque counted
// references; null means "none". Results of the calls are not reported.
#pragma once
#include <cstdint>

#include "visuals/d3dx_math.h"

namespace pellix {

struct GpuDevice;   // IDirect3DDevice9
struct GpuSurface;  // IDirect3DSurface9
struct GpuTexture;  // IDirect3DTexture9
struct GpuObject;   // another counted object: a vertex declaration, a vertex or index buffer
struct GpuEffect;   // ID3DXEffect
using EffectHandle = const char*;  // D3DXHANDLE

struct SurfaceDesc {  // D3DSURFACE_DESC
  uint32_t format;
  uint32_t type;
  uint32_t usage;
  uint32_t pool;
  uint32_t multiSampleType;
  uint32_t multiSampleQuality;
  uint32_t width;
  uint32_t height;
};

// The Direct3D 9 values the drawing uses.
namespace d3d {
inline constexpr uint32_t RS_ZENABLE = 7;
inline constexpr uint32_t RS_ZWRITEENABLE = 14;
inline constexpr uint32_t RS_SRCBLEND = 19;
inline constexpr uint32_t RS_DESTBLEND = 20;
inline constexpr uint32_t RS_CULLMODE = 22;
inline constexpr uint32_t RS_ALPHABLENDENABLE = 27;
inline constexpr uint32_t RS_FOGENABLE = 28;
inline constexpr uint32_t RS_STENCILENABLE = 52;
inline constexpr uint32_t RS_STENCILFUNC = 56;
inline constexpr uint32_t TS_VIEW = 2;
inline constexpr uint32_t TS_PROJECTION = 3;
inline constexpr uint32_t ZB_TRUE = 1;
inline constexpr uint32_t BLEND_ONE = 2;
inline constexpr uint32_t BLEND_SRCALPHA = 5;
inline constexpr uint32_t BLEND_INVSRCALPHA = 6;
inline constexpr uint32_t CULL_NONE = 1;
inline constexpr uint32_t CULL_CW = 2;
inline constexpr uint32_t CULL_CCW = 3;
inline constexpr uint32_t CMP_ALWAYS = 8;
inline constexpr uint32_t TEXF_NONE = 0;
inline constexpr uint32_t PT_TRIANGLELIST = 4;
inline constexpr uint32_t PT_TRIANGLESTRIP = 5;
inline constexpr uint32_t FMT_INDEX16 = 101;
inline constexpr uint32_t USAGE_RENDERTARGET = 1;
inline constexpr uint32_t USAGE_WRITEONLY = 8;
inline constexpr uint32_t USAGE_DYNAMIC = 0x200;
inline constexpr uint32_t LOCK_DISCARD = 0x2000;
inline constexpr uint32_t POOL_DEFAULT = 0;
}  // namespace d3d

// The device's caps that the batch's draws keep within.
struct DrawLimits {
  uint32_t maxPrimitives;   // MaxPrimitiveCount: the most primitives one draw may have
  uint32_t maxVertexIndex;  // MaxVertexIndex: the largest vertex a draw may reach, base + index
  bool streamOffsets;       // D3DDEVCAPS2_STREAMOFFSET: SetStreamSource takes a non-zero offset
};

class RenderApi {
 public:
  // The host's objects and the platform.
  virtual GpuDevice* HostDevice() = 0;          // the pointer held at HostDevice
  virtual GpuSurface* HostRenderSurface() = 0;  // the pointer held at HostRenderSurface
  // The executable's full path (GetModuleFileNameA with no module); returns its length.
  virtual uint32_t ModuleFileName(char* buffer, uint32_t size) = 0;
  // D3DXCreateEffectFromFileA(device, path, no macros, no includes, flags 0, no pool). With
  // `errors` (`size` chars) the compiler's messages are asked for and copied there, terminated;
  // without, none are asked for.
  virtual GpuEffect* CreateEffectFromFile(GpuDevice* device, const char* path, char* errors,
                                          uint32_t size) = 0;

  // IDirect3DDevice9.
  virtual GpuSurface* GetRenderTarget(GpuDevice* device, uint32_t index) = 0;
  virtual uint32_t GetFVF(GpuDevice* device) = 0;
  virtual GpuObject* GetVertexDeclaration(GpuDevice* device) = 0;
  virtual uint32_t GetRenderState(GpuDevice* device, uint32_t state) = 0;
  virtual void GetStreamSource(GpuDevice* device, uint32_t stream, GpuObject** buffer,
                               uint32_t* offset, uint32_t* stride) = 0;
  virtual void GetTransform(GpuDevice* device, uint32_t state, Matrix4* out) = 0;
  // Whole source surface to whole destination surface.
  virtual void StretchRect(GpuDevice* device, GpuSurface* source, GpuSurface* dest,
                           uint32_t filter) = 0;
  virtual void SetVertexDeclaration(GpuDevice* device, GpuObject* declaration) = 0;
  virtual void SetRenderState(GpuDevice* device, uint32_t state, uint32_t value) = 0;
  virtual void SetFVF(GpuDevice* device, uint32_t fvf) = 0;
  virtual void SetStreamSource(GpuDevice* device, uint32_t stream, GpuObject* buffer,
                               uint32_t offset, uint32_t stride) = 0;
  virtual void DrawPrimitiveUP(GpuDevice* device, uint32_t type, uint32_t primitives,
                               const void* vertices, uint32_t stride) = 0;
  virtual DrawLimits GetDrawLimits(GpuDevice* device) = 0;  // from GetDeviceCaps
  virtual GpuObject* GetIndices(GpuDevice* device) = 0;     // a counted reference; null: none
  virtual void SetIndices(GpuDevice* device, GpuObject* indices) = 0;
  virtual void DrawIndexedPrimitive(GpuDevice* device, uint32_t type, int32_t baseVertex,
                                    uint32_t minVertexIndex, uint32_t vertexCount,
                                    uint32_t startIndex, uint32_t primitives) = 0;
  // Buffers of `length` bytes; null when creation failed. The index buffer's format is given.
  virtual GpuObject* CreateVertexBuffer(GpuDevice* device, uint32_t length, uint32_t usage,
                                        uint32_t fvf, uint32_t pool) = 0;
  virtual GpuObject* CreateIndexBuffer(GpuDevice* device, uint32_t length, uint32_t usage,
                                       uint32_t format, uint32_t pool) = 0;
  // The whole buffer's memory; null when it cannot be locked.
  virtual void* LockVertexBuffer(GpuObject* buffer, uint32_t flags) = 0;
  virtual void UnlockVertexBuffer(GpuObject* buffer) = 0;
  virtual void* LockIndexBuffer(GpuObject* buffer, uint32_t flags) = 0;
  virtual void UnlockIndexBuffer(GpuObject* buffer) = 0;
  // No shared handle; null when creation failed.
  virtual GpuTexture* CreateTexture(GpuDevice* device, uint32_t width, uint32_t height,
                                    uint32_t levels, uint32_t usage, uint32_t format,
                                    uint32_t pool) = 0;

  // IDirect3DSurface9, IDirect3DTexture9, IUnknown.
  virtual void GetDesc(GpuSurface* surface, SurfaceDesc* desc) = 0;
  virtual GpuSurface* GetSurfaceLevel(GpuTexture* texture, uint32_t level) = 0;
  virtual void ReleaseSurface(GpuSurface* surface) = 0;
  virtual void ReleaseTexture(GpuTexture* texture) = 0;
  virtual void ReleaseObject(GpuObject* object) = 0;

  // ID3DXEffect.
  virtual EffectHandle GetParameterByName(GpuEffect* effect, EffectHandle parent,
                                          const char* name) = 0;
  virtual void SetTexture(GpuEffect* effect, EffectHandle parameter, GpuTexture* texture) = 0;
  virtual void SetFloatArray(GpuEffect* effect, EffectHandle parameter, const float* values,
                             uint32_t count) = 0;
  virtual void Begin(GpuEffect* effect, uint32_t* passes, uint32_t flags) = 0;
  virtual void BeginPass(GpuEffect* effect, uint32_t pass) = 0;
  virtual void EndPass(GpuEffect* effect) = 0;
  virtual void End(GpuEffect* effect) = 0;
  virtual void OnLostDevice(GpuEffect* effect) = 0;
  virtual void OnResetDevice(GpuEffect* effect) = 0;
  virtual void ReleaseEffect(GpuEffect* effect) = 0;

 protected:
  ~RenderApi() = default;
};

// Set once: by the Windows start-up to the Direct3D adapter, by tests to a recorder.
extern RenderApi* renderApi;

}  // namespace pellix
