// The fault checks of `pellix-lab lint` (tools/lab/lint.cpp), line for line and word for word,
// over text in memory and with fixed buffers: the two must name a fault the same way.
#include "startup/data_faults.h"

#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "startup/setting_keys.h"
#include "startup/tables.h"
#include "startup/text_lines.h"

namespace pellix {
namespace {

constexpr size_t kLongestLine = TableLineSize - 1;

}  // namespace

const char* const weaponFieldNames[13] = {
    "muzzle speed",   "dragAlong",        "dragAcross",        "pierceCost",     "ricochetBonus",
    "tracerEvery",    "ammoTrailLength",  "tracerTrailLength", "ammoTrailWidth", "tracerTrailWidth",
    "ammoTrailAlpha", "tracerTrailAlpha", "tracerColour"};
const char* const surfaceFieldNames[5] = {"ricochetThreshold", "ricochetAngleLoss", "ricochetKeep",
                                          "ricochetScatter", "pierceResistance"};
const char* const surfaceKeyNames[SurfaceClassCount] = {"N", "SP", "S", "W", "D", "C", "P"};

namespace {

// A piece of the text; printed with "%.*s".
struct Piece {
  const char* p = "";
  size_t n = 0;
  int Width() const { return static_cast<int>(n); }
};

bool IsTrimmed(char c) { return std::strchr(" \t\r\n\v\f\x1a", c) != nullptr && c != '\0'; }

Piece Trim(Piece s) {
  while (s.n > 0 && IsTrimmed(s.p[0])) ++s.p, --s.n;
  while (s.n > 0 && IsTrimmed(s.p[s.n - 1])) --s.n;
  return s;
}

bool SameName(Piece a, const char* b) {
  if (std::strlen(b) != a.n) return false;
  for (size_t i = 0; i < a.n; ++i) {
    if (std::tolower(static_cast<unsigned char>(a.p[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}
bool SameName(Piece a, Piece b) {
  if (a.n != b.n) return false;
  for (size_t i = 0; i < a.n; ++i) {
    if (std::tolower(static_cast<unsigned char>(a.p[i])) !=
        std::tolower(static_cast<unsigned char>(b.p[i])))
      return false;
  }
  return true;
}

size_t Find(Piece s, char c) {
  const void* at = std::memchr(s.p, c, s.n);
  return at ? static_cast<size_t>(static_cast<const char*>(at) - s.p) : s.n;
}
size_t FindLast(Piece s, char c) {
  for (size_t i = s.n; i > 0; --i)
    if (s.p[i - 1] == c) return i - 1;
  return s.n;
}

// A C string of the line as lint hands it to the runtime: its first 1023 characters.
struct LineCopy {
  char text[TableLineSize];
  explicit LineCopy(Piece line) {
    const size_t n = line.n < kLongestLine ? line.n : kLongestLine;
    std::memcpy(text, line.p, n);
    text[n] = '\0';
  }
};

class Collector {
 public:
  Collector(const FaultSink& sink, const char* file) : sink_(sink), file_(file) {}
  void Fault(int line, const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 3, 4)))
#endif
  {
    char reason[2 * TableLineSize + 256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(reason, sizeof reason, format, args);
    va_end(args);
    if (sink_.fault) sink_.fault(sink_.context, file_, line, reason);
    ++count;
  }
  int count = 0;

 private:
  const FaultSink& sink_;
  const char* file_;
};

int CountLines(const char* text, size_t size) {
  TextCursor cursor{text, size};
  Piece line;
  int n = 0;
  while (NextWholeLine(cursor, line.p, line.n)) ++n;
  return n;
}

bool Blank(Piece s) { return Trim(s).n == 0; }

enum class Common { Read, Skip, Stop };

// Checks shared by both data files: whether the reader looks at the line's data.
Common CommonLineChecks(Collector& c, Piece line, int n, int lineCount) {
  if (line.n > 0 && line.p[0] == '\0') {
    c.Fault(n,
            "the line starts with a NUL character, which ends the reading: the %d lines after it "
            "are never read",
            lineCount - n);
    return Common::Stop;
  }
  if (line.n > kLongestLine) {
    c.Fault(n,
            "the line is %lu characters long; the reader takes at most 1023 at a time, so the "
            "rest is read as a line of its own",
            static_cast<unsigned long>(line.n));
  }
  if (line.n > 0 && line.p[0] == ';') return Common::Skip;
  if (Blank(line)) return Common::Skip;
  if (Trim(line).p[0] == ';') return Common::Skip;  // lint's note: a data line storing nothing
  return Common::Read;
}

// Calls `line(n, copy)` for each line of a data file that the reader looks at the data of,
// after the checks that both files share.
template <typename Line>
void ForEachDataLine(Collector& c, const char* text, size_t size, Line line) {
  const int lineCount = CountLines(text, size);
  TextCursor cursor{text, size};
  Piece raw;
  for (int n = 1; NextWholeLine(cursor, raw.p, raw.n); ++n) {
    const Common common = CommonLineChecks(c, raw, n, lineCount);
    if (common == Common::Stop) break;
    if (common == Common::Read) line(n, LineCopy(raw));
  }
}

// How many fields the scan stored; false when none (the line is ignored).
template <size_t N>
bool CheckFieldCount(Collector& c, int n, int stored, const char* const (&fields)[N],
                     const char* afterWhat) {
  if (stored <= 0) {
    c.Fault(n, "no field could be read after %s: line ignored", afterWhat);
    return false;
  }
  if (stored < static_cast<int>(N)) {
    c.Fault(n,
            "only %d of %d fields read: the scan stopped at %s, which with the fields after it "
            "keeps the row's earlier value",
            stored, static_cast<int>(N), fields[stored]);
  }
  return true;
}

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

void CheckIniValue(Collector& c, int n, const SettingKey& key, Piece value) {
  if (value.n > 1 && (value.p[0] == '"' || value.p[0] == '\'') &&
      value.p[value.n - 1] == value.p[0]) {
    value = {value.p + 1, value.n - 2};
  }
  char text[TableLineSize + 1];
  const size_t length = value.n < TableLineSize ? value.n : TableLineSize;
  std::memcpy(text, value.p, length);
  text[length] = '\0';
  const char* name = key.key;
  char* end = nullptr;
  if (key.integer) {
    if (value.n == 0) return;  // lint's note: the default is used
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
  if (value.n == 0) {
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

const SettingKey* FindKey(Piece name) {
  for (const SettingKey& k : settingKeys)
    if (SameName(name, k.key)) return &k;
  return nullptr;
}

// A section header: its name, trimmed. False for any other line.
bool SectionHeader(Piece line, Piece& name) {
  if (line.n == 0 || line.p[0] != '[') return false;
  const size_t close = FindLast(line, ']');
  if (close == line.n || close == 0) return false;
  name = Trim({line.p + 1, close - 1});
  return true;
}

// The line of the first header of this name before line `before`; 0 when none.
int FirstSectionLine(const char* text, size_t size, Piece name, int before) {
  TextCursor cursor{text, size};
  Piece line, header;
  for (int n = 1; n < before && NextWholeLine(cursor, line.p, line.n); ++n) {
    if (SectionHeader(Trim(line), header) && SameName(header, name)) return n;
  }
  return 0;
}

bool IsReadSection(Piece name) {
  return SameName(name, "pellix") || SameName(name, "physics") || SameName(name, "graphics");
}

}  // namespace

int CheckSettingsFaults(const char* text, size_t size, const FaultSink& sink) {
  Collector c(sink, "pellix.ini");
  Piece section;
  bool sectionRepeated = false;
  int keysAt[SettingKeyCount] = {};
  TextCursor cursor{text, size};
  Piece raw;
  for (int n = 1; NextWholeLine(cursor, raw.p, raw.n); ++n) {
    const Piece line = Trim(raw);
    if (line.n == 0 || line.p[0] == ';') continue;
    Piece header;
    if (SectionHeader(line, header)) {
      section = header;
      const int first = FirstSectionLine(text, size, header, n);
      sectionRepeated = first != 0;
      if (sectionRepeated) {
        c.Fault(n,
                "section [%.*s] was already opened at line %d: only the first one is read, so "
                "every key below is ignored",
                header.Width(), header.p, first);
      }
      if (!IsReadSection(header)) {
        c.Fault(n, "[%.*s] is not a section that is read (PELLIX, PHYSICS, GRAPHICS)",
                header.Width(), header.p);
      }
      continue;
    }
    const size_t eq = Find(line, '=');
    const Piece name = Trim({line.p, eq});
    const SettingKey* key = FindKey(name);
    if (!key) {
      c.Fault(n, "'%.*s' is not one of the %d keys: ignored", name.Width(), name.p,
              SettingKeyCount);
      continue;
    }
    if (!SameName(section, key->section)) {
      if (section.n == 0) {
        c.Fault(n, "%s belongs in [%s], not before any section: ignored", key->key, key->section);
      } else {
        c.Fault(n, "%s belongs in [%s], not in [%.*s]: ignored", key->key, key->section,
                section.Width(), section.p);
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
    if (eq == line.n) {
      c.Fault(n, "%s has no '=': the default is used", key->key);
      continue;
    }
    CheckIniValue(c, n, *key, Trim({line.p + eq + 1, line.n - eq - 1}));
  }
  return c.count;
}

int CheckWeaponFaults(const char* text, size_t size, int32_t weaponCount, int32_t* filledAt,
                      const FaultSink& sink) {
  Collector c(sink, "pellix_weapon.dat");
  for (int32_t r = 0; r < weaponCount; ++r) filledAt[r] = 0;
  ForEachDataLine(c, text, size, [&](int n, const LineCopy& line) {
    const long index = std::atol(line.text);
    if (static_cast<uint32_t>(index) >= static_cast<uint32_t>(weaponCount)) {
      c.Fault(n,
              "weapon type %ld is outside the table (types 0 to %d, set by MaxWeapon): line "
              "ignored",
              index, static_cast<int>(weaponCount - 1));
      return;
    }
    WeaponBallistics row{};
    if (!CheckFieldCount(c, n, ScanWeaponFields(line.text, row), weaponFieldNames,
                         "the weapon type")) {
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
  });
  if (filledAt[0] == 0) {
    c.Fault(0,
            "weapon row 0 is not filled: every type without its own row falls back to it, and it "
            "has no muzzle speed");
  }
  return c.count;
}

int CheckSurfaceFaults(const char* text, size_t size, const FaultSink& sink) {
  Collector c(sink, "pellix_surface.dat");
  int filledAt[SurfaceClassCount] = {};
  ForEachDataLine(c, text, size, [&](int n, const LineCopy& line) {
    const Piece word{line.text, std::strcspn(line.text, " \t\r\v\f")};
    const int32_t cls = SurfaceClassOfLine(line.text);
    if (cls < 0) {
      const char upper[3] = {
          static_cast<char>(std::toupper(static_cast<unsigned char>(word.n > 0 ? word.p[0] : 0))),
          static_cast<char>(std::toupper(static_cast<unsigned char>(word.n > 1 ? word.p[1] : 0))),
          '\0'};
      const bool lowerKey =
          std::islower(static_cast<unsigned char>(line.text[0])) && SurfaceClassOfLine(upper) >= 0;
      if (lowerKey) {
        c.Fault(n,
                "surface key '%.*s' is in lower case; keys are upper case (N, SP, S, W, D, C, "
                "P): line ignored",
                word.Width(), word.p);
      } else {
        c.Fault(n, "'%.*s' is not a surface key (N, SP, S, W, D, C, P): line ignored", word.Width(),
                word.p);
      }
      return;
    }
    if (word.n >= 2 && word.p[0] == 'S' && word.p[1] == 'p') {
      c.Fault(n,
              "'%.*s' is read as key S (class 2), not SP: only an upper-case P after the S makes "
              "class 1",
              word.Width(), word.p);
    }
    SurfaceBallistics row{};
    if (!CheckFieldCount(c, n, ScanSurfaceFields(line.text, row), surfaceFieldNames, "the key")) {
      return;
    }
    if (filledAt[cls] != 0) {
      c.Fault(n, "surface class %s was already given at line %d; this line overwrites it",
              surfaceKeyNames[cls], filledAt[cls]);
    }
    filledAt[cls] = n;
  });
  return c.count;
}

}  // namespace pellix
