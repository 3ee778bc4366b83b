#include "host_game.h"

#include <cstring>

#include "contracts.h"
#include "host_map.h"

extern "C" {
uint32_t standin_loop_esp;
int32_t standin_hit;
float standin_disp_x, standin_step_dt;
int32_t standin_shot_kind;
uint32_t standin_shot_args[8];
uint32_t standin_foreign_calls[4];
// Values the host leaves on the x87 stack across its hook sites.
float standin_marker[2] = {1234.5f, -0.375f};
uint16_t standin_cw_loop = 0x007F;   // single precision, as a Direct3D device leaves it
uint16_t standin_cw_trace = 0x027F;  // double precision
uint16_t standin_cw_default = 0x037F;
}

namespace standin {
namespace {

GameLog gameLog;
int frame = 0;

// Step state of the record the body is working on.
ProjRecord* current = nullptr;
Vec3 stepEnd{};
Hit stepHit{};
int currentHit = -1;    // index into gameLog.hits, or -1
int currentVisit = -1;  // index into gameLog.steps

// The fake Direct3D device: a table whose slot 16 is Reset; every other slot records a trap.
constexpr uint32_t kResetResult = 0x0D3D0042;
constexpr int kResetSlot = 16;
void* deviceTable[128];
struct FakeDeviceObject {
  void** table;
} fakeDevice{deviceTable};

__attribute__((stdcall)) uint32_t FakeReset(void* self, void* params) {
  gameLog.resets.push_back({static_cast<uint32_t>(reinterpret_cast<uintptr_t>(self)),
                            static_cast<uint32_t>(reinterpret_cast<uintptr_t>(params))});
  return kResetResult;
}

__attribute__((stdcall)) uint32_t FakeTrap(void*) {
  ++gameLog.deviceTraps;
  return 0x80004001;  // E_NOTIMPL
}

struct DeviceSetup {
  DeviceSetup() {
    for (void*& slot : deviceTable) slot = reinterpret_cast<void*>(&FakeTrap);
    deviceTable[kResetSlot] = reinterpret_cast<void*>(&FakeReset);
  }
} deviceSetup;

ProjRecord* Record(uint32_t address) { return reinterpret_cast<ProjRecord*>(uintptr_t{address}); }

}  // namespace

GameLog& Log() { return gameLog; }

bool IsHostProjectile(uint32_t r) {
  return r >= kHostProjectileArray && r < kHostProjectileArray + 44 * kHostProjectiles;
}
bool IsHostTrace(uint32_t r) {
  return r >= kHostTraceArray && r < kHostTraceArray + 44 * kHostTraces;
}
ProjRecord& HostProjectile(int i) { return *Record(kHostProjectileArray + 44 * i); }
TraceRecord& HostTrace(int i) {
  return *reinterpret_cast<TraceRecord*>(uintptr_t{kHostTraceArray + 44u * i});
}

float& HostTimeStep() { return *reinterpret_cast<float*>(uintptr_t{ha::HostTimeStep}); }
uint32_t& HostClockMs() { return *reinterpret_cast<uint32_t*>(uintptr_t{ha::HostClockMs}); }
Vec3& HostWind() { return *reinterpret_cast<Vec3*>(uintptr_t{ha::HostWind}); }

int Frame() { return frame; }

void RunProjectileLoop() { standin_projectile_loop(); }
void RunTraceRoutine() { standin_call_trace_routine(); }
void RunTraceLoop() { standin_trace_loop(); }

void RunFrame(float timeStep, uint32_t clockAdvance) {
  ++frame;
  HostClockMs() += clockAdvance;
  HostTimeStep() = timeStep;
  RunProjectileLoop();
  RunTraceRoutine();
  RunTraceLoop();
}

uint32_t resetDevice = 0;

uint32_t FakeDevice() { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&fakeDevice)); }
uint32_t ResetResult() { return kResetResult; }

namespace game {

void OnResume(HostCtx* ctx, int where, int lastSite) {
  (void)ctx;
  if (where == R_AFTER_HIT && lastSite == S_IMPACT && currentHit >= 0) {
    gameLog.hits[currentHit].handled = false;  // the hit handling was jumped over
  }
  // The rest of the body, reached only when the step end did not leave for a repeat: a
  // projectile whose step met something ends there, as the host's own bullets do. The impact
  // response has then neither stopped it nor sent it on (a plain hit).
  if (where == R_STEPEND && lastSite == S_STEPEND && standin_hit && current != nullptr)
    current->active = 0;
  if (lastSite == S_STEPEND && currentHit >= 0 && current != nullptr) {
    gameLog.hits[currentHit].damageAfter = current->damage;
    gameLog.hits[currentHit].repeatExit = where != R_STEPEND;
  }
  if ((lastSite == S_STEPEND || lastSite == S_LOOP_END) && currentVisit >= 0 && current) {
    gameLog.steps[currentVisit].after = *current;
    currentVisit = -1;
  }
  if (where == R_LOOP_EXIT) gameLog.timeStepAtLoopExit.push_back(HostTimeStep());
  if (where == R_TRACE_BODY) ++gameLog.traceRoutineCalls;
}

}  // namespace game
}  // namespace standin

