// The coarse-to-fine search for the shear angle that makes a page's row profile sharpest.
#pragma once

#include "kernels/skew/strip_profiles.h"

namespace vorlane::detail {

struct SkewSearchSettings {
  double rangeDegrees = 10.0;      // angles from -range to +range are searched (> 0)
  double precisionDegrees = 0.05;  // step of the middle search (> 0)
};

struct SkewSearchResult {
  double angleDegrees = 0.0;  // positive: the content is turned counter-clockwise
  // 1 - (mean score of the coarse sweep) / (best score of the coarse sweep): near 1 for a
  // profile with a sharp peak, near 0 when no angle stands out; 0 without any score.
  double confidence = 0.0;
  // False when the best coarse angle lies on an end of the sweep or more than a coarse step
  // beyond the range, or the refined angle beyond the range, or the sweep found no ink.
  bool peakInside = false;
  // The strongest rival of the coarse peak: the highest local maximum of the coarse sweep at
  // least kRivalApartDegrees from it, measured by how far it rises above the deeper of the
  // sweep's mean and the lowest score between the two, as a share of the peak's rise above
  // the mean (0: none; near 1: two angles compete).
  double rival = 0.0;
  std::int64_t coarsePeak = 0;  // the best score of the coarse sweep
};

inline constexpr double kRivalApartDegrees = 1.5;

// The coarse sweep watches out to twice the range (at most kSkewWatchLimit) and one coarse
// step beyond, so that lines turned beyond the range show their peak there instead of a
// lesser one inside it. SkewSearchReach is that largest angle searched; strips shift by up to
// round(tan(reach) * |centre|) rows.
inline constexpr double kSkewWatchLimit = 45.0;
double SkewSearchReach(const SkewSearchSettings& settings);

// Searches the angle of full (counts at full row resolution whose margin holds the shift of
// every strip at SkewSearchReach) in three rounds:
// 1. a sweep out to the reach at 4 times the precision (at most a quarter of the range) on
//    rows reduced by 4, whose peak is only roughly placed but whose scores give the
//    confidence;
// 2. when that peak (with the angles after it that tie with it) lies inside the sweep and
//    within one coarse step of the range, the precision's steps at full resolution over one
//    coarse step either side of it (of the run of tied angles), moved
//    (up to 4 times) to its best angle while that lies on an end and the score still rises;
// 3. a fifth of the precision over two precisions either side of that; the angle is the
//    centre of this round's peak (see PeakCentre), clamped to the range.
// Rounds 2 and 3 search no angle beyond one coarse step outside the range.
SkewSearchResult SearchSkew(const StripCounts& full, const SkewSearchSettings& settings);

// Round 1 of SearchSkew alone: confidence, coarsePeak and rival (the angle stays 0 and
// peakInside false). Peaks are comparable between counts of the same ink at the same
// resolution, such as a page's strips and its bands (CountBandInk).
SkewSearchResult SearchCoarsely(const StripCounts& full, const SkewSearchSettings& settings);

}  // namespace vorlane::detail
