// Flight forces per step, the impact response per impact, and the loop-end decision per record.
#include <benchmark/benchmark.h>

#include "bench/bench_setup.h"
#include "host/hook_entries.h"
#include "host/host_addresses.h"
#include "host/host_api.h"
#include "sim/flight_forces.h"
#include "sim/impact.h"
#include "sim/loop_state.h"
#include "startup/settings.h"

namespace pellix::bench {
namespace {

void BM_FlightForces(benchmark::State& state) {
  BenchWorld world(1);
  world.FillLive();
  ProjectileRecord& p = pool.projectileArray[0];
  for (auto _ : state) {
    ApplyFlightForces(&p, 1.0f);
    benchmark::DoNotOptimize(p.velocity);
    if (p.velocity[0] < 1.0f) p.velocity[0] = 28.0f;  // keep it a fast round
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FlightForces);

// One hit per iteration, through the cheap fake line test (always clear). Arg 0: a grazing
// ricochet off surface class 0; 1: entering a solid of class 1; 2: a slow round that stops.
void BM_ResolveImpact(benchmark::State& state) {
  BenchWorld world(1);
  world.FillLive();
  ProjectileRecord& p = pool.projectileArray[0];
  const int kind = static_cast<int>(state.range(0));
  const float grazing[3] = {0.0f, 0.0f, 1.0f};
  const float facing[3] = {-1.0f, 0.0f, 0.0f};
  const float* normal = kind == 0 ? grazing : facing;
  const uint32_t surface = kind == 0 ? 0 : 1;
  const float speed = kind == 2 ? 1.0f : 28.0f;
  for (auto _ : state) {
    p.active = 1;
    p.position[0] = 0.0f;
    p.position[1] = 0.0f;
    p.position[2] = 1.0f;
    p.velocity[0] = speed;
    p.velocity[1] = 0.0f;
    p.velocity[2] = -0.5f;
    p.damage = 50;
    savedTimeStep = 1.0f;
    const float hit[3] = {10.0f, 0.0f, 0.8f};
    ResolveImpact(&p, hit, normal, surface, 1);
    benchmark::DoNotOptimize(p);
    repeatRequested = skipHostHit = damageRestorePending = 0;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ResolveImpact)->Arg(0)->Arg(1)->Arg(2);

// The loop end over every pool record in turn (no repeats), and over the host's own records.
void BM_LoopEndDecision(benchmark::State& state) {
  const bool onPool = state.range(0) != 0;
  BenchWorld world(4096);
  HookRegisters regs{};
  const uintptr_t first = reinterpret_cast<uintptr_t>(pool.projectileArray) + 4;
  regs.edi = onPool ? first : 0x1000;
  projectileLoopOnPool = onPool ? 1 : 0;
  for (auto _ : state) {
    if (onPool) {
      regs.edi += sizeof(ProjectileRecord);
      if (ProjectileLoopEndEntry(regs) == host_addr::ProjectileLoopAfter) {
        regs.edi = first;
        projectileLoopOnPool = 1;
      }
    } else {
      benchmark::DoNotOptimize(ProjectileLoopEndEntry(regs));
    }
  }
  projectileLoopOnPool = 0;
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LoopEndDecision)->ArgName("pool")->Arg(0)->Arg(1);

}  // namespace
}  // namespace pellix::bench
