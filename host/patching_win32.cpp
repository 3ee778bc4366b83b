// The code-memory primitives on the process's own pages.
#include <windows.h>

#include <cstring>

#include "host/patching.h"

namespace pellix {

namespace {

void* AddressOf(uint32_t address) {
  return reinterpret_cast<void*>(static_cast<uintptr_t>(address));
}

constexpr uint8_t kUnmappedByte = 0x00;

bool Committed(uint32_t address) {
  MEMORY_BASIC_INFORMATION info{};
  if (VirtualQuery(AddressOf(address), &info, sizeof info) == 0) return false;
  return info.State == MEM_COMMIT;
}

class Win32CodeMemory final : public CodeMemory {
 public:
  uint8_t ReadByte(uint32_t address) override {
    // A host build whose image does not reach a hook site must not fault at load: such a byte
    // reads as 0x00, which no hook site expects, so the site gets the dialog.
    if (!Committed(address)) return kUnmappedByte;
    DWORD previous = 0;
    VirtualProtect(AddressOf(address), 1, PAGE_EXECUTE_READ, &previous);
    const uint8_t value = *static_cast<volatile const uint8_t*>(AddressOf(address));
    VirtualProtect(AddressOf(address), 1, previous, &previous);
    return value;
  }

  void Write(uint32_t address, const uint8_t* bytes, uint32_t size) override {
    DWORD previous = 0;
    VirtualProtect(AddressOf(address), size, PAGE_EXECUTE_READWRITE, &previous);
    std::memcpy(AddressOf(address), bytes, size);
    VirtualProtect(AddressOf(address), size, previous, &previous);
    // Not needed on x86, where writes to code are seen at once, but the documented way.
    FlushInstructionCache(GetCurrentProcess(), AddressOf(address), size);
  }

  int32_t Ask(const char* text, const char* caption, uint32_t flags) override {
    return MessageBoxA(nullptr, text, caption, flags);
  }

  void Exit(uint32_t code) override { ExitProcess(code); }
};

Win32CodeMemory processCode;

}  // namespace

CodeMemory& ProcessCodeMemory() { return processCode; }

}  // namespace pellix
