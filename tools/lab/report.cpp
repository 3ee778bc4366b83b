#include "tools/lab/report.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "sim/pool.h"
#include "startup/settings.h"
#include "startup/tables.h"
#include "tools/lab/impact_table.h"
#include "tools/lab/lint.h"
#include "tools/lab/range.h"
#include "tools/lab/scenario.h"
#include "tools/lab/simulate.h"
#include "tools/lab/svg.h"
#include "visuals/trail_update.h"

namespace pellix::lab {

namespace {

// Eight colours that readers with the common kinds of colour blindness tell apart (a palette
// made for that: orange, sky blue, bluish green, yellow, blue, vermilion, reddish purple, and
// white in place of its black, which the dark page would hide).
const char* const kPalette[] = {"#E69F00", "#56B4E9", "#009E73", "#F0E442",
                                "#0072B2", "#D55E00", "#CC79A7", "#FFFFFF"};
const char* const kSurfaceKeys[SurfaceClassCount] = {"N", "SP", "S", "W", "D", "C", "P"};

std::string WeaponColour(size_t i) { return kPalette[i % std::size(kPalette)]; }

// Weapon rows worth drawing: row 0 and every row that has a muzzle speed.
std::vector<int32_t> ChartedWeapons() {
  std::vector<int32_t> rows;
  for (int32_t i = 0; i < settings.weaponCount; ++i)
    if (i == 0 || weaponTable[i].speedFactor > 0.0f) rows.push_back(i);
  return rows;
}

std::string WeaponName(int32_t type) { return "weapon " + std::to_string(type); }

// The weapon rows up to MaxWeapon without a muzzle speed, as runs of rows; empty when none.
std::string RowsThatNeverFly() {
  std::string rows;
  int count = 0;
  for (int32_t i = 0; i < settings.weaponCount; ++i) {
    if (weaponTable[i].speedFactor != 0.0f) continue;
    int32_t last = i;
    while (last + 1 < settings.weaponCount && weaponTable[last + 1].speedFactor == 0.0f) ++last;
    rows += (rows.empty() ? "" : ", ") + std::to_string(i);
    if (last > i) rows += (last == i + 1 ? ", " : "-") + std::to_string(last);
    count += last - i + 1;
    i = last;
  }
  if (rows.empty()) return rows;
  return (count == 1 ? "weapon row " + rows + " never flies"
                     : "weapon rows " + rows + " never fly") +
         ": no muzzle speed, so every shot of " + (count == 1 ? "that type" : "those types") +
         " is dead at once";
}

std::string Section(const std::string& title, const std::string& text, const std::string& svg) {
  return "<section><h2>" + EscapeXml(title) + "</h2><p>" + EscapeXml(text) + "</p>" + svg +
         "</section>\n";
}

struct RangeCharts {
  LineChart side{"trajectories",
                 "Trajectories, side view",
                 "distance (world units)",
                 "height (world units)",
                 {},
                 false};
  LineChart drop{
      "drop", "Drop against distance", "distance (world units)", "drop (world units)", {}, false};
  LineChart speed{"speed",
                  "Speed against distance",
                  "distance (world units)",
                  "speed (world units per second)",
                  {},
                  false};
  LineChart damage{
      "damage", "Damage of a hit against distance", "distance (world units)", "damage", {}, false};
  std::vector<int32_t> capped;  // weapons still flying when the frame cap ended their run
};

RangeCharts BuildRangeCharts(LabSession& session, const std::vector<int32_t>& weapons,
                             const ReportOptions& o) {
  RangeCharts c;
  for (size_t i = 0; i < weapons.size(); ++i) {
    RangeOptions ro;
    ro.weapon = weapons[i];
    ro.height = o.height;
    ro.frameMs = o.frameMs;
    ro.ground = false;  // the whole life, not cut short by the floor
    const RangeResult r = RunRange(session, ro);
    if (r.endKind == RangeEnd::StillFlying) c.capped.push_back(weapons[i]);
    Series side{WeaponName(weapons[i]), WeaponColour(i), {}};
    Series drop = side, speed = side, damage = side;
    for (const RangePoint& p : r.points) {
      side.points.push_back({p.distance, p.height});
      drop.points.push_back({p.distance, p.drop});
      speed.points.push_back({p.distance, p.speed});
      damage.points.push_back({p.distance, static_cast<double>(p.hitDamage)});
    }
    c.side.series.push_back(side);
    c.drop.series.push_back(drop);
    c.speed.series.push_back(speed);
    c.damage.series.push_back(damage);
  }
  return c;
}

const std::map<ImpactOutcome, std::pair<std::string, std::string>>& OutcomeStyle() {
  static const std::map<ImpactOutcome, std::pair<std::string, std::string>> style = {
      {ImpactOutcome::Stop, {"stop", "#5f6670"}},
      {ImpactOutcome::Hit, {"plain hit", "#56B4E9"}},
      {ImpactOutcome::Ricochet, {"ricochet", "#E69F00"}},
      {ImpactOutcome::Penetration, {"penetration", "#009E73"}}};
  return style;
}

GridChart BuildOutcomeMap(LabSession& session, const std::vector<int32_t>& weapons) {
  GridChart g;
  g.id = "outcomes";
  g.title = "Impact outcome, weapon x surface class, at muzzle speed";
  for (const char* key : kSurfaceKeys) g.columnLabels.push_back(key);
  for (const auto& [outcome, style] : OutcomeStyle()) g.legend.push_back(style);
  g.note = "each cell: angles from the normal 0, 10, ... 90 degrees, left to right";
  for (int32_t w : weapons) {
    g.rowLabels.push_back(WeaponName(w));
    std::vector<std::vector<std::string>> row;
    for (int32_t cls = 0; cls < SurfaceClassCount; ++cls) {
      ImpactOptions io;
      io.weapon = w;
      io.surfaceClass = cls;
      for (int a = 0; a <= 90; a += 10) io.anglesDeg.push_back(static_cast<float>(a));
      io.speedShares = {1.0f};
      io.draws = 1;
      std::vector<std::string> bands;
      for (const ImpactCase& c : RunImpacts(session, io))
        bands.push_back(OutcomeStyle().at(c.outcome).second);
      row.push_back(bands);
    }
    g.cells.push_back(row);
  }
  return g;
}

// One shot of each weapon into empty space; the length of its trail in every frame until the
// trail is gone.
LineChart BuildTrailChart(LabSession& session, const std::vector<int32_t>& weapons,
                          const ReportOptions& o) {
  LineChart c{"trails",
              "Trail growth and shrink",
              "time since the shot (ms)",
              "trail length (world units)",
              {},
              false};
  session.world.planes.clear();
  session.world.boxes.clear();
  const float step = o.frameMs / kMsPerStep;
  const uint32_t ms = static_cast<uint32_t>(o.frameMs);
  for (size_t i = 0; i < weapons.size(); ++i) {
    session.StartRun();
    const float start[3] = {0, 0, 100}, dir[3] = {1, 0, 0};
    const uint32_t firedAt = session.model.clockMs;
    const int32_t slot = session.FireSniper(0, weapons[i], start, dir);
    const TrailRecord& t = pool.trailArray[slot];
    Series s{WeaponName(weapons[i]) + (pool.projectileArray[slot].isTracer ? " (tracer)" : ""),
             WeaponColour(i),
             {{0.0, 0.0}}};
    for (int frame = 0; frame < kRangeFrameCap; ++frame) {
      session.model.ClearRecords();
      session.model.RunFrame(step, ms);
      if (t.activity == kTrailHidden) {
        s.points.push_back({static_cast<double>(session.model.clockMs - firedAt), 0.0});
        break;
      }
      const double d[3] = {t.end[0] - t.start[0], t.end[1] - t.start[1], t.end[2] - t.start[2]};
      s.points.push_back({static_cast<double>(session.model.clockMs - firedAt),
                          std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2])});
    }
    if (t.activity != kTrailHidden) s.name += " (cut at the frame cap)";
    c.series.push_back(s);
  }
  return c;
}

