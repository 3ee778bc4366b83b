// The table scans with the native C library's sscanf.
#include <cstdio>

#include "startup/tables.h"

namespace pellix {

int ScanWeaponFields(const char* line, WeaponBallistics& r) {
  return std::sscanf(line, "%*d %f %f %f %f %f %d %f %f %f %f %d %d %x", &r.speedFactor,
                     &r.dragAlong, &r.dragAcross, &r.pierceCost, &r.ricochetBonus, &r.tracerEvery,
                     &r.ammoTrailLength, &r.tracerTrailLength, &r.ammoTrailWidth,
                     &r.tracerTrailWidth, &r.ammoTrailAlpha, &r.tracerTrailAlpha, &r.tracerColour);
}

int ScanSurfaceFields(const char* line, SurfaceBallistics& r) {
  return std::sscanf(line, "%*s %f %f %f %f %f", &r.ricochetThreshold, &r.ricochetAngleLoss,
                     &r.ricochetKeep, &r.ricochetScatter, &r.pierceResistance);
}

}  // namespace pellix
