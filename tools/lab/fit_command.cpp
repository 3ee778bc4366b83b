#include <filesystem>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "startup/tables.h"
#include "tools/lab/cli_options.h"
#include "tools/lab/fit.h"
#include "tools/lab/fit_command.h"
#include "tools/lab/impact_table.h"

namespace pellix::lab {

namespace {

struct FitArguments {
  std::string dir;
  CommonOptions common;
  FitOptions fit;
  std::vector<std::string> targets, free, bounds;
  int32_t from = -1;
  std::string surface;
  bool write = false;
};

bool ParseArguments(FitArguments& a, const std::string& weaponFile, std::string& error) {
  FitOptions& o = a.fit;
  for (const std::string& text : a.targets) {
    FitTarget t;
    if (!ParseFitTarget(text, t, error)) return false;
    o.targets.push_back(t);
  }
  for (const std::string& name : a.free) {
    const int f = ParseFitField(name);
    if (f < 0) {
      error = "--free " + name + ": one of muzzleSpeed, dragAlong, dragAcross, pierceCost";
      return false;
    }
    o.free.push_back(f);
  }
  for (const std::string& text : a.bounds) {
    const size_t eq = text.find('='), colon = text.find(':', eq == std::string::npos ? 0 : eq);
    const int f = ParseFitField(text.substr(0, eq));
    char* end1 = nullptr;
    char* end2 = nullptr;
    if (eq == std::string::npos || colon == std::string::npos || f < 0) {
      error = "--bound " + text + ": expected NAME=LO:HI";
      return false;
    }
    const std::string lo = text.substr(eq + 1, colon - eq - 1), hi = text.substr(colon + 1);
    const double l = std::strtod(lo.c_str(), &end1), h = std::strtod(hi.c_str(), &end2);
    if (lo.empty() || hi.empty() || *end1 || *end2 || !(l <= h)) {
      error = "--bound " + text + ": expected NAME=LO:HI with LO at most HI";
      return false;
    }
    o.bounds[f] = {l, h};
  }
  if (!a.surface.empty()) {
    o.surfaceClass = ParseSurfaceClass(a.surface);
    if (o.surfaceClass < 0) {
      error = "--surface " + a.surface + ": not a surface class (N, SP, S, W, D, C, P or 0-6)";
      return false;
    }
  }
  if (a.from >= 0) {
    WeaponLine line;
    if (!FindWeaponLine(weaponFile, a.from, settings.weaponCount, line)) {
      error = "--from " + std::to_string(a.from) + ": no line of pellix_weapon.dat gives that row";
      return false;
    }
    WeaponBallistics values{};
    ScanWeaponFields(line.text.c_str(), values);
    o.start = {{kMuzzleSpeed, values.speedFactor},
               {kDragAlong, values.dragAlong},
               {kDragAcross, values.dragAcross},
               {kPierceCost, values.pierceCost}};
  }
  return true;
}

void PrintText(const FitResult& r, const std::string& file, std::ostream& out) {
  for (const std::string& w : r.warnings) out << "warning: " << w << "\n";
  out << "weapon row " << r.row << ": " << file << " line " << r.line.number << "\n";
  if (r.fitted) {
    for (int f : r.free) {
      out << "  " << FitFieldName(f) << " " << SignificantDigits(r.before.at(f), 9) << " -> "
          << SignificantDigits(r.after.at(f), 9) << "  (bound "
          << SignificantDigits(r.bounds.at(f).lo, 6) << ":" << SignificantDigits(r.bounds.at(f).hi, 6)
          << ")\n";
    }
    out << r.fittedLine << "\n";
  } else {
    out << "no fitted line: no candidate row reaches any target (the row's own values below)\n";
  }
  Table t;
  t.columns = {"target", "wanted", "reached", "residual", "met"};
  for (const FitTargetResult& x : r.targets) {
    const int d = x.target.decimals + 1;
    t.rows.push_back({Text(x.target.text), Number(x.target.wanted, d),
                      x.reached ? Number(x.value, d) : Text("not reached"),
                      x.reached ? Number(x.residual, d) : Missing(), Text(x.met ? "yes" : "no")});
  }
  PrintTable(out, t, OutputFormat::Text);
  for (const std::string& c : r.conflicts) out << "cannot be met: " << c << "\n";
  if (r.startsRun > 0)
    out << r.startsRun << " start(s), best from start " << r.bestStart + 1 << "; ";
  else
    out << "no search (a setting blocks every target); ";
  out << r.evaluations << " runs in " << FormatFixed(r.seconds, 2) << " s\n";
}

void PrintJson(const FitResult& r, const FitArguments& a, const std::string& file, bool written,
               std::ostream& out) {
  using Json = nlohmann::ordered_json;
  Json j;
  j["weapon"] = a.fit.range.weapon;
  j["row"] = r.row;
  j["file"] = file;
  j["line"] = r.line.number;
  j["free"] = Json::array();
  for (int f : r.free) {
    j["free"].push_back({{"name", FitFieldName(f)},
                         {"before", r.before.at(f)},
                         {"after", r.after.at(f)},
                         {"lo", r.bounds.at(f).lo},
                         {"hi", r.bounds.at(f).hi}});
  }
  j["fittedLine"] = r.fitted ? Json(r.fittedLine) : Json(nullptr);
  j["targets"] = Json::array();
  for (const FitTargetResult& x : r.targets) {
    j["targets"].push_back({{"target", x.target.text},
                            {"wanted", x.target.wanted},
                            {"reached", x.reached},
                            {"value", x.value},
                            {"residual", x.residual},
                            {"met", x.met}});
    if (!x.blocked.empty()) j["targets"].back()["blockedBy"] = x.blocked;
  }
  j["met"] = r.met;
  j["conflicts"] = r.conflicts;
  j["warnings"] = r.warnings;
  j["starts"] = r.startsRun;
  j["bestStart"] = r.bestStart + 1;
  j["evaluations"] = r.evaluations;
  j["seconds"] = r.seconds;
  j["written"] = written;
  j["backup"] = written ? Json(file + ".bak") : Json(nullptr);
  out << j.dump(2) << "\n";
}

}  // namespace

void AddFitCommand(CLI::App& app, int& status) {
  auto a = std::make_shared<FitArguments>();
  auto* cmd = app.add_subcommand(
      "fit", "fit a weapon row's muzzle speed, drags or pierce cost to range or penetration targets");
  cmd->add_option("DIR", a->dir, "data folder")->required();
  cmd->add_option("--weapon,-w", a->fit.range.weapon, "weapon type")->required();
  cmd->add_option("--target,-t", a->targets,
                  "drop@D=V, speed@D=V, energy@D=V, damage@D=V, time@D=V at distance D of the "
                  "range table; pierce@T=V (exit speed share after T units of --surface) or "
                  "depth=V; repeatable")
      ->required();
  cmd->add_option("--free", a->free,
                  "values to fit: muzzleSpeed, dragAlong, dragAcross, pierceCost (default: "
                  "muzzleSpeed for range targets, with dragAlong when AirResist is on, and "
                  "pierceCost for pierce and depth targets)");
  cmd->add_option("--bound", a->bounds, "NAME=LO:HI, the range a free value may take; repeatable");
  cmd->add_option("--from", a->from, "start from another row's values (default: the row's own)");
  cmd->add_option("--starts", a->fit.starts, "local searches (default 8)")->check(CLI::Range(1, 100));
  cmd->add_option("--surface,-s", a->surface, "surface class of pierce and depth targets");
  cmd->add_option("--angle", a->fit.angleDeg, "angle of that hit from the normal (default 0)");
  cmd->add_option("--speed-share", a->fit.speedShare,
                  "speed of that hit as a share of the muzzle speed (default 1)");
  cmd->add_flag("--write", a->write,
                "replace the row's line in pellix_weapon.dat when every target is met, keeping the "
                "previous file as pellix_weapon.dat.bak");
  cmd->add_flag("--json", a->common.json, "print the result as JSON");
  AddRangeOptions(cmd, a->fit.range);
  AddSettingOptions(cmd, a->common);
  cmd->callback([a, &status] {
    LabSession session;
    std::string error, bytes;
    const std::string file =
        (std::filesystem::absolute(a->dir) / "pellix_weapon.dat").lexically_normal().string();
    FitResult r;
    // One shot at a time flies the same in a pool of any size; a pool of one slot makes each
    // frame of each candidate's run cheap.
    a->common.set.push_back("PELLIX/MaxPellix=1");
    if (!LoadFolder(session, a->dir, a->common)) {
      status = 2;
      return;
    }
    if (!ReadFileBytes(file, bytes)) error = file + ": cannot be read";
    if (!error.empty() || !ParseArguments(*a, bytes, error) ||
        !RunFit(session, bytes, a->fit, r, error)) {
      std::cerr << "pellix-lab: " << error << "\n";
      status = 2;
      return;
    }
    bool written = false;
    if (a->write && r.met) {
      if (!WriteFit(file, bytes, r, error)) {
        std::cerr << "pellix-lab: " << error << "\n";
        status = 2;
        return;
      }
      written = true;
    }
    if (a->common.json) {
      PrintJson(r, *a, file, written, std::cout);
    } else {
      PrintText(r, file, std::cout);
      if (written)
        std::cout << "written: " << file << " line " << r.line.number << "; the previous file is "
                  << file << ".bak\n";
      if (a->write && !r.met) std::cout << "not written: the targets are not all met\n";
    }
    status = r.met ? 0 : 1;
  });
}

}  // namespace pellix::lab
