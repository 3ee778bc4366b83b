// The weapon and surface tables, filled at start-up from the two data files.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "startup/settings.h"

namespace pellix {

// One row per host weapon type; field order is the order on a line of the weapon file.
struct WeaponBallistics {
  float speedFactor;  // 25 / muzzle speed
  float dragAlong;
  float dragAcross;
  float pierceCost;
  float ricochetBonus;
  int32_t tracerEvery;      // every Nth round is a tracer; 0 none
  float ammoTrailLength;    // time-step units (world units x speedFactor)
  float tracerTrailLength;  // time-step units
  float ammoTrailWidth;
  float tracerTrailWidth;
  int32_t ammoTrailAlpha;    // low byte used
  int32_t tracerTrailAlpha;  // low byte used
  uint32_t tracerColour;     // 0xAARRGGBB
};
static_assert(sizeof(WeaponBallistics) == 52);

struct SurfaceBallistics {
  float ricochetThreshold;
  float ricochetAngleLoss;  // halved at load
  float ricochetKeep;
  float ricochetScatter;
  float pierceResistance;  // negative: cannot be pierced
};
static_assert(sizeof(SurfaceBallistics) == 20);

// Surface classes: the rows keyed N, SP, S, W, D, then C (entity kind 2) and P (entity kind 3).
enum SurfaceClass : int32_t {
  SurfaceN = 0,
  SurfaceSP = 1,
  SurfaceS = 2,
  SurfaceW = 3,
  SurfaceD = 4,
  SurfaceC = 5,
  SurfaceP = 6,
};
inline constexpr int32_t SurfaceClassCount = 7;

extern WeaponBallistics* weaponTable;    // settings.weaponCount rows
extern SurfaceBallistics* surfaceTable;  // SurfaceClassCount rows

inline constexpr int TableLineSize = 1024;  // a longer line is read as several

// The lines of a data file as both readers (and the lab's lint and the reload's checks) take
// them: fgets into a buffer of TableLineSize chars, so a longer line comes as several reads,
// with a UTF-8 byte-order mark at the start of the file skipped (editors on Windows write one;
// it is no part of the first line's key or number).
class TableLineReader {
 public:
  explicit TableLineReader(std::FILE* file) : file_(file) {}
  // The file's text already in memory, as the runtime's stream would hand it over (the reload
  // reads the bytes itself: a stream would allocate its buffer). A copy of such a reader reads
  // on from the same place without moving this one.
  TableLineReader(const char* text, size_t size) : text_(text), size_(size) {}
  // The next read into `line`; false at the end of the file.
  bool Next(char (&line)[TableLineSize]);
  bool SkippedByteOrderMark() const { return skippedMark_; }
  // The last read reached the end of its line (a line end, or the file's end): the next read
  // starts a new line. False when the line goes on in the next read.
  bool LineEnded() const { return lineEnded_; }
  // The chars of the last read, NUL characters within the line included.
  size_t Length() const { return length_; }

 private:
  bool Fill(char (&line)[TableLineSize]);  // fgets, from the stream or from the text

  std::FILE* file_ = nullptr;
  const char* text_ = nullptr;
  size_t size_ = 0;
  size_t pos_ = 0;
  bool atStart_ = true;
  bool skippedMark_ = false;
  bool lineEnded_ = true;
  size_t length_ = 0;
};

// Reads the weapon file line by line into `rows` (`count` rows, already zero-filled).
void ReadWeaponFile(std::FILE* file, WeaponBallistics* rows, int32_t count);
// Reads the surface file line by line into `rows` (SurfaceClassCount rows, zero-filled).
void ReadSurfaceFile(std::FILE* file, SurfaceBallistics* rows);
// The same two from the file's text in memory (the reload).
void ReadWeaponText(const char* text, size_t size, WeaponBallistics* rows, int32_t count);
void ReadSurfaceText(const char* text, size_t size, SurfaceBallistics* rows);

// The load conversions of a scanned row: speedFactor := 25 / muzzle speed (0 when that is no
// finite float: no muzzle speed), the trail lengths into time-step units; the surface's angle
// loss halved. Every other value is kept as read, a number beyond the float range as an
// infinity of its sign.
void ConvertWeaponRow(WeaponBallistics& row);
void ConvertSurfaceRow(SurfaceBallistics& row);

enum class LineResult { Stored, Ignored, Stop };
// One line of each file, as the readers take them (`line` as fgets leaves it).
LineResult ReadWeaponLine(const char* line, WeaponBallistics* rows, int32_t count);
LineResult ReadSurfaceLine(const char* line, SurfaceBallistics* rows);

// The surface class keyed by the start of a surface line; -1 when the line has none.
int32_t SurfaceClassOfLine(const char* line);

// The C runtime's scans of a data line into a row: the weapon line's leading integer and the
// surface line's first word are skipped. Each returns how many fields it stored; fields after
// the first mismatch keep their values.
int ScanWeaponFields(const char* line, WeaponBallistics& row);
int ScanSurfaceFields(const char* line, SurfaceBallistics& row);

// Row t when t, taken as unsigned, is below weaponCount; row 0 otherwise (negative types too).
inline uint32_t WeaponRowIndex(int32_t weaponType) {
  return static_cast<uint32_t>(weaponType) < static_cast<uint32_t>(settings.weaponCount)
             ? static_cast<uint32_t>(weaponType)
             : 0u;
}
inline const WeaponBallistics& WeaponRow(int32_t weaponType) {
  return weaponTable[WeaponRowIndex(weaponType)];
}

}  // namespace pellix
