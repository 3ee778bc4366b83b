// Start-up: settings, the two tables, the pool, then the hooks. Portable: the platform pieces
// come in as arguments, so the same sequence runs in the library and in tests and tools.
#pragma once
#include <cstdint>
#include <cstdio>

#include "sim/pool.h"
#include "startup/file_access.h"
#include "startup/profile.h"
#include "startup/startup_log.h"

namespace pellix {

struct StartupPlatform {
  // The executable's full path as GetModuleFileNameA gives it; null when it did not fit.
  const char* executablePath = nullptr;
  ProfileReader profile{};
  std::FILE* (*openFile)(const char* path, const char* mode) = nullptr;
  ZeroAllocator allocate = CallocZeroed;
  // Step 6; null where there is no host (tools). Returns the Reset sites left unhooked.
  int (*installHooks)() = nullptr;
  FileAccess files{};  // for Reload=1; without it the files are read once
};

enum class StartupOutcome : int32_t {
  Started,
  PathTooLong,         // the executable's path or a file name does not fit the path buffer
  PoolSizeInvalid,     // MaxPellix below 1
  WeaponCountInvalid,  // MaxWeapon negative (or so large that MaxWeapon + 1 wraps)
  OutOfMemory,         // a table or the pool could not be allocated
  WeaponFileMissing,
  SurfaceFileMissing,
};

struct StartupResult {
  StartupOutcome outcome = StartupOutcome::PathTooLong;
  bool settingsFileFound = false;
  bool weaponFileRead = false;
  bool surfaceFileRead = false;
  int32_t weaponRowsFilled = 0;  // rows with any non-zero field
  int32_t surfaceRowsFilled = 0;
};

// Runs steps 1 to 6. When it stops early nothing after the failed step runs: in particular no
// hook is installed, so the host runs unchanged. Every step and the reason of a stop go to `log`.
StartupResult RunStartup(const StartupPlatform& platform, StartupLog& log);

const char* DescribeOutcome(StartupOutcome outcome);

// Frees the tables, the pool and the reload's spare copies and zeroes their pointers. The
// library never calls it (nothing is torn down); tests and tools that run start-up more than
// once do.
void ReleaseStartupData();

}  // namespace pellix
