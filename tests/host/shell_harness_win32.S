# Test harness for the hook shells: enters a shell with chosen registers, x87 stack and stack
# pointer, as the host's code would, and comes back when the shell resumes the host (the
# vectored exception handler of the test catches the jump to the absent host code and sends
# execution to HarnessBack). Also calls routines with canaries in the callee-saved registers.

        .intel_syntax noprefix
        .text

        .set IN_ESP, 16
        .set IN_X87_COUNT, 32
        .set IN_X87, 36          # up to 4 floats, pushed in order (the last ends on top)
        .set IN_CONTROL, 52      # x87 control word

# void RunShellHarness(void (*entry)(), const ShellInput* in)
        .globl _RunShellHarness
_RunShellHarness:
        push ebp
        push ebx
        push esi
        push edi
        mov [_harnessSavedEsp], esp
        mov eax, [esp + 20]
        mov [harnessEntry], eax
        mov esi, [esp + 24]
        fninit
        fldcw [esi + IN_CONTROL]
        mov ecx, [esi + IN_X87_COUNT]
        xor edx, edx
1:      cmp edx, ecx
        jae 2f
        fld dword ptr [esi + IN_X87 + 4 * edx]
        inc edx
        jmp 1b
2:      mov esp, [esi + IN_ESP]
        mov eax, [esi + 0]
        mov ecx, [esi + 4]
        mov edx, [esi + 8]
        mov ebx, [esi + 12]
        mov ebp, [esi + 20]
        mov edi, [esi + 28]
        mov esi, [esi + 24]
        jmp dword ptr [harnessEntry]

        .globl _HarnessBack
_HarnessBack:
        mov esp, [_harnessSavedEsp]
        fninit
        pop edi
        pop esi
        pop ebx
        pop ebp
        ret

# void CallWithCanaries(void* fn, uint32_t ecx, const uint32_t* args, uint32_t count,
#                       uint16_t control, CallOutput* out)
# Pushes the arguments (the stack deliberately 4 off a 16-byte boundary), loads the x87
# control word and the canaries, calls, and records EAX, ESP before and after, the four
# callee-saved registers and the control word found afterwards.
        .globl _CallWithCanaries
_CallWithCanaries:
        push ebp
        push ebx
        push esi
        push edi
        mov [callSavedEsp], esp
        mov eax, [esp + 20]
        mov [callFunction], eax
        mov eax, [esp + 24]
        mov [callEcx], eax
        mov eax, [esp + 40]
        mov [callOutput], eax
        fninit
        fldcw [esp + 36]
        mov ecx, [esp + 28]
        mov edx, [esp + 32]
        and esp, -16
        sub esp, 4
1:      test edx, edx
        jz 2f
        dec edx
        push dword ptr [ecx + 4 * edx]
        jmp 1b
2:      mov [callEspBefore], esp
        mov ebx, 0xB0B0B0B0
        mov esi, 0x51515151
        mov edi, 0xD1D1D1D1
        mov ebp, 0xBEBEBEBE
        mov ecx, [callEcx]
        call dword ptr [callFunction]
        mov edx, [callOutput]
        mov [edx + 0], eax
        mov [edx + 4], esp
        mov ecx, [callEspBefore]
        mov [edx + 8], ecx
        mov [edx + 12], ebx
        mov [edx + 16], esi
        mov [edx + 20], edi
        mov [edx + 24], ebp
        fnstcw [edx + 28]
        mov esp, [callSavedEsp]
        fninit
        pop edi
        pop esi
        pop ebx
        pop ebp
        ret

# A foreign plug-in's Reset replacement: records the registers and the stack pointer it was
# called with, and returns a recognisable result.
        .globl _RecordingChainTarget
_RecordingChainTarget:
        mov [_chainSeen + 0], eax
        mov [_chainSeen + 4], ecx
        mov [_chainSeen + 8], edx
        mov [_chainSeen + 12], ebx
        mov [_chainSeen + 16], esp
        mov [_chainSeen + 20], ebp
        mov [_chainSeen + 24], esi
        mov [_chainSeen + 28], edi
        inc dword ptr [_chainCalls]
        mov eax, 0x0C4A1ED0
        mov ecx, 0xDEAD0001            # a called routine may change ECX and EDX
        mov edx, 0xDEAD0002
        ret

# The plug-in's drawing as Direct3D leaves the FPU: another control word, and the registers a
# called routine may change changed. Records the control word it was called with.
        .globl _ClobberingDraw
_ClobberingDraw:
        fnstcw [_drawSeenControl]
        inc dword ptr [_drawCalls]
        fldcw [drawControl]
        mov eax, 0xDEAD0011
        mov ecx, 0xDEAD0012
        mov edx, 0xDEAD0013
        ret

        .data
drawControl:
        .word 0x0C7F                   # single precision, rounding toward zero

        .bss
        .balign 4
        .globl _drawCalls
_drawCalls:
        .space 4
        .globl _drawSeenControl
_drawSeenControl:
        .space 4
        .globl _harnessSavedEsp
_harnessSavedEsp:
        .space 4
harnessEntry:
        .space 4
callSavedEsp:
        .space 4
callFunction:
        .space 4
callEcx:
        .space 4
callOutput:
        .space 4
callEspBefore:
        .space 4
        .globl _chainSeen
_chainSeen:
        .space 32
        .globl _chainCalls
_chainCalls:
        .space 4
