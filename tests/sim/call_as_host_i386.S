# Calls a function exactly as the host's code does: the arguments pushed right to left, a value
# in ECX, then `call`. Before the call EBX, ESI, EDI and EBP hold known values; afterwards the
# result, the stack pointer's change and those four registers are reported.
#
# void PellixCallAsHost(const void* fn, uint32_t ecx, const uint32_t* args, uint32_t count,
#                       HostCallResult* out);
# HostCallResult: eax, stack change (esp after the call - esp before the pushes), ebx, esi, edi, ebp.

        .data
        .balign 4
target:     .long 0
out:        .long 0
frame:      .long 0
espBefore:  .long 0
espAfter:   .long 0
keptEbx:    .long 0
keptEsi:    .long 0
keptEdi:    .long 0
keptEbp:    .long 0

        .text
        .globl _PellixCallAsHost
_PellixCallAsHost:
        push    %ebp
        mov     %esp, %ebp
        push    %ebx
        push    %esi
        push    %edi
        mov     8(%ebp), %eax
        mov     %eax, target
        mov     12(%ebp), %ecx
        mov     16(%ebp), %esi
        mov     20(%ebp), %edx
        mov     24(%ebp), %eax
        mov     %eax, out
        mov     %ebp, frame
        mov     %esp, espBefore
1:      test    %edx, %edx
        jz      2f
        dec     %edx
        pushl   (%esi,%edx,4)
        jmp     1b
2:      mov     $0x11111111, %ebx
        mov     $0x22222222, %esi
        mov     $0x33333333, %edi
        mov     $0x44444444, %ebp
        call    *target
        mov     %esp, espAfter
        mov     %ebx, keptEbx
        mov     %esi, keptEsi
        mov     %edi, keptEdi
        mov     %ebp, keptEbp
        mov     frame, %ebp
        mov     espBefore, %esp
        mov     out, %edi
        mov     %eax, 0(%edi)
        mov     espAfter, %ecx
        sub     espBefore, %ecx
        mov     %ecx, 4(%edi)
        mov     keptEbx, %ecx
        mov     %ecx, 8(%edi)
        mov     keptEsi, %ecx
        mov     %ecx, 12(%edi)
        mov     keptEdi, %ecx
        mov     %ecx, 16(%edi)
        mov     keptEbp, %ecx
        mov     %ecx, 20(%edi)
        pop     %edi
        pop     %esi
        pop     %ebx
        pop     %ebp
        ret
