#include "tools/lab/impact_table.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "sim/impact.h"
#include "sim/loop_state.h"
#include "sim/pool.h"
#include "startup/settings.h"
#include "startup/tables.h"
#include "tools/lab/probe.h"

namespace pellix::lab {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int32_t kSlot = 0;
constexpr float kSolidExtent = 1000.0f;

float Length3(const float* v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

float AngleBetweenDeg(const float* a, const float* b) {
  const float la = Length3(a), lb = Length3(b);
  if (la == 0.0f || lb == 0.0f) return 0.0f;
  double c = (a[0] * b[0] + a[1] * b[1] + a[2] * b[2]) / (static_cast<double>(la) * lb);
  c = std::clamp(c, -1.0, 1.0);
  return static_cast<float>(std::acos(c) * 180.0 / kPi);
}

// Hit kind and surface id that give `cls`: entity kinds 2 and 3 for C and P, else the id,
// which the model's surface routine hands back as the class.
void HitCodes(int32_t cls, uint8_t& surfaceId, uint8_t& kind) {
  surfaceId = static_cast<uint8_t>(cls <= SurfaceD ? cls : 0);
  kind = cls == SurfaceC ? 2 : cls == SurfaceP ? 3 : 0;
}

struct Setup {
  float hitPoint[3] = {0.0f, 0.0f, 0.0f};
  float normal[3] = {0.0f, 0.0f, 1.0f};
  float direction[3];
  float speed;
  uint8_t surfaceId, kind;
};

void PlaceRecord(const Setup& s, int32_t weapon, int16_t damage) {
  ProjectileRecord& p = pool.projectileArray[kSlot];
  p = ProjectileRecord{};
  p.weaponType = weapon;
  p.active = 1;
  for (int k = 0; k < 3; ++k) {
    p.velocity[k] = s.direction[k] * s.speed;
    p.position[k] = s.hitPoint[k] - p.velocity[k];  // one full step before the surface
  }
  p.damage = damage;
  pool.extraArray[kSlot] = ProjectileExtra{};
}

void Resolve(const Setup& s, const float* hitPoint, const float* normal) {
  ClearImpactFlags(1.0f);
  ResolveImpact(&pool.projectileArray[kSlot], hitPoint, normal, s.surfaceId, s.kind);
}

// Leaves the solid `inside` units along the flight path after the entry; the exit speed share,
// negative when the projectile stops inside.
float ExitAfter(const Setup& s, const ProbeState& entered, float inside) {
  RestoreProbeState(kSlot, entered);
  const ProjectileRecord& p = pool.projectileArray[kSlot];
  const ProjectileExtra& x = pool.extraArray[kSlot];
  float dir[3];
  const float v = Length3(p.velocity);
  for (int k = 0; k < 3; ++k) dir[k] = v > 0.0f ? p.velocity[k] / v : 0.0f;
  const float exitPoint[3] = {x.entryPoint[0] + dir[0] * inside, x.entryPoint[1] + dir[1] * inside,
                              x.entryPoint[2] + dir[2] * inside};
  const float outward[3] = {dir[0], dir[1], dir[2]};
  Resolve(s, exitPoint, outward);
  if (!p.active) return -1.0f;
  return Length3(p.velocity) / s.speed;
}

}  // namespace

const char* OutcomeName(ImpactOutcome o) {
  switch (o) {
    case ImpactOutcome::Stop:
      return "stop";
    case ImpactOutcome::Hit:
      return "hit";
    case ImpactOutcome::Ricochet:
      return "ricochet";
    case ImpactOutcome::Penetration:
      return "penetration";
  }
  return "?";
}

const char* SurfaceKey(int32_t surfaceClass) {
  static const char* const keys[SurfaceClassCount] = {"N", "SP", "S", "W", "D", "C", "P"};
  return surfaceClass >= 0 && surfaceClass < SurfaceClassCount ? keys[surfaceClass] : "?";
}

int32_t ParseSurfaceClass(const std::string& text) {
  for (int32_t i = 0; i < SurfaceClassCount; ++i)
    if (text == SurfaceKey(i)) return i;
  char* end = nullptr;
  const long n = std::strtol(text.c_str(), &end, 10);
  if (!text.empty() && *end == '\0' && n >= 0 && n < SurfaceClassCount)
    return static_cast<int32_t>(n);
  return -1;
}

bool CheckImpactGrid(const ImpactOptions& o, std::string& error) {
  const auto text = [](float v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", static_cast<double>(v));
    return std::string(buffer);
  };
  for (float a : o.anglesDeg) {
    if (!(a >= 0.0f && a <= 90.0f)) {
      error = "--angles " + text(a) + ": an angle from the normal is 0 to 90 degrees";
      return false;
    }
  }
  for (float s : o.speedShares) {
    if (!(s > 0.0f && s <= 1.0f)) {
      error = "--speeds " + text(s) + ": a share of the muzzle speed is above 0 and at most 1";
      return false;
    }
  }
  return true;
}

std::vector<ImpactCase> RunImpacts(LabSession& session, const ImpactOptions& o) {
  // A solid slab under z = 0 of the surface's class, for the sweep's probes.
  session.world.planes.clear();
  session.world.boxes.clear();
  Setup base{};
  HitCodes(o.surfaceClass, base.surfaceId, base.kind);
  session.world.boxes.push_back({{-kSolidExtent, -kSolidExtent, -kSolidExtent},
                                 {kSolidExtent, kSolidExtent, 0.0f},
                                 base.surfaceId,
                                 base.kind});
  ResetSimulationState();

  const float muzzle = static_cast<float>(MuzzleSpeed(WeaponRow(o.weapon).speedFactor)) / 25.0f;
  auto it = session.hostWeapons.find(o.weapon);
  const int16_t damage =
      (it == session.hostWeapons.end() ? session.defaultWeapon : it->second).damage;

  std::vector<ImpactCase> cases;
  for (float share : o.speedShares) {
    for (float angle : o.anglesDeg) {
      Setup s = base;
      const double a = angle * kPi / 180.0;
      s.direction[0] = static_cast<float>(std::sin(a));
      s.direction[1] = 0.0f;
      s.direction[2] = static_cast<float>(-std::cos(a));
      s.speed = muzzle * share;
      ImpactCase c{angle, share, ImpactOutcome::Hit, 0, 0, 0, 0, 0, 0, 0};
      // Each cell draws from the start of the sequence: what a hit does is the same in any
      // grid, and an edit elsewhere cannot shift the draws.
      session.rand = CrtRand{};

      PlaceRecord(s, o.weapon, damage);
      const ProbeState before = SaveProbeState(kSlot);
      Resolve(s, s.hitPoint, s.normal);
      const ProjectileRecord& p = pool.projectileArray[kSlot];
      c.damage = p.damage;
      const float after[3] = {p.velocity[0], p.velocity[1], p.velocity[2]};
      if (!p.active) {
        c.outcome = ImpactOutcome::Stop;
        c.damage = skipHostHit ? 0 : p.damage;
      } else if (!repeatRequested) {
        c.outcome = ImpactOutcome::Hit;
      } else if (p.position[2] > 0.0f) {  // pushed off on the open side: it bounced
        c.outcome = ImpactOutcome::Ricochet;
        c.keptSpeed = Length3(after) / s.speed;
        // The energy-scaled damage of the same hit, of which the ricochet keeps a share.
        RestoreProbeState(kSlot, before);
        const int32_t plain = ProbeHitDamage(kSlot);
        c.keptDamage = plain > 0 ? static_cast<float>(c.damage) / static_cast<float>(plain) : 0.0f;
        // The scatter: the same ricochet again, each with fresh draws.
        const float mirror[3] = {s.direction[0], s.direction[1], -s.direction[2]};
        double sum = 0.0;
        float worst = 0.0f;
        for (int d = 0; d < o.draws; ++d) {
          RestoreProbeState(kSlot, before);
          Resolve(s, s.hitPoint, s.normal);
          const float angleOff = AngleBetweenDeg(pool.projectileArray[kSlot].velocity, mirror);
          sum += angleOff;
          worst = std::max(worst, angleOff);
        }
        c.scatterMeanDeg = o.draws > 0 ? static_cast<float>(sum / o.draws) : 0.0f;
        c.scatterMaxDeg = worst;
      } else {
        c.outcome = ImpactOutcome::Penetration;
        // The loop takeover puts the unscaled damage back after every hit.
        if (damageRestorePending)
          pool.projectileArray[kSlot].damage = static_cast<int16_t>(savedDamage);
        const ProbeState entered = SaveProbeState(kSlot);
        // Deepest exit that still goes on: the budget shrinks with the distance inside.
        float lo = 0.0f, hi = 1.0f;
        while (hi < 1.0e6f && ExitAfter(s, entered, hi) >= 0.0f) hi *= 2.0f;
        if (hi >= 1.0e6f) {
          c.maxDepth = INFINITY;
        } else if (ExitAfter(s, entered, 0.0f) < 0.0f) {
          c.maxDepth = 0.0f;
        } else {
          for (int k = 0; k < 40; ++k) {
            const float mid = 0.5f * (lo + hi);
            (ExitAfter(s, entered, mid) >= 0.0f ? lo : hi) = mid;
          }
          c.maxDepth = lo;
        }
        c.exitSpeed = ExitAfter(s, entered, o.thickness);
      }
      RestoreProbeState(kSlot, before);
      cases.push_back(c);
    }
  }
  pool.projectileArray[kSlot] = ProjectileRecord{};
  ResetSimulationState();
  return cases;
}

Table ImpactTable(const std::vector<ImpactCase>& cases, const ImpactOptions& o) {
  static const char* const keys[SurfaceClassCount] = {"N", "SP", "S", "W", "D", "C", "P"};
  Table t;
  t.title = "impacts of weapon " + std::to_string(o.weapon) + " on surface " + keys[o.surfaceClass];
  t.columns = {"angle",      "speedShare",  "outcome",    "damage",   "keptSpeed",
               "keptDamage", "scatterMean", "scatterMax", "maxDepth", "exitSpeed"};
  for (const ImpactCase& c : cases) {
    const bool ric = c.outcome == ImpactOutcome::Ricochet;
    const bool pen = c.outcome == ImpactOutcome::Penetration;
    auto blank = [] { return Missing(); };
    t.rows.push_back(
        {Number(c.angleDeg, 0), Number(c.speedShare, 2), Text(OutcomeName(c.outcome)),
         Integer(c.damage), ric ? Number(c.keptSpeed, 3) : blank(),
         ric ? Number(c.keptDamage, 3) : blank(), ric ? Number(c.scatterMeanDeg, 2) : blank(),
         ric ? Number(c.scatterMaxDeg, 2) : blank(),
         pen ? (std::isinf(c.maxDepth) ? Text("unbounded") : Number(c.maxDepth, 3)) : blank(),
         pen ? (c.exitSpeed < 0.0f ? Text("stuck") : Number(c.exitSpeed, 3)) : blank()});
  }
  t.notes.push_back(
      "angle from the surface normal in degrees (90 grazes); speedShare as a share of the "
      "muzzle speed; keptSpeed and exitSpeed as shares of the speed at the hit; scatter in "
      "degrees off the mirror direction over " +
      std::to_string(o.draws) +
      " draws; maxDepth in world units along the flight path; exit "
      "speed after " +
      FormatFixed(o.thickness, 2) + " units of solid");
  return t;
}

}  // namespace pellix::lab
