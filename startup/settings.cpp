#include "startup/settings.h"

#include <cstdlib>
#include <cstring>

#include "sim/vec3.h"
#include "startup/runtime_text.h"
#include "startup/setting_keys.h"

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
  for (const SettingKey& key : settingKeys) {
    auto* field = reinterpret_cast<unsigned char*>(&out) + key.offset;
    if (key.integer) {
      int32_t value = r.Int(key.section, key.key, std::atoi(key.fallback));
      // MaxWeapon is stored as the table's size; it wraps instead of overflowing, and start-up
      // refuses any count below 1.
      if (key.offset == offsetof(Settings, weaponCount)) {
        value = static_cast<int32_t>(static_cast<uint32_t>(value) + 1u);
      }
      std::memcpy(field, &value, sizeof value);
    } else {
      // A factor of 1 leaves the float of the number as it is.
      const float value = r.Scaled(key.section, key.key, key.fallback, key.factor);
      std::memcpy(field, &value, sizeof value);
    }
  }
}

}  // namespace pellix
