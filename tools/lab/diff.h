// `diff`: what changes for a player between two data folders: settings, weapon rows and their
// range tables, surface rows and the impact outcomes they give, and lint findings.
#pragma once
#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "tools/lab/impact_table.h"
#include "tools/lab/lab_session.h"
#include "tools/lab/lint.h"
#include "tools/lab/range.h"

namespace pellix::lab {

struct DiffOptions {
  std::map<std::string, std::string> overrides;  // "SECTION/Key" -> value, for both folders
  HostWeapon hostWeapon;
  RangeOptions range;             // the level shot; its weapon is each row in turn
  std::vector<float> at;          // distances of the side-by-side range tables
  std::vector<float> anglesDeg;   // the impact grid, as `impact` takes it
  std::vector<float> speedShares;
  bool listCells = false;  // print every cell whose outcome flips, not only their counts
};

// Defaults: the range tables at 25, 50 and 75 units, the impact grid of `impact`.
DiffOptions DefaultDiffOptions();

struct ValueChange {
  std::string name;                 // the INI key or the data file's column
  nlohmann::ordered_json old, now;  // as the file gives them (tools/lab/file_terms.h)
};

struct RangeSample {
  bool reached = false;
  RangePoint point{};
};

struct WeaponDiff {
  int32_t row = 0;
  bool inOld = true, inNew = true;  // filled in each folder
  // In the folder without the row, the type is up to its MaxWeapon (no row: it never flies)
  // rather than above it (row 0).
  bool absentWithinTable = false;
  std::vector<ValueChange> fields;
  bool rangeChanged = false;  // any printed value of the whole range table, or its end
  std::vector<RangeSample> oldAt, newAt;  // at DiffOptions::at
  std::string oldEnd, newEnd;
  std::string sameBecause;  // why the range table stays the same, when it does
};

struct SurfaceDiff {
  int32_t surfaceClass = 0;
  std::vector<ValueChange> fields;
  std::string sameBecause;  // why no impact outcome changes, when none does and it is known
};

struct CellChange {
  int32_t surfaceClass = 0;
  int32_t weapon = 0;
  ImpactCase old{}, now{};
  bool Flipped() const { return old.outcome != now.outcome; }
};

struct DiffResult {
  std::vector<ValueChange> settings;
  std::vector<WeaponDiff> weapons;
  std::vector<SurfaceDiff> surfaces;
  std::vector<CellChange> cells;  // outcomes that flip, and cells whose printed numbers change
  std::vector<Finding> lintAppears, lintGoes;
  bool noticeable = false;  // anything a player would see or feel
  bool Empty() const {
    return settings.empty() && weapons.empty() && surfaces.empty() && cells.empty() &&
           lintAppears.empty() && lintGoes.empty();
  }
};

// False with `error` when either folder does not load.
bool DiffFolders(const std::string& oldDir, const std::string& newDir, const DiffOptions& options,
                 DiffResult& result, std::string& error);

// Nothing at all when nothing changed.
void PrintDiffText(const DiffResult& result, const DiffOptions& options, std::ostream& out);
void PrintDiffJson(const DiffResult& result, const DiffOptions& options, std::ostream& out);

}  // namespace pellix::lab
