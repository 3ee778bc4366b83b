#include "bench/bench_setup.h"

#include <array>
#include <vector>

#include "host/crt_rand.h"
#include "host/host_addresses.h"
#include "host/host_api.h"
#include "startup/settings.h"
#include "startup/tables.h"
#include "tests/support/sample_setup.h"

namespace pellix::bench {
namespace {

std::vector<WeaponBallistics> weapons;
std::array<SurfaceBallistics, SurfaceClassCount> surfaces;

uint8_t ClearLine(const float*, const float*, void*, void*, int32_t, int32_t, int32_t, int32_t,
                  int32_t, int32_t, int32_t, int32_t) {
  return 0;
}
uint32_t SurfaceClassOf(uint32_t id) { return id; }
uint32_t traceColourSource = 0xC0C0C0C0;
const void* At(uint32_t address) {
  return address == host_addr::TraceColourSource ? &traceColourSource : nullptr;
}
CrtRand crtRand;
int32_t Rand() { return crtRand.Next(); }

}  // namespace

BenchWorld::BenchWorld(int32_t slots) {
  settings = testing::ForcesOnSettings(slots);
  weapons.assign(settings.weaponCount, testing::SampleWeapon(700.0f, 3));
  weaponTable = weapons.data();
  surfaces = testing::SampleSurfaces();
  surfaceTable = surfaces.data();

  storage_ = std::make_unique<loop_model::PoolStorage>(slots);
  testing::ClearLoopState();

  host = HostApi{};
  host.timeStep = &timeStep;
  host.clockMs = &clockMs;
  host.wind = wind;
  host.at = At;
  host.lineTest = ClearLine;
  host.surfaceClass = SurfaceClassOf;
  host.rand = Rand;
}

BenchWorld::~BenchWorld() {
  host = HostApi{};
  storage_.reset();
  weaponTable = nullptr;
  surfaceTable = nullptr;
  settings = Settings{};
}

void BenchWorld::FillLive() {
  for (int32_t i = 0; i < settings.MaxPellix; ++i) {
    ProjectileRecord& p = pool.projectileArray[i];
    p = ProjectileRecord{};
    p.weaponType = 1;
    p.active = 1;
    p.isTracer = static_cast<uint8_t>(i % 3 == 0);
    p.expiryTime = 3.0e9f;
    p.position[0] = static_cast<float>(i % 64);
    p.position[1] = static_cast<float>(i / 64);
    p.position[2] = 2.0f;
    p.velocity[0] = 28.0f;
    p.velocity[2] = 0.5f;
    p.damage = 50;
    pool.extraArray[i].trailLength = 1.0f;
    pool.extraArray[i].refractLength = 1.5f;
  }
}

}  // namespace pellix::bench
