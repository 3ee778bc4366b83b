#include "startup/startup.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "pellix_version.h"
#include "startup/data_paths.h"
#include "startup/settings.h"
#include "startup/tables.h"
#include "temp_files.h"

namespace pellix {
namespace {

// The fake platform keeps the "game folder" in a scratch folder: a Windows path's last part
// names the file there, whatever folder the path gives. Every opened path is recorded.
std::filesystem::path gameFolder;
std::vector<std::string> openedPaths;
int hooksInstalled = 0;
int resetSitesSkipped = 0;  // what the fake installation reports
int allocations = 0;
int failingAllocation = 0;  // 1-based call that fails; 0 none

std::string Local(const char* path) {
  const char* name = std::strrchr(path, '\\');
  return (gameFolder / (name ? name + 1 : path)).string();
}
std::FILE* FakeOpen(const char* path, const char* mode) {
  openedPaths.emplace_back(path);
  return OpenPlatformFile(Local(path).c_str(), mode);
}
int32_t FakeInt(const char* section, const char* key, int32_t fallback, const char* path) {
  return SystemProfile().readInt(section, key, fallback, Local(path).c_str());
}
uint32_t FakeString(const char* section, const char* key, const char* fallback, char* out,
                    uint32_t size, const char* path) {
  return SystemProfile().readString(section, key, fallback, out, size, Local(path).c_str());
}
int FakeHooks() {
  ++hooksInstalled;
  return resetSitesSkipped;
}
void* CountingCalloc(size_t count, size_t size) {
  return ++allocations == failingAllocation ? nullptr : std::calloc(count, size);
}

constexpr const char* kWeapons =
    "; type speed ...\n"
    "0 400 0.1 0.2 0.3 0.4 0 10 20 0.5 0.6 100 200 0xFFFFFFFF\n"
    "2 900 0.1 0.2 0.3 0.4 3 30 40 0.5 0.6 100 200 0xFF00FF00\n";
constexpr const char* kSurfaces = "N 0.5 0.8 0.3 0.1 2\nW 0.2 0.4 0.3 0.1 -1\n";

class Startup : public ::testing::Test {
 protected:
  void SetUp() override {
    gameFolder = testing::ScratchFolder("startup");
    openedPaths.clear();
    hooksInstalled = 0;
    resetSitesSkipped = 0;
    allocations = 0;
    failingAllocation = 0;
    platform.executablePath = "C:\\Games\\Host\\game.exe";
    platform.profile = {FakeInt, FakeString};
    platform.openFile = FakeOpen;
    platform.allocate = CountingCalloc;
    platform.installHooks = FakeHooks;
  }
  void TearDown() override {
    ReleaseStartupData();
    settings = Settings{};
  }
  static void Put(const char* name, const std::string& text) {
    testing::WriteBytes(gameFolder / name, text);
  }
  void PutAll(const std::string& ini = "[PELLIX]\nMaxPellix=8\nMaxWeapon=3\n") {
    Put("pellix.ini", ini);
    Put("pellix_weapon.dat", kWeapons);
    Put("pellix_surface.dat", kSurfaces);
  }
  StartupResult Run() { return RunStartup(platform, log); }
  bool LogHas(const char* text) const { return std::strstr(log.text, text) != nullptr; }
  void ExpectStoppedWithoutHooks(StartupOutcome outcome) {
    EXPECT_EQ(hooksInstalled, 0);
    EXPECT_TRUE(LogHas("stopped: ")) << log.text;
    EXPECT_TRUE(LogHas(DescribeOutcome(outcome))) << log.text;
    EXPECT_EQ(pool.projectileArray, nullptr);
  }

