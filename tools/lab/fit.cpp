#include "tools/lab/fit.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <nlopt.hpp>
#include <stdexcept>

#include "startup/settings.h"
#include "startup/tables.h"
#include "tools/lab/fit_checks.h"
#include "tools/lab/impact_table.h"
#include "tools/lab/table.h"

namespace pellix::lab {

namespace {

const char* const kFieldNames[4] = {"muzzleSpeed", "dragAlong", "dragAcross", "pierceCost"};

// A candidate scores the sum of its squared residuals in tolerances; a target the round does
// not reach scores more than any reachable value, less the nearer the round comes.
constexpr double kUnreached = 1.0e6;
// A point whose every target is this close, in tolerances, needs no further search.
constexpr double kSettled = 0.25;
constexpr int kLocalEvaluations = 300;

double Square(double x) { return x * x; }

bool ParseNumber(const std::string& text, double& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return *end == '\0' && std::isfinite(value);
}

bool UsesImpacts(const std::vector<FitTarget>& targets) {
  for (const FitTarget& t : targets)
    if (t.kind != FitTarget::Kind::Range) return true;
  return false;
}

// The row's values as its line gives them (field 0 the muzzle speed, not yet converted).
WeaponBallistics LineValues(const std::string& text) {
  WeaponBallistics row{};
  ScanWeaponFields(text.c_str(), row);
  return row;
}

double FieldValue(const WeaponBallistics& row, int field) {
  switch (field) {
    case kMuzzleSpeed:
      return row.speedFactor;
    case kDragAlong:
      return row.dragAlong;
    case kDragAcross:
      return row.dragAcross;
    default:
      return row.pierceCost;
  }
}

FitBound DefaultBound(int field, double start) {
  if (field == kMuzzleSpeed) return start > 0.0 ? FitBound{start / 4.0, start * 4.0} : FitBound{25.0, 5000.0};
  if (field == kPierceCost) return {0.0, std::max(10.0, 100.0 * start)};
  return {0.0, std::max(1.0, 4.0 * start)};
}

// Runs candidates: a set of free values becomes the row's line, the plug-in's reader stores
// it, and the range and impact runs read the targets off.
class Objective {
 public:
  Objective(LabSession& session, const FitOptions& o, const std::string& line,
            const std::vector<int>& free, const std::map<int, FitBound>& bounds)
      : session_(session), o_(o), line_(line), free_(free), bounds_(bounds) {}

  // Free values from a point of the unit cube the searches work in, and back.
  std::vector<double> Values(const std::vector<double>& x) const {
    std::vector<double> v(x.size());
    for (size_t i = 0; i < x.size(); ++i) {
      const FitBound& b = bounds_.at(free_[i]);
      v[i] = b.lo + std::clamp(x[i], 0.0, 1.0) * (b.hi - b.lo);
    }
    return v;
  }
  std::vector<double> Unit(const std::vector<double>& v) const {
    std::vector<double> x(v.size());
    for (size_t i = 0; i < v.size(); ++i) {
      const FitBound& b = bounds_.at(free_[i]);
      x[i] = b.hi > b.lo ? std::clamp((v[i] - b.lo) / (b.hi - b.lo), 0.0, 1.0) : 0.0;
    }
    return x;
  }

  // The line with each free value written as the float the reader will make of it.
  std::string Line(const std::vector<double>& values) const {
    std::map<int, std::string> texts;
    for (size_t i = 0; i < values.size(); ++i)
      texts[free_[i]] = ShortestFloat(static_cast<float>(values[i]));
    return ReplaceWeaponFields(line_, texts);
  }

