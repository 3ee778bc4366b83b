#include "world.h"

#include <cmath>
#include <cstring>
#include <utility>

#include "host_map.h"

namespace standin {
namespace {

std::vector<Solid> solids;
HostCalls calls;
uint8_t surfaceClasses[256];
uint32_t effectResult = 0;
TraceAnswer traceAnswer = nullptr;
uint8_t (*skillAnswer)(uint32_t) = nullptr;

float Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// Slab test of the segment a + t (b - a), t in [0, 1], against a box. From outside it hits
// the face where the segment enters; from inside, the face where it leaves (normal outward).
bool HitBox(const Solid& s, const Vec3& a, const Vec3& b, Hit* hit) {
  const float pa[3] = {a.x, a.y, a.z}, pb[3] = {b.x, b.y, b.z};
  const float lo[3] = {s.lo.x, s.lo.y, s.lo.z}, hi[3] = {s.hi.x, s.hi.y, s.hi.z};
  float tIn = -1, tOut = 2;
  int inAxis = -1, outAxis = -1;
  float inSign = 0, outSign = 0;
  for (int i = 0; i < 3; ++i) {
    const float d = pb[i] - pa[i];
    if (d == 0) {
      if (pa[i] < lo[i] || pa[i] > hi[i]) return false;
      continue;
    }
    float t0 = (lo[i] - pa[i]) / d, t1 = (hi[i] - pa[i]) / d;
    float enterSign = -1;
    if (t0 > t1) {
      std::swap(t0, t1);
      enterSign = 1;
    }
    if (t0 > tIn) {
      tIn = t0;
      inAxis = i;
      inSign = enterSign;
    }
    if (t1 < tOut) {
      tOut = t1;
      outAxis = i;
      outSign = -enterSign;
    }
  }
  if (tIn > tOut) return false;
  float n[3] = {0, 0, 0};
  if (tIn >= 0) {
    if (tIn > 1 || inAxis < 0) return false;
    hit->t = tIn;
    n[inAxis] = inSign;
  } else {
    if (tOut > 1 || tOut < 0 || outAxis < 0) return false;  // stays inside, or behind
    hit->t = tOut;
    n[outAxis] = outSign;
  }
  hit->normal = {n[0], n[1], n[2]};
  return true;
}

bool HitPlane(const Solid& s, const Vec3& a, const Vec3& b, Hit* hit) {
  const float da = Dot(s.n, a) - s.d, db = Dot(s.n, b) - s.d;
  if (da < 0 || db >= 0) return false;  // only from the front into the back
  hit->t = da / (da - db);
  hit->normal = s.n;
  return true;
}

}  // namespace

void ClearWorld() { solids.clear(); }
void AddSolid(const Solid& s) { solids.push_back(s); }
void SetTraceAnswer(TraceAnswer answer) { traceAnswer = answer; }
void SetSkillAnswer(uint8_t (*answer)(uint32_t)) { skillAnswer = answer; }

bool TraceSegment(const Vec3& a, const Vec3& b, Hit* best) {
  if (traceAnswer) return traceAnswer(a, b, best);
  bool any = false;
  for (const Solid& s : solids) {
    Hit h;
    if (!(s.plane ? HitPlane(s, a, b, &h) : HitBox(s, a, b, &h))) continue;
    if (any && h.t >= best->t) continue;
    any = true;
    h.point = {a.x + (b.x - a.x) * h.t, a.y + (b.y - a.y) * h.t, a.z + (b.z - a.z) * h.t};
    h.surface = s.surface;
    h.kind = s.kind;
    h.entity = s.entity;
    *best = h;
  }
  return any;
}

HostCalls& Calls() { return calls; }

void SetWeaponInfo(int type, float range, int16_t damage) {
  uint8_t* record = reinterpret_cast<uint8_t*>(uintptr_t{WeaponInfoAddress(type)});
  std::memcpy(record + ha::WeaponInfoRange, &range, 4);
  std::memcpy(record + ha::WeaponInfoDamage, &damage, 2);
}

uint32_t WeaponInfoAddress(int type) {
  return kWeaponInfoRecords + static_cast<uint32_t>(type & 0xFF) * kWeaponInfoSize;
}

void SetSurfaceClass(uint8_t surfaceId, uint8_t cls) { surfaceClasses[surfaceId] = cls; }
void SetEffectCreateResult(uint32_t effect) { effectResult = effect; }

void SetupShooters(uint16_t pedestrianAmmo) {
  uint8_t* ped = reinterpret_cast<uint8_t*>(uintptr_t{kPedestrianShooter});
  ped[ha::ShooterKind] = 0xF0 | ha::PedestrianKind;  // only the low three bits are the kind
  ped[ha::ShooterWeaponSlot] = 2;
  std::memcpy(ped + ha::ShooterWeaponSlots + 2 * ha::ShooterWeaponSlotSize, &pedestrianAmmo, 2);
  uint8_t* car = reinterpret_cast<uint8_t*>(uintptr_t{kVehicleShooter});
  car[ha::ShooterKind] = 2;
}

uint8_t SkillOf(uint32_t shooter) {
  if (skillAnswer) return skillAnswer(shooter);
  return shooter == kPedestrianShooter ? 2 : 4;
}

}  // namespace standin

