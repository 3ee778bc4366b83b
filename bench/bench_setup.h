// Shared set-up of the benchmarks: settings as shipped, a weapon and surface table, a pool of
// zero-filled slots and a host of plain fakes (a line test that is always clear).
#pragma once
#include <cstdint>
#include <memory>

#include "sim/pool.h"
#include "tools/loop_model/model_pool.h"

namespace pellix::bench {

class BenchWorld {
 public:
  explicit BenchWorld(int32_t slots);
  ~BenchWorld();
  BenchWorld(const BenchWorld&) = delete;
  BenchWorld& operator=(const BenchWorld&) = delete;

  // Puts a live projectile of weapon type 1 into every slot, flying along x.
  void FillLive();

  float timeStep = 1.0f;
  uint32_t clockMs = 1000;
  float wind[3] = {1.0f, 0.5f, 0.0f};

 private:
  std::unique_ptr<loop_model::PoolStorage> storage_;
};

}  // namespace pellix::bench
