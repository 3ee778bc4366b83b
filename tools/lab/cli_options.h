// Options that several pellix-lab commands share, and loading a data folder with them.
#pragma once
#include <CLI/CLI.hpp>
#include <map>
#include <string>
#include <vector>

#include "tools/lab/lab_session.h"
#include "tools/lab/range.h"
#include "tools/lab/table.h"

namespace pellix::lab {

struct CommonOptions {
  bool json = false;
  bool csv = false;
  std::vector<std::string> set;  // SECTION/Key=value
  bool physics = false;
  float hostRange = 100.0f;
  int hostDamage = 25;

  OutputFormat Format() const {
    return json ? OutputFormat::Json : csv ? OutputFormat::Csv : OutputFormat::Text;
  }
  HostWeapon Host() const { return {hostRange, static_cast<int16_t>(hostDamage)}; }
};

void AddFormatOptions(CLI::App* cmd, CommonOptions& c);
void AddSettingOptions(CLI::App* cmd, CommonOptions& c);
// --height, --frame-ms and --no-ground of a level shot.
void AddRangeOptions(CLI::App* cmd, RangeOptions& range);

// The INI overrides that --physics and --set give, keys in start-up's spelling; false with
// `error` on a malformed --set, a key start-up does not read or a value that is no number.
bool SettingOverrides(const CommonOptions& c, std::map<std::string, std::string>& out,
                      std::string& error);

// Results on faulty data are what the game would do, but rarely what was meant: says so on
// the error stream.
void WarnOnLintFaults(const std::string& dir);

// Loads DIR with the options' overrides and host weapon, with a pool of one slot; prints the
// error and returns false when it does not load.
bool LoadFolder(LabSession& session, const std::string& dir, const CommonOptions& c);

}  // namespace pellix::lab
