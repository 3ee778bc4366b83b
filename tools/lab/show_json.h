// `pellix-lab show DIR`: what start-up reads from a data folder, as the documented JSON
// (README, "pellix-lab show"). Keep its fields stable: scripts read them.
#pragma once
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "startup/settings.h"

namespace pellix::lab {

// Runs the plug-in's start-up (steps 1 to 5; no hooks) with DIR as the executable's folder and
// prints {"dataFolder", "files", "settings", "weapons", "surfaces", "startup"}. Returns 0 when
// start-up went through, 1 when it stopped ("startup" says why).
int PrintShowJson(const std::string& dir, std::ostream& out);

// The parts of that JSON, from what start-up stored: every setting by name, the weapon rows with
// any non-zero field, all surface rows.
nlohmann::ordered_json SettingsJson(const Settings& settings);
nlohmann::ordered_json WeaponsJson();
nlohmann::ordered_json SurfacesJson();

}  // namespace pellix::lab
