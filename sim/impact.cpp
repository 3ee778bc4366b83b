#include "sim/impact.h"

#include "host/host_api.h"
#include "sim/loop_state.h"
#include "sim/sweep.h"
#include "sim/vec3.h"
#include "startup/settings.h"
#include "startup/tables.h"

namespace pellix {
namespace {

constexpr int32_t kAreaImpactType = 34;  // ends at its first hit with an area impact
constexpr int32_t kFireEffectType = 38;  // the same, and starts a fire effect there
constexpr uint8_t kHitKindC = 2;
constexpr uint8_t kHitKindP = 3;

void SpecialImpact(ProjectileRecord* record, const float* hitPoint, const float* n) {
  if (record->weaponType == kFireEffectType) {
    // Orientation of the effect: rows n x (0,1,0), n, n x (1,0,0), then the hit point.
    const float matrix[16] = {-n[2],       0.0f,        n[0],        0.0f,  //
                              n[0],        n[1],        n[2],        0.0f,  //
                              0.0f,        n[2],        -n[1],       0.0f,  //
                              hitPoint[0], hitPoint[1], hitPoint[2], 1.0f};
    const float zero[3] = {0.0f, 0.0f, 0.0f};
    const uint32_t effect = host.effectCreate("tank_fire", zero, matrix, 0);
    if (effect != 0) {
      host.effectStart(effect);
      host.effectFinish(effect);
    }
  }
  host.areaImpact(hitPoint, 2.0f, 25.0f, 0, record->shooter, 1, 1.0f);
  record->active = 0;
}

int32_t SurfaceClassOf(uint32_t surfaceId, uint32_t hitKind) {
  const uint8_t kind = static_cast<uint8_t>(hitKind);
  if (kind == kHitKindC) return SurfaceC;
  if (kind == kHitKindP) return SurfaceP;
  const uint8_t cls = static_cast<uint8_t>(host.surfaceClass(surfaceId));
  // The table has seven rows; a class beyond them falls back to row 0, as weapon types do.
  return cls < SurfaceClassCount ? static_cast<int32_t>(cls) : static_cast<int32_t>(SurfaceN);
}

// clamp(x, 0, 1); a NaN share keeps nothing.
float Share(float x) {
  if (x > 1.0f) return 1.0f;
  if (x > 0.0f) return x;
  return 0.0f;
}

// Distance to push off a surface along the flight path: ColBias over the cosine of the
// incidence. A path along the surface has no finite push-off, so it is not pushed at all.
float PushOff(float D, float length) {
  const float P = settings.ColBias / std::fabs(D / length);
  return std::isfinite(P) ? P : 0.0f;
}

void MoveAlongFlight(ProjectileRecord* record, float invSpeed, float P) {
  float* v = record->velocity;
  const float u[3] = {v[0] * invSpeed, v[1] * invSpeed, v[2] * invSpeed};
  record->position[0] = record->position[0] + u[0] * P;
  record->position[1] = record->position[1] + u[1] * P;
  record->position[2] = record->position[2] + u[2] * P;
}

// Ricochet test and response; returns whether the projectile ricocheted.
bool Ricochet(ProjectileRecord* record, const float* hitPoint, const float* n,
              const WeaponBallistics& weapon, const SurfaceBallistics& surface, float speed,
              float D, float& travelled) {
  const float F = D / speed;
  if (!(D < 0.0f && std::fabs(F * 0.5f) < weapon.ricochetBonus + surface.ricochetThreshold)) {
    return false;
  }
  record->active = 1;
  vec3::Copy(record->position, hitPoint);

  const float g = std::fabs(surface.ricochetAngleLoss * F);
  const float damageKeep = Share(g + surface.ricochetKeep);
  const uint16_t scaled = static_cast<uint16_t>(record->damage);
  record->damage = DamageBits(static_cast<long double>(scaled) * damageKeep);
  const float speedKeep = Share(1.0f - g + surface.ricochetKeep);

  float* v = record->velocity;
  v[0] = v[0] - D * n[0];
  v[1] = v[1] - D * n[1];
  v[2] = v[2] - D * n[2];

  const float P = PushOff(D, vec3::Length(v));
  MoveAlongFlight(record, 1.0f / speed, P);
  travelled = travelled + P;

  for (int i = 0; i < 3; ++i) {
    const float r = static_cast<float>(host.rand());
    v[i] = v[i] + (r / 32767.0f - 0.5f) * speed * surface.ricochetScatter;
  }

  const float keep2 = speedKeep * speedKeep;
  const float q = (vec3::Length(v) / speed) / keep2;
  const float scale = 1.0f / q;
  // q is infinite when nothing is kept (scale 0); a scatter that cancelled the velocity
  // exactly leaves no direction (q 0 or 0/0): both end with the projectile at rest.
  if (std::isfinite(scale) && !std::isnan(q)) {
    v[0] = v[0] * scale;
    v[1] = v[1] * scale;
    v[2] = v[2] * scale;
  } else {
    v[0] = v[1] = v[2] = 0.0f;
  }

  CutStep(travelled, speed);
  return true;
}

// Penetration test and response; returns false when the projectile was stopped inside.
bool Penetrate(ProjectileRecord* record, const float* hitPoint, int32_t cls,
               const WeaponBallistics& weapon, const SurfaceBallistics& surface, float speed,
               float D, float& travelled) {
  if (!(surface.pierceResistance >= 0.0f)) return true;
  record->active = 1;
  vec3::Copy(record->position, hitPoint);

  ProjectileExtra& extra = pool.extraArray[SlotOf(record)];
  const float P = PushOff(D, vec3::Length(record->velocity));
  const float invSpeed = 1.0f / speed;
  if (D < 0.0f) {  // entering a solid
    MoveAlongFlight(record, invSpeed, P);
    extra.entryClass = cls;
    vec3::Copy(extra.entryPoint, hitPoint);
    travelled = travelled + P;
    const float budget =
        weapon.speedFactor * (speed * speed) * weapon.speedFactor * static_cast<float>(savedDamage);
    // Only absurd table rows overflow the energy; such a round cannot be followed through.
    if (!std::isfinite(budget)) {
      extra.pierceBudget = 0.0f;
      StopProjectile(record);
      return false;
    }
    extra.pierceBudget = budget;
  } else {  // leaving it
    record->damage = 0;
    MoveAlongFlight(record, invSpeed, P);
    travelled = travelled + P;
    const float inside = vec3::Distance(extra.entryPoint, hitPoint);
    // Nothing is spent without a cost, a resistance or a distance inside, even when another
    // factor is infinite (an endless resistance stops every other round).
    const float cost =
        ZeroWinsProduct(ZeroWinsProduct(weapon.pierceCost, surface.pierceResistance), inside);
    // The reduced budget stays in the field: a second way out without a way in between
    // spends from the energy that is really left.
    const float budget = extra.pierceBudget - cost;
    if (!(budget >= 0.0f) || !std::isfinite(budget)) {
      // Used up: an endless cost always does it. An endless gain (a negative cost) would give
      // an endless speed, so it ends here too; either leaves an empty field, not an infinity.
      extra.pierceBudget = std::isfinite(budget) ? budget : 0.0f;
      StopProjectile(record);
      return false;
    }
    extra.pierceBudget = budget;
    const float energyPerSpeed2 =
        (weapon.speedFactor * weapon.speedFactor) * static_cast<float>(savedDamage);
    const float k = std::sqrt(extra.pierceBudget / energyPerSpeed2) / speed;
    // No damage or no muzzle speed gives no energy to carry on with (0/0): it ends here. So
    // does a budget that is not a number.
    if (!std::isfinite(k)) {
      StopProjectile(record);
      return false;
    }
    float* v = record->velocity;
    v[0] = v[0] * k;
    v[1] = v[1] * k;
    v[2] = v[2] * k;
    skipHostHit = 1;
  }
  CutStep(travelled, speed);
  return true;
}

}  // namespace

void ResolveImpact(ProjectileRecord* record, const float* hitPoint, const float* hitNormal,
                   uint32_t surfaceId, uint32_t hitKind) {
  if (record->weaponType == kAreaImpactType || record->weaponType == kFireEffectType) {
    SpecialImpact(record, hitPoint, hitNormal);
    return;
  }
  // The restore is armed from here on, so the damage it puts back must be this record's own
  // even when the projectile stops before its damage is scaled.
  damageRestorePending = 1;
  savedDamage = static_cast<uint16_t>(record->damage);

  const int32_t cls = SurfaceClassOf(surfaceId, hitKind);
  const SurfaceBallistics& surface = surfaceTable[cls];
  const WeaponBallistics& weapon = WeaponRow(record->weaponType);

  // A zero speed (a floor of 0 or below) would divide by zero below, as would one whose
  // reciprocal overflows; neither can go on.
  const float speed = vec3::Length(record->velocity);
  if (!(speed >= settings.minSpeedScaled) || !(speed > 0.0f) || !std::isfinite(1.0f / speed) ||
      !std::isfinite(speed)) {
    StopProjectile(record);
    return;
  }

  const float D = 2.0f * vec3::Dot(record->velocity, hitNormal);
  float travelled = vec3::Distance(record->position, hitPoint);

  const long double energy = static_cast<long double>(speed) * speed * weapon.speedFactor *
                             weapon.speedFactor * savedDamage;
  record->damage = DamageBits(energy);

  // A hit the host reports without a usable point or normal cannot be bounced or pierced.
  const bool geometry = vec3::IsFinite(hitPoint) && std::isfinite(D) && std::isfinite(travelled);
  const float entryPosition[3] = {record->position[0], record->position[1], record->position[2]};
  const float entryVelocity[3] = {record->velocity[0], record->velocity[1], record->velocity[2]};

  bool ricocheted = false;
  bool goesOn = true;
  if (settings.Ricochet != 0 && geometry) {
    ricocheted = Ricochet(record, hitPoint, hitNormal, weapon, surface, speed, D, travelled);
  }
  if (settings.Pierce != 0 && !ricocheted && geometry) {
    goesOn = Penetrate(record, hitPoint, cls, weapon, surface, speed, D, travelled);
  }

  // Extreme table values (a huge scatter or push-off) can still overflow; such a projectile
  // is put back where the impact found it and ended rather than carried on with infinities.
  if (!vec3::IsFinite(record->position) || !vec3::IsFinite(record->velocity)) {
    vec3::Copy(record->position, entryPosition);
    vec3::Copy(record->velocity, entryVelocity);
    StopProjectile(record);
    return;
  }
  if (!goesOn) return;

  ClearAhead(record);
}

}  // namespace pellix
