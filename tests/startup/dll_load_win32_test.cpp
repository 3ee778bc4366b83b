// The real pellix.dll loaded by a process: start-up runs on process attach, looks beside the
// process's executable (not the library's folder) and writes its log there; thread and detach
// notifications change nothing.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

fs::path ExecutableFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return fs::path(path).parent_path();
}

std::string ReadText(const fs::path& file) {
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteText(const fs::path& file, const std::string& text) { std::ofstream(file) << text; }

DWORD WINAPI DoNothing(LPVOID) { return 0; }

TEST(DllLoad, StartupRunsOnAttachBesideTheExecutable) {
  const fs::path gameFolder = ExecutableFolder();
  const fs::path libraryFolder = fs::temp_directory_path() / "pellix_test_dll_load";
  fs::remove_all(libraryFolder);
  fs::create_directories(libraryFolder);
  fs::copy_file(PELLIX_DLL_PATH, libraryFolder / "pellix.dll");
  // Beside the game: a pool size that stops start-up before any hook. Beside the library:
  // settings that would let it go on. The log tells which one was read.
  WriteText(gameFolder / "pellix.ini", "[PELLIX]\nMaxPellix=0\n");
  WriteText(libraryFolder / "pellix.ini", "[PELLIX]\nMaxPellix=7\n");
  fs::remove(gameFolder / "pellix.log");

  HMODULE library = LoadLibraryA((libraryFolder / "pellix.dll").string().c_str());
  ASSERT_NE(library, nullptr) << "attach must return TRUE";  // FALSE would fail the load

  const std::string log = ReadText(gameFolder / "pellix.log");
  EXPECT_NE(log.find("data folder: " + gameFolder.string()), std::string::npos) << log;
  EXPECT_NE(log.find("MaxPellix 0,"), std::string::npos) << log;
  EXPECT_NE(log.find("stopped: MaxPellix must be at least 1"), std::string::npos) << log;
  EXPECT_FALSE(fs::exists(libraryFolder / "pellix.log"));

  // Thread attach and detach, then process detach: nothing runs again.
  fs::remove(gameFolder / "pellix.log");
  HANDLE thread = CreateThread(nullptr, 0, DoNothing, nullptr, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  EXPECT_NE(FreeLibrary(library), 0);
  EXPECT_FALSE(fs::exists(gameFolder / "pellix.log"));

  fs::remove(gameFolder / "pellix.ini");
  fs::remove_all(libraryFolder);
}

}  // namespace
