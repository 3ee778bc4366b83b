#include "tools/lab/lint.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>

#include "startup/settings.h"
#include "startup/tables.h"

namespace pellix::lab {

namespace {

constexpr size_t kLongestLine = TableLineSize - 1;

const char* const kWeaponFields[13] = {
    "muzzle speed",   "dragAlong",        "dragAcross",        "pierceCost",     "ricochetBonus",
    "tracerEvery",    "ammoTrailLength",  "tracerTrailLength", "ammoTrailWidth", "tracerTrailWidth",
    "ammoTrailAlpha", "tracerTrailAlpha", "tracerColour"};
const char* const kSurfaceFields[5] = {"ricochetThreshold", "ricochetAngleLoss", "ricochetKeep",
                                       "ricochetScatter", "pierceResistance"};
const char* const kSurfaceKeys[SurfaceClassCount] = {"N", "SP", "S", "W", "D", "C", "P"};

// What a value beyond the float range does: it is stored as an infinity of its sign.
struct Endless {
  const char* name;
  const char* plus;   // stored as inf
  const char* minus;  // stored as -inf
};
const Endless kEndless[] = {
    {"RangeMult", "no shot expires by time", "every shot has expired when it is made"},
    {"GravityMult", "with Gravity on, every force step would give an endless velocity and is "
                    "skipped (no gravity, no drag)", nullptr},
    {"MinSpeed", "every impact stops the round", "no round is too slow to go on after an impact"},
    {"ColBias", "no push-off and no sweep: a round that goes on starts from the hit point",
     nullptr},
    {"SolidBias", "the sweep out of a solid cannot take a step: there is no sweep", nullptr},
    {"TracerBloom", "tracers would be endlessly wide: no tracer strip is drawn", nullptr},
    {"RefractSize", "refraction strips would be endlessly wide: none is drawn", nullptr},
    {"AmRefractLen", "the refraction strip of a plain round never shows", nullptr},
    {"TrRefractLen", "the refraction strip of a tracer never shows", nullptr},
    {"AmTailBias", "plain rounds' strips would be endlessly bright: none is drawn",
     "plain rounds' strips would be endlessly dark: none is drawn"},
    {"TrTailBias", "tracers' strips would be endlessly bright: none is drawn",
     "tracers' strips would be endlessly dark: none is drawn"},
    {"dragAlong", "the drag along the path is at its cap (AirResist on)",
     "with AirResist on, every force step would give an endless velocity and is skipped"},
    {"dragAcross", "the drag across the path is at its cap (AirResist on)",
     "with AirResist on, every force step would give an endless velocity and is skipped"},
    {"pierceCost", "a round stops on its way out of any solid that resists",
     "a way out of a resisting solid would give endless energy: the round stops there"},
    {"ricochetBonus", "every hit against a surface may ricochet, at any angle",
     "no hit ricochets"},
    {"ammoTrailLength", "a plain round's trail never shows", nullptr},
    {"tracerTrailLength", "a tracer's trail never shows", nullptr},
    {"ammoTrailWidth", "a plain round's trail cannot be drawn: it is shrunk to its head", nullptr},
    {"tracerTrailWidth", "a tracer's trail cannot be drawn: it is shrunk to its head", nullptr},
    {"ricochetThreshold", "every hit against this surface may ricochet, at any angle",
     "no hit on this surface ricochets"},
    {"ricochetAngleLoss", "every ricochet off this surface keeps no speed", nullptr},
    {"ricochetKeep", "every ricochet off this surface keeps all its speed and damage",
     "every ricochet off this surface keeps no speed and no damage"},
    {"ricochetScatter", "every ricochet off this surface would scatter endlessly: the round "
                        "stops at the hit instead", nullptr},
    {"pierceResistance", "every round stops on its way out of this surface, unless it pierces "
                         "at no cost", "the surface cannot be pierced"},
};

// "NAME is beyond the float range: stored as inf, so ..." for a stored infinity.
std::string EndlessNote(const std::string& what, const char* name, float stored) {
  const bool plus = stored > 0.0f;
  std::string note = what + " is beyond the float range: stored as " + (plus ? "inf" : "-inf");
  for (const Endless& e : kEndless) {
    if (std::strcmp(e.name, name) != 0) continue;
    const char* meaning = plus || !e.minus ? e.plus : e.minus;
    note += std::string(", so ") + meaning;
  }
  return note;
}

struct IniKey {
  const char* section;
  const char* key;
  bool integer;
};
// The 21 keys in their order, then the drawing switch TracerBatch.
const IniKey kIniKeys[22] = {
    {"PELLIX", "MaxPellix", true},       {"PELLIX", "MaxWeapon", true},
    {"PHYSICS", "RangeMult", false},     {"PHYSICS", "Gravity", true},
    {"PHYSICS", "GravityMult", false},   {"PHYSICS", "AirResist", true},
    {"PHYSICS", "Ricochet", true},       {"PHYSICS", "Pierce", true},
    {"PHYSICS", "MaxLoop", true},        {"PHYSICS", "MinSpeed", false},
    {"PHYSICS", "ColBias", false},       {"PHYSICS", "SolidBias", false},
    {"PHYSICS", "SolidLoop", true},      {"GRAPHICS", "TracerType", true},
    {"GRAPHICS", "AfterEffect", true},   {"GRAPHICS", "TracerBloom", false},
    {"GRAPHICS", "RefractSize", false},  {"GRAPHICS", "AmRefractLen", false},
    {"GRAPHICS", "TrRefractLen", false}, {"GRAPHICS", "AmTailBias", false},
    {"GRAPHICS", "TrTailBias", false},   {"GRAPHICS", "TracerBatch", true}};

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Trim(const std::string& s) {
  const char* space = " \t\r\n\v\f\x1a";
  const size_t a = s.find_first_not_of(space);
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(space) - a + 1);
}

bool Blank(const std::string& s) { return Trim(s).empty(); }

std::string PathIn(const std::string& dir, const char* name) {
  return (std::filesystem::path(dir) / name).string();
}

class Collector {
 public:
  Collector(std::vector<Finding>& out, const char* file) : out_(out), file_(file) {}
  void Fault(int line, std::string reason) {
    out_.push_back({file_, line, true, std::move(reason)});
  }
  void Note(int line, std::string reason) {
    out_.push_back({file_, line, false, std::move(reason)});
  }

