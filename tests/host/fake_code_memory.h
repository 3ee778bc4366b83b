// A fake code image for the patching tests: bytes at host addresses, a log of every read and
// write, scripted dialog answers and a recorded exit request.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "host/patching.h"

namespace pellix::test {

class FakeCodeMemory final : public CodeMemory {
 public:
  static constexpr uint32_t kBase = 0x700000;
  static constexpr uint32_t kSize = 0x110000;  // covers every hook site

  struct WriteEvent {
    uint32_t address;
    std::vector<uint8_t> bytes;
  };
  struct Dialog {
    std::string text;
    std::string caption;
    uint32_t flags;
  };

  FakeCodeMemory() : image(kSize, 0xCC) {}

  uint8_t& At(uint32_t address) {
    if (address < kBase || address - kBase >= kSize) {
      outOfRange = true;
      return scratch;
    }
    return image[address - kBase];
  }
  void Put(uint32_t address, std::vector<uint8_t> bytes) {
    for (uint8_t b : bytes) At(address++) = b;
  }
  std::vector<uint8_t> Get(uint32_t address, uint32_t size) {
    std::vector<uint8_t> out;
    for (uint32_t i = 0; i < size; ++i) out.push_back(At(address + i));
    return out;
  }
  bool WasRead(uint32_t address) const {
    for (uint32_t a : reads) {
      if (a == address) return true;
    }
    return false;
  }

  uint8_t ReadByte(uint32_t address) override {
    if (exited) afterExit = true;
    reads.push_back(address);
    return At(address);
  }
  void Write(uint32_t address, const uint8_t* bytes, uint32_t size) override {
    if (exited) afterExit = true;
    writes.push_back({address, std::vector<uint8_t>(bytes, bytes + size)});
    for (uint32_t i = 0; i < size; ++i) At(address + i) = bytes[i];
  }
  int32_t Ask(const char* text, const char* caption, uint32_t flags) override {
    if (exited) afterExit = true;
    dialogs.push_back({text, caption, flags});
    const size_t index = dialogs.size() - 1;
    return index < answers.size() ? answers[index] : kAnswerYes;
  }
  void Exit(uint32_t code) override {
    exited = true;
    exitCode = code;
  }

  static constexpr int32_t kAnswerYes = 6;  // IDYES

  std::vector<uint8_t> image;
  uint8_t scratch = 0;
  bool outOfRange = false;
  std::vector<uint32_t> reads;
  std::vector<WriteEvent> writes;
  std::vector<Dialog> dialogs;
  std::vector<int32_t> answers;  // per dialog, in order; Yes when not scripted
  bool exited = false;
  uint32_t exitCode = 0xFFFFFFFF;
  bool afterExit = false;  // any operation after the exit request
};

}  // namespace pellix::test
