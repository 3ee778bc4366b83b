// The crosscheck: a lab scenario (JSON, read by the lab's own reader) played by the stand-in
// host with the real library, its records written in the lab's result form and compared frame
// by frame with what `pellix-lab simulate --json` gave for the same file.
//   PELLIX_CROSSCHECK_SCENARIO  the scenario file
//   PELLIX_CROSSCHECK_LAB       the lab's result for it
//   PELLIX_CROSSCHECK_OUT       where to write the stand-in's result (optional)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "crosscheck_compare.h"
#include "crosscheck_text.h"
#include "host_game.h"
#include "host_map.h"
#include "report.h"
#include "scenario.h"
#include "scenario_support.h"
#include "sim/pool.h"
#include "tools/lab/scenario.h"
#include "tools/lab/simulate.h"
#include "tools/loop_model/world.h"
#include "world.h"

namespace standin {
namespace {

namespace lab = pellix::lab;
using Json = nlohmann::json;

lab::Scenario scene;
bool sceneLoaded = false;
std::string sceneError;

// The lab keeps its shooters at these addresses; the stand-in puts them at the same ones so
// that the records' shooter fields agree too.
constexpr uint32_t kShooterBase = 0x20000000;
constexpr uint32_t kShooterSize = 0x800;
std::vector<uint8_t> shooterSkills;

pellix::loop_model::BoxPlaneWorld world;

const char* Env(const char* name) {
  const char* v = std::getenv(name);
  return v && *v ? v : nullptr;
}

bool ReadText(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  text = s.str();
  return true;
}

void Configure(ScenarioConfig& config) {
  const char* path = Env("PELLIX_CROSSCHECK_SCENARIO");
  if (!path) {
    sceneError = "PELLIX_CROSSCHECK_SCENARIO is not set";
    return;
  }
  sceneLoaded = lab::LoadScenario(path, scene, sceneError);
  if (!sceneLoaded) return;
  std::string ini, weapons, surfaces;
  ReadText(scene.dataDir + "/pellix.ini", ini);
  if (!ReadText(scene.dataDir + "/pellix_weapon.dat", weapons) ||
      !ReadText(scene.dataDir + "/pellix_surface.dat", surfaces)) {
    sceneLoaded = false;
    sceneError = scene.dataDir + ": data files missing";
    return;
  }
  config.ini = MergeIni(ini, scene.settings);
  config.weapons = WithLines(weapons, scene.weaponLines);
  config.surfaces = WithLines(surfaces, scene.surfaceLines);
}

bool AnswerFromLabWorld(const Vec3& a, const Vec3& b, Hit* hit) {
  const float start[3] = {a.x, a.y, a.z}, end[3] = {b.x, b.y, b.z};
  pellix::loop_model::Hit h{};
  if (!world.FindHit(start, end, h)) return false;
  *hit = Hit{};
  hit->point = {h.point[0], h.point[1], h.point[2]};
  hit->normal = {h.normal[0], h.normal[1], h.normal[2]};
  hit->surface = h.surfaceId;
  hit->kind = h.typeCode;
  return true;
}

uint8_t SkillOfLabShooter(uint32_t shooter) {
  if (shooter < kShooterBase) return 1;
  const uint32_t i = (shooter - kShooterBase) / kShooterSize;
  return i < shooterSkills.size() ? shooterSkills[i] : 1;
}

// The host's side of the scene: weapon-info records, surface classes, shooters, the world.
bool LayScene(std::vector<uint32_t>& shooters) {
  // The stand-in keeps one weapon-info record per type byte; the lab looks up the whole type.
  bool typesFit = true;
  for (const auto& [type, weapon] : scene.hostWeapons) typesFit &= type >= 0 && type < 256;
  for (const lab::ScenarioShot& shot : scene.shots)
    typesFit &= shot.entry != lab::ShotEntry::Make || (shot.weapon >= 0 && shot.weapon < 256);
  if (!Check(typesFit, "weapon types within 0 to 255", "the stand-in has no record for others"))
    return false;
  for (int t = 0; t < 256; ++t) {
    const auto it = scene.hostWeapons.find(t);
    const lab::HostWeapon& w = it == scene.hostWeapons.end() ? scene.defaultWeapon : it->second;
    SetWeaponInfo(t, w.range, w.damage);
  }
  for (int id = 0; id < 256; ++id)
    SetSurfaceClass(static_cast<uint8_t>(id), static_cast<uint8_t>(id));
  int count = 0;
  for (const lab::ScenarioShot& shot : scene.shots) count += shot.shooter ? 1 : 0;
  uint8_t* memory = nullptr;
  if (count > 0) {
    memory = static_cast<uint8_t*>(VirtualAlloc(reinterpret_cast<void*>(uintptr_t{kShooterBase}),
                                                kShooterSize * count, MEM_RESERVE | MEM_COMMIT,
                                                PAGE_READWRITE));
    if (!Check(memory != nullptr, "shooters at the lab's addresses", "VirtualAlloc error %lu",
               GetLastError()))
      return false;
  }
  for (const lab::ScenarioShot& shot : scene.shots) {
    if (!shot.shooter) {
      shooters.push_back(0);
      continue;
    }
    const uint32_t k = static_cast<uint32_t>(shooterSkills.size());
    uint8_t* m = memory + kShooterSize * k;
    m[ha::ShooterKind] = shot.shooter->kind;
    m[ha::ShooterWeaponSlot] = 0;
    std::memcpy(m + ha::ShooterWeaponSlots, &shot.shooter->ammo, 2);
    shooterSkills.push_back(shot.shooter->skill);
    shooters.push_back(kShooterBase + kShooterSize * k);
  }
  SetSkillAnswer(&SkillOfLabShooter);
  world.planes = scene.planes;
  world.boxes = scene.boxes;
  SetTraceAnswer(&AnswerFromLabWorld);
  return true;
}

void Fire(const lab::ScenarioShot& shot, uint32_t shooter) {
  Vec3 start{shot.start[0], shot.start[1], shot.start[2]};
  Vec3 end{shot.end[0], shot.end[1], shot.end[2]};
  Vec3 unused{0, 0, 0};
  switch (shot.entry) {
    case lab::ShotEntry::Make:
      FireMake(shot.weapon, shooter, shot.alternative ? 1 : 0, &start,
               shot.alternative ? &unused : &end, shot.alternative ? &end : &unused);
      break;
    case lab::ShotEntry::MakeSniper: {
      Vec3 d{shot.direction[0], shot.direction[1], shot.direction[2]};
      if (shot.hasEnd) d = {end.x - start.x, end.y - start.y, end.z - start.z};
      FireSniper(shooter, static_cast<uint32_t>(shot.weapon), start, d);
      break;
    }
    case lab::ShotEntry::MakeM4:
      FireM4(&start, &end, shot.damage);
      break;
  }
}

const char* EntryName(lab::ShotEntry e) {
  return e == lab::ShotEntry::Make         ? "Make"
         : e == lab::ShotEntry::MakeSniper ? "MakeSniper"
                                           : "MakeM4";
}

// Where the library keeps its pool: the record of its arrays and ring cursor.
struct PoolView {
  const pellix::ProjectilePool* pool = nullptr;
  int32_t slots = 0;
  const pellix::ProjectileRecord& Record(int32_t i) const { return pool->projectileArray[i]; }
  const pellix::TrailRecord& Trail(int32_t i) const { return pool->trailArray[i]; }
  const pellix::ProjectileExtra& Extra(int32_t i) const { return pool->extraArray[i]; }
  int32_t SlotOf(uint32_t record) const {
    return static_cast<int32_t>((record - Address(pool->projectileArray)) / 44);
  }
  static uint32_t Address(const void* p) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p));
  }
};

