// The host interface bound to the host game's fixed addresses. Plain C routines are called
// directly; the member routines go through small adapters with the host's member-call
// convention (object in ECX, the routine removes its stack arguments).
#include <cstdint>
#include <cstdlib>

#include "host/calling_convention.h"
#include "host/host_addresses.h"
#include "host/host_api.h"
#include "host/host_binding.h"

namespace pellix {

namespace {

namespace ha = host_addr;

template <typename T>
T* Global(uint32_t address) {
  return reinterpret_cast<T*>(static_cast<uintptr_t>(address));
}

template <typename Fn>
Fn Routine(uint32_t address) {
  return reinterpret_cast<Fn>(static_cast<uintptr_t>(address));
}

using LineTestFn = decltype(HostApi::lineTest);
using WeaponInfoFn = decltype(HostApi::weaponInfo);
using ShooterSkillFn = decltype(HostApi::shooterSkill);
using AreaImpactFn = decltype(HostApi::areaImpact);

// Member routines of the host, as the host's compiler calls them.
using SurfaceClassMember = uint32_t(HOST_THISCALL*)(void* object, uint32_t surfaceId);
using EffectCreateMember = uint32_t(HOST_THISCALL*)(void* object, const char* name,
                                                    const float* zeroVector, const float* matrix,
                                                    int32_t zero);
using EffectStepMember = void(HOST_THISCALL*)(void* effect);

uint32_t SurfaceClass(uint32_t surfaceId) {
  return Routine<SurfaceClassMember>(ha::HostSurfaceClass)(Global<void>(ha::HostSurfaceClassObject),
                                                           surfaceId);
}

uint32_t EffectCreate(const char* name, const float* zeroVector, const float* matrix,
                      int32_t zero) {
  return Routine<EffectCreateMember>(ha::HostEffectCreate)(Global<void>(ha::HostEffectObject), name,
                                                           zeroVector, matrix, zero);
}

void EffectStart(uint32_t effect) {
  Routine<EffectStepMember>(ha::HostEffectStart)(Global<void>(effect));
}

void EffectFinish(uint32_t effect) {
  Routine<EffectStepMember>(ha::HostEffectFinish)(Global<void>(effect));
}

const void* At(uint32_t address) { return Global<const void>(address); }

int32_t Rand() { return std::rand(); }

}  // namespace

void BindHostGame() {
  host.timeStep = Global<float>(ha::HostTimeStep);
  host.clockMs = Global<const uint32_t>(ha::HostClockMs);
  host.wind = Global<const float>(ha::HostWind);
  host.at = At;
  host.lineTest = Routine<LineTestFn>(ha::HostLineTest);
  host.weaponInfo = Routine<WeaponInfoFn>(ha::HostWeaponInfo);
  host.shooterSkill = Routine<ShooterSkillFn>(ha::HostShooterSkill);
  host.surfaceClass = SurfaceClass;
  host.effectCreate = EffectCreate;
  host.effectStart = EffectStart;
  host.effectFinish = EffectFinish;
  host.areaImpact = Routine<AreaImpactFn>(ha::HostAreaImpact);
  host.rand = Rand;
}

}  // namespace pellix
