// The crosscheck's comparison of the stand-in's result with the lab's (both in the lab's
// result form). Portable.
#pragma once
#include <nlohmann/json.hpp>
#include <string>

namespace standin {

// The first value where the two differ, as "frame 3.records[0].damage: lab 140, stand-in 40"
// (floats with their bits), or empty when they agree. Not compared: the scenario's name, the
// outcome name and the two impact flags the stand-in cannot see.
std::string FirstResultDifference(nlohmann::json lab, nlohmann::json standin);

}  // namespace standin
