// The INI settings, written once by start-up and read-only afterwards.
#pragma once
#include <cstdint>

namespace pellix {

struct Settings {
  int32_t MaxPellix;       // "PELLIX" "MaxPellix", pool slots
  int32_t weaponCount;     // "MaxWeapon" + 1
  float rangeScale;        // "RangeMult" x 40
  int32_t Gravity;         // on when non-zero
  float gravityScale;      // "GravityMult" x 0.032f
  int32_t AirResist;       // on when non-zero
  int32_t Ricochet;        // on when non-zero
  int32_t Pierce;          // on when non-zero
  int32_t MaxLoop;         // most extra steps of one record in one frame
  float minSpeedScaled;    // "MinSpeed" x 25
  float ColBias;
  float SolidBias;
  int32_t SolidLoop;
  int32_t TracerType;      // 0 host traces, 1 display pass, 2 refraction + display
  int32_t AfterEffect;     // on: trails shrink after their projectile ends
  float TracerBloom;
  float RefractSize;
  float AmRefractLen;
  float TrRefractLen;
  float AmTailBias;
  float TrTailBias;
};

extern Settings settings;

}  // namespace pellix