  std::vector<FitTargetResult> Evaluate(const std::string& line,
                                        const std::vector<size_t>& which) {
    ++evaluations;
    ReadWeaponLine(line.c_str(), weaponTable, settings.weaponCount);
    std::vector<FitTargetResult> results;
    RangeResult range;
    bool ranged = false;
    for (size_t i : which) {
      const FitTarget& t = o_.targets[i];
      FitTargetResult r;
      r.target = t;
      if (t.kind == FitTarget::Kind::Range) {
        if (!ranged) range = RunRange(session_, o_.range);
        ranged = true;
        RangePoint at{};
        r.reached = RangeAt(range, t.at, at);
        if (!r.reached && !range.points.empty()) at = range.points.back();
        r.value = QuantityOf(at, t.quantity);
        r.end = range.endKind;
        r.farthest = range.points.empty() ? 0.0 : range.points.back().distance;
        for (const RangePoint& p : range.points) {
          if (p.distance < t.at) continue;
          r.hitSpeed = p.speed;
          break;
        }
        if (!r.reached) shortfall_[i] = range.points.empty() ? t.at : t.at - at.distance;
      } else {
        ImpactOptions io;
        io.weapon = o_.range.weapon;
        io.surfaceClass = o_.surfaceClass;
        io.anglesDeg = {o_.angleDeg};
        io.speedShares = {o_.speedShare};
        io.draws = 1;
        io.thickness = t.kind == FitTarget::Kind::Exit ? t.at : 0.0f;
        const ImpactCase c = RunImpacts(session_, io).front();
        r.outcome = c.outcome;
        r.reached = c.outcome == ImpactOutcome::Penetration && std::isfinite(c.maxDepth);
        if (t.kind == FitTarget::Kind::Depth) {
          r.value = r.reached ? c.maxDepth : 0.0;
        } else if (r.reached) {
          // Stuck inside: short of the way out by a share of the thickness, which meets the
          // exit speed share at 0 where the round just gets through.
          r.value = c.exitSpeed >= 0.0f ? c.exitSpeed : -(t.at - c.maxDepth) / t.at;
        }
        if (!r.reached) shortfall_[i] = 1.0;
      }
      r.residual = r.value - t.wanted;
      r.met = r.reached && std::fabs(r.residual) <= t.Tolerance();
      if (!r.reached) unreached[i] = r;
      results.push_back(r);
    }
    return results;
  }

  double Score(const std::vector<FitTargetResult>& results, const std::vector<size_t>& which) {
    double score = 0.0;
    for (size_t k = 0; k < results.size(); ++k) {
      const FitTargetResult& r = results[k];
      if (r.reached) {
        score += Square(r.residual / r.target.Tolerance());
      } else {
        const double scale = r.target.at > 0.0f ? r.target.at : 1.0;
        score += Square(kUnreached * (1.0 + shortfall_[which[k]] / scale));
      }
    }
    return score;
  }

  double operator()(const std::vector<double>& x, const std::vector<size_t>& which,
                    bool& settled) {
    const auto results = Evaluate(Line(Values(x)), which);
    settled = true;
    for (const FitTargetResult& r : results)
      settled = settled && r.reached && std::fabs(r.residual) <= kSettled * r.target.Tolerance();
    return Score(results, which);
  }

  int evaluations = 0;
  // The last candidate of each target that did not reach it: why the runs stop short when a
  // search cannot go further.
  std::map<size_t, FitTargetResult> unreached;

