#include "tools/lab/setting_override.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "startup/profile_lines.h"
#include "startup/setting_keys.h"

namespace pellix::lab {

namespace {

size_t Digits(const std::string& s, size_t i) {
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
  return i;
}

// [+-]digits for an integer key; [+-]digits[.digits][e[+-]digits] (or .digits) otherwise.
// inf, nan and hexadecimal are left out: the game's runtime reads them as 0.
bool DecimalNumber(const std::string& s, bool integer) {
  size_t i = s.empty() || (s[0] != '+' && s[0] != '-') ? 0 : 1;
  const size_t whole = Digits(s, i);
  size_t end = whole;
  bool any = whole > i;
  if (!integer && end < s.size() && s[end] == '.') {
    const size_t fraction = Digits(s, end + 1);
    any = any || fraction > end + 1;
    end = fraction;
  }
  if (!any) return false;
  if (!integer && end < s.size() && (s[end] == 'e' || s[end] == 'E')) {
    size_t e = end + 1;
    if (e < s.size() && (s[e] == '+' || s[e] == '-')) ++e;
    const size_t exponent = Digits(s, e);
    if (exponent == e) return false;
    end = exponent;
  }
  if (end != s.size()) return false;
  if (!integer) return true;
  errno = 0;
  const long long v = std::strtoll(s.c_str(), nullptr, 10);
  return errno == 0 && v >= INT32_MIN && v <= INT32_MAX;
}

std::string Trim(const std::string& s) {
  const char* space = " \t";
  const size_t a = s.find_first_not_of(space);
  return a == std::string::npos ? "" : s.substr(a, s.find_last_not_of(space) - a + 1);
}

}  // namespace

bool AddSettingOverride(const std::string& name, const std::string& value,
                        std::map<std::string, std::string>& out, std::string& error) {
  const size_t slash = name.find('/');
  const std::string section = Trim(name.substr(0, slash));
  const std::string key = slash == std::string::npos ? "" : Trim(name.substr(slash + 1));
  const SettingKey* known = FindSettingKey(key);
  if (known == nullptr) {
    error = name + " is not a setting (SECTION/Key, as in pellix.ini: PHYSICS/Gravity, " +
            "GRAPHICS/TracerType, ...)";
    return false;
  }
  const std::string id = std::string(known->section) + "/" + known->key;
  if (!SameProfileName(section, known->section)) {
    error = name + " is not a setting: " + known->key + " belongs in [" + known->section +
            "], so " + id;
    return false;
  }
  const std::string number = Trim(value);
  if (!DecimalNumber(number, known->integer)) {
    error = id + " = '" + value + "' is not " +
            (known->integer ? "a whole number" : "a decimal number") +
            ": the game would read it as 0 or cut it short";
    return false;
  }
  out[id] = number;
  return true;
}

}  // namespace pellix::lab