// The sample scene: a floor, a wooden wall, a concrete block, a slab of class S, a vehicle
// (entity kind 2) and a person (kind 3); a fan of shots from the origin across the weapons.
Scenario SampleScene(const std::string& dir, const ReportOptions& o,
                     const std::vector<int32_t>& weapons) {
  Scenario s;
  s.file = "sample scene";
  s.dataDir = dir;
  s.settings = o.overrides;
  s.defaultWeapon = o.hostWeapon;
  s.planes.push_back({{0, 0, 1}, 0, SurfaceN, 0});
  s.boxes.push_back({{25, -30, 0}, {25.6f, -4, 5}, SurfaceW, 0});
  s.boxes.push_back({{45, -6, 0}, {52, 6, 6}, SurfaceD, 0});
  s.boxes.push_back({{25, 6, 0}, {27, 30, 3}, SurfaceS, 0});
  s.boxes.push_back({{60, 14, 0}, {66, 17, 2}, 0, 2});
  s.boxes.push_back({{38, 22, 0}, {38.6f, 22.6f, 1.8f}, 0, 3});
  const int shots = 11;
  for (int i = 0; i < shots; ++i) {
    ScenarioShot shot;
    shot.frame = i % 3;
    shot.weapon = weapons[static_cast<size_t>(i) % weapons.size()];
    shot.start = {0, 0, 1.2f};
    const double a = (-40.0 + 80.0 * i / (shots - 1)) * 3.14159265358979 / 180.0;
    shot.direction = {static_cast<float>(std::cos(a)), static_cast<float>(std::sin(a)),
                      i % 2 ? -0.05f : -0.015f};
    s.shots.push_back(shot);
  }
  ScenarioFrame f;
  f.ms = static_cast<uint32_t>(o.frameMs);
  f.step = o.frameMs / kMsPerStep;
  s.frames.assign(60, f);
  return s;
}

