// A recording stand-in for the host game, for unit tests.
//
// Constructing a FakeHost fills `pellix::host` with fakes and makes it the current fake;
// destroying it empties `pellix::host` again. Only one FakeHost may live at a time.
//
// - Every host routine call is appended to `calls` with all of its arguments, in call order
//   (see HostCall for what each kind keeps). `Count(kind)` and `Calls(kind)` filter them.
// - Host memory: `Alloc` hands out 32-bit host addresses backed by a fixed buffer that
//   `host.at` maps back; `Write`/`Read` fill and inspect it. `AddShooter` and `AddWeaponInfo`
//   build the two host records the shot routines read.
// - The line test answers from `lineTestScript` (front first) while it has entries, then from
//   `lineTestGeometry` if set, else "clear".
// - `rand` answers from `randScript` while it has entries, then from the Windows runtime
//   sequence in `crtRand` (seed 1 unless re-seeded).
// - Globals: `timeStep`, `clockMs` and `wind` are the fake HostTimeStep, HostClockMs, HostWind.
#pragma once
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "host/crt_rand.h"

namespace pellix::testing {

enum class HostCallKind {
  LineTest,      // floats: start xyz, end xyz; ints: the eight flags; pointers: hit record, entity
  WeaponInfo,    // ints: weapon type, skill
  ShooterSkill,  // ints: shooter
  SurfaceClass,  // ints: surface id
  EffectCreate,  // name; floats: zero vector xyz, then the 16 matrix floats row by row; ints: 0
  EffectStart,   // ints: effect (host routine 0x4AA890)
  EffectFinish,  // ints: effect (host routine 0x4AA3D0)
  AreaImpact,    // floats: point xyz, radius, power, scale; ints: zero, shooter, one; pointers[0]
  Rand,          // ints: the value returned
};

struct HostCall {
  HostCallKind kind;
  std::vector<float> floats;
  std::vector<int64_t> ints;
  std::string name;
  const void* pointers[2] = {nullptr, nullptr};
};

class FakeHost {
 public:
  FakeHost();
  ~FakeHost();
  FakeHost(const FakeHost&) = delete;
  FakeHost& operator=(const FakeHost&) = delete;

  static FakeHost* current;

  // Recorded calls.
  std::vector<HostCall> calls;
  int Count(HostCallKind kind) const;
  std::vector<HostCall> Calls(HostCallKind kind) const;
  void ClearCalls() { calls.clear(); }

  // Fake globals.
  float timeStep = 1.0f;
  uint32_t clockMs = 0;
  float wind[3] = {0.0f, 0.0f, 0.0f};

  // Fake memory, reached by 32-bit host addresses.
  static constexpr uint32_t kMemoryBase = 0x01000000;
  static constexpr uint32_t kMemorySize = 1u << 20;
  uint32_t Alloc(uint32_t bytes);  // zero-filled, 4-byte aligned
  const void* At(uint32_t address) const;
  template <typename T>
  void Write(uint32_t address, T value) {
    std::memcpy(MutableAt(address, sizeof(T)), &value, sizeof(T));
  }
  template <typename T>
  T Read(uint32_t address) const {
    T value;
    std::memcpy(&value, At(address), sizeof(T));
    return value;
  }

  // A shooter entity: kind in the low 3 bits of +0x36, current weapon slot index at +0x718,
  // that slot's ammunition count at +0x5A8 + 28 * slot.
  uint32_t AddShooter(uint8_t kind, uint8_t slot = 0, uint16_t ammo = 0);
  // A weapon-info record (range at +8, damage at +34).
  uint32_t AddWeaponInfo(float range, int16_t damage);

  // Answers of the host routines.
  std::map<int32_t, uint32_t> weaponInfoByType;  // type -> record; missing: defaultWeaponInfo
  uint32_t defaultWeaponInfo = 0;                // set by the constructor to a zero record
  std::map<uint32_t, uint8_t> skillByShooter;    // missing: defaultSkill
  uint8_t defaultSkill = 1;
  std::map<uint32_t, uint32_t> surfaceClassById;  // missing: defaultSurfaceClass
  uint32_t defaultSurfaceClass = 0;
  uint32_t effectResult = 0;  // what the effect creation returns
  std::deque<bool> lineTestScript;
  std::function<bool(const float* start, const float* end)> lineTestGeometry;
  std::deque<int32_t> randScript;
  CrtRand crtRand;

 private:
  void* MutableAt(uint32_t address, uint32_t bytes);
  std::vector<uint8_t> memory_;
  uint32_t used_ = 0;
};

}  // namespace pellix::testing
