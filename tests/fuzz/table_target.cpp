// The weapon and surface readers over arbitrary file contents, whole and line by line, from the
// file and from memory (as a reload reads them), and the reload's fault checks.
#include <cstring>
#include <memory>
#include <vector>

#include "startup/data_faults.h"
#include "startup/file_access.h"
#include "startup/profile.h"
#include "startup/tables.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_targets.h"
#include "tests/fuzz/pool_invariants.h"
#include "tests/fuzz/temp_file.h"

namespace pellix::fuzz {
namespace {

constexpr int32_t kGuardRows = 2;
constexpr uint8_t kGuard = 0xA5;

bool GuardIntact(const void* rows, size_t bytes) {
  const auto* p = static_cast<const uint8_t*>(rows);
  for (size_t i = 0; i < bytes; ++i) {
    if (p[i] != kGuard) return false;
  }
  return true;
}

// The reload's reading from memory gives the tables the start-up stream reader gives, and its
// fault checks take any bytes.
const char* ReadFromMemory(const uint8_t* data, size_t size, const WeaponBallistics* weapons,
                           int32_t count, const SurfaceBallistics* surfaces) {
  // The bytes as the runtime's stream hands them over (text mode on Windows).
  std::vector<char> bytes(data, data + size);
  if (SystemFileAccess().textMode) size = ToRuntimeText(bytes.data(), size);
  const char* text = bytes.data();
  std::vector<WeaponBallistics> fromMemory(count);
  ReadWeaponText(text, size, fromMemory.data(), count);
  if (std::memcmp(fromMemory.data(), weapons, count * sizeof(WeaponBallistics)) != 0) {
    return "weapon rows read from memory differ from the file's";
  }
  SurfaceBallistics surfacesFromMemory[SurfaceClassCount] = {};
  ReadSurfaceText(text, size, surfacesFromMemory);
  if (std::memcmp(surfacesFromMemory, surfaces, sizeof surfacesFromMemory) != 0) {
    return "surface rows read from memory differ from the file's";
  }
  std::vector<int32_t> filledAt(count);
  CheckWeaponFaults(text, size, count, filledAt.data(), FaultSink{});
  CheckSurfaceFaults(text, size, FaultSink{});
  CheckSettingsFaults(text, size, FaultSink{});
  return nullptr;
}

const char* ReadWhole(const char* path, int32_t count, const uint8_t* data, size_t size) {
  std::vector<WeaponBallistics> weapons(count + kGuardRows);
  std::memset(weapons.data() + count, kGuard, kGuardRows * sizeof(WeaponBallistics));
  if (std::FILE* file = OpenPlatformFile(path, "r")) {
    ReadWeaponFile(file, weapons.data(), count);
    std::fclose(file);
  }
  if (!GuardIntact(weapons.data() + count, kGuardRows * sizeof(WeaponBallistics))) {
    return "weapon reader wrote past its rows";
  }
  for (int32_t i = 0; i < count; ++i) {
    if (const char* fault = CheckRow(weapons[i])) return fault;
  }

  SurfaceBallistics surfaces[SurfaceClassCount + kGuardRows] = {};
  std::memset(surfaces + SurfaceClassCount, kGuard, kGuardRows * sizeof(SurfaceBallistics));
  if (std::FILE* file = OpenPlatformFile(path, "r")) {
    ReadSurfaceFile(file, surfaces);
    std::fclose(file);
  }
  if (!GuardIntact(surfaces + SurfaceClassCount, kGuardRows * sizeof(SurfaceBallistics))) {
    return "surface reader wrote past its rows";
  }
  for (int32_t i = 0; i < SurfaceClassCount; ++i) {
    if (const char* fault = CheckRow(surfaces[i])) return fault;
  }
  return ReadFromMemory(data, size, weapons.data(), count, surfaces);
}

// Each line on its own, in a buffer of exactly its size.
const char* ReadLines(const uint8_t* data, size_t size, int32_t count) {
  std::vector<WeaponBallistics> weapons(count);
  SurfaceBallistics surfaces[SurfaceClassCount] = {};
  size_t start = 0;
  while (start < size) {
    // As fgets leaves them: at most TableLineSize - 1 chars, the line end kept on the line.
    size_t end = start;
    while (end < size && data[end] != '\n' && end - start < TableLineSize - 1) ++end;
    if (end < size && data[end] == '\n' && end - start < TableLineSize - 1) ++end;
    const size_t length = end - start;
    const std::unique_ptr<char[]> line(new char[length + 1]);
    std::memcpy(line.get(), data + start, length);
    line[length] = '\0';
    const int32_t cls = SurfaceClassOfLine(line.get());
    if (cls < -1 || cls >= SurfaceClassCount) return "surface class out of range";
    ReadWeaponLine(line.get(), weapons.data(), count);
    ReadSurfaceLine(line.get(), surfaces);
    start = end;
  }
  return nullptr;
}

}  // namespace

const char* FuzzTableFiles(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const int32_t count = 1 + in.Byte() % 48;
  size_t fileSize = 0;
  const uint8_t* file = in.Rest(&fileSize);
  if (const char* fault = ReadLines(file, fileSize, count)) return fault;
  const TempFile temp(".dat", file, fileSize);
  if (!temp.ok()) return nullptr;
  return ReadWhole(temp.path(), count, file, fileSize);
}

}  // namespace pellix::fuzz
