#include "bench/bench_setup.h"

#include <vector>

#include "host/host_addresses.h"
#include "host/host_api.h"
#include "sim/loop_state.h"
#include "startup/settings.h"
#include "startup/tables.h"

namespace pellix::bench {
namespace {

std::vector<WeaponBallistics> weapons;
SurfaceBallistics surfaces[SurfaceClassCount];

uint8_t ClearLine(const float*, const float*, void*, void*, int32_t, int32_t, int32_t, int32_t,
                  int32_t, int32_t, int32_t, int32_t) {
  return 0;
}
uint32_t SurfaceClassOf(uint32_t id) { return id; }
uint32_t traceColourSource = 0xC0C0C0C0;
const void* At(uint32_t address) {
  return address == host_addr::TraceColourSource ? &traceColourSource : nullptr;
}
uint32_t rand = 1;
int32_t Rand() {
  rand = rand * 214013u + 2531011u;
  return static_cast<int32_t>((rand >> 16) & 0x7FFF);
}

}  // namespace

BenchWorld::BenchWorld(int32_t slots) {
  settings = Settings{};
  settings.MaxPellix = slots;
  settings.weaponCount = 40;
  settings.rangeScale = 40.0f;
  settings.Gravity = 1;
  settings.gravityScale = 0.032f;
  settings.AirResist = 1;
  settings.Ricochet = 1;
  settings.Pierce = 1;
  settings.MaxLoop = 8;
  settings.minSpeedScaled = 25.0f;
  settings.ColBias = 0.01f;
  settings.SolidBias = 0.1f;
  settings.SolidLoop = 50;
  settings.TracerType = 2;
  settings.AfterEffect = 1;
  settings.TracerBloom = 0.001f;
  settings.RefractSize = 0.1f;
  settings.AmRefractLen = 2.0f;
  settings.TrRefractLen = 1.5f;

  WeaponBallistics w{};
  w.speedFactor = 25.0f / 700.0f;
  w.dragAlong = 0.02f;
  w.dragAcross = 0.05f;
  w.pierceCost = 0.5f;
  w.ricochetBonus = 0.2f;
  w.tracerEvery = 3;
  w.ammoTrailLength = 2.0f * w.speedFactor;
  w.tracerTrailLength = 6.0f * w.speedFactor;
  w.ammoTrailWidth = 0.05f;
  w.tracerTrailWidth = 0.2f;
  w.ammoTrailAlpha = 128;
  w.tracerTrailAlpha = 255;
  w.tracerColour = 0xFFFF0000;
  weapons.assign(settings.weaponCount, w);
  weaponTable = weapons.data();
  surfaces[0] = {0.5f, 0.4f, 0.2f, 0.1f, -1.0f};
  surfaces[1] = {0.0f, 0.0f, 0.0f, 0.0f, 0.2f};
  for (int c = 2; c < SurfaceClassCount; ++c) surfaces[c] = {0.1f, 0.1f, 0.1f, 0.0f, 0.5f};
  surfaceTable = surfaces;

  storage_ = std::make_unique<loop_model::PoolStorage>(slots);
  savedTimeStep = 0.0f;
  repeatRequested = skipHostHit = damageRestorePending = 0;
  projectileLoopOnPool = repeatCount = traceLoopOnPool = 0;

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
