/* The host game's loop bodies, shot callers and Reset callers as the stand-in plays them.
   Host code at the fixed addresses holds only the instructions around the hook sites; between
   them it jumps through its slots into the labels below, and these labels go back into host
   code through standin_jump[]. Every jump into host code is preceded by a register snapshot
   (SNAP) and every return from it by a check (RESUMED), so an entry point that changes a
   register it must keep, the x87 stack or the control word is caught where it resumes. */
#include "glue_ids.h"

        .intel_syntax noprefix
        .text

/* Calls a C++ function f(HostCtx*, int) with every register, the flags and the whole FPU
   state saved; f may rewrite the saved registers. fsave leaves a clean x87 unit for f. */
.macro HOSTCALL func, arg
        pushfd
        pushad
        sub esp, 112
        fsave [esp]
        mov ebx, esp
        and esp, -16
        sub esp, 8
        push \arg
        push ebx
        call \func
        mov esp, ebx
        frstor [esp]
        add esp, 112
        popad
        popfd
.endm

.macro SNAP id
        HOSTCALL _standin_snap, \id
.endm

.macro RESUMED id
        HOSTCALL _standin_resumed, \id
.endm

.macro GOTO k
        jmp dword ptr [_standin_jump + 4 * \k]
.endm

/* ---------------------------------------------------------------- projectile loop */

        .globl _standin_projectile_loop
_standin_projectile_loop:
        push ebp
        push ebx
        push esi
        push edi
        sub esp, 0x80                   /* the loop's frame: step-end loads, hit frame */
        mov [_standin_loop_esp], esp
        HOSTCALL _host_loop_begin, 0    /* EDI = first host record + 4, canaries */
        fldcw word ptr [_standin_cw_loop]
        fld dword ptr [_standin_marker]
        SNAP S_PLAIN
        GOTO J_LOOP_TOP

        .globl _pl_top
_pl_top:
        RESUMED R_LOOP_TOP
        HOSTCALL _host_step_prepare, 0  /* EAX = 0: nothing to step for this record */
        test eax, eax
        jz 1f
        push eax
        mov eax, [_standin_timestep_addr]
        fld dword ptr [eax]             /* the step, as the flight-forces site expects it */
        pop eax
        HOSTCALL _host_canaries, C_BODY
        SNAP S_FLIGHT
        GOTO J_FLIGHT_SITE
1:
        SNAP S_LOOP_END
        GOTO J_ADVANCE

        .globl _pl_after_ff
_pl_after_ff:
        RESUMED R_FLIGHT
        fstp dword ptr [_standin_disp_x]
        fstp dword ptr [_standin_step_dt]
        HOSTCALL _host_step_test, 0     /* hit test; on a hit: frame filled, AL = type code */
        cmp dword ptr [_standin_hit], 0
        je 2f
        SNAP S_IMPACT
        GOTO J_HIT_CMP
2:
        SNAP S_PLAIN
        GOTO J_AFTER_HIT

        .globl _pl_hit3
_pl_hit3:
        RESUMED R_HIT3
        HOSTCALL _host_hit_handling, 3
        jmp 3f

        .globl _pl_hit_other
_pl_hit_other:
        RESUMED R_HIT_OTHER
        HOSTCALL _host_hit_handling, 0
        cmp eax, eax
        SNAP S_PLAIN
        GOTO J_BRANCH_A

        .globl _pl_bra_taken
_pl_bra_taken:
        RESUMED R_PLAIN
        HOSTCALL _host_branch, B_A_TAKEN
        jmp 3f

        .globl _pl_bra_fell
_pl_bra_fell:
        RESUMED R_PLAIN
        HOSTCALL _host_branch, B_A_FELL
3:
        cmp eax, eax
        SNAP S_PLAIN
        GOTO J_BRANCH_B

        .globl _pl_brb_taken
_pl_brb_taken:
        RESUMED R_PLAIN
        HOSTCALL _host_branch, B_B_TAKEN
        jmp 4f

        .globl _pl_brb_fell
