// Smoothing of one-dimensional profiles (histograms, projections) and their local extrema:
// the weighted moving average and the maxima and minima with their plateau rules.
#pragma once

#include <vector>

namespace vorlane::detail {

// How a flat run s..e (s < e) forming an extremum is recorded; the values of the
// distribution class's PLATEAU_ constants.
enum PlateauRule : unsigned char {
  kPlateauIgnore = 0,     // not at all
  kPlateauMiddleMax = 1,  // maximum (s+e)/2, minimum s and e
  kPlateauBothEnds = 2,   // s and e
  kPlateauMiddle = 3,     // (s+e)/2
};

// Weighted moving average of src[0..n-1] (n >= 0) into dst (same length, may not alias): for
// radius <= i < n - radius, dst[i] = (src[i] + sum_{d=1..radius} (radius-d+1) *
// (src[i-d] + src[i+d])) / (1 + radius*(radius+1)) rounded toward zero; other positions are
// copied. The weighted sum is the triangle sum T(i) = sum_{|d|<=radius} (radius+1-|d|) *
// src[i+d] less radius * src[i]; T moves by (sum of the radius+1 values right of i) minus
// (sum of the radius+1 values from i-radius to i) per step, so the cost is O(n).
// Exact: the sums are 128-bit integers. Defined for T = int and T = long.
template <typename T>
void WeightedMovingAverage(const T* src, T* dst, int n, int radius);

// Local extrema of v[0..n-1] (n >= 0) in ascending order, one linear pass, flat runs
// recorded by the plateau rule `treatment` (other values record nothing for flat runs).
// The initial flat run is skipped and a rise there records its last position as a
// minimum; then the values are climbed (strict rises with flat steps between) to a
// maximum and descended to a minimum in turn. An empty list becomes {0}.
// Defined for T = int and T = long.
template <typename T>
void FindExtrema(const T* v, int n, unsigned char treatment, std::vector<int>& maxima,
                 std::vector<int>& minima);

}  // namespace vorlane::detail
