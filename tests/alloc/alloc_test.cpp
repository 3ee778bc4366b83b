// After start-up the plug-in allocates nothing: shots, steps, impacts, the loop decisions, the
// trail update, the strip geometry, the tracer drawing (batched and one trail at a time) and a
// reload of the files run with heap allocations counted, and the count is 0.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "host/crt_rand.h"
#include "host/hook_entries.h"
#include "host/host_addresses.h"
#include "host/host_api.h"
#include "sim/flight_forces.h"
#include "sim/impact.h"
#include "sim/loop_state.h"
#include "sim/pool.h"
#include "sim/shots.h"
#include "startup/settings.h"
#include "startup/tables.h"
#include "startup/file_access.h"
#include "startup/reload.h"
#include "startup/startup.h"
#include "tests/alloc/alloc_counter.h"
#include "tests/startup/temp_files.h"
#include "tests/support/null_render_api.h"
#include "tests/support/sample_setup.h"
#include "tools/loop_model/loop_model.h"
#include "tools/loop_model/model_pool.h"
#include "visuals/draw_tracers.h"
#include "visuals/strip_geometry.h"
#include "visuals/trace_loop.h"
#include "visuals/tracer_batch.h"
#include "visuals/tracer_resources.h"
#include "visuals/trail_update.h"

namespace pellix {
namespace {

constexpr int32_t kSlots = 32;
constexpr uint32_t kWeaponInfoAddress = 0x40000;

// Host fakes without allocation of their own.
float timeStep = 1.0f;
uint32_t clockMs = 1000;
float wind[3] = {1.0f, -2.0f, 0.0f};
uint8_t weaponInfoRecord[64];
uint32_t traceColourSource = 0x11223344;
int lineTestCalls = 0;
CrtRand crtRand;

const void* At(uint32_t address) {
  if (address >= kWeaponInfoAddress && address < kWeaponInfoAddress + sizeof weaponInfoRecord) {
    return weaponInfoRecord + (address - kWeaponInfoAddress);
  }
  if (address == host_addr::TraceColourSource) return &traceColourSource;
  return nullptr;
}
// Blocked on the first probe after a hit, clear on the next: the walk out of a solid runs.
uint8_t LineTest(const float*, const float*, void*, void*, int32_t, int32_t, int32_t, int32_t,
                 int32_t, int32_t, int32_t, int32_t) {
  return static_cast<uint8_t>(++lineTestCalls % 3 != 0);
}
uint32_t WeaponInfo(int32_t, int32_t) { return kWeaponInfoAddress; }
uint8_t Skill(uint32_t) { return 2; }
uint32_t SurfaceClassOf(uint32_t id) { return id; }
uint32_t EffectCreate(const char*, const float*, const float*, int32_t) { return 0x5000; }
void EffectCall(uint32_t) {}
void AreaImpact(const float*, float, float, int32_t, uint32_t, int32_t, float) {}
int32_t Rand() { return crtRand.Next(); }

class AllocationTest : public ::testing::Test {
 protected:
  // Start-up: everything allocated here, before counting begins.
  void SetUp() override {
    settings = testing::ForcesOnSettings(kSlots);
    weapons.assign(settings.weaponCount, testing::SampleWeapon(700.0f, 2));
    weaponTable = weapons.data();
    surfaces = testing::SampleSurfaces();
    surfaceTable = surfaces.data();
    storage = std::make_unique<loop_model::PoolStorage>(kSlots);
    testing::ClearLoopState();
    const float range = 200.0f;
    const int16_t damage = 50;
    std::memcpy(weaponInfoRecord + host_addr::WeaponInfoRange, &range, sizeof range);
    std::memcpy(weaponInfoRecord + host_addr::WeaponInfoDamage, &damage, sizeof damage);
  }
  void TearDown() override {
    renderApi = nullptr;  // the tests' devices are gone: forget what was made on them
    drawTracers = nullptr;
    tracerEffect = nullptr;
    tracerBatch = TracerBatch{};
    host = HostApi{};
    storage.reset();
    weaponTable = nullptr;
    surfaceTable = nullptr;
    settings = Settings{};
  }

  void InstallFakeHost() {
    host = HostApi{};
    host.timeStep = &timeStep;
    host.clockMs = &clockMs;
    host.wind = wind;
    host.at = At;
    host.lineTest = LineTest;
    host.weaponInfo = WeaponInfo;
    host.shooterSkill = Skill;
    host.surfaceClass = SurfaceClassOf;
    host.effectCreate = EffectCreate;
    host.effectStart = EffectCall;
    host.effectFinish = EffectCall;
    host.areaImpact = AreaImpact;
    host.rand = Rand;
  }

