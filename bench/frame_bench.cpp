// One whole host frame through the loop model: the projectile loop over the host's records and
// the pool (forces, the model's hit finder, the loop decisions), then the trace routine (the
// trace-loop decisions and the trail update). The model's own bookkeeping is included, so the
// figure is an upper bound of the plug-in's share.
#include <benchmark/benchmark.h>

#include "bench/bench_setup.h"
#include "host/hook_entries.h"
#include "host/host_addresses.h"
#include "sim/loop_state.h"
#include "startup/settings.h"
#include "tools/loop_model/loop_model.h"

namespace pellix::bench {
namespace {

// Arg: live projectiles in a pool of 4096 slots (0 is the idle pool). The world is a ground
// plane far below: every round flies its whole step.
void BM_Frame(benchmark::State& state) {
  BenchWorld world(4096);
  const auto live = static_cast<int32_t>(state.range(0));
  if (live > 0) world.FillLive();
  for (int32_t i = live; i < 4096; ++i) pool.projectileArray[i].active = 0;
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
  state.counters["live"] = static_cast<double>(live);
}
BENCHMARK(BM_Frame)->Arg(0)->Arg(4096)->Unit(benchmark::kMicrosecond);

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
