#include "tests/fuzz/fuzz_setup.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "startup/settings.h"

namespace pellix::fuzz {

float FiniteValue(FuzzInput& in, float range) {
  const float x = in.Float(range);
  if (std::isfinite(x)) return x;
  return std::signbit(x) ? -FLT_MAX : FLT_MAX;
}

float StoredValue(FuzzInput& in, float range) {
  const float x = in.Float(range);
  return std::isnan(x) ? std::copysign(INFINITY, x) : x;
}

void ReadFuzzSettings(FuzzInput& in, int32_t maxSlots, int32_t maxWeapons, int32_t maxSolidLoop) {
  settings = Settings{};
  settings.MaxPellix = 1 + in.Byte() % maxSlots;
  settings.weaponCount = 1 + in.Byte() % maxWeapons;
  settings.rangeScale = StoredValue(in, 1000.0f);
  settings.Gravity = in.Bool();
  settings.gravityScale = StoredValue(in, 1.0f);
  settings.AirResist = in.Bool();
  settings.Ricochet = in.Bool();
  settings.Pierce = in.Bool();
  settings.MaxLoop = in.Take<int8_t>();
  settings.minSpeedScaled = StoredValue(in, 50.0f);
  settings.ColBias = StoredValue(in, 1.0f);
  settings.SolidBias = StoredValue(in, 1.0f);
  settings.SolidLoop = std::min<int32_t>(in.Take<int16_t>(), maxSolidLoop);
  settings.TracerType = static_cast<int32_t>(in.Byte() % 4) - 1;
  settings.AfterEffect = in.Bool();
  settings.AmRefractLen = StoredValue(in, 4.0f);
  settings.TrRefractLen = StoredValue(in, 4.0f);
  settings.TracerBloom = 0.001f;
  settings.RefractSize = 0.1f;
  settings.AmTailBias = -1.0f;
  settings.TrTailBias = -1.0f;
}

void ReadFuzzRows(FuzzInput& in, WeaponBallistics* weapons, SurfaceBallistics* surfaces) {
  for (int32_t i = 0; i < settings.weaponCount; ++i) {
    WeaponBallistics& w = weapons[i];
    w.speedFactor = FiniteValue(in, 2.0f);
    w.dragAlong = StoredValue(in, 2.0f);
    w.dragAcross = StoredValue(in, 2.0f);
    w.pierceCost = StoredValue(in, 5.0f);
    w.ricochetBonus = StoredValue(in, 2.0f);
    w.tracerEvery = in.Take<int8_t>();
    w.ammoTrailLength = StoredValue(in, 20.0f);
    w.tracerTrailLength = StoredValue(in, 20.0f);
    w.ammoTrailWidth = StoredValue(in, 1.0f);
    w.tracerTrailWidth = StoredValue(in, 1.0f);
    w.ammoTrailAlpha = in.Take<int16_t>();
    w.tracerTrailAlpha = in.Take<int16_t>();
    w.tracerColour = in.Take<uint32_t>();
  }
  for (int32_t c = 0; c < SurfaceClassCount; ++c) {
    SurfaceBallistics& s = surfaces[c];
    s.ricochetThreshold = StoredValue(in, 2.0f);
    s.ricochetAngleLoss = StoredValue(in, 2.0f);
    s.ricochetKeep = StoredValue(in, 2.0f);
    s.ricochetScatter = StoredValue(in, 2.0f);
    s.pierceResistance = StoredValue(in, 4.0f);
  }
}

}  // namespace pellix::fuzz
