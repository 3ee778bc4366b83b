// The host's member-call convention (object in ECX, callee removes the stack arguments).
// Only the 32-bit build has it; natively the same functions are ordinary calls.
#pragma once

#if defined(__i386__)
#define HOST_THISCALL __attribute__((thiscall))
#else
#define HOST_THISCALL
#endif
