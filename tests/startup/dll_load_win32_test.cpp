// The real pellix.dll loaded by a process: start-up runs on process attach, looks beside the
// process's executable (not the library's folder) and writes its log there; thread and detach
// notifications change nothing.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "pellix_version.h"

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
  EXPECT_EQ(log.rfind("Pellix " PELLIX_VERSION "\n", 0), 0u) << log;  // the first line
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

// What Explorer shows under Properties > Details, read as Windows reads it. (The test program
// imports version.dll for this; the library itself does not.)
TEST(DllLoad, VersionResourceNamesTheBuild) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(PELLIX_DLL_PATH, &ignored);
  ASSERT_GT(size, 0u) << "no version resource";
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(PELLIX_DLL_PATH, 0, size, info.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  unsigned major = 0, minor = 0, patch = 0;
  ASSERT_EQ(std::sscanf(PELLIX_VERSION, "%u.%u.%u", &major, &minor, &patch), 3);
  EXPECT_EQ(fixed->dwFileVersionMS, major << 16 | minor);
  EXPECT_EQ(fixed->dwFileVersionLS, patch << 16);
  EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));

  const std::pair<const char*, std::string> expected[] = {
      {"ProductName", "Pellix"},
      {"ProductVersion", PELLIX_VERSION},
      {"FileVersion", PELLIX_VERSION},
      {"OriginalFilename", "pellix.dll"},
      {"FileDescription", ""},  // any text
      {"LegalCopyright", ""},
  };
  for (const auto& [name, value] : expected) {
    const std::string key = std::string("\\StringFileInfo\\040904B0\\") + name;
    char* text = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&text), &length))
        << name;
    std::printf("%s: %s\n", name, text);
    if (value.empty()) {
      EXPECT_GT(std::strlen(text), 0u) << name;
    } else {
      EXPECT_EQ(text, value) << name;
    }
  }
}

}  // namespace
