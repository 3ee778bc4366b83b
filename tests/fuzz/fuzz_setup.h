// Settings and table rows taken from a fuzz input, shared by the simulation targets.
#pragma once
#include <cstdint>

#include "startup/tables.h"
#include "tests/fuzz/fuzz_input.h"

namespace pellix::fuzz {

// A finite value: usually in [-range, range], sometimes any finite bit pattern.
float FiniteValue(FuzzInput& in, float range);
// A value as start-up can store it: the same, or an infinity of either sign, but never NaN.
float StoredValue(FuzzInput& in, float range);

// Fills `settings`: MaxPellix 1 to maxSlots, weaponCount 1 to maxWeapons, SolidLoop at most
// maxSolidLoop (a bound that keeps one case fast); the rest as the INI file can give them.
void ReadFuzzSettings(FuzzInput& in, int32_t maxSlots, int32_t maxWeapons, int32_t maxSolidLoop);

// Fills settings.weaponCount weapon rows and the seven surface rows with any numbers that the
// data files can give them: infinities too, but a finite speedFactor.
void ReadFuzzRows(FuzzInput& in, WeaponBallistics* weapons, SurfaceBallistics* surfaces);

}  // namespace pellix::fuzz
