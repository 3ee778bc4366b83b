// Reload=1: files edited after start-up are read again at the next check (once a second of
// game clock), between frames, swapped in only without faults; pellix.log tells each reload
// and stays bounded. Real files in a scratch folder, through the platform's own readers.
#include "startup/reload.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>

#include "host/host_api.h"
#include "sim/loop_state.h"
#include "startup/data_paths.h"
#include "startup/file_access.h"
#include "startup/settings.h"
#include "startup/startup.h"
#include "startup/tables.h"
#include "temp_files.h"
#include "tools/loop_model/loop_model.h"

namespace pellix {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kIni = "[PELLIX]\nMaxPellix=4\nMaxWeapon=3\nReload=1\n[PHYSICS]\nGravity=1\n";
constexpr const char* kWeapons =
    "0 400 0.1 0.2 0.3 0.4 0 10 20 0.5 0.6 100 200 0xFFFFFFFF\n"
    "2 900 0.1 0.2 0.3 0.4 3 30 40 0.5 0.6 100 200 0xFF00FF00\n";
constexpr const char* kSurfaces = "N 0.5 0.8 0.3 0.1 2\nW 0.2 0.4 0.3 0.1 -1\n";

// The sample weapons with row 2's muzzle speed 600 instead of 900.
std::string WeaponsAt600() {
  std::string text = kWeapons;
  return text.replace(text.find("2 900") + 2, 3, "600");
}

fs::path folder;
uint32_t clockMs = 0;
int pendingWrites = 0;  // lines a "writer" still appends to the weapon file, one per read

// The platform's read, while a writer is still busy with the weapon file.
int64_t ReadWhileWritten(const char* path, char* buffer, size_t capacity) {
  const int64_t n = SystemFileAccess().read(path, buffer, capacity);
  if (pendingWrites > 0 && std::strstr(path, "pellix_weapon.dat")) {
    // Comment lines, then row 3 last.
    std::FILE* f = std::fopen((folder / "pellix_weapon.dat").string().c_str(), "ab");
    std::fputs(--pendingWrites > 0 ? ";\n" : "3 700 0 0 1 0 0 10 20 0.1 0.2 100 200 0xFF0000FF\n",
               f);
    std::fclose(f);
  }
  return n;
}

class Reload : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = testing::ScratchFolder("reload");
    Put("pellix.ini", kIni, false);
    Put("pellix_weapon.dat", kWeapons, false);
    Put("pellix_surface.dat", kSurfaces, false);
    Put("pellix.fx", "technique T {}\n", false);
    executable = folder.string() + "\\game.exe";
    clockMs = 0;
    host.clockMs = &clockMs;
    platform.executablePath = executable.c_str();
    platform.profile = SystemProfile();
    platform.openFile = OpenPlatformFile;
    platform.files = SystemFileAccess();
    platform.files.read = ReadWhileWritten;
  }
  void Start() {
    ASSERT_EQ(RunStartup(platform, log).outcome, StartupOutcome::Started);
    ASSERT_TRUE(WriteStartupLog(log, OpenPlatformFile));
  }
  void TearDown() override {
    ReleaseStartupData();
    settings = Settings{};
    host = HostApi{};
    pendingWrites = 0;
  }
  // Each edit is stamped a second later than the last: the check sees it whatever the file
  // system's clock resolution.
  void Put(const char* name, const std::string& text, bool later = true) {
    testing::WriteBytes(folder / name, text);
    if (later)
      fs::last_write_time(folder / name, fs::last_write_time(folder / name) + ++edits_ * 1s);
  }
  static void CheckAt(uint32_t ms) {
    clockMs = ms;
    ReloadCheckpoint();
  }
  // The lines pellix.log has beyond the start-up lines.
  std::string ReloadLines() const {
    std::string text;
    std::FILE* f = std::fopen((folder / "pellix.log").string().c_str(), "rb");
    char chunk[4096];
    for (size_t n; f && (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;) text.append(chunk, n);
    if (f) std::fclose(f);
    EXPECT_EQ(text.compare(0, log.length, log.text), 0) << "the start-up lines come first";
    return text.substr(std::min(text.size(), log.length));
  }

  std::string executable;
  StartupPlatform platform;
  StartupLog log;
  int edits_ = 0;
};

