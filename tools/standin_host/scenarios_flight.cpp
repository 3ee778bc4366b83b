// Scenarios of the simulation as the host's own loop runs it: shots through the three shot
// routines, forces at the flight-forces site, impacts, repeats and skipped hit handling.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "host_map.h"
#include "report.h"
#include "scenario.h"
#include "scenario_support.h"

namespace standin {
namespace {

constexpr uint32_t kStartClock = 100000;

void Configure(ScenarioConfig& c, const char* physics) {
  c.ini = MakeIni(physics, "TracerType=0\r\n");
  c.weapons = WeaponFile();
  c.surfaces = SurfaceFile();
}

Solid Plane(Vec3 n, float d, uint8_t surface, uint8_t kind) {
  Solid s;
  s.plane = true;
  s.n = n;
  s.d = d;
  s.surface = surface;
  s.kind = kind;
  s.entity = 0x9B0000u | surface;
  return s;
}

bool Same(const Vec3& a, const Vec3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
bool Close(const Vec3& a, const Vec3& b, float tol) {
  return Near(a.x, b.x, tol) && Near(a.y, b.y, tol) && Near(a.z, b.z, tol);
}

const StepVisit* FirstVisit(uint32_t record, int frame) {
  for (const StepVisit& v : Log().steps)
    if (v.record == record && v.frame == frame) return &v;
  return nullptr;
}

int VisitCount(uint32_t record, int frame) {
  int n = 0;
  for (const StepVisit& v : Log().steps) n += (v.record == record && v.frame == frame) ? 1 : 0;
  return n;
}

// The damage a hit at this velocity deals: the energy ratio times the damage, truncated.
int ScaledDamage(const Vec3& v, float speedFactor, int damage) {
  const float speed = Length(v);
  const long double e =
      static_cast<long double>(speed * speed) * speedFactor * speedFactor * damage;
  return static_cast<int>(e);
}

// ---- shots

void ConfigureShots(ScenarioConfig& c) { Configure(c, "Gravity=0\r\nAirResist=0\r\n"); }

void RunShots(const ScenarioConfig&, const Library&) {
  ClearHost(kStartClock);
  HostCalls& calls = Calls();
  Vec3 s1{1, 2, 3}, e1{101, 2, 3}, a1{9, 9, 9};
  const ShotResult r1 = FireMake(22, kPedestrianShooter, 0, &s1, &e1, &a1);
  Check(r1.ok && Same(e1, {100, 0, 0}) && Same(a1, {9, 9, 9}),
        "Make with flag 0 returns false and writes the direction into the end point");
  Check(calls.shooterSkill.size() == 1 && calls.shooterSkill[0] == kPedestrianShooter &&
            calls.weaponInfo.size() == 1 && calls.weaponInfo[0].type == 22 &&
            calls.weaponInfo[0].skill == SkillOf(kPedestrianShooter),
        "Make asks the host for the shooter's skill and the weapon's info");

  Vec3 s2{1, 2, 50}, e2{7, 7, 7}, a2{1, 102, 50};
  const ShotResult r2 = FireMake(300, 0, 1, &s2, &e2, &a2);
  Check(r2.ok && Same(e2, {7, 7, 7}) && Same(a2, {0, 100, 0}),
        "Make with flag 1 writes the direction into the alternative end point");
  Check(calls.shooterSkill.size() == 1 && calls.weaponInfo.size() == 2 &&
            calls.weaponInfo[1].type == 300 && calls.weaponInfo[1].skill == 1,
        "without a shooter Make asks for skill 1 and the unclamped weapon type");

  const ShotResult r3 = FireSniper(kVehicleShooter, 0x1FF16, {0, 0, 100}, {0, 3, 4});
  Check(r3.ok && calls.weaponInfo.size() == 3 && calls.weaponInfo[2].type == 0x16 &&
            calls.shooterSkill.size() == 2 && calls.shooterSkill[1] == kVehicleShooter,
        "MakeSniper returns false and asks about the low byte of its weapon argument");

  Vec3 s4{5, 5, 5}, e4{5, 5, 205};
  const ShotResult r4 = FireM4(&s4, &e4, 0x12345);
  Check(r4.ok && Same(e4, {0, 0, 200}) && calls.weaponInfo.size() == 3,
        "MakeM4 returns false, writes the direction and asks the host nothing");
  Check(Log().originalShots.empty(), "the host's own shot routines never ran");

  RunFrame(1.0f, 50);
  const uint32_t p1 = PoolRecordAt({1, 2, 3}), p2 = PoolRecordAt({1, 2, 50});
  const uint32_t p3 = PoolRecordAt({0, 0, 100}), p4 = PoolRecordAt({5, 5, 5});
  Check(p1 && p2 && p3 && p4 && PoolVisits(1).size() == 8,
        "the host's loop steps the four new projectiles among the pool's eight records");
  if (!(p1 && p2 && p3 && p4)) return;
  const ProjRecord& r = FirstVisit(p1, 1)->before;
  Check(r.weaponType == 22 && r.shooter == kPedestrianShooter && r.active == 1 && r.isTracer == 1 &&
            Close(r.velocity, {20, 0, 0}, 1e-5f) && r.damage == kDamage22 &&
            r.expiryTime == static_cast<float>(kStartClock + 800),
        "Make's projectile: type, shooter, tracer, speed 20, damage, expiry after 800 ms",
        "type %d tracer %d v (%g %g %g) damage %d expiry %.1f", r.weaponType, r.isTracer,
        r.velocity.x, r.velocity.y, r.velocity.z, r.damage, r.expiryTime);
  const ProjRecord& q = FirstVisit(p2, 1)->before;
  Check(q.weaponType == 300 && q.shooter == 0 && q.isTracer == 0 &&
            Close(q.velocity, {0, 20, 0}, 1e-5f),
        "a weapon type beyond the table flies with row 0");
  const ProjRecord& t = FirstVisit(p3, 1)->before;
  Check(t.weaponType == 0x16 && t.shooter == kVehicleShooter &&
            Close(t.velocity, {0, 12, 16}, 1e-5f) && t.isTracer == 1,
        "MakeSniper's projectile flies along its direction at the muzzle speed");
  const ProjRecord& m = FirstVisit(p4, 1)->before;
  Check(m.weaponType == 31 && m.shooter == 0 && Close(m.velocity, {0, 0, 40}, 1e-4f) &&
            m.damage == 0x2345 && m.expiryTime == static_cast<float>(kStartClock + 200),
        "MakeM4's projectile: type 31, speed 40, damage from the low 16 bits, expiry 200 ms",
        "v (%g %g %g) damage 0x%X expiry %.1f", m.velocity.x, m.velocity.y, m.velocity.z,
        static_cast<unsigned>(m.damage), m.expiryTime);
  const StepVisit* v1 = FirstVisit(p1, 1);
  Check(Close(v1->after.position, {21, 2, 3}, 1e-5f), "the host's step moves the projectile");
}

// ---- forces

void ConfigureGravity(ScenarioConfig& c) {
  Configure(c, "Gravity=1\r\nGravityMult=1.0\r\nAirResist=0\r\n");
}

void RunGravity(const ScenarioConfig&, const Library&) {
  ClearHost(kStartClock);
  FireSniper(0, 22, {0, 0, 0}, {1, 0, 0});
  const float steps[4] = {1.0f, 1.0f, 0.5f, 1.25f};
  for (float dt : steps) RunFrame(dt, 50);
  const uint32_t p = PoolRecordAt({0, 0, 0});
  bool exact = p != 0, moved = p != 0;
  for (int f = 1; f <= 4 && p; ++f) {
    const StepVisit* v = FirstVisit(p, f);
    const float dt = steps[f - 1];
    const float vz = v->before.velocity.z - 0.032f * dt;
    exact = exact && v->after.velocity.z == vz && v->after.velocity.x == v->before.velocity.x &&
            v->after.velocity.y == v->before.velocity.y;
    moved = moved && v->after.position.z == v->before.position.z + v->after.velocity.z * dt;
  }
  Check(exact, "gravity takes exactly 0.032 x step from the vertical speed at each step");
  Check(moved, "the host's step moves the projectile with the velocity the forces left");
}

void ConfigureDrag(ScenarioConfig& c) { Configure(c, "Gravity=0\r\nAirResist=1\r\n"); }

void RunDrag(const ScenarioConfig&, const Library&) {
  ClearHost(kStartClock);
  HostWind() = {0, 50, 0};
  FireSniper(0, 23, {0, 0, 0}, {1, 0, 0});
  for (int f = 0; f < 3; ++f) RunFrame(1.0f, 50);
  const uint32_t p = PoolRecordAt({0, 0, 0});
  if (!Check(p != 0, "the projectile was stepped")) return;
  // Across the flight path the relative air (0, -10, 0) loses 10 %, along it 20 x 10 %:
  // (18, -9, 0) + the wind part (0, 10, 0).
  const Vec3 v1 = FirstVisit(p, 1)->after.velocity;
  Check(Close(v1, {18, 1, 0}, 1e-5f), "drag against the wind at the first step",
        "velocity (%g %g %g)", v1.x, v1.y, v1.z);
  const Vec3 v3 = FirstVisit(p, 3)->after.velocity;
  Check(Length(v3) < Length(v1) && v3.y > v1.y, "the projectile slows and drifts with the wind");
}

// ---- impacts

void ConfigureImpacts(ScenarioConfig& c) {
  Configure(c, "Gravity=0\r\nAirResist=1\r\nRicochet=0\r\nPierce=0\r\nMinSpeed=0.1\r\n");
}

void RunImpacts(const ScenarioConfig&, const Library&) {
  ClearHost(kStartClock);
  AddSolid(Plane({-1, 0, 0}, -50, 7, 1));
  Solid ped;
  ped.lo = {30, 9, -1};
  ped.hi = {32, 11, 1};
  ped.surface = 9;
  ped.kind = 3;
  AddSolid(ped);
  SetSurfaceClass(7, 3);
  ProjRecord& h0 = HostProjectile(0);
  h0.weaponType = 22;
  h0.active = 1;
  h0.expiryTime = 1e9f;
  h0.position = {0, 10, 0};
  h0.velocity = {20, 0, 0};
  h0.damage = 31;
  ProjRecord& h1 = HostProjectile(1);
  h1 = h0;
  h1.position = {0, -10, 0};
  h1.damage = 32;
  FireSniper(0, 23, {0, 0, 0}, {1, 0, 0});
  for (int f = 0; f < 5; ++f) RunFrame(1.0f, 50);
  int poolHits = 0;
  bool scaled = true, restored = true, hostOk = true, hostPed = false, hostWall = false;
  for (const HitEvent& h : Log().hits) {
    if (!h.pool) {
      hostOk =
          hostOk && h.handled && h.damageSeen == h.atHit.damage && h.damageAfter == h.atHit.damage;
      if (h.kind == 3) hostPed = h.handlingPath == 3;
      if (h.kind == 1) hostWall = h.handlingPath == 0;
      continue;
    }
    ++poolHits;
    const int expect = ScaledDamage(h.velocitySeen, 25.0f / 500.0f, 40);
    scaled = scaled && h.handled && std::abs(h.damageSeen - expect) <= 1 && h.damageSeen < 40;
    restored = restored && h.damageAfter == 40;
    Note("pool hit in frame %d: speed %.4f, damage seen %d, restored %d", h.frame,
         Length(h.velocitySeen), h.damageSeen, h.damageAfter);
  }
  Check(poolHits > 0, "the projectile hit the wall");
  Check(scaled, "the host's hit handling sees the damage scaled by the remaining energy");
  Check(restored, "the step end puts the unscaled damage back");
  Check(hostOk && hostPed && hostWall,
        "the host's own records' hits: AL alone picks the handling, damage untouched");
  bool classCalls = static_cast<int>(Calls().surfaceClass.size()) == poolHits;
  for (const SurfaceClassCall& c : Calls().surfaceClass)
    classCalls = classCalls && c.object == ha::HostSurfaceClassObject && c.id == 7;
  bool lineFlags = !Calls().lineTests.empty();
  const int32_t flags[8] = {1, 1, 1, 1, 1, 0, 0, 1};
  for (const LineTestCall& c : Calls().lineTests)
    lineFlags = lineFlags && std::memcmp(c.flags, flags, sizeof flags) == 0;
  Check(lineFlags, "the sweep's line tests pass the host's eight flags");
  Check(classCalls, "the surface class is asked once per pool hit, on the host's object",
        "%u calls for %d pool hits", static_cast<unsigned>(Calls().surfaceClass.size()), poolHits);
}

// ---- repeats

void ConfigureRepeats(ScenarioConfig& c) {
  Configure(c,
            "Gravity=0\r\nAirResist=0\r\nRicochet=1\r\nPierce=0\r\nMaxLoop=2\r\nMinSpeed=0.1\r\n");
}

void RunRepeats(const ScenarioConfig&, const Library&) {
  ClearHost(kStartClock);
  // A corridor between y = -1 and y = 1: a projectile crossing it bounces every few units.
  AddSolid(Plane({0, -1, 0}, -1, 7, 1));
  AddSolid(Plane({0, 1, 0}, -1, 7, 1));
  SetSurfaceClass(7, 3);
  FireSniper(0, 22, {0, 0, 0}, {1, 0.5f, 0});
  FireSniper(0, 22, {0, 0, 5}, {1, 0, 0});
  for (int i = 2; i < 6; ++i) FireSniper(0, 22, {0, 0, 10.0f * i}, {1, 0, 0});
  FireSniper(0, 22, {0, 0.922f, 60}, {1, 0.004f, 0});  // grazes the wall late in the frame
  FireSniper(0, 22, {0, 0, -5}, {1, -0.5f, 0});        // the pool's last slot
  RunFrame(1.0f, 50);
  const uint32_t bouncing = PoolRecordAt({0, 0, 0}), straight = PoolRecordAt({0, 0, 5});
  const uint32_t last = PoolRecordAt({0, 0, -5}), grazing = PoolRecordAt({0, 0.922f, 60});
  if (!Check(bouncing && straight && last && grazing, "the projectiles were stepped")) return;
  const auto visits = PoolVisits(1);
  Check(VisitCount(last, 1) == 3 && visits.size() == 5 + 2 + 3 + 3 &&
            visits.back()->record == last &&
            visits[visits.size() - 3]->record == last,
        "the last slot's repeats run before the loop leaves", "%d passes of %u",
        VisitCount(last, 1), static_cast<unsigned>(visits.size()));
  Check(VisitCount(bouncing, 1) == 3, "a record whose every pass hits is stepped 1 + MaxLoop times",
        "%d passes", VisitCount(bouncing, 1));
  bool cut = true;
  int passes = 0;
  for (const StepVisit& v : Log().steps) {
    if (v.record != bouncing || v.frame != 1) continue;
    if (passes++ > 0)
      cut = cut && v.timeStep > 0 && v.timeStep < 1.0f;
    else
      cut = cut && v.timeStep == 1.0f;
  }
  Check(cut, "the repeated passes run with the time left after each impact");
  // Worked by hand: at 20 per step along (1, 0.004, 0) the wall y = 1 is met after 19.5 units;
  // the push-off 0.01 / (2 x 0.004 / sqrt(1.000016)) = 1.25 carries the round 0.75 past the
  // frame's 20 units, so the repeat runs with -0.75 / 20 and ends where the straight step,
  // mirrored in the wall, puts it: x = 20 / sqrt(1.000016), y = 2 - (0.922 + 0.08). (The hit
  // moves 250 times as far along x as the start's rounding in y: hence the step's tolerance.)
  float backStep = 0.0f;
  for (const StepVisit& v : Log().steps)
    if (v.record == grazing && v.frame == 1 && v.timeStep != 1.0f) backStep = v.timeStep;
  const ProjRecord& g = *reinterpret_cast<const ProjRecord*>(uintptr_t{grazing});
  Check(VisitCount(grazing, 1) == 2 && Near(backStep, -0.0375f, 2e-5f) &&
            Close(g.position, {19.99984f, 0.998f, 60}, 1e-4f),
        "a grazing ricochet's repeat runs with the negative cut step and steps the overshoot back",
        "%d passes, step %.7f, at (%.5f, %.5f, %.5f)", VisitCount(grazing, 1), backStep,
        g.position.x, g.position.y, g.position.z);
  Check(VisitCount(straight, 1) == 1 && FirstVisit(straight, 1)->timeStep == 1.0f,
        "the next record starts with the frame's step and no repeat");
  Check(!Log().timeStepAtLoopExit.empty() && Log().timeStepAtLoopExit.back() == 1.0f,
        "the frame's step is back when the loop leaves");
  bool restored = true;
  int hits = 0;
  for (const HitEvent& h : Log().hits) {
    if (h.record != bouncing) continue;
    ++hits;
    restored = restored && h.handled && h.damageAfter == 40 && h.repeatExit;
  }
  Check(hits == 3 && restored,
        "each ricochet is handled by the host, then the step end restores the damage and repeats",
        "%d hits", hits);
}

// MaxLoop 0: a requested repeat is dropped at once and the frame's step put back.
void ConfigureNoRepeats(ScenarioConfig& c) {
  Configure(c,
            "Gravity=0\r\nAirResist=0\r\nRicochet=1\r\nPierce=0\r\nMaxLoop=0\r\nMinSpeed=0.1\r\n");
}

void RunNoRepeats(const ScenarioConfig&, const Library&) {
  ClearHost(kStartClock);
  AddSolid(Plane({0, -1, 0}, -1, 7, 1));
  AddSolid(Plane({0, 1, 0}, -1, 7, 1));
  SetSurfaceClass(7, 3);
  FireSniper(0, 22, {0, 0, 0}, {1, 0.5f, 0});
  FireSniper(0, 22, {0, 0, 5}, {1, 0, 0});
  RunFrame(1.0f, 50);
  const uint32_t bouncing = PoolRecordAt({0, 0, 0}), straight = PoolRecordAt({0, 0, 5});
  if (!Check(bouncing && straight, "the projectiles were stepped")) return;
  int hits = 0;
  for (const HitEvent& h : Log().hits) hits += h.record == bouncing ? 1 : 0;
  Check(hits == 1 && VisitCount(bouncing, 1) == 1, "a ricochet asks for a repeat that never runs");
  Check(FirstVisit(straight, 1)->timeStep == 1.0f && Log().timeStepAtLoopExit.back() == 1.0f,
        "the next record and the loop's end see the frame's step");
}

// ---- penetration

void ConfigurePierce(ScenarioConfig& c) {
  Configure(c, "Gravity=0\r\nAirResist=0\r\nRicochet=0\r\nPierce=1\r\nMinSpeed=0.1\r\n");
  // Class 4 ("D") can be pierced at a cost of 1 per unit inside.
  c.surfaces = "N 2 0 1 0 -1\nD 2 0 1 0 1\n";
}

void RunPierce(const ScenarioConfig&, const Library&) {
  ClearHost(kStartClock);
  Solid slab;
  slab.lo = {30, -5, -5};
  slab.hi = {32, 5, 5};
  slab.surface = 11;
  slab.kind = 1;
  AddSolid(slab);
  SetSurfaceClass(11, 4);
  FireSniper(0, 22, {0, 0, 0}, {1, 0, 0});
  for (int f = 0; f < 3; ++f) RunFrame(1.0f, 50);
  const uint32_t p = PoolRecordAt({0, 0, 0});
  const HitEvent *enter = nullptr, *leave = nullptr;
  for (const HitEvent& h : Log().hits) {
    if (h.record != p) continue;
    if (h.hit.normal.x < 0 && !enter) enter = &h;
    if (h.hit.normal.x > 0 && !leave) leave = &h;
  }
  if (!Check(enter && leave && enter->frame == leave->frame,
             "the projectile enters and leaves the slab in one frame"))
    return;
  Check(enter->handled && enter->damageSeen >= 39 && enter->repeatExit,
        "entering: the host's hit handling runs with the energy-scaled damage, then a repeat");
  Check(!leave->handled && leave->damageAfter == 40,
        "leaving: the host's hit handling is skipped and the damage restored");
  const StepVisit* v = nullptr;
  for (const StepVisit& s : Log().steps)
    if (s.record == p && s.frame == 3) v = &s;
  // The budget at entry is the scaled damage 40 (speed ratio 1); two units inside cost 2, so
  // the speed keeps sqrt(38 / 40) of 20.
  Check(v && v->before.active && v->before.position.x > 32 &&
            Near(Length(v->before.velocity), 20.0f * std::sqrt(38.0f / 40.0f), 0.02f),
        "the projectile flies on beyond the slab with the energy that is left",
        "speed %.4f at x %.3f", v ? Length(v->before.velocity) : 0.0f,
        v ? v->before.position.x : 0.0f);
}

// ---- skipped hit handling and the two special weapons

void ConfigureSkip(ScenarioConfig& c) {
  Configure(c, "Gravity=0\r\nAirResist=0\r\nRicochet=1\r\nMinSpeed=100\r\n");
}

void RunSkip(const ScenarioConfig&, const Library&) {
  ClearHost(kStartClock);
  AddSolid(Plane({-1, 0, 0}, -50, 7, 1));
  SetSurfaceClass(7, 3);
  SetEffectCreateResult(kEffectObjects + 0x10);
  FireSniper(kVehicleShooter, 22, {0, 0, 0}, {1, 0, 0});    // too slow for the floor
  FireSniper(kVehicleShooter, 34, {25, 5, 0}, {1, 0, 0});   // special: area impact
  FireSniper(kVehicleShooter, 38, {25, -5, 0}, {1, 0, 0});  // special: effect and area impact
  for (int f = 0; f < 4; ++f) RunFrame(1.0f, 50);
  const uint32_t slow = PoolRecordAt({0, 0, 0}), t34 = PoolRecordAt({25, 5, 0}),
                 t38 = PoolRecordAt({25, -5, 0});
  const HitEvent *hs = nullptr, *h34 = nullptr, *h38 = nullptr;
  for (const HitEvent& h : Log().hits) {
    if (h.record == slow && !hs) hs = &h;
    if (h.record == t34 && !h34) h34 = &h;
    if (h.record == t38 && !h38) h38 = &h;
  }
  if (!Check(hs && h34 && h38 && hs->frame == h34->frame, "the three projectiles hit the wall"))
    return;
  Check(!hs->handled, "a stopped projectile's hit handling is skipped");
  Check(hs->damageAfter == 40, "the stopped projectile keeps its own damage after the step end");
  const StepVisit* after = nullptr;
  for (const StepVisit& v : Log().steps)
    if (v.record == slow && v.frame == hs->frame) after = &v;
  Check(after && after->after.active == 0, "the stopped projectile is no longer active");
  Check(h34->handled && h34->damageSeen == 40 && h38->handled,
        "the skip is cleared: the next hit in the frame is handled, with its own damage");
  const auto& area = Calls().areaImpact;
  bool areaOk = area.size() == 2;
  for (const AreaImpactCall& a : area)
    areaOk = areaOk && a.point.x == 50 && a.radius == 2.0f && a.power == 25.0f && a.zero == 0 &&
             a.shooter == kVehicleShooter && a.one == 1 && a.scale == 1.0f;
  Check(areaOk, "weapons 34 and 38 end in one area impact each with the host's arguments",
        "%u calls", static_cast<unsigned>(area.size()));
  const float rows[16] = {0, 0, -1, 0, -1, 0, 0, 0, 0, 0, 0, 0, 50, -5, 0, 1};
  const auto& fx = Calls().effectCreate;
  bool matrixOk = fx.size() == 1;
  for (int i = 0; matrixOk && i < 16; ++i) matrixOk = fx[0].matrix[i] == rows[i];  // -0 == 0
  Check(fx.size() == 1 && fx[0].object == ha::HostEffectObject &&
            std::strcmp(fx[0].name, "tank_fire") == 0 && fx[0].zero[0] == 0 && fx[0].zero[1] == 0 &&
            fx[0].zero[2] == 0 && fx[0].last == 0 && matrixOk,
        "weapon 38 creates the host's effect on its object with the hit's orientation");
  const auto& follow = Calls().effectFollowUps;
  Check(follow.size() == 2 && follow[0].routine == ha::HostEffectStart &&
            follow[1].routine == ha::HostEffectFinish &&
            follow[0].effect == kEffectObjects + 0x10 && follow[1].effect == kEffectObjects + 0x10,
        "the two follow-up routines run on the created effect, in order");
}

const Scenario kScenarios[] = {
    {"shots", "Make, MakeSniper and MakeM4 with their calling conventions", ConfigureShots,
     RunShots},
    {"gravity", "gravity at the flight-forces site, exactly", ConfigureGravity, RunGravity},
    {"drag", "air drag against the wind at the flight-forces site", ConfigureDrag, RunDrag},
    {"impacts", "scaled damage for the host's hit handling, unscaled restored", ConfigureImpacts,
     RunImpacts},
    {"repeats", "ricochets repeated within a frame up to MaxLoop", ConfigureRepeats, RunRepeats},
    {"repeats-none", "MaxLoop 0: no repeat, the step put back", ConfigureNoRepeats, RunNoRepeats},
    {"pierce", "a slab entered and left within one frame", ConfigurePierce, RunPierce},
    {"skip", "skipped hit handling, and the two special weapons", ConfigureSkip, RunSkip},
};

}  // namespace

ScenarioList FlightScenarios() { return {kScenarios, sizeof kScenarios / sizeof kScenarios[0]}; }

}  // namespace standin
