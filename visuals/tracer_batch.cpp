#include "visuals/tracer_batch.h"

#include "sim/pool.h"
#include "startup/settings.h"

namespace pellix {

TracerBatch tracerBatch{};

namespace {
// 16-bit indices reach 65536 vertices: 8192 strips.
constexpr int32_t kMaxIndexedStrips = 65536 / TracerStripVertices;
constexpr uint32_t kStripBytes = TracerStripVertices * sizeof(TracerVertex);

// The six triangles of a strip of eight vertices, each in the strip's own vertex order.
constexpr uint16_t kStripTriangles[TracerStripIndices] = {0, 1, 2, 1, 2, 3, 2, 3, 4,
                                                          3, 4, 5, 4, 5, 6, 5, 6, 7};

GpuObject* MakeIndexBuffer(RenderApi& api, GpuDevice* device, int32_t strips) {
  GpuObject* buffer =
      api.CreateIndexBuffer(device, static_cast<uint32_t>(strips) * TracerStripIndices * 2,
                            d3d::USAGE_WRITEONLY, d3d::FMT_INDEX16, d3d::POOL_DEFAULT);
  if (buffer == nullptr) return nullptr;
  auto* indices = static_cast<uint16_t*>(api.LockIndexBuffer(buffer, 0));
  if (indices == nullptr) {
    api.ReleaseObject(buffer);
    return nullptr;
  }
  for (int32_t k = 0; k < strips; ++k) {
    for (uint32_t i = 0; i < TracerStripIndices; ++i) {
      *indices++ = static_cast<uint16_t>(k * TracerStripVertices + kStripTriangles[i]);
    }
  }
  api.UnlockIndexBuffer(buffer);
  return buffer;
}

// How many strips one draw may hold on this device: its primitive count and its largest
// vertex index, within the index buffer. At least one, as drawing one trail at a time does.
int32_t StripsPerDraw(RenderApi& api, GpuDevice* device) {
  uint32_t maxPrimitives = 0;
  uint32_t maxVertexIndex = 0;
  api.GetDrawLimits(device, &maxPrimitives, &maxVertexIndex);
  uint64_t strips = static_cast<uint64_t>(tracerBatch.indexedStrips);
  const uint64_t byPrimitives = maxPrimitives / TracerStripTriangles;
  const uint64_t byIndex = (static_cast<uint64_t>(maxVertexIndex) + 1) / TracerStripVertices;
  if (byPrimitives < strips) strips = byPrimitives;
  if (byIndex < strips) strips = byIndex;
  return strips < 1 ? 1 : static_cast<int32_t>(strips);
}
}  // namespace

void PrepareTracerBatch(RenderApi& api, GpuDevice* device) {
  const int32_t slots = settings.MaxPellix;
  // Both passes' regions must fit the buffer's 32-bit length.
  if (slots < 1 || static_cast<uint64_t>(slots) * 2 * kStripBytes > UINT32_MAX) return;
  if (tracerBatch.refused) return;
  if (tracerBatch.vertexBuffer == nullptr) {
    tracerBatch.vertexBuffer = api.CreateVertexBuffer(
        device, static_cast<uint32_t>(slots) * 2 * kStripBytes,
        d3d::USAGE_DYNAMIC | d3d::USAGE_WRITEONLY, TracerVertexFvf, d3d::POOL_DEFAULT);
    tracerBatch.capacity = slots;
  }
  if (tracerBatch.indexBuffer == nullptr) {
    const int32_t strips = slots < kMaxIndexedStrips ? slots : kMaxIndexedStrips;
    tracerBatch.indexBuffer = MakeIndexBuffer(api, device, strips);
    tracerBatch.indexedStrips = strips;
  }
  tracerBatch.refused = tracerBatch.vertexBuffer == nullptr || tracerBatch.indexBuffer == nullptr;
}

void ReleaseTracerBatch(RenderApi& api) {
  if (tracerBatch.vertexBuffer != nullptr) api.ReleaseObject(tracerBatch.vertexBuffer);
  if (tracerBatch.indexBuffer != nullptr) api.ReleaseObject(tracerBatch.indexBuffer);
  tracerBatch = TracerBatch{};
}

int32_t WriteTracerBatch(TracerVertex* refraction, TracerVertex* display, const StripFrame& frame) {
  const TrailRecord* trails = pool.trailArray;
  if (trails == nullptr) return 0;
  int32_t slots = settings.MaxPellix;
  if (tracerBatch.capacity > 0 && tracerBatch.capacity < slots) slots = tracerBatch.capacity;
  float carried[TracerStripVertices];
  for (int i = 0; i < TracerStripVertices; ++i) carried[i] = tracerStrip[i].tex[2];

  int32_t strips = 0;
  int32_t last = -1;
  for (int32_t i = 0; i < slots; ++i) {
    const TrailRecord& trail = trails[i];
    if (trail.activity == 0) continue;
    StripHead head;
    PrepareStripHead(&head, frame, trail);
    const int32_t at = strips * TracerStripVertices;
    if (refraction != nullptr) {
      WriteRefractionStrip(refraction + at, frame, head, trail, pool.projectileArray[i],
                           pool.extraArray[i], carried);
    }
    if (display != nullptr) WriteDisplayStrip(display + at, frame, head, trail);
    ++strips;
    last = i;
  }
  // The buffer may be write-only: tracerStrip gets the last strip built again instead.
  if (last >= 0 && (refraction != nullptr || display != nullptr)) {
    BuildTracerStrip(tracerStrip, frame, trails[last], pool.projectileArray[last],
                     pool.extraArray[last], display != nullptr ? 1 : 0);
  }
  return strips;
}

int32_t BuildTracerBatch(RenderApi& api, const StripFrame& frame, bool refraction, bool display) {
  if (!refraction && !display) return 0;
  GpuObject* buffer = tracerBatch.vertexBuffer;
  auto* vertices = static_cast<TracerVertex*>(api.LockVertexBuffer(buffer, d3d::LOCK_DISCARD));
  if (vertices == nullptr) return -1;
  const size_t region = static_cast<size_t>(tracerBatch.capacity) * TracerStripVertices;
  const int32_t strips = WriteTracerBatch(refraction ? vertices : nullptr,
                                          display ? vertices + region : nullptr, frame);
  api.UnlockVertexBuffer(buffer);
  return strips;
}

void DrawTracerBatch(RenderApi& api, GpuDevice* device, uint32_t pass, int32_t strips) {
  if (strips <= 0 || pass > 1) return;
  const int32_t step = StripsPerDraw(api, device);
  api.SetIndices(device, tracerBatch.indexBuffer);
  for (int32_t first = 0; first < strips; first += step) {
    const auto n = static_cast<uint32_t>(strips - first < step ? strips - first : step);
    // The strips of one draw start at a stream offset, so that their indices start at 0.
    const uint64_t strip = static_cast<uint64_t>(pass) * tracerBatch.capacity + first;
    api.SetStreamSource(device, 0, tracerBatch.vertexBuffer,
                        static_cast<uint32_t>(strip * kStripBytes), sizeof(TracerVertex));
    api.DrawIndexedPrimitive(device, d3d::PT_TRIANGLELIST, 0, 0, n * TracerStripVertices, 0,
                             n * TracerStripTriangles);
  }
}

}  // namespace pellix
