// `fit`: values of one weapon row that make its level-fire range table (and, for penetration,
// its impact table) reach given targets. Every candidate row is written as the weapon line
// would be, read by the plug-in's own line reader and run through the same simulation as
// `range` and `impact`, so the values found are the ones the game will see.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/lab/impact_table.h"
#include "tools/lab/lab_session.h"
#include "tools/lab/range.h"
#include "tools/lab/weapon_line.h"

namespace pellix::lab {

// The values a fit may change, by their field on the weapon line (0 is the muzzle speed).
enum FitField : int { kMuzzleSpeed = 0, kDragAlong = 1, kDragAcross = 2, kPierceCost = 3 };
const char* FitFieldName(int field);         // "muzzleSpeed", "dragAlong", ...
int ParseFitField(const std::string& name);  // -1 when it is not one of them

struct FitTarget {
  enum class Kind {
    Range,  // a column of the range table at a distance
    Depth,  // how deep the round gets into the surface (impact's maxDepth)
    Exit    // its speed share after `at` units of the surface (impact's exitSpeed)
  };
  std::string text;  // as given: "drop@300=1.2"
  Kind kind = Kind::Range;
  RangeQuantity quantity = RangeQuantity::Drop;
  float at = 0.0f;  // distance, or thickness for Exit
  double wanted = 0.0;
  int decimals = 3;  // as the table prints the value
  // A target is met when the value reached prints as the value wanted: within half a unit of
  // the last printed digit.
  double Tolerance() const;
};

// "drop@D=V", "speed@D=V", "energy@D=V", "damage@D=V", "time@D=V", "pierce@T=V", "depth=V".
bool ParseFitTarget(const std::string& text, FitTarget& target, std::string& error);

struct FitBound {
  double lo, hi;
};

struct FitOptions {
  RangeOptions range;  // the weapon and the level shot, as `range` takes them
  std::vector<FitTarget> targets;
  std::vector<int> free;                 // empty: the values the targets depend on (below)
  std::map<int, FitBound> bounds;        // free values not listed get a default bound
  std::map<int, double> start;           // free values not listed start from the row's own
  int32_t surfaceClass = -1;             // for penetration targets
  float angleDeg = 0.0f;                 // of the penetrating hit, from the normal
  float speedShare = 1.0f;               // of the muzzle speed at the hit
  int starts = 8;                        // local searches, from the row's values and spread
                                         // evenly over the bounds
};

struct FitTargetResult {
  FitTarget target;
  bool reached = false;  // false: the round never gets there (or does not penetrate)
  double value = 0.0;    // reached value; when not reached, the nearest the round comes
  double residual = 0.0;  // value - wanted
  bool met = false;
  // Range targets: why the run ended, how far the round got, and its speed (units per
  // second) in the first frame at or beyond the distance, which a hit there meets.
  RangeEnd end = RangeEnd::StillFlying;
  double farthest = 0.0, hitSpeed = 0.0;
  // Penetration targets: what the hit did.
  ImpactOutcome outcome = ImpactOutcome::Hit;
  std::string blocked;  // the setting that keeps every row from meeting it; then not searched
};

struct FitResult {
  int32_t row = 0;
  WeaponLine line;          // the row's line as the file has it
  std::string fittedLine;   // the same line with the fitted values
  bool fitted = false;      // false: no target was reached, so the line is the row's own
  std::vector<int> free;
  std::map<int, FitBound> bounds;
  std::map<int, double> before, after;  // free values as the file gives them, before and fitted
  std::vector<FitTargetResult> targets;  // reached by the fitted line
  bool met = false;
  std::vector<std::string> conflicts;  // why the targets cannot be met together
  std::vector<std::string> warnings;   // about the targets and the row, met or not
  int startsRun = 0, bestStart = 0, evaluations = 0;
  double seconds = 0.0;
};

// The free values by default: the muzzle speed for range targets, dragAlong too when AirResist
// is on (otherwise nothing reads it), pierceCost for penetration targets.
std::vector<int> DefaultFreeValues(const std::vector<FitTarget>& targets);

// `session` holds the loaded folder, `weaponFile` the bytes of its pellix_weapon.dat. On
// return the session's weapon row is the fitted one.
bool RunFit(LabSession& session, const std::string& weaponFile, const FitOptions& options,
            FitResult& result, std::string& error);

// Replaces the fitted row's line in the weapon file at `path`, whose bytes the fit read as
// `weaponFile`, and keeps those bytes beside it as `path`.bak for a modder to go back to.
bool WriteFit(const std::string& path, const std::string& weaponFile, const FitResult& result,
              std::string& error);

}  // namespace pellix::lab
