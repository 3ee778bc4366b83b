#include "startup/tables.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "sim/vec3.h"

namespace pellix {

WeaponBallistics* weaponTable = nullptr;
SurfaceBallistics* surfaceTable = nullptr;

void ConvertWeaponRow(WeaponBallistics& row) {
  // The file gives the muzzle speed; the row keeps 25 / speed so that shots only multiply. A
  // muzzle speed of 0, or one so small that 25 / speed is no float, is no muzzle speed (0).
  const auto speedFactor = static_cast<float>(25.0 / static_cast<double>(row.speedFactor));
  row.speedFactor = std::isfinite(speedFactor) ? speedFactor : 0.0f;
  // Without a muzzle speed an endless trail (0 x inf) is no trail, as every other length is.
  row.ammoTrailLength = ZeroWinsProduct(row.speedFactor, row.ammoTrailLength);
  row.tracerTrailLength = ZeroWinsProduct(row.tracerTrailLength, row.speedFactor);
}

void ConvertSurfaceRow(SurfaceBallistics& row) {
  row.ricochetAngleLoss = row.ricochetAngleLoss * 0.5f;
}

LineResult ReadWeaponLine(const char* line, WeaponBallistics* rows, int32_t count) {
  if (line[0] == ';') return LineResult::Ignored;
  if (line[0] == '\0') return LineResult::Stop;
  // The runtime's long is 32 bits; the index is its low 32 bits taken as unsigned.
  const auto index = static_cast<uint32_t>(std::atol(line));
  if (index >= static_cast<uint32_t>(count)) return LineResult::Ignored;
  WeaponBallistics& row = rows[index];
  if (ScanWeaponFields(line, row) <= 0) return LineResult::Ignored;
  ConvertWeaponRow(row);
  return LineResult::Stored;
}

int32_t SurfaceClassOfLine(const char* line) {
  switch (line[0]) {
    case 'N':
      return SurfaceN;
    case 'S':
      return line[1] == 'P' ? SurfaceSP : SurfaceS;
    case 'W':
      return SurfaceW;
    case 'D':
      return SurfaceD;
    case 'C':
      return SurfaceC;
    case 'P':
      return SurfaceP;
    default:
      return -1;
  }
}

LineResult ReadSurfaceLine(const char* line, SurfaceBallistics* rows) {
  if (line[0] == ';') return LineResult::Ignored;
  if (line[0] == '\0') return LineResult::Stop;
  const int32_t surfaceClass = SurfaceClassOfLine(line);
  if (surfaceClass < 0) return LineResult::Ignored;
  SurfaceBallistics& row = rows[surfaceClass];
  if (ScanSurfaceFields(line, row) <= 0) return LineResult::Ignored;
  ConvertSurfaceRow(row);
  return LineResult::Stored;
}

bool TableLineReader::Fill(char (&line)[TableLineSize]) {
  if (file_) return std::fgets(line, TableLineSize, file_) != nullptr;
  if (pos_ >= size_) return false;
  size_t n = 0;
  while (n < TableLineSize - 1 && pos_ < size_) {
    const char c = text_[pos_++];
    line[n++] = c;
    if (c == '\n') break;
  }
  line[n] = '\0';
  return true;
}

bool TableLineReader::Next(char (&line)[TableLineSize]) {
  // A line may hold NUL characters, so the end of the read is found from the back: fgets
  // writes the chars it read and a NUL, and leaves the rest of the buffer as it was, filled
  // here with line ends, which a read holds only as its last char.
  std::memset(line, '\n', TableLineSize);
  if (!Fill(line)) return false;
  size_t length = TableLineSize - 1;
  while (line[length] != '\0') --length;
  // A short read without a line end met the end of the file.
  lineEnded_ = (length > 0 && line[length - 1] == '\n') || length < TableLineSize - 1;
  if (atStart_) {
    atStart_ = false;
    if (length >= 3 && std::memcmp(line, "\xEF\xBB\xBF", 3) == 0) {
      std::memmove(line, line + 3, length - 2);
      length -= 3;
      skippedMark_ = true;
      // A file that holds the mark alone is empty: no empty read (which would look like a
      // line starting with NUL) comes from it.
      if (length == 0) return Next(line);
    }
  }
  length_ = length;
  return true;
}

namespace {

void ReadWeaponLines(TableLineReader reader, WeaponBallistics* rows, int32_t count) {
  char line[TableLineSize];
  while (reader.Next(line)) {
    if (ReadWeaponLine(line, rows, count) == LineResult::Stop) break;
  }
}

void ReadSurfaceLines(TableLineReader reader, SurfaceBallistics* rows) {
  char line[TableLineSize];
  while (reader.Next(line)) {
    if (ReadSurfaceLine(line, rows) == LineResult::Stop) break;
  }
}

}  // namespace

void ReadWeaponFile(std::FILE* file, WeaponBallistics* rows, int32_t count) {
  ReadWeaponLines(TableLineReader(file), rows, count);
}

void ReadSurfaceFile(std::FILE* file, SurfaceBallistics* rows) {
  ReadSurfaceLines(TableLineReader(file), rows);
}

void ReadWeaponText(const char* text, size_t size, WeaponBallistics* rows, int32_t count) {
  ReadWeaponLines(TableLineReader(text, size), rows, count);
}

void ReadSurfaceText(const char* text, size_t size, SurfaceBallistics* rows) {
  ReadSurfaceLines(TableLineReader(text, size), rows);
}

}  // namespace pellix
