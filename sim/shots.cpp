#include "sim/shots.h"

#include <cstring>

#include "host/host_addresses.h"
#include "host/host_api.h"
#include "sim/pool.h"
#include "sim/vec3.h"
#include "startup/settings.h"
#include "startup/tables.h"

namespace pellix {

int32_t tracerCounter = 0;

namespace {

constexpr int32_t kM4WeaponType = 31;

template <typename T>
T ReadHost(uint32_t address) {
  T value{};
  if (const void* p = host.at(address)) std::memcpy(&value, p, sizeof value);
  return value;
}

// Remainder of signed 32-bit division. Dividing by -1 has remainder 0 for every dividend;
// the hardware division would fault on INT32_MIN / -1.
int32_t SignedRemainder(int32_t value, int32_t divisor) {
  return divisor == -1 ? 0 : value % divisor;
}

bool TakesGlobalTracer(int32_t every) {
  const bool tracer = SignedRemainder(tracerCounter, every) == 0;
  tracerCounter = static_cast<int32_t>(static_cast<uint32_t>(tracerCounter) + 1u);  // wraps
  return tracer;
}

// Every Nth round of the weapon; a pedestrian counts by its ammunition, others globally.
bool ChooseTracer(int32_t every, uint32_t shooter) {
  if (every == 0) return false;
  if (shooter != 0) {
    const uint8_t kind = ReadHost<uint8_t>(shooter + host_addr::ShooterKind) & 7u;
    if (kind == host_addr::PedestrianKind) {
      const uint8_t slot = ReadHost<uint8_t>(shooter + host_addr::ShooterWeaponSlot);
      const uint16_t ammo = ReadHost<uint16_t>(shooter + host_addr::ShooterWeaponSlots +
                                               host_addr::ShooterWeaponSlotSize * slot);
      return SignedRemainder(static_cast<int32_t>(ammo) - 1, every) == 0;
    }
  }
  return TakesGlobalTracer(every);
}

// RangeMult times the flight time in the expiry's extended precision. A range of 0 lives 0 ms
// even under an infinite RangeMult, as under every finite one; an infinite time (a RangeMult or
// a range beyond the float range) is kept: such a shot never expires by time.
long double TimeToLive(long double flightTime) {
  return ZeroWinsProduct<long double>(flightTime, settings.rangeScale);
}

// What the three entry points have in common once each has its own values.
struct Shot {
  int32_t weaponType;
  const WeaponBallistics* row;
  uint32_t shooter;
  const float* start;
  float velocity[3];
  long double expiry;  // clock value, formed before the one rounding to float
  int16_t damage;
  bool directionUsable;  // the direction had a length
  bool globalTracerOnly;
};

void Fill(const Shot& shot) {
  const int32_t s = pool.nextSlot;
  ProjectileRecord& P = pool.projectileArray[s];
  ProjectileExtra& X = pool.extraArray[s];

  P.weaponType = shot.weaponType;
  P.shooter = shot.shooter;
  const bool tracer = shot.globalTracerOnly
                          ? (shot.row->tracerEvery != 0 && TakesGlobalTracer(shot.row->tracerEvery))
                          : ChooseTracer(shot.row->tracerEvery, shot.shooter);
  P.isTracer = tracer ? 1 : 0;
  vec3::Copy(P.position, shot.start);
  vec3::Copy(P.velocity, shot.velocity);
  P.expiryTime = static_cast<float>(shot.expiry);
  P.active = 1;
  P.damage = shot.damage;

  // A shot without a direction, a row without a muzzle speed (speedFactor 0) or a NaN from the
  // host is dead at once: inactive, at rest, expired now. So is one the host puts at an
  // infinite position. An infinite expiry is a life without end (or one over already).
  if (!shot.directionUsable || !vec3::IsFinite(P.velocity) || std::isnan(P.expiryTime) ||
      !vec3::IsFinite(P.position)) {
    P.active = 0;
    P.velocity[0] = P.velocity[1] = P.velocity[2] = 0.0f;
    P.expiryTime = static_cast<float>(*host.clockMs);
    if (!vec3::IsFinite(P.position)) P.position[0] = P.position[1] = P.position[2] = 0.0f;
  }

  const WeaponBallistics& W = *shot.row;
  X.trailLength = tracer ? W.tracerTrailLength : W.ammoTrailLength;
  X.refractLength = RefractionLength(X.trailLength, tracer);

  pool.nextSlot = s + 1 == settings.MaxPellix ? 0 : s + 1;
}

// Velocity and expiry of Make and MakeSniper: the weapon's muzzle speed along d, and the time
// to fly the host's range.
void AimAlong(Shot& shot, const float* d) {
  const uint32_t skill = shot.shooter != 0 ? host.shooterSkill(shot.shooter) : 1u;
  const uint32_t info = host.weaponInfo(shot.weaponType, static_cast<int32_t>(skill));
  const float range = ReadHost<float>(info + host_addr::WeaponInfoRange);
  shot.damage = ReadHost<int16_t>(info + host_addr::WeaponInfoDamage);

  const float speedFactor = shot.row->speedFactor;
  shot.expiry = TimeToLive(ZeroWinsProduct<long double>(range, speedFactor)) + *host.clockMs;
  float n[3];
  vec3::Normalize(n, d);
  const float k = 1.0f / speedFactor;  // muzzle speed / 25
  shot.velocity[0] = n[0] * k;
  shot.velocity[1] = n[1] * k;
  shot.velocity[2] = n[2] * k;
  shot.directionUsable = vec3::Length(d) > 0.0f;
}

}  // namespace

extern "C" HOST_THISCALL bool Make(const HostWeapon* weapon, uint32_t shooter,
                                   int32_t useAlternative, const float* start, float* end,
                                   float* alternativeEnd, uint32_t /*unused*/) {
  Shot shot{};
  shot.weaponType = weapon->weaponType;
  shot.row = &WeaponRow(shot.weaponType);
  shot.shooter = shooter;
  shot.start = start;
  // The caller's chosen end vector comes back holding the direction.
  float* E = useAlternative != 0 ? alternativeEnd : end;
  E[0] = E[0] - start[0];
  E[1] = E[1] - start[1];
  E[2] = E[2] - start[2];
  AimAlong(shot, E);
  Fill(shot);
  return false;
}

extern "C" bool MakeSniper(uint32_t shooter, uint32_t weaponType, float x, float y, float z,
                           float dx, float dy, float dz) {
  Shot shot{};
  shot.weaponType = static_cast<int32_t>(weaponType & 0xFFu);
  shot.row = &WeaponRow(shot.weaponType);
  shot.shooter = shooter;
  const float start[3] = {x, y, z};
  shot.start = start;
  const float d[3] = {dx, dy, dz};
  AimAlong(shot, d);
  Fill(shot);
  return false;
}

extern "C" bool MakeM4(const float* start, float* end, uint32_t damage) {
  Shot shot{};
  shot.weaponType = kM4WeaponType;
  shot.row = &WeaponRow(kM4WeaponType);
  shot.start = start;
  end[0] = end[0] - start[0];
  end[1] = end[1] - start[1];
  end[2] = end[2] - start[2];
  // Lives RangeMult times the time it needs to fly to the given end point.
  const float length = vec3::Length(end);
  const float flightTime = ZeroWinsProduct(length, shot.row->speedFactor);
  shot.expiry = TimeToLive(flightTime) + *host.clockMs;
  const float scale = 1.0f / flightTime;
  shot.velocity[0] = end[0] * scale;
  shot.velocity[1] = end[1] * scale;
  shot.velocity[2] = end[2] * scale;
  shot.directionUsable = length > 0.0f;
  shot.damage = static_cast<int16_t>(static_cast<uint16_t>(damage));
  shot.globalTracerOnly = true;
  Fill(shot);
  return false;
}

}  // namespace pellix
