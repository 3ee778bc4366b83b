// What `fit` tells a modder beside the fitted numbers: the setting or option that keeps a
// target out of reach, and warnings about targets and rows that a fit can meet but that do not
// do in play what the modder expects.
#pragma once
#include <string>
#include <vector>

#include "tools/lab/fit.h"
#include "tools/lab/lab_session.h"

namespace pellix::lab {

// The setting that keeps every row from meeting `target`, known before any search (a drop
// with Gravity off, penetration with Pierce off or on a surface that cannot be pierced);
// empty when none does.
std::string FitTargetBlocked(const FitTarget& target, const FitOptions& options);

// Why `missed`, the nearest a search of it alone came, still misses: the setting or option
// that ends the round first or caps the value; empty when none explains it.
std::string FitMissReason(const FitTargetResult& missed, const FitOptions& options,
                          const LabSession& session);

// Warnings on a finished fit: a row that other weapon types share, fewer targets than free
// values, a free drag that nothing reads, a target point where a hit deals nothing (below the
// speed floor).
std::vector<std::string> FitWarnings(const FitResult& result, const FitOptions& options);

}  // namespace pellix::lab
