// A Direct3D stand-in for the drawing's unit tests: records every call with its arguments as
// one line of text, keeps the device state it is given, and counts references.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "visuals/render_device.h"
#include "visuals/strip_geometry.h"

namespace pellix::testing {

class RecordingRenderApi final : public RenderApi {
 public:
  // Scripted answers.
  std::string modulePath = "C:\\Games\\Host\\host.exe";
  bool hasDevice = true;  // the host has made its device
  bool effectLoads = true;
  std::string effectErrors;  // the compiler's messages when the effect does not load
  bool textureCreates = true;
  bool deviceHasDeclaration = true;
  bool deviceHasStream = true;
  uint32_t techniquePasses = 2;
  bool beginWritesCount = true;
  uint32_t maxPrimitives = 0xFFFFF;  // the device's caps
  uint32_t maxVertexIndex = 0xFFFFF;
  bool streamOffsets = true;  // without, SetStreamSource at a non-zero offset fails
  std::map<uint32_t, uint32_t> passCullModes;  // the cull mode a pass sets at BeginPass
  bool vertexBufferCreates = true;
  bool locks = true;
  SurfaceDesc renderSurfaceDesc{21, 1, 1, 0, 0, 0, 640, 480};  // A8R8G8B8, render target
  Matrix4 view{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
  Matrix4 projection{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
  GpuSurface* renderSurface = Fake<GpuSurface>(kRenderSurface);

  // Device state, as the host left it.
  std::map<uint32_t, uint32_t> renderStates;
  uint32_t fvf = 0x142;
  GpuObject* declaration = nullptr;
  GpuObject* stream = nullptr;
  GpuObject* indices = Indices();
  uint32_t streamOffset = 16;
  uint32_t streamStride = 32;

  // What happened.
  std::vector<std::string> calls;
  // The strip of every DrawPrimitiveUP; the triangles' vertices, in index order, of every
  // DrawIndexedPrimitive.
  std::vector<std::vector<TracerVertex>> draws;
  std::vector<uint32_t> drawPasses;  // the pass each draw was made in
  // Every triangle the device would rasterise, as it receives it (a strip's every second
  // triangle turned, as Direct3D does), with its facing on screen through the last matWVP:
  // those the cull mode in force drops are left out.
  struct Triangle {
    TracerVertex v[3];
    int facing;  // -1 clockwise on screen, +1 counterclockwise, 0 no area
  };
  std::vector<Triangle> shown;
  std::vector<float> wvp;  // the last SetFloatArray
  std::vector<std::string> effectPaths;
  std::map<const void*, int> references;  // counted objects still held by the drawing
  int texturesCreated = 0;
  std::map<const void*, std::vector<uint8_t>> buffers;  // contents of the vertex and index buffers

  RecordingRenderApi() {
    for (uint32_t s : {7u, 52u, 27u, 28u, 14u, 19u, 20u, 22u, 56u}) renderStates[s] = 100 + s;
  }

  static GpuDevice* Device() { return Fake<GpuDevice>(kDevice); }
  static GpuEffect* Effect() { return Fake<GpuEffect>(kEffect); }
  static GpuSurface* Target() { return Fake<GpuSurface>(kTarget); }
  static GpuObject* Declaration() { return Fake<GpuObject>(kDeclaration); }
  static GpuObject* Stream() { return Fake<GpuObject>(kStream); }
  static GpuObject* Indices() { return Fake<GpuObject>(kIndices); }
  static GpuTexture* Texture(int n) { return Fake<GpuTexture>(kTexture + n); }
  static GpuSurface* Level0(int n) { return Fake<GpuSurface>(kLevel0 + n); }
  static EffectHandle SceneHandle() { return "h:RenderScene"; }
  static EffectHandle WvpHandle() { return "h:matWVP"; }

  // Whether / how often a recorded call starts with prefix.
  bool Has(const std::string& prefix) const {
    for (const auto& c : calls) {
      if (c.rfind(prefix, 0) == 0) return true;
    }
    return false;
  }
  int Count(const std::string& prefix) const {
    int n = 0;
    for (const auto& c : calls) n += c.rfind(prefix, 0) == 0;
    return n;
  }
  int HeldReferences() const {
    int n = 0;
    for (const auto& r : references) n += r.second;
    return n;
  }

  GpuDevice* HostDevice() override {
    Log("HostDevice");
    return hasDevice ? Device() : nullptr;
  }
  GpuSurface* HostRenderSurface() override {
    Log("HostRenderSurface");
    return renderSurface;
  }
  uint32_t ModuleFileName(char* buffer, uint32_t size) override {
    Log("ModuleFileName " + std::to_string(size));
    // GetModuleFileNameA: truncates to size characters, terminated only when it fits.
    const uint32_t n = static_cast<uint32_t>(modulePath.size()) < size
                           ? static_cast<uint32_t>(modulePath.size())
                           : size;
    std::memcpy(buffer, modulePath.data(), n);
    if (n < size) buffer[n] = '\0';
    return n;
  }
  // The first effect made is Effect(); later ones are "effect#1", "effect#2"...
  GpuEffect* CreateEffectFromFile(GpuDevice* device, const char* path, char* errors,
                                  uint32_t size) override {
    Log("CreateEffectFromFile " + Name(device) + " " + path);
    effectPaths.push_back(path);
    if (errors != nullptr && size > 0) {
      const std::string text = effectLoads ? "" : effectErrors.substr(0, size - 1);
      std::memcpy(errors, text.c_str(), text.size() + 1);
    }
    if (!effectLoads) return nullptr;
    return effectsCreated++ == 0 ? Effect() : Fake<GpuEffect>(kNewEffect + effectsCreated - 1);
  }

  GpuSurface* GetRenderTarget(GpuDevice* device, uint32_t index) override {
    Log("GetRenderTarget " + Name(device) + " " + std::to_string(index));
    ++references[Target()];
    return Target();
  }
  uint32_t GetFVF(GpuDevice*) override {
    Log("GetFVF");
    return fvf;
  }
  GpuObject* GetVertexDeclaration(GpuDevice*) override {
    Log("GetVertexDeclaration");
    if (!deviceHasDeclaration) return nullptr;
    ++references[Declaration()];
    return Declaration();
  }
  uint32_t GetRenderState(GpuDevice*, uint32_t state) override {
    Log("GetRenderState " + std::to_string(state));
    return renderStates[state];
  }
  void GetStreamSource(GpuDevice*, uint32_t index, GpuObject** buffer, uint32_t* offset,
                       uint32_t* stride) override {
    Log("GetStreamSource " + std::to_string(index));
    *buffer = deviceHasStream ? Stream() : nullptr;
    if (deviceHasStream) ++references[Stream()];
    *offset = streamOffset;
    *stride = streamStride;
  }
  void GetTransform(GpuDevice*, uint32_t state, Matrix4* out) override {
    Log("GetTransform " + std::to_string(state));
    *out = state == d3d::TS_VIEW ? view : projection;
  }
  void StretchRect(GpuDevice*, GpuSurface* source, GpuSurface* dest, uint32_t filter) override {
    Log("StretchRect " + Name(source) + " " + Name(dest) + " " + std::to_string(filter));
  }
  void SetVertexDeclaration(GpuDevice*, GpuObject* d) override {
    Log("SetVertexDeclaration " + Name(d));
    declaration = d;
  }
  void SetRenderState(GpuDevice*, uint32_t state, uint32_t value) override {
    Log("SetRenderState " + std::to_string(state) + " " + std::to_string(value));
    renderStates[state] = value;
  }
  void SetFVF(GpuDevice*, uint32_t value) override {
    Log("SetFVF " + Hex(value));
    fvf = value;
  }
  void SetStreamSource(GpuDevice*, uint32_t index, GpuObject* buffer, uint32_t offset,
                       uint32_t stride) override {
    const bool fails = offset != 0 && !streamOffsets;
    Log("SetStreamSource " + std::to_string(index) + " " + Name(buffer) + " " +
        std::to_string(offset) + " " + std::to_string(stride) + (fails ? " fails" : ""));
    if (fails) return;  // the stream stays as it was
    stream = buffer;
    streamOffset = offset;
    streamStride = stride;
  }
  void DrawPrimitiveUP(GpuDevice*, uint32_t type, uint32_t primitives, const void* vertices,
                       uint32_t stride) override {
    Log("DrawPrimitiveUP " + std::to_string(type) + " " + std::to_string(primitives) + " " +
        (vertices == tracerStrip ? "tracerStrip" : "?") + " " + std::to_string(stride));
    const auto* v = static_cast<const TracerVertex*>(vertices);
    draws.emplace_back(v, v + TracerStripVertices);
    drawPasses.push_back(currentPass);
    for (uint32_t k = 0; k < primitives && type == d3d::PT_TRIANGLESTRIP; ++k) {
      const uint32_t odd = k % 2;
      Show({v[k], v[k + 1 + odd], v[k + 2 - odd]});
    }
  }
  DrawLimits GetDrawLimits(GpuDevice*) override {
    Log("GetDeviceCaps");
    return DrawLimits{maxPrimitives, maxVertexIndex, streamOffsets};
  }
  GpuObject* GetIndices(GpuDevice*) override {
    Log("GetIndices");
    if (indices != nullptr) ++references[indices];
    return indices;
  }
  void SetIndices(GpuDevice*, GpuObject* buffer) override {
    Log("SetIndices " + Name(buffer));
    indices = buffer;
  }
  void DrawIndexedPrimitive(GpuDevice*, uint32_t type, int32_t baseVertex, uint32_t minIndex,
                            uint32_t vertexCount, uint32_t startIndex,
                            uint32_t primitives) override {
    Log("DrawIndexedPrimitive " + std::to_string(type) + " " + std::to_string(baseVertex) + " " +
        std::to_string(minIndex) + " " + std::to_string(vertexCount) + " " +
        std::to_string(startIndex) + " " + std::to_string(primitives));
    // The triangles as the device reads them: indices from the index buffer (MinVertexIndex and
    // the vertex count relative to the base), vertices from stream 0 at its offset.
    // A strip's six at least: one trail at a time draws that many on any device.
    EXPECT_LE(primitives, std::max(maxPrimitives, TracerStripTriangles));
    if (buffers.count(stream) == 0) {
      ADD_FAILURE() << "the draw reads stream 0 as the host left it";
      return;
    }
    const std::vector<uint8_t>& vb = buffers.at(stream);
    const std::vector<uint8_t>& ib = buffers.at(indices);
    std::vector<TracerVertex> listed;
    for (uint32_t i = 0; i < 3 * primitives; ++i) {
      uint16_t index;
      std::memcpy(&index, &ib.at(2 * (startIndex + i)), 2);
      EXPECT_TRUE(index >= minIndex && index < minIndex + vertexCount) << "index " << index;
      const int64_t v = int64_t{baseVertex} + index;
      EXPECT_LE(v, int64_t{maxVertexIndex}) << "base " << baseVertex << " index " << index;
      const size_t at = streamOffset + size_t{streamStride} * static_cast<size_t>(v);
      EXPECT_LE(at + sizeof(TracerVertex), vb.size());
      TracerVertex vertex{};
      if (at + sizeof vertex <= vb.size()) std::memcpy(&vertex, &vb[at], sizeof vertex);
      listed.push_back(vertex);
    }
    for (size_t t = 0; t + 2 < listed.size(); t += 3)
      Show({listed[t], listed[t + 1], listed[t + 2]});
    draws.push_back(listed);
    drawPasses.push_back(currentPass);
  }
  GpuObject* CreateVertexBuffer(GpuDevice*, uint32_t length, uint32_t usage, uint32_t fvf,
                                uint32_t pool) override {
    Log("CreateVertexBuffer " + std::to_string(length) + " " + Hex(usage) + " " + Hex(fvf) + " " +
        std::to_string(pool));
    return vertexBufferCreates ? NewBuffer(kVertexBuffer, length) : nullptr;
  }
  GpuObject* CreateIndexBuffer(GpuDevice*, uint32_t length, uint32_t usage, uint32_t format,
                               uint32_t pool) override {
    Log("CreateIndexBuffer " + std::to_string(length) + " " + Hex(usage) + " " +
        std::to_string(format) + " " + std::to_string(pool));
    return NewBuffer(kIndexBuffer, length);
  }
  // A discarded buffer comes back as new memory: NaN here, so that what the batch does not
  // write, or reads back, shows.
  void* LockVertexBuffer(GpuObject* buffer, uint32_t flags) override {
    Log("Lock " + Name(buffer) + " " + Hex(flags));
    if (!locks) return nullptr;
    std::vector<uint8_t>& bytes = buffers.at(buffer);
    if ((flags & d3d::LOCK_DISCARD) != 0) {
      const float nan = std::numeric_limits<float>::quiet_NaN();
      for (size_t at = 0; at + 4 <= bytes.size(); at += 4) std::memcpy(&bytes[at], &nan, 4);
    }
    return bytes.data();
  }
  void UnlockVertexBuffer(GpuObject* buffer) override { Log("Unlock " + Name(buffer)); }
  void* LockIndexBuffer(GpuObject* buffer, uint32_t flags) override {
    Log("Lock " + Name(buffer) + " " + Hex(flags));
    return locks ? buffers.at(buffer).data() : nullptr;
  }
  void UnlockIndexBuffer(GpuObject* buffer) override { Log("Unlock " + Name(buffer)); }
  GpuTexture* CreateTexture(GpuDevice*, uint32_t width, uint32_t height, uint32_t levels,
                            uint32_t usage, uint32_t format, uint32_t pool) override {
    Log("CreateTexture " + std::to_string(width) + "x" + std::to_string(height) + " " +
        std::to_string(levels) + " " + std::to_string(usage) + " " + std::to_string(format) + " " +
        std::to_string(pool));
    if (!textureCreates) return nullptr;
    ++texturesCreated;
    ++references[Texture(texturesCreated)];
    return Texture(texturesCreated);
  }
  void GetDesc(GpuSurface* surface, SurfaceDesc* desc) override {
    Log("GetDesc " + Name(surface));
    *desc = renderSurfaceDesc;
  }
  GpuSurface* GetSurfaceLevel(GpuTexture* texture, uint32_t level) override {
    Log("GetSurfaceLevel " + Name(texture) + " " + std::to_string(level));
    for (int n = 1; n <= texturesCreated; ++n) {
      if (Texture(n) == texture) {
        ++references[Level0(n)];
        return Level0(n);
      }
    }
    return nullptr;
  }
  void ReleaseSurface(GpuSurface* s) override { Release(s); }
  void ReleaseTexture(GpuTexture* t) override { Release(t); }
  void ReleaseObject(GpuObject* o) override { Release(o); }

  EffectHandle GetParameterByName(GpuEffect* effect, EffectHandle parent,
                                  const char* name) override {
    Log("GetParameterByName " + Name(effect) + " " + (parent ? parent : "null") + " " + name);
    if (std::strcmp(name, "RenderScene") == 0) return SceneHandle();
    if (std::strcmp(name, "matWVP") == 0) return WvpHandle();
    return nullptr;
  }
  void SetTexture(GpuEffect* effect, EffectHandle parameter, GpuTexture* texture) override {
    Log("SetTexture " + Name(effect) + " " + (parameter ? parameter : "null") + " " +
        Name(texture));
  }
  void SetFloatArray(GpuEffect* effect, EffectHandle parameter, const float* values,
                     uint32_t count) override {
    Log("SetFloatArray " + Name(effect) + " " + (parameter ? parameter : "null") + " " +
        std::to_string(count));
    wvp.assign(values, values + count);
  }
  void Begin(GpuEffect* effect, uint32_t* passes, uint32_t flags) override {
    Log("Begin " + Name(effect) + " " + std::to_string(*passes) + " " + std::to_string(flags));
    if (beginWritesCount) *passes = techniquePasses;
  }
  void BeginPass(GpuEffect* effect, uint32_t pass) override {
    Log("BeginPass " + Name(effect) + " " + std::to_string(pass));
    currentPass = pass;
    if (passCullModes.count(pass) != 0) renderStates[d3d::RS_CULLMODE] = passCullModes[pass];
  }
  void EndPass(GpuEffect* effect) override { Log("EndPass " + Name(effect)); }
  void End(GpuEffect* effect) override { Log("End " + Name(effect)); }
  void OnLostDevice(GpuEffect* effect) override { Log("OnLostDevice " + Name(effect)); }
  void OnResetDevice(GpuEffect* effect) override { Log("OnResetDevice " + Name(effect)); }
  void ReleaseEffect(GpuEffect* effect) override { Log("ReleaseEffect " + Name(effect)); }

 private:
  enum : uintptr_t {
    kDevice = 1,
    kRenderSurface,
    kEffect,
    kTarget,
    kDeclaration,
    kStream,
    kIndices,
    kTexture = 100,
    kVertexBuffer = 300,
    kIndexBuffer = 400,
    kLevel0 = 200,
    kNewEffect = 500,
  };
  template <typename T>
  static T* Fake(uintptr_t id) {
    return reinterpret_cast<T*>(id * 16);
  }
  static std::string Hex(uint32_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "0x%X", v);
    return b;
  }
  std::string Name(const void* p) const {
    if (p == nullptr) return "null";
    const auto id = reinterpret_cast<uintptr_t>(p) / 16;
    switch (id) {
      case kDevice:
        return "device";
      case kRenderSurface:
        return "renderSurface";
      case kEffect:
        return "effect";
      case kTarget:
        return "target";
      case kDeclaration:
        return "declaration";
      case kStream:
        return "stream";
      case kIndices:
        return "indices";
      default:
        break;
    }
    if (id >= kNewEffect) return "effect#" + std::to_string(id - kNewEffect);
    if (id >= kIndexBuffer) return "indexBuffer#" + std::to_string(id - kIndexBuffer);
    if (id >= kVertexBuffer) return "vertexBuffer#" + std::to_string(id - kVertexBuffer);
    if (id >= kLevel0) return "level0#" + std::to_string(id - kLevel0);
    if (id >= kTexture) return "texture#" + std::to_string(id - kTexture);
    return "?";
  }
  GpuObject* NewBuffer(uintptr_t kind, uint32_t length) {
    GpuObject* b = Fake<GpuObject>(kind + ++buffersCreated);
    buffers[b].assign(length, 0);
    ++references[b];
    return b;
  }
  void Release(const void* p) {
    Log("Release " + Name(p));
    --references[p];
  }
  void Log(std::string s) { calls.push_back(std::move(s)); }
  // Facing from the screen positions (x / w, y / w, y up), worked out with the vertices in one
  // fixed order (of their bytes) and turned by that order's parity: the same three vertices
  // give the same answer, or its opposite, in any order.
  void Show(std::vector<TracerVertex> v) {
    int order[3] = {0, 1, 2};
    int parity = 0;
    for (int a = 0; a < 2; ++a) {
      for (int b = 0; b < 2 - a; ++b) {
        if (std::memcmp(&v[order[b]], &v[order[b + 1]], sizeof(TracerVertex)) > 0) {
          std::swap(order[b], order[b + 1]);
          parity ^= 1;
        }
      }
    }
    double x[3] = {}, y[3] = {};
    for (int i = 0; i < 3 && wvp.size() == 16; ++i) {
      const float* p = v[order[i]].position;
      double c[4];
      for (int j = 0; j < 4; ++j) {
        c[j] = double{wvp.at(12 + j)};
        for (int k = 0; k < 3; ++k) c[j] += double{p[k]} * wvp.at(4 * k + j);
      }
      x[i] = c[0] / c[3];
      y[i] = c[1] / c[3];
    }
    const double cross = (x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0]);
    const int facing = (cross > 0 ? 1 : cross < 0 ? -1 : 0) * (parity != 0 ? -1 : 1);
    const uint32_t cull = renderStates[d3d::RS_CULLMODE];
    if ((cull == d3d::CULL_CW && facing < 0) || (cull == d3d::CULL_CCW && facing > 0)) return;
    shown.push_back(Triangle{{v[0], v[1], v[2]}, facing});
  }
  uint32_t currentPass = 0;
  int buffersCreated = 0;
  int effectsCreated = 0;
};

}  // namespace pellix::testing
