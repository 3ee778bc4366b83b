// The keys of pellix.ini in the order start-up reads them, with the Settings field each fills:
// the names that the reload's checks and its change lines print.
#pragma once
#include <cstddef>
#include <cstdint>

#include "startup/settings.h"

namespace pellix {

struct SettingKey {
  const char* section;
  const char* key;
  bool integer;
  size_t offset;  // of the field in Settings
  double factor;  // the stored value is the key's value times this (MaxWeapon: plus 1)
};

// The 21 keys, then TracerBatch and Reload.
inline constexpr int SettingKeyCount = 23;
extern const SettingKey settingKeys[SettingKeyCount];

// The key's value as the file gave it, from the stored field: MaxWeapon is weaponCount - 1,
// a scaled number its stored value over the factor.
double SettingValue(const Settings& s, const SettingKey& key);

}  // namespace pellix