_pl_brb_fell:
        RESUMED R_PLAIN
        HOSTCALL _host_branch, B_B_FELL
4:
        SNAP S_PLAIN
        GOTO J_AFTER_HIT

        .globl _pl_after_hit
_pl_after_hit:
        RESUMED R_AFTER_HIT
        cmp dword ptr [_standin_hit], 0 /* a hit: the host ends the projectile */
        SNAP S_PLAIN
        GOTO J_BRANCH_C

        .globl _pl_brc_taken
_pl_brc_taken:
        RESUMED R_PLAIN
        HOSTCALL _host_branch, B_C_TAKEN
        jmp 5f

        .globl _pl_brc_fell
_pl_brc_fell:
        RESUMED R_PLAIN
        HOSTCALL _host_branch, B_C_FELL
5:
        HOSTCALL _host_canaries, C_BODY
        SNAP S_STEPEND
        GOTO J_STEPEND

        .globl _pl_after_stepend
_pl_after_stepend:
        RESUMED R_STEPEND
        SNAP S_LOOP_END
        GOTO J_ADVANCE

        .globl _pl_exit
_pl_exit:
        RESUMED R_LOOP_EXIT
        fstp st(0)
        fldcw word ptr [_standin_cw_default]
        mov esp, [_standin_loop_esp]
        add esp, 0x80
        pop edi
        pop esi
        pop ebx
        pop ebp
        ret

/* ---------------------------------------------------------------- trace routine and loop */

        .globl _standin_call_trace_routine
_standin_call_trace_routine:
        push ebp
        push ebx
        push esi
        push edi
        HOSTCALL _host_canaries, C_CALLER
        fldcw word ptr [_standin_cw_trace]
        fld dword ptr [_standin_marker]
        fld dword ptr [_standin_marker + 4]
        SNAP S_TRACE_CALLER
        call dword ptr [_standin_jump + 4 * J_TRACE_ROUTINE]
        RESUMED R_TRACE_RETURN
        fstp st(0)
        fstp st(0)
        fldcw word ptr [_standin_cw_default]
        pop edi
        pop esi
        pop ebx
        pop ebp
        ret

        .globl _tr_body
_tr_body:
        RESUMED R_TRACE_BODY
        HOSTCALL _host_canaries, C_ROUTINE
        SNAP S_EPILOGUE
        GOTO J_EPILOGUE

        .globl _standin_trace_loop
_standin_trace_loop:
        push ebp
        push ebx
        push esi
        push edi
        sub esp, 0x40
        mov [_standin_loop_esp], esp
        HOSTCALL _host_trace_begin, 0   /* ESI = first host trace + 8, canaries */
        fldcw word ptr [_standin_cw_trace]
        fld dword ptr [_standin_marker]
        SNAP S_PLAIN
        GOTO J_TL_TOP

        .globl _tl_top
_tl_top:
        RESUMED R_TL_TOP
        HOSTCALL _host_trace_prepare, 0 /* EDI = the host's own colour */
        SNAP S_COLOUR
        GOTO J_COLOUR

        .globl _tl_after_colour
_tl_after_colour:
        RESUMED R_COLOUR
        HOSTCALL _host_trace_visit, 0
        SNAP S_TRACE_END
        GOTO J_TL_ADVANCE

        .globl _tl_exit
_tl_exit:
        RESUMED R_TL_EXIT
        fstp st(0)
        fldcw word ptr [_standin_cw_default]
        mov esp, [_standin_loop_esp]
        add esp, 0x40
        pop edi
        pop esi
        pop ebx
        pop ebp
        ret

/* ---------------------------------------------------------------- Reset sequences */

/* int standin_run_reset(void): runs the Reset sequence at standin_jump[J_RESET]. */
        .globl _standin_run_reset
_standin_run_reset:
        push ebp
        push ebx
        push esi
        push edi
        mov [_standin_loop_esp], esp
        HOSTCALL _host_reset_prepare, 0 /* EAX = device, ECX = its table, canaries */
        fldcw word ptr [_standin_cw_trace]
        fld dword ptr [_standin_marker]
        SNAP S_RESET
        GOTO J_RESET

        .globl _reset_after