// Tracer colour of each weapon type's row, read while the tables are loaded.
using ColourMap = std::map<int32_t, uint32_t>;

bool BuildSceneChart(const std::string& dir, const ReportOptions& o,
                     const std::vector<int32_t>& weapons, const ColourMap& tracerColours,
                     SceneChart& c, std::string& error) {
  const Scenario scene = SampleScene(dir, o, weapons);
  SimulationResult r;
  if (!RunScenario(scene, r, error)) return false;
  c.id = "scene";
  c.title = "Sample scene from above: tracer colours, ricochets and penetrations";
  static const char* const solidColour[] = {"#888",    "#888",    "#9E9E9E", "#8D6E63",
                                            "#B0BEC5", "#5C6BC0", "#EC407A"};
  for (const auto& b : scene.boxes) {
    const int cls = b.typeCode == 2   ? int{SurfaceC}
                    : b.typeCode == 3 ? int{SurfaceP}
                                      : int{b.surfaceId};
    c.rects.push_back({b.min[0], b.min[1], b.max[0], b.max[1],
                       std::string("surface ") + kSurfaceKeys[cls], solidColour[cls]});
  }
  std::map<int32_t, Series> paths;
  std::map<int32_t, std::string> colours;
  for (const FrameResult& f : r.frames) {
    for (const ShotEvent& e : f.shots) {
      const ScenarioShot& shot = scene.shots[static_cast<size_t>(e.index)];
      paths[e.slot] =
          Series{"shot " + std::to_string(e.index), "", {{shot.start[0], shot.start[1]}}};
    }
    for (const ImpactEvent& e : f.impacts) {
      paths[e.slot].points.push_back({e.point[0], e.point[1]});
      std::string shape = "cross", colour = "#EF5350";
      if (e.outcome == "ricochet") shape = "circle", colour = "#FFA726";
      if (e.outcome == "enter" || e.outcome == "leave") shape = "square", colour = "#66BB6A";
      c.marks.push_back({e.point[0], e.point[1], shape, colour,
                         e.outcome + ", damage " + std::to_string(e.damage)});
    }
    for (const auto& [slot, p] : f.records) {
      paths[slot].points.push_back({p.position[0], p.position[1]});
      auto colour = tracerColours.find(p.weaponType);
      if (colour == tracerColours.end()) colour = tracerColours.find(0);
      colours[slot] = p.isTracer && colour != tracerColours.end() ? CssColour(colour->second)
                                                                  : CssColour(kPlainTrailColour);
    }
  }
  for (auto& [slot, series] : paths) {
    series.colour = colours.count(slot) ? colours[slot] : CssColour(kPlainTrailColour);
    if (series.points.size() >= 2) c.paths.push_back(series);
  }
  c.legend = {{"ricochet", "#FFA726"},
              {"penetration", "#66BB6A"},
              {"stop / hit", "#EF5350"},
              {"ordinary round", CssColour(kPlainTrailColour)}};
  return true;
}

std::string SettingsLine() {
  char text[400];
  std::snprintf(text, sizeof text,
                "Gravity %d (x%.3f), AirResist %d, Ricochet %d, Pierce %d, MinSpeed floor %.2f "
                "per step, MaxLoop %d, AfterEffect %d, %d weapon rows",
                settings.Gravity, static_cast<double>(settings.gravityScale), settings.AirResist,
                settings.Ricochet, settings.Pierce, static_cast<double>(settings.minSpeedScaled),
                settings.MaxLoop, settings.AfterEffect, settings.weaponCount);
  return text;
}

