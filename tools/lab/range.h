// `range`: one weapon fired level from a height, frame by frame until its life ends.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/lab/lab_session.h"
#include "tools/lab/table.h"

namespace pellix::lab {

// The most frames a run of one shot takes (`range`, `fit`, `diff`, the report's charts): a
// round that no range, ground or speed floor ends would fly on for ever. At the default 20 ms a
// frame that is 100 s of game clock; the run's end says when the cap ended it.
inline constexpr int kRangeFrameCap = 5000;

struct RangeOptions {
  int32_t weapon = 0;
  float height = 1.0f;    // above the ground plane z = 0
  float frameMs = 20.0f;  // host clock per frame; the time step is frameMs / 40
  bool ground = true;     // a ground plane of surface class N under the shot
  int maxFrames = kRangeFrameCap;
};

struct RangePoint {
  float timeMs;
  float distance;  // horizontal, from the muzzle
  float drop;      // below the muzzle height
  float height;
  float speed;        // world units per second
  float energy;       // fraction of the muzzle energy
  int32_t hitDamage;  // what a hit would deal here
  float trailLength;  // world units
};

// Why a range run ended.
enum class RangeEnd { StillFlying, NeverFlew, LifeRanOut, Ground, ForceStep };

struct RangeResult {
  std::vector<RangePoint> points;
  std::string end;  // where and why the projectile's life ended
  RangeEnd endKind = RangeEnd::StillFlying;  // StillFlying: the frame cap ended the run
  float muzzleSpeed = 0.0f;
};

// The session must be loaded; its world is replaced by the ground plane (or nothing). Memory
// does not grow with the round's life beyond one point a frame.
RangeResult RunRange(LabSession& session, const RangeOptions& options);

// The columns that a range target or a range comparison reads, with the decimals the table
// prints them with.
enum class RangeQuantity { Time, Drop, Speed, Energy, Damage };
const char* QuantityName(RangeQuantity quantity);  // "time", "drop", ...
int QuantityDecimals(RangeQuantity quantity);
double QuantityOf(const RangePoint& point, RangeQuantity quantity);

// The round at `distance` from the muzzle: time, drop, height, speed, energy and trail linear
// in distance between the two frames around it; hitDamage that of the first frame at or beyond
// it, since a hit within a frame's step meets the round with the velocity that frame ends with.
// False when the round's life ends before it gets there.
bool RangeAt(const RangeResult& result, float distance, RangePoint& at);

Table RangeTable(const RangeResult& result, int32_t weapon);

}  // namespace pellix::lab
