// `pellix-lab show DIR`: what start-up reads from a data folder, as the documented JSON
// (README, "pellix-lab show"). Keep its fields stable: scripts read them.
#pragma once
#include <ostream>
#include <string>

namespace pellix::lab {

// Runs the plug-in's start-up (steps 1 to 5; no hooks) with DIR as the executable's folder and
// prints {"dataFolder", "files", "settings", "weapons", "surfaces", "startup"}. Returns 0 when
// start-up went through, 1 when it stopped ("startup" says why).
int PrintShowJson(const std::string& dir, std::ostream& out);

}  // namespace pellix::lab
