// Scenarios of the binding: the host unpatched, the rows the plug-in writes, the start-up
// dialog, and the Reset sites with and without another plug-in's calls.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "contracts.h"
#include "host_map.h"
#include "message_box.h"
#include "report.h"
#include "scenario.h"
#include "scenario_support.h"

namespace standin {
namespace {

constexpr uint32_t kDialogFlags = 0x114;  // yes/no, error icon, No the default

// A wall across +x at x = 50 and a pedestrian box in the second host projectile's path.
void SetupWorld() {
  ClearWorld();
  Solid wall;
  wall.plane = true;
  wall.n = {-1, 0, 0};
  wall.d = -50;
  wall.surface = 7;
  wall.kind = 1;
  wall.entity = 0x9A0001;
  AddSolid(wall);
  Solid ped;
  ped.lo = {30, 9, -1};
  ped.hi = {32, 11, 1};
  ped.surface = 9;
  ped.kind = 3;
  ped.entity = 0x9A0002;
  AddSolid(ped);
  SetSurfaceClass(7, 3);
  SetSurfaceClass(9, 1);
}

void SetupHostRecords() {
  ProjRecord& a = HostProjectile(0);
  std::memset(&a, 0, 44);
  a.weaponType = 22;
  a.active = 1;
  a.expiryTime = 1e9f;
  a.velocity = {20, 0, 0};
  a.damage = 30;
  ProjRecord& b = HostProjectile(1);
  b = a;
  b.position = {0, 10, 0};
  b.damage = 31;
  std::memset(&HostProjectile(2), 0, 44);
  for (int i = 0; i < kHostTraces; ++i) {
    std::memset(&HostTrace(i), 0, 44);
    HostTrace(i).activity = i < 2 ? 1 : 0;
  }
}

void Prepare() {
  SetupHostData();
  SetupWorld();
  SetupHostRecords();
  HostClockMs() = 100000;
}

bool AllHostColoursAre(uint32_t colour) {
  for (const TraceVisit& t : Log().traces)
    if (IsHostTrace(t.record) && t.colour != colour) return false;
  return true;
}

int CountHostTraceVisits() {
  int n = 0;
  for (const TraceVisit& t : Log().traces) n += IsHostTrace(t.record) ? 1 : 0;
  return n;
}

// ---- no library: the host's own behaviour, which the other scenarios see changed

void ConfigureSelfTest(ScenarioConfig& c) { c.loadLibrary = false; }

void RunSelfTest(const ScenarioConfig&, const Library&) {
  MEMORY_BASIC_INFORMATION code{}, data{};
  VirtualQuery(reinterpret_cast<void*>(uintptr_t{ha::StepEndSite}), &code, sizeof code);
  VirtualQuery(reinterpret_cast<void*>(uintptr_t{ha::HostTimeStep}), &data, sizeof data);
  // Image pages made read-write read back as copy-on-write.
  Check(code.Protect == PAGE_EXECUTE_READ &&
            (data.Protect == PAGE_READWRITE || data.Protect == PAGE_WRITECOPY),
        "host code is read-execute and host data read-write before any patch",
        "code 0x%lX, data 0x%lX", code.Protect, data.Protect);
  Prepare();
  for (int f = 0; f < 4; ++f) RunFrame(1.0f, 50);
  const GameLog& log = Log();
  Check(log.steps.size() == 4u * kHostProjectiles, "each host record visited once per frame",
        "%u visits", static_cast<unsigned>(log.steps.size()));
  bool sawPed = false, sawWall = false;
  for (const HitEvent& h : log.hits) {
    if (h.kind == 3) sawPed = h.handled && h.handlingPath == 3 && h.damageSeen == 31;
    if (h.kind == 1) sawWall = h.handled && h.handlingPath == 0 && h.damageSeen == 30;
  }
  Check(sawPed && sawWall, "hit type 3 and other hits take their own handling with their damage");
  Check(log.branches[B_A_TAKEN] == 1 && log.branches[B_A_FELL] == 0 &&
            log.branches[B_B_TAKEN] == 2 && log.branches[B_B_FELL] == 0 &&
            log.branches[B_C_TAKEN] == 2,
        "the host's three conditional branches jump", "A %d/%d B %d/%d C %d", log.branches[0],
        log.branches[1], log.branches[2], log.branches[3], log.branches[4]);
  Check(!HostProjectile(0).active && HostProjectile(0).position.x == 50,
        "the host ends its projectile at the wall");
  Check(CountHostTraceVisits() == 4 * kHostTraces && AllHostColoursAre(kHostTraceColour),
        "the trace loop visits the host's traces with the host's colour");
  Check(log.traceRoutineCalls == 4, "the trace routine ran each frame");
  Vec3 s{1, 2, 3}, e{4, 6, 3}, alt{9, 9, 9};
  const ShotResult make = FireMake(22, kPedestrianShooter, 0, &s, &e, &alt);
  const ShotResult sniper = FireSniper(0, 22, {0, 0, 0}, {1, 0, 0});
  const ShotResult m4 = FireM4(&s, &e, 40);
  Check(!make.ok && !sniper.ok && !m4.ok && log.originalShots.size() == 3 &&
            log.originalShots[0] == 0 && log.originalShots[1] == 1 && log.originalShots[2] == 2,
        "the host's own shot routines run and return true");
  bool resetsOk = true;
  for (int k = 0; k < 4; ++k) {
    const size_t before = log.resets.size();
    const uint32_t eax = RunResetSequence(k);
    resetsOk = resetsOk && eax == ResetResult() && log.resets.size() == before + 1 &&
               log.resets.back().device == FakeDevice() &&
               log.resets.back().params == ha::HostPresentParams;
  }
  Check(resetsOk, "each Reset sequence calls the device's Reset with the present parameters");
}

// ---- no library, host code that breaks each contract: the checks must see it

void ConfigureFaultyHost(ScenarioConfig& c) {
  c.loadLibrary = false;
  c.variant.faultyHost = true;
  c.expectViolations = true;
}

void RunFaultyHost(const ScenarioConfig&, const Library&) {
  Prepare();
  RunFrame(1.0f, 50);
  Check(ViolationsAt(R_FLIGHT) > 0, "a wrong product at the flight-forces site is caught");
  Check(ViolationsAt(R_STEPEND) > 0, "wrong ECX and EDX loads at the step end are caught");
  Check(ViolationsAt(R_TRACE_RETURN) > 0, "a changed EBX and ESI after the epilogue are caught");
  Check(ViolationsAt(R_COLOUR) > 0, "a wrong EAX after the colour load is caught");
  Check(ViolationsAt(R_LOOP_TOP) == 0 && ViolationsAt(R_TL_TOP) == 0, "the untouched sites pass");
}

// ---- the rows

void RunFramesAndSeeEntries() {
  Prepare();
  for (int f = 0; f < 2; ++f) RunFrame(1.0f, 50);
  const GameLog& log = Log();
  // Past its own records the loop walks the eight pool records once per frame.
  Check(PoolVisits(1).size() == 8 && PoolVisits(2).size() == 8,
        "the projectile loop walks the pool once per frame", "%u and %u pool visits",
        static_cast<unsigned>(PoolVisits(1).size()), static_cast<unsigned>(PoolVisits(2).size()));
  bool stride = true;
  for (int f = 1; f <= 2; ++f) {
    const auto visits = PoolVisits(f);
    for (size_t i = 0; i < visits.size(); ++i)
      stride = stride && visits[i]->record == visits[0]->record + 44u * i;
  }
  Check(stride, "the pool's records are visited in order, 44 bytes apart");
  Check(log.timeStepAtLoopExit.size() == 2 && log.timeStepAtLoopExit[0] == 1.0f &&
            log.timeStepAtLoopExit[1] == 1.0f,
        "the frame's step is in place when the loop leaves");
  Check(log.branches[B_A_TAKEN] == 0 && log.branches[B_B_TAKEN] == 0 &&
            log.branches[B_C_TAKEN] == 0 && log.branches[B_C_FELL] > 0,
        "the three filled branches no longer jump", "A %d B %d C %d", log.branches[B_A_TAKEN],
        log.branches[B_B_TAKEN], log.branches[B_C_TAKEN]);
  Check(AllHostColoursAre(0x00FFFF80), "the colour entry colours the host's own traces");
  Check(log.resets.empty() && log.deviceTraps == 0, "no device call outside a Reset");
  Vec3 s{1, 2, 3}, e{4, 6, 3}, alt{9, 9, 9};
  Check(FireMake(22, 0, 0, &s, &e, &alt).ok && log.originalShots.empty(),
        "a shot goes to the library's entry, not the host's routine");
}

bool NoDialog() {
  if (!Dialogs().empty()) Note("unexpected dialog: %s", Dialogs()[0].text.c_str());
  return Dialogs().empty();
}

void ConfigureAllSites(ScenarioConfig& c) {
  c.ini = MakeIni("Gravity=1\r\nAirResist=0\r\n", "TracerType=0\r\n");
  c.weapons = WeaponFile();
  c.surfaces = SurfaceFile();
}

void RunAllSites(const ScenarioConfig&, const Library& lib) {
  Check(NoDialog(), "no dialog");
  VerifyRows(kAllRows, lib.base, lib.end);
  // Sites B, C and D share one wrapper; A has its own; every other jump has its own entry.
  bool distinct =
      RowTarget(2) == RowTarget(3) && RowTarget(3) == RowTarget(4) && RowTarget(1) != RowTarget(2);
  const int jumps[] = {1, 2, 5, 6, 7, 8, 10, 13, 14, 15, 16, 17};
  for (int a : jumps)
    for (int b : jumps)
      if (a < b) distinct = distinct && RowTarget(a) != RowTarget(b);
  Check(distinct, "one entry point per row, one Reset wrapper for A and one for B, C and D");
  RunFramesAndSeeEntries();
  bool resetsOk = true;
  for (int k = 0; k < 4; ++k) {
    const size_t before = Log().resets.size();
    const uint32_t eax = RunResetSequence(k);
    resetsOk = resetsOk && eax == ResetResult() && Log().resets.size() == before + 1 &&
               Log().resets.back().device == FakeDevice() &&
               Log().resets.back().params == ha::HostPresentParams;
  }
  Check(resetsOk, "each wrapped Reset calls the device's Reset once with the present parameters");
}

void ConfigureNoForces(ScenarioConfig& c) {
  c.ini = MakeIni("Gravity=0\r\nAirResist=0\r\n", "TracerType=0\r\n");
  c.weapons = WeaponFile();
  c.surfaces = SurfaceFile();
}

void RunNoForces(const ScenarioConfig&, const Library& lib) {
  Check(NoDialog(), "no dialog");
  VerifyRows(kAllRows & ~(1u << 8), lib.base, lib.end);
  RunFramesAndSeeEntries();
}

void ConfigureAirOnly(ScenarioConfig& c) {
  c.ini = MakeIni("Gravity=0\r\nAirResist=1\r\n", "TracerType=0\r\n");
  c.weapons = WeaponFile();
  c.surfaces = SurfaceFile();
}

void RunAirOnly(const ScenarioConfig&, const Library& lib) {
  Check(NoDialog(), "no dialog");
  VerifyRows(kAllRows, lib.base, lib.end);
}

// ---- the dialog

std::string DialogText(uint32_t address, const char* label) {
  char text[256];
  std::snprintf(text, sizeof text,
                "An unknown code found at 0x%08X (%s).\nDo you want to continue without this "
                "Function?",
                address, label);
  return text;
}

void ConfigureMismatch(ScenarioConfig& c, bool yes) {
  ConfigureAllSites(c);
  c.variant.mismatchRow = 6;
  c.answerYes = yes;
  c.expectedDialog = DialogText(ha::TrailUpdateSite, "Track Patch");
}
void ConfigureMismatchYes(ScenarioConfig& c) { ConfigureMismatch(c, true); }
void ConfigureMismatchNo(ScenarioConfig& c) { ConfigureMismatch(c, false); }

void CheckOneDialog(uint32_t address, const char* label) {
  const std::string text = DialogText(address, label);
  const auto& d = Dialogs();
  Check(d.size() == 1, "exactly one dialog", "%u dialogs", static_cast<unsigned>(d.size()));
  if (d.empty()) return;
  Check(d[0].text == text, "dialog text", "got \"%s\"", d[0].text.c_str());
  Check(d[0].caption == "Pellix" && d[0].flags == kDialogFlags && d[0].ownerNull,
        "dialog caption, flags and owner", "caption \"%s\" flags 0x%X", d[0].caption.c_str(),
        d[0].flags);
}

void RunMismatchYes(const ScenarioConfig&, const Library& lib) {
  CheckOneDialog(ha::TrailUpdateSite, "Track Patch");
  VerifyRows(kAllRows & ~(1u << 6), lib.base, lib.end);
}

void RunMismatchNo(const ScenarioConfig&, const Library&) {
  Check(false, "the process ended at the dialog", "the library's start-up returned");
}

void ConfigureResetMismatch(ScenarioConfig& c) {
  ConfigureAllSites(c);
  c.ini = MakeIni("Gravity=1\r\nAirResist=0\r\n", "TracerType=1\r\n");
  c.variant.reset[1] = ResetLayout::Neither;
  c.expectedDialog =
      DialogText(ha::ResetSiteB - ha::ResetAlternativeOffset, "IDirect3DDevice9::Reset");
}

// Whether the library's pellix.log, beside this program, holds `line`.
bool LogHasLine(const char* line) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (char* slash = std::strrchr(path, '\\')) std::strcpy(slash + 1, "pellix.log");
  FILE* f = std::fopen(path, "r");
  if (f == nullptr) return false;
  char text[512];
  bool found = false;
  while (!found && std::fgets(text, sizeof text, f)) {
    text[std::strcspn(text, "\r\n")] = '\0';
    found = std::strcmp(text, line) == 0;
  }
  std::fclose(f);
  return found;
}

void RunResetMismatch(const ScenarioConfig&, const Library& lib) {
  CheckOneDialog(ha::ResetSiteB - ha::ResetAlternativeOffset, "IDirect3DDevice9::Reset");
  VerifyRows(kAllRows & ~(1u << 2), lib.base, lib.end);
  // That Reset call would fail with the batch's buffers alive: the trails go one at a time.
  Check(LogHasLine("1 of 4 Reset sites skipped: tracers drawn one trail at a time (TracerBatch 0)"),
        "the log says the tracers are drawn one trail at a time", "no such line in pellix.log");
}

// ---- Reset sites

// Runs every Reset sequence and checks which foreign routine each one reached.
void RunResets(const int expectedForeign[4]) {
  for (int k = 0; k < 4; ++k) {
    uint32_t before[4];
    std::memcpy(before, standin_foreign_calls, sizeof before);
    const size_t resets = Log().resets.size();
    const uint32_t eax = RunResetSequence(k);
    int reached = -1, calls = 0;
    for (int i = 0; i < 4; ++i) {
      const uint32_t n = standin_foreign_calls[i] - before[i];
      calls += static_cast<int>(n);
      if (n) reached = i;
    }
    char name[96];
    std::snprintf(name, sizeof name, "Reset site %c reaches %s%d", 'A' + k,
                  expectedForeign[k] < 0 ? "the device" : "foreign call ",
                  expectedForeign[k] < 0 ? 0 : expectedForeign[k]);
    Check(reached == expectedForeign[k] && calls == (expectedForeign[k] < 0 ? 0 : 1) &&
              Log().resets.size() == resets + 1 && eax == ResetResult() &&
              Log().resets.back().params == ha::HostPresentParams,
          name, "reached %d (%d foreign calls), %u device resets, EAX 0x%08X", reached, calls,
          static_cast<unsigned>(Log().resets.size() - resets), eax);
  }
}

void ConfigureResetLayout(ScenarioConfig& c, ResetLayout a, ResetLayout b, ResetLayout cc,
                          ResetLayout d) {
  ConfigureAllSites(c);
  c.variant.reset[0] = a;
  c.variant.reset[1] = b;
  c.variant.reset[2] = cc;
  c.variant.reset[3] = d;
}

void ConfigureResetAlternative(ScenarioConfig& c) {
  const auto q = ResetLayout::Alternative;
  ConfigureResetLayout(c, q, q, q, q);
}

void RunResetAlternative(const ScenarioConfig&, const Library& lib) {
  Check(NoDialog(), "no dialog");
  VerifyRows(kAllRows, lib.base, lib.end);
  const int expected[4] = {-1, -1, -1, -1};
  RunResets(expected);
}

void ConfigureForeignPrimary(ScenarioConfig& c) {
  const auto f = ResetLayout::ForeignPrimary, p = ResetLayout::Primary;
  ConfigureResetLayout(c, f, f, p, p);
}

void RunForeignPrimary(const ScenarioConfig&, const Library& lib) {
  Check(NoDialog(), "no dialog");
  VerifyRows(kAllRows, lib.base, lib.end);
  // Site B's foreign call is the one chained for B, C and D alike.
  const int expected[4] = {0, 1, 1, 1};
  RunResets(expected);
}

void ConfigureForeignAlternative(ScenarioConfig& c) {
  const auto f = ResetLayout::ForeignAlternative, q = ResetLayout::Alternative;
  ConfigureResetLayout(c, f, q, f, q);
}

void RunForeignAlternative(const ScenarioConfig&, const Library& lib) {
  Check(NoDialog(), "no dialog");
  VerifyRows(kAllRows, lib.base, lib.end);
  const int expected[4] = {0, 2, 2, 2};
  RunResets(expected);
}

void ConfigureForeignSeveral(ScenarioConfig& c) {
  const auto f = ResetLayout::ForeignPrimary, p = ResetLayout::Primary;
  ConfigureResetLayout(c, p, f, ResetLayout::ForeignAlternative, f);
}

void RunForeignSeveral(const ScenarioConfig&, const Library& lib) {
  Check(NoDialog(), "no dialog");
  VerifyRows(kAllRows, lib.base, lib.end);
  // B, C and D each carried a foreign call: the last one found (D's) is kept for all three.
  const int expected[4] = {-1, 3, 3, 3};
  RunResets(expected);
}

const Scenario kScenarios[] = {
    {"selftest", "the host alone, no library: its loops, branches, shots and Resets",
     ConfigureSelfTest, RunSelfTest},
    {"selftest-faults", "the host alone with faulty code at four sites: the checks catch it",
     ConfigureFaultyHost, RunFaultyHost},
    {"all-sites", "every row patched exactly, entries reached, wrapped Resets", ConfigureAllSites,
     RunAllSites},
    {"no-forces", "Gravity and AirResist 0: the flight-forces row is not written",
     ConfigureNoForces, RunNoForces},
    {"air-only", "AirResist alone: the flight-forces row is written", ConfigureAirOnly, RunAirOnly},
    {"mismatch-yes", "an unexpected byte at row 6, answered Yes", ConfigureMismatchYes,
     RunMismatchYes},
    {"mismatch-no", "an unexpected byte at row 6, answered No: exit code 0", ConfigureMismatchNo,
     RunMismatchNo},
    {"reset-mismatch-yes", "neither Reset address of site B known, answered Yes",
     ConfigureResetMismatch, RunResetMismatch},
    {"reset-alternative", "every Reset sequence at its alternative address",
     ConfigureResetAlternative, RunResetAlternative},
    {"reset-foreign-primary", "foreign calls at the primary addresses of A and B",
     ConfigureForeignPrimary, RunForeignPrimary},
    {"reset-foreign-alternative", "foreign calls at the alternative addresses of A and C",
     ConfigureForeignAlternative, RunForeignAlternative},
    {"reset-foreign-several", "foreign calls at B, C and D: the last found is kept",
     ConfigureForeignSeveral, RunForeignSeveral},
};

}  // namespace

ScenarioList BindingScenarios() { return {kScenarios, sizeof kScenarios / sizeof kScenarios[0]}; }

}  // namespace standin
