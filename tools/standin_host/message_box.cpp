#include "message_box.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "report.h"

namespace standin {
namespace {

bool answer = true;
std::string expected;
std::vector<Dialog> dialogs;

int WINAPI Answer(HWND owner, LPCSTR text, LPCSTR caption, UINT flags) {
  dialogs.push_back({text ? text : "", caption ? caption : "", flags, owner == nullptr});
  // Printed at once: a No ends the process inside the library's start-up.
  std::printf("DIALOG caption=\"%s\" flags=0x%X owner=%s answer=%s text=\"", caption ? caption : "",
              flags, owner == nullptr ? "none" : "set", answer ? "yes" : "no");
  for (const char* c = text ? text : ""; *c; ++c) {
    if (*c == '\n')
      std::printf("\\n");
    else
      std::putchar(*c);
  }
  std::printf("\"\n");
  if (!expected.empty())
    Check(expected == (text ? text : ""), "dialog text as expected", "expected \"%s\"",
          expected.c_str());
  std::fflush(stdout);
  return answer ? IDYES : IDNO;
}

}  // namespace

void CatchMessageBoxes(bool answerYes, const std::string& expectedText) {
  answer = answerYes;
  expected = expectedText;
  HMODULE user32 = LoadLibraryA("user32.dll");
  auto* target = reinterpret_cast<uint8_t*>(GetProcAddress(user32, "MessageBoxA"));
  DWORD old = 0;
  VirtualProtect(target, 5, PAGE_EXECUTE_READWRITE, &old);
  const uint32_t disp = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&Answer)) -
                        static_cast<uint32_t>(reinterpret_cast<uintptr_t>(target) + 5);
  target[0] = 0xE9;
  std::memcpy(target + 1, &disp, 4);
  VirtualProtect(target, 5, old, &old);
  FlushInstructionCache(GetCurrentProcess(), target, 5);
}

const std::vector<Dialog>& Dialogs() { return dialogs; }

}  // namespace standin
