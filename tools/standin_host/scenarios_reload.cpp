// Reload=1 in play: the files beside the game are edited between frames, and the plug-in reads
// them again at its next check (once a second of game clock): shots in flight fly on under the
// new settings, new shots take the new weapon row, and a faulty file is refused.
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "host_map.h"
#include "report.h"
#include "scenario.h"
#include "scenario_support.h"

namespace standin {
namespace {

constexpr uint32_t kStartClock = 100000;
constexpr uint32_t kFrameMs = 200;

std::string Ini(const char* gravity) {
  // RangeMult 4: weapon 22's rounds live 3200 ms, through the reload.
  return std::string("[PELLIX]\r\nMaxPellix=8\r\nMaxWeapon=40\r\nReload=1\r\n[PHYSICS]\r\n") +
         gravity + "RangeMult=4\r\n[GRAPHICS]\r\nTracerType=0\r\n";
}

std::string Beside(const char* name) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (char* slash = std::strrchr(path, '\\')) *slash = '\0';
  return std::string(path) + "\\" + name;
}

// Writes the file and stamps it a few seconds later than the last edit: the plug-in sees the
// change whatever the file system's clock resolution.
void Write(const char* name, const std::string& text) {
  static int edits = 0;
  const std::string path = Beside(name);
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER t;
  t.LowPart = now.dwLowDateTime;
  t.HighPart = now.dwHighDateTime;
  t.QuadPart += static_cast<ULONGLONG>(++edits) * 30000000u;  // 3 s in 100 ns units
  now.dwLowDateTime = t.LowPart;
  now.dwHighDateTime = t.HighPart;
  SetFileTime(file, nullptr, nullptr, &now);
  CloseHandle(file);
}

std::string ReadLog() {
  std::string text;
  if (FILE* f = std::fopen(Beside("pellix.log").c_str(), "rb")) {
    char chunk[512];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
    std::fclose(f);
  }
  return text;
}

// Weapon 22's line with another muzzle speed; the rest of the file as the scenarios write it.
std::string WeaponsWith22(const char* speed) {
  std::string file = WeaponFile();
  const size_t at = file.find("\n22 500 ") + 4;
  return file.replace(at, 3, speed);
}

const StepVisit* Visit(uint32_t record, int frame) {
  for (const StepVisit& v : Log().steps)
    if (v.record == record && v.frame == frame) return &v;
  return nullptr;
}

bool Finite(const Vec3& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

void ConfigureReload(ScenarioConfig& c) {
  c.ini = Ini("Gravity=0\r\n");
  c.weapons = WeaponFile();
  c.surfaces = SurfaceFile();
}

void RunReload(const ScenarioConfig&, const Library&) {
  ClearHost(kStartClock);
  FireSniper(0, 22, {0, 0, 0}, {1, 0, 0});
  RunFrame(1.0f, kFrameMs);  // the first check: nothing changed
  const uint32_t first = PoolRecordAt({0, 0, 0});
  if (!Check(first != 0, "the first round flies")) return;

  // Mid-game: gravity on, weapon 22 at half its muzzle speed (10 per step instead of 20).
  Write("pellix.ini", Ini("Gravity=1\r\n"));
  Write("pellix_weapon.dat", WeaponsWith22("250"));
  for (int f = 2; f <= 6; ++f) RunFrame(1.0f, kFrameMs);  // frame 6: a second after the check
  bool before = true;
  for (int f = 2; f <= 5; ++f) {
    const StepVisit* v = Visit(first, f);
    before = before && v && v->after.velocity.z == 0.0f;
  }
  const StepVisit* swapped = Visit(first, 6);
  Check(before, "until the next check the round flies as before (no gravity)");
  Check(swapped && swapped->after.velocity.z == swapped->before.velocity.z - 0.032f &&
            Near(swapped->after.velocity.x, 20.0f, 1e-5f) && Finite(swapped->after.position),
        "from the frame of the check on, the round in flight falls under the new gravity");

  FireSniper(0, 22, {0, 5, 0}, {1, 0, 0});
  RunFrame(1.0f, kFrameMs);
  const uint32_t second = PoolRecordAt({0, 5, 0});
  const StepVisit* fresh = second ? Visit(second, 7) : nullptr;
  Check(fresh && Near(fresh->before.velocity.x, 10.0f, 1e-5f),
        "a new shot of weapon 22 leaves at the reloaded muzzle speed", "vx %g",
        fresh ? fresh->before.velocity.x : 0.0f);

  // A faulty weapon file (muzzle speed 0) is refused: shots keep the last good row.
  Write("pellix_weapon.dat", WeaponsWith22("0  "));
  for (int f = 8; f <= 12; ++f) RunFrame(1.0f, kFrameMs);
  FireSniper(0, 22, {0, 9, 0}, {1, 0, 0});
  RunFrame(1.0f, kFrameMs);
  const uint32_t third = PoolRecordAt({0, 9, 0});
  const StepVisit* kept = third ? Visit(third, 13) : nullptr;
  Check(kept && Near(kept->before.velocity.x, 10.0f, 1e-5f),
        "after a refused file shots keep the last row");

  const std::string log = ReadLog();
  Check(log.find("reloaded: pellix.ini (Gravity 0 -> 1)") != std::string::npos &&
            log.find("reloaded: pellix_weapon.dat (row 22)") != std::string::npos &&
            log.find("pellix_weapon.dat:3: muzzle speed 0: no shot of weapon type 22 can fly") !=
                std::string::npos &&
            log.find("reload refused: pellix_weapon.dat has 1 fault") != std::string::npos,
        "pellix.log tells each reload, each fault and the refusal", "log:\n%s", log.c_str());
}

const Scenario kScenarios[] = {
    {"reload", "Reload=1: files edited in play are read again at the next check", ConfigureReload,
     RunReload},
};

}  // namespace

ScenarioList ReloadScenarios() { return {kScenarios, sizeof kScenarios / sizeof kScenarios[0]}; }

}  // namespace standin
