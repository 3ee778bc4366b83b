#include "site_layout.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "glue.h"
#include "host_map.h"
#include "report.h"
#include "world.h"

uint32_t standin_jump[J_COUNT];
uint32_t standin_timestep_addr = standin::ha::HostTimeStep;
uint32_t standin_present_params = standin::ha::HostPresentParams;

namespace standin {
namespace {

HostVariant laid;
std::vector<uint8_t> original;  // the code region as laid

uint8_t* At(uint32_t address) { return reinterpret_cast<uint8_t*>(uintptr_t{address}); }

void Put(uint32_t address, std::initializer_list<uint8_t> bytes) {
  std::memcpy(At(address), bytes.begin(), bytes.size());
}

void Put32(uint32_t address, uint32_t value) { std::memcpy(At(address), &value, 4); }

// jmp dword [slot]
void PutSlotJump(uint32_t address, int slot) {
  Put(address, {0xFF, 0x25});
  Put32(address + 2, kJumpSlots + 4 * slot);
}

// An instruction of `opcode` bytes followed by a rel32 to `target`.
void PutRel32(uint32_t address, std::initializer_list<uint8_t> opcode, uint32_t target) {
  Put(address, opcode);
  const uint32_t end = address + static_cast<uint32_t>(opcode.size()) + 4;
  Put32(address + static_cast<uint32_t>(opcode.size()), target - end);
}

template <typename F>
uint32_t Code(F f) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(f));
}

const uint32_t kResetPrimary[4] = {ha::ResetSiteA, ha::ResetSiteB, ha::ResetSiteC, ha::ResetSiteD};
int ResetLength(int k) { return k == 0 ? 9 : 11; }

void LayReset(int k) {
  const uint32_t p = kResetPrimary[k], q = p - ha::ResetAlternativeOffset;
  const int length = ResetLength(k);
  std::memset(At(p), 0xCC, length + 6);
  std::memset(At(q), 0xCC, length + 6);
  const ResetLayout how = laid.reset[k];
  if (how == ResetLayout::Neither) return;
  const bool atPrimary = how == ResetLayout::Primary || how == ResetLayout::ForeignPrimary;
  const uint32_t at = atPrimary ? p : q;
  if (how == ResetLayout::Primary || how == ResetLayout::Alternative) {
    // push HostPresentParams; push eax; then the call through the device's table
    Put(at, {0x68});
    Put32(at + 1, ha::HostPresentParams);
    if (k == 0) {
      Put(at + 5, {0x50, 0xFF, 0x51, 0x40});  // push eax; call [ecx+0x40]
    } else {
      Put(at + 5,
          {0x50, 0x8B, 0x10, 0xFF, 0x52, 0x40});  // push eax; mov edx,[eax]; call [edx+0x40]
    }
  } else {
    PutRel32(at, {0xE8}, ForeignTarget(laid.foreignTarget[k]));
    std::memset(At(at + 5), 0x90, length - 5);
  }
  PutSlotJump(at + length, H_RESET_AFTER);
}

struct RowDef {
  int row;
  uint32_t site;
  uint8_t expected;
  enum Kind { Jump, CallFill, Fill, FillJump } kind;
  int length;
};

const RowDef kRows[] = {
    {5, ha::TraceColourSite, 0xA1, RowDef::Jump, 5},
    {6, ha::TrailUpdateSite, 0x5F, RowDef::Jump, 5},
    {7, ha::TraceLoopEndSite, 0x81, RowDef::Jump, 5},
    {8, ha::FlightForcesSite, 0xD9, RowDef::Jump, 5},
    {9, ha::BranchFillA, 0x74, RowDef::Fill, 2},
    {10, ha::ImpactFillSite, 0x0F, RowDef::FillJump, 6},
    {11, ha::BranchFillB, 0x0F, RowDef::Fill, 6},
    {12, ha::BranchFillC, 0x75, RowDef::Fill, 2},
    {13, ha::StepEndSite, 0x8B, RowDef::Jump, 5},
    {14, ha::ProjectileLoopEndSite, 0x81, RowDef::Jump, 5},
    {15, ha::MakeSite, 0x6A, RowDef::Jump, 5},
    {16, ha::MakeSniperSite, 0x51, RowDef::Jump, 5},
    {17, ha::MakeM4Site, 0x83, RowDef::Jump, 5},
};