const char* kStyle = R"(body{background:#0e1013;color:#d8dde3;font:14px/1.45 system-ui,sans-serif;
margin:24px auto;max-width:760px}h1{font-size:22px}h2{font-size:17px;margin-top:28px}
svg.chart{display:block;margin:8px 0;border:1px solid #2a2f36}svg .title{fill:#e8ecf0;font-size:14px}
svg .tick,svg .legend,svg .label{fill:#aab2bc;font-size:11px}svg .grid{stroke:#262b32}
svg .frame{stroke:#4a525c}code{color:#ffd180})";

}  // namespace

const std::vector<std::string>& ReportChartIds() {
  static const std::vector<std::string> ids = {"trajectories", "drop",   "speed", "damage",
                                               "outcomes",     "trails", "scene"};
  return ids;
}

namespace {

struct ReportCharts {
  std::string settingsLine;
  std::vector<std::string> problems;  // lint faults and rows that never fly
  RangeCharts range;
  GridChart outcomes;
  LineChart trails;
  SceneChart scene;
};

bool CollectCharts(const std::string& dir, const ReportOptions& o, ReportCharts& c,
                   std::string& error) {
  std::vector<int32_t> weapons;
  ColourMap tracerColours;
  {
    LabSession session;
    session.poolSlots = 1;  // one shot at a time
    if (!session.Load(dir, error, o.overrides)) return false;
    session.defaultWeapon = o.hostWeapon;
    for (const Finding& f : LintFolder(dir))
      if (f.fault) c.problems.push_back(FindingText(f));
    if (const std::string rows = RowsThatNeverFly(); !rows.empty()) c.problems.push_back(rows);
    weapons = ChartedWeapons();
    for (int32_t w : weapons) tracerColours[w] = WeaponRow(w).tracerColour;
    c.settingsLine = SettingsLine();
    c.range = BuildRangeCharts(session, weapons, o);
    c.outcomes = BuildOutcomeMap(session, weapons);
    c.trails = BuildTrailChart(session, weapons, o);
  }
  return BuildSceneChart(dir, o, weapons, tracerColours, c.scene, error);
}

// Puts the old data's series under the new ones, dashed, in the colour of the new series of
// the same name.
void Overlay(std::vector<Series>& now, const std::vector<Series>& old) {
  std::vector<Series> merged;
  for (Series s : old) {
    for (const Series& n : now)
      if (n.name == s.name) s.colour = n.colour;
    s.dashed = true;
    merged.push_back(std::move(s));
  }
  merged.insert(merged.end(), now.begin(), now.end());
  now = std::move(merged);
}

void Overlay(ReportCharts& now, const ReportCharts& old) {
  Overlay(now.range.side.series, old.range.side.series);
  Overlay(now.range.drop.series, old.range.drop.series);
  Overlay(now.range.speed.series, old.range.speed.series);
  Overlay(now.range.damage.series, old.range.damage.series);
  Overlay(now.trails.series, old.trails.series);
  Overlay(now.scene.paths, old.scene.paths);
  GridChart& g = now.outcomes;
  for (size_t row = 0; row < g.rowLabels.size(); ++row) {
    std::vector<std::vector<std::string>> before(g.columnLabels.size());
    for (size_t k = 0; k < old.outcomes.rowLabels.size(); ++k)
      if (old.outcomes.rowLabels[k] == g.rowLabels[row]) before = old.outcomes.cells[k];
    g.oldCells.push_back(before);
  }
  g.note += "; upper half old data, lower half new";
}

// A comparison's changed weapons: drawn wider in every line chart, marked in the legend and
// the outcome map.
void Highlight(ReportCharts& c, const std::set<int32_t>& changed) {
  const auto isChanged = [&changed](const std::string& name) {
    for (int32_t w : changed) {
      const std::string weapon = WeaponName(w);
      if (name == weapon || name.rfind(weapon + " (", 0) == 0) return true;
    }
    return false;
  };
  for (LineChart* chart :
       {&c.range.side, &c.range.drop, &c.range.speed, &c.range.damage, &c.trails}) {
    for (Series& s : chart->series) s.highlighted = !s.dashed && isChanged(s.name);
  }
  for (std::string& label : c.outcomes.rowLabels)
    if (isChanged(label)) label += " (changed)";
}

std::string ProblemList(const std::vector<std::string>& problems) {
  std::string list;
  for (const std::string& p : problems) list += "<li>" + EscapeXml(p) + "</li>";
  return list;
}

std::string Page(const std::string& data, const ReportCharts& c, const ReportOptions& o,
                 const std::string& problems) {
  char host[160];
  std::snprintf(host, sizeof host, "host range %.1f units and damage %d for every weapon type",
                static_cast<double>(o.hostWeapon.range), o.hostWeapon.damage);
  std::string html =
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>pellix-lab "
      "report</title><style>" +
      std::string(kStyle) + "</style></head><body>\n<h1>Ballistics report</h1>\n<p>" + data +
      "<br>" + EscapeXml(c.settingsLine) + "<br>" + EscapeXml(host) + "</p>\n";
  if (!problems.empty()) {
    html +=
        "<section class=\"problems\"><h2>Problems in the data</h2><p>What start-up "
        "ignores or misreads (pellix-lab lint), and weapons that cannot fire.</p><ul>" +
        problems + "</ul></section>\n";
  }
  if (!o.changedWeapons.empty()) {
    std::string list;
    for (int32_t w : o.changedWeapons) list += (list.empty() ? "" : ", ") + WeaponName(w);
    html += "<p class=\"changed\">Changed: " + EscapeXml(list) +
            " (wider lines, marked in the legends)</p>\n";
  }
  std::string trajectories = "Every weapon fired level from " + FormatFixed(o.height, 1) +
                             " units up, over its whole life (no floor).";
  if (!c.range.capped.empty()) {
    std::string list;
    for (int32_t w : c.range.capped) list += (list.empty() ? "" : ", ") + std::to_string(w);
    trajectories += " Still flying when the cap of " + std::to_string(kRangeFrameCap) +
                    " frames ended the run: weapon" + (c.range.capped.size() > 1 ? "s " : " ") +
                    list + ".";
  }
  html += Section("Trajectories", trajectories, RenderLineChart(c.range.side));
  html += Section("Drop", "How far below the muzzle height each round is at a distance.",
                  RenderLineChart(c.range.drop));
  html += Section("Speed", "Speed along the flight; air drag and gravity change it.",
                  RenderLineChart(c.range.speed));
  html += Section("Damage",
                  "The damage a hit would deal at each distance: the host's damage "
                  "scaled by the energy left. A round slower than the speed floor (MinSpeed) "
                  "is stopped by the hit and deals nothing: 0.",
                  RenderLineChart(c.range.damage));
  html += Section("Impact outcomes", "What a hit at muzzle speed does on each surface class.",
                  RenderGridChart(c.outcomes));
  html += Section("Trails",
                  "Length of one round's trail from the shot until it is gone: it "
                  "grows out of the muzzle and, when the round ends, shrinks away.",
                  RenderLineChart(c.trails));
  html += Section("Sample scene",
                  "Shots fanned out over a floor, walls, a vehicle and a person, "
                  "seen from above.",
                  RenderSceneChart(c.scene));
  html += "</body></html>\n";
  return html;
}

bool WritePage(const std::string& html, const std::string& folder, std::string& written,
               std::string& error) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    error = folder + ": cannot be created (" + ec.message() + ")";
    return false;
  }
  written = (std::filesystem::path(folder) / "report.html").string();
  std::ofstream out(written, std::ios::binary);
  out << html;
  if (!out) {
    error = written + ": cannot be written";
    return false;
  }
  return true;
}

}  // namespace