 private:
  LabSession& session_;
  const FitOptions& o_;
  const std::string& line_;
  const std::vector<int>& free_;
  const std::map<int, FitBound>& bounds_;
  std::map<size_t, double> shortfall_;
};

struct Search {
  std::vector<double> x;  // unit cube
  double score = INFINITY;
  int start = 0;
  bool settled = false;
  int startsRun = 0;
};

struct Call {
  Objective* objective;
  const std::vector<size_t>* which;
  Search* best;
  int start;
};

double Evaluate(const std::vector<double>& x, std::vector<double>& /*gradient*/, void* data) {
  Call& c = *static_cast<Call*>(data);
  bool settled = false;
  const double score = (*c.objective)(x, *c.which, settled);
  if (score < c.best->score) *c.best = {x, score, c.start, settled};
  if (settled) throw nlopt::forced_stop();
  return score;
}

// One local search from `x`; the best point seen goes to `best` whatever way the search ends.
void LocalSearch(nlopt::algorithm algorithm, std::vector<double> x, Call& call) {
  nlopt::opt opt(algorithm, static_cast<unsigned>(x.size()));
  opt.set_lower_bounds(std::vector<double>(x.size(), 0.0));
  opt.set_upper_bounds(std::vector<double>(x.size(), 1.0));
  opt.set_min_objective(&Evaluate, &call);
  opt.set_xtol_abs(1.0e-9);
  opt.set_maxeval(kLocalEvaluations);
  opt.set_initial_step(0.05);
  double score = 0.0;
  try {
    opt.optimize(x, score);
  } catch (const nlopt::forced_stop&) {
    // Settled.
  } catch (const nlopt::roundoff_limited&) {
    // Flat regions end a search early; its best point is kept.
  }
}

// Radical inverse in base b: the Halton sequence spreads the starts over the bounds.
double Halton(int index, int base) {
  double f = 1.0, r = 0.0;
  for (int i = index; i > 0; i /= base) {
    f /= base;
    r += f * (i % base);
  }
  return r;
}

// The best point of several local searches for the targets `which`: BOBYQA from each start,
// then Nelder-Mead from where it stopped when that misses (the objective is a frame-stepped
// simulation, flat in places and with small steps).
Search MultiStart(Objective& objective, const std::vector<double>& first,
                  const std::vector<size_t>& which, int starts) {
  static const int kBases[4] = {2, 3, 5, 7};
  Search best;
  for (int s = 0; s < starts && !best.settled; ++s) {
    std::vector<double> x = first;
    if (s > 0)
      for (size_t i = 0; i < x.size(); ++i) x[i] = Halton(s, kBases[i % 4]);
    Search local;
    Call localCall{&objective, &which, &local, s};
    try {
      LocalSearch(nlopt::LN_BOBYQA, x, localCall);
    } catch (const std::invalid_argument&) {
      // BOBYQA wants two or more values; one free value goes to Nelder-Mead alone.
    }
    if (!local.settled)
      LocalSearch(nlopt::LN_NELDERMEAD, local.x.empty() ? x : local.x, localCall);
    if (local.score < best.score) best = local;
    best.startsRun = s + 1;
  }
  return best;
}

std::string FreeList(const std::vector<int>& free, const std::map<int, FitBound>& bounds) {
  std::string s;
  for (int f : free) {
    if (!s.empty()) s += ", ";
    s += std::string(kFieldNames[f]) + " " + SignificantDigits(bounds.at(f).lo, 6) + ":" +
         SignificantDigits(bounds.at(f).hi, 6);
  }
  return s;
}

// Fewer digits read better in the file: the shortest rounding of the fitted values that still
// meets each target the exact values meet and misses no other by more.
std::vector<double> ShortestMeeting(Objective& objective, const std::vector<double>& exact,
                                    const std::vector<FitTargetResult>& exactResults,
                                    const std::vector<size_t>& which) {
  for (int digits = 3; digits <= 9; ++digits) {
    std::vector<double> rounded;
    for (double v : exact) rounded.push_back(std::strtod(SignificantDigits(v, digits).c_str(), nullptr));
    const auto results = objective.Evaluate(objective.Line(rounded), which);
    bool good = true;
    for (size_t k = 0; k < results.size(); ++k) {
      const double limit = exactResults[k].met ? results[k].target.Tolerance()
                                               : std::fabs(exactResults[k].residual) * 1.001;
      good = good && results[k].reached == exactResults[k].reached &&
             (!results[k].reached || std::fabs(results[k].residual) <= limit);
    }
    if (good) return rounded;
  }
  return exact;
}

// Why not: a target that a setting blocks says so; any other missed target is fitted alone,
// then with each other searched target in turn.
void Explain(Objective& objective, const FitOptions& o, const LabSession& session,
             const std::vector<double>& first, const std::vector<size_t>& searched, FitResult& r) {
  const int fewer = std::min(o.starts, 3);
  for (size_t i = 0; i < r.targets.size(); ++i) {
    const FitTargetResult& missed = r.targets[i];
    if (missed.met) continue;
    if (!missed.blocked.empty()) {
      r.conflicts.push_back(missed.target.text + " whatever the values: " + missed.blocked);
      continue;
    }
    const int decimals = missed.target.decimals + 1;
    objective.unreached.erase(i);
    const Search alone = MultiStart(objective, first, {i}, fewer);
    const auto aloneResult = objective.Evaluate(objective.Line(objective.Values(alone.x)), {i});
    if (!aloneResult[0].met) {
      // What stops the nearest candidate, or else the candidates beyond it.
      std::string why = FitMissReason(aloneResult[0], o, session);
      const auto stopped = objective.unreached.find(i);
      if (why.empty() && stopped != objective.unreached.end())
        why = FitMissReason(stopped->second, o, session);
      r.conflicts.push_back(missed.target.text + " is out of reach with " +
                            FreeList(r.free, r.bounds) + ": the nearest value reached is " +
                            FormatFixed(aloneResult[0].value, decimals) +
                            (aloneResult[0].reached ? "" : " (the round never gets there)") +
                            (why.empty() ? "" : "; " + why));
      continue;
    }
    std::string with;
    for (size_t j : searched) {
      if (j == i) continue;
      const std::vector<size_t> pairOf = {std::min(i, j), std::max(i, j)};
      const Search pair = MultiStart(objective, first, pairOf, fewer);
      const auto pairResult = objective.Evaluate(objective.Line(objective.Values(pair.x)), pairOf);
      if (!pairResult[0].met || !pairResult[1].met)
        with += (with.empty() ? "" : ", ") + o.targets[j].text;
    }
    r.conflicts.push_back(
        missed.target.text + " cannot be met together with " +
        (with.empty() ? std::string("all the other targets (it can alone and with each one)")
                      : with + " (it can alone)") +
        ": the best fit of all reaches " + FormatFixed(missed.value, decimals));
  }
  // The searches above rewrote the row: put the fitted line back.
  std::vector<size_t> all(o.targets.size());
  for (size_t i = 0; i < all.size(); ++i) all[i] = i;
  objective.Evaluate(r.fittedLine, all);
}

}  // namespace

const char* FitFieldName(int field) {
  return field >= 0 && field < 4 ? kFieldNames[field] : "?";
}

int ParseFitField(const std::string& name) {
  for (int f = 0; f < 4; ++f)
    if (name == kFieldNames[f]) return f;
  return -1;
}

double FitTarget::Tolerance() const {
  // Literals rather than pow, whose last bit may differ between C runtimes: both builds must
  // search with the same numbers.
  static const double kHalfUnit[] = {0.5, 0.05, 0.005, 0.0005, 0.00005, 0.000005};
  return kHalfUnit[std::clamp(decimals, 0, 5)];
}

std::vector<int> DefaultFreeValues(const std::vector<FitTarget>& targets) {
  std::vector<int> free;
  for (const FitTarget& t : targets) {
    if (t.kind != FitTarget::Kind::Range) continue;
    free = {kMuzzleSpeed};
    if (settings.AirResist != 0) free.push_back(kDragAlong);
    break;
  }
  if (UsesImpacts(targets)) free.push_back(kPierceCost);
  return free;
}

bool ParseFitTarget(const std::string& text, FitTarget& t, std::string& error) {
  t = FitTarget{};
  t.text = text;
  const size_t eq = text.find('=');
  const size_t atSign = text.find('@');
  const std::string kind = text.substr(0, std::min(eq, atSign));
  double wanted = 0.0, at = 0.0;
  if (eq == std::string::npos || !ParseNumber(text.substr(eq + 1), wanted)) {
    error = "--target " + text + ": expected KIND@DISTANCE=VALUE (or depth=VALUE)";
    return false;
  }
  t.wanted = wanted;
  if (kind == "depth") {
    t.kind = FitTarget::Kind::Depth;
    t.decimals = 3;
    if (atSign != std::string::npos && atSign < eq) {
      error = "--target " + text + ": depth takes no distance (depth=VALUE)";
      return false;
    }
    return true;
  }
  if (atSign == std::string::npos || atSign > eq ||
      !ParseNumber(text.substr(atSign + 1, eq - atSign - 1), at) || at < 0.0) {
    error = "--target " + text + ": expected KIND@DISTANCE=VALUE with a distance of 0 or more";
    return false;
  }
  t.at = static_cast<float>(at);
  if (kind == "pierce") {
    t.kind = FitTarget::Kind::Exit;
    t.decimals = 3;
    if (!(at > 0.0)) {
      error = "--target " + text + ": the thickness must be above 0";
      return false;
    }
    return true;
  }
  for (RangeQuantity q : {RangeQuantity::Drop, RangeQuantity::Speed, RangeQuantity::Energy,
                          RangeQuantity::Damage, RangeQuantity::Time}) {
    if (kind == QuantityName(q)) {
      t.quantity = q;
      t.decimals = QuantityDecimals(q);
      return true;
    }
  }
  error = "--target " + text +
          ": the kind is one of drop, speed, energy, damage, time, pierce, depth";
  return false;
}

bool RunFit(LabSession& session, const std::string& weaponFile, const FitOptions& o,
            FitResult& r, std::string& error) {
  const auto started = std::chrono::steady_clock::now();
  if (o.targets.empty()) {
    error = "no --target given";
    return false;
  }
  if (UsesImpacts(o.targets) && o.surfaceClass < 0) {
    error = "pierce and depth targets need --surface";
    return false;
  }
  r = FitResult{};
  r.row = static_cast<int32_t>(WeaponRowIndex(o.range.weapon));
  if (!FindWeaponLine(weaponFile, r.row, settings.weaponCount, r.line)) {
    error = "no line of pellix_weapon.dat gives row " + std::to_string(r.row) +
            " (the row of weapon type " + std::to_string(o.range.weapon) + ")";
    return false;
  }
  // A target that a setting blocks is not searched, and frees nothing by default.
  std::vector<size_t> all(o.targets.size()), searched;
  std::vector<std::string> blocked(o.targets.size());
  std::vector<FitTarget> open;
  for (size_t i = 0; i < all.size(); ++i) {
    all[i] = i;
    blocked[i] = FitTargetBlocked(o.targets[i], o);
    if (!blocked[i].empty()) continue;
    searched.push_back(i);
    open.push_back(o.targets[i]);
  }
  r.free = o.free.empty() ? DefaultFreeValues(open) : o.free;
  std::sort(r.free.begin(), r.free.end());
  r.free.erase(std::unique(r.free.begin(), r.free.end()), r.free.end());
  for (int f : r.free) {
    if (r.line.fields <= f) {
      error = "line " + std::to_string(r.line.number) + " of pellix_weapon.dat gives only " +
              std::to_string(r.line.fields) + " values, not " + kFieldNames[f];
      return false;
    }
  }

  const WeaponBallistics own = LineValues(r.line.text);
  std::vector<double> startValues;
  for (int f : r.free) {
    r.before[f] = std::strtod(ShortestFloat(static_cast<float>(FieldValue(own, f))).c_str(), nullptr);
    const auto s = o.start.find(f);
    const double start = s != o.start.end() ? s->second : r.before[f];
    const auto b = o.bounds.find(f);
    r.bounds[f] = b != o.bounds.end() ? b->second : DefaultBound(f, start);
    if (!(r.bounds[f].lo <= r.bounds[f].hi)) {
      error = std::string("the bound of ") + kFieldNames[f] + " is empty";
      return false;
    }
    startValues.push_back(start);
  }

  Objective objective(session, o, r.line.text, r.free, r.bounds);
  const std::vector<double> first = objective.Unit(startValues);
  std::vector<double> chosen;
  if (!searched.empty()) {
    const Search best = MultiStart(objective, first, searched, o.starts);
    r.startsRun = best.startsRun;
    r.bestStart = best.start;
    const std::vector<double> exact = objective.Values(best.x);
    const auto exactResults = objective.Evaluate(objective.Line(exact), searched);
    for (const FitTargetResult& t : exactResults) r.fitted = r.fitted || t.reached;
    // Without a target reached the search had nothing to go by: the row keeps its values.
    if (r.fitted) chosen = ShortestMeeting(objective, exact, exactResults, searched);
  }
  std::map<int, std::string> texts;
  for (size_t i = 0; i < r.free.size(); ++i) {
    if (!r.fitted) {
      r.after[r.free[i]] = r.before[r.free[i]];
      continue;
    }
    // The fewest digits of the chosen value that read back as the float it stands for.
    const float stored = static_cast<float>(chosen[i]);
    std::string text = ShortestFloat(stored);
    for (int d = 1; d <= 9; ++d) {
      const std::string candidate = SignificantDigits(chosen[i], d);
      if (std::strtof(candidate.c_str(), nullptr) == stored) {
        text = candidate;
        break;
      }
    }
    texts[r.free[i]] = text;
    r.after[r.free[i]] = std::strtod(text.c_str(), nullptr);
  }
  r.fittedLine = r.fitted ? ReplaceWeaponFields(r.line.text, texts) : r.line.text;
  r.targets = objective.Evaluate(r.fittedLine, all);
  r.met = true;
  for (size_t i = 0; i < r.targets.size(); ++i) {
    r.targets[i].blocked = blocked[i];
    r.met = r.met && r.targets[i].met;
  }
  if (!r.met) Explain(objective, o, session, first, searched, r);
  r.warnings = FitWarnings(r, o);
  r.evaluations = objective.evaluations;
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  return true;
}

bool WriteFit(const std::string& path, const std::string& weaponFile, const FitResult& r,
              std::string& error) {
  return WriteFileBytes(path + ".bak", weaponFile, error) &&
         WriteFileBytes(path, ReplaceLine(weaponFile, r.line, r.fittedLine), error);
}

}  // namespace pellix::lab