  // The host's loop body around one hit of a pool record, through the loop decisions.
  static void Hit(ProjectileRecord& p, const float* normal, uint8_t surfaceId, uint8_t kind) {
    alignas(16) uint8_t frame[0x60] = {};
    const float point[3] = {p.position[0] + p.velocity[0] * 0.5f,
                            p.position[1] + p.velocity[1] * 0.5f,
                            p.position[2] + p.velocity[2] * 0.5f};
    std::memcpy(frame + 0x24, point, sizeof point);
    std::memcpy(frame + 0x34, normal, 3 * sizeof(float));
    frame[0x57] = surfaceId;
    HookRegisters regs{};
    regs.edi = reinterpret_cast<uintptr_t>(&p) + 4;
    regs.esp = reinterpret_cast<uintptr_t>(frame);
    regs.eax = kind;
    savedTimeStep = timeStep;
    projectileLoopOnPool = 1;
    FlightForcesEntry(regs, timeStep);
    ImpactEntry(regs);
    StepEndEntry(regs);
    regs.edi += sizeof(ProjectileRecord);
    while (ProjectileLoopEndEntry(regs) == host_addr::ProjectileLoopTop &&
           regs.edi == reinterpret_cast<uintptr_t>(&p) + 4) {
      regs.edi += sizeof(ProjectileRecord);  // a repeat: the host steps the record again
    }
    projectileLoopOnPool = 0;
    timeStep = 1.0f;
  }

