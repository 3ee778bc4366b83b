#include "tools/lab/simulate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "host/host_addresses.h"
#include "host/host_api.h"
#include "sim/loop_state.h"
#include "sim/shots.h"
#include "startup/settings.h"
#include "tools/loop_model/world.h"

namespace pellix::lab {

namespace {

using Json = nlohmann::ordered_json;

float Dot3(const float* a, const float* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

std::string Outcome(const ProjectileRecord& p, const ImpactEvent& e) {
  if (!p.active) return p.weaponType == 34 || p.weaponType == 38 ? "area" : "stop";
  if (!e.repeatRequested) return "hit";
  // Pushed off on the side it came from: a bounce; otherwise it went into or out of a solid.
  float off[3];
  for (int k = 0; k < 3; ++k) off[k] = p.position[k] - e.point[k];
  const bool cameAgainstNormal = Dot3(e.velocityBefore.data(), e.normal.data()) < 0.0f;
  if (!cameAgainstNormal) return "leave";
  return Dot3(off, e.normal.data()) > 0.0f ? "ricochet" : "enter";
}

uint32_t Fire(const ScenarioShot& shot, uint32_t shooter) {
  float start[3] = {shot.start[0], shot.start[1], shot.start[2]};
  float end[3] = {shot.end[0], shot.end[1], shot.end[2]};
  const int32_t slot = pool.nextSlot;
  switch (shot.entry) {
    case ShotEntry::Make: {
      const pellix::HostWeapon weapon{shot.weapon};
      float unused[3] = {0, 0, 0};
      Make(&weapon, shooter, shot.alternative ? 1 : 0, start, shot.alternative ? unused : end,
           shot.alternative ? end : unused, 0);
      break;
    }
    case ShotEntry::MakeSniper: {
      float d[3] = {shot.direction[0], shot.direction[1], shot.direction[2]};
      if (shot.hasEnd)
        for (int k = 0; k < 3; ++k) d[k] = end[k] - start[k];
      MakeSniper(shooter, static_cast<uint32_t>(shot.weapon), start[0], start[1], start[2], d[0],
                 d[1], d[2]);
      break;
    }
    case ShotEntry::MakeM4:
      MakeM4(start, end, shot.damage);
      break;
  }
  return static_cast<uint32_t>(slot);
}

const char* EntryName(ShotEntry e) {
  return e == ShotEntry::Make ? "Make" : e == ShotEntry::MakeSniper ? "MakeSniper" : "MakeM4";
}

// A float as JSON; JSON has no infinities (an endless expiry or trail length), so those are
// the strings "inf" and "-inf", as `show` writes them.
Json Num(float v) {
  if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
  if (std::isnan(v)) return "nan";
  return v;
}

Json Vec(const float* v) { return Json::array({v[0], v[1], v[2]}); }
Json Vec(const std::array<float, 3>& v) { return Vec(v.data()); }

std::string Fmt(const char* format, double a, double b = 0, double c = 0) {
  char text[128];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

}  // namespace

bool RunScenario(const Scenario& s, SimulationResult& out, std::string& error) {
  LabSession session;
  // Slots that no shot fills stay empty: a pool of one slot a shot runs the same frames, and
  // only its walk is shorter (see poolPasses below).
  session.poolSlots =
      s.poolSlots > 0 ? s.poolSlots : std::max<int32_t>(1, static_cast<int32_t>(s.shots.size()));
  if (!session.Load(s.dataDir, error, s.settings, s.weaponLines, s.surfaceLines)) {
    error = s.file + ": data folder " + error;
    return false;
  }
  session.defaultWeapon = s.defaultWeapon;
  session.hostWeapons = s.hostWeapons;
  session.rand.Seed(s.seed);
  session.world.planes = s.planes;
  session.world.boxes = s.boxes;
  session.model.clockMs = s.clock;

  loop_model::LoopModel& model = session.model;

  std::vector<uint32_t> shooters;
  for (const ScenarioShot& shot : s.shots)
    shooters.push_back(shot.shooter ? session.AddShooter(*shot.shooter) : 0u);

  out = SimulationResult{};
  out.scenario = s.file;
  out.slots = session.dataMaxPellix;
  // Each empty slot beyond the shorter pool is one pass of the projectile loop a frame.
  const int32_t unwalked = session.dataMaxPellix - settings.MaxPellix;
  FrameResult* current = nullptr;
  model.observer = [&](const loop_model::EntryEvent& e) {
    if (e.entry != loop_model::Entry::Impact || !current) return;
    const auto* p = reinterpret_cast<const ProjectileRecord*>(e.before.edi - 4);
    if (p < pool.projectileArray || p >= pool.projectileArrayEnd) return;
    ImpactEvent ev{};
    ev.slot = SlotOf(p);
    const loop_model::Hit& hit = session.recorder.lastHit;
    ev.point = {hit.point[0], hit.point[1], hit.point[2]};
    ev.normal = {hit.normal[0], hit.normal[1], hit.normal[2]};
    ev.surfaceId = hit.surfaceId;
    ev.kind = hit.typeCode;
    const float* v0 = session.recorder.lastVelocity;
    ev.velocityBefore = {v0[0], v0[1], v0[2]};
    ev.velocityAfter = {p->velocity[0], p->velocity[1], p->velocity[2]};
    ev.hostHitRuns = e.resume != host_addr::ImpactSkipHostHit;
    ev.damage = ev.hostHitRuns ? p->damage : 0;
    ev.skipHostHit = skipHostHit;
    ev.repeatRequested = repeatRequested;
    ev.damageRestorePending = damageRestorePending;
    ev.outcome = Outcome(*p, ev);
    current->impacts.push_back(ev);
  };

  for (size_t f = 0; f < s.frames.size(); ++f) {
    const ScenarioFrame& frame = s.frames[f];
    out.frames.push_back(FrameResult{});
    current = &out.frames.back();
    current->frame = static_cast<int>(f);
    for (size_t i = 0; i < s.shots.size(); ++i) {
      if (s.shots[i].frame != static_cast<int>(f)) continue;
      const uint32_t slot = Fire(s.shots[i], shooters[i]);
      current->shots.push_back(
          {static_cast<int>(i), static_cast<int32_t>(slot), EntryName(s.shots[i].entry)});
    }
    for (int k = 0; k < 3; ++k) model.wind[k] = frame.wind[k];
    model.ClearRecords();
    model.RunFrame(frame.step, frame.ms);
    current->clock = model.clockMs;
    current->step = frame.step;
    current->lineTests = model.lineTests;
    current->surfaceClassCalls = model.surfaceClassCalls;
    current->poolPasses = static_cast<int>(model.poolPasses.size()) + unwalked;
    for (const auto& a : model.areaImpacts) {
      current->hostCalls.push_back(
          {"areaImpact", Fmt("at (%.3f, %.3f, %.3f)", a.point[0], a.point[1], a.point[2])});
    }
    for (const auto& d : model.damageDealt) {
      if (!d.poolRecord) continue;
      current->hostCalls.push_back({"hitHandling", "slot " + std::to_string(d.index) + " damage " +
                                                       std::to_string(d.damage) + " kind " +
                                                       std::to_string(d.typeCode)});
    }
    for (int32_t i = 0; i < settings.MaxPellix; ++i) {
      if (pool.projectileArray[i].active) {
        current->records.push_back({i, pool.projectileArray[i]});
        current->extras.push_back({i, pool.extraArray[i]});
      }
      if (pool.trailArray[i].activity) current->trails.push_back({i, pool.trailArray[i]});
    }
  }
  model.observer = nullptr;
  return true;
}

void PrintSimulationJson(std::ostream& out, const SimulationResult& r) {
  Json doc;
  doc["schema"] = kSimulationSchema;
  doc["scenario"] = r.scenario;
  doc["slots"] = r.slots;
  Json frames = Json::array();
  for (const FrameResult& f : r.frames) {
    Json jf;
    jf["frame"] = f.frame;
    jf["clock"] = f.clock;
    jf["step"] = f.step;
    Json shots = Json::array();
    for (const ShotEvent& s : f.shots)
      shots.push_back({{"shot", s.index}, {"slot", s.slot}, {"entry", s.entry}});
    jf["shots"] = shots;
    Json records = Json::array();
    for (size_t i = 0; i < f.records.size(); ++i) {
      const auto& [slot, p] = f.records[i];
      const ProjectileExtra& x = f.extras[i].second;
      records.push_back({{"slot", slot},
                         {"weaponType", p.weaponType},
                         {"shooter", p.shooter},
                         {"expiryTime", Num(p.expiryTime)},
                         {"isTracer", p.isTracer},
                         {"position", Vec(p.position)},
                         {"velocity", Vec(p.velocity)},
                         {"damage", p.damage},
                         {"trailLength", Num(x.trailLength)},
                         {"refractLength", Num(x.refractLength)},
                         {"pierceBudget", Num(x.pierceBudget)}});
    }
    jf["records"] = records;
    Json trails = Json::array();
    for (const auto& [slot, t] : f.trails) {
      trails.push_back({{"slot", slot},
                        {"activity", t.activity},
                        {"start", Vec(t.start)},
                        {"end", Vec(t.end)},
                        {"creationTime", t.creationTime},
                        {"lifetime", t.lifetime},
                        {"width", Num(t.width)},
                        {"alpha", t.alpha},
                        {"isTracer", t.isTracer},
                        {"weaponType", t.weaponType}});
    }
    jf["trails"] = trails;
    Json impacts = Json::array();
    for (const ImpactEvent& e : f.impacts) {
      impacts.push_back({{"slot", e.slot},
                         {"outcome", e.outcome},
                         {"point", Vec(e.point)},
                         {"normal", Vec(e.normal)},
                         {"surfaceId", e.surfaceId},
                         {"entityKind", e.kind},
                         {"hostHitRuns", e.hostHitRuns},
                         {"damage", e.damage},
                         {"velocityBefore", Vec(e.velocityBefore)},
                         {"velocityAfter", Vec(e.velocityAfter)},
                         {"flags",
                          {{"skipHostHit", e.skipHostHit},
                           {"repeatRequested", e.repeatRequested},
                           {"damageRestorePending", e.damageRestorePending}}}});
    }
    jf["impacts"] = impacts;
    Json calls = Json::array();
    calls.push_back({{"name", "lineTest"}, {"count", f.lineTests}});
    calls.push_back({{"name", "surfaceClass"}, {"count", f.surfaceClassCalls}});
    for (const HostCall& c : f.hostCalls) calls.push_back({{"name", c.name}, {"detail", c.detail}});
    jf["hostCalls"] = calls;
    jf["poolPasses"] = f.poolPasses;
    frames.push_back(std::move(jf));
  }
  doc["frames"] = std::move(frames);
  out << doc.dump(2) << "\n";
}

void PrintSimulationText(std::ostream& out, const SimulationResult& r) {
  out << "scenario " << r.scenario << ", " << r.slots << " slots\n";
  for (const FrameResult& f : r.frames) {
    out << "frame " << f.frame << "  clock " << f.clock << " ms  step " << FormatFixed(f.step, 3)
        << "  pool passes " << f.poolPasses << "  line tests " << f.lineTests
        << "  surface classes " << f.surfaceClassCalls << "\n";
    for (const ShotEvent& s : f.shots)
      out << "  shot " << s.index << " by " << s.entry << " into slot " << s.slot << "\n";
    for (const ImpactEvent& e : f.impacts) {
      out << "  impact slot " << e.slot << " " << e.outcome << " at "
          << Fmt("(%.3f, %.3f, %.3f)", e.point[0], e.point[1], e.point[2]) << " surface "
          << static_cast<int>(e.surfaceId) << " kind " << static_cast<int>(e.kind)
          << (e.hostHitRuns ? " host hit, damage " : " host hit skipped, damage ") << e.damage
          << " flags skip=" << e.skipHostHit << " repeat=" << e.repeatRequested
          << " restore=" << e.damageRestorePending << "\n";
    }
    for (const HostCall& c : f.hostCalls) out << "  host " << c.name << " " << c.detail << "\n";
    for (size_t i = 0; i < f.records.size(); ++i) {
      const auto& [slot, p] = f.records[i];
      out << "  record " << slot << " type " << p.weaponType << (p.isTracer ? " tracer" : "")
          << " pos " << Fmt("(%.3f, %.3f, %.3f)", p.position[0], p.position[1], p.position[2])
          << " vel " << Fmt("(%.3f, %.3f, %.3f)", p.velocity[0], p.velocity[1], p.velocity[2])
          << " damage " << p.damage << " expiry " << FormatFixed(p.expiryTime, 1) << "\n";
    }
    for (const auto& [slot, t] : f.trails) {
      out << "  trail " << slot << " activity " << static_cast<int>(t.activity) << " "
          << Fmt("(%.3f, %.3f, %.3f)", t.start[0], t.start[1], t.start[2]) << " -> "
          << Fmt("(%.3f, %.3f, %.3f)", t.end[0], t.end[1], t.end[2]) << " width "
          << FormatFixed(t.width, 3) << "\n";
    }
  }
}

Table SimulationRecordTable(const SimulationResult& r) {
  Table t;
  t.title = "records";
  t.columns = {"frame", "clock", "slot", "weaponType", "isTracer", "x",         "y",
               "z",     "vx",    "vy",   "vz",         "damage",   "expiryTime"};
  for (const FrameResult& f : r.frames) {
    for (const auto& [slot, p] : f.records) {
      t.rows.push_back({Integer(f.frame), Integer(f.clock), Integer(slot), Integer(p.weaponType),
                        Integer(p.isTracer), Number(p.position[0], 4), Number(p.position[1], 4),
                        Number(p.position[2], 4), Number(p.velocity[0], 4),
                        Number(p.velocity[1], 4), Number(p.velocity[2], 4), Integer(p.damage),
                        Number(p.expiryTime, 1)});
    }
  }
  return t;
}

}  // namespace pellix::lab
