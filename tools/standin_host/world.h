// The stand-in's small world: planes and boxes with surface ids and entity kinds, and the
// host routines that answer from it, each recording its calls.
#pragma once
#include <cstdint>
#include <vector>

namespace standin {

struct Vec3 {
  float x, y, z;
};

struct Hit {
  float t = 0;  // fraction of the segment
  Vec3 point{}, normal{};
  uint8_t surface = 0;
  uint8_t kind = 0;  // the host's entity kind: 1 building, 2 vehicle, 3 pedestrian
  uint32_t entity = 0;
};

// A solid box, or (when `plane` is set) the half-space behind the plane n . p = d.
struct Solid {
  bool plane = false;
  Vec3 lo{}, hi{};  // box
  Vec3 n{};         // plane normal (unit)
  float d = 0;
  uint8_t surface = 0, kind = 1;
  uint32_t entity = 0;
};

void ClearWorld();
void AddSolid(const Solid& s);
bool TraceSegment(const Vec3& a, const Vec3& b, Hit* hit);
// A scenario may answer hit tests from another model of the world than the solids above
// (null: the solids).
using TraceAnswer = bool (*)(const Vec3& a, const Vec3& b, Hit* hit);
void SetTraceAnswer(TraceAnswer answer);

// Recorded calls of the host routines.
struct LineTestCall {
  Vec3 start, end;
  int32_t flags[8];
  uint8_t result;
};
struct WeaponInfoCall {
  int32_t type, skill;
};
struct SurfaceClassCall {
  uint32_t object, id, result;
};
struct EffectCreateCall {
  uint32_t object;
  char name[16];
  float zero[3];
  float matrix[16];
  int32_t last;
  uint32_t result;
};
struct EffectFollowUp {
  uint32_t routine, effect;
};
struct AreaImpactCall {
  Vec3 point;
  float radius, power;
  int32_t zero;
  uint32_t shooter;
  int32_t one;
  float scale;
};
struct DamageDealt {
  uint32_t entity;
  int32_t damage;
};

struct HostCalls {
  std::vector<LineTestCall> lineTests;
  std::vector<WeaponInfoCall> weaponInfo;
  std::vector<uint32_t> shooterSkill;
  std::vector<SurfaceClassCall> surfaceClass;
  std::vector<EffectCreateCall> effectCreate;
  std::vector<EffectFollowUp> effectFollowUps;
  std::vector<AreaImpactCall> areaImpact;
  std::vector<DamageDealt> damage;
};
HostCalls& Calls();

// Host data the routines answer with.
void SetWeaponInfo(int type, float range, int16_t damage);
uint32_t WeaponInfoAddress(int type);
void SetSurfaceClass(uint8_t surfaceId, uint8_t cls);
void SetEffectCreateResult(uint32_t effect);
// Shooters in host memory: a pedestrian (kind 3) with an ammunition count in its current slot,
// and a vehicle (kind 2).
void SetupShooters(uint16_t pedestrianAmmo);
uint8_t SkillOf(uint32_t shooter);
// A scenario may answer the skill routine itself (null: SkillOf).
void SetSkillAnswer(uint8_t (*answer)(uint32_t shooter));

// Addresses of the routines for the host's jump slots.
uint32_t LineTestRoutine();
uint32_t WeaponInfoRoutine();
uint32_t ShooterSkillRoutine();
uint32_t SurfaceClassRoutine();
uint32_t EffectCreateRoutine();
uint32_t EffectStartRoutine();
uint32_t EffectFinishRoutine();
uint32_t AreaImpactRoutine();

}  // namespace standin
