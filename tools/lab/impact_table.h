// `impact`: what a hit of one weapon on one surface class does, by angle of incidence and speed.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/lab/lab_session.h"
#include "tools/lab/table.h"

namespace pellix::lab {

struct ImpactOptions {
  int32_t weapon = 0;
  int32_t surfaceClass = 0;
  std::vector<float> anglesDeg;    // from the surface normal: 0 head-on, 90 grazing
  std::vector<float> speedShares;  // of the muzzle speed
  int draws = 200;                 // ricochets repeated to measure the scatter
  float thickness = 0.5f;          // of the solid for the exit speed of a penetration
};

enum class ImpactOutcome { Stop, Hit, Ricochet, Penetration };
const char* OutcomeName(ImpactOutcome outcome);

struct ImpactCase {
  float angleDeg;
  float speedShare;
  ImpactOutcome outcome;
  int32_t damage;        // the hit's damage as the host's hit handling gets it
  float keptSpeed;       // ricochet: share of the speed before the hit
  float keptDamage;      // ricochet: damage kept, as a share of the energy-scaled damage
  float scatterMeanDeg;  // ricochet: angle between the new direction and the mirror direction
  float scatterMaxDeg;
  float maxDepth;   // penetration: distance through the solid at which it stops
  float exitSpeed;  // penetration: share of the speed before the hit after `thickness`;
                    // negative when it stops inside
};

// The key of a surface class ("N", "SP", ...), and the class of a key or number (-1 when
// neither).
const char* SurfaceKey(int32_t surfaceClass);
int32_t ParseSurfaceClass(const std::string& text);

// Angles from 0 to 90 degrees, speed shares above 0 and at most 1; false with `error` naming
// the first value outside.
bool CheckImpactGrid(const ImpactOptions& options, std::string& error);

std::vector<ImpactCase> RunImpacts(LabSession& session, const ImpactOptions& options);
Table ImpactTable(const std::vector<ImpactCase>& cases, const ImpactOptions& options);

}  // namespace pellix::lab
