// The fault checks of `pellix-lab lint` (tools/lab/lint.cpp), read for read and word for word,
// over text in memory and with fixed buffers: the two must name a fault the same way. Both walk
// the files with start-up's own readers (TableLineReader, ProfileLines).
#include "startup/data_faults.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "startup/profile_lines.h"
#include "startup/setting_keys.h"
#include "startup/tables.h"

namespace pellix {

const char* const weaponFieldNames[13] = {
    "muzzle speed",   "dragAlong",        "dragAcross",        "pierceCost",     "ricochetBonus",
    "tracerEvery",    "ammoTrailLength",  "tracerTrailLength", "ammoTrailWidth", "tracerTrailWidth",
    "ammoTrailAlpha", "tracerTrailAlpha", "tracerColour"};
const char* const surfaceFieldNames[5] = {"ricochetThreshold", "ricochetAngleLoss", "ricochetKeep",
                                          "ricochetScatter", "pierceResistance"};
const char* const surfaceKeyNames[SurfaceClassCount] = {"N", "SP", "S", "W", "D", "C", "P"};

void QuoteText(const char* text, size_t size, char (&out)[QuotedTextSize]) {
  while (size > 0 && (text[size - 1] == '\n' || text[size - 1] == '\r')) --size;
  size_t n = 0;
  for (size_t i = 0; i < size && i < 100; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if ((c < 0x20 && c != '\t') || c >= 0x7F) {
      n += static_cast<size_t>(std::snprintf(out + n, sizeof out - n, "\\x%02X", c));
    } else {
      out[n++] = static_cast<char>(c);
    }
  }
  if (size > 100) {
    std::memcpy(out + n, "...", 3);
    n += 3;
  }
  out[n] = '\0';
}

int CountWords(const char* line) {
  int words = 0;
  for (const char* p = line; *p;) {
    while (*p && std::isspace(static_cast<unsigned char>(*p))) ++p;
    if (!*p) break;
    ++words;
    while (*p && !std::isspace(static_cast<unsigned char>(*p))) ++p;
  }
  return words;
}

namespace {

using std::string_view;

int Width(string_view s) { return static_cast<int>(s.size()); }

bool IsTrimmed(char c) { return c != '\0' && std::strchr(" \t\r\n\v\f\x1a", c) != nullptr; }

string_view Trim(string_view s) {
  while (!s.empty() && IsTrimmed(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsTrimmed(s.back())) s.remove_suffix(1);
  return s;
}

class Collector {
 public:
  Collector(const FaultSink& sink, const char* file) : sink_(sink), file_(file) {}
  // Put before each reason of a line: where in a long line the read began (0: at its start).
  void ReadFrom(size_t from) {
    prefix_[0] = '\0';
    if (from > 0) {
      std::snprintf(prefix_, sizeof prefix_, "from character %lu on, read as a line of its own: ",
                    static_cast<unsigned long>(from + 1));
    }
  }
  // A fault of line `line`; 0: of the file as a whole, never with the prefix.
  void Fault(int line, const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 3, 4)))
#endif
  {
    char reason[2 * TableLineSize + 256];
    const int start = line > 0 ? std::snprintf(reason, sizeof reason, "%s", prefix_) : 0;
    va_list args;
    va_start(args, format);
    std::vsnprintf(reason + start, sizeof reason - static_cast<size_t>(start), format, args);
    va_end(args);
    if (sink_.fault) sink_.fault(sink_.context, file_, line, reason);
    ++count;
  }
  int count = 0;

