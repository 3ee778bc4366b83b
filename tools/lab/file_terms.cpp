#include "tools/lab/file_terms.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "sim/vec3.h"
#include "tools/lab/show_json.h"
#include "tools/lab/table.h"

namespace pellix::lab {

namespace {

using Json = nlohmann::ordered_json;

// The decimal with the fewest significant digits (up to 9) that `load` stores as `stored`:
// the value as the file could have given it. `guess` is the stored value taken back in double.
// JSON has no infinities, so those are the strings "inf" and "-inf", as `show` prints them.
template <class Load>
Json AsWritten(float stored, double guess, Load load) {
  if (std::isinf(stored)) return stored > 0 ? "inf" : "-inf";
  if (std::isnan(stored)) return "nan";
  char text[48];
  for (int digits = 1; digits <= 9; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, guess);
    const double x = std::strtod(text, nullptr);
    if (load(x) == stored) return x;
  }
  return guess;
}

Json Plain(float stored) {
  return AsWritten(stored, stored, [](double x) { return static_cast<float>(x); });
}

Json Scaled(float stored, double factor) {
  return AsWritten(stored, static_cast<double>(stored) / factor,
                   [factor](double x) { return ScaleSetting(x, factor); });
}

// A trail length stored in time-step units (world units x speedFactor), back in world units.
Json TrailLength(float stored, float speedFactor) {
  if (speedFactor == 0.0f) return 0.0;  // no muzzle speed: every length was stored as 0
  return AsWritten(stored, static_cast<double>(stored) / speedFactor, [speedFactor](double x) {
    return ZeroWinsProduct(speedFactor, static_cast<float>(x));
  });
}

}  // namespace

Json SettingsInFileTerms(const Settings& s) {
  // `show`'s names and values, the four that start-up derives put back as the INI gives them.
  const Json stored = SettingsJson(s);
  Json j;
  for (const auto& [key, value] : stored.items()) {
    if (key == "weaponCount") {
      j["MaxWeapon"] = static_cast<int32_t>(static_cast<uint32_t>(s.weaponCount) - 1u);
    } else if (key == "rangeScale") {
      j["RangeMult"] = Scaled(s.rangeScale, RangeFactor);
    } else if (key == "gravityScale") {
      j["GravityMult"] = Scaled(s.gravityScale, GravityFactor);
    } else if (key == "minSpeedScaled") {
      j["MinSpeed"] = Scaled(s.minSpeedScaled, MinSpeedFactor);
    } else {
      j[key] = value;
    }
  }
  return j;
}

Json WeaponInFileTerms(const WeaponBallistics& w) {
  Json j;
  // 0 stands for no muzzle speed (a 0 in the file, or one whose 25 / speed is no float).
  j["muzzleSpeed"] =
      w.speedFactor == 0.0f
          ? Json(0.0)
          : AsWritten(w.speedFactor, 25.0 / static_cast<double>(w.speedFactor), [](double x) {
              return static_cast<float>(25.0 / static_cast<double>(static_cast<float>(x)));
            });
  j["dragAlong"] = Plain(w.dragAlong);
  j["dragAcross"] = Plain(w.dragAcross);
  j["pierceCost"] = Plain(w.pierceCost);
  j["ricochetBonus"] = Plain(w.ricochetBonus);
  j["tracerEvery"] = w.tracerEvery;
  j["ammoTrailLength"] = TrailLength(w.ammoTrailLength, w.speedFactor);
  j["tracerTrailLength"] = TrailLength(w.tracerTrailLength, w.speedFactor);
  j["ammoTrailWidth"] = Plain(w.ammoTrailWidth);
  j["tracerTrailWidth"] = Plain(w.tracerTrailWidth);
  j["ammoTrailAlpha"] = w.ammoTrailAlpha;
  j["tracerTrailAlpha"] = w.tracerTrailAlpha;
  j["tracerColour"] = Hex(w.tracerColour).text;
  return j;
}

Json SurfaceInFileTerms(const SurfaceBallistics& s) {
  Json j;
  j["ricochetThreshold"] = Plain(s.ricochetThreshold);
  j["ricochetAngleLoss"] = AsWritten(s.ricochetAngleLoss, 2.0 * s.ricochetAngleLoss,
                                     [](double x) { return static_cast<float>(x) * 0.5f; });
  j["ricochetKeep"] = Plain(s.ricochetKeep);
  j["ricochetScatter"] = Plain(s.ricochetScatter);
  j["pierceResistance"] = Plain(s.pierceResistance);
  return j;
}

}  // namespace pellix::lab
