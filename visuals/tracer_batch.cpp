#include "visuals/tracer_batch.h"

#include "sim/pool.h"
#include "startup/settings.h"

namespace pellix {

TracerBatch tracerBatch{};

namespace {
// 16-bit indices reach 65536 vertices: 8192 strips.
constexpr int32_t kMaxIndexedStrips = 65536 / TracerStripVertices;
constexpr uint32_t kStripBytes = TracerStripVertices * sizeof(TracerVertex);

// The six triangles of a strip of eight vertices. In list order each is (k, k+1, k+2), the
// strip's own vertex order: where nothing is culled, the order whose picture is the strip's.
// A triangle strip turns every second triangle, (k, k+2, k+1) in Direct3D's order, so that all
// six face one way: the order a pass that culls needs.
constexpr uint16_t kListOrder[TracerStripIndices] = {0, 1, 2, 1, 2, 3, 2, 3, 4,
                                                     3, 4, 5, 4, 5, 6, 5, 6, 7};
constexpr uint16_t kStripOrder[TracerStripIndices] = {0, 1, 2, 1, 3, 2, 2, 3, 4,
                                                      3, 5, 4, 4, 5, 6, 5, 7, 6};

uint16_t* WritePattern(uint16_t* indices, const uint16_t* pattern, int32_t strips) {
  for (int32_t k = 0; k < strips; ++k) {
    for (uint32_t i = 0; i < TracerStripIndices; ++i) {
      *indices++ = static_cast<uint16_t>(k * TracerStripVertices + pattern[i]);
    }
  }
  return indices;
}

GpuObject* MakeIndexBuffer(RenderApi& api, GpuDevice* device, int32_t strips) {
  GpuObject* buffer =
      api.CreateIndexBuffer(device, 2 * static_cast<uint32_t>(strips) * TracerStripIndices * 2,
                            d3d::USAGE_WRITEONLY, d3d::FMT_INDEX16, d3d::POOL_DEFAULT);
  if (buffer == nullptr) return nullptr;
  auto* indices = static_cast<uint16_t*>(api.LockIndexBuffer(buffer, 0));
  if (indices == nullptr) {
    api.ReleaseObject(buffer);
    return nullptr;
  }
  WritePattern(WritePattern(indices, kListOrder, strips), kStripOrder, strips);
  api.UnlockIndexBuffer(buffer);
  return buffer;
}

// Strips whose vertices a draw can reach as base + index within MaxVertexIndex.
uint64_t ReachableStrips(const DrawLimits& limits) {
  return (static_cast<uint64_t>(limits.maxVertexIndex) + 1) / TracerStripVertices;
}

// How many strips one draw may hold on this device: its primitive count and its largest
// vertex index, within the index buffer. At least one, as drawing one trail at a time does.
int32_t StripsPerDraw(const DrawLimits& limits) {
  uint64_t strips = static_cast<uint64_t>(tracerBatch.indexedStrips);
  const uint64_t byPrimitives = limits.maxPrimitives / TracerStripTriangles;
  const uint64_t byIndex = ReachableStrips(limits);
  if (byPrimitives < strips) strips = byPrimitives;
  if (byIndex < strips) strips = byIndex;
  return strips < 1 ? 1 : static_cast<int32_t>(strips);
}

// Whether every one of `strips` strips of a pass can be drawn: through the base vertex, or
// beyond MaxVertexIndex from a stream offset, which only some devices take.
bool Reaches(const DrawLimits& limits, int64_t strips) {
  const uint64_t reach = ReachableStrips(limits);
  return reach >= 1 && (static_cast<uint64_t>(strips) <= reach || limits.streamOffsets);
}

int32_t LiveTrails(int32_t slots) {
  int32_t live = 0;
  for (int32_t i = 0; i < slots; ++i) live += pool.trailArray[i].activity != 0 ? 1 : 0;
  return live;
}

// The slots the batch covers: MaxPellix, within the buffers' capacity.
int32_t BatchSlots() {
  const int32_t slots = settings.MaxPellix;
  const int32_t capacity = tracerBatch.capacity;
  return capacity > 0 && capacity < slots ? capacity : slots;
}
}  // namespace

void PrepareTracerBatch(RenderApi& api, GpuDevice* device) {
  const int32_t slots = settings.MaxPellix;
  // A pass's strips must fit a buffer's 32-bit length.
  if (slots < 1 || static_cast<uint64_t>(slots) * kStripBytes > UINT32_MAX) return;
  if (tracerBatch.refused) return;
  bool made = true;
  for (GpuObject*& buffer : tracerBatch.vertexBuffers) {
    if (buffer == nullptr) {
      buffer = api.CreateVertexBuffer(device, static_cast<uint32_t>(slots) * kStripBytes,
                                      d3d::USAGE_DYNAMIC | d3d::USAGE_WRITEONLY, TracerVertexFvf,
                                      d3d::POOL_DEFAULT);
    }
    made = made && buffer != nullptr;
  }
  tracerBatch.capacity = slots;
  if (tracerBatch.indexBuffer == nullptr) {
    const int32_t strips = slots < kMaxIndexedStrips ? slots : kMaxIndexedStrips;
    tracerBatch.indexBuffer = MakeIndexBuffer(api, device, strips);
    tracerBatch.indexedStrips = strips;
  }
  tracerBatch.refused = !made || tracerBatch.indexBuffer == nullptr;
}

void ReleaseTracerBatch(RenderApi& api) {
  for (GpuObject* buffer : tracerBatch.vertexBuffers) {
    if (buffer != nullptr) api.ReleaseObject(buffer);
  }
  if (tracerBatch.indexBuffer != nullptr) api.ReleaseObject(tracerBatch.indexBuffer);
  tracerBatch = TracerBatch{};
}

int32_t WriteTracerBatch(TracerVertex* refraction, TracerVertex* display, const StripFrame& frame) {
  const TrailRecord* trails = pool.trailArray;
  if (trails == nullptr) return 0;
  const int32_t slots = BatchSlots();
  float carried[TracerStripVertices];
  for (int i = 0; i < TracerStripVertices; ++i) carried[i] = tracerStrip[i].tex[2];

  // Each trail's strips are planned (their turns) before the previous trail's are written, so
  // that the turns' long chains overlap the writing.
  struct Planned {
    StripHead head;
    StripPlan refraction;
    StripPlan display;
    int32_t at;
  };
  Planned planned[2];
  const auto write = [&](const Planned& p) {
    if (refraction != nullptr) WritePlannedStrip(refraction + p.at, frame, p.head, p.refraction);
    if (display != nullptr) WritePlannedStrip(display + p.at, frame, p.head, p.display);
  };
  int32_t strips = 0;
  int32_t last = -1;
  for (int32_t i = 0; i < slots; ++i) {
    const TrailRecord& trail = trails[i];
    if (trail.activity == 0) continue;
    Planned& p = planned[strips & 1];
    PrepareStripHead(&p.head, frame, trail);
    if (refraction != nullptr) {
      PlanRefractionStrip(&p.refraction, frame, p.head, trail, pool.projectileArray[i],
                          pool.extraArray[i], carried);
    }
    if (display != nullptr) PlanDisplayStrip(&p.display, frame, p.head, trail);
    p.at = strips * TracerStripVertices;
    if (strips > 0) write(planned[(strips - 1) & 1]);
    ++strips;
    last = i;
  }
  if (strips > 0) write(planned[(strips - 1) & 1]);
  // The buffer may be write-only: tracerStrip gets the last strip built again instead.
  if (last >= 0 && (refraction != nullptr || display != nullptr)) {
    BuildTracerStrip(tracerStrip, frame, trails[last], pool.projectileArray[last],
                     pool.extraArray[last], display != nullptr ? 1 : 0);
  }
  return strips;
}

int32_t BuildTracerBatch(RenderApi& api, GpuDevice* device, const StripFrame& frame,
                         bool refraction, bool display) {
  if (!refraction && !display) return 0;
  // Before anything is written: a frame left to the other drawing must find tracerStrip as
  // that drawing left it. The pool's live trails are counted only when they could be too many.
  const DrawLimits limits = api.GetDrawLimits(device);
  if (!Reaches(limits, tracerBatch.capacity) && pool.trailArray != nullptr &&
      !Reaches(limits, LiveTrails(BatchSlots()))) {
    return -1;
  }
  const bool wanted[2] = {refraction, display};
  TracerVertex* regions[2] = {nullptr, nullptr};
  bool locked = true;
  for (int p = 0; p < 2; ++p) {
    if (!wanted[p]) continue;
    GpuObject* buffer = tracerBatch.vertexBuffers[p];
    regions[p] = static_cast<TracerVertex*>(api.LockVertexBuffer(buffer, d3d::LOCK_DISCARD));
    locked = locked && regions[p] != nullptr;
  }
  const int32_t strips = locked ? WriteTracerBatch(regions[0], regions[1], frame) : -1;
  for (int p = 0; p < 2; ++p) {
    if (regions[p] != nullptr) api.UnlockVertexBuffer(tracerBatch.vertexBuffers[p]);
  }
  return strips;
}

void DrawTracerBatch(RenderApi& api, GpuDevice* device, uint32_t pass, int32_t strips) {
  if (strips <= 0 || pass > 1) return;
  const DrawLimits limits = api.GetDrawLimits(device);
  const int32_t step = StripsPerDraw(limits);
  // The pass has set its own states at BeginPass; an unknown cull mode is taken as culling.
  const bool culls = api.GetRenderState(device, d3d::RS_CULLMODE) != d3d::CULL_NONE;
  const uint32_t startIndex =
      culls ? static_cast<uint32_t>(tracerBatch.indexedStrips) * TracerStripIndices : 0;
  GpuObject* buffer = tracerBatch.vertexBuffers[pass];
  api.SetIndices(device, tracerBatch.indexBuffer);
  uint64_t bound = UINT64_MAX;  // the stream offset set last
  for (int32_t first = 0; first < strips; first += step) {
    const auto n = static_cast<uint32_t>(strips - first < step ? strips - first : step);
    // Strips whose last vertex lies within MaxVertexIndex are reached through the base vertex,
    // from offset 0; the rest from a stream offset, which Reaches has found the device takes.
    const uint64_t firstVertex = static_cast<uint64_t>(first) * TracerStripVertices;
    const bool based = firstVertex + n * TracerStripVertices - 1 <= limits.maxVertexIndex;
    const uint64_t offset = based ? 0 : firstVertex * sizeof(TracerVertex);
    if (offset != bound) {
      api.SetStreamSource(device, 0, buffer, static_cast<uint32_t>(offset), sizeof(TracerVertex));
      bound = offset;
    }
    api.DrawIndexedPrimitive(device, d3d::PT_TRIANGLELIST,
                             based ? static_cast<int32_t>(firstVertex) : 0, 0,
                             n * TracerStripVertices, startIndex, n * TracerStripTriangles);
  }
}

}  // namespace pellix
