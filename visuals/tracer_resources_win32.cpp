#include "visuals/tracer_resources.h"

namespace pellix {

void PrepareTracerResources() {}
void ReleaseTracerResources() {}
void RestoreTracerResources() {}

}  // namespace pellix
