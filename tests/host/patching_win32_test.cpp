// The real code-memory primitives on pages of this process, with the message box intercepted
// through this executable's own import slot.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/patching.h"

// This executable's import slot of the message box.
extern "C" void* importMessageBoxA __asm__("__imp__MessageBoxA@16");

namespace pellix {
namespace {

struct DialogRecord {
  std::string text;
  std::string caption;
  UINT flags;
};
std::vector<DialogRecord> dialogs;
int answer = IDYES;

int WINAPI RecordingMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT flags) {
  EXPECT_EQ(owner, nullptr);
  dialogs.push_back({text, caption, flags});
  return answer;
}

void ReplaceImport(void** slot, void* replacement) {
  DWORD previous = 0;
  VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &previous);
  *slot = replacement;
  VirtualProtect(slot, sizeof *slot, previous, &previous);
}

DWORD ProtectionOf(const void* address) {
  MEMORY_BASIC_INFORMATION info{};
  VirtualQuery(address, &info, sizeof info);
  return info.Protect;
}

uint32_t AddressValue(const void* p) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p));
}

class Win32PatchingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    page = static_cast<uint8_t*>(
        VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(page, nullptr);
    std::memset(page, 0xCC, 4096);
    page[0x100] = 0x68;
    DWORD previous = 0;
    VirtualProtect(page, 4096, PAGE_EXECUTE_READ, &previous);  // like the host's code
    savedMessageBox = importMessageBoxA;
    ReplaceImport(&importMessageBoxA, reinterpret_cast<void*>(&RecordingMessageBox));
    dialogs.clear();
    answer = IDYES;
  }
  void TearDown() override {
    ReplaceImport(&importMessageBoxA, savedMessageBox);
    VirtualFree(page, 0, MEM_RELEASE);
  }

  uint8_t* page = nullptr;
  void* savedMessageBox = nullptr;
};

TEST_F(Win32PatchingTest, ChecksAndProbesLeaveTheProtectionAsFound) {
  CodeMemory& memory = ProcessCodeMemory();
  EXPECT_TRUE(CheckCode(memory, AddressValue(page + 0x100), 0x68, "IDirect3DDevice9::Reset"));
  EXPECT_EQ(ProbeCode(memory, AddressValue(page + 0x101)), 0xCC);
  EXPECT_TRUE(dialogs.empty());
  EXPECT_EQ(ProtectionOf(page + 0x100), static_cast<DWORD>(PAGE_EXECUTE_READ));

  // A writable code page stays writable after a read.
  DWORD previous = 0;
  VirtualProtect(page, 4096, PAGE_EXECUTE_READWRITE, &previous);
  EXPECT_EQ(ProbeCode(memory, AddressValue(page + 0x100)), 0x68);
  EXPECT_EQ(ProtectionOf(page + 0x100), static_cast<DWORD>(PAGE_EXECUTE_READWRITE));
}

TEST_F(Win32PatchingTest, UnmappedSiteReadsAsAMismatchInsteadOfFaulting) {
  void* reserved = VirtualAlloc(nullptr, 4096, MEM_RESERVE, PAGE_NOACCESS);
  ASSERT_NE(reserved, nullptr);
  const uint32_t site = AddressValue(reserved) + 0x10;
  EXPECT_EQ(ProbeCode(ProcessCodeMemory(), site), 0x00);
  EXPECT_FALSE(CheckCode(ProcessCodeMemory(), site, 0x68, "IDirect3DDevice9::Reset"));
  EXPECT_EQ(dialogs.size(), 1u);
  VirtualFree(reserved, 0, MEM_RELEASE);
}

TEST_F(Win32PatchingTest, WritesAndFillsRestoreTheProtection) {
  CodeMemory& memory = ProcessCodeMemory();
  const PatchBytes jump = EncodeJump(AddressValue(page + 0x200), AddressValue(page + 0x10));
  WriteCode(memory, AddressValue(page + 0x200), jump.size, jump.bytes);
  NopCode(memory, AddressValue(page + 0x205), 6);
  EXPECT_EQ(ProtectionOf(page + 0x200), static_cast<DWORD>(PAGE_EXECUTE_READ));
  const uint8_t expected[12] = {0xE9, 0x0B, 0xFE, 0xFF, 0xFF, 0x90,
                                0x90, 0x90, 0x90, 0x90, 0x90, 0xCC};
  EXPECT_EQ(std::memcmp(page + 0x200, expected, sizeof expected), 0);
  EXPECT_EQ(page[0x1FF], 0xCC);
}

TEST_F(Win32PatchingTest, MismatchShowsTheExactDialog) {
  CodeMemory& memory = ProcessCodeMemory();
  const uint32_t site = AddressValue(page + 0x100);
  EXPECT_FALSE(CheckCode(memory, site, 0xE8, "IDirect3DDevice9::Reset"));
  ASSERT_EQ(dialogs.size(), 1u);
  char expected[256];
  std::snprintf(expected, sizeof expected,
                "An unknown code found at 0x%08X (IDirect3DDevice9::Reset).\n"
                "Do you want to continue without this Function?",
                static_cast<unsigned>(site));
  EXPECT_EQ(dialogs[0].text, expected);
  EXPECT_EQ(dialogs[0].caption, "Pellix");
  EXPECT_EQ(dialogs[0].flags, static_cast<UINT>(MB_YESNO | MB_ICONERROR | MB_DEFBUTTON2));
  EXPECT_EQ(dialogs[0].flags, 0x114u);
  EXPECT_EQ(ProtectionOf(page + 0x100), static_cast<DWORD>(PAGE_EXECUTE_READ));
}

// ExitProcess does not return, so No is watched from outside, in a child process.
TEST_F(Win32PatchingTest, AnswerNoEndsTheProcessWithCodeZero) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const uint32_t site = AddressValue(page + 0x100);
  EXPECT_EXIT(
      {
        answer = IDNO;
        CheckCode(ProcessCodeMemory(), site, 0xE8, "Make Patch");
        std::fprintf(stderr, "returned");
        std::_Exit(3);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace pellix
