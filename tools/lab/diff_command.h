// The `diff` command line.
#pragma once
#include <CLI/CLI.hpp>

namespace pellix::lab {

// Adds `diff` to `app`; its run leaves the exit status in `status` (0 nothing a player would
// notice, 1 something, 2 an error).
void AddDiffCommand(CLI::App& app, int& status);

}  // namespace pellix::lab
