// The stand-in host: plays the host game at its fixed addresses and runs the real plug-in
// library inside it. Usage: standin-host <scenario> | --list
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "contracts.h"
#include "message_box.h"
#include "report.h"
#include "scenario.h"

namespace {

std::string ExeFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  char* slash = std::strrchr(path, '\\');
  if (slash) *slash = '\0';
  return path;
}

void WriteBeside(const std::string& folder, const char* name, const std::string& text) {
  const std::string path = folder + "\\" + name;
  if (text.empty()) {
    DeleteFileA(path.c_str());
    return;
  }
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
}

}  // namespace

int main(int argc, char** argv) {
  using namespace standin;
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc < 2 || std::strcmp(argv[1], "--list") == 0) {
    ListScenarios();
    return argc < 2 ? 2 : 0;
  }
  const Scenario* scenario = FindScenario(argv[1]);
  if (!scenario) {
    std::printf("unknown scenario %s\n", argv[1]);
    return 2;
  }
  std::printf("SCENARIO %s\n", scenario->name);
  ScenarioConfig config;
  scenario->configure(config);
  const std::string folder = ExeFolder();
  if (!config.filesAsTheyAre) {
    WriteBeside(folder, "pellix.ini", config.ini);
    WriteBeside(folder, "pellix_weapon.dat", config.weapons);
    WriteBeside(folder, "pellix_surface.dat", config.surfaces);
  }

  LayHost(config.variant);
  CatchMessageBoxes(config.answerYes, config.expectedDialog);

  Library library;
  if (config.loadLibrary) {
    HMODULE module = LoadLibraryA("pellix.dll");
    if (!Check(module != nullptr, "library loaded", "LoadLibraryA failed, error %lu",
               GetLastError()))
      return Finish();
    std::printf("LOADED\n");
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        reinterpret_cast<const uint8_t*>(module) + dos->e_lfanew);
    library.loaded = true;
    library.base = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(module));
    library.end = library.base + nt->OptionalHeader.SizeOfImage;
    // The library's start-up log, if it wrote one: it says why start-up stopped.
    if (FILE* f = std::fopen((folder + "\\pellix.log").c_str(), "r")) {
      char line[512];
      while (std::fgets(line, sizeof line, f)) std::printf("LOG %s", line);
      std::fclose(f);
    }
  }
  scenario->run(config, library);
  if (!config.expectViolations)
    Check(ContractViolations() == 0, "register, stack and FPU contracts at every resumption",
          "%d violations in %d checks", ContractViolations(), ContractChecks());
  Note("%d resumptions checked", ContractChecks());
  return Finish();
}
