// The one interface through which the portable core reaches the host game.
// The Windows binding fills it with the host's fixed addresses at start-up; tests fill it
// with fakes. Host pointers are 32-bit address values; `at` turns one into readable memory.
#pragma once
#include <cstdint>

namespace pellix {

struct HostApi {
  // Globals.
  float* timeStep = nullptr;          // HostTimeStep
  const uint32_t* clockMs = nullptr;  // HostClockMs
  const float* wind = nullptr;        // HostWind, three floats

  // Host memory reached through a 32-bit host address (shooter entity, weapon-info record).
  const void* (*at)(uint32_t address) = nullptr;

  // Routines, as plain calls; the Windows binding adapts the host's calling conventions.
  // HostLineTest: start, end, 44-byte hit record, 4-byte hit entity, then eight integers.
  uint8_t (*lineTest)(const float* start, const float* end, void* hitRecord, void* hitEntity,
                      int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5, int32_t a6,
                      int32_t a7, int32_t a8) = nullptr;
  uint32_t (*weaponInfo)(int32_t weaponType, int32_t skill) = nullptr;  // host address of the record
  uint8_t (*shooterSkill)(uint32_t shooter) = nullptr;
  uint32_t (*surfaceClass)(uint32_t surfaceId) = nullptr;  // low byte is the class
  uint32_t (*effectCreate)(const char* name, const float* zeroVector, const float* matrix,
                           int32_t zero) = nullptr;  // effect object or 0
  void (*effectStart)(uint32_t effect) = nullptr;   // host routine 0x4AA890 on the effect
  void (*effectFinish)(uint32_t effect) = nullptr;  // host routine 0x4AA3D0 on the effect
  void (*areaImpact)(const float* hitPoint, float radius, float power, int32_t zero,
                     uint32_t shooter, int32_t one, float scale) = nullptr;
  int32_t (*rand)() = nullptr;  // the C runtime's rand, 0 to 32767
};

extern HostApi host;

}  // namespace pellix
