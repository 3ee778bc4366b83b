// The platform pieces that start-up reads through: the profile functions and file opening.
// 32-bit Windows binds the real kernel32 functions; the native build has its own reader that
// gives the same results (see profile_native.cpp).
#pragma once
#include <cstdint>
#include <cstdio>

namespace pellix {

struct ProfileReader {
  // GetPrivateProfileIntA: the key's value as an integer, `fallback` when missing or empty.
  int32_t (*readInt)(const char* section, const char* key, int32_t fallback, const char* path);
  // GetPrivateProfileStringA: copies the value (or `fallback`) into `out` of `size` chars and
  // returns the number of chars copied, without the terminator.
  uint32_t (*readString)(const char* section, const char* key, const char* fallback, char* out,
                         uint32_t size, const char* path);
};

// The profile functions of this platform.
ProfileReader SystemProfile();

// Opens a file named by a Windows-style path (backslash separators); null when it cannot be
// opened. The mode is fopen's.
std::FILE* OpenPlatformFile(const char* path, const char* mode);

// Turns a Windows-style path into this platform's form in place (no change on Windows).
void ToPlatformPath(char* path);

}  // namespace pellix