// The pool record in the library's writable data, found by its shape: the projectile array
// that the host's loop walks, its end, and two more arrays of as many records.
const pellix::ProjectilePool* FindPoolRecord(const Library& library, uint32_t projectiles,
                                             int32_t slots) {
  const uint32_t size = 44u * static_cast<uint32_t>(slots);
  for (uint32_t at = library.base; at < library.end;) {
    MEMORY_BASIC_INFORMATION m{};
    if (!VirtualQuery(reinterpret_cast<const void*>(uintptr_t{at}), &m, sizeof m)) break;
    const uint32_t regionEnd = PoolView::Address(m.BaseAddress) + m.RegionSize;
    const bool writable = m.State == MEM_COMMIT && (m.Protect & (PAGE_READWRITE | PAGE_WRITECOPY));
    for (uint32_t p = at; writable && p + sizeof(pellix::ProjectilePool) <= regionEnd; p += 4) {
      const auto* c = reinterpret_cast<const pellix::ProjectilePool*>(uintptr_t{p});
      if (PoolView::Address(c->projectileArray) == projectiles &&
          PoolView::Address(c->projectileArrayEnd) == projectiles + size &&
          PoolView::Address(c->trailArrayEnd) - PoolView::Address(c->trailArray) == size &&
          c->extraArray != nullptr && c->nextSlot >= 0 && c->nextSlot < slots)
        return c;
    }
    at = regionEnd;
  }
  return nullptr;
}

