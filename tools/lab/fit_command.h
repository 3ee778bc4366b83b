// The `fit` command line. Builds with NLopt have the fit itself (fit_command.cpp); the others
// have a command that says where to find it (fit_unavailable.cpp).
#pragma once
#include <CLI/CLI.hpp>

namespace pellix::lab {

// Adds `fit` to `app`; its run leaves the exit status in `status`.
void AddFitCommand(CLI::App& app, int& status);

}  // namespace pellix::lab
