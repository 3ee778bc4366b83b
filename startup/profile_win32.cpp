// The real profile functions of kernel32.
#include <windows.h>

#include "startup/profile.h"

namespace pellix {
namespace {

int32_t ReadInt(const char* section, const char* key, int32_t fallback, const char* path) {
  return static_cast<int32_t>(GetPrivateProfileIntA(section, key, fallback, path));
}

uint32_t ReadString(const char* section, const char* key, const char* fallback, char* out,
                    uint32_t size, const char* path) {
  return GetPrivateProfileStringA(section, key, fallback, out, size, path);
}

}  // namespace

ProfileReader SystemProfile() { return {ReadInt, ReadString}; }

std::FILE* OpenPlatformFile(const char* path, const char* mode) { return std::fopen(path, mode); }

void ToPlatformPath(char*) {}

}  // namespace pellix
