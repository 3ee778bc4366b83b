// One weapon row's line of pellix_weapon.dat, edited in place: the row's values change and
// every other byte of the file (comments, other lines, column alignment, line ends) stays.
#pragma once
#include <cstdint>
#include <map>
#include <string>

namespace pellix::lab {

struct WeaponLine {
  size_t begin = 0, end = 0;  // the line's text within the file, without its line end
  int number = 0;             // 1-based
  std::string text;
  int fields = 0;  // how many of the 13 values the reader stores from it
};

// The line that gives row `row` its values: of the data lines that the reader stores into that
// row, the last one, since a later line overwrites what an earlier one gave. False when no
// line stores into the row.
bool FindWeaponLine(const std::string& file, int32_t row, int32_t weaponCount, WeaponLine& line);

// `text` with some of its 13 values replaced (`values`: field index -> new text; field 0 is
// the muzzle speed as the file gives it). Each value after a changed one keeps its column where
// there is room, so a table of lines stays aligned; with tabs between values only the values
// change.
std::string ReplaceWeaponFields(const std::string& text, const std::map<int, std::string>& values);

// The whole file with `line`'s text replaced by `text`, its line end and every other byte kept.
std::string ReplaceLine(const std::string& file, const WeaponLine& line, const std::string& text);

// The fewest significant digits (up to 9) that read back as the same float.
std::string ShortestFloat(float value);
// `value` with `digits` significant digits, without a trailing exponent where it can.
std::string SignificantDigits(double value, int digits);

// Whole files as bytes, untranslated.
bool ReadFileBytes(const std::string& path, std::string& bytes);
// Writes through a temporary file beside `path` and renames it over `path`.
bool WriteFileBytes(const std::string& path, const std::string& bytes, std::string& error);

}  // namespace pellix::lab
