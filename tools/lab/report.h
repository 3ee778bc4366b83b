// `report`: one HTML page of SVG charts about the data in a folder.
#pragma once
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tools/lab/lab_session.h"

namespace pellix::lab {

struct ReportOptions {
  std::map<std::string, std::string> overrides;  // "SECTION/Key" -> value, as --set gives them
  HostWeapon hostWeapon;                         // the host's range and damage of every type
  float height = 1.0f;                           // muzzle height of the range runs
  float frameMs = 20.0f;
  std::set<int32_t> changedWeapons;  // a comparison's weapon rows that changed: highlighted
};

// The ids (data-chart attributes) of the charts that every report holds.
const std::vector<std::string>& ReportChartIds();

// Builds the page; false with `error` when the data folder does not load.
bool BuildReport(const std::string& dir, const ReportOptions& options, std::string& html,
                 std::string& error);

// The same page comparing two folders: every chart draws the old data dashed under the new
// data solid; each outcome cell shows the old band above the new one.
bool BuildDiffReport(const std::string& oldDir, const std::string& newDir, const ReportOptions& o,
                     std::string& html, std::string& error);

// Writes FOLDER/report.html (creating FOLDER); the path written goes to `written`.
bool WriteReport(const std::string& dir, const std::string& folder, const ReportOptions& options,
                 std::string& written, std::string& error);
bool WriteDiffReport(const std::string& oldDir, const std::string& newDir,
                     const std::string& folder, const ReportOptions& options,
                     std::string& written, std::string& error);

}  // namespace pellix::lab
