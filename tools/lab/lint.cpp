#include "tools/lab/lint.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string_view>

#include "startup/data_faults.h"
#include "startup/profile_lines.h"
#include "startup/setting_keys.h"
#include "startup/settings.h"
#include "startup/tables.h"
#include "tools/lab/lab_session.h"
#include "tools/lab/weapon_line.h"

namespace pellix::lab {

namespace {

// The names the plug-in's own fault checks print.
const auto& kWeaponFields = weaponFieldNames;
const auto& kSurfaceFields = surfaceFieldNames;
const auto& kSurfaceKeys = surfaceKeyNames;

// What a value beyond the float range does: it is stored as an infinity of its sign.
struct Endless {
  const char* name;
  const char* plus;   // stored as inf
  const char* minus;  // stored as -inf
};
const Endless kEndless[] = {
    {"RangeMult", "no shot expires by time", "every shot has expired when it is made"},
    {"GravityMult", "with Gravity on, the first force step gives an endless velocity: every "
                    "round ends there", nullptr},
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
     "with AirResist on, the first force step gives an endless velocity: the round ends there"},
    {"dragAcross", "the drag across the path is at its cap (AirResist on)",
     "with AirResist on, the first force step gives an endless velocity: the round ends there"},
    {"pierceCost", "a round stops on its way out of any solid that resists",
     "a way out of a resisting solid would give endless energy: the round stops there"},
    {"ricochetBonus", "every hit against a surface may ricochet, at any angle", "no hit ricochets"},
    {"ammoTrailLength", "a plain round's trail never shows", nullptr},
    {"tracerTrailLength", "a tracer's trail never shows", nullptr},
    {"ammoTrailWidth", "a plain round's trail cannot be drawn: it is shrunk to its head", nullptr},
    {"tracerTrailWidth", "a tracer's trail cannot be drawn: it is shrunk to its head", nullptr},
    {"ricochetThreshold", "every hit against this surface may ricochet, at any angle",
     "no hit on this surface ricochets"},
    {"ricochetAngleLoss", "every ricochet off this surface keeps no speed", nullptr},
    {"ricochetKeep", "every ricochet off this surface keeps all its speed and damage",
     "every ricochet off this surface keeps no speed and no damage"},
    {"ricochetScatter",
     "every ricochet off this surface would scatter endlessly: the round "
     "stops at the hit instead",
     nullptr},
    {"pierceResistance",
     "every round stops on its way out of this surface, unless it pierces "
     "at no cost",
     "the surface cannot be pierced"},
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

// A value as people write it: 0.008, 1.5, 625.
std::string Shown(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g", value);
  return buffer;
}

// A line as it can be quoted (the reload's fault lines quote the same way).
std::string Quoted(std::string_view line) {
  char quoted[QuotedTextSize];
  QuoteText(line.data(), line.size(), quoted);
  return quoted;
}

class Collector {
 public:
  Collector(std::vector<Finding>& out, const char* file) : out_(out), file_(file) {}
  // The line the next findings are about, and its text.
  void At(int line, std::string text) {
    line_ = line;
    text_ = std::move(text);
  }
  // Put before each reason: where in a long line the read began.
  void Prefix(std::string prefix) { prefix_ = std::move(prefix); }
  void Fault(std::string reason) { Add(true, false, std::move(reason)); }
  void Warn(std::string reason) { Add(false, true, std::move(reason)); }
  void Note(std::string reason) { Add(false, false, std::move(reason)); }
  // Findings about the file as a whole.
  void FileFault(std::string reason) { AddForFile(true, false, std::move(reason)); }
  void FileWarn(std::string reason) { AddForFile(false, true, std::move(reason)); }
  void FileNote(std::string reason) { AddForFile(false, false, std::move(reason)); }