  StartupPlatform platform;
  StartupLog log;
};

TEST_F(Startup, AllStepsInOrder) {
  PutAll();
  const StartupResult r = Run();
  EXPECT_EQ(r.outcome, StartupOutcome::Started);
  EXPECT_TRUE(r.settingsFileFound);
  EXPECT_TRUE(r.weaponFileRead);
  EXPECT_TRUE(r.surfaceFileRead);
  EXPECT_EQ(r.weaponRowsFilled, 2);
  EXPECT_EQ(r.surfaceRowsFilled, 2);
  EXPECT_EQ(hooksInstalled, 1);
  EXPECT_STREQ(dataFolder, "C:\\Games\\Host");
  EXPECT_STREQ(settingsPath, "C:\\Games\\Host\\pellix.ini");
  const std::vector<std::string> opened = {"C:\\Games\\Host\\pellix.ini",
                                           "C:\\Games\\Host\\pellix_weapon.dat",
                                           "C:\\Games\\Host\\pellix_surface.dat"};
  EXPECT_EQ(openedPaths, opened);
  EXPECT_EQ(settings.MaxPellix, 8);
  EXPECT_EQ(settings.weaponCount, 4);
  ASSERT_NE(weaponTable, nullptr);
  EXPECT_EQ(weaponTable[2].speedFactor, static_cast<float>(25.0 / 900.0));
  EXPECT_EQ(weaponTable[3].speedFactor, 0.0f);
  ASSERT_NE(surfaceTable, nullptr);
  EXPECT_EQ(surfaceTable[SurfaceW].pierceResistance, -1.0f);
  EXPECT_EQ(pool.projectileArrayEnd - pool.projectileArray, 8);
  EXPECT_EQ(pool.nextSlot, 0);
  EXPECT_EQ(allocations, 5);  // weapon table, surface table, three pool arrays
  EXPECT_TRUE(LogHas("weapons: C:\\Games\\Host\\pellix_weapon.dat: 2 of 4 rows filled"))
      << log.text;
  // The version first, so a log sent in with a report says which build wrote it.
  const std::string opening = "Pellix " PELLIX_VERSION "\ndata folder: C:\\Games\\Host\n";
  EXPECT_EQ(std::string(log.text).rfind(opening, 0), 0u) << log.text;
  EXPECT_TRUE(LogHas("\nstarted\n")) << log.text;
  EXPECT_FALSE(LogHas("warning")) << log.text;
}

// A Reset site left unhooked at the dialog resets the device with the batch's buffers alive, and
// that reset fails: the tracers are then drawn one trail at a time, and the log says so.
TEST_F(Startup, ASkippedResetSiteTurnsTheBatchOff) {
  const struct {
    const char* graphics;
    int skipped, batch;
  } cases[] = {{"", 1, 0}, {"", 0, 1}, {"TracerType=0\n", 3, 1}, {"TracerBatch=0\n", 2, 0}};
  for (const auto& c : cases) {
    PutAll(std::string("[PELLIX]\nMaxPellix=8\nMaxWeapon=3\n[GRAPHICS]\n") + c.graphics);
    log = StartupLog{};
    resetSitesSkipped = c.skipped;
    ReleaseStartupData();
    EXPECT_EQ(Run().outcome, StartupOutcome::Started);
    EXPECT_EQ(settings.TracerBatch, c.batch) << c.graphics << c.skipped;
    EXPECT_EQ(LogHas("\n1 of 4 Reset sites skipped: tracers drawn one trail at a time "
                     "(TracerBatch 0)\nstarted\n"),
              &c == &cases[0])
        << log.text;
  }
}

TEST_F(Startup, NoSettingsFileRunsOnDefaults) {
  Put("pellix_weapon.dat", kWeapons);
  Put("pellix_surface.dat", kSurfaces);
  const StartupResult r = Run();
  EXPECT_EQ(r.outcome, StartupOutcome::Started);
  EXPECT_FALSE(r.settingsFileFound);
  EXPECT_EQ(settings.MaxPellix, 4096);
  EXPECT_EQ(settings.weaponCount, 1);
  EXPECT_EQ(r.weaponRowsFilled, 1);  // only row 0 fits a one-row table
  EXPECT_TRUE(LogHas("not found")) << log.text;
  EXPECT_EQ(pool.trailArrayEnd - pool.trailArray, 4096);
}

// The files are looked up beside the executable that the platform names, not elsewhere.
TEST_F(Startup, FilesBesideTheExecutable) {
  PutAll();
  platform.executablePath = "D:\\Other Games\\Host Game\\bin\\host.exe";
  EXPECT_EQ(Run().outcome, StartupOutcome::Started);
  ASSERT_EQ(openedPaths.size(), 3u);
  for (const std::string& path : openedPaths) {
    EXPECT_EQ(path.rfind("D:\\Other Games\\Host Game\\bin\\pellix", 0), 0u) << path;
  }
}

TEST_F(Startup, PathWithoutBackslashIsTheFolder) {
  PutAll();
  platform.executablePath = "game";
  EXPECT_EQ(Run().outcome, StartupOutcome::Started);
  EXPECT_STREQ(dataFolder, "game");
  EXPECT_STREQ(settingsPath, "game\\pellix.ini");
}

TEST_F(Startup, MissingOrCutExecutablePathStops) {
  PutAll();
  platform.executablePath = nullptr;
  EXPECT_EQ(Run().outcome, StartupOutcome::PathTooLong);
  ExpectStoppedWithoutHooks(StartupOutcome::PathTooLong);
  const std::string unterminated(PathBufferSize, 'a');  // no terminator within the buffer
  platform.executablePath = unterminated.c_str();
  EXPECT_EQ(Run().outcome, StartupOutcome::PathTooLong);
  EXPECT_TRUE(openedPaths.empty());
}

// A folder of n chars leaves 260 - n for a file name and its terminator.
TEST_F(Startup, FolderTooLongForAFileNameStops) {
  PutAll();
  struct Case {
    size_t folderLength;
    StartupOutcome outcome;
    size_t filesOpened;
  };
  const Case cases[] = {
      {260 - 19 - 1, StartupOutcome::Started, 3},  // the longest name fits with its terminator
      {260 - 19, StartupOutcome::PathTooLong, 2},  // "\pellix_surface.dat" no longer fits
      {260 - 18, StartupOutcome::PathTooLong, 1},  // nor "\pellix_weapon.dat"
      {260 - 11 - 1, StartupOutcome::PathTooLong, 1},
      {260 - 11, StartupOutcome::PathTooLong, 0},  // nor "\pellix.ini"
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folderLength);
    openedPaths.clear();
    hooksInstalled = 0;
    log = StartupLog{};
    ReleaseStartupData();
    const std::string exe = "C:\\" + std::string(c.folderLength - 3, 'f') + "\\g.exe";
    platform.executablePath = exe.c_str();
    EXPECT_EQ(Run().outcome, c.outcome) << log.text;
    EXPECT_EQ(openedPaths.size(), c.filesOpened);
    EXPECT_EQ(hooksInstalled, c.outcome == StartupOutcome::Started ? 1 : 0);
    EXPECT_EQ(std::strlen(dataFolder), c.folderLength);
    if (c.outcome != StartupOutcome::Started) {
      EXPECT_TRUE(LogHas("no room for")) << log.text;
    }
  }
}

TEST_F(Startup, BuildDataPathNeverWritesPastTheBuffer) {
  struct Guarded {
    char path[PathBufferSize];
    char guard[16];
  } g;
  std::memset(&g, 0x5A, sizeof g);
  ASSERT_TRUE(SetDataFolder((std::string(250, 'x') + "\\g.exe").c_str()));
  EXPECT_FALSE(BuildDataPath(g.path, "\\pellix_surface.dat"));
  EXPECT_STREQ(g.path, "");
  EXPECT_TRUE(BuildDataPath(g.path, "\\abc.ini"));  // 250 + 8 + terminator = 259
  EXPECT_EQ(std::strlen(g.path), 258u);
  EXPECT_TRUE(BuildDataPath(g.path, "\\abcd.ini"));  // exactly 260 with its terminator
  EXPECT_EQ(std::strlen(g.path), 259u);
  EXPECT_FALSE(BuildDataPath(g.path, "\\abcde.ini"));
  for (char c : g.guard) EXPECT_EQ(c, 0x5A);
}

TEST_F(Startup, PoolSizeBelowOneStops) {
  for (const char* value : {"0", "-5"}) {
    SCOPED_TRACE(value);
    PutAll(std::string("[PELLIX]\nMaxPellix=") + value + "\n");
    EXPECT_EQ(Run().outcome, StartupOutcome::PoolSizeInvalid);
    ExpectStoppedWithoutHooks(StartupOutcome::PoolSizeInvalid);
    EXPECT_EQ(allocations, 0);
  }
}

TEST_F(Startup, NegativeOrWrappingMaxWeaponStops) {
  for (const char* value : {"-1", "-100", "2147483647"}) {
    SCOPED_TRACE(value);
    PutAll(std::string("[PELLIX]\nMaxWeapon=") + value + "\n");
    EXPECT_EQ(Run().outcome, StartupOutcome::WeaponCountInvalid);
    ExpectStoppedWithoutHooks(StartupOutcome::WeaponCountInvalid);
    EXPECT_EQ(weaponTable, nullptr);
    EXPECT_EQ(allocations, 0);
  }
}

TEST_F(Startup, AnyFailedAllocationStops) {
  PutAll();
  for (int failing = 1; failing <= 5; ++failing) {
    SCOPED_TRACE(failing);
    ReleaseStartupData();
    allocations = 0;
    failingAllocation = failing;
    EXPECT_EQ(Run().outcome, StartupOutcome::OutOfMemory);
    ExpectStoppedWithoutHooks(StartupOutcome::OutOfMemory);
    EXPECT_EQ(allocations, failing);  // nothing is tried after the failure
  }
}

// On the 32-bit build these counts overflow the runtime's calloc, which refuses them. (A 64-bit
// process may be granted or refuse such sizes, so there the counting allocator above stands in.)
TEST_F(Startup, HugeSizesThatCannotBeAllocatedStop) {
  if (sizeof(size_t) > 4) GTEST_SKIP() << "only meaningful with a 32-bit address space";
  platform.allocate = CallocZeroed;  // the real allocator
  PutAll("[PELLIX]\nMaxPellix=2147483647\nMaxWeapon=2147483646\n");
  EXPECT_EQ(Run().outcome, StartupOutcome::OutOfMemory);
  ExpectStoppedWithoutHooks(StartupOutcome::OutOfMemory);
}

TEST_F(Startup, DataFileThatCannotBeOpenedStops) {
  PutAll();
  std::filesystem::remove(gameFolder / "pellix_surface.dat");
  EXPECT_EQ(Run().outcome, StartupOutcome::SurfaceFileMissing);
  ExpectStoppedWithoutHooks(StartupOutcome::SurfaceFileMissing);
  EXPECT_TRUE(LogHas("surfaces: cannot open C:\\Games\\Host\\pellix_surface.dat")) << log.text;

  ReleaseStartupData();
  log = StartupLog{};
  std::filesystem::remove(gameFolder / "pellix_weapon.dat");
  const StartupResult r = Run();
  EXPECT_EQ(r.outcome, StartupOutcome::WeaponFileMissing);
  EXPECT_FALSE(r.weaponFileRead);
  ExpectStoppedWithoutHooks(StartupOutcome::WeaponFileMissing);
  EXPECT_EQ(surfaceTable, nullptr);  // nothing after the failed step
}

TEST_F(Startup, EmptyRowZeroIsLogged) {
  PutAll();
  Put("pellix_weapon.dat", "2 900 0 0 0 0 0 0 0 0 0 0 0 0\n");
  const StartupResult r = Run();
  EXPECT_EQ(r.outcome, StartupOutcome::Started);
  EXPECT_EQ(r.weaponRowsFilled, 1);
  EXPECT_TRUE(LogHas("warning: weapon row 0")) << log.text;
}

TEST_F(Startup, LogIsWrittenBesideTheExecutable) {
  PutAll();
  Run();
  openedPaths.clear();
  ASSERT_TRUE(WriteStartupLog(log, FakeOpen));
  ASSERT_EQ(openedPaths.size(), 1u);
  EXPECT_EQ(openedPaths[0], "C:\\Games\\Host\\pellix.log");
  std::FILE* file = std::fopen((gameFolder / "pellix.log").string().c_str(), "r");  // text
  ASSERT_NE(file, nullptr);
  char text[StartupLog::Capacity] = {};
  const size_t n = std::fread(text, 1, sizeof text - 1, file);
  std::fclose(file);
  EXPECT_EQ(n, log.length);
  EXPECT_STREQ(text, log.text);
}

TEST(StartupLogBuffer, FullBufferIsCutNotOverrun) {
  StartupLog log;
  const std::string line(1000, 'x');
  for (int i = 0; i < 10; ++i) log.Line("%s", line.c_str());
  EXPECT_LT(log.length, StartupLog::Capacity);
  EXPECT_EQ(std::strlen(log.text), log.length);
  EXPECT_EQ(log.text[log.length - 1], '\n');
}

}  // namespace
}  // namespace pellix
