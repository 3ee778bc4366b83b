// The Direct3D 9 / D3DX 9 side of the tracer drawing's thin interface.
#include <d3d9.h>
#include <d3dx9.h>
#include <windows.h>

#include <cstddef>

#include "host/host_addresses.h"
#include "host/host_api.h"
#include "visuals/direct3d_binding.h"
#include "visuals/draw_tracers.h"
#include "visuals/render_device.h"
#include "visuals/trace_loop.h"

namespace pellix {

static_assert(d3d::RS_ZENABLE == D3DRS_ZENABLE && d3d::RS_ZWRITEENABLE == D3DRS_ZWRITEENABLE &&
              d3d::RS_SRCBLEND == D3DRS_SRCBLEND && d3d::RS_DESTBLEND == D3DRS_DESTBLEND &&
              d3d::RS_CULLMODE == D3DRS_CULLMODE &&
              d3d::RS_ALPHABLENDENABLE == D3DRS_ALPHABLENDENABLE &&
              d3d::RS_FOGENABLE == D3DRS_FOGENABLE &&
              d3d::RS_STENCILENABLE == D3DRS_STENCILENABLE &&
              d3d::RS_STENCILFUNC == D3DRS_STENCILFUNC);
static_assert(d3d::TS_VIEW == D3DTS_VIEW && d3d::TS_PROJECTION == D3DTS_PROJECTION);
static_assert(d3d::ZB_TRUE == D3DZB_TRUE && d3d::BLEND_ONE == D3DBLEND_ONE &&
              d3d::BLEND_SRCALPHA == D3DBLEND_SRCALPHA &&
              d3d::BLEND_INVSRCALPHA == D3DBLEND_INVSRCALPHA && d3d::CULL_NONE == D3DCULL_NONE &&
              d3d::CULL_CW == D3DCULL_CW && d3d::CULL_CCW == D3DCULL_CCW &&
              d3d::CMP_ALWAYS == D3DCMP_ALWAYS && d3d::TEXF_NONE == D3DTEXF_NONE);
static_assert(d3d::PT_TRIANGLESTRIP == D3DPT_TRIANGLESTRIP &&
              d3d::PT_TRIANGLELIST == D3DPT_TRIANGLELIST && d3d::FMT_INDEX16 == D3DFMT_INDEX16 &&
              d3d::USAGE_RENDERTARGET == D3DUSAGE_RENDERTARGET &&
              d3d::POOL_DEFAULT == D3DPOOL_DEFAULT && d3d::USAGE_WRITEONLY == D3DUSAGE_WRITEONLY &&
              d3d::USAGE_DYNAMIC == D3DUSAGE_DYNAMIC && d3d::LOCK_DISCARD == D3DLOCK_DISCARD);
static_assert(sizeof(SurfaceDesc) == sizeof(D3DSURFACE_DESC) &&
              offsetof(SurfaceDesc, width) == offsetof(D3DSURFACE_DESC, Width) &&
              offsetof(SurfaceDesc, height) == offsetof(D3DSURFACE_DESC, Height));
static_assert(sizeof(Matrix4) == sizeof(D3DMATRIX));
static_assert(0x20152 == (D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1 |
                          D3DFVF_TEXCOORDSIZE4(0)));

namespace {

IDirect3DDevice9* Dev(GpuDevice* d) { return reinterpret_cast<IDirect3DDevice9*>(d); }
IDirect3DSurface9* Surf(GpuSurface* s) { return reinterpret_cast<IDirect3DSurface9*>(s); }
IDirect3DTexture9* Tex(GpuTexture* t) { return reinterpret_cast<IDirect3DTexture9*>(t); }
ID3DXEffect* Fx(GpuEffect* e) { return reinterpret_cast<ID3DXEffect*>(e); }
IDirect3DVertexBuffer9* Vb(GpuObject* b) { return reinterpret_cast<IDirect3DVertexBuffer9*>(b); }
IDirect3DIndexBuffer9* Ib(GpuObject* b) { return reinterpret_cast<IDirect3DIndexBuffer9*>(b); }

// Reads a pointer that the host keeps at one of its fixed addresses.
template <typename T>
T* HostPointer(uint32_t address) {
  if (host.at == nullptr) return nullptr;
  const void* slot = host.at(address);
  return slot == nullptr ? nullptr : *static_cast<T* const*>(slot);
}

class Direct3DApi final : public RenderApi {
 public:
  GpuDevice* HostDevice() override { return HostPointer<GpuDevice>(host_addr::HostDevice); }
  GpuSurface* HostRenderSurface() override {
    return HostPointer<GpuSurface>(host_addr::HostRenderSurface);
  }
  uint32_t ModuleFileName(char* buffer, uint32_t size) override {
    return GetModuleFileNameA(nullptr, buffer, size);
  }
  GpuEffect* CreateEffectFromFile(GpuDevice* device, const char* path, char* errors,
                                  uint32_t size) override {
    ID3DXEffect* effect = nullptr;
    ID3DXBuffer* messages = nullptr;
    const HRESULT result = D3DXCreateEffectFromFileA(Dev(device), path, nullptr, nullptr, 0,
                                                     nullptr, &effect, errors ? &messages : nullptr);
    if (errors != nullptr && size > 0) {
      uint32_t n = 0;
      if (messages != nullptr) {
        const auto* text = static_cast<const char*>(messages->GetBufferPointer());
        const DWORD length = messages->GetBufferSize();
        while (n + 1 < size && n < length && text[n] != '\0') {
          errors[n] = text[n];
          ++n;
        }
      }
      errors[n] = '\0';
    }
    if (messages != nullptr) messages->Release();
    if (FAILED(result)) return nullptr;
    return reinterpret_cast<GpuEffect*>(effect);
  }

