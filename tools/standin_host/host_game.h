// The host game's state and loop bodies as the stand-in plays them, and what it observes of
// the records that its loops walk.
#pragma once
#include <cstdint>
#include <vector>

#include "glue.h"
#include "world.h"

namespace standin {

// The host's 44-byte projectile and trace records.
struct ProjRecord {
  int32_t weaponType;
  uint32_t shooter;
  float expiryTime;
  uint8_t active, isTracer, spare0, spare1;
  Vec3 position, velocity;
  int16_t damage;
  uint16_t spare2;
};
static_assert(sizeof(ProjRecord) == 44);

struct TraceRecord {
  Vec3 start, end;
  uint8_t activity, pad[3];
  uint32_t creationTime, lifetime;
  float width;
  uint8_t alpha, isTracer, weaponType, pad2;
};
static_assert(sizeof(TraceRecord) == 44);

// One pass of the projectile loop's body.
struct StepVisit {
  int frame;
  uint32_t record;    // address
  float timeStep;     // HostTimeStep as the pass starts
  bool stepped;       // active and not expired: went through the flight-forces site
  ProjRecord before;  // the record as the pass starts
  ProjRecord after;   // as the pass ends
};

// One hit found by the host's step code.
struct HitEvent {
  int frame;
  uint32_t record;
  bool pool;
  uint8_t kind;
  bool handled;        // the host's hit handling ran
  int handlingPath;    // 3 or 0
  int16_t damageSeen;  // by the hit handling
  Vec3 velocitySeen;
  int16_t damageAfter;  // after the step end
  bool repeatExit;      // the step end left for the advance at once
  Hit hit;
  ProjRecord atHit;  // the record when the hit was found
  int visit = -1;    // index into GameLog::steps of the pass that found it
};

struct TraceVisit {
  int frame;
  uint32_t record;
  uint32_t colour;
  TraceRecord content;
};

struct ResetCall {
  uint32_t device, params;
};

struct GameLog {
  std::vector<StepVisit> steps;
  std::vector<HitEvent> hits;
  std::vector<TraceVisit> traces;
  std::vector<float> timeStepAtLoopExit;
  std::vector<ResetCall> resets;
  std::vector<int> originalShots;  // 0 Make, 1 MakeSniper, 2 MakeM4
  int branches[6] = {};
  int traceRoutineCalls = 0;
  int deviceTraps = 0;
};
GameLog& Log();

bool IsHostProjectile(uint32_t record);
bool IsHostTrace(uint32_t record);
ProjRecord& HostProjectile(int i);
TraceRecord& HostTrace(int i);

float& HostTimeStep();
uint32_t& HostClockMs();
Vec3& HostWind();

// Frames: the clock advances, the step is set, the projectile loop, the trace routine and the
// trace loop run.
int Frame();
void RunFrame(float timeStep, uint32_t clockAdvance);
void RunProjectileLoop();
void RunTraceRoutine();
void RunTraceLoop();

// The fake device whose Reset the sequences call.
uint32_t FakeDevice();
uint32_t ResetResult();
// A real device for the Reset sequences instead of the fake one (0: the fake).
extern uint32_t resetDevice;

namespace game {
void OnResume(HostCtx* ctx, int where, int lastSite);
}

}  // namespace standin
