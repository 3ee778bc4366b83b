// The faults of the three files, found and worded as `pellix-lab lint` finds and words them
// (its notes, which change nothing, are left out), without allocating: the reload refuses a
// file with any of them.
#pragma once
#include <cstddef>
#include <cstdint>

#include "startup/tables.h"

namespace pellix {

// The names the faults print: a weapon row's 13 fields (the first as the file gives it, the
// muzzle speed), a surface row's 5, and the surface classes' keys.
extern const char* const weaponFieldNames[13];
extern const char* const surfaceFieldNames[5];
extern const char* const surfaceKeyNames[SurfaceClassCount];

struct FaultSink {
  // One fault: the file's name, its 1-based line (0 for the file as a whole), the reason.
  void (*fault)(void* context, const char* file, int line, const char* reason) = nullptr;
  void* context = nullptr;
};

// Each returns the number of faults it reported. `text` is the file as the reader sees it.
int CheckSettingsFaults(const char* text, size_t size, const FaultSink& sink);
// `filledAt`: scratch of `weaponCount` entries (its contents are overwritten).
int CheckWeaponFaults(const char* text, size_t size, int32_t weaponCount, int32_t* filledAt,
                      const FaultSink& sink);
int CheckSurfaceFaults(const char* text, size_t size, const FaultSink& sink);

}  // namespace pellix