using namespace standin;

namespace {

Vec3 Load(const float* p) { return {p[0], p[1], p[2]}; }

uint8_t HostLineTestImpl(const float* start, const float* end, void* hitRecord, void* hitEntity,
                         int32_t f1, int32_t f2, int32_t f3, int32_t f4, int32_t f5, int32_t f6,
                         int32_t f7, int32_t f8) {
  Hit hit;
  const bool blocked = TraceSegment(Load(start), Load(end), &hit);
  // The host fills its hit record and entity slot; the caller never reads them.
  std::memset(hitRecord, 0x5A, 44);
  std::memcpy(hitEntity, &hit.entity, 4);
  calls.lineTests.push_back({Load(start),
                             Load(end),
                             {f1, f2, f3, f4, f5, f6, f7, f8},
                             static_cast<uint8_t>(blocked ? 1 : 0)});
  return blocked ? 1 : 0;
}

uint32_t HostWeaponInfoImpl(int32_t type, int32_t skill) {
  calls.weaponInfo.push_back({type, skill});
  return WeaponInfoAddress(type);
}

uint8_t HostShooterSkillImpl(uint32_t shooter) {
  calls.shooterSkill.push_back(shooter);
  return SkillOf(shooter);
}

__attribute__((thiscall)) uint32_t HostSurfaceClassImpl(uint32_t object, uint32_t id) {
  // Junk above the low byte: only the low byte is the class.
  const uint32_t result = 0x7F3E2D00u | surfaceClasses[id & 0xFF];
  calls.surfaceClass.push_back({object, id, result});
  return result;
}

__attribute__((thiscall)) uint32_t HostEffectCreateImpl(uint32_t object, const char* name,
                                                        const float* zero, const float* matrix,
                                                        int32_t last) {
  EffectCreateCall c{};
  c.object = object;
  std::strncpy(c.name, name, sizeof c.name - 1);
  std::memcpy(c.zero, zero, sizeof c.zero);
  std::memcpy(c.matrix, matrix, sizeof c.matrix);
  c.last = last;
  c.result = effectResult;
  calls.effectCreate.push_back(c);
  return effectResult;
}

__attribute__((thiscall)) void HostEffectStartImpl(uint32_t effect) {
  calls.effectFollowUps.push_back({ha::HostEffectStart, effect});
}

__attribute__((thiscall)) void HostEffectFinishImpl(uint32_t effect) {
  calls.effectFollowUps.push_back({ha::HostEffectFinish, effect});
}

void HostAreaImpactImpl(const float* point, float radius, float power, int32_t zero,
                        uint32_t shooter, int32_t one, float scale) {
  calls.areaImpact.push_back({Load(point), radius, power, zero, shooter, one, scale});
}

template <typename F>
uint32_t Address(F f) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(f));
}

}  // namespace

namespace standin {
uint32_t LineTestRoutine() { return Address(&HostLineTestImpl); }
uint32_t WeaponInfoRoutine() { return Address(&HostWeaponInfoImpl); }
uint32_t ShooterSkillRoutine() { return Address(&HostShooterSkillImpl); }
uint32_t SurfaceClassRoutine() { return Address(&HostSurfaceClassImpl); }
uint32_t EffectCreateRoutine() { return Address(&HostEffectCreateImpl); }
uint32_t EffectStartRoutine() { return Address(&HostEffectStartImpl); }
uint32_t EffectFinishRoutine() { return Address(&HostEffectFinishImpl); }
uint32_t AreaImpactRoutine() { return Address(&HostAreaImpactImpl); }
}  // namespace standin