TEST_F(Reload, EachFileIsSeenAtTheNextCheckAndRestartOnlyKeysAreKept) {
  Start();
  EXPECT_NE(std::strstr(log.text, "\nreload: on: "), nullptr);
  CheckAt(5000);  // the first check: nothing changed since start-up
  Put("pellix.ini",
      "[PELLIX]\nMaxPellix=4\nMaxWeapon=5\nReload=1\n[PHYSICS]\nGravity=1\n"
      "GravityMult=1.5\n");
  Put("pellix_weapon.dat", WeaponsAt600());
  Put("pellix_surface.dat", "N 0.75 0.8 0.3 0.1 2\nW 0.2 0.4 0.3 0.1 -1\n");
  Put("pellix.fx", "technique T { pass P {} }\n");
  CheckAt(5999);
  EXPECT_EQ(weaponTable[2].speedFactor, static_cast<float>(25.0 / 900));
  EXPECT_EQ(settings.gravityScale, 0.032f);
  EXPECT_EQ(effectReloadPending, 0);
  EXPECT_EQ(ReloadLines(), "");

  CheckAt(6000);
  // 25 / 600 = 0.041666..., rounded once to float: the file's 600, not 900.
  EXPECT_EQ(weaponTable[2].speedFactor, 0.041666668f);
  EXPECT_EQ(settings.gravityScale, 0.048f);  // 1.5 x 0.032f in double, rounded to float
  EXPECT_EQ(settings.weaponCount, 4);        // MaxWeapon sizes the table: kept
  EXPECT_EQ(surfaceTable[SurfaceN].ricochetThreshold, 0.75f);
  EXPECT_EQ(effectReloadPending, 1);
  EXPECT_EQ(ReloadLines(),
            "pellix.ini: MaxWeapon 3 -> 5 needs a restart: kept at 3\n"
            "reloaded: pellix.ini (GravityMult 1 -> 1.5)\n"
            "reloaded: pellix_weapon.dat (row 2)\n"
            "reloaded: pellix_surface.dat (row N)\n");
}

TEST_F(Reload, FaultyOrHalfWrittenFilesChangeNothing) {
  Start();
  CheckAt(0);
  // Lint's faults, lint's words; the refused file is not read again until it changes. A
  // byte-order mark is skipped, as start-up skips it: no fault of its own.
  Put("pellix_weapon.dat",
      "\xEF\xBB\xBF" "0 400 0.1 0.2 0.3 0.4 0 10 20 0.5 0.6 100 200 0xFFFFFFFF\n"
      "2 0 0.1\n7 900 0 0 0 0 0 0 0 0 0 0 0 0\n");
  Put("pellix_surface.dat", "N 0.9 0.8 0.3 0.1 2\nsp 0.2 0.4 0.3 0.1 -1\n");
  const WeaponBallistics row2 = weaponTable[2];
  CheckAt(1000);
  CheckAt(2000);
  EXPECT_EQ(std::memcmp(&weaponTable[2], &row2, sizeof row2), 0);
  EXPECT_EQ(surfaceTable[SurfaceN].ricochetThreshold, 0.5f);
  EXPECT_EQ(ReloadLines(),
            "pellix_weapon.dat:2: 2 values after the weapon type, 13 expected: a missing value "
            "moves every value after it one column to the left (muzzle speed reads as 0); the "
            "scan stopped at dragAcross, which with the fields after it keeps the row's earlier "
            "value\n"
            "pellix_weapon.dat:2: muzzle speed 0: no shot of weapon type 2 can fly (every one is "
            "dead at once)\n"
            "pellix_weapon.dat:3: weapon type 7 is outside the table (types 0 to 3, set by "
            "MaxWeapon): line ignored\n"
            "reload refused: pellix_weapon.dat has 3 faults; the previous values stay\n"
            "pellix_surface.dat:2: surface key 'sp' is in lower case; keys are upper case (N, SP, "
            "S, W, D, C, P): line ignored\n"
            "reload refused: pellix_surface.dat has 1 fault; the previous values stay\n");

  // A writer appends a line after every read: no two of the check's three pairs of reads agree,
  // so nothing is swapped (no row 3 beside an old row 2) and the file is read again at the
  // next check, once settled.
  Put("pellix_weapon.dat", WeaponsAt600());
  pendingWrites = 6;
  CheckAt(3000);
  EXPECT_EQ(weaponTable[2].speedFactor, row2.speedFactor);
  EXPECT_EQ(weaponTable[3].speedFactor, 0.0f);
  CheckAt(4000);
  EXPECT_EQ(weaponTable[2].speedFactor, 0.041666668f);
  EXPECT_EQ(weaponTable[3].speedFactor, static_cast<float>(25.0 / 700));
}