// A run of the projectile loop over an empty pool changes nothing and shows where it lies.
bool FindPool(const Library& library, PoolView& view) {
  const size_t first = Log().steps.size();
  RunProjectileLoop();
  std::set<uint32_t> records;
  for (size_t i = first; i < Log().steps.size(); ++i) {
    const StepVisit& v = Log().steps[i];
    if (IsHostProjectile(v.record)) continue;
    if (v.before.active) return Check(false, "the pool is empty before the first shot");
    records.insert(v.record);
  }
  if (!Check(!records.empty(), "the projectile loop walks the pool")) return false;
  view.slots = static_cast<int32_t>(records.size());
  view.pool = FindPoolRecord(library, *records.begin(), view.slots);
  return Check(view.pool != nullptr, "the library's pool record found");
}

void RunScene(const std::vector<uint32_t>& shooters, PoolView& view, lab::SimulationResult& out) {
  out.scenario = scene.file;
  out.slots = view.slots;
  for (size_t f = 0; f < scene.frames.size(); ++f) {
    const lab::ScenarioFrame& frame = scene.frames[f];
    lab::FrameResult r{};
    r.frame = static_cast<int>(f);
    for (size_t i = 0; i < scene.shots.size(); ++i) {
      if (scene.shots[i].frame != static_cast<int>(f)) continue;
      const int32_t slot = view.pool->nextSlot;
      Fire(scene.shots[i], shooters[i]);
      r.shots.push_back({static_cast<int>(i), slot, EntryName(scene.shots[i].entry)});
    }
    const size_t lineTests = Calls().lineTests.size(), classes = Calls().surfaceClass.size();
    const size_t areas = Calls().areaImpact.size(), hits = Log().hits.size();
    const size_t steps = Log().steps.size();
    HostWind() = {frame.wind[0], frame.wind[1], frame.wind[2]};
    RunFrame(frame.step, frame.ms);
    r.clock = HostClockMs();
    r.step = frame.step;
    r.lineTests = static_cast<int>(Calls().lineTests.size() - lineTests);
    r.surfaceClassCalls = static_cast<int>(Calls().surfaceClass.size() - classes);
    for (size_t i = steps; i < Log().steps.size(); ++i)
      r.poolPasses += IsHostProjectile(Log().steps[i].record) ? 0 : 1;
    for (size_t i = areas; i < Calls().areaImpact.size(); ++i) {
      const Vec3& p = Calls().areaImpact[i].point;
      char text[128];
      std::snprintf(text, sizeof text, "at (%.3f, %.3f, %.3f)", p.x, p.y, p.z);
      r.hostCalls.push_back({"areaImpact", text});
    }
    for (size_t i = hits; i < Log().hits.size(); ++i) {
      const HitEvent& e = Log().hits[i];
      if (!e.pool) continue;
      lab::ImpactEvent ev{};
      ev.slot = view.SlotOf(e.record);
      ev.point = {e.hit.point.x, e.hit.point.y, e.hit.point.z};
      ev.normal = {e.hit.normal.x, e.hit.normal.y, e.hit.normal.z};
      ev.surfaceId = e.hit.surface;
      ev.kind = e.kind;
      ev.hostHitRuns = e.handled;
      ev.repeatRequested = e.repeatExit ? 1 : 0;
      ev.damage = e.handled ? e.damageSeen : 0;
      const Vec3& v0 = e.atHit.velocity;
      ev.velocityBefore = {v0.x, v0.y, v0.z};
      if (e.visit >= 0) {
        const Vec3& v1 = Log().steps[e.visit].after.velocity;
        ev.velocityAfter = {v1.x, v1.y, v1.z};
      }
      r.impacts.push_back(ev);
      if (e.handled)
        r.hostCalls.push_back({"hitHandling", "slot " + std::to_string(ev.slot) + " damage " +
                                                  std::to_string(e.damageSeen) + " kind " +
                                                  std::to_string(e.kind)});
    }
    for (int32_t s = 0; s < view.slots; ++s) {
      if (view.Record(s).active) {
        r.records.push_back({s, view.Record(s)});
        r.extras.push_back({s, view.Extra(s)});
      }
      if (view.Trail(s).activity) r.trails.push_back({s, view.Trail(s)});
    }
    out.frames.push_back(std::move(r));
  }
}

