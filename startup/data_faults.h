// The faults of the three files, found and worded as `pellix-lab lint` finds and words them
// (its warnings and notes, which refuse nothing, are left out), without allocating: the reload
// refuses a file with any of them.
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

// A line as a finding quotes it: its line end dropped, control chars and bytes beyond ASCII as
// \xNN (a byte-order mark or a NUL shows), cut after 100 chars with "...".
inline constexpr size_t QuotedTextSize = 100 * 4 + 3 + 1;
void QuoteText(const char* text, size_t size, char (&out)[QuotedTextSize]);

// The number of white-space-separated words of a line, as the scans split it.
int CountWords(const char* line);

struct FaultSink {
  // One fault: the file's name, its 1-based line (0 for the file as a whole), the reason.
  void (*fault)(void* context, const char* file, int line, const char* reason) = nullptr;
  void* context = nullptr;
};

// Each returns the number of faults it reported. `text` is the file as the reader sees it: the
// settings file as it is on disk, a data file as the runtime's text mode hands it over.
int CheckSettingsFaults(const char* text, size_t size, const FaultSink& sink);
// `filledAt`: scratch of `weaponCount` entries (its contents are overwritten).
int CheckWeaponFaults(const char* text, size_t size, int32_t weaponCount, int32_t* filledAt,
                      const FaultSink& sink);
int CheckSurfaceFaults(const char* text, size_t size, const FaultSink& sink);

}  // namespace pellix
