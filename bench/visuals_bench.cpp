// The trail update over a whole pool (idle and live), and the strip geometry per trail and pass.
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

// Arg: the pass (0 refraction, 1 display), for a tracer trail seen from the side.
void BM_StripGeometry(benchmark::State& state) {
  BenchWorld world(1);
  world.FillLive();
  pool.projectileArray[0].isTracer = 1;
  UpdateTrails();
  Matrix4 view{}, projection{};
  for (int i = 0; i < 4; ++i) view.m[i][i] = projection.m[i][i] = 1.0f;
  view.m[3][2] = 50.0f;
  projection.m[2][3] = 1.0f;
  projection.m[3][3] = 0.0f;
  StripFrame frame{};
  PrepareStripFrame(&frame, view, projection);
  const auto pass = static_cast<uint32_t>(state.range(0));
  for (auto _ : state) {
    BuildTracerStrip(tracerStrip, frame, pool.trailArray[0], pool.projectileArray[0],
                     pool.extraArray[0], pass);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StripGeometry)->ArgName("pass")->Arg(0)->Arg(1);

}  // namespace
}  // namespace pellix::bench
