// The released files as a player installs them: the stand-in writes no data file of its own
// and runs on whatever pellix.ini, weapon and surface files lie beside it. Shots of every
// weapon row then fly at the muzzle speed that the weapon file beside the program gives.
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "report.h"
#include "scenario.h"
#include "scenario_support.h"

namespace standin {
namespace {

std::string Beside(const char* name) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  char* slash = std::strrchr(path, '\\');
  std::strcpy(slash ? slash + 1 : path, name);
  return path;
}

// Muzzle speed by weapon type, read here with a plain scan of the file's lines (type, then
// speed), not with the library's reader.
std::map<int, float> MuzzleSpeeds() {
  std::map<int, float> speeds;
  if (FILE* f = std::fopen(Beside("pellix_weapon.dat").c_str(), "r")) {
    char line[512];
    int type;
    float speed;
    while (std::fgets(line, sizeof line, f))
      if (line[0] != ';' && std::sscanf(line, "%d %f", &type, &speed) == 2) speeds[type] = speed;
    std::fclose(f);
  }
  return speeds;
}

void ConfigureInstalled(ScenarioConfig& c) { c.filesAsTheyAre = true; }

void RunInstalled(const ScenarioConfig&, const Library&) {
  ClearHost(300000);
  const std::string ini = Beside("pellix.ini");
  const int maxWeapon =
      static_cast<int>(GetPrivateProfileIntA("PELLIX", "MaxWeapon", 0, ini.c_str()));
  const std::map<int, float> speeds = MuzzleSpeeds();
  if (!Check(!speeds.empty() && speeds.count(0) == 1 && maxWeapon >= 0,
             "the weapon file and pellix.ini lie beside the program", "%u rows, MaxWeapon %d",
             static_cast<unsigned>(speeds.size()), maxWeapon))
    return;

  // One shot of every row up to MaxWeapon, and one of the type after it, which flies with row 0.
  struct Shot {
    int type;
    float speed;
    Vec3 start;
  };
  std::vector<Shot> shots;
  for (int type = 0; type <= maxWeapon + 1 && type < 256; ++type) {
    const auto row = speeds.find(type <= maxWeapon ? type : 0);
    if (row == speeds.end() || row->second <= 0) continue;
    const Shot shot{type, row->second, {0, 10.0f * static_cast<float>(type), 50}};
    FireSniper(0, static_cast<uint32_t>(type), shot.start, {1, 0, 0});
    shots.push_back(shot);
  }
  RunFrame(1.0f, 20);
  RunFrame(0.5f, 20);

  int flown = 0;
  for (const Shot& shot : shots) {
    const uint32_t record = PoolRecordAt(shot.start);
    const StepVisit* first = nullptr;
    const StepVisit* second = nullptr;
    for (const StepVisit& v : Log().steps)
      if (v.record == record) (v.frame == 1 ? first : second) = &v;
    const float perStep = shot.speed / 25.0f;  // muzzle speed is per second; a step is 40 ms
    const bool ok = record != 0 && first && second && first->before.weaponType == shot.type &&
                    Near(first->before.velocity.x, perStep, perStep * 1e-5f) &&
                    first->after.position.x == first->before.velocity.x &&  // from x = 0, step 1
                    second->after.position.x > first->after.position.x;
    if (!ok)
      Note("weapon type %d: %s", shot.type,
           record && first ? "wrong speed or step" : "no projectile stepped");
    flown += ok ? 1 : 0;
  }
  Check(!shots.empty() && flown == static_cast<int>(shots.size()),
        "every weapon row's shot flies at the file's muzzle speed through the host's loop",
        "%d of %u", flown, static_cast<unsigned>(shots.size()));
  Note("%u shots of types 0 to %d", static_cast<unsigned>(shots.size()), maxWeapon + 1);
}

const Scenario kScenarios[] = {
    {"installed", "the files beside the program as they are (a release): shots of every row fly",
     ConfigureInstalled, RunInstalled},
};

}  // namespace

ScenarioList PackageScenarios() { return {kScenarios, sizeof kScenarios / sizeof kScenarios[0]}; }

}  // namespace standin
