#include "tools/loop_model/loop_model.h"

#include <cstring>

#include "host/hook_entries.h"
#include "host/host_addresses.h"
#include "host/host_api.h"
#include "sim/loop_state.h"
#include "startup/settings.h"

namespace pellix::loop_model {

namespace {

namespace addr = host_addr;

LoopModel* installed = nullptr;

constexpr uintptr_t kRecordSize = 44;

// Register owner bits, in HookRegisters order.
enum : uint64_t {
  kEdi = 1,
  kEsi = 2,
  kEbp = 4,
  kEsp = 8,
  kEbx = 16,
  kEdx = 32,
  kEcx = 64,
  kEax = 128
};

// Guard against a decision that never lets a loop end.
constexpr long kRunawayPasses = 50'000'000;

bool SameExcept(const HookRegisters& a, const HookRegisters& b, uint64_t owned) {
  const uintptr_t* x = &a.edi;
  const uintptr_t* y = &b.edi;
  for (int k = 0; k < 8; ++k) {
    if ((owned & (uint64_t{1} << k)) == 0 && x[k] != y[k]) return false;
  }
  return true;
}

}  // namespace

struct ModelHostRoutines {
  static const void* At(uint32_t address) { return installed->At(address); }
  static uint8_t LineTest(const float* start, const float* end, void*, void*, int32_t, int32_t,
                          int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) {
    ++installed->lineTests;
    return installed->world.LineTest(start, end) ? 1 : 0;
  }
  static uint32_t SurfaceClass(uint32_t surfaceId) {
    ++installed->surfaceClassCalls;
    return surfaceId;
  }
  static uint32_t EffectCreate(const char*, const float*, const float*, int32_t) { return 0; }
  static void EffectCall(uint32_t) {}
  static void AreaImpact(const float* point, float, float, int32_t, uint32_t shooter, int32_t,
                         float) {
    installed->areaImpacts.push_back({{point[0], point[1], point[2]}, shooter});
  }
  static int32_t Rand() { return installed->rand_.Next(); }
};

LoopModel::LoopModel(World& w, int hostProjectileCount, int hostTraceCount)
    : hostProjectiles(hostProjectileCount > 0 ? hostProjectileCount : 1),
      hostTraces(hostTraceCount > 0 ? hostTraceCount : 1),
      world(w) {
  uint32_t ecx = kStepEndEcx, edx = kStepEndEdx;
  std::memcpy(frame_ + 0x14, &ecx, 4);
  std::memcpy(frame_ + 0x18, &edx, 4);
  regs_.eax = 0xA0A0A000;
  regs_.ebx = 0xB0B0B0B0;
  regs_.ecx = 0xC0C0C0C0;
  regs_.edx = 0xD0D0D0D0;
  regs_.ebp = 0xE0E0E0E0;
  regs_.esp = reinterpret_cast<uintptr_t>(frame_);
}

LoopModel::~LoopModel() {
  if (installed == this) {
    installed = nullptr;
    host = HostApi{};
  }
}

void LoopModel::Install() {
  installed = this;
  rand_.Seed(1);
  host = HostApi{};
  host.timeStep = &timeStep;
  host.clockMs = &clockMs;
  host.wind = wind;
  host.at = &ModelHostRoutines::At;
  host.lineTest = &ModelHostRoutines::LineTest;
  host.surfaceClass = &ModelHostRoutines::SurfaceClass;
  host.effectCreate = &ModelHostRoutines::EffectCreate;
  host.effectStart = &ModelHostRoutines::EffectCall;
  host.effectFinish = &ModelHostRoutines::EffectCall;
  host.areaImpact = &ModelHostRoutines::AreaImpact;
  host.rand = &ModelHostRoutines::Rand;
}

uint32_t LoopModel::HostProjectileAddress(int i) const {
  return kHostProjectileEnd - static_cast<uint32_t>(hostProjectiles.size() - i) * kRecordSize;
}

uint32_t LoopModel::HostTraceAddress(int i) const {
  return kHostTraceEnd - static_cast<uint32_t>(hostTraces.size() - i) * kRecordSize;
}

const void* LoopModel::At(uint32_t address) const {
  const uint32_t projectileBase = HostProjectileAddress(0);
  if (address >= projectileBase && address < kHostProjectileEnd) {
    return reinterpret_cast<const uint8_t*>(hostProjectiles.data()) + (address - projectileBase);
  }
  const uint32_t traceBase = HostTraceAddress(0);
  if (address >= traceBase && address < kHostTraceEnd) {
    return reinterpret_cast<const uint8_t*>(hostTraces.data()) + (address - traceBase);
  }
  if (address == addr::TraceColourSource) return &traceColourSource;
  return reinterpret_cast<const void*>(static_cast<uintptr_t>(address));
}

void LoopModel::ClearRecords() {
  poolPasses.clear();
  damageDealt.clear();
  traceVisits.clear();
  areaImpacts.clear();
  forcesEnded.clear();
  lineTests = 0;
  surfaceClassCalls = 0;
  registerFaults = 0;
  runawayLoops = 0;
}

void LoopModel::Notify(Entry entry, uint32_t resume, const HookRegisters& before, uint64_t owned) {
  if (!SameExcept(before, regs_, owned)) ++registerFaults;
  if (observer) observer(EntryEvent{entry, resume, before, regs_});
}

void LoopModel::RunProjectileLoop() {
  HookRegisters& r = regs_;
  r.edi = HostProjectileAddress(0) + 4;
  uint32_t pc = addr::ProjectileLoopTop;
  ProjectileRecord* rec = nullptr;
  bool onPool = false;
  bool hitThisPass = false;
  float displacement[3] = {0, 0, 0};
  long passes = 0;

  while (pc != addr::ProjectileLoopAfter) {
    switch (pc) {
      case addr::ProjectileLoopTop: {
        if (++passes > kRunawayPasses) {
          ++runawayLoops;
          return;
        }
        // The host only dereferences EDI; the model tells its own memory from the pool's.
        const uintptr_t address = r.edi - 4;
        onPool = !(address >= HostProjectileAddress(0) && address < kHostProjectileEnd);
        rec = onPool ? reinterpret_cast<ProjectileRecord*>(address)
                     : static_cast<ProjectileRecord*>(
                           const_cast<void*>(At(static_cast<uint32_t>(address))));
        hitThisPass = false;
        if (onPool) {
          poolPasses.push_back({SlotOf(rec), timeStep, repeatCount, repeatRequested});
        }
        if (rec->active == 0) {
          pc = addr::StepEndAdvance;
          break;
        }
        if (rec->expiryTime < static_cast<float>(clockMs)) {
          rec->active = 0;
          pc = addr::StepEndAdvance;
          break;
        }
        pc = addr::FlightForcesSite;
        break;
      }
      case addr::FlightForcesSite: {
        const float step = timeStep;
        if (settings.Gravity != 0 || settings.AirResist != 0 || settings.Reload != 0) {
          const HookRegisters before = r;
          FlightForcesEntry(r, step);
          if (onPool && rec->active == 0) forcesEnded.push_back(SlotOf(rec));
          Notify(Entry::FlightForces, 0, before, 0);
        }
        for (int k = 0; k < 3; ++k) displacement[k] = rec->velocity[k] * step;
        float end[3];
        for (int k = 0; k < 3; ++k) end[k] = rec->position[k] + displacement[k];
        Hit hit;
        if (!world.FindHit(rec->position, end, hit)) {
          pc = addr::StepEndSite;
          break;
        }
        hitThisPass = true;
        std::memcpy(frame_ + 0x24, hit.point, sizeof hit.point);
        std::memcpy(frame_ + 0x34, hit.normal, sizeof hit.normal);
        frame_[0x57] = hit.surfaceId;
        r.eax = (r.eax & ~uintptr_t{0xFF}) | hit.typeCode;
        const HookRegisters before = r;
        pc = ImpactEntry(r);
        Notify(Entry::Impact, pc, before, 0);
        break;
      }
      case addr::ImpactHitTypeThree:
      case addr::ImpactHitOther: {
        const int32_t index =
            onPool ? SlotOf(rec) : static_cast<int32_t>(rec - hostProjectiles.data());
        damageDealt.push_back({onPool, index, rec->damage, static_cast<uint8_t>(r.eax), pc});
        pc = addr::StepEndSite;
        break;
      }
      case addr::ImpactSkipHostHit:
        pc = addr::StepEndSite;
        break;
      case addr::StepEndSite: {
        const HookRegisters before = r;
        pc = StepEndEntry(r);
        Notify(Entry::StepEnd, pc, before, kEcx | kEdx);
        break;
      }
      case addr::StepEndResume:
        if (hitThisPass) {
          rec->active = 0;
        } else {
          for (int k = 0; k < 3; ++k) rec->position[k] += displacement[k];
        }
        pc = addr::StepEndAdvance;
        break;
      case addr::StepEndAdvance: {
        r.edi += kRecordSize;
        const HookRegisters before = r;
        pc = ProjectileLoopEndEntry(r);
        Notify(Entry::ProjectileLoopEnd, pc, before, kEdi);
        break;
      }
      default:  // a decision resumed somewhere the host has no such path
        ++runawayLoops;
        return;
    }
  }
}

void LoopModel::RunTraceRoutine() {
  HookRegisters& r = regs_;
  r.esi = HostTraceAddress(0) + 8;
  uint32_t pc = addr::TraceLoopTop;
  long visits = 0;
  while (pc != addr::TraceLoopAfter) {
    if (pc != addr::TraceLoopTop || ++visits > kRunawayPasses) {
      ++runawayLoops;
      return;
    }
    HookRegisters before = r;
    const uint32_t resume = TraceColourEntry(r);
    Notify(Entry::TraceColour, resume, before, kEax | kEdi);
    if (resume != addr::TraceColourResume) {
      ++runawayLoops;
      return;
    }
    const uintptr_t address = r.esi - 8;
    const bool host = address >= HostTraceAddress(0) && address < kHostTraceEnd;
    const auto* record = host ? static_cast<const TrailRecord*>(At(static_cast<uint32_t>(address)))
                              : reinterpret_cast<const TrailRecord*>(address);
    traceVisits.push_back(
        {r.esi, record, static_cast<uint32_t>(r.edi), static_cast<uint32_t>(r.eax)});
    r.esi += kRecordSize;
    before = r;
    pc = TraceLoopEndEntry(r);
    Notify(Entry::TraceLoopEnd, pc, before, kEsi);
  }
  TrailUpdateEntry();
}

void LoopModel::RunFrame(float step, uint32_t elapsedMs) {
  clockMs += elapsedMs;
  timeStep = step;
  RunProjectileLoop();
  RunTraceRoutine();
}

}  // namespace pellix::loop_model
