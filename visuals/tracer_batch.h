// The batched drawing of the trails: each pass writes every live trail's strip into a vertex
// buffer of its own, in slot order, and draws them as an indexed triangle list in as few calls
// as the device allows. The picture is the one-trail-at-a-time drawing's: the same vertices, and
// each strip's triangles in the strip's own vertex order (k, k+1, k+2), or, when the pass culls,
// in the order of a triangle strip, which turns every second triangle to keep the strip's facing.
// The strips are built by the same code; only the device calls go through RenderApi.
#pragma once
#include <cstdint>

#include "visuals/render_device.h"
#include "visuals/strip_geometry.h"

namespace pellix {

// All three buffers are in the default pool: made on demand with the other resources, released
// before a device reset. Null: not made (yet), and the trails are drawn one at a time.
struct TracerBatch {
  GpuObject* vertexBuffers[2];  // dynamic, write-only: `capacity` strips of pass 0, of pass 1
  GpuObject* indexBuffer;       // write-only, 16-bit: the strips' triangles in list order from
                                // index 0, in strip order from `indexedStrips` strips on
  int32_t capacity;             // strips a pass: one per pool slot
  int32_t indexedStrips;        // strips each order covers (16-bit indices reach 8192)
  bool refused;                 // the device could not make them: not asked again before a reset
};
extern TracerBatch tracerBatch;

inline constexpr uint32_t TracerStripIndices = 3 * TracerStripTriangles;

// Makes whichever buffer is missing, for MaxPellix trails; the index buffer is filled at once.
// When the device cannot make one (a large pool), the trails are drawn one at a time until the
// next reset, rather than the request being made every frame.
void PrepareTracerBatch(RenderApi& api, GpuDevice* device);
// Releases the buffers (before a reset); the next frame asks for them again.
void ReleaseTracerBatch(RenderApi& api);

// Writes the strips of every live trail, in slot order, for the passes whose region is given
// (null: that pass is not drawn); returns how many trails. The refraction pass carries
// tracerStrip's third coordinates, and tracerStrip is left as drawing one trail at a time
// leaves it: the last trail's strip of the last pass written.
int32_t WriteTracerBatch(TracerVertex* refraction, TracerVertex* display, const StripFrame& frame);

// WriteTracerBatch into the passes' vertex buffers, locked with DISCARD. -1, with nothing
// written, when a buffer cannot be locked or the device cannot reach this frame's strips (its
// MaxVertexIndex is below them and it takes no stream offset): the frame is then drawn one trail
// at a time.
int32_t BuildTracerBatch(RenderApi& api, GpuDevice* device, const StripFrame& frame,
                         bool refraction, bool display);

// Draws the first `strips` strips of pass p, as many at a time as the device's limits on
// primitives and vertex indices allow, in the triangle order that the pass's cull mode asks
// for. It sets stream 0 and the indices.
void DrawTracerBatch(RenderApi& api, GpuDevice* device, uint32_t pass, int32_t strips);

}  // namespace pellix
