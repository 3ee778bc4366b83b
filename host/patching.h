// Guarded writing of the host's code. The decisions (byte checks, the continue-or-quit dialog,
// machine-code encodings) are portable; the few primitives that touch real memory sit behind
// CodeMemory, which the Windows build fills with VirtualProtect / MessageBoxA / ExitProcess and
// tests fill with a fake code image.
#pragma once
#include <cstdint>

namespace pellix {

// The primitives under every patch. Each widens the protection of exactly the bytes it
// touches and restores the previous protection before it returns.
class CodeMemory {
 public:
  virtual uint8_t ReadByte(uint32_t address) = 0;  // under execute-read
  virtual void Write(uint32_t address, const uint8_t* bytes, uint32_t size) = 0;   // under RWX
  virtual int32_t Ask(const char* text, const char* caption, uint32_t flags) = 0;  // a message box
  // Ends the process. Returns only in a test double; the installation then stops.
  virtual void Exit(uint32_t code) = 0;

 protected:
  ~CodeMemory() = default;
};

// The process's own code memory (32-bit Windows only).
CodeMemory& ProcessCodeMemory();

inline constexpr const char* kDialogCaption = "Pellix";
inline constexpr uint32_t kDialogFlags = 0x114;  // MB_YESNO | MB_ICONERROR | MB_DEFBUTTON2
inline constexpr int32_t kAnswerNo = 7;          // IDNO
inline constexpr uint32_t kDialogBufferSize = 1024;

enum class CheckOutcome { kMatch, kSkip, kQuit };

// Reads one code byte and reports nothing.
uint8_t ProbeCode(CodeMemory& memory, uint32_t address);
// Reads one byte; on a mismatch asks whether to run on without this hook. kQuit is only seen
// when CodeMemory::Exit returned (a test double).
CheckOutcome CheckSite(CodeMemory& memory, uint32_t address, uint8_t expected, const char* label);
// True when the byte matches; false when the user chose to run on without this hook.
bool CheckCode(CodeMemory& memory, uint32_t address, uint8_t expected, const char* label);
void WriteCode(CodeMemory& memory, uint32_t address, uint32_t size, const uint8_t* bytes);
void NopCode(CodeMemory& memory, uint32_t address, uint32_t size);

// The dialog text for a mismatch; always terminated within `size` bytes.
void FormatMismatchMessage(char* buffer, uint32_t size, uint32_t address, const char* label);

// Machine code written into the host. Displacements are relative to the end of the five-byte
// instruction and wrap as 32-bit two's complement.
inline constexpr uint8_t kJumpOpcode = 0xE9;
inline constexpr uint8_t kCallOpcode = 0xE8;
inline constexpr uint8_t kNop = 0x90;
inline constexpr uint32_t kMaxPatchSize = 11;

struct PatchBytes {
  uint8_t bytes[kMaxPatchSize];
  uint32_t size;
};

uint32_t RelativeDisplacement(uint32_t site, uint32_t target);
PatchBytes EncodeJump(uint32_t site, uint32_t target);
PatchBytes EncodeCallFill(uint32_t site, uint32_t target, uint32_t fill);  // fill of 4 or 6
PatchBytes EncodeFill(uint32_t size);                                      // 2 or 6
PatchBytes EncodeFillJump(uint32_t site, uint32_t target);  // 0x90, then a jump at site + 1

}  // namespace pellix
