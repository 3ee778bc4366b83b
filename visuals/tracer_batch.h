// The batched drawing of the trails: each pass writes every live trail's strip into one vertex
// buffer, in slot order, and draws them as an indexed triangle list in as few calls as the
// device allows. The picture is the one-trail-at-a-time drawing's: the same vertices, and each
// strip's triangles (k, k+1, k+2) in the strip's own order. The strips are built by the same
// code; only the device calls go through RenderApi.
#pragma once
#include <cstdint>

#include "visuals/render_device.h"
#include "visuals/strip_geometry.h"

namespace pellix {

// Both buffers are in the default pool: made on demand with the other resources, released
// before a device reset. Null: not made (yet), and the trails are drawn one at a time.
struct TracerBatch {
  GpuObject* vertexBuffer;  // dynamic, write-only: 2 x capacity strips, refraction then display
  GpuObject* indexBuffer;   // write-only, 16-bit: strip k's six triangles from vertex 8k
  int32_t capacity;         // strips a pass: one per pool slot
  int32_t indexedStrips;    // strips the index buffer covers (16-bit indices reach 8192)
  bool refused;             // the device could not make them: not asked again before a reset
};
extern TracerBatch tracerBatch;

inline constexpr uint32_t TracerStripIndices = 3 * TracerStripTriangles;

// Makes whichever buffer is missing, for MaxPellix trails; the index buffer is filled at once.
// When the device cannot make one (a large pool), the trails are drawn one at a time until the
// next reset, rather than the request being made every frame.
void PrepareTracerBatch(RenderApi& api, GpuDevice* device);
// Releases both buffers (before a reset); the next frame asks for them again.
void ReleaseTracerBatch(RenderApi& api);

// Writes the strips of every live trail, in slot order, for the passes whose region is given
// (null: that pass is not drawn); returns how many trails. The refraction pass carries
// tracerStrip's third coordinates, and tracerStrip is left as drawing one trail at a time
// leaves it: the last trail's strip of the last pass written.
int32_t WriteTracerBatch(TracerVertex* refraction, TracerVertex* display, const StripFrame& frame);

// WriteTracerBatch into the vertex buffer, locked with DISCARD; -1 when it cannot be locked.
int32_t BuildTracerBatch(RenderApi& api, const StripFrame& frame, bool refraction, bool display);

// Draws the first `strips` strips of pass p, as many at a time as the device's limits on
// primitives and vertex indices allow. It sets stream 0 and the indices.
void DrawTracerBatch(RenderApi& api, GpuDevice* device, uint32_t pass, int32_t strips);

}  // namespace pellix
