// The seventeen hook sites and their installation, written against CodeMemory so that the
// whole order of checks, writes and Reset-site choices runs in tests over a fake code image.
#pragma once
#include <cstdint>

#include "host/patching.h"

// Targets of foreign calls found at the Reset sites; 0 when the wrapper calls Reset itself.
// Read by the Reset wrappers' assembly, hence plain C symbols.
extern "C" uint32_t chainedResetA;  // site A
extern "C" uint32_t chainedResetB;  // sites B, C and D: the last foreign call found

namespace pellix {

// Loaded addresses of the entry points that the hooks lead to.
struct HookTargets {
  uint32_t resetWrapperA;
  uint32_t resetWrapperB;
  uint32_t traceColour;
  uint32_t trailUpdate;
  uint32_t traceLoopEnd;
  uint32_t flightForces;
  uint32_t impact;
  uint32_t stepEnd;
  uint32_t projectileLoopEnd;
  uint32_t make;
  uint32_t makeSniper;
  uint32_t makeM4;
};

enum class PatchKind : uint8_t {
  kJump,      // E9 rel32
  kCallFill,  // E8 rel32, then `fill` bytes of 0x90
  kFill,      // `fill` bytes of 0x90
  kFillJump,  // one 0x90, then E9 rel32 at site + 1
};

struct HookRow {
  uint32_t site;
  uint8_t expected;  // first byte of the host's instruction at the site
  PatchKind kind;
  uint8_t fill;
  uint32_t target;  // entry point, unused by kFill
  const char* label;
  bool enabled;  // the row's condition
};

inline constexpr int kResetRowCount = 4;
inline constexpr int kPlainRowCount = 13;
inline constexpr uint8_t kPushImmediateOpcode = 0x68;  // the untouched Reset sequence
inline constexpr const char* kResetLabel = "IDirect3DDevice9::Reset";

struct ResetRow {
  uint32_t primary;  // the alternative is primary - 0x40
  uint8_t fill;      // 4 for site A, 6 for B to D
  uint32_t target;
  uint32_t* chain;
};

// The plain rows 5 to 17 in installation order; row 8 is enabled only with gravity or drag on.
void BuildPlainRows(const HookTargets& targets, bool flightForcesOn,
                    HookRow (&rows)[kPlainRowCount]);
void BuildResetRows(const HookTargets& targets, ResetRow (&rows)[kResetRowCount]);

// The bytes a row writes at its site.
PatchBytes EncodeRow(const HookRow& row);

// The absolute target of the five-byte call at `site`.
uint32_t ReadCallTarget(CodeMemory& memory, uint32_t site);

// One Reset site: untouched primary, untouched alternative, foreign call at the primary (silent
// probes), then a checked foreign call at the alternative.
CheckOutcome InstallResetRow(CodeMemory& memory, const ResetRow& row);
// One plain row: skipped when disabled, else checked and written.
CheckOutcome InstallPlainRow(CodeMemory& memory, const HookRow& row);

// All seventeen rows in order. Returns false when the user chose to quit (seen only when
// CodeMemory::Exit returns); nothing is written after that. `resetSitesSkipped`, when given,
// receives how many Reset sites the user chose to run on without.
bool InstallHookTable(CodeMemory& memory, const HookTargets& targets, bool flightForcesOn,
                      int* resetSitesSkipped = nullptr);

}  // namespace pellix
