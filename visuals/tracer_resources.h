#pragma once

namespace pellix {

// Device objects of the tracer drawing: the effect and the scene copy.
void PrepareTracerResources();  // on every drawn frame, first
void ReleaseTracerResources();  // before a device reset
void RestoreTracerResources();  // after a device reset

}  // namespace pellix