// Frame by frame, naming the frame's number and each record's slot.
void Compare(const Json& lab, const Json& standin) {
  const std::string diff = FirstResultDifference(lab, standin);
  Check(diff.empty(), "lab and library agree frame by frame", "first difference at %s",
        diff.c_str());
  int records = 0, trails = 0;
  for (const Json& f : lab["frames"]) {
    records += static_cast<int>(f["records"].size());
    trails += static_cast<int>(f["trails"].size());
  }
  Note("%d frames, %d records, %d trails compared", static_cast<int>(lab["frames"].size()), records,
       trails);
}

void Run(const ScenarioConfig&, const Library& library) {
  if (!Check(sceneLoaded, "scenario read", "%s", sceneError.c_str())) return;
  if (!Check(library.loaded, "library loaded")) return;
  const char* labPath = Env("PELLIX_CROSSCHECK_LAB");
  std::string labText;
  if (!Check(labPath && ReadText(labPath, labText), "lab result read", "%s",
             labPath ? labPath : "PELLIX_CROSSCHECK_LAB is not set"))
    return;
  const Json lab = Json::parse(labText, nullptr, false);
  if (!Check(!lab.is_discarded() && lab.contains("frames"), "lab result is JSON")) return;

  std::vector<uint32_t> shooters;
  if (!LayScene(shooters)) return;
  std::srand(scene.seed);
  HostClockMs() = scene.clock;
  HostTimeStep() = 1.0f;
  HostWind() = {0, 0, 0};
  PoolView view;
  if (!FindPool(library, view)) return;
  lab::SimulationResult result;
  RunScene(shooters, view, result);

  std::ostringstream text;
  lab::PrintSimulationJson(text, result);
  if (const char* out = Env("PELLIX_CROSSCHECK_OUT"))
    std::ofstream(out, std::ios::binary) << text.str();
  Compare(lab, Json::parse(text.str()));

  // What the lab says the scene went through, for the test to require.
  std::map<std::string, int> outcomes;
  for (const Json& f : lab["frames"])
    for (const Json& i : f["impacts"]) ++outcomes[i["outcome"].get<std::string>()];
  std::string list;
  for (const auto& [name, n] : outcomes) list += " " + name + "=" + std::to_string(n);
  Note("impacts:%s", list.c_str());
}

const Scenario kScenarios[] = {
    {"crosscheck", "a lab scenario played with the library, compared with the lab's result",
     &Configure, &Run},
};

}  // namespace

ScenarioList CrosscheckScenarios() {
  return {kScenarios, static_cast<int>(sizeof kScenarios / sizeof kScenarios[0])};
}

}  // namespace standin
