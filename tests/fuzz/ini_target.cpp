// The settings reader over an arbitrary INI file: every key through the platform's profile
// functions, with text buffers from 0 to 39 chars.
#include <cstring>
#include <memory>

#include "startup/profile.h"
#include "startup/settings.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_targets.h"
#include "tests/fuzz/temp_file.h"

namespace pellix::fuzz {
namespace {

struct Key {
  const char* section;
  const char* name;
};
constexpr Key kKeys[] = {
    {"PELLIX", "MaxPellix"},      {"PELLIX", "MaxWeapon"},     {"PHYSICS", "RangeMult"},
    {"PHYSICS", "Gravity"},       {"PHYSICS", "GravityMult"},  {"PHYSICS", "AirResist"},
    {"PHYSICS", "Ricochet"},      {"PHYSICS", "Pierce"},       {"PHYSICS", "MaxLoop"},
    {"PHYSICS", "MinSpeed"},      {"PHYSICS", "ColBias"},      {"PHYSICS", "SolidBias"},
    {"PHYSICS", "SolidLoop"},     {"GRAPHICS", "TracerType"},  {"GRAPHICS", "AfterEffect"},
    {"GRAPHICS", "TracerBloom"},  {"GRAPHICS", "RefractSize"}, {"GRAPHICS", "AmRefractLen"},
    {"GRAPHICS", "TrRefractLen"}, {"GRAPHICS", "AmTailBias"},  {"GRAPHICS", "TrTailBias"},
    {"GRAPHICS", "TracerBatch"},  {"PELLIX", "Reload"},
};

constexpr uint8_t kGuard = 0xA5;
constexpr uint32_t kGuardBytes = 8;

}  // namespace

const char* FuzzSettingsFile(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const uint32_t bufferSize = in.Byte() % 40;
  size_t fileSize = 0;
  const uint8_t* file = in.Rest(&fileSize);
  const TempFile ini(".ini", file, fileSize);
  if (!ini.ok()) return nullptr;  // no room to write: nothing to test
  const ProfileReader profile = SystemProfile();

  // The whole reader, twice: the same file gives the same settings.
  Settings first{}, second{};
  ReadSettings(profile, ini.path(), first);
  ReadSettings(profile, ini.path(), second);
  if (std::memcmp(&first, &second, sizeof first) != 0) return "settings differ between two reads";

  // Text reads into a buffer of exactly bufferSize chars, followed by guard bytes that the
  // reader must not touch (a sanitizer build also sees any access past the buffer).
  const std::unique_ptr<char[]> buffer(new char[bufferSize + kGuardBytes]);
  for (const Key& key : kKeys) {
    std::memset(buffer.get(), kGuard, bufferSize + kGuardBytes);
    const uint32_t n =
        profile.readString(key.section, key.name, "fallback", buffer.get(), bufferSize, ini.path());
    for (uint32_t g = 0; g < kGuardBytes; ++g) {
      if (static_cast<uint8_t>(buffer[bufferSize + g]) != kGuard) return "text read overran";
    }
    if (bufferSize == 0) continue;
    if (n >= bufferSize) return "text read count not below the buffer size";
    if (buffer[n] != '\0') return "text read not terminated at its count";
    profile.readInt(key.section, key.name, -7, ini.path());
  }
  return nullptr;
}

}  // namespace pellix::fuzz
