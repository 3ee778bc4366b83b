#include "tools/lab/setting_override.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "startup/settings.h"

namespace pellix::lab {

namespace {

struct IniKey {
  std::string section, key;
  bool integer;
};

// The keys are those start-up asks the profile reader for, in its order: a reader that only
// takes note of each question gives them, so the list cannot drift from start-up's.
std::vector<IniKey>* asked = nullptr;

int32_t NoteInt(const char* section, const char* key, int32_t fallback, const char*) {
  asked->push_back({section, key, true});
  return fallback;
}

uint32_t NoteString(const char* section, const char* key, const char*, char* out, uint32_t size,
                    const char*) {
  asked->push_back({section, key, false});
  if (size > 0) out[0] = '\0';
  return 0;
}

const std::vector<IniKey>& IniKeys() {
  static const std::vector<IniKey> keys = [] {
    std::vector<IniKey> list;
    asked = &list;
    Settings ignored{};
    ReadSettings(ProfileReader{&NoteInt, &NoteString}, "", ignored);
    asked = nullptr;
    return list;
  }();
  return keys;
}

bool SameLetters(const std::string& a, const std::string& b) {
  const auto lower = [](char c) { return std::tolower(static_cast<unsigned char>(c)); };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return lower(x) == lower(y); });
}

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
  const IniKey* found = nullptr;
  const IniKey* elsewhere = nullptr;
  for (const IniKey& k : IniKeys()) {
    if (!SameLetters(k.key, key)) continue;
    (SameLetters(k.section, section) ? found : elsewhere) = &k;
  }
  if (!found) {
    error = name + " is not a setting";
    if (elsewhere) {
      error += ": " + elsewhere->key + " belongs in [" + elsewhere->section + "], so " +
               elsewhere->section + "/" + elsewhere->key;
    } else {
      error += " (SECTION/Key, as in pellix.ini: PHYSICS/Gravity, GRAPHICS/TracerType, ...)";
    }
    return false;
  }
  const std::string number = Trim(value);
  if (!DecimalNumber(number, found->integer)) {
    error = found->section + "/" + found->key + " = '" + value + "' is not " +
            (found->integer ? "a whole number" : "a decimal number") +
            ": the game would read it as 0 or cut it short";
    return false;
  }
  out[found->section + "/" + found->key] = number;
  return true;
}

}  // namespace pellix::lab
