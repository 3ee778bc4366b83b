#include "startup/startup.h"

#include <cstdlib>
#include <cstring>

#include "pellix_version.h"
#include "startup/data_paths.h"
#include "startup/reload.h"
#include "startup/settings.h"
#include "startup/tables.h"

namespace pellix {
namespace {

template <typename Row>
int32_t CountFilledRows(const Row* rows, int32_t count) {
  int32_t filled = 0;
  for (int32_t i = 0; i < count; ++i) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&rows[i]);
    for (size_t b = 0; b < sizeof(Row); ++b) {
      if (bytes[b] != 0) {
        ++filled;
        break;
      }
    }
  }
  return filled;
}

StartupResult Stop(StartupResult result, StartupOutcome outcome, StartupLog& log) {
  result.outcome = outcome;
  log.Line("stopped: %s; no hook installed, the game runs without the plug-in",
           DescribeOutcome(outcome));
  return result;
}

}  // namespace

const char* DescribeOutcome(StartupOutcome outcome) {
  switch (outcome) {
    case StartupOutcome::Started:
      return "started";
    case StartupOutcome::PathTooLong:
      return "the game folder's path is too long";
    case StartupOutcome::PoolSizeInvalid:
      return "MaxPellix must be at least 1";
    case StartupOutcome::WeaponCountInvalid:
      return "MaxWeapon must be 0 or more";
    case StartupOutcome::OutOfMemory:
      return "not enough memory for the tables or the pool";
    case StartupOutcome::WeaponFileMissing:
      return "the weapon file cannot be opened";
    case StartupOutcome::SurfaceFileMissing:
      return "the surface file cannot be opened";
  }
  return "unknown";
}

StartupResult RunStartup(const StartupPlatform& platform, StartupLog& log) {
  StartupResult result;
  settings = Settings{};
  settingsPath[0] = '\0';

  log.Line("Pellix %s", PELLIX_VERSION);  // which build wrote the log

  // Step 1: the executable's folder and the INI path.
  if (!platform.executablePath || !SetDataFolder(platform.executablePath)) {
    return Stop(result, StartupOutcome::PathTooLong, log);
  }
  log.Line("data folder: %s", dataFolder);
  if (!BuildDataPath(settingsPath, SettingsFileName)) {
    log.Line("no room for \"%s\" after the folder name", SettingsFileName + 1);
    return Stop(result, StartupOutcome::PathTooLong, log);
  }

  // Step 2: the settings; a missing file or key gives the defaults.
  if (std::FILE* file = platform.openFile(settingsPath, "r")) {
    result.settingsFileFound = true;
    std::fclose(file);
  }
  log.Line("settings: %s%s", settingsPath,
           result.settingsFileFound ? "" : " (not found: every setting at its default)");
  ReadSettings(platform.profile, settingsPath, settings);
  log.Line("MaxPellix %d, MaxWeapon %d", static_cast<int>(settings.MaxPellix),
           static_cast<int>(static_cast<uint32_t>(settings.weaponCount) - 1u));
  if (settings.MaxPellix < 1) return Stop(result, StartupOutcome::PoolSizeInvalid, log);
  if (settings.weaponCount < 1) return Stop(result, StartupOutcome::WeaponCountInvalid, log);

  // Step 3: the weapon table, zero-filled before the file is opened.
  char path[PathBufferSize];
  weaponTable = static_cast<WeaponBallistics*>(
      platform.allocate(static_cast<size_t>(settings.weaponCount), sizeof(WeaponBallistics)));
  if (!weaponTable) return Stop(result, StartupOutcome::OutOfMemory, log);
  if (!BuildDataPath(path, WeaponFileName)) {
    log.Line("no room for \"%s\" after the folder name", WeaponFileName + 1);
    return Stop(result, StartupOutcome::PathTooLong, log);
  }
  std::FILE* weapons = platform.openFile(path, "r");
  if (!weapons) {
    log.Line("weapons: cannot open %s", path);
    return Stop(result, StartupOutcome::WeaponFileMissing, log);
  }
  ReadWeaponFile(weapons, weaponTable, settings.weaponCount);
  std::fclose(weapons);
  result.weaponFileRead = true;
  result.weaponRowsFilled = CountFilledRows(weaponTable, settings.weaponCount);
  log.Line("weapons: %s: %d of %d rows filled", path, static_cast<int>(result.weaponRowsFilled),
           static_cast<int>(settings.weaponCount));
  if (weaponTable[0].speedFactor == 0.0f) {
    log.Line("warning: weapon row 0 gives no muzzle speed: no shot of type 0, or of a type above "
             "MaxWeapon (which use row 0), can fly");
  }

  // Step 4: the surface table.
  surfaceTable = static_cast<SurfaceBallistics*>(
      platform.allocate(static_cast<size_t>(SurfaceClassCount), sizeof(SurfaceBallistics)));
  if (!surfaceTable) return Stop(result, StartupOutcome::OutOfMemory, log);
  if (!BuildDataPath(path, SurfaceFileName)) {
    log.Line("no room for \"%s\" after the folder name", SurfaceFileName + 1);
    return Stop(result, StartupOutcome::PathTooLong, log);
  }
  std::FILE* surfaces = platform.openFile(path, "r");
  if (!surfaces) {
    log.Line("surfaces: cannot open %s", path);
    return Stop(result, StartupOutcome::SurfaceFileMissing, log);
  }
  ReadSurfaceFile(surfaces, surfaceTable);
  std::fclose(surfaces);
  result.surfaceFileRead = true;
  result.surfaceRowsFilled = CountFilledRows(surfaceTable, SurfaceClassCount);
  log.Line("surfaces: %s: %d of %d rows filled", path, static_cast<int>(result.surfaceRowsFilled),
           static_cast<int>(SurfaceClassCount));

  // Step 5: the pool.
  if (!AllocatePool(settings.MaxPellix, platform.allocate)) {
    return Stop(result, StartupOutcome::OutOfMemory, log);
  }
  log.Line("pool: %d slots", static_cast<int>(settings.MaxPellix));

  // With Reload=1, the spare copies that later reads go into (or a line on why there are none).
  if (settings.Reload != 0) {
    PrepareReload(platform.files, platform.profile, platform.allocate, log, log);
  }

  // Step 6: the hooks. A Reset call without the wrapper resets the device with the batch's
  // default-pool buffers still alive, and fails: then the tracers are drawn one at a time. With
  // Reload=1 a reload may turn tracers on later, so it is so whatever TracerType says now, and
  // a reload keeps TracerBatch at 0.
  const int resetSitesSkipped = platform.installHooks ? platform.installHooks() : 0;
  const bool tracersMayDraw = settings.TracerType > 0 || settings.Reload != 0;
  if (resetSitesSkipped > 0 && tracersMayDraw && settings.TracerBatch != 0) {
    settings.TracerBatch = 0;
    log.Line("%d of 4 Reset sites skipped: tracers drawn one trail at a time (TracerBatch 0)",
             resetSitesSkipped);
  }
  if (resetSitesSkipped > 0 && settings.Reload != 0) HoldTracerBatchOff();
  result.outcome = StartupOutcome::Started;
  log.Line("started");
  return result;
}

void ReleaseStartupData() {
  ReleaseReload();
  std::free(weaponTable);
  std::free(surfaceTable);
  std::free(pool.projectileArray);
  std::free(pool.trailArray);
  std::free(pool.extraArray);
  weaponTable = nullptr;
  surfaceTable = nullptr;
  pool = ProjectilePool{};
}

}  // namespace pellix
