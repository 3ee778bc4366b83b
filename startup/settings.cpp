#include "startup/settings.h"

#include "sim/vec3.h"
#include "startup/runtime_text.h"

namespace pellix {

Settings settings{};

float ScaleSetting(double value, double factor) {
  return static_cast<float>(static_cast<double>(static_cast<float>(value)) * factor);
}

float RefractionLength(float trailLength, bool tracer) {
  return ZeroWinsProduct(trailLength, tracer ? settings.TrRefractLen : settings.AmRefractLen);
}

namespace {

constexpr uint32_t NumberBufferSize = 1024;

struct Reader {
  const ProfileReader& profile;
  const char* path;

  int32_t Int(const char* section, const char* key, int32_t fallback) const {
    return profile.readInt(section, key, fallback, path);
  }
  // atof of the value. A value beyond the float range is kept as read: it becomes an infinity
  // of its sign where it is stored, so that comparisons and signs keep their meaning.
  double Number(const char* section, const char* key, const char* fallback) const {
    char text[NumberBufferSize];
    text[0] = '\0';
    profile.readString(section, key, fallback, text, NumberBufferSize, path);
    text[NumberBufferSize - 1] = '\0';
    return RuntimeAtof(text);
  }
  float Scaled(const char* section, const char* key, const char* fallback, double factor) const {
    return ScaleSetting(Number(section, key, fallback), factor);
  }
};

}  // namespace

void ReadSettings(const ProfileReader& profile, const char* path, Settings& out) {
  const Reader r{profile, path};
  out.MaxPellix = r.Int("PELLIX", "MaxPellix", 4096);
  // Wraps instead of overflowing; start-up refuses any count below 1.
  out.weaponCount =
      static_cast<int32_t>(static_cast<uint32_t>(r.Int("PELLIX", "MaxWeapon", 0)) + 1u);
  out.rangeScale = r.Scaled("PHYSICS", "RangeMult", "1.0", RangeFactor);
  out.Gravity = r.Int("PHYSICS", "Gravity", 0);
  out.gravityScale = r.Scaled("PHYSICS", "GravityMult", "1.0", GravityFactor);
  out.AirResist = r.Int("PHYSICS", "AirResist", 0);
  out.Ricochet = r.Int("PHYSICS", "Ricochet", 0);
  out.Pierce = r.Int("PHYSICS", "Pierce", 0);
  out.MaxLoop = r.Int("PHYSICS", "MaxLoop", 8);
  out.minSpeedScaled = r.Scaled("PHYSICS", "MinSpeed", "1.0", MinSpeedFactor);
  out.ColBias = static_cast<float>(r.Number("PHYSICS", "ColBias", "0.01"));
  out.SolidBias = static_cast<float>(r.Number("PHYSICS", "SolidBias", "0.1"));
  out.SolidLoop = r.Int("PHYSICS", "SolidLoop", 50);
  out.TracerType = r.Int("GRAPHICS", "TracerType", 2);
  out.AfterEffect = r.Int("GRAPHICS", "AfterEffect", 2);
  out.TracerBloom = static_cast<float>(r.Number("GRAPHICS", "TracerBloom", "0.001"));
  out.RefractSize = static_cast<float>(r.Number("GRAPHICS", "RefractSize", "0.1"));
  out.AmRefractLen = static_cast<float>(r.Number("GRAPHICS", "AmRefractLen", "2.0"));
  out.TrRefractLen = static_cast<float>(r.Number("GRAPHICS", "TrRefractLen", "1.5"));
  out.AmTailBias = static_cast<float>(r.Number("GRAPHICS", "AmTailBias", "-1.0"));
  out.TrTailBias = static_cast<float>(r.Number("GRAPHICS", "TrTailBias", "-1.0"));
  out.TracerBatch = r.Int("GRAPHICS", "TracerBatch", 1);
  out.Reload = r.Int("PELLIX", "Reload", 0);
}

}  // namespace pellix
