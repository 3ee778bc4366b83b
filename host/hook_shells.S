# Register glue between the host's code and the plug-in's C++ (32-bit x86, GNU as).
#
# Mid-routine shells: push a resume slot, pushfd, pushad (a HookRegisters block, lowest address
# first), keep ESP in EBX, align the stack to 16, save the whole x87 state with fnsave (which
# also reinitialises it: empty stack, control word 0x37F) and load a known MXCSR, call the
# decision with a pointer to the block, put its result in the resume slot, restore everything
# and `ret` into the host. Registers the decision writes into the block come back by popad.
# Host addresses are only read from memory (hook_handlers_win32.cpp).

        .intel_syntax noprefix
        .text

# Loop-control flags of the two loop takeovers (pellix::projectileLoopOnPool and
# pellix::traceLoopOnPool), tested by the register-only fast paths.
        .set projectileLoopOnPool, __ZN6pellix20projectileLoopOnPoolE
        .set traceLoopOnPool, __ZN6pellix15traceLoopOnPoolE

        .set FRAME_SIZE, 144    # [0,16) arguments, [16,124) fnsave area, 124 MXCSR, 128 scratch
        .set FPU_AREA, 16
        .set SAVED_MXCSR, 124
        .set SCRATCH, 128
        .set REGS_ESP, 12       # HookRegisters::esp within the pushad block
        .set SAVED_FLAGS, 32
        .set RESUME_SLOT, 36

# EBX = the pushad block. Reserves the aligned frame and gives ordinary code a clean FPU.
.macro ENTER_ORDINARY
        cld
        and esp, -16
        sub esp, FRAME_SIZE
        fnsave [esp + FPU_AREA]
        stmxcsr [esp + SAVED_MXCSR]
        ldmxcsr [_hookKnownMxcsr]
.endm

.macro LEAVE_ORDINARY
        ldmxcsr [esp + SAVED_MXCSR]
        frstor [esp + FPU_AREA]
        mov esp, ebx
.endm

# Calls a C function without arguments with every register, the flags and the FPU kept.
.macro CALL_KEEPING_ALL fn
        pushfd
        pushad
        mov ebx, esp
        ENTER_ORDINARY
        call \fn
        LEAVE_ORDINARY
        popad
        popfd
.endm

# A mid-routine entry whose decision returns the resume address.
.macro DECISION_SHELL handler
        push 0                          # resume slot
        pushfd
        pushad
        mov ebx, esp
        add dword ptr [ebx + REGS_ESP], 8   # ESP at the hook site
        ENTER_ORDINARY
        mov [esp], ebx
        call \handler
        mov [ebx + RESUME_SLOT], eax
        LEAVE_ORDINARY
        popad
        popfd
        ret
.endm

# At 0x73680E, the host's end-of-loop test. Host records: flag test and compare only.
        .globl _ProjectileLoopEndShell
_ProjectileLoopEndShell:
        cmp dword ptr [projectileLoopOnPool], 0
        jne 1f
        cmp edi, dword ptr [_hookHostProjectileArrayEnd]
        jae 1f
        jmp dword ptr [_hookResumeProjectileLoopTop]
1:      DECISION_SHELL _PellixProjectileLoopEnd

# At 0x723F57, the host's trace end-of-loop test (a signed comparison in the host).
        .globl _TraceLoopEndShell
_TraceLoopEndShell:
        cmp dword ptr [traceLoopOnPool], 0
        jne 1f
        cmp esi, dword ptr [_hookHostTraceArrayEnd]
        jge 1f
        jmp dword ptr [_hookResumeTraceLoopTop]
1:      DECISION_SHELL _PellixTraceLoopEnd

# At 0x736283, after the host's hit test; AL is the hit's type code.
        .globl _ImpactShell
_ImpactShell:
        DECISION_SHELL _PellixImpact

# At 0x7367EB, in place of the two stack loads into ECX and EDX.
        .globl _StepEndShell
_StepEndShell:
        DECISION_SHELL _PellixStepEnd

# At 0x723CCD, in place of the colour load into EAX; sets EAX and EDI.
        .globl _TraceColourShell
_TraceColourShell:
        DECISION_SHELL _PellixTraceColour

