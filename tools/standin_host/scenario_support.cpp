#include "scenario_support.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "host_map.h"

namespace standin {

std::string MakeIni(const char* physics, const char* graphics, int maxPellix) {
  char head[128];
  std::snprintf(head, sizeof head, "[PELLIX]\r\nMaxPellix=%d\r\nMaxWeapon=40\r\n", maxPellix);
  return std::string(head) + "[PHYSICS]\r\n" + physics + "[GRAPHICS]\r\n" + graphics;
}

// Weapon lines: type, muzzle speed, drag along, drag across, pierce cost, ricochet bonus,
// tracer every, ammo trail, tracer trail, ammo width, tracer width, ammo alpha, tracer alpha,
// tracer colour.
std::string WeaponFile() {
  return "; weapons of the stand-in host\n"
         "0 500 0 0 1 0 0 10 20 0.1 0.2 100 200 0xFFFF0000\n"
         "22 500 0 0 1 0 1 10 20 0.1 0.2 100 200 0xFF20C040\n"
         "23 500 0.5 0.5 1 0 0 10 20 0.1 0.2 100 200 0xFF4080F0\n"
         "31 1000 0 0 1 0 3 10 20 0.1 0.2 100 200 0xFF0000FF\n"
         "34 250 0 0 1 0 0 10 20 0.1 0.2 100 200 0xFFFFFFFF\n"
         "38 250 0 0 1 0 0 10 20 0.1 0.2 100 200 0xFFFFFFFF\n";
}

// Surface lines: key, ricochet threshold, angle loss, keep, scatter, pierce resistance.
std::string SurfaceFile() {
  return "; surfaces of the stand-in host\n"
         "N 2 0 1 0 -1\n"
         "SP 2 0 1 0 -1\n"
         "S 2 0 1 0 -1\n"
         "W 2 0 1 0 -1\n"
         "D 2 0 1 0 -1\n"
         "C 2 0 1 0 -1\n"
         "P 2 0 1 0 -1\n";
}

void SetupHostData() {
  for (int t = 0; t < 256; ++t) SetWeaponInfo(t, kRange22, kDamage22);
  SetupShooters(5);
  uint8_t* weapon = reinterpret_cast<uint8_t*>(uintptr_t{kHostWeapon});
  std::memset(weapon, 0, 64);
}

void ClearHost(uint32_t clockMs) {
  SetupHostData();
  ClearWorld();
  for (int i = 0; i < kHostProjectiles; ++i) std::memset(&HostProjectile(i), 0, 44);
  for (int i = 0; i < kHostTraces; ++i) std::memset(&HostTrace(i), 0, 44);
  HostClockMs() = clockMs;
  HostWind() = {0, 0, 0};
}

namespace {

uint32_t Bits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  return u;
}

uint32_t Ptr(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

ShotResult Result(uint32_t eax) { return {eax, (eax & 0xFF) == 0}; }

}  // namespace

ShotResult FireMake(int32_t weaponType, uint32_t shooter, int flag, Vec3* start, Vec3* end,
                    Vec3* alt) {
  std::memcpy(reinterpret_cast<void*>(uintptr_t{kHostWeapon}), &weaponType, 4);
  const uint32_t args[8] = {
      shooter,    static_cast<uint32_t>(flag), Ptr(start), Ptr(end), Ptr(alt), 0xDEAD0006, 0,
      kHostWeapon};
  std::memcpy(standin_shot_args, args, sizeof args);
  return Result(standin_call_shot(0));
}

ShotResult FireSniper(uint32_t shooter, uint32_t weaponArg, Vec3 p, Vec3 d) {
  const uint32_t args[8] = {shooter,   weaponArg, Bits(p.x), Bits(p.y),
                            Bits(p.z), Bits(d.x), Bits(d.y), Bits(d.z)};
  std::memcpy(standin_shot_args, args, sizeof args);
  return Result(standin_call_shot(1));
}

ShotResult FireM4(Vec3* start, Vec3* end, uint32_t damage) {
  const uint32_t args[8] = {Ptr(start), Ptr(end), damage, 0, 0, 0, 0, 0};
  std::memcpy(standin_shot_args, args, sizeof args);
  return Result(standin_call_shot(2));
}

std::vector<const StepVisit*> PoolVisits(int frame) {
  std::vector<const StepVisit*> out;
  for (const StepVisit& v : Log().steps)
    if (v.frame == frame && !IsHostProjectile(v.record)) out.push_back(&v);
  return out;
}

uint32_t PoolRecordAt(const Vec3& p) {
  for (const StepVisit& v : Log().steps) {
    if (IsHostProjectile(v.record) || !v.before.active) continue;
    const Vec3& q = v.before.position;
    if (q.x == p.x && q.y == p.y && q.z == p.z) return v.record;
  }
  return 0;
}

float Length(const Vec3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }
bool Near(float a, float b, float tolerance) { return std::fabs(a - b) <= tolerance; }

}  // namespace standin
