// `watch DIR`: lint and a one-line-per-weapon range summary, printed again each time one of the
// folder's three files changes, until Ctrl+C.
#pragma once
#include <CLI/CLI.hpp>
#include <functional>
#include <ostream>
#include <string>

#include "tools/lab/cli_options.h"
#include "tools/lab/range.h"

namespace pellix::lab {

struct WatchOptions {
  CommonOptions common;
  RangeOptions range;
  double intervalSeconds = 0.5;  // between two looks at the files' stamps
  int runs = 0;                  // stop after this many runs; 0: until Ctrl+C
};

// One run: lint, then the summary of every filled weapon row.
void PrintWatchRun(const std::string& dir, const WatchOptions& options, std::ostream& out);

// Runs once, then again after each change of a file's stamp; `wait` sleeps one interval and
// returns false to stop. Returns the exit status.
int Watch(const std::string& dir, const WatchOptions& options, std::ostream& out,
          const std::function<bool()>& wait);

void AddWatchCommand(CLI::App& app, int& status);

}  // namespace pellix::lab
