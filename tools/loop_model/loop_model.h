// A portable model of the host game's projectile loop and trace routine, driving the
// plug-in's hook decisions frame by frame without the game. Test and tool code only.
//
// What the modelled host does, address by address (all that the plug-in relies on, plus the
// choices marked "model" where nothing is known of the host):
//
// Projectile loop, EDI = record + 4:
//   0x7360E7 loop top. Model: an inactive record goes straight to the advance; a record whose
//            expiryTime is below the clock (as a float) is ended (active = 0) and advanced.
//   0x73614A the time step HostTimeStep is loaded; when the flight-forces hook is installed
//            (Gravity or AirResist on, or Reload) FlightForcesEntry runs with it (it may end the
//            record, at rest). Then the displacement velocity x step is formed; model: for an
//            ended record too, the host looks at `active` only at the loop top.
//   hit test  Model: the World's hit finder on position -> position + displacement. A hit
//            writes the hit frame (point at ESP+0x24, normal at ESP+0x34, surface id byte at
//            ESP+0x57), puts the kind code in AL and reaches 0x736283 (ImpactEntry).
//   0x736288 / 0x7363F2 the host's hit handling (AL = 3 / other). Model: it deals the
//            record's damage as it stands and records it; then on to 0x7367EB.
//   0x73677C end of the hit handling; on to 0x7367EB.
//   0x7367EB StepEndEntry (in place of ECX := [ESP+0x14], EDX := [ESP+0x18]).
//   0x7367F3 rest of the body. Model: a record whose step met something is ended by the host
//            (a plain hit stops the bullet); otherwise position += displacement.
//   0x73680B EDI += 44; 0x73680E ProjectileLoopEndEntry; 0x73681A after the loop.
//
// Trace routine, ESI = record + 8:
//   0x723CC2 loop top; 0x723CCD TraceColourEntry; the body then "draws" the record: the
//   model records the visit with the colour in EDI. ESI += 44; 0x723F57 TraceLoopEndEntry;
//   0x723F63 after the loop; the routine's epilogue 0x7240B5 runs TrailUpdateEntry.
//
// The host's own records live at fake host addresses just below the loop limits
// (projectiles end at 0xC888A0, traces at 0xC7CA08) and are reached through host.at, which
// the model installs together with every other part of pellix::host: its clock, time step
// and wind, the World as the line test, the surface class routine (the surface id is the
// class), a recording area impact, an effect routine that creates nothing, and the Windows
// C runtime's rand sequence (seed 1). Settings, tables and the pool are the caller's.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "host/crt_rand.h"
#include "host/hook_registers.h"
#include "sim/pool.h"
#include "tools/loop_model/world.h"

namespace pellix::loop_model {

enum class Entry { ProjectileLoopEnd, Impact, StepEnd, FlightForces, TraceLoopEnd, TraceColour };

// One decision as the model saw it: registers before and after, and where the host resumed.
struct EntryEvent {
  Entry entry;
  uint32_t resume;  // 0 for FlightForcesEntry, which has no resume decision
  HookRegisters before;
  HookRegisters after;
};

// One run of the host's loop body on a pool record.
struct PoolPass {
  int32_t slot;
  float timeStep;
  int32_t repeatCount;
  int32_t repeatRequested;  // as the pass starts
};

// What the host's hit handling dealt.
struct DamageDealt {
  bool poolRecord;
  int32_t index;  // slot, or index in the host's own array
  int16_t damage;
  uint8_t typeCode;
  uint32_t handler;  // 0x736288 or 0x7363F2
};

// One record visited by the host's trace loop.
struct TraceVisit {
  uintptr_t esi;
  const TrailRecord* record;  // in model memory for the host's own records
  uint32_t colour;            // EDI after TraceColourEntry
  uint32_t loaded;            // EAX after TraceColourEntry
};

struct AreaImpactCall {
  float point[3];
  uint32_t shooter;
};

class LoopModel {
 public:
  static constexpr uint32_t kHostProjectileEnd = 0xC888A0;  // just past the host's last record
  static constexpr uint32_t kHostTraceEnd = 0xC7CA08;
  static constexpr uint32_t kStepEndEcx = 0x14141414;  // the dwords at ESP+0x14 and +0x18
  static constexpr uint32_t kStepEndEdx = 0x18181818;

  LoopModel(World& world, int hostProjectiles = 4, int hostTraces = 4);
  ~LoopModel();  // clears pellix::host if this model installed it
  LoopModel(const LoopModel&) = delete;
  LoopModel& operator=(const LoopModel&) = delete;

  // Points pellix::host at this model (one model at a time).
  void Install();

  // The host's globals.
  float timeStep = 1.0f;
  uint32_t clockMs = 0;
  float wind[3] = {0, 0, 0};
  uint32_t traceColourSource = 0xC0C0C0C0;  // the dword at 0xB6F03C

  std::vector<ProjectileRecord> hostProjectiles;
  std::vector<TrailRecord> hostTraces;
  uint32_t HostProjectileAddress(int i) const;
  uint32_t HostTraceAddress(int i) const;

  // One run of the host's projectile loop over its own records, then the pool.
  void RunProjectileLoop();
  // One run of the host's trace routine: the trace loop, then its epilogue.
  void RunTraceRoutine();
  // A host frame: clock and step, the projectile loop, the trace routine.
  void RunFrame(float step, uint32_t elapsedMs);

  // Called after every decision; tests inspect the shared state there.
  std::function<void(const EntryEvent&)> observer;

  // Records of what happened, appended to until cleared.
  std::vector<PoolPass> poolPasses;
  std::vector<DamageDealt> damageDealt;
  std::vector<TraceVisit> traceVisits;
  std::vector<AreaImpactCall> areaImpacts;
  std::vector<int32_t> forcesEnded;  // pool slots whose record FlightForcesEntry ended
  int lineTests = 0;
  int surfaceClassCalls = 0;
  // Decisions that changed a register they do not own, and loops cut off by the guard.
  int registerFaults = 0;
  int runawayLoops = 0;
  void ClearRecords();

  World& world;

  // Model side of host.at: the model's memory behind a 32-bit host address.
  const void* At(uint32_t address) const;

 private:
  void Notify(Entry entry, uint32_t resume, const HookRegisters& before, uint64_t ownedMask);
  CrtRand rand_;  // the Windows C runtime's sequence
  alignas(16) uint8_t frame_[0x80] = {};
  HookRegisters regs_{};

  friend struct ModelHostRoutines;
};

}  // namespace pellix::loop_model
