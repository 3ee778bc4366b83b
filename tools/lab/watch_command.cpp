#include "tools/lab/watch_command.h"

#include <chrono>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <thread>

#include "startup/settings.h"
#include "startup/tables.h"
#include "tools/lab/lab_session.h"
#include "tools/lab/lint.h"
#include "tools/lab/table.h"

namespace pellix::lab {
namespace {

constexpr const char* kWatchedFiles[] = {"pellix.ini", "pellix_weapon.dat", "pellix_surface.dat"};

// What tells one version of the folder's files from the next.
struct Stamps {
  std::filesystem::file_time_type times[3];
  std::uintmax_t sizes[3] = {0, 0, 0};
  bool operator==(const Stamps&) const = default;
};

Stamps StampsOf(const std::string& dir) {
  Stamps s;
  for (int i = 0; i < 3; ++i) {
    std::error_code error;
    const auto path = std::filesystem::path(dir) / kWatchedFiles[i];
    s.times[i] = std::filesystem::last_write_time(path, error);
    s.sizes[i] = std::filesystem::file_size(path, error);
    if (error) s.sizes[i] = static_cast<std::uintmax_t>(-1);  // missing
  }
  return s;
}

bool RowFilled(const WeaponBallistics& row) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&row);
  for (size_t i = 0; i < sizeof row; ++i)
    if (bytes[i] != 0) return true;
  return false;
}

// Where each filled row's round ends and how it is then: one line per weapon.
Table SummaryTable(const std::string& dir, const WatchOptions& o) {
  Table t;
  t.title = "weapons";
  t.columns = {"weapon", "muzzle", "distance", "timeMs", "drop",
               "speed",  "energy", "damage",   "end"};
  LabSession session;
  if (!LoadFolder(session, dir, o.common)) return t;
  for (int32_t w = 0; w < settings.weaponCount; ++w) {
    if (!RowFilled(weaponTable[w])) continue;
    RangeOptions range = o.range;
    range.weapon = w;
    const RangeResult r = RunRange(session, range);
    RangePoint last{};
    if (!r.points.empty()) last = r.points.back();
    t.rows.push_back({Integer(w), Number(r.muzzleSpeed, 1), Number(last.distance, 1),
                      Number(last.timeMs, 0), Number(last.drop, 3), Number(last.speed, 1),
                      Number(last.energy, 3), Integer(last.hitDamage), Text(r.end)});
  }
  return t;
}

volatile std::sig_atomic_t interrupted = 0;
extern "C" void OnInterrupt(int) { interrupted = 1; }

}  // namespace

void PrintWatchRun(const std::string& dir, const WatchOptions& options, std::ostream& out) {
  PrintFindings(out, LintFolder(dir));
  PrintTable(out, SummaryTable(dir, options), OutputFormat::Text);
}

int Watch(const std::string& dir, const WatchOptions& options, std::ostream& out,
          const std::function<bool()>& wait) {
  if (!std::filesystem::is_directory(dir)) {
    std::cerr << "pellix-lab: " << dir << ": not a folder\n";
    return 2;
  }
  Stamps seen = StampsOf(dir);
  for (int run = 1;; ++run) {
    const std::time_t now = std::time(nullptr);
    char clock[16];
    std::strftime(clock, sizeof clock, "%H:%M:%S", std::localtime(&now));
    out << "== " << clock << " run " << run << " ==\n";
    PrintWatchRun(dir, options, out);
    out.flush();
    if (options.runs > 0 && run >= options.runs) return 0;
    // A file being saved may change twice in a row: the next run waits for a look that finds
    // the stamps as the look before it did.
    bool changed = false;
    for (;;) {
      if (!wait()) return 0;
      const Stamps current = StampsOf(dir);
      if (!(current == seen)) {
        seen = current;
        changed = true;
      } else if (changed) {
        break;
      }
    }
  }
}

void AddWatchCommand(CLI::App& app, int& status) {
  static WatchOptions options;
  static std::string dir;
  auto* cmd = app.add_subcommand(
      "watch", "lint and a range summary of every weapon, again each time a file changes");
  cmd->add_option("DIR", dir, "folder of pellix.ini and the data files")->required();
  cmd->add_option("--interval", options.intervalSeconds,
                  "seconds between two looks at the files (default 0.5)")
      ->check(CLI::Range(0.1, 60.0));
  cmd->add_option("--runs", options.runs, "stop after this many runs (default: until Ctrl+C)")
      ->check(CLI::NonNegativeNumber);
  AddRangeOptions(cmd, options.range);
  AddSettingOptions(cmd, options.common);
  cmd->callback([&status] {
    std::signal(SIGINT, OnInterrupt);
    const auto interval = std::chrono::duration<double>(options.intervalSeconds);
    status = Watch(dir, options, std::cout, [interval] {
      std::this_thread::sleep_for(interval);
      return interrupted == 0;
    });
  });
}

}  // namespace pellix::lab