  std::vector<WeaponBallistics> weapons;
  std::array<SurfaceBallistics, SurfaceClassCount> surfaces{};
  std::unique_ptr<loop_model::PoolStorage> storage;
};

TEST(AllocationCounter, SeesAllocations) {
  alloc::StartCounting();
  void* block = ::operator new(16);  // a call, not an expression the compiler may elide
  ::operator delete(block);
  std::vector<int> v(10);
  EXPECT_EQ(alloc::StopCounting(), 2);
#if defined(PELLIX_WRAP_MALLOC)
  alloc::StartCounting();
  void* volatile c = std::calloc(4, 4);
  std::free(c);
  EXPECT_EQ(alloc::StopCounting(), 1);
#endif
  alloc::StartCounting();
  EXPECT_EQ(alloc::StopCounting(), 0);
}

TEST_F(AllocationTest, PerFramePathsAllocateNothing) {
  InstallFakeHost();
  StripFrame frame{};
  Matrix4 view{}, projection{};
  for (int i = 0; i < 4; ++i) view.m[i][i] = projection.m[i][i] = 1.0f;
  view.m[3][2] = 5.0f;
  projection.m[2][3] = 1.0f;
  const float ground[3] = {0.0f, 0.0f, 1.0f};
  const float wall[3] = {-1.0f, 0.0f, 0.0f};
  const float back[3] = {1.0f, 0.0f, 0.0f};

  alloc::StartCounting();
  for (int round = 0; round < 200; ++round) {
    clockMs += 16;
    // Shots through all three routines, past the end of the ring several times.
    const HostWeapon weapon{round % 45};
    float start[3] = {0.0f, 0.0f, 1.0f};
    float end[3] = {100.0f, 3.0f, 0.5f};
    float alternative[3] = {50.0f, -20.0f, 1.0f};
    Make(&weapon, 0, round & 1, start, end, alternative, 0);
    MakeSniper(0, round % 3 == 0 ? 34 : 22, 0.0f, 0.0f, 1.0f, 1.0f, 0.1f, -0.05f);
    float m4End[3] = {80.0f, 10.0f, 0.0f};
    MakeM4(start, m4End, 40);

    // A grazing ricochet, a way into a solid and out again, and the special types.
    ProjectileRecord& p = pool.projectileArray[round % kSlots];
    if (p.active != 0) {
      Hit(p, ground, 0, 1);
      Hit(p, wall, 1, 1);
      Hit(p, back, 1, 1);
      Hit(p, back, 9, 2);
    }
    p.weaponType = 38;
    p.active = 1;
    Hit(p, ground, 0, 1);

    // The trace routine: its loop end, colours and the trail update; then the strips.
    UpdateTrails();
    HookRegisters regs{};
    regs.esi = host_addr::HostTraceArrayEnd + 8;
    TraceLoopEndEntry(regs);
    TraceColourEntry(regs);
    TraceLoopEndEntry(regs);
    PrepareStripFrame(&frame, view, projection);
    for (int32_t s = 0; s < kSlots; ++s) {
      for (uint32_t pass = 0; pass < 2; ++pass) {
        BuildTracerStrip(tracerStrip, frame, pool.trailArray[s], pool.projectileArray[s],
                         pool.extraArray[s], pass);
      }
    }
  }
  EXPECT_EQ(alloc::StopCounting(), 0);
  EXPECT_GT(lineTestCalls, 0);
}

// Whole frames of the host's loops over a world, through the loop model (whose own record
// vectors are given their room before counting starts), with the trails drawn on a device that
// does nothing: batched on even frames, one trail at a time on odd ones. The first frame, before
// counting, makes the drawing's resources.
TEST_F(AllocationTest, WholeFramesAllocateNothing) {
  testing::NullRenderApi device(kSlots);
  renderApi = &device;
  drawTracers = &DrawTracers;
  loop_model::BoxPlaneWorld world;
  world.planes.push_back({{0, 0, 1}, 0.0f, 0, 1});
  world.boxes.push_back({{30, -50, 0}, {31, 50, 10}, 1, 1});
  loop_model::LoopModel model(world, 3, 3);
  model.Install();
  host.weaponInfo = WeaponInfo;
  host.shooterSkill = Skill;
  auto shoot = [](int i) {
    float start[3] = {0.0f, static_cast<float>(i % 7), 1.5f};
    float end[3] = {100.0f, static_cast<float>(i % 5), 1.0f - 0.1f * static_cast<float>(i % 9)};
    MakeM4(start, end, 60);
  };
  for (int i = 0; i < 3 * kSlots; ++i) shoot(i);
  model.RunFrame(1.0f, 33);
  model.ClearRecords();
  model.poolPasses.reserve(100000);
  model.damageDealt.reserve(100000);
  model.traceVisits.reserve(100000);
  model.areaImpacts.reserve(100000);

  alloc::StartCounting();
  for (int f = 0; f < 300; ++f) {
    settings.TracerBatch = f % 2 == 0 ? 1 : 0;
    for (int i = 0; i < 4; ++i) shoot(f * 4 + i);
    model.RunFrame(1.0f, 33);
    model.ClearRecords();
  }
  EXPECT_EQ(alloc::StopCounting(), 0);
  EXPECT_EQ(device.batchDraws, 2u * 150);  // both passes of the even frames
  EXPECT_GT(device.stripDraws, 2u * 150);
}

// Reload=1: the three files read again (one refused for a fault) and the log appended to.
TEST(ReloadAllocation, ReadingTheFilesAgainAllocatesNothing) {
  const auto folder = testing::ScratchFolder("alloc_reload");
  const auto put = [&folder](const char* name, const std::string& text, int later) {
    testing::WriteBytes(folder / name, text);
    std::filesystem::last_write_time(
        folder / name, std::filesystem::last_write_time(folder / name) + std::chrono::seconds(later));
  };
  const std::string weapons = "0 400 0 0 0 0 0 10 20 0.5 0.6 100 200 0xFFFFFFFF\n";
  put("pellix.ini", "[PELLIX]\nMaxPellix=4\nReload=1\n", 0);
  put("pellix_weapon.dat", weapons, 0);
  put("pellix_surface.dat", "N 0.5 0.8 0.3 0.1 2\n", 0);
  const std::string executable = folder.string() + "\\game.exe";
  StartupPlatform platform;
  platform.executablePath = executable.c_str();
  platform.profile = SystemProfile();
  platform.openFile = OpenPlatformFile;
  platform.files = SystemFileAccess();
  static StartupLog log;
  ASSERT_EQ(RunStartup(platform, log).outcome, StartupOutcome::Started);
  uint32_t clock = 0;
  host.clockMs = &clock;
  ReloadCheckpoint();
  put("pellix.ini", "[PELLIX]\nMaxPellix=4\nReload=1\n[PHYSICS]\nGravity=1\n", 1);
  put("pellix_weapon.dat", "0 800" + weapons.substr(5), 1);
  put("pellix_surface.dat", "N 0.5\nx\n", 1);
  clock = 1000;
  alloc::StartCounting();
  ReloadCheckpoint();
  EXPECT_EQ(alloc::StopCounting(), 0);
  EXPECT_EQ(settings.Gravity, 1);
  EXPECT_EQ(weaponTable[0].speedFactor, 25.0f / 800);
  ReleaseStartupData();
  settings = Settings{};
  host = HostApi{};
}

}  // namespace
}  // namespace pellix
