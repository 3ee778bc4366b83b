#include "host/hook_install.h"

#include "host/host_addresses.h"

uint32_t chainedResetA = 0;
uint32_t chainedResetB = 0;

namespace pellix {

namespace ha = host_addr;

namespace {

constexpr const char* kTrackLabel = "Track Patch";
constexpr const char* kLoopLabel = "Pellix Patch";

// Writes the call at `site` as the call instruction, then its fill.
void WriteResetCall(CodeMemory& memory, uint32_t site, const ResetRow& row) {
  const PatchBytes call = EncodeCallFill(site, row.target, row.fill);
  WriteCode(memory, site, 5, call.bytes);
  NopCode(memory, site + 5, row.fill);
}

// Keeps a foreign call's target for the wrapper to chain to. A call that already leads to our
// own wrapper is not a foreign one: chaining to it would make the wrapper call itself.
void KeepForeignCall(CodeMemory& memory, uint32_t site, const ResetRow& row) {
  const uint32_t target = ReadCallTarget(memory, site);
  if (target != row.target) *row.chain = target;
}

}  // namespace

void BuildPlainRows(const HookTargets& t, bool flightForcesOn, HookRow (&rows)[kPlainRowCount]) {
  using enum PatchKind;
  const HookRow table[kPlainRowCount] = {
      {ha::TraceColourSite, 0xA1, kJump, 0, t.traceColour, kTrackLabel, true},
      {ha::TrailUpdateSite, 0x5F, kJump, 0, t.trailUpdate, kTrackLabel, true},
      {ha::TraceLoopEndSite, 0x81, kJump, 0, t.traceLoopEnd, kTrackLabel, true},
      {ha::FlightForcesSite, 0xD9, kJump, 0, t.flightForces, kLoopLabel, flightForcesOn},
      {ha::BranchFillA, 0x74, kFill, 2, 0, kLoopLabel, true},
      {ha::ImpactFillSite, 0x0F, kFillJump, 1, t.impact, kLoopLabel, true},
      {ha::BranchFillB, 0x0F, kFill, 6, 0, kLoopLabel, true},
      {ha::BranchFillC, 0x75, kFill, 2, 0, kLoopLabel, true},
      {ha::StepEndSite, 0x8B, kJump, 0, t.stepEnd, kLoopLabel, true},
      {ha::ProjectileLoopEndSite, 0x81, kJump, 0, t.projectileLoopEnd, kLoopLabel, true},
      {ha::MakeSite, 0x6A, kJump, 0, t.make, "Make Patch", true},
      {ha::MakeSniperSite, 0x51, kJump, 0, t.makeSniper, "MakeSniper Patch", true},
      {ha::MakeM4Site, 0x83, kJump, 0, t.makeM4, "MakeM4 Patch", true},
  };
  for (int i = 0; i < kPlainRowCount; ++i) rows[i] = table[i];
}

void BuildResetRows(const HookTargets& t, ResetRow (&rows)[kResetRowCount]) {
  rows[0] = {ha::ResetSiteA, 4, t.resetWrapperA, &chainedResetA};
  rows[1] = {ha::ResetSiteB, 6, t.resetWrapperB, &chainedResetB};
  rows[2] = {ha::ResetSiteC, 6, t.resetWrapperB, &chainedResetB};
  rows[3] = {ha::ResetSiteD, 6, t.resetWrapperB, &chainedResetB};
}

PatchBytes EncodeRow(const HookRow& row) {
  switch (row.kind) {
    case PatchKind::kJump:
      return EncodeJump(row.site, row.target);
    case PatchKind::kCallFill:
      return EncodeCallFill(row.site, row.target, row.fill);
    case PatchKind::kFill:
      return EncodeFill(row.fill);
    case PatchKind::kFillJump:
      return EncodeFillJump(row.site, row.target);
  }
  return PatchBytes{};
}

uint32_t ReadCallTarget(CodeMemory& memory, uint32_t site) {
  uint32_t displacement = 0;
  for (uint32_t i = 0; i < 4; ++i) {
    displacement |= static_cast<uint32_t>(ProbeCode(memory, site + 1 + i)) << (8 * i);
  }
  return site + 5u + displacement;
}

CheckOutcome InstallResetRow(CodeMemory& memory, const ResetRow& row) {
  const uint32_t primary = row.primary;
  const uint32_t alternative = row.primary - ha::ResetAlternativeOffset;
  if (ProbeCode(memory, primary) == kPushImmediateOpcode) {
    WriteResetCall(memory, primary, row);
    return CheckOutcome::kMatch;
  }
  if (ProbeCode(memory, alternative) == kPushImmediateOpcode) {
    WriteResetCall(memory, alternative, row);
    return CheckOutcome::kMatch;
  }
  if (ProbeCode(memory, primary) == kCallOpcode) {
    KeepForeignCall(memory, primary, row);
    WriteResetCall(memory, primary, row);
    return CheckOutcome::kMatch;
  }
  const CheckOutcome outcome = CheckSite(memory, alternative, kCallOpcode, kResetLabel);
  if (outcome == CheckOutcome::kMatch) {
    KeepForeignCall(memory, alternative, row);
    WriteResetCall(memory, alternative, row);
  }
  return outcome;
}

CheckOutcome InstallPlainRow(CodeMemory& memory, const HookRow& row) {
  if (!row.enabled) return CheckOutcome::kSkip;
  const CheckOutcome outcome = CheckSite(memory, row.site, row.expected, row.label);
  if (outcome != CheckOutcome::kMatch) return outcome;
  const PatchBytes patch = EncodeRow(row);
  switch (row.kind) {
    case PatchKind::kFill:
      NopCode(memory, row.site, row.fill);
      break;
    case PatchKind::kFillJump:
      NopCode(memory, row.site, 1);
      WriteCode(memory, row.site + 1, 5, patch.bytes + 1);
      break;
    case PatchKind::kCallFill:
      WriteCode(memory, row.site, 5, patch.bytes);
      NopCode(memory, row.site + 5, row.fill);
      break;
    case PatchKind::kJump:
      WriteCode(memory, row.site, patch.size, patch.bytes);
      break;
  }
  return outcome;
}

bool InstallHookTable(CodeMemory& memory, const HookTargets& targets, bool flightForcesOn,
                      int* resetSitesSkipped) {
  ResetRow resetRows[kResetRowCount];
  BuildResetRows(targets, resetRows);
  int skipped = 0;
  for (const ResetRow& row : resetRows) {
    const CheckOutcome outcome = InstallResetRow(memory, row);
    if (outcome == CheckOutcome::kQuit) return false;
    skipped += outcome == CheckOutcome::kSkip ? 1 : 0;
  }
  if (resetSitesSkipped != nullptr) *resetSitesSkipped = skipped;
  HookRow rows[kPlainRowCount];
  BuildPlainRows(targets, flightForcesOn, rows);
  for (const HookRow& row : rows) {
    if (InstallPlainRow(memory, row) == CheckOutcome::kQuit) return false;
  }
  return true;
}

}  // namespace pellix