RowDef RowOf(int row) {
  if (row <= 4) {
    const int k = row - 1;
    return {row, ResetSequenceAddress(k), 0, RowDef::CallFill, ResetLength(k)};
  }
  return kRows[row - 5];
}

uint32_t rowTargets[18];

}  // namespace

uint32_t ForeignTarget(int index) {
  static const uint32_t targets[4] = {Code(&standin_foreign_reset0), Code(&standin_foreign_reset1),
                                      Code(&standin_foreign_reset2), Code(&standin_foreign_reset3)};
  return targets[index & 3];
}

uint32_t ResetSequenceAddress(int k) {
  const ResetLayout how = laid.reset[k];
  const bool atPrimary = how == ResetLayout::Primary || how == ResetLayout::ForeignPrimary;
  return atPrimary ? kResetPrimary[k] : kResetPrimary[k] - ha::ResetAlternativeOffset;
}

uint32_t RunResetSequence(int k) {
  standin_jump[J_RESET] = ResetSequenceAddress(k);
  return standin_run_reset();
}

void LayHost(const HostVariant& variant) {
  laid = variant;
  std::memset(At(kImageStart), 0xCC, kDataStart - kImageStart);

  const uint32_t slots[H_COUNT] = {
      Code(&pl_top),         Code(&pl_after_ff),    Code(&pl_hit3),         Code(&pl_hit_other),
      Code(&pl_bra_fell),    Code(&pl_bra_taken),   Code(&pl_brb_fell),     Code(&pl_brb_taken),
      Code(&pl_after_hit),   Code(&pl_brc_fell),    Code(&pl_brc_taken),    Code(&pl_after_stepend),
      Code(&pl_exit),        Code(&tl_top),         Code(&tl_after_colour), Code(&tl_exit),
      Code(&tr_body),        Code(&reset_after),    Code(&host_make_orig),  Code(&host_sniper_orig),
      Code(&host_m4_orig),   LineTestRoutine(),     WeaponInfoRoutine(),    ShooterSkillRoutine(),
      SurfaceClassRoutine(), EffectCreateRoutine(), EffectStartRoutine(),   EffectFinishRoutine(),
      AreaImpactRoutine()};
  for (int i = 0; i < H_COUNT; ++i) Put32(kJumpSlots + 4 * i, slots[i]);

  // Projectile loop (EDI = record + 4).
  PutSlotJump(ha::ProjectileLoopTop, H_PL_TOP);
  Put(ha::FlightForcesSite, {0xD9, 0xC0, 0xD8, 0x4F, 0x18});  // fld st(0); fmul dword [edi+0x18]
  PutSlotJump(ha::FlightForcesResume, H_PL_AFTER_FF);
  Put(kHitTypeCompare, {0x3C, 0x03});                              // cmp al, 3
  PutRel32(ha::ImpactFillSite, {0x0F, 0x85}, ha::ImpactHitOther);  // jne
  PutSlotJump(ha::ImpactHitTypeThree, H_PL_HIT3);
  PutSlotJump(ha::ImpactHitOther, H_PL_HIT_OTHER);
  Put(ha::BranchFillA, {0x74, 0x06});  // je +6
  PutSlotJump(ha::BranchFillA + 2, H_BRA_FELL);
  PutSlotJump(ha::BranchFillA + 8, H_BRA_TAKEN);
  PutRel32(ha::BranchFillB, {0x0F, 0x84}, kBranchBTarget);  // je
  PutSlotJump(ha::BranchFillB + 6, H_BRB_FELL);
  PutSlotJump(kBranchBTarget, H_BRB_TAKEN);
  PutSlotJump(ha::ImpactSkipHostHit, H_AFTER_HIT);
  Put(ha::BranchFillC, {0x75, 0x06});  // jne +6
  PutSlotJump(ha::BranchFillC + 2, H_BRC_FELL);
  PutSlotJump(ha::BranchFillC + 8, H_BRC_TAKEN);
  Put(ha::StepEndSite, {0x8B, 0x4C, 0x24, 0x14, 0x8B, 0x54, 0x24, 0x18});  // ecx, edx loads
  PutSlotJump(ha::StepEndResume, H_AFTER_STEPEND);
  Put(ha::StepEndAdvance, {0x83, 0xC7, 0x2C});   // add edi, 44
  Put(ha::ProjectileLoopEndSite, {0x81, 0xFF});  // cmp edi, limit
  Put32(ha::ProjectileLoopEndSite + 2, ha::HostProjectileArrayEnd);
  PutRel32(ha::ProjectileLoopEndSite + 6, {0x0F, 0x82}, ha::ProjectileLoopTop);  // jb
  PutSlotJump(ha::ProjectileLoopAfter, H_PL_EXIT);

  // Trace loop (ESI = record + 8) and the trace routine.
  PutSlotJump(ha::TraceLoopTop, H_TL_TOP);
  Put(ha::TraceColourSite, {0xA1});  // mov eax, [colour]
  Put32(ha::TraceColourSite + 1, ha::TraceColourSource);
  PutSlotJump(ha::TraceColourResume, H_TL_AFTER_COLOUR);
  Put(kTraceAdvance, {0x83, 0xC6, 0x2C});   // add esi, 44
  Put(ha::TraceLoopEndSite, {0x81, 0xFE});  // cmp esi, limit
  Put32(ha::TraceLoopEndSite + 2, ha::HostTraceArrayEnd);
  PutRel32(ha::TraceLoopEndSite + 6, {0x0F, 0x8C}, ha::TraceLoopTop);  // jl
  PutSlotJump(ha::TraceLoopAfter, H_TL_EXIT);
  Put(kTraceRoutine, {0x53, 0x56, 0x57});  // push ebx; push esi; push edi
  PutSlotJump(kTraceRoutine + 3, H_TR_BODY);
  Put(ha::TrailUpdateSite, {0x5F, 0x5E, 0x5B, 0xC3});  // pop edi; pop esi; pop ebx; ret

  // The shot routines' own first instructions.
  Put(ha::MakeSite, {0x6A, 0xFF});  // push -1
  PutSlotJump(ha::MakeSite + 2, H_MAKE_ORIG);
  Put(ha::MakeSniperSite, {0x51});  // push ecx
  PutSlotJump(ha::MakeSniperSite + 1, H_SNIPER_ORIG);
  Put(ha::MakeM4Site, {0x83, 0xEC, 0x0C});  // sub esp, 12
  PutSlotJump(ha::MakeM4Site + 3, H_M4_ORIG);

  // Routines the plug-in calls.
  PutSlotJump(ha::HostLineTest, H_LINE_TEST);
  PutSlotJump(ha::HostWeaponInfo, H_WEAPON_INFO);
  PutSlotJump(ha::HostShooterSkill, H_SHOOTER_SKILL);
  PutSlotJump(ha::HostSurfaceClass, H_SURFACE_CLASS);
  PutSlotJump(ha::HostEffectCreate, H_EFFECT_CREATE);
  PutSlotJump(ha::HostEffectStart, H_EFFECT_START);
  PutSlotJump(ha::HostEffectFinish, H_EFFECT_FINISH);
  PutSlotJump(ha::HostAreaImpact, H_AREA_IMPACT);

  for (int k = 0; k < 4; ++k) LayReset(k);
  if (variant.faultyHost) {
    Put(ha::FlightForcesSite + 2, {0xD8, 0x4F, 0x14});                       // fmul [edi+0x14]
    Put(ha::StepEndSite, {0x8B, 0x4C, 0x24, 0x18, 0x8B, 0x54, 0x24, 0x14});  // loads swapped
    Put(ha::TrailUpdateSite, {0x5F, 0x5B, 0x5E, 0xC3});                      // pops swapped
    Put32(ha::TraceColourSite + 1, ha::TraceColourSource + 4);               // another dword
  }
  if (variant.mismatchRow >= 5 && variant.mismatchRow <= 17) {
    *At(kRows[variant.mismatchRow - 5].site) = 0xCC;
  }

  const uint32_t jumps[J_COUNT] = {
      ha::ProjectileLoopTop, ha::FlightForcesSite,  kHitTypeCompare,         ha::BranchFillA,
      ha::BranchFillB,       ha::ImpactSkipHostHit, ha::BranchFillC,         ha::StepEndSite,
      ha::StepEndAdvance,    ha::TraceLoopTop,      ha::TraceColourSite,     kTraceAdvance,
      kTraceRoutine,         ha::TrailUpdateSite,   ResetSequenceAddress(0), ha::MakeSite,
      ha::MakeSniperSite,    ha::MakeM4Site};
  std::memcpy(standin_jump, jumps, sizeof jumps);

  *reinterpret_cast<uint32_t*>(uintptr_t{ha::TraceColourSource}) = kHostColourValue;

  original.assign(At(kImageStart), At(kDataStart));
  DWORD old = 0;
  VirtualProtect(At(kImageStart), kDataStart - kImageStart, PAGE_EXECUTE_READ, &old);
  VirtualProtect(At(kDataStart), kImageEnd - kDataStart, PAGE_READWRITE, &old);
}

