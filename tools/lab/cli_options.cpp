#include "tools/lab/cli_options.h"

#include <filesystem>
#include <iostream>

#include "tools/lab/lint.h"
#include "tools/lab/setting_override.h"

namespace pellix::lab {

void AddFormatOptions(CLI::App* cmd, CommonOptions& c) {
  auto* j = cmd->add_flag("--json", c.json, "print the table as JSON");
  cmd->add_flag("--csv", c.csv, "print the table as CSV")->excludes(j);
}

void AddSettingOptions(CLI::App* cmd, CommonOptions& c) {
  cmd->add_option("--set", c.set,
                  "override a setting, SECTION/Key=value (e.g. PHYSICS/Gravity=1); repeatable");
  cmd->add_flag("--physics", c.physics, "turn Gravity, AirResist, Ricochet and Pierce on");
  cmd->add_option("--host-range", c.hostRange, "the host's range of every weapon type, world units")
      ->capture_default_str();
  cmd->add_option("--host-damage", c.hostDamage, "the host's damage of every weapon type")
      ->capture_default_str();
}

void AddRangeOptions(CLI::App* cmd, RangeOptions& range) {
  cmd->add_option("--height", range.height, "muzzle height above the ground (default 1)");
  cmd->add_option("--frame-ms", range.frameMs, "host clock per frame, ms (default 20)")
      ->check(CLI::Range(1.0f, 1000.0f));
  cmd->add_flag("!--no-ground", range.ground, "no ground plane under the shot");
}

bool SettingOverrides(const CommonOptions& c, std::map<std::string, std::string>& out,
                      std::string& error) {
  if (c.physics) {
    for (const char* key : {"Gravity", "AirResist", "Ricochet", "Pierce"})
      out[std::string("PHYSICS/") + key] = "1";
  }
  for (const std::string& s : c.set) {
    const size_t slash = s.find('/'), eq = s.find('=');
    if (slash == std::string::npos || eq == std::string::npos || eq < slash) {
      error = "--set " + s + ": expected SECTION/Key=value";
      return false;
    }
    if (!AddSettingOverride(s.substr(0, eq), s.substr(eq + 1), out, error)) {
      error = "--set " + s + ": " + error;
      return false;
    }
  }
  return true;
}

void WarnOnLintFaults(const std::string& dir) {
  int faults = 0;
  for (const auto& f : LintFolder(dir)) faults += f.fault ? 1 : 0;
  if (faults > 0) {
    std::cerr << "pellix-lab: note: " << faults << " line(s) of the data in " << dir
              << " are ignored or misread; see pellix-lab lint " << dir << "\n";
  }
}

bool LoadFolder(LabSession& session, const std::string& dir, const CommonOptions& c) {
  WarnOnLintFaults(dir);
  std::map<std::string, std::string> overrides;
  std::string error;
  session.poolSlots = 1;  // the commands that load this way fire one shot at a time
  if (!SettingOverrides(c, overrides, error) ||
      !session.Load(std::filesystem::absolute(dir).string(), error, overrides)) {
    std::cerr << "pellix-lab: " << error << "\n";
    return false;
  }
  session.defaultWeapon = c.Host();
  return true;
}

}  // namespace pellix::lab
