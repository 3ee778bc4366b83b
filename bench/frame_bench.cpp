// One whole host frame through the loop model: the projectile loop over the host's records and
// the pool (forces, the model's hit finder, the loop decisions), then the trace routine (the
// trace-loop decisions and the trail update), with or without the tracer drawing. The model's own
// bookkeeping is included, so the figure is an upper bound of the plug-in's share.
#include <benchmark/benchmark.h>

#include "bench/bench_setup.h"
#include "host/hook_entries.h"
#include "host/host_addresses.h"
#include "sim/loop_state.h"
#include "startup/settings.h"
#include "tests/support/null_render_api.h"
#include "tools/loop_model/loop_model.h"
#include "visuals/draw_tracers.h"
#include "visuals/trace_loop.h"
#include "visuals/tracer_resources.h"

namespace pellix::bench {
namespace {

// Whole frames through the loop model over a ground plane far below: every round flies its
// whole step.
void RunFrames(benchmark::State& state) {
  loop_model::BoxPlaneWorld ground;
  ground.planes.push_back({{0, 0, 1}, -1.0e6f, 0, 1});
  loop_model::LoopModel model(ground, 3, 3);
  model.Install();
  model.clockMs = 1000;
  model.RunFrame(1.0f, 16);
  model.ClearRecords();
  for (auto _ : state) {
    model.RunFrame(1.0f, 16);
    model.ClearRecords();
  }
}

// Arg: live projectiles in a pool of 4096 slots (0 is the idle pool).
void BM_Frame(benchmark::State& state) {
  BenchWorld world(4096);
  const auto live = static_cast<int32_t>(state.range(0));
  if (live > 0) world.FillLive();
  for (int32_t i = live; i < 4096; ++i) pool.projectileArray[i].active = 0;
  RunFrames(state);
  state.counters["live"] = static_cast<double>(live);
}
BENCHMARK(BM_Frame)->Arg(0)->Arg(4096)->Unit(benchmark::kMicrosecond);

// BM_Frame/4096 with the tracer drawing's own work (TracerType 2, both passes) on a device that
// does nothing. Arg: TracerBatch (0 one trail at a time, 1 batched).
void BM_FrameWithDrawing(benchmark::State& state) {
  BenchWorld world(4096);
  world.FillLive();
  settings.TracerType = 2;
  settings.TracerBatch = static_cast<int32_t>(state.range(0));
  testing::NullRenderApi device(4096);
  // A camera behind the pool's rows, looking along +y with z up.
  device.view = Matrix4{{{1, 0, 0, 0}, {0, 0, 1, 0}, {0, 1, 0, 0}, {-32, -2, 20, 1}}};
  device.projection =
      Matrix4{{{1.3f, 0, 0, 0}, {0, 1.73f, 0, 0}, {0, 0, 1.001f, 1}, {0, 0, -0.5f, 0}}};
  renderApi = &device;
  drawTracers = &DrawTracers;
  RunFrames(state);
  state.counters["draws"] =
      benchmark::Counter(static_cast<double>(device.stripDraws + device.batchDraws),
                         benchmark::Counter::kAvgIterations);
  ReleaseTracerResources();
  drawTracers = nullptr;
  renderApi = nullptr;
  tracerEffect = nullptr;
}
BENCHMARK(BM_FrameWithDrawing)->ArgName("batched")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The plug-in's own calls in a frame with an idle pool of 4096 slots, without the model: the
// projectile loop's end decision for every slot, the trace loop's two decisions and the trail
// update.
void BM_PluginFrameIdle(benchmark::State& state) {
  BenchWorld world(static_cast<int32_t>(state.range(0)));
  for (auto _ : state) {
    HookRegisters regs{};
    regs.edi = host_addr::HostProjectileArrayEnd;
    uint32_t resume = ProjectileLoopEndEntry(regs);  // onto the pool
    while (resume == host_addr::ProjectileLoopTop) {
      regs.edi += sizeof(ProjectileRecord);  // the host's body skips an inactive record
      resume = ProjectileLoopEndEntry(regs);
    }
    regs.esi = host_addr::HostTraceArrayEnd;
    TraceLoopEndEntry(regs);  // onto the sentinel
    TraceColourEntry(regs);
    TraceLoopEndEntry(regs);  // no drawing hooked in here
    TrailUpdateEntry();
    benchmark::DoNotOptimize(regs);
  }
}
BENCHMARK(BM_PluginFrameIdle)->Arg(4096)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace pellix::bench
