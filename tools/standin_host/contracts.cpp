#include "contracts.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "host_game.h"
#include "host_map.h"

namespace standin {
namespace {

Snapshot snaps[S_COUNT];
int lastSite = S_PLAIN;
int resumptions[R_COUNT];
int violations = 0;
int violationsAt[R_COUNT];
int checks = 0;
uint32_t canarySerial = 0;

const char* const kSiteNames[S_COUNT] = {"host code",      "flight-forces site", "impact site",
                                         "step-end site",  "loop-end site",      "colour site",
                                         "trace-end site", "trace routine call", "epilogue site",
                                         "Reset sequence", "shot routine"};
const char* const kResumeNames[R_COUNT] = {"loop top",
                                           "after flight forces",
                                           "hit type 3",
                                           "hit other",
                                           "after hit",
                                           "after step end",
                                           "loop exit",
                                           "host code",
                                           "trace top",
                                           "after colour load",
                                           "trace exit",
                                           "trace routine body",
                                           "trace routine return",
                                           "after Reset",
                                           "after shot"};
const char* const kRegNames[8] = {"EDI", "ESI", "EBP", "ESP", "EBX", "EDX", "ECX", "EAX"};

enum : unsigned {
  kEdi = 1,
  kEsi = 2,
  kEbp = 4,
  kEsp = 8,
  kEbx = 16,
  kEdx = 32,
  kEcx = 64,
  kEax = 128
};

uint32_t Reg(const Regs& r, int i) { return (&r.edi)[i]; }

__attribute__((format(printf, 2, 3))) void Violation(int where, const char* format, ...) {
  ++violations;
  ++violationsAt[where];
  if (violations > 20) return;
  std::printf("VIOLATION at %s after %s: ", kResumeNames[where], kSiteNames[lastSite]);
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::printf("\n");
}

// Which resume points each kind of jump may come back at.
bool ResumeAllowed(int site, int where) {
  switch (site) {
    case S_PLAIN:
      return true;
    case S_FLIGHT:
      return where == R_FLIGHT;
    case S_IMPACT:
      return where == R_HIT3 || where == R_HIT_OTHER || where == R_AFTER_HIT;
    case S_STEPEND:
      return where == R_STEPEND || where == R_LOOP_TOP || where == R_LOOP_EXIT;
    case S_LOOP_END:
      return where == R_LOOP_TOP || where == R_LOOP_EXIT;
    case S_COLOUR:
      return where == R_COLOUR;
    case S_TRACE_END:
      return where == R_TL_TOP || where == R_TL_EXIT;
    case S_TRACE_CALLER:
      return where == R_TRACE_BODY;
    case S_EPILOGUE:
      return where == R_TRACE_RETURN;
    case S_RESET:
      return where == R_RESET;
    case S_SHOT:
      return where == R_SHOT;
  }
  return false;
}

// Registers an entry reached from `site` may change before resuming at `where`.
unsigned Outputs(int site, int where) {
  switch (site) {
    case S_STEPEND:
      return where == R_STEPEND ? (kEcx | kEdx) : kEdi;
    case S_LOOP_END:
      return kEdi;
    case S_COLOUR:
      return kEax | kEdi;
    case S_TRACE_END:
      return kEsi;
    case S_RESET:
    case S_SHOT:
      return kEax | kEcx | kEdx;  // the callee's scratch registers
  }
  return 0;
}

void CompareRegs(int where, const Regs& now, const Regs& before, unsigned outputs) {
  for (int i = 0; i < 8; ++i) {
    if (outputs & (1u << i)) continue;
    if (Reg(now, i) != Reg(before, i))
      Violation(where, "%s is 0x%08X, was 0x%08X", kRegNames[i], Reg(now, i), Reg(before, i));
  }
}

void CompareFpu(int where, const FpuImage& now, const Snapshot& before, int extra) {
  if (now.cw != before.cw)
    Violation(where, "FPU control word 0x%04X, was 0x%04X", now.cw, before.cw);
  int depth = FpuDepth(now);
  if (depth != before.depth + extra)
    Violation(where, "FPU stack depth %d, expected %d", depth, before.depth + extra);
  for (int i = 0; i < before.depth && i + extra < 8; ++i) {
    if (std::memcmp(now.st[i + extra], before.st[i], 10) != 0)
      Violation(where, "FPU ST(%d) changed (was ST(%d))", i + extra, i);
  }
}

long double Load80(const uint8_t* p) {
  long double v = 0;
  std::memcpy(&v, p, 10);
  return v;
}

}  // namespace

int FpuDepth(const FpuImage& f) {
  int depth = 0;
  for (int i = 0; i < 8; ++i)
    if (((f.tw >> (2 * i)) & 3) != 3) ++depth;
  return depth;
}

const Snapshot& SnapshotOf(int site) { return snaps[site]; }
int LastSite() { return lastSite; }
int Resumptions(int where) { return resumptions[where]; }
int ContractViolations() { return violations; }
int ViolationsAt(int where) { return violationsAt[where]; }
int ContractChecks() { return checks; }
void ResetResumptionCounts() {
  for (int& r : resumptions) r = 0;
}

}  // namespace standin

