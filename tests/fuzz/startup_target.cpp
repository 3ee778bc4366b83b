// The whole start-up over an INI file and two data files from the input, in a folder of their
// own: settings, tables and pool, or a clean stop.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

#include "sim/pool.h"
#include "startup/profile.h"
#include "startup/settings.h"
#include "startup/startup.h"
#include "startup/tables.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_targets.h"
#include "tests/fuzz/pool_invariants.h"

namespace pellix::fuzz {
namespace {

// Separates the three files in the input.
constexpr char kSeparator[] = "\n#%#\n";
// A pool or table beyond this is refused like a failed allocation: the stop is what is tested,
// not the machine's memory.
constexpr size_t kAllocationLimit = 8u << 20;

size_t allocations = 0;
void* LimitedCalloc(size_t count, size_t size) {
  if (size != 0 && count > kAllocationLimit / size) return nullptr;
  ++allocations;
  return std::calloc(count, size);
}

int hooksInstalled = 0;
int InstallHooks() {
  ++hooksInstalled;
  return 0;
}

bool WriteFile(const std::filesystem::path& path, const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(path.string().c_str(), "wb");
  if (!file) return false;
  const bool ok = size == 0 || std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && ok;
}

// Part `index` of the input's three parts.
void Part(const uint8_t* data, size_t size, int index, const uint8_t** out, size_t* outSize) {
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  size_t start = 0;
  for (int i = 0; i < index; ++i) {
    const size_t next = all.find(kSeparator, start);
    if (next == std::string_view::npos) {
      start = size;
      break;
    }
    start = next + sizeof kSeparator - 1;
  }
  size_t end = all.find(kSeparator, start);
  if (end == std::string_view::npos) end = size;
  *out = data + start;
  *outSize = end - start;
}

const char* Check(const StartupResult& result) {
  if (result.outcome != StartupOutcome::Started) {
    if (hooksInstalled != 0) return "hooks installed after a stop";
    return nullptr;
  }
  if (hooksInstalled != 1) return "started without installing the hooks once";
  if (settings.MaxPellix < 1 || settings.weaponCount < 1) return "started with an empty pool";
  if (!weaponTable || !surfaceTable || !pool.projectileArray || !pool.trailArray ||
      !pool.extraArray) {
    return "started without a table or the pool";
  }
  if (pool.projectileArrayEnd != pool.projectileArray + settings.MaxPellix ||
      pool.trailArrayEnd != pool.trailArray + settings.MaxPellix || pool.nextSlot != 0) {
    return "pool bounds do not match MaxPellix";
  }
  for (int32_t i = 0; i < settings.weaponCount; ++i) {
    if (const char* fault = CheckRow(weaponTable[i])) return fault;
  }
  for (int32_t c = 0; c < SurfaceClassCount; ++c) {
    if (const char* fault = CheckRow(surfaceTable[c])) return fault;
  }
  return nullptr;
}

}  // namespace

int32_t lastStartupOutcome = -1;

const char* FuzzStartup(const uint8_t* data, size_t size) {
  static const unsigned process = std::random_device{}();
  static unsigned counter = 0;
  std::error_code error;
  std::filesystem::path temp = std::filesystem::temp_directory_path(error);
  if (error) temp = std::filesystem::current_path();
  const std::filesystem::path folder =
      temp / ("pellix_fuzz_" + std::to_string(process) + "_" + std::to_string(++counter));
  if (!std::filesystem::create_directory(folder, error)) return nullptr;

  const char* names[3] = {"pellix.ini", "pellix_weapon.dat", "pellix_surface.dat"};
  bool written = true;
  for (int i = 0; i < 3; ++i) {
    const uint8_t* part = nullptr;
    size_t partSize = 0;
    Part(data, size, i, &part, &partSize);
    // An empty last part leaves that file out: start-up must stop without it.
    if (partSize == 0 && i == 2) continue;
    written = WriteFile(folder / names[i], part, partSize) && written;
  }

  const char* fault = nullptr;
  lastStartupOutcome = -1;
  if (written) {
    // The executable's path in the host's form: the folder, a backslash, the file name.
    std::string exe = folder.string();
    for (char& c : exe) {
      if (c == '/') c = '\\';
    }
    exe += "\\game.exe";
    StartupPlatform platform;
    platform.executablePath = exe.c_str();
    platform.profile = SystemProfile();
    platform.openFile = OpenPlatformFile;
    platform.allocate = LimitedCalloc;
    platform.installHooks = InstallHooks;
    hooksInstalled = 0;
    allocations = 0;
    StartupLog log;
    const StartupResult result = RunStartup(platform, log);
    lastStartupOutcome = static_cast<int32_t>(result.outcome);
    fault = Check(result);
    if (log.length >= StartupLog::Capacity) fault = "start-up log ran past its buffer";
    ReleaseStartupData();
    settings = Settings{};
  }
  std::filesystem::remove_all(folder, error);
  return fault;
}

}  // namespace pellix::fuzz