# At 0x73614A. The x87 top holds the time step: pop it as a float, pass it, push it back, then
# the displaced `fld st(0)` / `fmul dword ptr [edi+0x18]`, leaving the stack one deeper.
        .globl _FlightForcesShell
_FlightForcesShell:
        pushfd
        pushad
        mov ebx, esp
        add dword ptr [ebx + REGS_ESP], 4
        cld
        and esp, -16
        sub esp, FRAME_SIZE
        fstp dword ptr [esp + SCRATCH]
        fnsave [esp + FPU_AREA]
        stmxcsr [esp + SAVED_MXCSR]
        ldmxcsr [_hookKnownMxcsr]
        mov eax, [esp + SCRATCH]
        mov [esp + 4], eax
        mov [esp], ebx
        call _PellixFlightForces
        ldmxcsr [esp + SAVED_MXCSR]
        frstor [esp + FPU_AREA]
        fld dword ptr [esp + SCRATCH]
        mov esp, ebx
        popad
        popfd
        fld st(0)
        fmul dword ptr [edi + 0x18]
        jmp dword ptr [_hookResumeFlightForces]

# At 0x7240B5, in place of the routine's epilogue: the trail update, then that epilogue.
        .globl _TrailUpdateShell
_TrailUpdateShell:
        CALL_KEEPING_ALL _PellixTrailUpdate
        pop edi
        pop esi
        pop ebx
        ret

# Reset wrappers, reached by a call over the host's Reset sequence. The return address is
# kept in memory so that the Reset call, or the chained foreign call, sees the host's stack
# and registers exactly as at the site. EAX keeps the result of that call.
        .globl _ResetWrapperA
_ResetWrapperA:
        pop dword ptr [resetReturnA]
        CALL_KEEPING_ALL _PellixReleaseTracerResources
        cmp dword ptr [_chainedResetA], 0
        je 1f
        call dword ptr [_chainedResetA]
        jmp 2f
1:      push dword ptr [_hookHostPresentParams]
        push eax                        # the device; ECX holds its virtual table
        call dword ptr [ecx + 0x40]     # IDirect3DDevice9::Reset
2:      CALL_KEEPING_ALL _PellixRestoreTracerResources
        push dword ptr [resetReturnA]
        ret

        .globl _ResetWrapperB
_ResetWrapperB:
        pop dword ptr [resetReturnB]
        CALL_KEEPING_ALL _PellixReleaseTracerResources
        cmp dword ptr [_chainedResetB], 0
        je 1f
        call dword ptr [_chainedResetB]
        jmp 2f
1:      push dword ptr [_hookHostPresentParams]
        push eax                        # the device
        mov edx, [eax]                  # its virtual table, as the host's sequence loads it
        call dword ptr [edx + 0x40]     # IDirect3DDevice9::Reset
2:      CALL_KEEPING_ALL _PellixRestoreTracerResources
        push dword ptr [resetReturnB]
        ret

# Shot routines: the host calls them with whatever x87 control word it runs with (a Direct3D 9
# device made without FPU_PRESERVE sets single precision). The C++ runs under the known control
# word and MXCSR, then the host's come back. Arguments are copied; `pop` is what the routine
# removes from the stack on return.
.macro SHOT_SHELL name, target, count, pop
        .globl \name
\name:
        push ebp
        mov ebp, esp
        sub esp, 8
        fnstcw [ebp - 4]
        stmxcsr [ebp - 8]
        fldcw [_hookKnownFpuControl]
        ldmxcsr [_hookKnownMxcsr]
        and esp, -16
        sub esp, (16 - (4 * \count) % 16) % 16
        .set argument, \count
        .rept \count
        push dword ptr [ebp + 4 + 4 * argument]
        .set argument, argument - 1
        .endr
        call \target                    # Make also finds the HostWeapon in ECX, untouched
        fldcw [ebp - 4]
        ldmxcsr [ebp - 8]
        leave
.if \pop
        ret \pop
.else
        ret
.endif
.endm

        SHOT_SHELL _MakeShell, _Make, 6, 24
        SHOT_SHELL _MakeSniperShell, _MakeSniper, 8, 0
        SHOT_SHELL _MakeM4Shell, _MakeM4, 3, 0

        .bss
        .balign 4
resetReturnA:
        .space 4
resetReturnB:
        .space 4