 private:
  const FaultSink& sink_;
  const char* file_;
  char prefix_[80] = "";
};

// --- The data files ------------------------------------------------------------------------

// A read of the data reader as lint sees it: trimmed to nothing when it holds only white space
// (NULs are no white space here).
bool BlankRead(const char* read, size_t length) {
  for (size_t i = 0; i < length; ++i)
    if (!IsTrimmed(read[i])) return false;
  return true;
}

// The line number of the reader's last read.
int LastLine(const char* text, size_t size) {
  if (size == 0) return 0;
  const auto breaks = static_cast<int>(std::count(text, text + size, '\n'));
  return breaks + (text[size - 1] == '\n' ? 0 : 1);
}

// A line longer than one read: a fault when anything but its line end comes after the first
// read (`reader` has just made it; a copy of it reads the rest).
void LongLineCheck(Collector& c, int n, const TableLineReader& reader) {
  TableLineReader ahead = reader;
  size_t whole = reader.Length();
  size_t lineEnd = 0;  // the line end's chars (CR and LF) at the end of what was read
  bool more = false;
  char read[TableLineSize];
  while (ahead.Next(read)) {
    const size_t length = ahead.Length();
    whole += length;
    more = more || !BlankRead(read, length);
    size_t tail = 0;
    while (tail < length && (read[length - 1 - tail] == '\n' || read[length - 1 - tail] == '\r'))
      ++tail;
    lineEnd = tail == length ? lineEnd + tail : tail;
    if (ahead.LineEnded()) break;
  }
  if (more) {
    c.Fault(n,
            "the line is %lu characters long; the reader takes at most %d at a time, so the rest "
            "is read as a line of its own",
            static_cast<unsigned long>(whole - lineEnd), TableLineSize - 1);
  }
}

enum class Common { Read, Skip, Stop };

// Checks shared by both data files: whether the reader looks at the read's data.
Common CommonReadChecks(Collector& c, int n, const char* read, int lastLine) {
  if (read[0] == '\0') {
    c.Fault(n,
            "the line starts with a NUL character, which ends the reading: the %d lines after it "
            "are never read",
            lastLine - n);
    return Common::Stop;
  }
  if (read[0] == ';') return Common::Skip;
  const string_view text = Trim(read);
  if (text.empty()) return Common::Skip;
  if (text[0] == ';') return Common::Skip;  // lint's note: a data line storing nothing
  return Common::Read;
}

// Calls `line(n, read)` for each read of a data file that the reader looks at the data of,
// after the checks that both files share; a read that starts within a long line has its
// faults prefixed with where it starts.
template <typename Line>
void ForEachDataRead(Collector& c, const char* text, size_t size, Line line) {
  const int lastLine = LastLine(text, size);
  TableLineReader reader(text, size);
  char read[TableLineSize];
  int n = 1;
  size_t from = 0;
  while (reader.Next(read)) {
    c.ReadFrom(from);
    if (from == 0 && !reader.LineEnded()) LongLineCheck(c, n, reader);
    const Common common = CommonReadChecks(c, n, read, lastLine);
    if (common == Common::Stop) break;
    if (common == Common::Read) line(n, static_cast<const char*>(read));
    if (reader.LineEnded()) {
      ++n;
      from = 0;
    } else {
      from += reader.Length();
    }
  }
  c.ReadFrom(0);
}

// The values after the line's first word against the fields expected, and how many fields the
// scan stored (`first`: the first field as scanned). False when none: the line is ignored.
template <size_t N>
bool CheckFields(Collector& c, int n, const char* line, int stored, const char* const (&fields)[N],
                 const char* afterWhat, float first) {
  if (stored <= 0) {
    c.Fault(n, "no field could be read after %s: line ignored", afterWhat);
    return false;
  }
  const int values = CountWords(line) - 1;
  const int expected = static_cast<int>(N);
  char scanStop[160] = "";
  if (stored < expected) {
    std::snprintf(scanStop, sizeof scanStop,
                  "the scan stopped at %s, which with the fields after it keeps the row's earlier "
                  "value",
                  fields[stored]);
  }
  if (values < expected) {
    c.Fault(n,
            "%d values after %s, %d expected: a missing value moves every value after it one "
            "column to the left (%s reads as %g)%s%s",
            values, afterWhat, expected, fields[0], static_cast<double>(first),
            scanStop[0] ? "; " : "", scanStop);
  } else if (stored < expected) {
    c.Fault(n, "only %d of %d fields read: %s", stored, expected, scanStop);
  }
  return true;
}

// --- The settings file ---------------------------------------------------------------------

// "-0.0000" reads as a sign that means nothing.
void FormatFixed4(double value, char (&out)[64]) {
  std::snprintf(out, sizeof out, "%.4f", value);
  if (out[0] == '-' && std::strspn(out, "-0.") == std::strlen(out)) {
    std::memmove(out, out + 1, std::strlen(out));
  }
}

bool StartsWithLower(const char* s, const char* prefix) {
  for (; *prefix; ++s, ++prefix) {
    if (std::tolower(static_cast<unsigned char>(*s)) != *prefix) return false;
  }
  return true;
}

void CheckIniValue(Collector& c, int n, const SettingKey& key, string_view value) {
  if (value.size() > 1 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
    value = value.substr(1, value.size() - 2);
  }
  char text[TableLineSize];  // a longer value is quoted cut; the log cuts its lines sooner
  const size_t length = value.size() < sizeof text ? value.size() : sizeof text - 1;
  std::memcpy(text, value.data(), length);
  text[length] = '\0';
  const char* name = key.key;
  char* end = nullptr;
  if (key.integer) {
    if (value.empty()) return;  // lint's note: the default is used
    const long v = std::strtol(text, &end, 0);
    if (end == text) {
      c.Fault(n, "%s = '%s' is not a number: it reads as 0", name, text);
      return;
    }
    if (*end != '\0') {
      c.Fault(n, "%s = '%s': the text after the number is ignored (it reads as %ld)", name, text,
              v);
    }
    if (std::strcmp(name, "MaxPellix") == 0 && v < 1)
      c.Fault(n, "MaxPellix below 1: start-up stops");
    if (std::strcmp(name, "MaxWeapon") == 0 && v < 0)
      c.Fault(n, "MaxWeapon below 0: start-up stops");
    return;
  }
  if (value.empty()) {
    c.Fault(n, "%s is empty: it reads as 0, not as the default", name);
    return;
  }
  // The runtime's reading takes decimal digits only: no "inf", "nan" or hexadecimal.
  const char* digits = text[0] == '+' || text[0] == '-' ? text + 1 : text;
  if (StartsWithLower(digits, "inf") || StartsWithLower(digits, "nan") ||
      StartsWithLower(digits, "0x")) {
    c.Fault(n, "%s = '%s' is not a decimal number: it reads as 0", name, text);
    return;
  }
  const double v = std::strtod(text, &end);
  if (end == text) {
    c.Fault(n, "%s = '%s' is not a number: it reads as 0", name, text);
  } else if (*end != '\0') {
    char fixed[64];
    FormatFixed4(v, fixed);
    c.Fault(n, "%s = '%s': the text after the number is ignored (it reads as %s)", name, text,
            fixed);
  }
}

// The line of the first header of this name before line `before`; 0 when none.
int FirstSectionLine(string_view text, string_view name, int before) {
  ProfileLines lines(text);
  ProfileLine line;
  while (lines.Next(line) && line.number < before) {
    if (line.kind == ProfileLine::Section && SameProfileName(line.name, name)) return line.number;
  }
  return 0;
}

bool IsReadSection(string_view name) {
  return SameProfileName(name, "pellix") || SameProfileName(name, "physics") ||
         SameProfileName(name, "graphics");
}

}  // namespace