  GpuSurface* GetRenderTarget(GpuDevice* device, uint32_t index) override {
    IDirect3DSurface9* s = nullptr;
    if (FAILED(Dev(device)->GetRenderTarget(index, &s))) return nullptr;
    return reinterpret_cast<GpuSurface*>(s);
  }
  uint32_t GetFVF(GpuDevice* device) override {
    DWORD fvf = 0;
    Dev(device)->GetFVF(&fvf);
    return fvf;
  }
  GpuObject* GetVertexDeclaration(GpuDevice* device) override {
    IDirect3DVertexDeclaration9* d = nullptr;
    if (FAILED(Dev(device)->GetVertexDeclaration(&d))) return nullptr;
    return reinterpret_cast<GpuObject*>(d);
  }
  uint32_t GetRenderState(GpuDevice* device, uint32_t state) override {
    DWORD value = 0;
    Dev(device)->GetRenderState(static_cast<D3DRENDERSTATETYPE>(state), &value);
    return value;
  }
  void GetStreamSource(GpuDevice* device, uint32_t stream, GpuObject** buffer, uint32_t* offset,
                       uint32_t* stride) override {
    IDirect3DVertexBuffer9* b = nullptr;
    UINT o = 0;
    UINT s = 0;
    if (FAILED(Dev(device)->GetStreamSource(stream, &b, &o, &s))) b = nullptr;
    *buffer = reinterpret_cast<GpuObject*>(b);
    *offset = o;
    *stride = s;
  }
  void GetTransform(GpuDevice* device, uint32_t state, Matrix4* out) override {
    Dev(device)->GetTransform(static_cast<D3DTRANSFORMSTATETYPE>(state),
                              reinterpret_cast<D3DMATRIX*>(out));
  }
  void StretchRect(GpuDevice* device, GpuSurface* source, GpuSurface* dest,
                   uint32_t filter) override {
    Dev(device)->StretchRect(Surf(source), nullptr, Surf(dest), nullptr,
                             static_cast<D3DTEXTUREFILTERTYPE>(filter));
  }
  void SetVertexDeclaration(GpuDevice* device, GpuObject* declaration) override {
    Dev(device)->SetVertexDeclaration(reinterpret_cast<IDirect3DVertexDeclaration9*>(declaration));
  }
  void SetRenderState(GpuDevice* device, uint32_t state, uint32_t value) override {
    Dev(device)->SetRenderState(static_cast<D3DRENDERSTATETYPE>(state), value);
  }
  void SetFVF(GpuDevice* device, uint32_t fvf) override { Dev(device)->SetFVF(fvf); }
  void SetStreamSource(GpuDevice* device, uint32_t stream, GpuObject* buffer, uint32_t offset,
                       uint32_t stride) override {
    Dev(device)->SetStreamSource(stream, reinterpret_cast<IDirect3DVertexBuffer9*>(buffer), offset,
                                 stride);
  }
  void DrawPrimitiveUP(GpuDevice* device, uint32_t type, uint32_t primitives, const void* vertices,
                       uint32_t stride) override {
    Dev(device)->DrawPrimitiveUP(static_cast<D3DPRIMITIVETYPE>(type), primitives, vertices, stride);
  }
  DrawLimits GetDrawLimits(GpuDevice* device) override {
    D3DCAPS9 caps = {};
    Dev(device)->GetDeviceCaps(&caps);
    return DrawLimits{caps.MaxPrimitiveCount, caps.MaxVertexIndex,
                      (caps.DevCaps2 & D3DDEVCAPS2_STREAMOFFSET) != 0};
  }
  GpuObject* GetIndices(GpuDevice* device) override {
    IDirect3DIndexBuffer9* b = nullptr;
    if (FAILED(Dev(device)->GetIndices(&b))) return nullptr;
    return reinterpret_cast<GpuObject*>(b);
  }
  void SetIndices(GpuDevice* device, GpuObject* indices) override {
    Dev(device)->SetIndices(Ib(indices));
  }
  void DrawIndexedPrimitive(GpuDevice* device, uint32_t type, int32_t baseVertex,
                            uint32_t minVertexIndex, uint32_t vertexCount, uint32_t startIndex,
                            uint32_t primitives) override {
    Dev(device)->DrawIndexedPrimitive(static_cast<D3DPRIMITIVETYPE>(type), baseVertex,
                                      minVertexIndex, vertexCount, startIndex, primitives);
  }
  GpuObject* CreateVertexBuffer(GpuDevice* device, uint32_t length, uint32_t usage, uint32_t fvf,
                                uint32_t pool) override {
    IDirect3DVertexBuffer9* b = nullptr;
    if (FAILED(Dev(device)->CreateVertexBuffer(length, usage, fvf, static_cast<D3DPOOL>(pool), &b,
                                               nullptr))) {
      return nullptr;
    }
    return reinterpret_cast<GpuObject*>(b);
  }
  GpuObject* CreateIndexBuffer(GpuDevice* device, uint32_t length, uint32_t usage, uint32_t format,
                               uint32_t pool) override {
    IDirect3DIndexBuffer9* b = nullptr;
    if (FAILED(Dev(device)->CreateIndexBuffer(length, usage, static_cast<D3DFORMAT>(format),
                                              static_cast<D3DPOOL>(pool), &b, nullptr))) {
      return nullptr;
    }
    return reinterpret_cast<GpuObject*>(b);
  }
  void* LockVertexBuffer(GpuObject* buffer, uint32_t flags) override {
    void* data = nullptr;
    if (FAILED(Vb(buffer)->Lock(0, 0, &data, flags))) return nullptr;
    return data;
  }
  void UnlockVertexBuffer(GpuObject* buffer) override { Vb(buffer)->Unlock(); }
  void* LockIndexBuffer(GpuObject* buffer, uint32_t flags) override {
    void* data = nullptr;
    if (FAILED(Ib(buffer)->Lock(0, 0, &data, flags))) return nullptr;
    return data;
  }
  void UnlockIndexBuffer(GpuObject* buffer) override { Ib(buffer)->Unlock(); }
  GpuTexture* CreateTexture(GpuDevice* device, uint32_t width, uint32_t height, uint32_t levels,
                            uint32_t usage, uint32_t format, uint32_t pool) override {
    IDirect3DTexture9* t = nullptr;
    if (FAILED(Dev(device)->CreateTexture(width, height, levels, usage,
                                          static_cast<D3DFORMAT>(format),
                                          static_cast<D3DPOOL>(pool), &t, nullptr))) {
      return nullptr;
    }
    return reinterpret_cast<GpuTexture*>(t);
  }