using namespace standin;

extern "C" void host_loop_begin(HostCtx* ctx, int) {
  host_canaries(ctx, C_BODY);
  uint32_t* frameBase = reinterpret_cast<uint32_t*>(uintptr_t{ctx->HostEsp()});
  frameBase[0x14 / 4] = 0x51EB0014;  // what the step end loads into ECX and EDX
  frameBase[0x18 / 4] = 0x51EB0018;
  ctx->regs.edi = kHostProjectileArray + 4;
  current = nullptr;
  currentHit = -1;
  currentVisit = -1;
}

extern "C" void host_step_prepare(HostCtx* ctx, int) {
  const uint32_t address = ctx->regs.edi - 4;
  current = Record(address);
  currentHit = -1;
  standin_hit = 0;
  StepVisit v{};
  v.frame = frame;
  v.record = address;
  v.timeStep = HostTimeStep();
  v.before = *current;
  v.after = *current;
  bool step = current->active != 0;
  if (step && static_cast<float>(HostClockMs()) >= current->expiryTime) {
    current->active = 0;  // the host ends a projectile whose time is up
    step = false;
  }
  v.stepped = step;
  gameLog.steps.push_back(v);
  currentVisit = static_cast<int>(gameLog.steps.size()) - 1;
  ctx->regs.eax = step ? 1 : 0;
}

extern "C" void host_step_test(HostCtx* ctx, int) {
  const float dt = standin_step_dt;
  const Vec3 p = current->position, v = current->velocity;
  stepEnd = {p.x + standin_disp_x, p.y + v.y * dt, p.z + v.z * dt};
  standin_hit = TraceSegment(p, stepEnd, &stepHit) ? 1 : 0;
  if (!standin_hit) return;
  uint8_t* hostFrame = reinterpret_cast<uint8_t*>(uintptr_t{standin_loop_esp});
  std::memcpy(hostFrame + 0x24, &stepHit.point, 12);
  std::memcpy(hostFrame + 0x34, &stepHit.normal, 12);
  hostFrame[0x57] = stepHit.surface;
  ctx->regs.eax = 0xA5A5A500u | stepHit.kind;  // AL is the type code; the rest is noise
  HitEvent e{};
  e.frame = frame;
  e.record = ctx->regs.edi - 4;
  e.pool = !IsHostProjectile(e.record);
  e.kind = stepHit.kind;
  e.handled = false;
  e.handlingPath = -1;
  e.damageSeen = -1;
  e.damageAfter = current->damage;
  e.hit = stepHit;
  e.atHit = *current;
  e.visit = currentVisit;
  gameLog.hits.push_back(e);
  currentHit = static_cast<int>(gameLog.hits.size()) - 1;
}

extern "C" void host_hit_handling(HostCtx*, int path) {
  if (currentHit < 0) return;
  HitEvent& e = gameLog.hits[currentHit];
  e.handled = true;
  e.handlingPath = path;
  e.damageSeen = current->damage;
  e.velocitySeen = current->velocity;
  Calls().damage.push_back({stepHit.entity, current->damage});
}

extern "C" void host_branch(HostCtx*, int which) {
  ++gameLog.branches[which];
  if (which == B_C_TAKEN) {
    // The host's projectile ends at what it hit.
    current->active = 0;
    current->position = stepHit.point;
  } else if (which == B_C_FELL && !standin_hit) {
    current->position = stepEnd;
  }
}

extern "C" void host_trace_begin(HostCtx* ctx, int) {
  host_canaries(ctx, C_CALLER);
  ctx->regs.esi = kHostTraceArray + 8;
}

extern "C" void host_trace_prepare(HostCtx* ctx, int) { ctx->regs.edi = kHostTraceColour; }

extern "C" void host_trace_visit(HostCtx* ctx, int) {
  TraceVisit t{};
  t.frame = frame;
  t.record = ctx->regs.esi - 8;
  t.colour = ctx->regs.edi;
  std::memcpy(&t.content, reinterpret_cast<const void*>(uintptr_t{t.record}), 44);
  gameLog.traces.push_back(t);
}

extern "C" void host_reset_prepare(HostCtx* ctx, int) {
  host_canaries(ctx, C_CALLER);
  ctx->regs.eax = FakeDevice();
  ctx->regs.ecx = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(deviceTable));
  if (resetDevice != 0) {  // a real device: EAX = the device, ECX = its table
    ctx->regs.eax = resetDevice;
    ctx->regs.ecx = *reinterpret_cast<const uint32_t*>(uintptr_t{resetDevice});
  }
}

extern "C" void host_shot_prepare(HostCtx* ctx, int) {
  host_canaries(ctx, C_CALLER);
  if (standin_shot_kind == 0) ctx->regs.ecx = standin_shot_args[7];  // the HostWeapon
}

extern "C" void host_original_shot(HostCtx*, int kind) { gameLog.originalShots.push_back(kind); }
