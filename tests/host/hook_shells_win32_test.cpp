// The assembly shells in this process: each is entered with chosen registers, x87 stack and
// control word as the host's code would enter it; the jump back into the (absent) host code
// faults, and a vectored exception handler takes the full CPU state at that moment.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>

#include "host/hook_install.h"
#include "host/hook_shells.h"
#include "host/host_addresses.h"
#include "host/host_api.h"
#include "sim/loop_state.h"
#include "sim/pool.h"
#include "sim/shots.h"
#include "startup/settings.h"
#include "tests/support/fake_host.h"
#include "tests/support/sim_setup.h"
#include "visuals/trace_loop.h"

namespace ha = pellix::host_addr;

struct ShellInput {
  uint32_t eax, ecx, edx, ebx, esp, ebp, esi, edi;
  uint32_t x87Count;
  float x87[4];  // pushed in order: the last is the top
  uint16_t control;
};
static_assert(offsetof(ShellInput, x87Count) == 32 && offsetof(ShellInput, x87) == 36 &&
              offsetof(ShellInput, control) == 52);

struct CallOutput {
  uint32_t eax, espAfter, espBefore, ebx, esi, edi, ebp;
  uint16_t control;
};

extern "C" void RunShellHarness(void (*entry)(), const ShellInput* in);
extern "C" void HarnessBack();
extern "C" uint32_t harnessSavedEsp;
extern "C" void CallWithCanaries(const void* fn, uint32_t ecx, const uint32_t* args, uint32_t count,
                                 uint32_t control, CallOutput* out);
extern "C" void RecordingChainTarget();
extern "C" uint32_t chainSeen[8];  // eax ecx edx ebx esp ebp esi edi
extern "C" uint32_t chainCalls;
extern "C" void ClobberingDraw();
extern "C" uint32_t drawCalls;
extern "C" uint16_t drawSeenControl;

namespace pellix {
namespace {

struct Resumed {
  uint32_t eip, eax, ecx, edx, ebx, esp, ebp, esi, edi;
  uint16_t control;
  int depth;          // x87 registers in use
  long double st[8];  // st(0) first
};

Resumed resumed;
bool armed = false;

LONG CALLBACK CatchResume(EXCEPTION_POINTERS* info) {
  if (!armed || info->ExceptionRecord->ExceptionCode != EXCEPTION_ACCESS_VIOLATION) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  armed = false;
  CONTEXT* c = info->ContextRecord;
  resumed.eip = c->Eip;
  resumed.eax = c->Eax;
  resumed.ecx = c->Ecx;
  resumed.edx = c->Edx;
  resumed.ebx = c->Ebx;
  resumed.esp = c->Esp;
  resumed.ebp = c->Ebp;
  resumed.esi = c->Esi;
  resumed.edi = c->Edi;
  resumed.control = static_cast<uint16_t>(c->FloatSave.ControlWord);
  const uint32_t tags = c->FloatSave.TagWord & 0xFFFF;
  resumed.depth = 0;
  for (int i = 0; i < 8; ++i) {
    if (((tags >> (2 * i)) & 3) != 3) ++resumed.depth;
  }
  for (int i = 0; i < 8; ++i) {
    long double value = 0;
    std::memcpy(&value, c->FloatSave.RegisterArea + 10 * i, 10);
    resumed.st[i] = value;
  }
  c->Eip = static_cast<DWORD>(reinterpret_cast<uintptr_t>(&HarnessBack));
  c->Esp = harnessSavedEsp;
  return EXCEPTION_CONTINUE_EXECUTION;
}

// The host's stack. The site's stack pointer lies high in it: the fault that ends each run is
// dispatched on this stack, below that pointer.
constexpr uint32_t kStackWords = 16384;
constexpr uint32_t kSiteWord = 16001;  // 4 off a 16-byte boundary
alignas(16) uint32_t stack[kStackWords];

uint32_t Address(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

// The dword that the host's colour load reads, served through host.at.
uint32_t colourSource = 0xA5A5A5A5;
const void* (*fakeAt)(uint32_t) = nullptr;
const void* AtWithColour(uint32_t address) {
  if (address == ha::TraceColourSource) return &colourSource;
  return fakeAt(address);
}

uint16_t controlSeenByHost = 0;
uint32_t (*fakeWeaponInfo)(int32_t, int32_t) = nullptr;
uint32_t WeaponInfoSeeingControl(int32_t type, int32_t skill) {
  uint16_t control = 0;
  asm volatile("fnstcw %0" : "=m"(control));
  controlSeenByHost = control;
  return fakeWeaponInfo(type, skill);
}

class HookShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    handler = AddVectoredExceptionHandler(1, CatchResume);
    testing::ResetLoopState();
    settings.TracerType = 0;
    fakeAt = host.at;
    host.at = AtWithColour;
    fakeWeaponInfo = host.weaponInfo;
    host.weaponInfo = WeaponInfoSeeingControl;
    chainedResetA = 0;
    chainedResetB = 0;
    chainCalls = 0;
    std::memset(stack, 0xEE, sizeof stack);
    // Canaries in every register; the site's stack pointer 4 off a 16-byte boundary.
    in = ShellInput{0xAAAA0001, 0xCCCC0002, 0xDDDD0003, 0xBBBB0004, Address(&stack[kSiteWord]),
                    0xBEBE0006, 0x5151AAA7, 0xD1D1AAA8, 0,          {},
                    0x007F};
  }
  void TearDown() override {
    RemoveVectoredExceptionHandler(handler);
    chainedResetA = 0;
    chainedResetB = 0;
  }

