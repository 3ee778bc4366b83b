// The library's one entry point: start-up on process attach, nothing else ever.
#include <windows.h>

#include "host/hook_table.h"
#include "host/host_binding.h"
#include "startup/data_paths.h"
#include "startup/file_access.h"
#include "startup/profile.h"
#include "startup/startup.h"
#include "visuals/direct3d_binding.h"

namespace {

pellix::StartupLog startupLog;  // static: the loader's stack is not ours to fill

void StartUp() {
  pellix::BindHostGame();
  pellix::BindDirect3D();  // the trace loop draws through the host's own device
  // The process's executable, not this library: the data files lie beside the game.
  char executable[pellix::PathBufferSize] = {};
  const DWORD length = GetModuleFileNameA(nullptr, executable, pellix::PathBufferSize);
  const bool whole = length > 0 && length < pellix::PathBufferSize;  // not cut short

  pellix::StartupPlatform platform;
  platform.executablePath = whole ? executable : nullptr;
  platform.profile = pellix::SystemProfile();
  platform.openFile = pellix::OpenPlatformFile;
  platform.installHooks = pellix::InstallHooks;
  platform.files = pellix::SystemFileAccess();
  pellix::RunStartup(platform, startupLog);
  pellix::WriteStartupLog(startupLog, pellix::OpenPlatformFile);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) StartUp();
  return TRUE;
}
