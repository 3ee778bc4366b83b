// pellix-lab: tune the weapon and surface data without starting the game.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "pellix_version.h"
#include "startup/tables.h"
#include "tools/lab/cli_options.h"
#include "tools/lab/diff_command.h"
#include "tools/lab/fit_command.h"
#include "tools/lab/impact_table.h"
#include "tools/lab/lab_session.h"
#include "tools/lab/lint.h"
#include "tools/lab/range.h"
#include "tools/lab/report.h"
#include "tools/lab/scenario.h"
#include "tools/lab/show_json.h"
#include "tools/lab/simulate.h"
#include "tools/lab/table.h"
#include "tools/lab/watch_command.h"

namespace lab = pellix::lab;

using Common = lab::CommonOptions;

int main(int argc, char** argv) {
  CLI::App app{"pellix-lab: the plug-in's own ballistics code on a built-in scene"};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("pellix-lab ") + PELLIX_VERSION);
  // "/path/to/data" is a folder, not a Windows-style "/option" (CLI11's default on Windows).
  app.allow_windows_style_options(false);
  int status = 0;

  std::string showDir;
  auto* show = app.add_subcommand("show", "what start-up reads from a data folder, as JSON");
  show->add_option("DIR", showDir, "folder of pellix.ini and the data files")->required();
  show->callback([&] { status = lab::PrintShowJson(showDir, std::cout); });

  Common lintOpts;
  std::string lintDir;
  auto* lint = app.add_subcommand(
      "lint",
      "every line that start-up would ignore, cut short or misread (exit 1 on a fault), "
      "and values that break play (warnings)");
  lint->add_option("DIR", lintDir, "folder of pellix.ini and the data files")->required();
  lab::AddFormatOptions(lint, lintOpts);
  lint->callback([&] {
    if (!std::filesystem::is_directory(lintDir)) {
      std::cerr << "pellix-lab: " << lintDir << ": not a folder\n";
      status = 2;
      return;
    }
    const auto findings = lab::LintFolder(lintDir);
    if (lintOpts.Format() == lab::OutputFormat::Text) {
      lab::PrintFindings(std::cout, findings);
    } else {
      lab::PrintTable(std::cout, lab::FindingsTable(findings), lintOpts.Format());
    }
    status = lab::AnyFault(findings) ? 1 : 0;
  });

  Common rangeOpts;
  std::string rangeDir;
  lab::RangeOptions range;
  auto* rangeCmd = app.add_subcommand("range", "range table of one weapon fired level");
  rangeCmd->add_option("DIR", rangeDir, "data folder")->required();
  rangeCmd->add_option("--weapon,-w", range.weapon, "weapon type")->required();
  lab::AddRangeOptions(rangeCmd, range);
  lab::AddFormatOptions(rangeCmd, rangeOpts);
  lab::AddSettingOptions(rangeCmd, rangeOpts);
  rangeCmd->callback([&] {
    lab::LabSession session;
    if (!lab::LoadFolder(session, rangeDir, rangeOpts)) {
      status = 2;
      return;
    }
    const auto result = lab::RunRange(session, range);
    lab::PrintTable(std::cout, lab::RangeTable(result, range.weapon), rangeOpts.Format());
  });

  Common impactOpts;
  std::string impactDir, surfaceText;
  lab::ImpactOptions impact;
  impact.anglesDeg = {0, 10, 20, 30, 40, 50, 60, 70, 80, 85, 90};
  impact.speedShares = {1.0f, 0.75f, 0.5f, 0.25f};
  auto* impactCmd = app.add_subcommand("impact", "what a hit does, by angle and speed");
  impactCmd->add_option("DIR", impactDir, "data folder")->required();
  impactCmd->add_option("--weapon,-w", impact.weapon, "weapon type")->required();
  impactCmd->add_option("--surface,-s", surfaceText, "surface class: N, SP, S, W, D, C, P or 0-6")
      ->required();
  impactCmd->add_option("--angles", impact.anglesDeg, "angles from the normal, 0 to 90 degrees")
      ->delimiter(',');
  impactCmd
      ->add_option("--speeds", impact.speedShares,
                   "speeds as shares of the muzzle speed, above 0 and at most 1")
      ->delimiter(',');
  impactCmd->add_option("--draws", impact.draws, "ricochets drawn for the scatter (default 200)")
      ->check(CLI::Range(1, 100000));
  impactCmd->add_option("--thickness", impact.thickness,
                        "solid crossed for the exit speed (default 0.5)");
  lab::AddFormatOptions(impactCmd, impactOpts);
  lab::AddSettingOptions(impactCmd, impactOpts);
  impactCmd->callback([&] {
    impact.surfaceClass = lab::ParseSurfaceClass(surfaceText);
    std::string error;
    if (impact.surfaceClass < 0) {
      std::cerr << "pellix-lab: --surface " << surfaceText
                << ": not a surface class (N, SP, S, W, D, C, P or 0-6)\n";
      status = 2;
      return;
    }
    if (!lab::CheckImpactGrid(impact, error)) {
      std::cerr << "pellix-lab: " << error << "\n";
      status = 2;
      return;
    }
    lab::LabSession session;
    if (!lab::LoadFolder(session, impactDir, impactOpts)) {
      status = 2;
      return;
    }
    const auto cases = lab::RunImpacts(session, impact);
    lab::PrintTable(std::cout, lab::ImpactTable(cases, impact), impactOpts.Format());
  });

  Common simOpts;
  std::string scenarioPath;
  auto* simulate = app.add_subcommand(
      "simulate",
      "run a scenario frame by frame (schema pellix-lab-scenario/1, docs/lab-scenario.md)");
  simulate->add_option("SCENARIO", scenarioPath, "scenario JSON file")->required();
  auto* simJson = simulate->add_flag("--json", simOpts.json,
                                     "print every frame as JSON (schema pellix-lab-simulation/1)");
  simulate->add_flag("--csv", simOpts.csv, "print the live records, one row per record and frame")
      ->excludes(simJson);
  simulate->callback([&] {
    lab::Scenario scenario;
    lab::SimulationResult result;
    std::string error;
    const bool parsed = lab::LoadScenario(scenarioPath, scenario, error);
    if (parsed) lab::WarnOnLintFaults(scenario.dataDir);
    if (!parsed || !lab::RunScenario(scenario, result, error)) {
      std::cerr << "pellix-lab: " << error << "\n";
      status = 2;
      return;
    }
    if (simOpts.json) {
      lab::PrintSimulationJson(std::cout, result);
    } else if (simOpts.csv) {
      lab::PrintTable(std::cout, lab::SimulationRecordTable(result), lab::OutputFormat::Csv);
    } else {
      lab::PrintSimulationText(std::cout, result);
    }
  });

  Common reportOpts;
  std::string reportDir, reportOut;
  lab::ReportOptions report;
  auto* reportCmd = app.add_subcommand("report", "one HTML page of SVG charts about the data");
  reportCmd->add_option("DIR", reportDir, "data folder")->required();
  reportCmd->add_option("--out,-o", reportOut, "folder for report.html")->required();
  reportCmd->add_option("--height", report.height, "muzzle height of the range runs (default 1)");
  lab::AddSettingOptions(reportCmd, reportOpts);
  reportCmd->callback([&] {
    std::map<std::string, std::string> overrides;
    std::string error, written;
    if (!lab::SettingOverrides(reportOpts, overrides, error)) {
      std::cerr << "pellix-lab: " << error << "\n";
      status = 2;
      return;
    }
    report.overrides = overrides;
    report.hostWeapon = reportOpts.Host();
    lab::WarnOnLintFaults(reportDir);
    if (!lab::WriteReport(std::filesystem::absolute(reportDir).string(), reportOut, report, written,
                          error)) {
      std::cerr << "pellix-lab: " << error << "\n";
      status = 2;
      return;
    }
    std::cout << written << "\n";
  });

  lab::AddFitCommand(app, status);
  lab::AddDiffCommand(app, status);
  lab::AddWatchCommand(app, status);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help and --version end well; every other parse error is a usage error.
    return app.exit(e) == 0 ? 0 : 2;
  }
  return status;
}
