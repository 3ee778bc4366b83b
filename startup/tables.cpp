#include "startup/tables.h"

#include <cmath>
#include <cstdlib>
#include <initializer_list>

namespace pellix {

namespace {

// A number beyond the float range ("1e39", "inf", "nan") or a conversion without a result
// (muzzle speed 0) is stored as 0: shots treat speedFactor 0 as a row without a muzzle speed,
// and no infinity or NaN reaches the records.
void ZeroNonFinite(std::initializer_list<float*> fields) {
  for (float* f : fields) {
    if (!std::isfinite(*f)) *f = 0.0f;
  }
}

}  // namespace

WeaponBallistics* weaponTable = nullptr;
SurfaceBallistics* surfaceTable = nullptr;

LineResult ReadWeaponLine(const char* line, WeaponBallistics* rows, int32_t count) {
  if (line[0] == ';') return LineResult::Ignored;
  if (line[0] == '\0') return LineResult::Stop;
  // The runtime's long is 32 bits; the index is its low 32 bits taken as unsigned.
  const auto index = static_cast<uint32_t>(std::atol(line));
  if (index >= static_cast<uint32_t>(count)) return LineResult::Ignored;
  WeaponBallistics& row = rows[index];
  if (ScanWeaponFields(line, row) <= 0) return LineResult::Ignored;
  // The file gives the muzzle speed; the row keeps 25 / speed so that shots only multiply.
  row.speedFactor = static_cast<float>(25.0 / static_cast<double>(row.speedFactor));
  row.ammoTrailLength = row.speedFactor * row.ammoTrailLength;
  row.tracerTrailLength = row.tracerTrailLength * row.speedFactor;
  ZeroNonFinite({&row.speedFactor, &row.dragAlong, &row.dragAcross, &row.pierceCost,
                 &row.ricochetBonus, &row.ammoTrailLength, &row.tracerTrailLength,
                 &row.ammoTrailWidth, &row.tracerTrailWidth});
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
  row.ricochetAngleLoss = row.ricochetAngleLoss * 0.5f;
  ZeroNonFinite({&row.ricochetThreshold, &row.ricochetAngleLoss, &row.ricochetKeep,
                 &row.ricochetScatter, &row.pierceResistance});
  return LineResult::Stored;
}

void ReadWeaponFile(std::FILE* file, WeaponBallistics* rows, int32_t count) {
  char line[TableLineSize];
  while (std::fgets(line, TableLineSize, file)) {
    if (ReadWeaponLine(line, rows, count) == LineResult::Stop) break;
  }
}

void ReadSurfaceFile(std::FILE* file, SurfaceBallistics* rows) {
  char line[TableLineSize];
  while (std::fgets(line, TableLineSize, file)) {
    if (ReadSurfaceLine(line, rows) == LineResult::Stop) break;
  }
}

}  // namespace pellix