int CheckSettingsFaults(const char* text, size_t size, const FaultSink& sink) {
  Collector c(sink, "pellix.ini");
  const string_view all(text, size);
  string_view section;
  bool sectionRepeated = false;
  int keysAt[SettingKeyCount] = {};
  ProfileLines lines(all);
  ProfileLine line;
  while (lines.Next(line)) {
    const int n = line.number;
    if (line.kind == ProfileLine::Blank || line.name.substr(0, 1) == ";") continue;
    if (line.kind == ProfileLine::Section) {
      section = line.name;
      const int first = FirstSectionLine(all, section, n);
      sectionRepeated = first != 0;
      if (sectionRepeated) {
        c.Fault(n,
                "section [%.*s] was already opened at line %d: only the first one is read, so "
                "every key below is ignored",
                Width(section), section.data(), first);
      }
      if (!IsReadSection(section)) {
        c.Fault(n, "[%.*s] is not a section that is read (PELLIX, PHYSICS, GRAPHICS)",
                Width(section), section.data());
      }
      continue;
    }
    const SettingKey* key = FindSettingKey(line.name);
    if (!key) {
      char quoted[QuotedTextSize];
      QuoteText(line.name.data(), line.name.size(), quoted);
      c.Fault(n, "'%s' is not one of the %d keys: ignored", quoted, SettingKeyCount);
      continue;
    }
    if (!SameProfileName(section, key->section)) {
      if (section.empty()) {
        c.Fault(n, "%s belongs in [%s], not before any section: ignored", key->key, key->section);
      } else {
        c.Fault(n, "%s belongs in [%s], not in [%.*s]: ignored", key->key, key->section,
                Width(section), section.data());
      }
      continue;
    }
    if (sectionRepeated) continue;
    int& at = keysAt[key - settingKeys];
    if (at != 0) {
      c.Fault(n, "%s was already set at line %d: only the first value is read", key->key, at);
      continue;
    }
    at = n;
    if (!line.hasValue) {
      c.Fault(n, "%s has no '=': the default is used", key->key);
      continue;
    }
    CheckIniValue(c, n, *key, line.value);
  }
  return c.count;
}

