#include "tools/lab/range.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "sim/pool.h"
#include "startup/tables.h"
#include "tools/lab/probe.h"

namespace pellix::lab {

namespace {

float Length3(const float* v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

RangePoint Sample(int32_t slot, float timeMs, const float* muzzle) {
  const ProjectileRecord& p = pool.projectileArray[slot];
  const TrailRecord& t = pool.trailArray[slot];
  const float speedFactor = WeaponRow(p.weaponType).speedFactor;
  RangePoint r{};
  r.timeMs = timeMs;
  const float dx = p.position[0] - muzzle[0], dy = p.position[1] - muzzle[1];
  r.distance = std::sqrt(dx * dx + dy * dy);
  r.drop = muzzle[2] - p.position[2];
  r.height = p.position[2];
  const float v = Length3(p.velocity);
  r.speed = v * 25.0f;
  r.energy = (v * speedFactor) * (v * speedFactor);
  r.hitDamage = ProbeHitDamage(slot);
  if (t.activity != 0) {
    const float d[3] = {t.end[0] - t.start[0], t.end[1] - t.start[1], t.end[2] - t.start[2]};
    r.trailLength = Length3(d);
  }
  return r;
}

}  // namespace

RangeResult RunRange(LabSession& session, const RangeOptions& o) {
  session.world.planes.clear();
  session.world.boxes.clear();
  if (o.ground) session.world.planes.push_back({{0.0f, 0.0f, 1.0f}, 0.0f, SurfaceN, 0});
  session.StartRun();

  RangeResult result;
  result.muzzleSpeed = static_cast<float>(MuzzleSpeed(WeaponRow(o.weapon).speedFactor));
  const float muzzle[3] = {0.0f, 0.0f, o.height};
  const float direction[3] = {1.0f, 0.0f, 0.0f};
  const uint32_t firedAt = session.model.clockMs;
  const int32_t slot = session.FireSniper(0, o.weapon, muzzle, direction);
  const ProjectileRecord& p = pool.projectileArray[slot];
  if (!p.active) {
    result.end = "never flew: the weapon's row gives no usable muzzle speed";
    result.endKind = RangeEnd::NeverFlew;
    return result;
  }
  result.points.push_back(Sample(slot, 0.0f, muzzle));

  const float step = o.frameMs / kMsPerStep;
  const uint32_t frameMs = static_cast<uint32_t>(o.frameMs);
  for (int frame = 0; frame < o.maxFrames && p.active; ++frame) {
    session.model.ClearRecords();
    session.model.RunFrame(step, frameMs);
    const float elapsed = static_cast<float>(session.model.clockMs - firedAt);
    if (!p.active) {
      const RangePoint last = Sample(slot, elapsed, muzzle);
      char text[160];
      // The model ends a record whose expiry has passed, and the forces one whose velocity
      // left the float range; anything else ended at the ground, the only solid here, by a
      // plain hit or the impact response stopping it.
      const std::vector<int32_t>& ended = session.model.forcesEnded;
      if (std::find(ended.begin(), ended.end(), slot) != ended.end()) {
        result.endKind = RangeEnd::ForceStep;
        std::snprintf(text, sizeof text,
                      "ended at %.0f ms, %.2f units out: a force step gave a velocity beyond "
                      "the float range",
                      static_cast<double>(elapsed), static_cast<double>(last.distance));
      } else if (p.expiryTime < static_cast<float>(session.model.clockMs)) {
        result.endKind = RangeEnd::LifeRanOut;
        std::snprintf(text, sizeof text, "life ran out at %.0f ms (expiry %.0f ms), %.2f units out",
                      static_cast<double>(elapsed),
                      static_cast<double>(p.expiryTime - static_cast<float>(firedAt)),
                      static_cast<double>(last.distance));
      } else {
        result.endKind = RangeEnd::Ground;
        std::snprintf(
            text, sizeof text, "hit the ground at %.0f ms, %.2f units out%s",
            static_cast<double>(elapsed), static_cast<double>(last.distance),
            !session.model.damageDealt.empty() ? "" : " (stopped there by the impact response)");
      }
      result.end = text;
      break;
    }
    result.points.push_back(Sample(slot, elapsed, muzzle));
  }
  if (result.end.empty()) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "still flying after the last frame: the cap of %d frames (%g s)", o.maxFrames,
                  static_cast<double>(o.frameMs) * o.maxFrames / 1000.0);
    result.end = text;
  }
  return result;
}

const char* QuantityName(RangeQuantity q) {
  switch (q) {
    case RangeQuantity::Time:
      return "time";
    case RangeQuantity::Drop:
      return "drop";
    case RangeQuantity::Speed:
      return "speed";
    case RangeQuantity::Energy:
      return "energy";
    case RangeQuantity::Damage:
      return "damage";
  }
  return "?";
}

int QuantityDecimals(RangeQuantity q) {
  switch (q) {
    case RangeQuantity::Time:
    case RangeQuantity::Damage:
      return 0;
    case RangeQuantity::Speed:
      return 1;
    case RangeQuantity::Drop:
    case RangeQuantity::Energy:
      return 3;
  }
  return 0;
}

double QuantityOf(const RangePoint& p, RangeQuantity q) {
  switch (q) {
    case RangeQuantity::Time:
      return p.timeMs;
    case RangeQuantity::Drop:
      return p.drop;
    case RangeQuantity::Speed:
      return p.speed;
    case RangeQuantity::Energy:
      return p.energy;
    case RangeQuantity::Damage:
      return p.hitDamage;
  }
  return 0.0;
}

bool RangeAt(const RangeResult& r, float distance, RangePoint& at) {
  for (size_t i = 0; i < r.points.size(); ++i) {
    const RangePoint& b = r.points[i];
    if (b.distance < distance) continue;
    if (i == 0 || b.distance == distance) {
      at = b;
      at.distance = distance;
      return true;
    }
    const RangePoint& a = r.points[i - 1];
    const float t = (distance - a.distance) / (b.distance - a.distance);
    const auto lerp = [t](float x, float y) { return x + (y - x) * t; };
    at.timeMs = lerp(a.timeMs, b.timeMs);
    at.distance = distance;
    at.drop = lerp(a.drop, b.drop);
    at.height = lerp(a.height, b.height);
    at.speed = lerp(a.speed, b.speed);
    at.energy = lerp(a.energy, b.energy);
    at.hitDamage = b.hitDamage;
    at.trailLength = lerp(a.trailLength, b.trailLength);
    return true;
  }
  return false;
}

Table RangeTable(const RangeResult& r, int32_t weapon) {
  Table t;
  t.title = "range of weapon " + std::to_string(weapon);
  t.columns = {"timeMs", "distance", "drop", "speed", "energy", "hitDamage", "trail"};
  for (const RangePoint& p : r.points) {
    const auto cell = [&p](RangeQuantity q) { return Number(QuantityOf(p, q), QuantityDecimals(q)); };
    t.rows.push_back({cell(RangeQuantity::Time), Number(p.distance, 2), cell(RangeQuantity::Drop),
                      cell(RangeQuantity::Speed), cell(RangeQuantity::Energy),
                      Integer(p.hitDamage), Number(p.trailLength, 2)});
  }
  t.notes.push_back("ends: " + r.end);
  return t;
}

}  // namespace pellix::lab