  void Run(void (*shell)()) {
    resumed = Resumed{};
    armed = true;
    RunShellHarness(shell, &in);
    ASSERT_FALSE(armed) << "the shell did not leave";
  }
  void PushX87(std::initializer_list<float> values) {
    in.x87Count = 0;
    for (float v : values) in.x87[in.x87Count++] = v;
  }
  uint32_t& StackAt(uint32_t offset) { return stack[kSiteWord + offset / 4]; }
  // The host's frame at the impact site: hit point at ESP + 0x24, normal at + 0x34, surface
  // byte at + 0x57 (the bytes around it are not part of it).
  void PutHit(std::initializer_list<float> point, std::initializer_list<float> normal,
              uint8_t surface) {
    std::memcpy(&StackAt(0x24), point.begin(), 12);
    std::memcpy(&StackAt(0x34), normal.begin(), 12);
    reinterpret_cast<uint8_t*>(&StackAt(0x54))[3] = surface;
  }

  // Every register except the listed outputs as it was at the site.
  void ExpectKept(const char* outputs) {
    auto kept = [&](const char* name) { return std::strstr(outputs, name) == nullptr; };
    if (kept("eax")) {
      EXPECT_EQ(resumed.eax, in.eax);
    }
    if (kept("ecx")) {
      EXPECT_EQ(resumed.ecx, in.ecx);
    }
    if (kept("edx")) {
      EXPECT_EQ(resumed.edx, in.edx);
    }
    if (kept("ebx")) {
      EXPECT_EQ(resumed.ebx, in.ebx);
    }
    if (kept("esp")) {
      EXPECT_EQ(resumed.esp, in.esp);
    }
    if (kept("ebp")) {
      EXPECT_EQ(resumed.ebp, in.ebp);
    }
    if (kept("esi")) {
      EXPECT_EQ(resumed.esi, in.esi);
    }
    if (kept("edi")) {
      EXPECT_EQ(resumed.edi, in.edi);
    }
  }
  void ExpectX87(std::initializer_list<float> topFirst) {
    EXPECT_EQ(resumed.control, in.control);
    ASSERT_EQ(resumed.depth, static_cast<int>(topFirst.size()));
    int i = 0;
    for (float v : topFirst) EXPECT_EQ(resumed.st[i++], static_cast<long double>(v));
  }

