// Coarse-to-fine search of the sheared profile scores.
#include "kernels/skew/skew_search.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <utility>

namespace vorlane::detail {
namespace {

constexpr int kCoarseReduction = 4;
static_assert(kCoarseReduction <= kSkewMaxRowFactor);
constexpr double kCoarseStepsPerPrecision = 4.0;
constexpr double kFineStepsPerPrecision = 5.0;
constexpr double kFineReachInPrecisions = 2.0;
constexpr int kMiddleMoves = 4;

double Tangent(double degrees) { return std::tan(degrees * std::numbers::pi / 180.0); }

double CoarseStep(const SkewSearchSettings& s) {
  // At least four coarse steps either side of zero, so that a peak can lie inside the range.
  return std::min(s.precisionDegrees * kCoarseStepsPerPrecision, s.rangeDegrees / 4.0);
}

struct Sweep {
  std::vector<double> angles;
  std::vector<std::int64_t> scores;
  size_t best = 0;  // the first of the best scores
};

// Scores the angles centre + i * step for every whole i with |i * step| <= reach and the
// angle within [-limit, limit] (i = 0 always).
Sweep Scan(const StripCounts& counts, double centre, double step, double reach, double limit,
           ProfileSpace& profile) {
  Sweep sweep;
  const int lowest = -static_cast<int>(std::floor(std::min(reach, centre + limit) / step + 1e-9));
  const int highest = static_cast<int>(std::floor(std::min(reach, limit - centre) / step + 1e-9));
  for (int i = std::min(lowest, 0); i <= std::max(highest, 0); ++i) {
    const double angle = centre + i * step;
    sweep.angles.push_back(angle);
    sweep.scores.push_back(ShearedProfileScore(counts, Tangent(angle), profile));
    if (sweep.scores.back() > sweep.scores[sweep.best]) sweep.best = sweep.scores.size() - 1;
  }
  return sweep;
}

// The centre of the peak of a fine sweep: the mean of the angles weighted by how far their
// score rises above the middle between the sweep's lowest and highest score. The score
// falls steeply and nearly evenly on both sides of the true angle, while strip shifts in
// whole rows make neighbouring angles share a score, so the weighted centre places the
// peak more finely than the best angle alone.
double PeakCentre(const Sweep& sweep) {
  const std::int64_t high = sweep.scores[sweep.best];
  const std::int64_t low = *std::min_element(sweep.scores.begin(), sweep.scores.end());
  const double level = (static_cast<double>(high) + static_cast<double>(low)) / 2.0;
  double sum = 0.0, weights = 0.0;
  for (size_t i = 0; i < sweep.scores.size(); ++i) {
    const double w = static_cast<double>(sweep.scores[i]) - level;
    if (w <= 0.0) continue;
    sum += w * sweep.angles[i];
    weights += w;
  }
  return weights > 0.0 ? sum / weights : sweep.angles[sweep.best];
}

// The rival of the sweep's best score (see SkewSearchResult::rival), mean being its mean.
double Rival(const Sweep& sweep, double mean) {
  const double rise = static_cast<double>(sweep.scores[sweep.best]) - mean;
  if (rise <= 0.0) return 0.0;
  const size_t n = sweep.scores.size();
  double strongest = 0.0;
  for (size_t i = 0; i < n; ++i) {
    const std::int64_t s = sweep.scores[i];
    const bool local =
        (i == 0 || sweep.scores[i - 1] <= s) && (i + 1 == n || sweep.scores[i + 1] <= s);
    if (!local || std::fabs(sweep.angles[i] - sweep.angles[sweep.best]) < kRivalApartDegrees)
      continue;
    const size_t from = std::min(i, sweep.best), to = std::max(i, sweep.best);
    const std::int64_t dip =
        *std::min_element(sweep.scores.begin() + static_cast<std::ptrdiff_t>(from),
                          sweep.scores.begin() + static_cast<std::ptrdiff_t>(to));
    const double base = std::max(static_cast<double>(dip), mean);
    strongest = std::max(strongest, (static_cast<double>(s) - base) / rise);
  }
  return strongest;
}

Sweep CoarseSweep(const StripCounts& full, const SkewSearchSettings& settings,
                  ProfileSpace& profile) {
  const double reach = SkewSearchReach(settings);
  return Scan(ReduceRows(full, kCoarseReduction), 0.0, CoarseStep(settings), reach, reach, profile);
}

// Fills the confidence, peak and rival of result from the coarse sweep; false when its best
// score is 0.
bool Judge(const Sweep& coarse, SkewSearchResult& result) {
  const std::int64_t peak = coarse.scores[coarse.best];
  if (peak <= 0) return false;
  double mean = 0.0;
  for (std::int64_t s : coarse.scores) mean += static_cast<double>(s);
  mean /= static_cast<double>(coarse.scores.size());
  result.confidence = 1.0 - mean / static_cast<double>(peak);
  result.coarsePeak = peak;
  result.rival = Rival(coarse, mean);
  return true;
}

}  // namespace

SkewSearchResult SearchCoarsely(const StripCounts& full, const SkewSearchSettings& settings) {
  SkewSearchResult result;
  if (full.ink <= 0 || full.strips <= 0) return result;
  ProfileSpace profile;
  const Sweep coarse = CoarseSweep(full, settings, profile);
  Judge(coarse, result);
  return result;
}

double SkewSearchReach(const SkewSearchSettings& settings) {
  return std::min(2.0 * settings.rangeDegrees, kSkewWatchLimit) + CoarseStep(settings);
}

SkewSearchResult SearchSkew(const StripCounts& full, const SkewSearchSettings& settings) {
  SkewSearchResult result;
  if (full.ink <= 0 || full.strips <= 0) return result;
  ProfileSpace profile;
  const double range = settings.rangeDegrees, coarseStep = CoarseStep(settings);
  // The refinement stays within one coarse step beyond the range.
  const double reach = range + coarseStep;
  const Sweep coarse = CoarseSweep(full, settings, profile);
  if (!Judge(coarse, result)) return result;
  // On a small page the coarse rows shift by less than a row across it at the smallest
  // angles, so neighbouring angles tie with the best: the middle round spans the whole run of
  // them, not only its first.
  size_t last = coarse.best;
  while (last + 1 < coarse.scores.size() && coarse.scores[last + 1] == coarse.scores[coarse.best])
    ++last;
  const double centre = (coarse.angles[coarse.best] + coarse.angles[last]) / 2.0;
  // A peak on an end of the sweep or beyond the range: the lines lie outside the range.
  if (coarse.best == 0 || last + 1 == coarse.scores.size() || std::fabs(centre) > reach)
    return result;
  const double spread = (coarse.angles[last] - coarse.angles[coarse.best]) / 2.0;
  Sweep middle = Scan(full, centre, settings.precisionDegrees, coarseStep + spread, reach, profile);
  // The coarse rows blur the peak and may place it more than a step off: while the best angle
  // lies on an end of the round, the round moves there, as long as the score still rises.
  for (int move = 0; move < kMiddleMoves; ++move) {
    if (middle.best != 0 && middle.best + 1 != middle.scores.size()) break;
    Sweep next = Scan(full, middle.angles[middle.best], settings.precisionDegrees, coarseStep,
                      reach, profile);
    if (next.scores[next.best] <= middle.scores[middle.best]) break;
    middle = std::move(next);
  }
  const double fineStep = settings.precisionDegrees / kFineStepsPerPrecision;
  const double angle =
      PeakCentre(Scan(full, middle.angles[middle.best], fineStep,
                      kFineReachInPrecisions * settings.precisionDegrees, reach, profile));
  result.peakInside = std::fabs(angle) <= range + fineStep / 2.0;
  result.angleDegrees = std::clamp(angle, -range, range);
  return result;
}

}  // namespace vorlane::detail
