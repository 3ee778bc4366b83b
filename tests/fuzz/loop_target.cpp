// Whole frames of the host's two loops through the loop model, over a world of planes and
// boxes, with settings, table rows, shots and time steps from the input.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "host/host_api.h"
#include "sim/loop_state.h"
#include "sim/shots.h"
#include "startup/settings.h"
#include "startup/tables.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_setup.h"
#include "tests/fuzz/fuzz_targets.h"
#include "tests/fuzz/pool_invariants.h"
#include "tests/support/sample_setup.h"
#include "tests/support/weapon_info_stub.h"
#include "tools/loop_model/loop_model.h"
#include "tools/loop_model/model_pool.h"
#include "visuals/trace_loop.h"

namespace pellix::fuzz {
namespace {

using loop_model::Box;
using loop_model::BoxPlaneWorld;
using loop_model::LoopModel;
using loop_model::Plane;

constexpr int32_t kMaxSlots = 24;
constexpr int32_t kMaxWeapons = 40;
constexpr int32_t kMaxSolidLoop = 200;
constexpr int kMaxFrames = 64;

// The weapon-info record of Make and MakeSniper at a fake host address; the rest is the model's.
constexpr uint32_t kWeaponInfoAddress = 0x50000;

WeaponBallistics weapons[kMaxWeapons];
SurfaceBallistics surfaces[SurfaceClassCount];

float Clamp(float x, float limit) { return std::max(-limit, std::min(limit, x)); }
// The same, but an infinity stays: such values only decide (ricochet or not, pierce or stop).
float ClampFinite(float x, float limit) { return std::isinf(x) ? x : Clamp(x, limit); }

// The model's host moves records by velocity x step with its own arithmetic, which is not
// under test. The sim target takes rows and biases to the float limits; here they stay within
// +-1000 (and the drags within +-2), so that over the case's frames no position the plug-in
// leaves finite is pushed beyond the float range by the host's own step. Values that only
// decide may stay infinite: so may gravity and the drags, which end a round at its first step
// (or, for a drag of +inf, cap it).
void KeepSpeedsFinite() {
  constexpr float kLimit = 1.0e3f;
  for (int32_t i = 0; i < settings.weaponCount; ++i) {
    WeaponBallistics& w = weapons[i];
    if (w.speedFactor != 0.0f && std::fabs(w.speedFactor) < 1.0e-3f) {
      w.speedFactor = std::copysign(1.0e-3f, w.speedFactor);
    }
    w.speedFactor = Clamp(w.speedFactor, kLimit);
    w.dragAlong = ClampFinite(w.dragAlong, 2.0f);
    w.dragAcross = ClampFinite(w.dragAcross, 2.0f);
    w.pierceCost = ClampFinite(w.pierceCost, kLimit);
    w.ricochetBonus = ClampFinite(w.ricochetBonus, kLimit);
  }
  for (SurfaceBallistics& r : surfaces) {
    for (float* f : {&r.ricochetAngleLoss, &r.ricochetKeep, &r.ricochetScatter}) {
      *f = Clamp(*f, kLimit);
    }
    r.ricochetThreshold = ClampFinite(r.ricochetThreshold, kLimit);
    r.pierceResistance = ClampFinite(r.pierceResistance, kLimit);
  }
  settings.gravityScale = ClampFinite(settings.gravityScale, kLimit);
  for (float* f : {&settings.ColBias, &settings.SolidBias}) {
    *f = std::isfinite(*f) ? Clamp(*f, kLimit) : 0.0f;
  }
}

void ReadVector(FuzzInput& in, float* v, float range) {
  for (int k = 0; k < 3; ++k) v[k] = in.Ranged(range);
}

void ReadWorld(FuzzInput& in, BoxPlaneWorld& world) {
  const int planes = in.Byte() % 3;
  for (int i = 0; i < planes; ++i) {
    Plane p{};
    ReadVector(in, p.normal, 1.0f);
    const float length = std::sqrt(p.normal[0] * p.normal[0] + p.normal[1] * p.normal[1] +
                                   p.normal[2] * p.normal[2]);
    if (!(length > 1.0e-3f)) {
      p.normal[0] = p.normal[1] = 0.0f;
      p.normal[2] = 1.0f;
    } else {
      for (float& c : p.normal) c /= length;
    }
    p.offset = in.Ranged(50.0f);
    p.surfaceId = in.Byte() % 9;
    p.typeCode = in.Byte() % 5;
    world.planes.push_back(p);
  }
  const int boxes = in.Byte() % 6;
  for (int i = 0; i < boxes; ++i) {
    Box b{};
    ReadVector(in, b.min, 100.0f);
    for (int k = 0; k < 3; ++k) b.max[k] = b.min[k] + std::fabs(in.Ranged(20.0f));
    b.surfaceId = in.Byte() % 9;
    b.typeCode = in.Byte() % 5;
    world.boxes.push_back(b);
  }
}

void Shoot(FuzzInput& in) {
  float start[3], end[3];
  ReadVector(in, start, 100.0f);
  ReadVector(in, end, 100.0f);
  const uint8_t kind = in.Byte();
  if (kind % 3 == 0) {
    MakeM4(start, end, in.Take<uint16_t>());
  } else if (kind % 3 == 1) {
    MakeSniper(0, in.Byte(), start[0], start[1], start[2], end[0], end[1], end[2]);
  } else {
    const HostWeapon weapon{static_cast<int32_t>(in.Take<int8_t>())};
    float alternative[3];
    ReadVector(in, alternative, 100.0f);
    Make(&weapon, 0, kind & 8, start, end, alternative, 0);
  }
}

const char* RunFrames(FuzzInput& in, LoopModel& model) {
  const long passLimit = std::max<int32_t>(settings.MaxLoop, 0) + 1;
  const long probesPerImpact = std::max<int32_t>(settings.SolidLoop, 0) + 1;
  long impacts = 0;
  model.observer = [&impacts](const loop_model::EntryEvent& e) {
    if (e.entry == loop_model::Entry::Impact) ++impacts;
  };
  std::vector<long> passes(settings.MaxPellix);
  for (int frame = 0; frame < kMaxFrames && !in.Empty(); ++frame) {
    const int shots = in.Byte() % 4;
    for (int s = 0; s < shots; ++s) Shoot(in);
    const float step = std::fabs(in.Ranged(3.0f));
    impacts = 0;
    model.ClearRecords();
    model.RunFrame(step, in.Take<uint8_t>());

    if (const char* fault = CheckRecords()) return fault;
    if (const char* fault = CheckLoopFlags()) return fault;
    if (projectileLoopOnPool != 0 || traceLoopOnPool != 0) return "a loop left on the pool";
    if (repeatRequested != 0 || repeatCount != 0) return "a repeat left over after the frame";
    if (model.timeStep != step) return "the frame's time step was not given back";
    if (model.registerFaults != 0) return "a decision changed a register it does not own";
    if (model.runawayLoops != 0) return "a loop did not end where the host's can";
    if (model.lineTests > impacts * probesPerImpact) return "too many line tests per impact";
    std::fill(passes.begin(), passes.end(), 0);
    for (const auto& pass : model.poolPasses) {
      if (pass.slot < 0 || pass.slot >= settings.MaxPellix) return "a pass outside the pool";
      if (++passes[pass.slot] > passLimit) return "more passes of a record than MaxLoop allows";
      // A repeat runs with the cut step as written, negative ones included; the cut never
      // writes one that is not finite.
      if (!std::isfinite(pass.timeStep)) return "a pass with a step that is not finite";
      // Only a negative ColBias (a push into the surface) gives a repeat more time than the
      // frame had.
      if (pass.timeStep > step && settings.ColBias >= 0.0f) return "a repeat longer than the frame";
    }
  }
  return nullptr;
}

}  // namespace

const char* FuzzLoopFrames(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  ReadFuzzSettings(in, kMaxSlots, kMaxWeapons, kMaxSolidLoop);
  std::memset(weapons, 0, sizeof weapons);
  ReadFuzzRows(in, weapons, surfaces);
  KeepSpeedsFinite();
  weaponTable = weapons;
  surfaceTable = surfaces;
  testing::ResetLoopState();
  drawTracers = nullptr;
  const float range = in.Ranged(500.0f);
  const int16_t damage = in.Take<int16_t>();

  BoxPlaneWorld world;
  ReadWorld(in, world);
  const char* fault = nullptr;
  {
    loop_model::PoolStorage storage(settings.MaxPellix);
    LoopModel model(world, 1 + in.Byte() % 3, 1 + in.Byte() % 3);
    model.Install();
    testing::WeaponInfoStub::Install(kWeaponInfoAddress, range, damage, 1);
    ReadVector(in, model.wind, 30.0f);
    fault = RunFrames(in, model);
  }
  testing::ResetLoopState();
  weaponTable = nullptr;
  surfaceTable = nullptr;
  settings = Settings{};
  return fault;
}

}  // namespace pellix::fuzz
