// The INI settings, written once by start-up and read-only afterwards.
#pragma once
#include <cstdint>

#include "startup/profile.h"

namespace pellix {

struct Settings {
  int32_t MaxPellix;     // "PELLIX" "MaxPellix", pool slots
  int32_t weaponCount;   // "MaxWeapon" + 1
  float rangeScale;      // "RangeMult" x 40
  int32_t Gravity;       // on when non-zero
  float gravityScale;    // "GravityMult" x 0.032f
  int32_t AirResist;     // on when non-zero
  int32_t Ricochet;      // on when non-zero
  int32_t Pierce;        // on when non-zero
  int32_t MaxLoop;       // most extra steps of one record in one frame
  float minSpeedScaled;  // "MinSpeed" x 25
  float ColBias;
  float SolidBias;
  int32_t SolidLoop;
  int32_t TracerType;   // 0 host traces, 1 display pass, 2 refraction + display
  int32_t AfterEffect;  // on: trails shrink after their projectile ends
  float TracerBloom;
  float RefractSize;
  float AmRefractLen;
  float TrRefractLen;
  float AmTailBias;
  float TrTailBias;
  // Beyond the 21 keys above, read after them: "GRAPHICS" "TracerBatch", default 1. Non-zero:
  // each pass draws all trails in as few calls as the device allows; 0: one call per trail.
  int32_t TracerBatch;
  // "PELLIX" "Reload", default 0, read last. Non-zero: the files are checked once a second of
  // game clock and read again when they change (startup/reload.h).
  int32_t Reload;
};

extern Settings settings;

// Reads the 21 keys, in their order, from the INI file at `path` into `out`: integers through
// readInt, numbers through readString and the runtime's atof; the scaled ones rounded to float,
// multiplied in double and rounded to float again. A number beyond the float range (or whose
// scaled value is) is stored as an infinity of its sign.
// TracerBatch and Reload, integers, are read after them.
void ReadSettings(const ProfileReader& profile, const char* path, Settings& out);

// The stored value of a scaled number key: float(double(float(value)) * factor).
float ScaleSetting(double value, double factor);

// The refraction length of a trail of this length (time-step units): the length times
// TrRefractLen for a tracer, AmRefractLen otherwise, where a zero length or factor gives no
// refraction even when the other is infinite.
float RefractionLength(float trailLength, bool tracer);

inline constexpr double RangeFactor = 40.0;
inline constexpr double GravityFactor = static_cast<double>(0.032f);  // the factor is a float
inline constexpr double MinSpeedFactor = 25.0;

}  // namespace pellix
