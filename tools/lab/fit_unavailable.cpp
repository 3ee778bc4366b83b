// The lab's Windows build has no optimizer library: `fit` says so instead of running.
#include <iostream>

#include "tools/lab/fit_command.h"

namespace pellix::lab {

void AddFitCommand(CLI::App& app, int& status) {
  auto* fit = app.add_subcommand(
      "fit", "fit a weapon row's values to range or penetration targets (Linux build only)");
  fit->allow_extras();
  fit->callback([&status] {
    std::cerr << "pellix-lab: fit needs the Linux build of the lab (this build has no NLopt "
                 "optimizer); the data files it writes are the same on Windows\n";
    status = 2;
  });
}

}  // namespace pellix::lab
