#include "tools/lab/diff_command.h"

#include <filesystem>
#include <iostream>
#include <memory>

#include "tools/lab/cli_options.h"
#include "tools/lab/diff.h"
#include "tools/lab/report.h"

namespace pellix::lab {

namespace {

struct DiffArguments {
  std::string oldDir, newDir, report;
  CommonOptions common;
  DiffOptions diff = DefaultDiffOptions();
};

}  // namespace

void AddDiffCommand(CLI::App& app, int& status) {
  auto a = std::make_shared<DiffArguments>();
  auto* cmd = app.add_subcommand(
      "diff", "what changes for a player between two data folders (exit 1 when anything does)");
  cmd->add_option("OLD", a->oldDir, "data folder before")->required();
  cmd->add_option("NEW", a->newDir, "data folder after")->required();
  cmd->add_option("--at", a->diff.at, "distances of the side-by-side range tables (default 25,50,75)")
      ->delimiter(',');
  AddRangeOptions(cmd, a->diff.range);
  cmd->add_flag("--json", a->common.json, "print the differences as JSON");
  cmd->add_flag("--cells", a->diff.listCells,
                "list every cell of the impact grid whose outcome flips, not only the counts");
  cmd->add_option("--report", a->report,
                  "also write FOLDER/report.html, every chart drawing OLD dashed and NEW solid");
  AddSettingOptions(cmd, a->common);
  cmd->callback([a, &status] {
    std::string error;
    DiffResult r;
    a->diff.hostWeapon = a->common.Host();
    const std::string oldDir = std::filesystem::absolute(a->oldDir).string();
    const std::string newDir = std::filesystem::absolute(a->newDir).string();
    if (!SettingOverrides(a->common, a->diff.overrides, error) ||
        !DiffFolders(oldDir, newDir, a->diff, r, error)) {
      std::cerr << "pellix-lab: " << error << "\n";
      status = 2;
      return;
    }
    if (a->common.json) {
      PrintDiffJson(r, a->diff, std::cout);
    } else {
      PrintDiffText(r, a->diff, std::cout);
    }
    if (!a->report.empty()) {
      ReportOptions ro;
      ro.overrides = a->diff.overrides;
      ro.hostWeapon = a->diff.hostWeapon;
      ro.height = a->diff.range.height;
      ro.frameMs = a->diff.range.frameMs;
      for (const WeaponDiff& w : r.weapons) ro.changedWeapons.insert(w.row);
      std::string written;
      if (!WriteDiffReport(oldDir, newDir, a->report, ro, written, error)) {
        std::cerr << "pellix-lab: " << error << "\n";
        status = 2;
        return;
      }
      std::cerr << "report: " << written << "\n";
    }
    status = r.noticeable ? 1 : 0;
  });
}

}  // namespace pellix::lab
