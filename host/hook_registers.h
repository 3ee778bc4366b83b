// The general registers as a hook shell saves them with pushad (lowest address first).
// On the 32-bit build each field is one 32-bit register; natively the loop model uses
// pointer-sized values so that registers can hold real addresses of the pool.
#pragma once
#include <cstdint>

namespace pellix {

struct HookRegisters {
  uintptr_t edi;
  uintptr_t esi;
  uintptr_t ebp;
  uintptr_t esp;  // ESP at the hook site: the shell corrects pushad's value for what it pushed first
  uintptr_t ebx;
  uintptr_t edx;
  uintptr_t ecx;
  uintptr_t eax;
};

}  // namespace pellix
