// Stored values put back into the terms of the files they came from: INI key names and the
// values as written there, the muzzle speed and trail lengths in world units as
// pellix_weapon.dat gives them, a surface's angle loss before start-up halves it. What a
// modder edits is what `diff` compares and prints.
#pragma once
#include <nlohmann/json.hpp>

#include "startup/settings.h"
#include "startup/tables.h"

namespace pellix::lab {

// Every setting by its INI key: MaxWeapon, RangeMult, GravityMult and MinSpeed as the INI
// gives them instead of weaponCount and the scaled values.
nlohmann::ordered_json SettingsInFileTerms(const Settings& settings);
// A weapon row's 13 values as its line gives them (muzzleSpeed first; the colour as 0x text).
nlohmann::ordered_json WeaponInFileTerms(const WeaponBallistics& row);
// A surface row's 5 values as its line gives them.
nlohmann::ordered_json SurfaceInFileTerms(const SurfaceBallistics& row);

}  // namespace pellix::lab