  void GetDesc(GpuSurface* surface, SurfaceDesc* desc) override {
    Surf(surface)->GetDesc(reinterpret_cast<D3DSURFACE_DESC*>(desc));
  }
  GpuSurface* GetSurfaceLevel(GpuTexture* texture, uint32_t level) override {
    IDirect3DSurface9* s = nullptr;
    if (FAILED(Tex(texture)->GetSurfaceLevel(level, &s))) return nullptr;
    return reinterpret_cast<GpuSurface*>(s);
  }
  void ReleaseSurface(GpuSurface* surface) override { Surf(surface)->Release(); }
  void ReleaseTexture(GpuTexture* texture) override { Tex(texture)->Release(); }
  void ReleaseObject(GpuObject* object) override { reinterpret_cast<IUnknown*>(object)->Release(); }

  EffectHandle GetParameterByName(GpuEffect* effect, EffectHandle parent,
                                  const char* name) override {
    return Fx(effect)->GetParameterByName(parent, name);
  }
  void SetTexture(GpuEffect* effect, EffectHandle parameter, GpuTexture* texture) override {
    Fx(effect)->SetTexture(parameter, Tex(texture));
  }
  void SetFloatArray(GpuEffect* effect, EffectHandle parameter, const float* values,
                     uint32_t count) override {
    Fx(effect)->SetFloatArray(parameter, values, count);
  }
  void Begin(GpuEffect* effect, uint32_t* passes, uint32_t flags) override {
    UINT count = *passes;
    Fx(effect)->Begin(&count, flags);
    *passes = count;
  }
  void BeginPass(GpuEffect* effect, uint32_t pass) override { Fx(effect)->BeginPass(pass); }
  void EndPass(GpuEffect* effect) override { Fx(effect)->EndPass(); }
  void End(GpuEffect* effect) override { Fx(effect)->End(); }
  void OnLostDevice(GpuEffect* effect) override { Fx(effect)->OnLostDevice(); }
  void OnResetDevice(GpuEffect* effect) override { Fx(effect)->OnResetDevice(); }
  void ReleaseEffect(GpuEffect* effect) override { Fx(effect)->Release(); }
};

Direct3DApi direct3DApi;

}  // namespace

void BindDirect3D() {
  renderApi = &direct3DApi;
  drawTracers = &DrawTracers;
}

}  // namespace pellix
