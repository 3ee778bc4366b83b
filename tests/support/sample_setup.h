// Plain-data set-up shared by unit tests, fuzz targets and benchmarks. Header-only, so that a
// test or benchmark can use it without linking the support library.
//
// - ClearLoopState(): zeroes the loop-control globals; ResetLoopState() also tracerCounter.
// - DefaultSettings(): the settings as start-up stores them from an empty INI file (scaled
//   fields included), with weaponCount and MaxPellix as given.
// - ForcesOnSettings(): the same with gravity, air drag, ricochet and piercing on, trails
//   shrinking after their round (AfterEffect 1) and no tail bias: the whole-frame runs.
// - SampleWeapon(): a rifle row with light drag whose trails are 2 and 6 muzzle-speed units.
// - SampleSurfaces(): class 0 ricochets at grazing angles and cannot be pierced, class 1 is
//   pierced easily, the rest are hard.
#pragma once
#include <array>
#include <cstdint>

#include "sim/loop_state.h"
#include "sim/shots.h"
#include "startup/settings.h"
#include "startup/tables.h"

namespace pellix::testing {

using pellix::ClearLoopState;

inline void ResetLoopState() {
  ClearLoopState();
  tracerCounter = 0;
}

inline Settings DefaultSettings(int32_t weaponCount = 40, int32_t maxPellix = 16) {
  Settings s{};
  s.MaxPellix = maxPellix;
  s.weaponCount = weaponCount;
  s.rangeScale = 1.0f * 40.0f;
  s.Gravity = 0;
  s.gravityScale = 1.0f * 0.032f;
  s.AirResist = 0;
  s.Ricochet = 0;
  s.Pierce = 0;
  s.MaxLoop = 8;
  s.minSpeedScaled = 1.0f * 25.0f;
  s.ColBias = 0.01f;
  s.SolidBias = 0.1f;
  s.SolidLoop = 50;
  s.TracerType = 2;
  s.AfterEffect = 2;
  s.TracerBloom = 0.001f;
  s.RefractSize = 0.1f;
  s.AmRefractLen = 2.0f;
  s.TrRefractLen = 1.5f;
  s.AmTailBias = -1.0f;
  s.TrTailBias = -1.0f;
  s.TracerBatch = 1;
  return s;
}

inline Settings ForcesOnSettings(int32_t maxPellix) {
  Settings s = DefaultSettings(40, maxPellix);
  s.Gravity = 1;
  s.AirResist = 1;
  s.Ricochet = 1;
  s.Pierce = 1;
  s.AfterEffect = 1;
  s.AmTailBias = 0.0f;
  s.TrTailBias = 0.0f;
  return s;
}

inline WeaponBallistics SampleWeapon(float muzzleSpeed, int32_t tracerEvery) {
  WeaponBallistics w{};
  w.speedFactor = 25.0f / muzzleSpeed;
  w.dragAlong = 0.02f;
  w.dragAcross = 0.05f;
  w.pierceCost = 0.5f;
  w.ricochetBonus = 0.2f;
  w.tracerEvery = tracerEvery;
  w.ammoTrailLength = 2.0f * w.speedFactor;
  w.tracerTrailLength = 6.0f * w.speedFactor;
  w.ammoTrailWidth = 0.05f;
  w.tracerTrailWidth = 0.2f;
  w.ammoTrailAlpha = 128;
  w.tracerTrailAlpha = 255;
  w.tracerColour = 0xFFFF0000;
  return w;
}

inline std::array<SurfaceBallistics, SurfaceClassCount> SampleSurfaces() {
  std::array<SurfaceBallistics, SurfaceClassCount> rows{};
  rows[0] = {0.5f, 0.4f, 0.2f, 0.1f, -1.0f};  // ricochets at grazing angles
  rows[1] = {0.0f, 0.0f, 0.0f, 0.0f, 0.2f};   // pierced
  for (int c = 2; c < SurfaceClassCount; ++c) rows[c] = {0.1f, 0.1f, 0.1f, 0.0f, 0.5f};
  return rows;
}

}  // namespace pellix::testing