 private:
  std::vector<Finding>& out_;
  std::string file_;
};

// How many of a line's fields the scan stored. False when none: the line is ignored.
template <size_t N>
bool CheckFieldCount(Collector& c, int n, int stored, const char* const (&fields)[N],
                     const char* afterWhat) {
  if (stored <= 0) {
    c.Fault(n, std::string("no field could be read after ") + afterWhat + ": line ignored");
    return false;
  }
  if (stored < static_cast<int>(N)) {
    c.Fault(n, "only " + std::to_string(stored) + " of " + std::to_string(N) +
                   " fields read: the scan stopped at " + fields[stored] +
                   ", which with the fields after it keeps the row's earlier value");
  }
  return true;
}

// Checks shared by both data files. True when the reader goes on to look at the line's data.
bool CommonLineChecks(Collector& c, const std::vector<std::string>& lines, size_t i) {
  const std::string& line = lines[i];
  const int n = static_cast<int>(i + 1);
  if (!line.empty() && line[0] == '\0') {
    c.Fault(n, "the line starts with a NUL character, which ends the reading: the " +
                   std::to_string(lines.size() - i - 1) + " lines after it are never read");
    return false;
  }
  if (line.size() > kLongestLine) {
    c.Fault(n, "the line is " + std::to_string(line.size()) +
                   " characters long; the reader takes at most 1023 at a time, so the rest is "
                   "read as a line of its own");
  }
  if (!line.empty() && line[0] == ';') return false;
  if (Blank(line)) return false;
  const std::string trimmed = Trim(line);
  if (trimmed[0] == ';') {
    c.Note(n, "white space before ';' makes this a data line, not a comment (it stores nothing)");
    return false;
  }
  return true;
}

int32_t LintWeaponFile(std::vector<Finding>& out, const std::string& dir, int32_t weaponCount) {
  Collector c(out, "pellix_weapon.dat");
  std::vector<std::string> lines;
  if (!ReadLines(PathIn(dir, "pellix_weapon.dat"), lines)) {
    c.Fault(0, "the file cannot be opened: start-up stops and the plug-in stays inactive");
    return 0;
  }
  std::map<uint32_t, int> filledAt;
  for (size_t i = 0; i < lines.size(); ++i) {
    const int n = static_cast<int>(i + 1);
    if (!CommonLineChecks(c, lines, i)) {
      if (!lines[i].empty() && lines[i][0] == '\0') break;
      continue;
    }
    const std::string line = lines[i].substr(0, kLongestLine);
    const long index = std::atol(line.c_str());
    if (static_cast<uint32_t>(index) >= static_cast<uint32_t>(weaponCount)) {
      c.Fault(n, "weapon type " + std::to_string(index) + " is outside the table (types 0 to " +
                     std::to_string(weaponCount - 1) + ", set by MaxWeapon): line ignored");
      continue;
    }
    WeaponBallistics row{};
    if (!CheckFieldCount(c, n, ScanWeaponFields(line.c_str(), row), kWeaponFields,
                         "the weapon type")) {
      continue;
    }
    const float muzzle = row.speedFactor;
    ConvertWeaponRow(row);
    if (muzzle == 0.0f) {
      c.Fault(n, "muzzle speed 0: no shot of weapon type " + std::to_string(index) +
                     " can fly (every one is dead at once)");
    } else if (row.speedFactor == 0.0f) {
      c.Fault(n, std::string(std::isinf(muzzle) ? "muzzle speed beyond the float range: 25 / "
                                                  "speed is 0"
                                                : "muzzle speed so small that 25 / speed is no "
                                                  "float") +
                     ", so it is no muzzle speed: no shot of weapon type " +
                     std::to_string(index) + " can fly (every one is dead at once)");
    } else if (muzzle < 0.0f) {
      c.Fault(n, "negative muzzle speed: shots of weapon type " + std::to_string(index) +
                     " fly backwards");
    }
    const float* fields = &row.speedFactor;
    for (int k = 1; k < 10; ++k) {
      if (k != 5 && std::isinf(fields[k])) {
        c.Note(n, EndlessNote(kWeaponFields[k], kWeaponFields[k], fields[k]));
      }
    }
    const uint32_t r = static_cast<uint32_t>(index);
    if (auto it = filledAt.find(r); it != filledAt.end()) {
      c.Fault(n, "weapon type " + std::to_string(index) + " was already given at line " +
                     std::to_string(it->second) + "; this line overwrites it");
    }
    filledAt[r] = n;
  }
  if (filledAt.find(0) == filledAt.end()) {
    c.Fault(0,
            "weapon row 0 is not filled: every type without its own row falls back to it, "
            "and it has no muzzle speed");
  }
  return static_cast<int32_t>(filledAt.size());
}

void LintSurfaceFile(std::vector<Finding>& out, const std::string& dir) {
  Collector c(out, "pellix_surface.dat");
  std::vector<std::string> lines;
  if (!ReadLines(PathIn(dir, "pellix_surface.dat"), lines)) {
    c.Fault(0, "the file cannot be opened: start-up stops and the plug-in stays inactive");
    return;
  }
  std::map<int32_t, int> filledAt;
  for (size_t i = 0; i < lines.size(); ++i) {
    const int n = static_cast<int>(i + 1);
    if (!CommonLineChecks(c, lines, i)) {
      if (!lines[i].empty() && lines[i][0] == '\0') break;
      continue;
    }
    const std::string line = lines[i].substr(0, kLongestLine);
    const std::string word = line.substr(0, line.find_first_of(" \t\r\v\f"));
    const int32_t cls = SurfaceClassOfLine(line.c_str());
    if (cls < 0) {
      const std::string upper = [&] {
        std::string u = word;
        for (char& ch : u) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        return u;
      }();
      const bool lowerKey = std::islower(static_cast<unsigned char>(line[0])) &&
                            SurfaceClassOfLine(upper.c_str()) >= 0;
      if (lowerKey) {
        c.Fault(n, "surface key '" + word +
                       "' is in lower case; keys are upper case (N, SP, S, "
                       "W, D, C, P): line ignored");
      } else {
        c.Fault(n, "'" + word + "' is not a surface key (N, SP, S, W, D, C, P): line ignored");
      }
      continue;
    }
    if (word.size() >= 2 && word[0] == 'S' && word[1] == 'p') {
      c.Fault(n, "'" + word +
                     "' is read as key S (class 2), not SP: only an upper-case P after "
                     "the S makes class 1");
    }
    SurfaceBallistics row{};
    if (!CheckFieldCount(c, n, ScanSurfaceFields(line.c_str(), row), kSurfaceFields, "the key")) {
      continue;
    }
    ConvertSurfaceRow(row);
    const float* fields = &row.ricochetThreshold;
    for (int k = 0; k < 5; ++k) {
      if (std::isinf(fields[k])) {
        c.Note(n, EndlessNote(kSurfaceFields[k], kSurfaceFields[k], fields[k]));
      }
    }
    if (auto it = filledAt.find(cls); it != filledAt.end()) {
      c.Fault(n, std::string("surface class ") + kSurfaceKeys[cls] + " was already given at line " +
                     std::to_string(it->second) + "; this line overwrites it");
    }
    filledAt[cls] = n;
  }
  for (int32_t k = 0; k < SurfaceClassCount; ++k) {
    if (filledAt.find(k) == filledAt.end()) {
      c.Note(0, std::string("surface class ") + kSurfaceKeys[k] +
                    " has no line: its row stays zero (no ricochet, pierced at no cost)");
    }
  }
}

const IniKey* FindKey(const std::string& name) {
  for (const IniKey& k : kIniKeys)
    if (Lower(k.key) == Lower(name)) return &k;
  return nullptr;
}

void LintIniValue(Collector& c, int n, const IniKey& key, std::string value) {
  if (value.size() > 1 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
    value = value.substr(1, value.size() - 2);
  const std::string name = key.key;
  if (key.integer) {
    if (value.empty()) {
      c.Note(n, name + " is empty: the default is used");
      return;
    }
    const char* s = value.c_str();
    char* end = nullptr;
    const long v = std::strtol(s, &end, 0);
    if (end == s) {
      c.Fault(n, name + " = '" + value + "' is not a number: it reads as 0");
      return;
    }
    if (*end != '\0') {
      c.Fault(n, name + " = '" + value + "': the text after the number is ignored (it reads as " +
                     std::to_string(v) + ")");
    }
    if (name == "MaxPellix" && v < 1) c.Fault(n, "MaxPellix below 1: start-up stops");
    if (name == "MaxWeapon" && v < 0) c.Fault(n, "MaxWeapon below 0: start-up stops");
    return;
  }
  if (value.empty()) {
    c.Fault(n, name + " is empty: it reads as 0, not as the default");
    return;
  }
  // The runtime's reading takes decimal digits only: no "inf", "nan" or hexadecimal.
  std::string digits = value;
  if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) digits.erase(0, 1);
  const std::string lower = Lower(digits);
  if (lower.rfind("inf", 0) == 0 || lower.rfind("nan", 0) == 0 || lower.rfind("0x", 0) == 0) {
    c.Fault(n, name + " = '" + value + "' is not a decimal number: it reads as 0");
    return;
  }
  const char* s = value.c_str();
  char* end = nullptr;
  const double v = std::strtod(s, &end);
  // The scaled keys are stored times their factor, which can leave the float range too.
  const double factor = name == "RangeMult"     ? RangeFactor
                        : name == "GravityMult" ? GravityFactor
                        : name == "MinSpeed"    ? MinSpeedFactor
                                                : 1.0;
  const float stored = ScaleSetting(v, factor);
  if (end != s && std::isinf(stored)) {
    c.Note(n, EndlessNote(name + " = '" + value + "'", name.c_str(), stored));
  }
  if (end == s) {
    c.Fault(n, name + " = '" + value + "' is not a number: it reads as 0");
  } else if (*end != '\0') {
    c.Fault(n, name + " = '" + value + "': the text after the number is ignored (it reads as " +
                   FormatFixed(v, 4) + ")");
  }
}

// The settings file: unknown keys, keys in the wrong section, repeats, values that do not read.
void LintIniFile(std::vector<Finding>& out, const std::string& dir) {
  Collector c(out, "pellix.ini");
  std::vector<std::string> lines;
  if (!ReadLines(PathIn(dir, "pellix.ini"), lines)) {
    c.Note(0, "no settings file: every setting takes its default");
    return;
  }
  std::string section;
  std::map<std::string, int> sectionsAt;
  bool sectionRepeated = false;
  std::map<std::string, int> keysAt;  // "section/key" in lower case
  for (size_t i = 0; i < lines.size(); ++i) {
    const int n = static_cast<int>(i + 1);
    const std::string line = Trim(lines[i]);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[' && line.rfind(']') != std::string::npos && line.rfind(']') > 0) {
      section = Trim(line.substr(1, line.rfind(']') - 1));
      const std::string lower = Lower(section);
      sectionRepeated = sectionsAt.count(lower) != 0;
      if (sectionRepeated) {
        c.Fault(n, "section [" + section + "] was already opened at line " +
                       std::to_string(sectionsAt[lower]) +
                       ": only the first one is read, so "
                       "every key below is ignored");
      } else {
        sectionsAt[lower] = n;
      }
      if (lower != "pellix" && lower != "physics" && lower != "graphics") {
        c.Fault(n, "[" + section +
                       "] is not a section that is read (PELLIX, PHYSICS, "
                       "GRAPHICS)");
      }
      continue;
    }
    const size_t eq = line.find('=');
    const std::string name = Trim(line.substr(0, eq));
    const IniKey* key = FindKey(name);
    if (!key) {
      c.Fault(n, "'" + name + "' is not one of the 22 keys: ignored");
      continue;
    }
    if (Lower(section) != Lower(key->section)) {
      c.Fault(n, std::string(key->key) + " belongs in [" + key->section + "]" +
                     (section.empty() ? std::string(", not before any section")
                                      : ", not in [" + section + "]") +
                     ": ignored");
      continue;
    }
    if (sectionRepeated) continue;
    const std::string id = Lower(section) + "/" + Lower(name);
    if (keysAt.count(id)) {
      c.Fault(n, std::string(key->key) + " was already set at line " + std::to_string(keysAt[id]) +
                     ": only the first value is read");
      continue;
    }
    keysAt[id] = n;
    if (eq == std::string::npos) {
      c.Fault(n, std::string(key->key) + " has no '=': the default is used");
      continue;
    }
    LintIniValue(c, n, *key, Trim(line.substr(eq + 1)));
  }
}

}  // namespace