int CheckWeaponFaults(const char* text, size_t size, int32_t weaponCount, int32_t* filledAt,
                      const FaultSink& sink) {
  Collector c(sink, "pellix_weapon.dat");
  for (int32_t r = 0; r < weaponCount; ++r) filledAt[r] = 0;
  bool rowZero = false;
  ForEachDataRead(c, text, size, [&](int n, const char* line) {
    const long index = std::atol(line);
    if (static_cast<uint32_t>(index) >= static_cast<uint32_t>(weaponCount)) {
      c.Fault(n,
              "weapon type %ld is outside the table (types 0 to %d, set by MaxWeapon): line "
              "ignored",
              index, static_cast<int>(weaponCount - 1));
      return;
    }
    WeaponBallistics row{};
    const int stored = ScanWeaponFields(line, row);
    if (!CheckFields(c, n, line, stored, weaponFieldNames, "the weapon type", row.speedFactor)) {
      return;
    }
    const float muzzle = row.speedFactor;
    ConvertWeaponRow(row);
    if (muzzle == 0.0f) {
      c.Fault(n, "muzzle speed 0: no shot of weapon type %ld can fly (every one is dead at once)",
              index);
    } else if (row.speedFactor == 0.0f) {
      c.Fault(n,
              "%s, so it is no muzzle speed: no shot of weapon type %ld can fly (every one is "
              "dead at once)",
              std::isinf(muzzle) ? "muzzle speed beyond the float range: 25 / speed is 0"
                                 : "muzzle speed so small that 25 / speed is no float",
              index);
    } else if (muzzle < 0.0f) {
      c.Fault(n, "negative muzzle speed: shots of weapon type %ld fly backwards", index);
    }
    int32_t& at = filledAt[static_cast<uint32_t>(index)];
    if (at != 0) {
      c.Fault(n, "weapon type %ld was already given at line %d; this line overwrites it", index,
              static_cast<int>(at));
    }
    at = n;
    rowZero = rowZero || index == 0;
  });
  if (!rowZero) {
    c.Fault(0,
            "weapon row 0 is not filled: no shot of weapon type 0 can fly, nor of any type "
            "above MaxWeapon, which uses row 0");
  }
  return c.count;
}

int CheckSurfaceFaults(const char* text, size_t size, const FaultSink& sink) {
  Collector c(sink, "pellix_surface.dat");
  int filledAt[SurfaceClassCount] = {};
  bool anyFilled = false;
  ForEachDataRead(c, text, size, [&](int n, const char* line) {
    const string_view word(line, std::strcspn(line, " \t\r\n\v\f"));
    const int32_t cls = SurfaceClassOfLine(line);
    if (cls < 0) {
      const auto upperAt = [&](size_t i) {
        return static_cast<char>(i < word.size() ? std::toupper(static_cast<unsigned char>(word[i]))
                                                 : 0);
      };
      const char upper[3] = {upperAt(0), upperAt(1), '\0'};
      const bool lowerKey =
          std::islower(static_cast<unsigned char>(line[0])) && SurfaceClassOfLine(upper) >= 0;
      if (lowerKey) {
        c.Fault(n,
                "surface key '%.*s' is in lower case; keys are upper case (N, SP, S, W, D, C, "
                "P): line ignored",
                Width(word), word.data());
      } else {
        char quoted[QuotedTextSize];
        QuoteText(word.data(), word.size(), quoted);
        c.Fault(n, "'%s' is not a surface key (N, SP, S, W, D, C, P): line ignored", quoted);
      }
      return;
    }
    if (word.size() >= 2 && word[0] == 'S' && word[1] == 'p') {
      c.Fault(n,
              "'%.*s' is read as key S (class 2), not SP: only an upper-case P after the S makes "
              "class 1",
              Width(word), word.data());
    }
    SurfaceBallistics row{};
    const int stored = ScanSurfaceFields(line, row);
    if (!CheckFields(c, n, line, stored, surfaceFieldNames, "the key", row.ricochetThreshold)) {
      return;
    }
    if (filledAt[cls] != 0) {
      c.Fault(n, "surface class %s was already given at line %d; this line overwrites it",
              surfaceKeyNames[cls], filledAt[cls]);
    }
    filledAt[cls] = n;
    anyFilled = true;
  });
  if (!anyFilled) {
    c.Fault(0,
            "no line fills a surface class: every surface row stays zero (no ricochet, pierced "
            "at no cost)");
  }
  return c.count;
}

}  // namespace pellix
