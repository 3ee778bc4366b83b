#include "tools/lab/fit_checks.h"

#include <cmath>

#include "startup/settings.h"
#include "startup/tables.h"
#include "tools/lab/table.h"
#include "tools/lab/weapon_line.h"

namespace pellix::lab {

namespace {

std::string Digits(double value) { return SignificantDigits(value, 6); }

// The speed floor in world units per second: MinSpeed x 25 is stored per time step, and a
// time step is 1/25 s.
double FloorPerSecond() { return static_cast<double>(settings.minSpeedScaled) * 25.0; }

std::string FloorText() {
  return "the speed floor of " + Digits(FloorPerSecond()) + " units/s (MinSpeed " +
         Digits(static_cast<double>(settings.minSpeedScaled) / 25.0) + ")";
}

std::string TurnOn(const char* key) {
  return std::string(" (--physics or --set PHYSICS/") + key + "=1 turns it on)";
}

bool Penetrates(const FitTarget& t) { return t.kind != FitTarget::Kind::Range; }

}  // namespace

std::string FitTargetBlocked(const FitTarget& t, const FitOptions& o) {
  if (t.kind == FitTarget::Kind::Range && t.quantity == RangeQuantity::Drop &&
      settings.Gravity == 0 && std::fabs(t.wanted) > t.Tolerance())
    return "Gravity is off, so the round flies straight and drops nothing" + TurnOn("Gravity");
  if (!Penetrates(t)) return "";
  if (settings.Pierce == 0) return "Pierce is off, so no round gets into a surface" + TurnOn("Pierce");
  const float resistance = surfaceTable[o.surfaceClass].pierceResistance;
  if (resistance < 0.0f)
    return std::string("surface ") + SurfaceKey(o.surfaceClass) +
           " cannot be pierced (pellix_surface.dat gives it a pierceResistance of " +
           Digits(resistance) + ")";
  return "";
}

std::string FitMissReason(const FitTargetResult& m, const FitOptions& o, const LabSession& s) {
  const FitTarget& t = m.target;
  if (Penetrates(t)) {
    if (m.reached) return "";
    if (m.outcome == ImpactOutcome::Stop)
      return "the hit at " + Digits(o.speedShare) + " of the muzzle speed is below " + FloorText() +
             ": the round stops at the surface (--speed-share)";
    if (m.outcome == ImpactOutcome::Ricochet)
      return "a hit at " + Digits(o.angleDeg) + " degrees from the normal ricochets off surface " +
             SurfaceKey(o.surfaceClass) + " instead (--angle; Ricochet is on)";
    return "";
  }
  const auto host = s.hostWeapons.find(o.range.weapon);
  const HostWeapon& weapon = host != s.hostWeapons.end() ? host->second : s.defaultWeapon;
  if (t.quantity == RangeQuantity::Drop && o.range.ground && t.wanted >= o.range.height)
    return "the ground caps the drop at the --height of " + Digits(o.range.height) +
           " units (--no-ground fires with no ground)";
  if (!m.reached) {
    const std::string out = ", " + Digits(m.farthest) + " units out";
    switch (m.end) {
      case RangeEnd::LifeRanOut:
        return "the host range ends the round first" + out + " (it flies as long as RangeMult " +
               Digits(static_cast<double>(settings.rangeScale) / 40.0) + " x the host range of " +
               Digits(weapon.range) +
               " units takes at its muzzle speed; --host-range, --set PHYSICS/RangeMult=...)";
      case RangeEnd::Ground:
        return "the ground ends the round first" + out + " (--height " + Digits(o.range.height) +
               "; --no-ground fires with no ground)";
      case RangeEnd::NeverFlew:
        return "the row gives no usable muzzle speed: the round never flies";
      case RangeEnd::ForceStep:
        return "a force step ends the round first" + out +
               ": its velocity left the float range (see lint on the row's drags)";
      case RangeEnd::StillFlying:
        return "the run's last frame comes first" + out;
    }
  }
  if (t.quantity == RangeQuantity::Damage && t.wanted > weapon.damage)
    return "the host damage of " + std::to_string(weapon.damage) +
           " caps the damage of a hit (--host-damage)";
  if ((t.quantity == RangeQuantity::Energy || t.quantity == RangeQuantity::Damage) &&
      settings.AirResist == 0)
    return "AirResist is off: nothing slows the round" + TurnOn("AirResist");
  return "";
}

std::vector<std::string> FitWarnings(const FitResult& r, const FitOptions& o) {
  std::vector<std::string> w;
  const int32_t maxWeapon = settings.weaponCount - 1;
  if (r.row == 0 && o.range.weapon != 0)
    w.push_back("weapon type " + std::to_string(o.range.weapon) + " is beyond MaxWeapon " +
                std::to_string(maxWeapon) +
                ": it uses row 0, the row of weapon type 0 and of every type beyond " +
                std::to_string(maxWeapon) + ", and a fit of it changes them all");
  else if (r.row == 0)
    w.push_back("row 0 is also the row of every weapon type beyond MaxWeapon " +
                std::to_string(maxWeapon) + ": a fit of it changes them too");
  size_t open = 0;
  for (const FitTargetResult& t : r.targets) open += t.blocked.empty() ? 1 : 0;
  if (open < r.free.size()) {
    std::string names;
    for (int f : r.free) names += std::string(names.empty() ? "" : ", ") + FitFieldName(f);
    w.push_back(std::to_string(open) + " target(s) for " +
                std::to_string(r.free.size()) + " free values (" + names +
                "): many rows meet them, and the fit gives the first it finds; add targets or "
                "name fewer values with --free");
  }
  for (int f : r.free) {
    if ((f == kDragAlong || f == kDragAcross) && settings.AirResist == 0)
      w.push_back(std::string(FitFieldName(f)) +
                  " is free, but AirResist is off and nothing reads it: the fit may leave it "
                  "anywhere in its bound");
  }
  for (const FitTargetResult& t : r.targets) {
    if (Penetrates(t.target) || !t.reached || !(t.hitSpeed < FloorPerSecond())) continue;
    w.push_back(t.target.text + ": a hit at " + Digits(t.target.at) +
                " units deals nothing, since the round meets it at " + FormatFixed(t.hitSpeed, 1) +
                " units/s, below " + FloorText());
  }
  return w;
}

}  // namespace pellix::lab
