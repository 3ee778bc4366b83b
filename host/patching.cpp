#include "host/patching.h"

#include <cstdio>
#include <cstring>

namespace pellix {

uint8_t ProbeCode(CodeMemory& memory, uint32_t address) { return memory.ReadByte(address); }

void FormatMismatchMessage(char* buffer, uint32_t size, uint32_t address, const char* label) {
  std::snprintf(buffer, size,
                "An unknown code found at 0x%08X (%s).\nDo you want to continue without this "
                "Function?",
                static_cast<unsigned>(address), label != nullptr ? label : "");
}

CheckOutcome CheckSite(CodeMemory& memory, uint32_t address, uint8_t expected, const char* label) {
  if (memory.ReadByte(address) == expected) return CheckOutcome::kMatch;
  char message[kDialogBufferSize];
  FormatMismatchMessage(message, sizeof message, address, label);
  if (memory.Ask(message, kDialogCaption, kDialogFlags) == kAnswerNo) {
    memory.Exit(0);
    return CheckOutcome::kQuit;
  }
  return CheckOutcome::kSkip;
}

bool CheckCode(CodeMemory& memory, uint32_t address, uint8_t expected, const char* label) {
  return CheckSite(memory, address, expected, label) == CheckOutcome::kMatch;
}

void WriteCode(CodeMemory& memory, uint32_t address, uint32_t size, const uint8_t* bytes) {
  memory.Write(address, bytes, size);
}

void NopCode(CodeMemory& memory, uint32_t address, uint32_t size) {
  uint8_t fill[kMaxPatchSize];
  while (size > 0) {  // the longest fill is six bytes; longer ones go piece by piece
    const uint32_t piece = size < kMaxPatchSize ? size : kMaxPatchSize;
    std::memset(fill, kNop, piece);
    memory.Write(address, fill, piece);
    address += piece;
    size -= piece;
  }
}

uint32_t RelativeDisplacement(uint32_t site, uint32_t target) { return target - (site + 5u); }

namespace {

void PutRelative(uint8_t* out, uint8_t opcode, uint32_t site, uint32_t target) {
  const uint32_t displacement = RelativeDisplacement(site, target);
  out[0] = opcode;
  for (int i = 0; i < 4; ++i) out[1 + i] = static_cast<uint8_t>(displacement >> (8 * i));
}

}  // namespace

PatchBytes EncodeJump(uint32_t site, uint32_t target) {
  PatchBytes patch{};
  PutRelative(patch.bytes, kJumpOpcode, site, target);
  patch.size = 5;
  return patch;
}

PatchBytes EncodeCallFill(uint32_t site, uint32_t target, uint32_t fill) {
  PatchBytes patch{};
  if (fill > kMaxPatchSize - 5) fill = kMaxPatchSize - 5;
  PutRelative(patch.bytes, kCallOpcode, site, target);
  std::memset(patch.bytes + 5, kNop, fill);
  patch.size = 5 + fill;
  return patch;
}

PatchBytes EncodeFill(uint32_t size) {
  PatchBytes patch{};
  if (size > kMaxPatchSize) size = kMaxPatchSize;
  std::memset(patch.bytes, kNop, size);
  patch.size = size;
  return patch;
}

PatchBytes EncodeFillJump(uint32_t site, uint32_t target) {
  PatchBytes patch{};
  patch.bytes[0] = kNop;
  PutRelative(patch.bytes + 1, kJumpOpcode, site + 1, target);
  patch.size = 6;
  return patch;
}

}  // namespace pellix