  testing::SimSetup sim{40, 4};
  testing::FakeHost fake;
  void* handler = nullptr;
  ShellInput in{};
};

TEST_F(HookShellTest, ProjectileLoopEndLetsTheHostsRecordsThrough) {
  in.edi = ha::HostProjectileArrayEnd - 44 + 4;
  PushX87({3.0f, 1.5f});
  Run(ProjectileLoopEndShell);
  EXPECT_EQ(resumed.eip, ha::ProjectileLoopTop);
  ExpectKept("");
  ExpectX87({1.5f, 3.0f});
  EXPECT_EQ(projectileLoopOnPool, 0);
}

TEST_F(HookShellTest, ProjectileLoopEndTurnsOntoThePool) {
  fake.timeStep = 0.75f;
  in.edi = ha::HostProjectileArrayEnd;
  PushX87({3.0f, 1.5f, -2.0f});
  Run(ProjectileLoopEndShell);
  EXPECT_EQ(resumed.eip, ha::ProjectileLoopTop);
  EXPECT_EQ(resumed.edi, Address(pool.projectileArray) + 4);
  ExpectKept("edi");
  ExpectX87({-2.0f, 1.5f, 3.0f});
  EXPECT_EQ(projectileLoopOnPool, 1);
  EXPECT_EQ(savedTimeStep, 0.75f);
}

TEST_F(HookShellTest, ImpactReproducesTheHostsDecisionOnAL) {
  in.eax = 0x12345603;
  Run(ImpactShell);
  EXPECT_EQ(resumed.eip, ha::ImpactHitTypeThree);
  ExpectKept("");
  in.eax = 0x12345403;  // only AL counts
  Run(ImpactShell);
  EXPECT_EQ(resumed.eip, ha::ImpactHitTypeThree);
  in.eax = 0x00000305;
  PushX87({9.0f});
  Run(ImpactShell);
  EXPECT_EQ(resumed.eip, ha::ImpactHitOther);
  ExpectKept("");
  ExpectX87({9.0f});
}

TEST_F(HookShellTest, StepEndLoadsFromTheSitesStack) {
  StackAt(0x14) = 0x11112222;
  StackAt(0x18) = 0x33334444;
  Run(StepEndShell);
  EXPECT_EQ(resumed.eip, ha::StepEndResume);
  EXPECT_EQ(resumed.ecx, 0x11112222u);
  EXPECT_EQ(resumed.edx, 0x33334444u);
  ExpectKept("ecx edx");
}

// Through the shells, as the host's loop body reaches them for one pool record: a plain hit
// scales the damage the host's hit handling sees, and the step end puts it back.
TEST_F(HookShellTest, PoolHitIsResolvedAndItsDamageRestoredAtTheStepEnd) {
  settings.minSpeedScaled = 1.0f;
  sim.Weapon(0).speedFactor = 0.125f;  // speed 4 is half the muzzle speed
  ProjectileRecord& record = sim.Record(1);
  record.active = 1;
  record.damage = 100;
  record.velocity[0] = 4.0f;
  projectileLoopOnPool = 1;
  in.edi = Address(&record) + 4;
  in.eax = 0x12345603;  // AL 3: a hit of kind 3, surface class 6
  in.control = 0x027F;
  PutHit({1, 0, 0}, {-1, 0, 0}, 0);
  StackAt(0x14) = 0x11112222;
  StackAt(0x18) = 0x33334444;
  PushX87({6.0f, -0.5f});
  Run(ImpactShell);
  EXPECT_EQ(resumed.eip, 0x736288u);
  ExpectKept("");
  ExpectX87({-0.5f, 6.0f});
  EXPECT_EQ(record.damage, 25);  // a quarter of the energy
  EXPECT_EQ(damageRestorePending, 1);
  EXPECT_EQ(fake.Count(testing::HostCallKind::SurfaceClass), 0);

  Run(StepEndShell);
  EXPECT_EQ(resumed.eip, 0x7367F3u);
  EXPECT_EQ(record.damage, 100);
  EXPECT_EQ(damageRestorePending, 0);
  EXPECT_EQ(resumed.ecx, 0x11112222u);
  EXPECT_EQ(resumed.edx, 0x33334444u);
  ExpectKept("ecx edx");
  ExpectX87({-0.5f, 6.0f});

  // With a repeat asked for, the step end goes straight to the loop's advance, loading nothing.
  record.damage = 7;
  savedDamage = 0xABCD;
  damageRestorePending = 1;
  repeatRequested = 1;
  Run(StepEndShell);
  EXPECT_EQ(resumed.eip, 0x73680Bu);
  EXPECT_EQ(static_cast<uint16_t>(record.damage), 0xABCDu);
  ExpectKept("");
  ExpectX87({-0.5f, 6.0f});
}

TEST_F(HookShellTest, PoolHitThatEndsTheHostsHandlingResumesAtTheSkip) {
  // A round leaving a solid: its point and normal come from the host's frame, the surface
  // byte zero-extended, the kind from EAX.
  settings.minSpeedScaled = 1.0f;
  settings.Pierce = 1;
  sim.Weapon(0).speedFactor = 0.25f;
  ProjectileRecord& record = sim.Record(2);
  record.active = 1;
  record.damage = 100;
  record.position[1] = 3.0f;
  record.position[2] = 5.0f;
  record.velocity[0] = 4.0f;
  sim.Extra(2).pierceBudget = 100.0f;
  projectileLoopOnPool = 1;
  savedTimeStep = 1.0f;
  in.edi = Address(&record) + 4;
  in.eax = 0x12345601;  // kind 1: the host names the surface class
  PutHit({2, 3, 5}, {1, 0, 0}, 0x9C);
  PushX87({6.0f, -0.5f});
  Run(ImpactShell);
  EXPECT_EQ(resumed.eip, 0x73677Cu);
  ExpectKept("");
  ExpectX87({-0.5f, 6.0f});
  const auto surface = fake.Calls(testing::HostCallKind::SurfaceClass);
  ASSERT_EQ(surface.size(), 1u);
  EXPECT_EQ(surface[0].ints, (std::vector<int64_t>{0x9C}));
  // Out through the hit point, pushed ColBias / |D / |v|| = 0.01 / 2 further along x.
  EXPECT_EQ(record.position[0], 2.0f + 0.005f);
  EXPECT_EQ(record.position[1], 3.0f);
  EXPECT_EQ(record.position[2], 5.0f);
  EXPECT_EQ(record.damage, 0);
  EXPECT_EQ(skipHostHit, 0);  // consumed by the entry
  EXPECT_EQ(repeatRequested, 1);
}

TEST_F(HookShellTest, TraceColourSetsEaxAndEdiOnly) {
  TrailRecord record{};  // a pool trail, while the loop walks the pool
  traceLoopOnPool = 1;
  in.esi = Address(&record) + 8;
  PushX87({4.0f});
  Run(TraceColourShell);
  EXPECT_EQ(resumed.eip, ha::TraceColourResume);
  EXPECT_EQ(resumed.eax, colourSource);
  EXPECT_EQ(resumed.edi, 0x00FFFF80u);
  ExpectKept("eax edi");
  ExpectX87({4.0f});
  traceLoopOnPool = 0;
}

TEST_F(HookShellTest, TraceLoopEndFastPathSentinelAndDrawing) {
  in.esi = ha::HostTraceArrayEnd - 44 + 8;
  Run(TraceLoopEndShell);
  EXPECT_EQ(resumed.eip, ha::TraceLoopTop);
  ExpectKept("");
  EXPECT_EQ(traceLoopOnPool, 0);

  settings.TracerType = 1;
  in.esi = ha::HostTraceArrayEnd;
  Run(TraceLoopEndShell);
  EXPECT_EQ(resumed.eip, ha::TraceLoopTop);
  EXPECT_EQ(resumed.esi, Address(&sentinelTrace) + 8);
  ExpectKept("esi");
  EXPECT_EQ(traceLoopOnPool, 1);

  // After the sentinel's visit: the drawing runs once with a clean FPU, and whatever it does to
  // the registers and the FPU, the host finds its own after the loop.
  drawTracers = &ClobberingDraw;
  drawCalls = 0;
  drawSeenControl = 0;
  in.esi = Address(&sentinelTrace) + 8 + 44;
  in.control = 0x027F;
  PushX87({2.5f, -1.0f, 1e30f});
  Run(TraceLoopEndShell);
  drawTracers = nullptr;
  EXPECT_EQ(drawCalls, 1u);
  EXPECT_EQ(drawSeenControl, 0x037F);
  EXPECT_EQ(resumed.eip, 0x723F63u);
  ExpectKept("");
  ExpectX87({1e30f, -1.0f, 2.5f});
  EXPECT_EQ(traceLoopOnPool, 0);
}

TEST_F(HookShellTest, FlightForcesPassesTheStepAndRedoesTheDisplacedWork) {
  settings.Gravity = 1;
  settings.AirResist = 0;
  settings.gravityScale = 0.5f;
  ProjectileRecord& record = sim.Record(0);
  record.velocity[0] = 2.0f;
  record.velocity[1] = 0.0f;
  record.velocity[2] = 10.0f;
  projectileLoopOnPool = 1;
  in.edi = Address(&record) + 4;
  PushX87({7.0f, 0.25f});  // a value of the host's, then the time step on top
  Run(FlightForcesShell);
  EXPECT_EQ(resumed.eip, ha::FlightForcesResume);
  EXPECT_EQ(record.velocity[2], 10.0f - 0.5f * 0.25f);
  ExpectKept("");
  ExpectX87({0.25f * 2.0f, 0.25f, 7.0f});  // one deeper: step x velocity x, step, host's
  projectileLoopOnPool = 0;
}

TEST_F(HookShellTest, TrailUpdateRunsThenPerformsTheEpilogue) {
  sim.Record(0).active = 1;
  StackAt(0) = 0x0ED10ED1;   // saved EDI
  StackAt(4) = 0x0E510E51;   // saved ESI
  StackAt(8) = 0x0EB10EB1;   // saved EBX
  StackAt(12) = 0x00724321;  // the routine's caller
  PushX87({12.5f});          // the routine's result
  Run(TrailUpdateShell);
  EXPECT_EQ(resumed.eip, 0x00724321u);
  EXPECT_EQ(resumed.esp, in.esp + 16);
  EXPECT_EQ(resumed.edi, 0x0ED10ED1u);
  EXPECT_EQ(resumed.esi, 0x0E510E51u);
  EXPECT_EQ(resumed.ebx, 0x0EB10EB1u);
  ExpectKept("edi esi ebx esp");
  ExpectX87({12.5f});
  EXPECT_EQ(pool.trailArray[0].activity, 1);
}

// A device whose Reset records its arguments.
struct FakeDevice {
  void** table;
};
void* resetDevice = nullptr;
void* resetParams = nullptr;
int resetCalls = 0;
HRESULT WINAPI FakeReset(void* device, void* params) {
  resetDevice = device;
  resetParams = params;
  ++resetCalls;
  return static_cast<HRESULT>(0x8876086C);
}

class ResetWrapperTest : public HookShellTest {
 protected:
  void SetUp() override {
    HookShellTest::SetUp();
    for (void*& slot : table) slot = nullptr;
    table[16] = reinterpret_cast<void*>(&FakeReset);
    device.table = table;
    resetCalls = 0;
    StackAt(0) = 0x007F8709;  // return address: after the patched call
    StackAt(4) = 0x5EED0001;  // the host's frame above
    in.eax = Address(&device);
  }
  void* table[20];
  FakeDevice device;
};

TEST_F(ResetWrapperTest, WrapperACallsResetThroughTheTableInEcx) {
  in.ecx = Address(table);
  PushX87({});
  Run(ResetWrapperA);
  EXPECT_EQ(resetCalls, 1);
  EXPECT_EQ(resetDevice, &device);
  EXPECT_EQ(Address(resetParams), ha::HostPresentParams);
  EXPECT_EQ(resumed.eip, 0x007F8709u);
  EXPECT_EQ(resumed.esp, in.esp + 4);  // as after the host's own call
  EXPECT_EQ(resumed.eax, 0x8876086Cu);
  EXPECT_EQ(resumed.ebx, in.ebx);
  EXPECT_EQ(resumed.esi, in.esi);
  EXPECT_EQ(resumed.edi, in.edi);
  EXPECT_EQ(resumed.ebp, in.ebp);
  EXPECT_EQ(StackAt(4), 0x5EED0001u);
}

TEST_F(ResetWrapperTest, WrapperBLoadsTheTableFromTheDevice) {
  in.ecx = 0x0BADC0DE;
  Run(ResetWrapperB);
  EXPECT_EQ(resetCalls, 1);
  EXPECT_EQ(resetDevice, &device);
  EXPECT_EQ(Address(resetParams), ha::HostPresentParams);
  EXPECT_EQ(resumed.eip, 0x007F8709u);
  EXPECT_EQ(resumed.esp, in.esp + 4);
  EXPECT_EQ(resumed.eax, 0x8876086Cu);
  EXPECT_EQ(resumed.ebx, in.ebx);
  EXPECT_EQ(resumed.esi, in.esi);
  EXPECT_EQ(resumed.edi, in.edi);
  EXPECT_EQ(resumed.ebp, in.ebp);
}

TEST_F(ResetWrapperTest, ChainedTargetSeesTheSitesRegistersAndStack) {
  for (int site = 0; site < 2; ++site) {
    chainCalls = 0;
    resetCalls = 0;
    (site == 0 ? chainedResetA : chainedResetB) =
        Address(reinterpret_cast<void*>(&RecordingChainTarget));
    Run(site == 0 ? ResetWrapperA : ResetWrapperB);
    EXPECT_EQ(chainCalls, 1u);
    EXPECT_EQ(resetCalls, 0);
    const uint32_t expected[8] = {in.eax, in.ecx, in.edx, in.ebx, in.esp, in.ebp, in.esi, in.edi};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(chainSeen[i], expected[i]) << "register " << i;
    EXPECT_EQ(resumed.eip, 0x007F8709u);
    EXPECT_EQ(resumed.esp, in.esp + 4);
    EXPECT_EQ(resumed.eax, 0x0C4A1ED0u);  // the chained call's result reaches the host
    EXPECT_EQ(resumed.ebx, in.ebx);
    EXPECT_EQ(resumed.ebp, in.ebp);
  }
}

TEST_F(HookShellTest, ShotShellsKeepTheHostsConventionsAndControlWord) {
  const uint32_t info = fake.AddWeaponInfo(100.0f, 45);
  fake.weaponInfoByType[5] = info;
  fake.weaponInfoByType[7] = info;
  CallOutput out{};

  // Make: member call, six arguments removed by the routine.
  HostWeapon weapon{7};
  float start[3] = {1.0f, 2.0f, 3.0f};
  float end[3] = {1.0f, 2.0f, 13.0f};
  float other[3] = {0.0f, 0.0f, 0.0f};
  const uint32_t makeArgs[6] = {0, 0, Address(start), Address(end), Address(other), 0x55};
  controlSeenByHost = 0;
  CallWithCanaries(reinterpret_cast<const void*>(&MakeShell), Address(&weapon), makeArgs, 6, 0x007F,
                   &out);
  EXPECT_EQ(out.eax & 0xFF, 0u);
  EXPECT_EQ(out.espAfter, out.espBefore + 24);
  EXPECT_EQ(out.ebx, 0xB0B0B0B0u);
  EXPECT_EQ(out.esi, 0x51515151u);
  EXPECT_EQ(out.edi, 0xD1D1D1D1u);
  EXPECT_EQ(out.ebp, 0xBEBEBEBEu);
  EXPECT_EQ(out.control, 0x007F);
  EXPECT_EQ(controlSeenByHost, 0x037F);  // the shot ran under the known control word
  EXPECT_EQ(sim.Record(0).weaponType, 7);
  EXPECT_EQ(end[2], 10.0f);  // the direction written back

  // MakeSniper: plain C call, eight arguments left to the caller.
  float xyz[6] = {4.0f, 5.0f, 6.0f, 0.0f, 1.0f, 0.0f};
  uint32_t sniperArgs[8] = {0, 0x105};
  std::memcpy(&sniperArgs[2], xyz, sizeof xyz);
  CallWithCanaries(reinterpret_cast<const void*>(&MakeSniperShell), 0, sniperArgs, 8, 0x007F, &out);
  EXPECT_EQ(out.eax & 0xFF, 0u);
  EXPECT_EQ(out.espAfter, out.espBefore);
  EXPECT_EQ(out.ebx, 0xB0B0B0B0u);
  EXPECT_EQ(out.ebp, 0xBEBEBEBEu);
  EXPECT_EQ(out.control, 0x007F);
  EXPECT_EQ(sim.Record(1).weaponType, 5);
  EXPECT_EQ(sim.Record(1).position[2], 6.0f);

  // MakeM4: plain C call, three arguments.
  float m4Start[3] = {0.0f, 0.0f, 0.0f};
  float m4End[3] = {3.0f, 4.0f, 0.0f};
  const uint32_t m4Args[3] = {Address(m4Start), Address(m4End), 0x00010063};
  CallWithCanaries(reinterpret_cast<const void*>(&MakeM4Shell), 0, m4Args, 3, 0x007F, &out);
  EXPECT_EQ(out.eax & 0xFF, 0u);
  EXPECT_EQ(out.espAfter, out.espBefore);
  EXPECT_EQ(out.esi, 0x51515151u);
  EXPECT_EQ(out.edi, 0xD1D1D1D1u);
  EXPECT_EQ(out.control, 0x007F);
  EXPECT_EQ(sim.Record(2).damage, 0x63);
}

}  // namespace
}  // namespace pellix
