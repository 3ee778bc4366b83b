// Device objects of the tracer drawing: the effect, the scene copy and the batch's buffers
// (visuals/tracer_batch.h). Made on demand at the start of every drawn frame, and kept valid
// across the host's device resets.
#pragma once

#include "visuals/render_device.h"

namespace pellix {

// All null at load.
extern GpuEffect* tracerEffect;       // created once; replaced only when Reload remakes it
extern EffectHandle hRenderScene;     // texture parameter "RenderScene"
extern EffectHandle hMatWVP;          // float4x4 parameter "matWVP"
extern GpuTexture* sceneCopyTexture;  // only while TracerType is 2 and no reset since
extern GpuSurface* sceneCopySurface;  // level 0 of sceneCopyTexture, its own reference

void PrepareTracerResources();  // on every drawn frame, first
void ReleaseTracerResources();  // before a device reset
void RestoreTracerResources();  // after a device reset

}  // namespace pellix