bool BuildReport(const std::string& dir, const ReportOptions& o, std::string& html,
                 std::string& error) {
  ReportCharts c;
  if (!CollectCharts(dir, o, c, error)) return false;
  html = Page("Data: <code>" + EscapeXml(dir) + "</code>", c, o, ProblemList(c.problems));
  return true;
}

bool BuildDiffReport(const std::string& oldDir, const std::string& newDir, const ReportOptions& o,
                     std::string& html, std::string& error) {
  ReportCharts old, now;
  if (!CollectCharts(oldDir, o, old, error) || !CollectCharts(newDir, o, now, error)) return false;
  Overlay(now, old);
  Highlight(now, o.changedWeapons);
  std::vector<std::string> problems;
  for (const std::string& p : now.problems) problems.push_back("new data: " + p);
  for (const std::string& p : old.problems) problems.push_back("old data: " + p);
  html = Page("Old data (dashed): <code>" + EscapeXml(oldDir) + "</code><br>" +
                  EscapeXml(old.settingsLine) + "<br>New data (solid): <code>" + EscapeXml(newDir) +
                  "</code>",
              now, o, ProblemList(problems));
  return true;
}

bool WriteReport(const std::string& dir, const std::string& folder, const ReportOptions& o,
                 std::string& written, std::string& error) {
  std::string html;
  return BuildReport(dir, o, html, error) && WritePage(html, folder, written, error);
}

bool WriteDiffReport(const std::string& oldDir, const std::string& newDir,
                     const std::string& folder, const ReportOptions& o, std::string& written,
                     std::string& error) {
  std::string html;
  return BuildDiffReport(oldDir, newDir, o, html, error) && WritePage(html, folder, written, error);
}

}  // namespace pellix::lab
