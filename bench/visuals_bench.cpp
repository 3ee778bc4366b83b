// The trail update over a whole pool (idle and live), and the strip geometry per trail and pass
// and per trail for both passes.
#include <benchmark/benchmark.h>

#include "bench/bench_setup.h"
#include "host/host_api.h"
#include "startup/settings.h"
#include "visuals/strip_geometry.h"
#include "visuals/trail_update.h"

namespace pellix::bench {
namespace {

// Items are slots: items_per_second gives the cost of one slot.
void BM_TrailUpdateIdle(benchmark::State& state) {
  BenchWorld world(static_cast<int32_t>(state.range(0)));
  for (auto _ : state) {
    UpdateTrails();
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_TrailUpdateIdle)->Arg(4096);

void BM_TrailUpdateLive(benchmark::State& state) {
  BenchWorld world(static_cast<int32_t>(state.range(0)));
  world.FillLive();
  for (auto _ : state) {
    world.clockMs += 16;
    UpdateTrails();
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_TrailUpdateLive)->Arg(4096);

// A tracer trail seen from the side, with its frame.
struct SideView {
  BenchWorld world{1};
  StripFrame frame{};
  SideView() {
    world.FillLive();
    pool.projectileArray[0].isTracer = 1;
    UpdateTrails();
    Matrix4 view{}, projection{};
    for (int i = 0; i < 4; ++i) view.m[i][i] = projection.m[i][i] = 1.0f;
    view.m[3][2] = 50.0f;
    projection.m[2][3] = 1.0f;
    projection.m[3][3] = 0.0f;
    PrepareStripFrame(&frame, view, projection);
  }
};

// Arg: the pass (0 refraction, 1 display), built one trail at a time.
void BM_StripGeometry(benchmark::State& state) {
  SideView s;
  const auto pass = static_cast<uint32_t>(state.range(0));
  for (auto _ : state) {
    BuildTracerStrip(tracerStrip, s.frame, pool.trailArray[0], pool.projectileArray[0],
                     pool.extraArray[0], pass);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StripGeometry)->ArgName("pass")->Arg(0)->Arg(1);

// Both passes of one trail. Arg 0: as drawn one trail at a time (the strip built from scratch
// for each pass); 1: as batched (the head and the frame's constants shared by both passes).
void BM_StripGeometryBothPasses(benchmark::State& state) {
  SideView s;
  const TrailRecord& trail = pool.trailArray[0];
  const ProjectileRecord& projectile = pool.projectileArray[0];
  const ProjectileExtra& extra = pool.extraArray[0];
  TracerVertex strips[2][TracerStripVertices];
  const float carried[TracerStripVertices] = {1, 1, 1, 1, 1, 1, 1, 1};
  const bool batched = state.range(0) != 0;
  for (auto _ : state) {
    if (batched) {
      StripHead head;
      PrepareStripHead(&head, s.frame, trail);
      WriteRefractionStrip(strips[0], s.frame, head, trail, projectile, extra, carried);
      WriteDisplayStrip(strips[1], s.frame, head, trail);
    } else {
      BuildTracerStrip(tracerStrip, s.frame, trail, projectile, extra, 0);
      BuildTracerStrip(tracerStrip, s.frame, trail, projectile, extra, 1);
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StripGeometryBothPasses)->ArgName("batched")->Arg(0)->Arg(1);

}  // namespace
}  // namespace pellix::bench
