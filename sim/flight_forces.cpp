#include "sim/flight_forces.h"

#include "host/host_api.h"
#include "sim/vec3.h"
#include "startup/settings.h"
#include "startup/tables.h"

namespace pellix {
namespace {

constexpr float kAirFactor = 0.2f;  // wind share and drag share, one constant

// A drag factor bounded from above only; a product that cannot be ordered counts as 1.
float DragFactor(float coefficient, float timeStep) {
  const float product = coefficient * timeStep;
  return product < 1.0f ? product : 1.0f;
}

}  // namespace

void ApplyFlightForces(ProjectileRecord* record, float timeStep) {
  float* v = record->velocity;
  float next[3] = {v[0], v[1], v[2]};

  if (settings.Gravity != 0) next[2] = next[2] - settings.gravityScale * timeStep;

  if (settings.AirResist != 0) {
    const WeaponBallistics& row = WeaponRow(record->weaponType);
    // The split uses the ground velocity's direction, so along also carries the part of the
    // wind that lies on the flight path.
    float n[3];
    vec3::Normalize(n, next);
    const float w[3] = {kAirFactor * host.wind[0], kAirFactor * host.wind[1],
                        kAirFactor * host.wind[2]};
    const float r[3] = {next[0] - w[0], next[1] - w[1], next[2] - w[2]};
    const float s = vec3::Dot(r, n);
    const float along[3] = {s * n[0], s * n[1], s * n[2]};
    const float across[3] = {r[0] - along[0], r[1] - along[1], r[2] - along[2]};

    const float acrossShare = kAirFactor * DragFactor(row.dragAcross, timeStep);
    const float alongShare = kAirFactor * DragFactor(row.dragAlong, timeStep);
    for (int i = 0; i < 3; ++i) {
      const float acrossKept = across[i] - acrossShare * across[i];
      const float alongKept = along[i] - alongShare * along[i];
      next[i] = (acrossKept + alongKept) + w[i];
    }
  }

  // A velocity beyond the float range (from a GravityMult or a drag beyond it, or a huge
  // negative drag) has carried the round out of any world, so it ends where it is. The host's
  // step still moves it by velocity x step and may test that path: with no velocity left it
  // goes nowhere, and a hit would find it too slow to bounce back to life. No loop flag is
  // set: nothing in this pass would clear it.
  if (vec3::IsFinite(next)) {
    vec3::Copy(v, next);
  } else {
    record->active = 0;
    v[0] = v[1] = v[2] = 0.0f;
  }
}

}  // namespace pellix
