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
};

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

}  // namespace vorlane::detail