uint32_t RowTarget(int row) { return rowTargets[row]; }

void VerifyRows(uint32_t patched, uint32_t dllBase, uint32_t dllEnd) {
  std::vector<bool> covered(kDataStart - kImageStart, false);
  for (int row = 1; row <= 17; ++row) {
    const RowDef d = RowOf(row);
    const uint8_t* now = At(d.site);
    const uint8_t* was = original.data() + (d.site - kImageStart);
    char name[64];
    std::snprintf(name, sizeof name, "row %d at 0x%06X", row, d.site);
    rowTargets[row] = 0;
    if (!(patched & (1u << row))) {
      Check(std::memcmp(now, was, d.length) == 0, name, "expected untouched, bytes changed");
      continue;
    }
    for (int i = 0; i < d.length; ++i) covered[d.site - kImageStart + i] = true;
    int opcodeAt = -1;
    int fillFrom = 0, fillTo = 0;
    uint8_t opcode = 0xE9;
    switch (d.kind) {
      case RowDef::Jump:
        opcodeAt = 0;
        break;
      case RowDef::CallFill:
        opcodeAt = 0;
        opcode = 0xE8;
        fillFrom = 5;
        fillTo = d.length;
        break;
      case RowDef::Fill:
        fillFrom = 0;
        fillTo = d.length;
        break;
      case RowDef::FillJump:
        opcodeAt = 1;
        fillFrom = 0;
        fillTo = 1;
        break;
    }
    bool ok = true;
    char why[160] = "";
    for (int i = fillFrom; i < fillTo; ++i)
      if (now[i] != 0x90) {
        ok = false;
        std::snprintf(why, sizeof why, "byte %d is 0x%02X, expected 0x90", i, now[i]);
      }
    if (opcodeAt >= 0) {
      int32_t disp = 0;
      std::memcpy(&disp, now + opcodeAt + 1, 4);
      const uint32_t target = d.site + opcodeAt + 5 + static_cast<uint32_t>(disp);
      rowTargets[row] = target;
      if (now[opcodeAt] != opcode) {
        ok = false;
        std::snprintf(why, sizeof why, "opcode 0x%02X, expected 0x%02X", now[opcodeAt], opcode);
      } else if (target < dllBase || target >= dllEnd) {
        ok = false;
        std::snprintf(why, sizeof why, "target 0x%08X outside the library", target);
      }
    }
    for (int i = 0; i < d.length; ++i) {
      MEMORY_BASIC_INFORMATION m{};
      VirtualQuery(At(d.site + i), &m, sizeof m);
      if (m.Protect != PAGE_EXECUTE_READ) {
        ok = false;
        std::snprintf(why, sizeof why, "protection of byte %d is 0x%lX", i, m.Protect);
      }
    }
    Check(ok, name, "%s", why);
  }
  size_t stray = 0, first = 0;
  for (size_t i = 0; i < covered.size(); ++i) {
    if (covered[i] || At(kImageStart)[i] == original[i]) continue;
    if (stray++ == 0) first = i;
  }
  Check(stray == 0, "no host byte outside the patches changed", "%u bytes, first at 0x%06X",
        static_cast<unsigned>(stray), static_cast<unsigned>(kImageStart + first));
}

}  // namespace standin
