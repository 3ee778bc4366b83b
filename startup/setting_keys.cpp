#include "startup/setting_keys.h"

#include <cstring>

#include "startup/profile_lines.h"

namespace pellix {

#define PELLIX_KEY(section, key, field, integer, factor, fallback) \
  { section, key, integer, offsetof(Settings, field), factor, fallback }

const SettingKey settingKeys[SettingKeyCount] = {
    PELLIX_KEY("PELLIX", "MaxPellix", MaxPellix, true, 1.0, "4096"),
    PELLIX_KEY("PELLIX", "MaxWeapon", weaponCount, true, 1.0, "0"),
    PELLIX_KEY("PHYSICS", "RangeMult", rangeScale, false, RangeFactor, "1.0"),
    PELLIX_KEY("PHYSICS", "Gravity", Gravity, true, 1.0, "0"),
    PELLIX_KEY("PHYSICS", "GravityMult", gravityScale, false, GravityFactor, "1.0"),
    PELLIX_KEY("PHYSICS", "AirResist", AirResist, true, 1.0, "0"),
    PELLIX_KEY("PHYSICS", "Ricochet", Ricochet, true, 1.0, "0"),
    PELLIX_KEY("PHYSICS", "Pierce", Pierce, true, 1.0, "0"),
    PELLIX_KEY("PHYSICS", "MaxLoop", MaxLoop, true, 1.0, "8"),
    PELLIX_KEY("PHYSICS", "MinSpeed", minSpeedScaled, false, MinSpeedFactor, "1.0"),
    PELLIX_KEY("PHYSICS", "ColBias", ColBias, false, 1.0, "0.01"),
    PELLIX_KEY("PHYSICS", "SolidBias", SolidBias, false, 1.0, "0.1"),
    PELLIX_KEY("PHYSICS", "SolidLoop", SolidLoop, true, 1.0, "50"),
    PELLIX_KEY("GRAPHICS", "TracerType", TracerType, true, 1.0, "2"),
    PELLIX_KEY("GRAPHICS", "AfterEffect", AfterEffect, true, 1.0, "2"),
    PELLIX_KEY("GRAPHICS", "TracerBloom", TracerBloom, false, 1.0, "0.001"),
    PELLIX_KEY("GRAPHICS", "RefractSize", RefractSize, false, 1.0, "0.1"),
    PELLIX_KEY("GRAPHICS", "AmRefractLen", AmRefractLen, false, 1.0, "2.0"),
    PELLIX_KEY("GRAPHICS", "TrRefractLen", TrRefractLen, false, 1.0, "1.5"),
    PELLIX_KEY("GRAPHICS", "AmTailBias", AmTailBias, false, 1.0, "-1.0"),
    PELLIX_KEY("GRAPHICS", "TrTailBias", TrTailBias, false, 1.0, "-1.0"),
    PELLIX_KEY("GRAPHICS", "TracerBatch", TracerBatch, true, 1.0, "1"),
    PELLIX_KEY("PELLIX", "Reload", Reload, true, 1.0, "0"),
};

#undef PELLIX_KEY

double SettingValue(const Settings& s, const SettingKey& key) {
  const auto* field = reinterpret_cast<const unsigned char*>(&s) + key.offset;
  if (key.integer) {
    int32_t value;
    std::memcpy(&value, field, sizeof value);
    if (key.offset == offsetof(Settings, weaponCount)) {
      value = static_cast<int32_t>(static_cast<uint32_t>(value) - 1u);
    }
    return value;
  }
  float value;
  std::memcpy(&value, field, sizeof value);
  return static_cast<double>(value) / key.factor;
}

const SettingKey* FindSettingKey(std::string_view name) {
  for (const SettingKey& key : settingKeys) {
    if (SameProfileName(name, key.key)) return &key;
  }
  return nullptr;
}

}  // namespace pellix
