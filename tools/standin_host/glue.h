// What the stand-in's assembly hands its C++ and the symbols they share.
#pragma once
#include <cstddef>
#include <cstdint>

#include "glue_ids.h"

namespace standin {

// pushad order, lowest address first.
struct Regs {
  uint32_t edi, esi, ebp, esp, ebx, edx, ecx, eax;
};

// The protected-mode fsave image.
struct FpuImage {
  uint16_t cw, cwPad;
  uint16_t sw, swPad;
  uint16_t tw, twPad;
  uint32_t fip, fcs, foo, fos;
  uint8_t st[8][10];  // ST(0) first
};
static_assert(sizeof(FpuImage) == 108);

// The stack of a HOSTCALL: the fsave image, pad, pushad, pushfd.
struct HostCtx {
  FpuImage fpu;
  uint32_t pad;
  Regs regs;
  uint32_t eflags;
  // ESP of the code that made the call, before it pushed anything.
  uint32_t HostEsp() const { return regs.esp + 4; }
};
static_assert(offsetof(HostCtx, regs) == 112);

int FpuDepth(const FpuImage& f);

}  // namespace standin

extern "C" {
// Set by C++, read by the assembly.
extern uint32_t standin_jump[J_COUNT];
extern uint32_t standin_timestep_addr;
extern uint32_t standin_present_params;
extern float standin_marker[2];
extern uint16_t standin_cw_loop, standin_cw_trace, standin_cw_default;
extern uint32_t standin_shot_args[8];
// Shared between the assembly and C++.
extern uint32_t standin_loop_esp;
extern int32_t standin_hit;
extern float standin_disp_x, standin_step_dt;
extern int32_t standin_shot_kind;
extern uint32_t standin_foreign_calls[4];

// Assembly.
void standin_projectile_loop();
void standin_call_trace_routine();
void standin_trace_loop();
uint32_t standin_run_reset();
uint32_t standin_call_shot(int kind);
void standin_foreign_reset0();
void standin_foreign_reset1();
void standin_foreign_reset2();
void standin_foreign_reset3();
void pl_top();
void pl_after_ff();
void pl_hit3();
void pl_hit_other();
void pl_bra_taken();
void pl_bra_fell();
void pl_brb_taken();
void pl_brb_fell();
void pl_after_hit();
void pl_brc_taken();
void pl_brc_fell();
void pl_after_stepend();
void pl_exit();
void tl_top();
void tl_after_colour();
void tl_exit();
void tr_body();
void reset_after();
void host_make_orig();
void host_sniper_orig();
void host_m4_orig();

// C++ called from the assembly (HOSTCALL).
void standin_snap(standin::HostCtx* ctx, int site);
void standin_resumed(standin::HostCtx* ctx, int where);
void host_canaries(standin::HostCtx* ctx, int which);
void host_loop_begin(standin::HostCtx* ctx, int);
void host_step_prepare(standin::HostCtx* ctx, int);
void host_step_test(standin::HostCtx* ctx, int);
void host_hit_handling(standin::HostCtx* ctx, int path);
void host_branch(standin::HostCtx* ctx, int which);
void host_trace_begin(standin::HostCtx* ctx, int);
void host_trace_prepare(standin::HostCtx* ctx, int);
void host_trace_visit(standin::HostCtx* ctx, int);
void host_reset_prepare(standin::HostCtx* ctx, int);
void host_shot_prepare(standin::HostCtx* ctx, int);
void host_original_shot(standin::HostCtx* ctx, int kind);
}
