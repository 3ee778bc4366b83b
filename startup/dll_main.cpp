// The library's one entry point: start-up on process attach, nothing else ever.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    // start-up comes here
  }
  return TRUE;
}
