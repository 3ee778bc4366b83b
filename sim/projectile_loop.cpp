#include "sim/projectile_loop.h"

#include <cstring>

#include "host/host_addresses.h"
#include "host/host_api.h"
#include "sim/flight_forces.h"
#include "sim/impact.h"
#include "sim/loop_state.h"
#include "startup/reload.h"
#include "startup/settings.h"

namespace pellix {

namespace {

constexpr uintptr_t kRecordSize = sizeof(ProjectileRecord);
constexpr uintptr_t kPointerOffset = 4;  // EDI is the record + 4

// Offsets in the host's stack frame at the impact site.
constexpr uintptr_t kHitPoint = 0x24;
constexpr uintptr_t kHitNormal = 0x34;
constexpr uintptr_t kSurfaceId = 0x57;
// The two dwords that the step end's replaced instructions load into ECX and EDX.
constexpr uintptr_t kStepEndEcx = 0x14;
constexpr uintptr_t kStepEndEdx = 0x18;

constexpr uint8_t kHitTypeThree = 3;

uint32_t LoadDword(uintptr_t address) {
  uint32_t value;
  std::memcpy(&value, reinterpret_cast<const void*>(address), sizeof value);
  return value;
}

// Ends the current pool record's passes: drop any repeat, give back the frame's step and go
// to the next slot, or leave after the last one.
uint32_t FinishPoolRecord(HookRegisters& regs) {
  repeatRequested = 0;
  repeatCount = 0;
  *host.timeStep = savedTimeStep;
  if (regs.edi < reinterpret_cast<uintptr_t>(pool.projectileArrayEnd)) {
    return host_addr::ProjectileLoopTop;
  }
  projectileLoopOnPool = 0;
  return host_addr::ProjectileLoopAfter;
}

}  // namespace

ProjectileRecord* LoopRecord(uintptr_t edi) {
  const uintptr_t address = edi - kPointerOffset;
  if (projectileLoopOnPool != 0) return reinterpret_cast<ProjectileRecord*>(address);
  // The host's memory is writable to its own loop body, which this runs inside.
  return static_cast<ProjectileRecord*>(const_cast<void*>(host.at(static_cast<uint32_t>(address))));
}

uint32_t ProjectileLoopEndEntry(HookRegisters& regs) {
  if (projectileLoopOnPool == 0) {
    if (regs.edi < host_addr::HostProjectileArrayEnd) return host_addr::ProjectileLoopTop;
    // No pool to walk: leave where the host's own loop would.
    if (settings.MaxPellix <= 0 || pool.projectileArray == nullptr) {
      return host_addr::ProjectileLoopAfter;
    }
    // A frame boundary: the pool's walk of this frame has not begun.
    ReloadCheckpoint();
    savedTimeStep = *host.timeStep;
    projectileLoopOnPool = 1;
    repeatRequested = 0;
    repeatCount = 0;
    regs.edi = reinterpret_cast<uintptr_t>(pool.projectileArray) + kPointerOffset;
    return host_addr::ProjectileLoopTop;
  }
  // The extra pass runs with the step as the cut wrote it: a negative step (a push-off that
  // carried the round past the frame's travel) moves it back along its new path.
  if (repeatRequested == 1 && repeatCount < settings.MaxLoop) {
    repeatRequested = 0;
    repeatCount += 1;
    regs.edi -= kRecordSize;
    return host_addr::ProjectileLoopTop;
  }
  return FinishPoolRecord(regs);
}

uint32_t ImpactEntry(HookRegisters& regs) {
  if (projectileLoopOnPool == 1) {
    const uintptr_t frame = regs.esp;
    const auto surfaceId = *reinterpret_cast<const uint8_t*>(frame + kSurfaceId);
    ResolveImpact(LoopRecord(regs.edi), reinterpret_cast<const float*>(frame + kHitPoint),
                  reinterpret_cast<const float*>(frame + kHitNormal), surfaceId,
                  static_cast<uint32_t>(regs.eax));
    if (skipHostHit == 1) {
      skipHostHit = 0;
      return host_addr::ImpactSkipHostHit;
    }
  }
  return static_cast<uint8_t>(regs.eax) == kHitTypeThree ? host_addr::ImpactHitTypeThree
                                                         : host_addr::ImpactHitOther;
}

uint32_t StepEndEntry(HookRegisters& regs) {
  if (projectileLoopOnPool == 1 && damageRestorePending == 1) {
    damageRestorePending = 0;
    LoopRecord(regs.edi)->damage = static_cast<int16_t>(savedDamage);
    if (repeatRequested == 1) return host_addr::StepEndAdvance;
  }
  regs.ecx = LoadDword(regs.esp + kStepEndEcx);
  regs.edx = LoadDword(regs.esp + kStepEndEdx);
  return host_addr::StepEndResume;
}

void FlightForcesEntry(HookRegisters& regs, float timeStep) {
  ApplyFlightForces(LoopRecord(regs.edi), timeStep);
}

}  // namespace pellix
