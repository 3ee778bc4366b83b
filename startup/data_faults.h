// The faults of the three files, found and worded as `pellix-lab lint` finds and words them
// (its notes, which change nothing, are left out), without allocating: the reload refuses a
// file with any of them.
#pragma once
#include <cstddef>
#include <cstdint>

namespace pellix {

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