using namespace standin;

extern "C" void standin_snap(HostCtx* ctx, int site) {
  Snapshot& s = snaps[site];
  s.regs = ctx->regs;
  s.regs.esp = ctx->HostEsp();
  s.cw = ctx->fpu.cw;
  s.depth = FpuDepth(ctx->fpu);
  std::memcpy(s.st, ctx->fpu.st, sizeof s.st);
  lastSite = site;
}

extern "C" void standin_resumed(HostCtx* ctx, int where) {
  ++checks;
  ++resumptions[where];
  Regs now = ctx->regs;
  now.esp = ctx->HostEsp();
  const Snapshot& before = snaps[lastSite];
  if (!ResumeAllowed(lastSite, where)) {
    Violation(where, "resumed at an unexpected place");
  } else if (lastSite == S_TRACE_CALLER) {
    // Inside the routine: its own pushes moved ESP; nothing to compare yet.
  } else if (lastSite == S_EPILOGUE) {
    // The epilogue pops EDI, ESI and EBX that the caller had and returns past the routine.
    const Snapshot& caller = snaps[S_TRACE_CALLER];
    Regs expect = before.regs;
    expect.edi = caller.regs.edi;
    expect.esi = caller.regs.esi;
    expect.ebx = caller.regs.ebx;
    expect.esp = caller.regs.esp;
    CompareRegs(where, now, expect, 0);
    CompareFpu(where, ctx->fpu, caller, 0);
  } else if (lastSite == S_FLIGHT) {
    CompareRegs(where, now, before.regs, 0);
    CompareFpu(where, ctx->fpu, before, 1);
    // The displaced work: ST(0) = the step times the record's (updated) velocity x.
    const float vx = *reinterpret_cast<const float*>(now.edi + 0x18);
    const long double dt = Load80(before.st[0]);
    const float product = static_cast<float>(static_cast<double>(dt) * vx);
    const long double top = Load80(ctx->fpu.st[0]);
    if (top != static_cast<long double>(product))
      Violation(where, "ST(0) %.9g, expected step x velocity x = %.9g", static_cast<double>(top),
                static_cast<double>(product));
  } else {
    CompareRegs(where, now, before.regs, Outputs(lastSite, where));
    CompareFpu(where, ctx->fpu, before, 0);
    if (lastSite == S_STEPEND && where == R_STEPEND) {
      const uint32_t* frame = reinterpret_cast<const uint32_t*>(now.esp);
      if (now.ecx != frame[0x14 / 4])
        Violation(where, "ECX 0x%08X, expected the load 0x%08X", now.ecx, frame[0x14 / 4]);
      if (now.edx != frame[0x18 / 4])
        Violation(where, "EDX 0x%08X, expected the load 0x%08X", now.edx, frame[0x18 / 4]);
    }
    if (lastSite == S_SHOT && *reinterpret_cast<const uint32_t*>(now.esp) != STACK_CANARY)
      Violation(where, "the caller's stack word above the arguments is 0x%08X",
                *reinterpret_cast<const uint32_t*>(now.esp));
    if (lastSite == S_COLOUR) {
      const uint32_t source = *reinterpret_cast<const uint32_t*>(uintptr_t{ha::TraceColourSource});
      if (now.eax != source)
        Violation(where, "EAX 0x%08X, expected the load 0x%08X", now.eax, source);
    }
  }
  game::OnResume(ctx, where, lastSite);
}

extern "C" void host_canaries(HostCtx* ctx, int which) {
  Regs& r = ctx->regs;
  const uint32_t base = 0xC0000000u | (++canarySerial & 0xFFFFF) << 8;
  r.eax = base | 0x0A;
  r.ebx = base | 0x0B;
  r.ecx = base | 0x0C;
  r.edx = base | 0x0D;
  r.esi = base | 0x51;
  r.ebp = base | 0xB9;
  if (which != C_BODY) r.edi = base | 0xD1;  // the projectile loop's EDI is its record pointer
}
