// Sequences of shots, force steps, impacts and trail updates over a small pool, with table
// rows, settings, host answers and hit geometry taken from the input.
#include <algorithm>
#include <cfloat>
#include <cstring>

#include "host/crt_rand.h"
#include "host/hook_entries.h"
#include "host/host_addresses.h"
#include "host/host_api.h"
#include "sim/flight_forces.h"
#include "sim/loop_state.h"
#include "sim/pool.h"
#include "sim/shots.h"
#include "startup/settings.h"
#include "startup/tables.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_setup.h"
#include "tests/fuzz/fuzz_targets.h"
#include "tests/fuzz/pool_invariants.h"
#include "tests/support/sample_setup.h"
#include "visuals/strip_geometry.h"
#include "visuals/trail_update.h"

namespace pellix::fuzz {
namespace {

constexpr int32_t kMaxSlots = 12;
constexpr int32_t kMaxWeapons = 48;
constexpr int kMaxOps = 256;
constexpr int32_t kMaxSolidLoop = 300;  // keeps a case fast; the bound itself is what is checked

// Fake host memory: a shooter entity and a weapon-info record at fixed 32-bit addresses.
constexpr uint32_t kShooterAddress = 0x10000;
constexpr uint32_t kShooterSize = 0x2400;  // past the last ammunition slot
constexpr uint32_t kWeaponInfoAddress = 0x20000;
constexpr uint32_t kWeaponInfoSize = 64;

struct FakeHostState {
  float timeStep;
  uint32_t clockMs;
  float wind[3];
  alignas(4) uint8_t shooter[kShooterSize];
  alignas(4) uint8_t weaponInfo[kWeaponInfoSize];
  uint64_t lineAnswers;  // bit i answers line test i (cycling)
  int lineTests;
  uint32_t effectResult;
  CrtRand rand;
};
FakeHostState fake;

ProjectileRecord projectiles[kMaxSlots];
TrailRecord trails[kMaxSlots];
ProjectileExtra extras[kMaxSlots];
WeaponBallistics weapons[kMaxWeapons];
SurfaceBallistics surfaces[SurfaceClassCount];

const void* FakeAt(uint32_t address) {
  if (address >= kShooterAddress && address < kShooterAddress + kShooterSize) {
    return fake.shooter + (address - kShooterAddress);
  }
  if (address >= kWeaponInfoAddress && address < kWeaponInfoAddress + kWeaponInfoSize) {
    return fake.weaponInfo + (address - kWeaponInfoAddress);
  }
  return nullptr;
}
uint8_t FakeLineTest(const float*, const float*, void*, void*, int32_t, int32_t, int32_t, int32_t,
                     int32_t, int32_t, int32_t, int32_t) {
  const int bit = fake.lineTests++ % 64;
  return static_cast<uint8_t>((fake.lineAnswers >> bit) & 1u);
}
uint32_t FakeWeaponInfo(int32_t, int32_t) { return kWeaponInfoAddress; }
uint8_t FakeSkill(uint32_t) { return 1; }
uint32_t FakeSurfaceClass(uint32_t surfaceId) { return surfaceId; }
uint32_t FakeEffectCreate(const char*, const float*, const float*, int32_t) {
  return fake.effectResult;
}
void FakeEffectCall(uint32_t) {}
void FakeAreaImpact(const float*, float, float, int32_t, uint32_t, int32_t, float) {}
int32_t FakeRand() { return fake.rand.Next(); }

void SetUp(FuzzInput& in) {
  ReadFuzzSettings(in, kMaxSlots, kMaxWeapons, kMaxSolidLoop);
  std::memset(projectiles, 0, sizeof projectiles);
  std::memset(trails, 0, sizeof trails);
  std::memset(extras, 0, sizeof extras);
  std::memset(weapons, 0, sizeof weapons);
  std::memset(surfaces, 0, sizeof surfaces);
  ReadFuzzRows(in, weapons, surfaces);
  weaponTable = weapons;
  surfaceTable = surfaces;
  const int32_t slots = settings.MaxPellix;
  pool = ProjectilePool{projectiles, projectiles + slots, trails, trails + slots, extras, 0};

  testing::ClearLoopState();
  tracerCounter = in.Take<int32_t>();

  fake = FakeHostState{};
  fake.timeStep = std::fabs(in.Ranged(4.0f));
  fake.clockMs = in.Take<uint32_t>() >> in.Byte() % 32;
  for (float& w : fake.wind) w = in.Ranged(100.0f);
  fake.shooter[host_addr::ShooterKind] = in.Byte();
  fake.shooter[host_addr::ShooterWeaponSlot] = in.Byte();
  fake.lineAnswers = in.Take<uint64_t>();
  fake.effectResult = in.Byte() & 1;
  fake.rand.Seed(1);

  host = HostApi{};
  host.timeStep = &fake.timeStep;
  host.clockMs = &fake.clockMs;
  host.wind = fake.wind;
  host.at = FakeAt;
  host.lineTest = FakeLineTest;
  host.weaponInfo = FakeWeaponInfo;
  host.shooterSkill = FakeSkill;
  host.surfaceClass = FakeSurfaceClass;
  host.effectCreate = FakeEffectCreate;
  host.effectStart = FakeEffectCall;
  host.effectFinish = FakeEffectCall;
  host.areaImpact = FakeAreaImpact;
  host.rand = FakeRand;
}

void ReadVector(FuzzInput& in, float* v, float range) {
  for (int k = 0; k < 3; ++k) v[k] = in.Float(range);
}

int32_t WeaponType(FuzzInput& in) {
  const uint8_t kind = in.Byte();
  if (kind & 1) return in.Take<int32_t>();  // anything, negative and huge included
  return kind >> 1;                         // the special types 31, 34 and 38 among them
}

void Shoot(FuzzInput& in, int which) {
  float start[3], end[3], alternative[3];
  ReadVector(in, start, 1.0e4f);
  ReadVector(in, end, 1.0e4f);
  ReadVector(in, alternative, 1.0e4f);
  const uint32_t shooter = in.Bool() ? kShooterAddress : 0;
  const float range = in.Float(1.0e4f);
  const int16_t damage = in.Take<int16_t>();
  std::memcpy(fake.weaponInfo + host_addr::WeaponInfoRange, &range, sizeof range);
  std::memcpy(fake.weaponInfo + host_addr::WeaponInfoDamage, &damage, sizeof damage);
  const uint16_t ammo = in.Take<uint16_t>();
  const uint8_t slot = fake.shooter[host_addr::ShooterWeaponSlot];
  std::memcpy(
      fake.shooter + host_addr::ShooterWeaponSlots + host_addr::ShooterWeaponSlotSize * slot, &ammo,
      sizeof ammo);
  switch (which) {
    case 0: {
      const HostWeapon weapon{WeaponType(in)};
      Make(&weapon, shooter, in.Bool(), start, end, alternative, 0);
      break;
    }
    case 1:
      MakeSniper(shooter, static_cast<uint32_t>(WeaponType(in)), start[0], start[1], start[2],
                 end[0], end[1], end[2]);
      break;
    default:
      MakeM4(start, end, in.Take<uint32_t>());
      break;
  }
}

// The host's loop body around one hit of the record in `slot`, through the loop decisions.
const char* Impact(FuzzInput& in, int32_t slot) {
  ProjectileRecord& p = projectiles[slot];
  if (p.active == 0) return nullptr;  // the host only tests live records
  alignas(16) uint8_t frame[0x60] = {};
  float point[3], normal[3];
  if (in.Bool()) {  // on the step's path
    const float t = in.Ranged(1.0f);
    for (int k = 0; k < 3; ++k) point[k] = p.position[k] + p.velocity[k] * fake.timeStep * t;
  } else {
    ReadVector(in, point, 1.0e4f);
  }
  ReadVector(in, normal, 1.0f);
  std::memcpy(frame + 0x24, point, sizeof point);
  std::memcpy(frame + 0x34, normal, sizeof normal);
  frame[0x57] = in.Byte() % 10;

  HookRegisters regs{};
  regs.edi = reinterpret_cast<uintptr_t>(&p) + 4;
  regs.esp = reinterpret_cast<uintptr_t>(frame);
  regs.eax = in.Byte() % 5;
  savedTimeStep = fake.timeStep;
  projectileLoopOnPool = 1;
  const int before = fake.lineTests;
  const uint32_t resume = ImpactEntry(regs);
  const int lineTests = fake.lineTests - before;
  if (lineTests > std::max<int32_t>(settings.SolidLoop, 0) + 1) return "too many line tests";
  if (resume != host_addr::ImpactSkipHostHit && resume != host_addr::ImpactHitTypeThree &&
      resume != host_addr::ImpactHitOther) {
    return "impact resumes at an unknown address";
  }
  if (const char* fault = CheckLoopFlags()) return fault;
  if (const char* fault = CheckRecords()) return fault;
  if (skipHostHit != 0) return "skipHostHit left set after the impact";
  StepEndEntry(regs);
  if (damageRestorePending != 0) return "damage restore left pending after the step end";
  // The loop end: a repeat with the cut step, or the next record with the frame's step.
  regs.edi += sizeof(ProjectileRecord);
  ProjectileLoopEndEntry(regs);
  if (repeatRequested != 0) return "repeat left requested after the loop end";
  repeatCount = 0;
  if (!std::isfinite(fake.timeStep)) return "time step not finite";
  fake.timeStep = savedTimeStep;
  projectileLoopOnPool = 0;
  return nullptr;
}

// The host's step of a live record: forces, then position += velocity x step. The forces
// set no loop flag, and a record they end is at rest.
const char* Step(FuzzInput& in, int32_t slot) {
  ProjectileRecord& p = projectiles[slot];
  if (p.active == 0) return nullptr;
  if (settings.Gravity != 0 || settings.AirResist != 0) {
    HookRegisters regs{};
    regs.edi = reinterpret_cast<uintptr_t>(&p) + 4;
    const int32_t flags[3] = {repeatRequested, skipHostHit, damageRestorePending};
    projectileLoopOnPool = 1;
    FlightForcesEntry(regs, fake.timeStep);
    projectileLoopOnPool = 0;
    if (flags[0] != repeatRequested || flags[1] != skipHostHit ||
        flags[2] != damageRestorePending) {
      return "a force step changed a loop flag";
    }
    if (p.active == 0 &&
        (p.velocity[0] != 0.0f || p.velocity[1] != 0.0f || p.velocity[2] != 0.0f)) {
      return "a force step ended a record that still moves";
    }
  }
  float next[3];
  for (int k = 0; k < 3; ++k) next[k] = p.position[k] + p.velocity[k] * fake.timeStep;
  // The host's own arithmetic is not under test: it moves only where it stays finite.
  if (Finite3(next) && in.Bool()) std::memcpy(p.position, next, sizeof next);
  return nullptr;
}

// The strips of every slot for every pass, seen through a fixed perspective camera. Reads no
// input, so that the meaning of older corpus inputs stays as it was. No vertex sent to the
// device may hold an infinity or NaN.
const char* BuildStrips() {
  Matrix4 view{}, projection{};
  for (int i = 0; i < 4; ++i) view.m[i][i] = projection.m[i][i] = 1.0f;
  view.m[3][2] = 20.0f;
  projection.m[2][3] = 1.0f;
  projection.m[3][2] = -0.1f;
  projection.m[3][3] = 0.0f;
  StripFrame frame{};
  PrepareStripFrame(&frame, view, projection);
  for (int32_t slot = 0; slot < settings.MaxPellix; ++slot) {
    for (uint32_t pass = 0; pass < 3; ++pass) {
      BuildTracerStrip(tracerStrip, frame, trails[slot], projectiles[slot], extras[slot], pass);
      for (const TracerVertex& v : tracerStrip) {
        if (!Finite3(v.position) || !Finite3(v.normal) || !Finite3(v.tex) ||
            !std::isfinite(v.tex[3])) {
          return "a strip vertex not finite";
        }
      }
    }
  }
  return nullptr;
}

}  // namespace

const char* FuzzSimSequence(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  SetUp(in);
  const char* fault = nullptr;
  for (int op = 0; op < kMaxOps && !in.Empty() && fault == nullptr; ++op) {
    const uint8_t code = in.Byte();
    const int32_t slot = static_cast<int32_t>(in.Byte() % settings.MaxPellix);
    switch (code % 7) {
      case 0:
      case 1:
      case 2:
        Shoot(in, code % 7);
        break;
      case 3:
        fault = Step(in, slot);
        break;
      case 4:
        fault = Impact(in, slot);
        break;
      case 5:
        UpdateTrails();
        fault = BuildStrips();
        break;
      default: {
        fake.clockMs += in.Take<uint16_t>();
        fake.timeStep = std::fabs(in.Ranged(4.0f));
        // The host ends what has expired.
        for (int32_t i = 0; i < settings.MaxPellix; ++i) {
          if (projectiles[i].expiryTime < static_cast<float>(fake.clockMs))
            projectiles[i].active = 0;
        }
        break;
      }
    }
    if (fault == nullptr) fault = CheckRecords();
    if (fault == nullptr) fault = CheckLoopFlags();
  }
  host = HostApi{};
  pool = ProjectilePool{};
  weaponTable = nullptr;
  surfaceTable = nullptr;
  settings = Settings{};
  return fault;
}

}  // namespace pellix::fuzz