 private:
  void Add(bool fault, bool warning, std::string reason) {
    out_.push_back({file_, line_, fault, warning, prefix_ + std::move(reason), text_});
  }
  void AddForFile(bool fault, bool warning, std::string reason) {
    out_.push_back({file_, 0, fault, warning, std::move(reason), ""});
  }
  std::vector<Finding>& out_;
  std::string file_;
  int line_ = 0;
  std::string text_;
  std::string prefix_;
};

// One read of a data file's reader: a line, or a part of a line longer than it takes at once.
struct DataRead {
  int line;         // 1-based line of the file
  size_t from;      // chars of the same line before this read
  std::string raw;  // the chars read, NULs included
  bool lineGoesOn = false;
  const char* chars() const { return raw.c_str(); }  // as the reader takes them: up to a NUL
};

// The file read as start-up reads it, through the same reader. False, with a fault, when it
// cannot be opened; a byte-order mark is noted.
bool ReadDataFile(Collector& c, const std::string& dir, const char* name,
                  std::vector<DataRead>& reads) {
  std::FILE* file = std::fopen(PathIn(dir, name).c_str(), "r");  // text mode, as start-up's
  if (!file) {
    c.FileFault("the file cannot be opened: start-up stops and the plug-in stays inactive");
    return false;
  }
  TableLineReader reader(file);
  char line[TableLineSize];
  int number = 1;
  size_t from = 0;
  while (reader.Next(line)) {
    reads.push_back({number, from, std::string(line, reader.Length()), !reader.LineEnded()});
    if (reader.LineEnded()) {
      ++number;
      from = 0;
    } else {
      from += reader.Length();
    }
  }
  std::fclose(file);
  if (reader.SkippedByteOrderMark()) {
    c.At(1, Quoted(reads.empty() ? "" : reads[0].raw));
    c.Note("the file starts with a UTF-8 byte-order mark, which start-up skips");
  }
  return true;
}

// The number of values after the line's first word against the fields expected, and how many
// fields the scan stored. False when the scan stored none: the line is ignored.
template <size_t N>
bool CheckFields(Collector& c, const char* line, int stored, const char* const (&fields)[N],
                 const char* afterWhat, float first) {
  if (stored <= 0) {
    c.Fault(std::string("no field could be read after ") + afterWhat + ": line ignored");
    return false;
  }
  const int values = CountWords(line) - 1;
  const int expected = static_cast<int>(N);
  std::string scanStop;
  if (stored < expected) {
    scanStop = std::string("the scan stopped at ") + fields[stored] +
               ", which with the fields after it keeps the row's earlier value";
  }
  if (values < expected) {
    // Every value after a missing one is read into the field before its own: the scan alone
    // cannot see it (a "8.0" read as an integer even leaves ".0" for the next field).
    c.Fault(std::to_string(values) + " values after " + afterWhat + ", " +
            std::to_string(expected) + " expected: a missing value moves every value after it " +
            "one column to the left (" + fields[0] + " reads as " + Shown(first) + ")" +
            (scanStop.empty() ? "" : "; " + scanStop));
    return true;
  }
  if (stored < expected) {
    c.Fault("only " + std::to_string(stored) + " of " + std::to_string(expected) +
            " fields read: " + scanStop);
  } else if (values > expected) {
    c.Warn(std::to_string(values) + " values after " + afterWhat + ", " + std::to_string(expected) +
           " expected: the last " + std::to_string(values - expected) +
           " are ignored (a value added in the middle moves the ones after it one column right)");
  }
  return true;
}

// Checks shared by both data files. True when the reader goes on to look at the line's data.
bool CommonLineChecks(Collector& c, const std::vector<DataRead>& reads, size_t i) {
  const DataRead& read = reads[i];
  c.At(read.line, Quoted(read.raw));
  c.Prefix(read.from > 0 ? "from character " + std::to_string(read.from + 1) +
                               " on, read as a line of its own: "
                         : "");
  if (read.from == 0 && read.lineGoesOn) {
    std::string whole;
    bool more = false;  // anything but the line end after the first read
    for (size_t k = i; k < reads.size() && reads[k].line == read.line; ++k) {
      whole += reads[k].raw;
      more = more || (k > i && !Blank(reads[k].raw));
    }
    while (!whole.empty() && (whole.back() == '\n' || whole.back() == '\r')) whole.pop_back();
    if (more) {
      c.Fault("the line is " + std::to_string(whole.size()) + " characters long; the reader " +
              "takes at most " + std::to_string(TableLineSize - 1) +
              " at a time, so the rest is read as a line of its own");
    }
  }
  const char* line = read.chars();
  if (line[0] == '\0') {
    const int after = reads.back().line - read.line;
    c.Fault("the line starts with a NUL character, which ends the reading: the " +
            std::to_string(after) + " lines after it are never read");
    return false;
  }
  if (line[0] == ';') return false;
  const std::string text = line;
  if (Blank(text)) return false;
  if (Trim(text)[0] == ';') {
    c.Note("white space before ';' makes this a data line, not a comment (it stores nothing)");
    return false;
  }
  return true;
}

// Runs of weapon types 1 to count - 1 that no line fills, first and last of each.
template <typename Rows>
std::vector<std::pair<uint32_t, uint32_t>> TypesWithoutLine(const Rows& filled, int32_t count) {
  std::vector<std::pair<uint32_t, uint32_t>> runs;
  if (count < 1) return runs;  // start-up stops: MaxWeapon has a fault of its own
  uint32_t next = 1;           // row 0 has a fault of its own
  const auto gapUpTo = [&](uint32_t end) {
    if (end > next) runs.push_back({next, end - 1});
  };
  for (const auto& [row, stored] : filled) {
    if (row == 0) continue;
    gapUpTo(row);
    next = row + 1;
  }
  gapUpTo(static_cast<uint32_t>(count));
  return runs;
}

// Legal weapon values that break play or are almost surely typos: the fields that the line
// itself stored, as it gives them.
void WeaponPlausibility(Collector& c, const WeaponBallistics& row, int stored) {
  // With AirResist on, a step of one time unit (40 ms) takes 0.2 x min(drag, 1) off each part.
  const float* fields = &row.speedFactor;
  const char* const tooHigh[2] = {
      "each 40 ms step takes 20 % of the speed off, the most that drag can: two thirds of it "
      "within 200 ms",
      "each 40 ms step takes 20 % off the motion across the path, the most that drag can: the "
      "wind carries the round along at once"};
  const char* const negative[2] = {"the round speeds up as it flies",
                                   "its motion across the path grows as it flies"};
  for (int k : {1, 2}) {
    const float drag = fields[k];
    if (k >= stored || std::isinf(drag)) continue;
    if (drag >= 1.0f || drag < 0.0f) {
      c.Warn(std::string(kWeaponFields[k]) + " " + Shown(drag) +
             (drag >= 1.0f ? " is at or above 1 per time step" : " is negative") +
             ": with AirResist on, " + (drag >= 1.0f ? tooHigh : negative)[k - 1]);
    }
  }
  if (stored > 5 && row.tracerEvery < 0) {
    const std::string every = std::to_string(-static_cast<int64_t>(row.tracerEvery));
    c.Warn("tracerEvery " + std::to_string(row.tracerEvery) + " is below 0: it works as " + every +
           " (one round in " + every + " is a tracer)");
  }
  const int32_t alphas[2] = {row.ammoTrailAlpha, row.tracerTrailAlpha};
  for (int k = 0; k < 2; ++k) {
    if (stored > 10 + k && (alphas[k] < 0 || alphas[k] > 255)) {
      c.Warn(std::string(kWeaponFields[10 + k]) + " " + std::to_string(alphas[k]) +
             " is outside 0 to 255: only its low byte counts, so it is drawn with alpha " +
             std::to_string(alphas[k] & 0xFF));
    }
  }
  if (stored > 12 && row.tracerEvery != 0) {
    char colour[16];
    std::snprintf(colour, sizeof colour, "0x%08X", static_cast<unsigned>(row.tracerColour));
    if ((row.tracerColour >> 24) == 0) {
      c.Warn(std::string("tracerColour ") + colour + " has alpha 00 (its first two hexadecimal " +
             "digits): this weapon's tracers are drawn invisible");
    } else if ((row.tracerColour & 0xFFFFFFu) == 0) {
      c.Warn(std::string("tracerColour ") + colour + " is black: tracers are drawn by adding " +
             "their colour to the scene, so this weapon's tracers are invisible");
    }
  }
}

// The last line that stored a weapon row, and the row's muzzle speed from it.
struct StoredRow {
  int line;
  std::string text;
  float speedFactor;
};

void LintWeaponFile(std::vector<Finding>& out, const std::string& dir, const Settings& s) {
  Collector c(out, "pellix_weapon.dat");
  std::vector<DataRead> reads;
  if (!ReadDataFile(c, dir, "pellix_weapon.dat", reads)) return;
  const int32_t weaponCount = s.weaponCount;
  std::map<uint32_t, StoredRow> rows;
  for (size_t i = 0; i < reads.size(); ++i) {
    if (!CommonLineChecks(c, reads, i)) {
      if (reads[i].chars()[0] == '\0') break;
      continue;
    }
    const char* line = reads[i].chars();
    const long index = std::atol(line);
    if (static_cast<uint32_t>(index) >= static_cast<uint32_t>(weaponCount)) {
      c.Fault("weapon type " + std::to_string(index) + " is outside the table (types 0 to " +
              std::to_string(weaponCount - 1) + ", set by MaxWeapon): line ignored");
      continue;
    }
    WeaponBallistics row{};
    const int fields = ScanWeaponFields(line, row);
    if (!CheckFields(c, line, fields, kWeaponFields, "the weapon type", row.speedFactor)) continue;
    WeaponPlausibility(c, row, fields);
    const float muzzle = row.speedFactor;
    ConvertWeaponRow(row);
    if (muzzle == 0.0f) {
      c.Fault("muzzle speed 0: no shot of weapon type " + std::to_string(index) +
              " can fly (every one is dead at once)");
    } else if (row.speedFactor == 0.0f) {
      c.Fault(std::string(std::isinf(muzzle) ? "muzzle speed beyond the float range: 25 / "
                                               "speed is 0"
                                             : "muzzle speed so small that 25 / speed is no "
                                               "float") +
              ", so it is no muzzle speed: no shot of weapon type " + std::to_string(index) +
              " can fly (every one is dead at once)");
    } else if (muzzle < 0.0f) {
      c.Fault("negative muzzle speed: shots of weapon type " + std::to_string(index) +
              " fly backwards");
    }
    const float* values = &row.speedFactor;
    for (int k = 1; k < 10; ++k) {
      if (k < fields && k != 5 && std::isinf(values[k])) {
        c.Note(EndlessNote(kWeaponFields[k], kWeaponFields[k], values[k]));
      }
    }
    const uint32_t r = static_cast<uint32_t>(index);
    if (auto it = rows.find(r); it != rows.end()) {
      c.Fault("weapon type " + std::to_string(index) + " was already given at line " +
              std::to_string(it->second.line) + "; this line overwrites it");
    }
    // The muzzle speed is the first field of every line that stores anything.
    rows[r] = {reads[i].line, Quoted(reads[i].raw), row.speedFactor};
  }
  c.Prefix("");
  if (rows.find(0) == rows.end()) {
    c.FileFault(
        "weapon row 0 is not filled: no shot of weapon type 0 can fly, nor of any type "
        "above MaxWeapon, which uses row 0");
  }
  for (const auto& [first, last] : TypesWithoutLine(rows, weaponCount)) {
    const bool one = first == last;
    c.FileWarn(
        (one ? "weapon type " + std::to_string(first) + " has"
             : "weapon types " + std::to_string(first) + " to " + std::to_string(last) + " have") +
        " no line (MaxWeapon " + std::to_string(weaponCount - 1) + "): " +
        (one ? "its speedFactor is 0, so no shot of it"
             : "their speedFactor is 0, so no "
               "shot of them") +
        " can fly; only types above MaxWeapon use row 0");
  }
  // The speed floor of every impact, against each row's muzzle speed (a round that only slows
  // below it later is the range table's to show).
  const float floor = s.minSpeedScaled;
  if (std::isinf(floor)) return;  // a note on MinSpeed says that every impact stops the round
  for (const auto& [r, row] : rows) {
    if (row.speedFactor <= 0.0f) continue;
    const float speed = 1.0f / row.speedFactor;  // per time step, as a new round flies
    if (speed >= floor) continue;
    c.At(row.line, row.text);
    c.Warn("weapon type " + std::to_string(r) + ": muzzle speed " +
           FormatFixed(MuzzleSpeed(row.speedFactor), 1) + " units/s is below the speed floor " +
           "of " + FormatFixed(static_cast<double>(floor) * 25.0, 1) + " units/s (MinSpeed " +
           Shown(static_cast<double>(floor) / 25.0) + " x 625): every hit of it stops the " +
           "round and deals nothing");
  }
}

void LintSurfaceFile(std::vector<Finding>& out, const std::string& dir) {
  Collector c(out, "pellix_surface.dat");
  std::vector<DataRead> reads;
  if (!ReadDataFile(c, dir, "pellix_surface.dat", reads)) return;
  std::map<int32_t, int> filledAt;
  for (size_t i = 0; i < reads.size(); ++i) {
    if (!CommonLineChecks(c, reads, i)) {
      if (reads[i].chars()[0] == '\0') break;
      continue;
    }
    const std::string line = reads[i].chars();
    const std::string word = line.substr(0, line.find_first_of(" \t\r\n\v\f"));
    const int32_t cls = SurfaceClassOfLine(line.c_str());
    if (cls < 0) {
      std::string upper = word;
      for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      const bool lowerKey = std::islower(static_cast<unsigned char>(line[0])) &&
                            SurfaceClassOfLine(upper.c_str()) >= 0;
      if (lowerKey) {
        c.Fault("surface key '" + word + "' is in lower case; keys are upper case (N, SP, S, W, " +
                "D, C, P): line ignored");
      } else {
        c.Fault("'" + Quoted(word) + "' is not a surface key (N, SP, S, W, D, C, P): line " +
                "ignored");
      }
      continue;
    }
    if (word.size() >= 2 && word[0] == 'S' && word[1] == 'p') {
      c.Fault("'" + word + "' is read as key S (class 2), not SP: only an upper-case P after " +
              "the S makes class 1");
    }
    SurfaceBallistics row{};
    const int fields = ScanSurfaceFields(line.c_str(), row);
    if (!CheckFields(c, line.c_str(), fields, kSurfaceFields, "the key", row.ricochetThreshold)) {
      continue;
    }
    if (fields > 2 && row.ricochetKeep > 1.0f && !std::isinf(row.ricochetKeep)) {
      c.Warn("ricochetKeep " + Shown(row.ricochetKeep) + " is above 1: every ricochet off this " +
             "surface keeps all its speed and damage, at any angle");
    }
    ConvertSurfaceRow(row);
    const float* values = &row.ricochetThreshold;
    for (int k = 0; k < fields; ++k) {
      if (std::isinf(values[k]))
        c.Note(EndlessNote(kSurfaceFields[k], kSurfaceFields[k], values[k]));
    }
    if (auto it = filledAt.find(cls); it != filledAt.end()) {
      c.Fault(std::string("surface class ") + kSurfaceKeys[cls] + " was already given at line " +
              std::to_string(it->second) + "; this line overwrites it");
    }
    filledAt[cls] = reads[i].line;
  }
  if (filledAt.empty()) {
    c.FileFault(
        "no line fills a surface class: every surface row stays zero (no ricochet, "
        "pierced at no cost)");
    return;
  }
  for (int32_t k = 0; k < SurfaceClassCount; ++k) {
    if (filledAt.find(k) == filledAt.end()) {
      c.FileNote(std::string("surface class ") + kSurfaceKeys[k] +
                 " has no line: its row stays zero (no ricochet, pierced at no cost)");
    }
  }
}

void LintIniValue(Collector& c, const SettingKey& key, std::string value) {
  if (value.size() > 1 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
    value = value.substr(1, value.size() - 2);
  const std::string name = key.key;
  if (key.integer) {
    if (value.empty()) {
      c.Note(name + " is empty: the default is used");
      return;
    }
    const char* s = value.c_str();
    char* end = nullptr;
    const long v = std::strtol(s, &end, 0);
    if (end == s) {
      c.Fault(name + " = '" + value + "' is not a number: it reads as 0");
      return;
    }
    if (*end != '\0') {
      c.Fault(name + " = '" + value + "': the text after the number is ignored (it reads as " +
              std::to_string(v) + ")");
    }
    if (name == "MaxPellix" && v < 1) c.Fault("MaxPellix below 1: start-up stops");
    if (name == "MaxWeapon" && v < 0) c.Fault("MaxWeapon below 0: start-up stops");
    return;
  }
  if (value.empty()) {
    c.Fault(name + " is empty: it reads as 0, not as the default");
    return;
  }
  // The runtime's reading takes decimal digits only: no "inf", "nan" or hexadecimal.
  std::string digits = value;
  if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) digits.erase(0, 1);
  const std::string lower = Lower(digits);
  if (lower.rfind("inf", 0) == 0 || lower.rfind("nan", 0) == 0 || lower.rfind("0x", 0) == 0) {
    c.Fault(name + " = '" + value + "' is not a decimal number: it reads as 0");
    return;
  }
  const char* s = value.c_str();
  char* end = nullptr;
  const double v = std::strtod(s, &end);
  // The scaled keys are stored times their factor, which can leave the float range too.
  const float stored = ScaleSetting(v, key.factor);
  if (end != s && std::isinf(stored)) {
    c.Note(EndlessNote(name + " = '" + value + "'", name.c_str(), stored));
  }
  if (end == s) {
    c.Fault(name + " = '" + value + "' is not a number: it reads as 0");
  } else if (*end != '\0') {
    c.Fault(name + " = '" + value + "': the text after the number is ignored (it reads as " +
            FormatFixed(v, 4) + ")");
  }
}

// Settings that start-up stores as given but that are almost surely typos, at the line that
// set them (a missing key takes its default, which is fine).
void IniPlausibility(Collector& c, const Settings& s,
                     const std::map<std::string, std::pair<int, std::string>>& setAt) {
  const auto at = [&](const char* id) {
    const auto it = setAt.find(id);
    if (it == setAt.end()) return false;
    c.At(it->second.first, it->second.second);
    return true;
  };
  if (s.MaxLoop < 1 && at("physics/maxloop")) {
    c.Warn("MaxLoop " + std::to_string(s.MaxLoop) + " is below 1: a round that ricochets or " +
           "pierces is not stepped again in that frame, and loses the rest of the frame's " +
           "flight at every such impact");
  }
  if ((s.TracerType < 0 || s.TracerType > 2) && at("graphics/tracertype")) {
    c.Warn("TracerType " + std::to_string(s.TracerType) + " is outside 0 to 2: " +
           (s.TracerType < 0 ? "the game's own traces draw the trails, as with 0"
                             : "the trails are drawn with pellix.fx, display pass only, as "
                               "with 1"));
  }
  if (s.minSpeedScaled < 0.0f && !std::isinf(s.minSpeedScaled) && at("physics/minspeed")) {
    c.Warn("MinSpeed " + Shown(static_cast<double>(s.minSpeedScaled) / 25.0) +
           " is negative: " + "no round is too slow to go on after an impact, as with 0");
  }
}

// The settings file, walked line by line as the profile functions read it: unknown keys, keys
// in the wrong section, repeats, values that do not read.
void LintIniFile(std::vector<Finding>& out, const std::string& dir, const Settings& s) {
  Collector c(out, "pellix.ini");
  std::string text;
  if (!ReadFileBytes(PathIn(dir, "pellix.ini"), text)) {
    c.FileNote("no settings file: every setting takes its default");
    return;
  }
  ProfileLines lines(text);
  std::string section;
  std::map<std::string, int> sectionsAt;
  bool sectionRepeated = false;
  std::map<std::string, std::pair<int, std::string>> keysAt;  // "section/key" in lower case
  ProfileLine line;
  bool first = true;
  while (lines.Next(line)) {
    c.At(line.number, Quoted(line.text));
    if (first && lines.SkippedByteOrderMark()) {
      c.Note("the file starts with a UTF-8 byte-order mark, which start-up skips");
    }
    first = false;
    if (line.kind == ProfileLine::Blank || line.name.substr(0, 1) == ";") continue;
    if (line.kind == ProfileLine::Section) {
      section = std::string(line.name);
      const std::string lower = Lower(section);
      sectionRepeated = sectionsAt.count(lower) != 0;
      if (sectionRepeated) {
        c.Fault("section [" + section + "] was already opened at line " +
                std::to_string(sectionsAt[lower]) +
                ": only the first one is read, so every key below is ignored");
      } else {
        sectionsAt[lower] = line.number;
      }
      if (lower != "pellix" && lower != "physics" && lower != "graphics") {
        c.Fault("[" + section + "] is not a section that is read (PELLIX, PHYSICS, GRAPHICS)");
      }
      continue;
    }
    const std::string name(line.name);
    const SettingKey* key = FindSettingKey(name);
    if (!key) {
      c.Fault("'" + Quoted(name) + "' is not one of the " + std::to_string(SettingKeyCount) +
              " keys: ignored");
      continue;
    }
    if (Lower(section) != Lower(key->section)) {
      c.Fault(std::string(key->key) + " belongs in [" + key->section + "]" +
              (section.empty() ? std::string(", not before any section")
                               : ", not in [" + section + "]") +
              ": ignored");
      continue;
    }
    if (sectionRepeated) continue;
    const std::string id = Lower(section) + "/" + Lower(name);
    if (keysAt.count(id)) {
      c.Fault(std::string(key->key) + " was already set at line " +
              std::to_string(keysAt[id].first) + ": only the first value is read");
      continue;
    }
    keysAt[id] = {line.number, Quoted(line.text)};
    if (!line.hasValue) {
      c.Fault(std::string(key->key) + " has no '=': the default is used");
      continue;
    }
    LintIniValue(c, *key, std::string(line.value));
  }
  IniPlausibility(c, s, keysAt);
}

}  // namespace

const char* FindingKind(const Finding& f) {
  return f.fault ? "fault" : f.warning ? "warning" : "note";
}

bool ReadLines(const std::string& path, std::vector<std::string>& lines) {
  std::string text;
  if (!ReadFileBytes(path, text)) return false;
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
  // The settings as start-up reads them: the table size, the speed floor, the plausibility.
  Settings s{};
  std::string iniPath = std::filesystem::absolute(PathIn(dir, "pellix.ini")).string();
  ReadSettings(SystemProfile(), iniPath.c_str(), s);
  LintIniFile(findings, dir, s);
  LintWeaponFile(findings, dir, s);
  LintSurfaceFile(findings, dir);
  return findings;
}

void PrintFindings(std::ostream& out, const std::vector<Finding>& findings) {
  for (const auto& f : findings) {
    out << f.file;
    if (f.line > 0) out << ":" << f.line;
    out << ": " << (f.fault ? "" : std::string(FindingKind(f)) + ": ") << f.reason << "\n";
    if (f.line > 0) out << "  | " << f.text << "\n";
  }
  if (findings.empty()) out << "clean\n";
}

Table FindingsTable(const std::vector<Finding>& findings) {
  Table t;
  t.title = "lint";
  t.columns = {"file", "line", "kind", "reason", "text"};
  for (const Finding& f : findings) {
    t.rows.push_back(
        {Text(f.file), Integer(f.line), Text(FindingKind(f)), Text(f.reason), Text(f.text)});
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
  text.append(f.fault ? ": " : std::string(": ") + FindingKind(f) + ": ").append(f.reason);
  return text;
}

}  // namespace pellix::lab
