// Settings given on the command line (--set) or in a scenario, checked against the keys that
// start-up reads before any run.
#pragma once
#include <map>
#include <string>

namespace pellix::lab {

// Puts `name` ("SECTION/Key", in any letter case, as the INI file takes it) with `value` into
// `out` under start-up's own spelling of the key. False with `error` when start-up reads no
// such key, or when the value is not a decimal number (a whole number for an integer key):
// the INI reader would take such a value as 0 or cut it short without a word.
bool AddSettingOverride(const std::string& name, const std::string& value,
                        std::map<std::string, std::string>& out, std::string& error);

}  // namespace pellix::lab
