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
  // False when the best coarse angle lies on an end of the sweep or the refined angle
  // beyond the range (the true one may lie beyond it), or the sweep found no ink.
  bool peakInside = false;
  // The strongest rival of the coarse peak: the highest local maximum of the coarse sweep at
  // least kRivalApartDegrees from it, measured by how far it rises above the deeper of the
  // sweep's mean and the lowest score between the two, as a share of the peak's rise above
  // the mean (0: none; near 1: two angles compete).
  double rival = 0.0;
  std::int64_t coarsePeak = 0;  // the best score of the coarse sweep
};

inline constexpr double kRivalApartDegrees = 1.5;

// The largest angle searched: the range and one coarse step beyond, so that a page turned by
// the range's own angle still shows a peak inside the sweep. Strips shift by up to
// round(tan(reach) * |centre|) rows.
double SkewSearchReach(const SkewSearchSettings& settings);

// Searches the angle of full (counts at full row resolution whose margin holds the shift of
// every strip at SkewSearchReach) in three rounds:
// 1. a sweep out to the reach at 4 times the precision (at most a quarter of the range) on
//    rows reduced by 4, whose peak is only roughly placed but whose scores give the
//    confidence;
// 2. the precision's steps at full resolution over one coarse step either side of the peak;
// 3. a fifth of the precision over two precisions either side of that; the angle is the
//    centre of this round's peak (see PeakCentre), clamped to the range.
// No angle searched lies beyond the reach.
SkewSearchResult SearchSkew(const StripCounts& full, const SkewSearchSettings& settings);

// The best score of round 1 of SearchSkew alone (0 without ink): comparable between counts of
// the same ink at the same resolution, such as a page's strips and its bands (CountBandInk).
std::int64_t CoarsePeakScore(const StripCounts& full, const SkewSearchSettings& settings);

}  // namespace vorlane::detail