bool ReadLines(const std::string& path, std::vector<std::string>& lines) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  std::string text;
  char chunk[4096];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, n);
  std::fclose(file);
  lines.clear();
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    pos = end + 1;
  }
  return true;
}

std::vector<Finding> LintFolder(const std::string& dir) {
  std::vector<Finding> findings;
  LintIniFile(findings, dir);
  // The table size comes from the settings as start-up reads them.
  Settings s{};
  std::string iniPath = std::filesystem::absolute(PathIn(dir, "pellix.ini")).string();
  ReadSettings(SystemProfile(), iniPath.c_str(), s);
  LintWeaponFile(findings, dir, s.weaponCount);
  LintSurfaceFile(findings, dir);
  return findings;
}

Table FindingsTable(const std::vector<Finding>& findings) {
  Table t;
  t.title = "lint";
  t.columns = {"file", "line", "kind", "reason"};
  for (const Finding& f : findings) {
    t.rows.push_back(
        {Text(f.file), Integer(f.line), Text(f.fault ? "fault" : "note"), Text(f.reason)});
  }
  return t;
}

bool AnyFault(const std::vector<Finding>& findings) {
  for (const Finding& f : findings)
    if (f.fault) return true;
  return false;
}

std::string FindingText(const Finding& f) {
  std::string text = f.file;
  if (f.line > 0) text.append(":").append(std::to_string(f.line));
  text.append(f.fault ? ": " : ": note: ").append(f.reason);
  return text;
}

}  // namespace pellix::lab
