// Scenarios of the trails: the update at the end of the host's trace routine and the trace
// loop's walk over the pool (the host draws them) or over one sentinel (the library draws).
#include <cstdio>
#include <cstring>
#include <vector>

#include "host_map.h"
#include "report.h"
#include "scenario.h"
#include "scenario_support.h"

namespace standin {
namespace {

constexpr uint32_t kPlainColour = 0x00FFFF80;
constexpr int kSlots = 8;

void Prepare() {
  SetupHostData();
  ClearWorld();
  for (int i = 0; i < kHostProjectiles; ++i) std::memset(&HostProjectile(i), 0, 44);
  for (int i = 0; i < kHostTraces; ++i) {
    std::memset(&HostTrace(i), 0, 44);
    HostTrace(i).activity = 1;
  }
  HostClockMs() = 200000;
  HostWind() = {0, 0, 0};
}

std::vector<const TraceVisit*> Visits(int frame) {
  std::vector<const TraceVisit*> out;
  for (const TraceVisit& t : Log().traces)
    if (t.frame == frame) out.push_back(&t);
  return out;
}

const StepVisit* LastStep(uint32_t record, int frame) {
  const StepVisit* found = nullptr;
  for (const StepVisit& v : Log().steps)
    if (v.record == record && v.frame == frame) found = &v;
  return found;
}

bool Same(const Vec3& a, const Vec3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

void ConfigureHostDrawn(ScenarioConfig& c) {
  c.ini = MakeIni("Gravity=0\r\nAirResist=0\r\n", "TracerType=0\r\nAfterEffect=2\r\n", kSlots);
  c.weapons = WeaponFile();
  c.surfaces = SurfaceFile();
}

void RunHostDrawn(const ScenarioConfig&, const Library&) {
  Prepare();
  FireSniper(0, 22, {0, 0, 0}, {1, 0, 0});   // every round of weapon 22 is a tracer
  FireSniper(0, 23, {0, 10, 0}, {1, 0, 0});  // weapon 23 has none
  const int frames = 3;
  for (int f = 0; f < frames; ++f) RunFrame(1.0f, 50);
  Check(Log().traceRoutineCalls == frames, "the trace routine ran each frame");
  const uint32_t tracer = PoolRecordAt({0, 0, 0}), plain = PoolRecordAt({0, 10, 0});
  if (!Check(tracer && plain, "both projectiles flew")) return;
  bool walk = true, hostColours = true, tracerOk = true, plainOk = true, idleOk = true;
  for (int f = 1; f <= frames; ++f) {
    const auto visits = Visits(f);
    if (visits.size() != kHostTraces + kSlots) {
      walk = false;
      Note("frame %d: %u trace visits", f, static_cast<unsigned>(visits.size()));
      continue;
    }
    for (int i = 0; i < kHostTraces; ++i)
      hostColours =
          hostColours && IsHostTrace(visits[i]->record) && visits[i]->colour == kPlainColour;
    const uint32_t first = visits[kHostTraces]->record;
    for (int i = 0; i < kSlots; ++i) {
      const TraceVisit& t = *visits[kHostTraces + i];
      walk = walk && t.record == first + 44u * i;
      const bool isTracer = Same(t.content.end, LastStep(tracer, f)->after.position);
      const bool isPlain = Same(t.content.end, LastStep(plain, f)->after.position);
      // The trail grows by half a step's travel per update, up to its full length.
      const float grown = f == 1 ? 10.0f : 20.0f;
      if (isTracer) {
        tracerOk = tracerOk && t.colour == kTracerColour22 && t.content.activity == 1 &&
                   t.content.isTracer == 1 && t.content.weaponType == 22 &&
                   t.content.alpha == 200 && t.content.width == 0.2f &&
                   t.content.creationTime == HostClockMs() - 50u * (frames - f) &&
                   Near(t.content.start.x, t.content.end.x - grown, 1e-3f);
      } else if (isPlain) {
        plainOk = plainOk && t.colour == kPlainColour && t.content.activity == 1 &&
                  t.content.isTracer == 0 && t.content.alpha == 100 && t.content.width == 0.1f &&
                  Near(t.content.start.x, t.content.end.x - 10.0f, 1e-3f);
      } else {
        idleOk = idleOk && t.content.activity == 0 && t.colour == kPlainColour;
      }
    }
  }
  Check(walk, "each frame the trace loop visits the host's traces, then every pool trail in order");
  Check(hostColours, "the host's own traces get the plain colour");
  Check(tracerOk, "the tracer's trail follows its projectile with the weapon's tracer colour");
  Check(plainOk, "the plain projectile's trail follows it with the plain colour");
  Check(idleOk, "unused slots' trails are visited and not shown");
}

void ConfigureLibraryDrawn(ScenarioConfig& c) {
  c.ini = MakeIni("Gravity=0\r\nAirResist=0\r\n", "TracerType=2\r\n", kSlots);
  c.weapons = WeaponFile();
  c.surfaces = SurfaceFile();
}

void RunLibraryDrawn(const ScenarioConfig&, const Library&) {
  Prepare();
  FireSniper(0, 22, {0, 0, 0}, {1, 0, 0});
  for (int f = 0; f < 2; ++f) RunFrame(1.0f, 50);
  bool sentinel = true;
  uint32_t sentinelAddress = 0;
  for (int f = 1; f <= 2; ++f) {
    const auto visits = Visits(f);
    if (visits.size() != kHostTraces + 1) {
      sentinel = false;
      Note("frame %d: %u trace visits", f, static_cast<unsigned>(visits.size()));
      continue;
    }
    const TraceVisit& s = *visits[kHostTraces];
    TraceRecord expect{};
    expect.activity = 1;
    expect.lifetime = 0x7FFFFFFF;
    sentinel = sentinel && std::memcmp(&s.content, &expect, 44) == 0 && s.colour == kPlainColour &&
               (f == 1 || s.record == sentinelAddress);
    sentinelAddress = s.record;
  }
  Check(sentinel, "after the host's traces the loop visits one sentinel and no trail");
  Check(Log().deviceTraps == 0, "without a device nothing is drawn");
}

// A tracer stopped at a wall: its trail shrinks into the point where it ended, then expires.
void ConfigureAfterEffect(ScenarioConfig& c) {
  c.ini = MakeIni("Gravity=0\r\nAirResist=0\r\nMinSpeed=100\r\n",
                  "TracerType=0\r\nAfterEffect=2\r\n", kSlots);
  c.weapons = WeaponFile();
  c.surfaces = SurfaceFile();
}

void RunAfterEffect(const ScenarioConfig&, const Library&) {
  Prepare();
  Solid wall;
  wall.plane = true;
  wall.n = {-1, 0, 0};
  wall.d = -50;
  wall.surface = 7;
  AddSolid(wall);
  FireSniper(0, 22, {0, 0, 0}, {1, 0, 0});
  // Short frames: the tracer's trail (full length 1 step unit, lifetime 25 ms) lives 2 of them.
  for (int f = 0; f < 12; ++f) RunFrame(1.0f, 10);
  const uint32_t p = PoolRecordAt({0, 0, 0});
  int stoppedFrame = 0;
  for (const StepVisit& v : Log().steps)
    if (v.record == p && v.before.active && !v.after.active && !stoppedFrame)
      stoppedFrame = v.frame;
  if (!Check(stoppedFrame > 0, "the projectile stopped at the wall")) return;
  std::vector<TraceRecord> trail;  // slot 0's trail, frame by frame from the stop on
  for (int f = stoppedFrame; f <= 12; ++f) {
    const auto visits = Visits(f);
    if (visits.size() == kHostTraces + kSlots) trail.push_back(visits[kHostTraces]->content);
  }
  Check(trail.size() >= 3 && trail[0].activity == 2 && trail[0].end.x == trail[1].end.x &&
            trail[1].start.x >= trail[0].start.x,
        "after the stop the trail keeps its head and shrinks towards it", "%u frames, activity %d",
        static_cast<unsigned>(trail.size()), trail.empty() ? -1 : trail[0].activity);
  bool expired = false;
  for (const TraceRecord& t : trail) expired = expired || t.activity == 0;
  Check(expired, "the shrinking trail is switched off once its lifetime has passed");
}

const Scenario kScenarios[] = {
    {"trails-host", "TracerType 0: trails updated and drawn by the host's trace loop",
     ConfigureHostDrawn, RunHostDrawn},
    {"trails-aftereffect", "AfterEffect: a stopped tracer's trail shrinks, then expires",
     ConfigureAfterEffect, RunAfterEffect},
    {"trails-library", "TracerType 2: the sentinel, then the library draws (no device yet)",
     ConfigureLibraryDrawn, RunLibraryDrawn},
};

}  // namespace

ScenarioList TrailScenarios() { return {kScenarios, sizeof kScenarios / sizeof kScenarios[0]}; }

}  // namespace standin
