// What must hold of the pool and the loop-control state whenever the host's code is not inside
// one of the plug-in's decisions. Shared by the fuzz targets and the soak test. Returns null
// when everything holds, else what was broken first.
#pragma once
#include <cmath>
#include <cstdint>

#include "sim/loop_state.h"
#include "sim/pool.h"
#include "startup/settings.h"
#include "startup/tables.h"

namespace pellix::fuzz {

inline bool Finite3(const float* v) {
  return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

inline bool Flag(int32_t value) { return value == 0 || value == 1; }

// The records of every slot: no NaN; positions, velocities, entry points, budgets and trail
// geometry finite (an expiry or a trail or refraction length may be infinite: a life without
// end, a length none of which is shown yet); flags 0 or 1, a valid trail activity.
inline const char* CheckRecords() {
  const int32_t slots = settings.MaxPellix;
  if (pool.nextSlot < 0 || pool.nextSlot >= slots) return "nextSlot out of range";
  for (int32_t i = 0; i < slots; ++i) {
    const ProjectileRecord& p = pool.projectileArray[i];
    const TrailRecord& t = pool.trailArray[i];
    const ProjectileExtra& x = pool.extraArray[i];
    if (!Flag(p.active)) return "projectile active flag not 0 or 1";
    if (!Flag(p.isTracer)) return "projectile tracer flag not 0 or 1";
    if (!Finite3(p.position)) return "projectile position not finite";
    if (!Finite3(p.velocity)) return "projectile velocity not finite";
    if (std::isnan(p.expiryTime)) return "projectile expiry NaN";
    if (!Finite3(x.entryPoint)) return "entry point not finite";
    if (!std::isfinite(x.pierceBudget)) return "pierce budget not finite";
    if (std::isnan(x.trailLength)) return "trail length NaN";
    if (std::isnan(x.refractLength)) return "refraction length NaN";
    if (t.activity > 3) return "trail activity beyond 3";
    if (!Flag(t.isTracer)) return "trail tracer flag not 0 or 1";
    if (!Finite3(t.start) || !Finite3(t.end)) return "trail end points not finite";
    if (!std::isfinite(t.width)) return "trail width not finite";
  }
  return nullptr;
}

// A stored table row: no NaN, and a finite speedFactor (no muzzle speed is 0); every other
// number may be infinite, a value beyond the float range kept with its sign.
inline const char* CheckRow(const WeaponBallistics& w) {
  if (!std::isfinite(w.speedFactor)) return "weapon row's speedFactor not finite";
  for (float f : {w.dragAlong, w.dragAcross, w.pierceCost, w.ricochetBonus, w.ammoTrailLength,
                  w.tracerTrailLength, w.ammoTrailWidth, w.tracerTrailWidth}) {
    if (std::isnan(f)) return "weapon row holds a NaN";
  }
  return nullptr;
}
inline const char* CheckRow(const SurfaceBallistics& s) {
  for (float f : {s.ricochetThreshold, s.ricochetAngleLoss, s.ricochetKeep, s.ricochetScatter,
                  s.pierceResistance}) {
    if (std::isnan(f)) return "surface row holds a NaN";
  }
  return nullptr;
}

// The loop-control flags between two records' passes.
inline const char* CheckLoopFlags() {
  if (!Flag(repeatRequested)) return "repeatRequested not 0 or 1";
  if (!Flag(skipHostHit)) return "skipHostHit not 0 or 1";
  if (!Flag(damageRestorePending)) return "damageRestorePending not 0 or 1";
  if (!Flag(projectileLoopOnPool)) return "projectileLoopOnPool not 0 or 1";
  if (!Flag(traceLoopOnPool)) return "traceLoopOnPool not 0 or 1";
  if (repeatCount < 0) return "repeatCount negative";
  return nullptr;
}

}  // namespace pellix::fuzz