_reset_after:
        RESUMED R_RESET
        fstp st(0)
        fldcw word ptr [_standin_cw_default]
        mov esp, [_standin_loop_esp]
        pop edi
        pop esi
        pop ebx
        pop ebp
        ret

/* Another plug-in's call over a Reset sequence: counts itself, then does the sequence's work
   with the registers the host left (EAX = the device). */
.macro FOREIGN idx
        .globl _standin_foreign_reset\idx
_standin_foreign_reset\idx:
        inc dword ptr [_standin_foreign_calls + 4 * \idx]
        push dword ptr [_standin_present_params]
        push eax
        mov edx, [eax]
        call dword ptr [edx + 0x40]
        ret
.endm
        FOREIGN 0
        FOREIGN 1
        FOREIGN 2
        FOREIGN 3

/* ---------------------------------------------------------------- shot routines */

/* int standin_call_shot(int kind): calls Make (0, thiscall, 6 arguments), MakeSniper (1, cdecl,
   8) or MakeM4 (2, cdecl, 3) at their host addresses with standin_shot_args. */
        .globl _standin_call_shot
_standin_call_shot:
        push ebp
        push ebx
        push esi
        push edi
        mov eax, [esp + 20]
        mov [_standin_shot_kind], eax
        fldcw word ptr [_standin_cw_trace]
        cmp eax, 1
        je 7f
        cmp eax, 2
        je 8f
        push STACK_CANARY               /* the caller's own stack word above the arguments */
        HOSTCALL _host_shot_prepare, 0  /* canaries; ECX = the HostWeapon */
        SNAP S_SHOT
        push dword ptr [_standin_shot_args + 20]
        push dword ptr [_standin_shot_args + 16]
        push dword ptr [_standin_shot_args + 12]
        push dword ptr [_standin_shot_args + 8]
        push dword ptr [_standin_shot_args + 4]
        push dword ptr [_standin_shot_args]
        call dword ptr [_standin_jump + 4 * J_MAKE]
        jmp 9f
7:
        push STACK_CANARY
        HOSTCALL _host_shot_prepare, 0
        SNAP S_SHOT
        push dword ptr [_standin_shot_args + 28]
        push dword ptr [_standin_shot_args + 24]
        push dword ptr [_standin_shot_args + 20]
        push dword ptr [_standin_shot_args + 16]
        push dword ptr [_standin_shot_args + 12]
        push dword ptr [_standin_shot_args + 8]
        push dword ptr [_standin_shot_args + 4]
        push dword ptr [_standin_shot_args]
        call dword ptr [_standin_jump + 4 * J_SNIPER]
        lea esp, [esp + 32]
        jmp 9f
8:
        push STACK_CANARY
        HOSTCALL _host_shot_prepare, 0
        SNAP S_SHOT
        push dword ptr [_standin_shot_args + 8]
        push dword ptr [_standin_shot_args + 4]
        push dword ptr [_standin_shot_args]
        call dword ptr [_standin_jump + 4 * J_M4]
        lea esp, [esp + 12]
9:
        RESUMED R_SHOT
        add esp, 4
        fldcw word ptr [_standin_cw_default]
        pop edi
        pop esi
        pop ebx
        pop ebp
        ret

/* The host's own shot routines, reached when no jump replaces them. */
        .globl _host_make_orig
_host_make_orig:
        add esp, 4                      /* the push at the routine's first byte */
        HOSTCALL _host_original_shot, 0
        mov eax, 1
        ret 24

        .globl _host_sniper_orig
_host_sniper_orig:
        pop ecx
        HOSTCALL _host_original_shot, 1
        mov eax, 1
        ret

        .globl _host_m4_orig
_host_m4_orig:
        add esp, 12
        HOSTCALL _host_original_shot, 2
        mov eax, 1
        ret
