// The keys of pellix.ini in the order start-up reads them, with the Settings field each fills
// and the value it takes when the file does not give it: the list that ReadSettings reads, and
// whose names lint, the reload's checks and its change lines print.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "startup/settings.h"

namespace pellix {

struct SettingKey {
  const char* section;
  const char* key;
  bool integer;
  size_t offset;  // of the field in Settings
  double factor;  // the stored value is the key's value times this (MaxWeapon: plus 1)
  const char* fallback;  // the value without the key, as the file would give it
};

// The 21 keys, then TracerBatch and Reload.
inline constexpr int SettingKeyCount = 23;
extern const SettingKey settingKeys[SettingKeyCount];

// The key's value as the file gave it, from the stored field: MaxWeapon is weaponCount - 1,
// a scaled number its stored value over the factor.
double SettingValue(const Settings& s, const SettingKey& key);

// The key of this name, in any letter case as the profile functions match it; null for none.
const SettingKey* FindSettingKey(std::string_view name);

}  // namespace pellix
