#include "tools/lab/diff.h"

#include <algorithm>
#include <set>
#include <tuple>

#include "startup/settings.h"
#include "startup/tables.h"
#include "tools/lab/file_terms.h"
#include "tools/lab/show_json.h"

namespace pellix::lab {

namespace {

using Json = nlohmann::ordered_json;

const char* const kSurfaceKeys[SurfaceClassCount] = {"N", "SP", "S", "W", "D", "C", "P"};

// Weapon fields whose effect a player meets only through the flight and the impacts, which
// the range tables and the outcome cells compare; a change of any other field (tracers,
// trails) shows by itself. Of the surface fields only the scatter is not in the cells.
const std::set<std::string> kBallisticWeaponFields = {"muzzleSpeed", "dragAlong", "dragAcross",
                                                      "pierceCost", "ricochetBonus"};

// What one folder gives, taken while it is loaded: settings and rows as the files give them.
struct Snapshot {
  Settings stored{};
  Json settings, surfaces;
  std::map<int32_t, Json> weapons;  // by row
  std::map<int32_t, RangeResult> ranges;
  std::map<std::pair<int32_t, int32_t>, std::vector<ImpactCase>> impacts;  // (row, class)
};

bool Take(const std::string& dir, const DiffOptions& o, const std::set<int32_t>& rows,
          Snapshot& s, std::string& error) {
  LabSession session;
  session.poolSlots = 1;  // one shot at a time
  if (!session.Load(dir, error, o.overrides)) return false;
  session.defaultWeapon = o.hostWeapon;
  s.stored = settings;
  s.settings = SettingsInFileTerms(settings);
  s.settings["MaxPellix"] = session.dataMaxPellix;
  s.surfaces = Json::array();
  for (int32_t cls = 0; cls < SurfaceClassCount; ++cls)
    s.surfaces.push_back(SurfaceInFileTerms(surfaceTable[cls]));
  for (const Json& w : WeaponsJson()) {
    const int32_t row = w["row"].get<int32_t>();
    s.weapons[row] = WeaponInFileTerms(weaponTable[row]);
  }
  for (int32_t row : rows) {
    RangeOptions ro = o.range;
    ro.weapon = row;
    s.ranges[row] = RunRange(session, ro);
    for (int32_t cls = 0; cls < SurfaceClassCount; ++cls) {
      ImpactOptions io;
      io.weapon = row;
      io.surfaceClass = cls;
      io.anglesDeg = o.anglesDeg;
      io.speedShares = o.speedShares;
      io.draws = 1;  // the scatter is not compared
      s.impacts[{row, cls}] = RunImpacts(session, io);
    }
  }
  return true;
}

std::vector<ValueChange> Changes(const Json& old, const Json& now) {
  std::vector<ValueChange> changes;
  const Json none = nullptr;
  for (const auto& [key, value] : now.items()) {
    const Json& before = old.contains(key) ? old[key] : none;
    if (before != value) changes.push_back({key, before, value});
  }
  for (const auto& [key, value] : old.items())
    if (!now.contains(key)) changes.push_back({key, value, none});
  return changes;
}

bool SameTable(const Table& a, const Table& b) {
  if (a.rows.size() != b.rows.size() || a.notes != b.notes) return false;
  for (size_t i = 0; i < a.rows.size(); ++i)
    for (size_t c = 0; c < a.rows[i].size(); ++c)
      if (a.rows[i][c].text != b.rows[i][c].text) return false;
  return true;
}

// The impact table's printed cells of one case, the angle and speed aside.
std::vector<std::string> PrintedCells(const ImpactCase& c, const DiffOptions& o) {
  ImpactOptions io;
  io.anglesDeg = o.anglesDeg;
  const Table t = ImpactTable({c}, io);
  std::vector<std::string> cells;
  for (size_t k = 2; k < t.rows[0].size(); ++k) cells.push_back(t.rows[0][k].text);
  return cells;
}

std::string Describe(const Json& value) {
  if (value.is_null()) return "(none)";
  if (value.is_string()) return value.get<std::string>();
  return value.dump();
}

// A change as the file gives it: "MinSpeed 1.0 -> 0.5".
std::string DescribeChange(const ValueChange& c) {
  return c.name + " " + Describe(c.old) + " -> " + Describe(c.now);
}

bool On(int32_t a, int32_t b) { return a != 0 || b != 0; }

// Why the changed fields of a weapon row leave its range table as it was.
std::string WhyRangeStays(const std::vector<ValueChange>& fields, const Settings& a,
                          const Settings& b) {
  std::vector<std::string> reasons;
  const auto add = [&reasons](const std::string& reason) {
    if (std::find(reasons.begin(), reasons.end(), reason) == reasons.end())
      reasons.push_back(reason);
  };
  for (const ValueChange& c : fields) {
    if (c.name == "dragAlong" || c.name == "dragAcross") {
      add(On(a.AirResist, b.AirResist) ? "no printed value of the drag changes"
                                       : "AirResist is off");
    } else if (c.name == "pierceCost") {
      add(On(a.Pierce, b.Pierce) ? "a level shot pierces nothing (see the impact outcomes)"
                                 : "Pierce is off");
    } else if (c.name == "ricochetBonus") {
      add(On(a.Ricochet, b.Ricochet) ? "a level shot does not ricochet (see the impact outcomes)"
                                     : "Ricochet is off");
    } else if (kBallisticWeaponFields.count(c.name)) {
      add("no printed value changes");
    } else {
      add("tracers and trails do not change the flight");
    }
  }
  std::string text;
  for (const std::string& r : reasons) text += (text.empty() ? "" : "; ") + r;
  return text;
}

// Why the changed fields of a surface row leave every impact outcome as it was.
std::string WhyOutcomesStay(const std::vector<ValueChange>& fields, const Settings& a,
                            const Settings& b) {
  bool ricochet = false, pierce = false;
  for (const ValueChange& c : fields) {
    (c.name == "pierceResistance" ? pierce : ricochet) = true;
  }
  std::string text;
  if (ricochet && !On(a.Ricochet, b.Ricochet)) text = "Ricochet is off";
  if (pierce && !On(a.Pierce, b.Pierce))
    text += (text.empty() ? "" : "; ") + std::string("Pierce is off");
  return text;
}

std::string Key(const Finding& f) {
  return f.file + "\n" + FindingKind(f) + "\n" + f.reason;
}

// Findings of `a` that `b` does not have, line numbers aside (lines move when others are
// added), counted so that one of two equal findings can go.
std::vector<Finding> Missing(const std::vector<Finding>& a, const std::vector<Finding>& b) {
  std::multiset<std::string> others;
  for (const Finding& f : b) others.insert(Key(f));
  std::vector<Finding> out;
  for (const Finding& f : a) {
    auto it = others.find(Key(f));
    if (it == others.end()) {
      out.push_back(f);
    } else {
      others.erase(it);
    }
  }
  return out;
}

Json RangeJson(const RangeSample& s) {
  if (!s.reached) return nullptr;
  return {{"drop", s.point.drop},
          {"speed", s.point.speed},
          {"energy", s.point.energy},
          {"damage", s.point.hitDamage},
          {"time", s.point.timeMs}};
}

constexpr RangeQuantity kColumns[] = {RangeQuantity::Drop, RangeQuantity::Speed,
                                      RangeQuantity::Energy, RangeQuantity::Damage};

struct CellCount {
  int cells = 0;
  std::set<int32_t> weapons;
};

// "12 cells of weapons 0-2, 5": consecutive weapon rows as a range.
std::string Counted(const CellCount& c) {
  std::string rows;
  for (auto it = c.weapons.begin(); it != c.weapons.end();) {
    const int32_t first = *it;
    int32_t last = first;
    while (++it != c.weapons.end() && *it == last + 1) last = *it;
    rows += (rows.empty() ? "" : ", ") + std::to_string(first);
    if (last != first) rows += (last == first + 1 ? ", " : "-") + std::to_string(last);
  }
  return std::to_string(c.cells) + (c.cells == 1 ? " cell" : " cells") + " of weapon" +
         (c.weapons.size() == 1 ? " " : "s ") + rows;
}

}  // namespace

DiffOptions DefaultDiffOptions() {
  DiffOptions o;
  o.at = {25.0f, 50.0f, 75.0f};
  o.anglesDeg = {0, 10, 20, 30, 40, 50, 60, 70, 80, 85, 90};
  o.speedShares = {1.0f, 0.75f, 0.5f, 0.25f};
  return o;
}

bool DiffFolders(const std::string& oldDir, const std::string& newDir, const DiffOptions& o,
                 DiffResult& r, std::string& error) {
  r = DiffResult{};
  // First the stored rows of both, then the runs of every row that either folder fills.
  Snapshot oldRows, newRows;
  if (!Take(oldDir, o, {}, oldRows, error) || !Take(newDir, o, {}, newRows, error)) return false;
  std::set<int32_t> rows;
  for (const auto& [row, json] : oldRows.weapons) rows.insert(row);
  for (const auto& [row, json] : newRows.weapons) rows.insert(row);
  Snapshot a, b;
  if (!Take(oldDir, o, rows, a, error) || !Take(newDir, o, rows, b, error)) return false;

  r.settings = Changes(a.settings, b.settings);
  bool visible = !r.settings.empty();
  for (int32_t row : rows) {
    WeaponDiff w;
    w.row = row;
    const Json none = Json::object();
    w.inOld = a.weapons.count(row) != 0;
    w.inNew = b.weapons.count(row) != 0;
    w.absentWithinTable = row < (w.inOld ? b.stored : a.stored).weaponCount;
    Json oldRow = w.inOld ? a.weapons[row] : none;
    Json newRow = w.inNew ? b.weapons[row] : none;
    oldRow.erase("row");
    newRow.erase("row");
    w.fields = Changes(oldRow, newRow);
    const RangeResult& ra = a.ranges[row];
    const RangeResult& rb = b.ranges[row];
    w.rangeChanged = !SameTable(RangeTable(ra, row), RangeTable(rb, row));
    if (w.fields.empty() && !w.rangeChanged) continue;
    for (float d : o.at) {
      RangeSample sa, sb;
      sa.reached = RangeAt(ra, d, sa.point);
      sb.reached = RangeAt(rb, d, sb.point);
      w.oldAt.push_back(sa);
      w.newAt.push_back(sb);
    }
    w.oldEnd = ra.end;
    w.newEnd = rb.end;
    if (!w.rangeChanged) w.sameBecause = WhyRangeStays(w.fields, a.stored, b.stored);
    visible = visible || w.rangeChanged;
    for (const ValueChange& c : w.fields) visible = visible || !kBallisticWeaponFields.count(c.name);
    r.weapons.push_back(std::move(w));
  }
  for (int32_t cls = 0; cls < SurfaceClassCount; ++cls) {
    SurfaceDiff s;
    s.surfaceClass = cls;
    Json oldRow = a.surfaces[static_cast<size_t>(cls)], newRow = b.surfaces[static_cast<size_t>(cls)];
    oldRow.erase("class");
    newRow.erase("class");
    s.fields = Changes(oldRow, newRow);
    for (const ValueChange& c : s.fields) visible = visible || c.name == "ricochetScatter";
    bool cellChanged = false;
    for (int32_t row : rows) {
      const auto& oldCases = a.impacts[{row, cls}];
      const auto& newCases = b.impacts[{row, cls}];
      for (size_t k = 0; k < oldCases.size() && k < newCases.size(); ++k) {
        if (PrintedCells(oldCases[k], o) == PrintedCells(newCases[k], o)) continue;
        r.cells.push_back({cls, row, oldCases[k], newCases[k]});
        cellChanged = true;
      }
    }
    if (!cellChanged) s.sameBecause = WhyOutcomesStay(s.fields, a.stored, b.stored);
    if (!s.fields.empty()) r.surfaces.push_back(std::move(s));
  }
  visible = visible || !r.cells.empty();

  const auto oldLint = LintFolder(oldDir), newLint = LintFolder(newDir);
  r.lintAppears = Missing(newLint, oldLint);
  r.lintGoes = Missing(oldLint, newLint);
  r.noticeable = visible;
  return true;
}

void PrintDiffText(const DiffResult& r, const DiffOptions& o, std::ostream& out) {
  bool first = true;
  // Sections are separated by a blank line.
  const auto section = [&](const std::string& heading) {
    out << (first ? "" : "\n") << heading << "\n";
    first = false;
  };
  if (!r.settings.empty()) {
    section("settings");
    for (const ValueChange& c : r.settings) out << "  " << DescribeChange(c) << "\n";
  }
  for (const WeaponDiff& w : r.weapons) {
    const std::string row = std::to_string(w.row);
    std::string title = "weapon row " + row;
    if (!w.inOld || !w.inNew) {
      title += std::string(" is only in ") + (w.inOld ? "OLD" : "NEW") + ": in " +
               (w.inOld ? "NEW" : "OLD") + " weapon type " + row +
               (w.absentWithinTable ? " has no line, so no shot of it can fly"
                                    : " is above MaxWeapon and uses row 0");
    } else {
      for (const ValueChange& c : w.fields) title += "\n  " + DescribeChange(c);
    }
    if (!w.rangeChanged) {
      section(title + "\n  (its range table stays the same" +
              (w.sameBecause.empty() ? "" : ": " + w.sameBecause) + ")");
      continue;
    }
    Table t;
    t.columns = {"at"};
    for (RangeQuantity q : kColumns) {
      t.columns.push_back(QuantityName(q));
      t.columns.push_back("new");
      t.columns.push_back("delta");
    }
    for (size_t i = 0; i < o.at.size(); ++i) {
      std::vector<Cell> cells = {Number(o.at[i], 1)};
      for (RangeQuantity q : kColumns) {
        const int d = QuantityDecimals(q);
        const RangeSample& sa = w.oldAt[i];
        const RangeSample& sb = w.newAt[i];
        const double va = QuantityOf(sa.point, q), vb = QuantityOf(sb.point, q);
        cells.push_back(sa.reached ? Number(va, d) : Missing());
        cells.push_back(sb.reached ? Number(vb, d) : Missing());
        cells.push_back(sa.reached && sb.reached ? Number(vb - va, d) : Missing());
      }
      t.rows.push_back(cells);
    }
    t.notes = {"  life, old: " + w.oldEnd, "  life, new: " + w.newEnd};
    section(title);
    PrintTable(out, t, OutputFormat::Text);
  }
  for (const SurfaceDiff& s : r.surfaces) {
    section(std::string("surface ") + kSurfaceKeys[s.surfaceClass]);
    for (const ValueChange& c : s.fields) out << "  " << DescribeChange(c) << "\n";
    if (!s.sameBecause.empty()) out << "  (no impact outcome changes: " << s.sameBecause << ")\n";
  }
  // Cells counted by surface and outcome, with the weapons they belong to.
  std::map<std::tuple<int32_t, ImpactOutcome, ImpactOutcome>, CellCount> flips;
  std::map<int32_t, CellCount> renumbered;
  std::map<int32_t, Table> listed;
  for (const CellChange& c : r.cells) {
    CellCount& count = c.Flipped() ? flips[{c.surfaceClass, c.old.outcome, c.now.outcome}]
                                   : renumbered[c.surfaceClass];
    ++count.cells;
    count.weapons.insert(c.weapon);
    if (!c.Flipped() || !o.listCells) continue;
    Table& t = listed[c.surfaceClass];
    t.columns = {"weapon", "angle", "speedShare", "old", "new"};
    t.rows.push_back({Integer(c.weapon), Number(c.old.angleDeg, 0), Number(c.old.speedShare, 2),
                      Text(OutcomeName(c.old.outcome)), Text(OutcomeName(c.now.outcome))});
  }
  if (!flips.empty()) {
    section(std::string("outcomes that flip, in cells of the impact grid (") +
            (o.listCells ? "listed below" : "--cells lists them") + ")");
    for (const auto& [key, count] : flips) {
      const auto& [cls, before, after] = key;
      out << "  " << kSurfaceKeys[cls] << ": " << OutcomeName(before) << " -> "
          << OutcomeName(after) << ": " << Counted(count) << "\n";
    }
  }
  for (const auto& [cls, table] : listed) {
    section(std::string("outcomes that flip on ") + kSurfaceKeys[cls] +
            " (angle from the normal, speed as a share of the muzzle speed)");
    PrintTable(out, table, OutputFormat::Text);
  }
  if (!renumbered.empty()) {
    section("outcomes that stay, with other numbers (damage, kept speed, depth, exit speed)");
    for (const auto& [cls, count] : renumbered)
      out << "  " << kSurfaceKeys[cls] << ": " << Counted(count) << "\n";
  }
  if (!r.lintAppears.empty() || !r.lintGoes.empty()) section("lint");
  for (const Finding& f : r.lintAppears) out << "  appears: " << FindingText(f) << "\n";
  for (const Finding& f : r.lintGoes) out << "  goes: " << FindingText(f) << "\n";
}

void PrintDiffJson(const DiffResult& r, const DiffOptions& o, std::ostream& out) {
  const auto changes = [](const std::vector<ValueChange>& list) {
    Json j = Json::array();
    for (const ValueChange& c : list) j.push_back({{"name", c.name}, {"old", c.old}, {"new", c.now}});
    return j;
  };
  Json j;
  j["noticeable"] = r.noticeable;
  j["settings"] = changes(r.settings);
  j["weapons"] = Json::array();
  for (const WeaponDiff& w : r.weapons) {
    Json at = Json::array();
    for (size_t i = 0; i < o.at.size(); ++i)
      at.push_back({{"distance", o.at[i]}, {"old", RangeJson(w.oldAt[i])}, {"new", RangeJson(w.newAt[i])}});
    j["weapons"].push_back({{"row", w.row},
                            {"fields", changes(w.fields)},
                            {"rangeChanged", w.rangeChanged},
                            {"sameBecause", w.sameBecause},
                            {"at", at},
                            {"life", {{"old", w.oldEnd}, {"new", w.newEnd}}}});
  }
  j["surfaces"] = Json::array();
  for (const SurfaceDiff& s : r.surfaces)
    j["surfaces"].push_back({{"class", s.surfaceClass},
                             {"key", kSurfaceKeys[s.surfaceClass]},
                             {"fields", changes(s.fields)},
                             {"sameBecause", s.sameBecause}});
  j["outcomes"] = Json::array();
  for (const CellChange& c : r.cells) {
    j["outcomes"].push_back({{"surface", kSurfaceKeys[c.surfaceClass]},
                             {"weapon", c.weapon},
                             {"angle", c.old.angleDeg},
                             {"speedShare", c.old.speedShare},
                             {"old", OutcomeName(c.old.outcome)},
                             {"new", OutcomeName(c.now.outcome)},
                             {"flipped", c.Flipped()}});
  }
  const auto findings = [](const std::vector<Finding>& list) {
    Json a = Json::array();
    for (const Finding& f : list)
      a.push_back({{"file", f.file}, {"line", f.line}, {"fault", f.fault}, {"reason", f.reason}});
    return a;
  };
  j["lint"] = {{"appears", findings(r.lintAppears)}, {"goes", findings(r.lintGoes)}};
  out << j.dump(2) << "\n";
}

}  // namespace pellix::lab