TEST_F(Reload, TheSwapComesBetweenFramesAndRoundsInFlightFlyOn) {
  loop_model::BoxPlaneWorld world;
  loop_model::LoopModel model(world);
  model.Install();
  Start();
  ClearLoopState();
  ProjectileRecord& round = pool.projectileArray[1];
  round.weaponType = 2;
  round.expiryTime = 1e9f;
  round.active = 1;
  round.position[2] = 100.0f;
  round.velocity[0] = 36.0f;
  round.damage = 40;
  model.clockMs = 5000;
  model.RunFrame(1.0f, 20);  // the first check, at 5020
  // Gravity stronger, drag on with an endless drag along (lint's note, not a fault) and an
  // endless trail for row 2: values that a swap in mid-flight must not turn into NaN.
  Put("pellix.ini", std::string(kIni) + "GravityMult=1.5\nAirResist=1\n");
  Put("pellix_weapon.dat",
      "0 400 0.1 0.2 0.3 0.4 0 10 20 0.5 0.6 100 200 0xFFFFFFFF\n"
      "2 600 1e39 0 0.3 0.4 3 1e39 40 0.5 0.6 100 200 0xFF00FF00\n");
  for (uint32_t clock = 5040; clock < 6020; clock += 20) {
    const float vz = round.velocity[2];
    model.RunFrame(1.0f, 20);
    EXPECT_EQ(round.velocity[2], vz - 0.032f) << "frame at " << clock;
    EXPECT_EQ(round.velocity[0], 36.0f);
  }
  // The check at 6020, a second after the first, swaps before that frame's walk of the pool:
  // its step already has the drag, at its cap (a fifth of the speed along the path goes).
  model.RunFrame(1.0f, 20);
  EXPECT_NEAR(round.velocity[0], 36.0f * 0.8f, 1e-3f);
  for (int f = 0; f < 50; ++f) model.RunFrame(1.0f, 20);
  for (int32_t i = 0; i < settings.MaxPellix; ++i) {
    const ProjectileRecord& p = pool.projectileArray[i];
    const TrailRecord& t = pool.trailArray[i];
    for (int k = 0; k < 3; ++k) {
      EXPECT_TRUE(std::isfinite(p.position[k]) && std::isfinite(p.velocity[k]));
      EXPECT_TRUE(std::isfinite(t.start[k]) && std::isfinite(t.end[k]));
    }
  }
  EXPECT_EQ(round.active, 1);
}

TEST_F(Reload, TheLogKeepsTheStartUpLinesAndTheLatestReloadsWithinItsBound) {
  Start();
  CheckAt(0);
  std::string faulty = kWeapons;
  for (int i = 0; i < 60; ++i) faulty += "9 900 0 0 0 0 0 0 0 0 0 0 0 0\n";
  for (int reload = 0; reload < 40; ++reload) {
    Put("pellix_weapon.dat", faulty + std::string(static_cast<size_t>(reload), ';') + "\n");
    CheckAt(1000u * (reload + 1));
  }
  const std::string lines = ReloadLines();
  // Each reload logs about 4 KB (40 fault lines, a count of the 20 more, the refusal): 160 KB
  // in all, of which the log keeps the latest, after the start-up lines and a marker.
  EXPECT_LE(lines.size(), 2 * ReloadLogKeep);
  EXPECT_GT(lines.size(), ReloadLogKeep / 2);
  EXPECT_EQ(lines.rfind("(earlier reload lines dropped", 0), 0u);
  const std::string last =
      "... and 20 more faults\n"
      "reload refused: pellix_weapon.dat has 60 faults; the previous values stay\n";
  EXPECT_EQ(lines.substr(lines.size() - last.size()), last);
}

// A Reset site left unhooked at the start-up dialog: the batch's buffers would make that Reset
// fail, so the batch is off from start-up on, though tracers come on only with a later reload,
// and stays off whatever the file says.
TEST_F(Reload, AnUnhookedResetSiteKeepsTheBatchOff) {
  Put("pellix.ini", std::string(kIni) + "[GRAPHICS]\nTracerType=0\n", false);
  platform.installHooks = [] { return 1; };
  Start();
  EXPECT_EQ(settings.TracerBatch, 0);
  CheckAt(0);
  Put("pellix.ini", std::string(kIni) + "[GRAPHICS]\nTracerType=1\nTracerBatch=1\n");
  CheckAt(1000);
  EXPECT_EQ(settings.TracerType, 1);
  EXPECT_EQ(settings.TracerBatch, 0);
  EXPECT_EQ(ReloadLines(), "reloaded: pellix.ini (TracerType 0 -> 1)\n");
}

TEST_F(Reload, WithReloadOffNothingIsLookedAt) {
  Put("pellix.ini", "[PELLIX]\nMaxPellix=4\nMaxWeapon=3\n", false);
  Start();
  EXPECT_EQ(std::strstr(log.text, "\nreload"), nullptr);
  Put("pellix_weapon.dat", "0 800 0 0 0 0 0 0 0 0 0 0 0 0\n");
  CheckAt(0);
  CheckAt(5000);
  EXPECT_EQ(weaponTable[0].speedFactor, 25.0f / 400);
  EXPECT_EQ(ReloadLines(), "");
}

}  // namespace
}  // namespace pellix
