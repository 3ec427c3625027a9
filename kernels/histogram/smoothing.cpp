// Weighted moving average and local extrema of profiles, exact in 128-bit sums.
#include "kernels/histogram/smoothing.h"

#include <algorithm>
#include <cstdint>

namespace vorlane::detail {
namespace {

// Holds every sum formed here exactly: up to 2^31 values of 64 bits, or a 64-bit value times
// weights totalling (radius + 1)^2 < 2^62.
using WideInt = __int128;

// Quotient of a wide integer by a positive divisor, rounded toward zero; the common case
// that fits 64 bits avoids the slow 128-bit division.
WideInt DivideTowardZero(WideInt num, std::int64_t divisor) {
  if (num >= INT64_MIN && num <= INT64_MAX) return static_cast<std::int64_t>(num) / divisor;
  return num / divisor;
}

// Records the flat run s..e (s <= e) of an extremum into `list` by the plateau treatment;
// a single position (s == e) is always recorded. `isMaximum` selects the maximum rule of
// kPlateauMiddleMax. Unknown treatments record nothing for flat runs.
void RecordExtremum(std::vector<int>& list, int s, int e, unsigned char treatment, bool isMaximum) {
  if (s == e) {
    list.push_back(e);
    return;
  }
  const bool middle = treatment == kPlateauMiddle || (treatment == kPlateauMiddleMax && isMaximum);
  const bool bothEnds =
      treatment == kPlateauBothEnds || (treatment == kPlateauMiddleMax && !isMaximum);
  if (middle) {
    list.push_back(static_cast<int>((static_cast<std::int64_t>(s) + e) / 2));
  } else if (bothEnds) {
    list.push_back(s);
    list.push_back(e);
  }
}

}  // namespace

template <typename T>
void WeightedMovingAverage(const T* src, T* dst, int n, int radius) {
  if (n <= 0 || !src || !dst) return;
  std::copy(src, src + n, dst);
  const std::int64_t r = radius;
  if (r <= 0 || 2 * r >= n) return;
  const std::int64_t divisor = 1 + r * (r + 1);
  const int first = radius;
  const int last = n - radius - 1;
  // Window sums at the first position.
  WideInt tri = 0;
  WideInt left = 0;   // src[i-r .. i]
  WideInt right = 0;  // src[i+1 .. i+r+1]
  for (std::int64_t d = -r; d <= r; ++d) {
    tri += static_cast<WideInt>(r + 1 - (d < 0 ? -d : d)) * src[first + d];
    if (d <= 0) left += src[first + d];
  }
  for (std::int64_t d = 1; d <= r + 1 && first + d < n; ++d) right += src[first + d];
  for (int i = first; i <= last; ++i) {
    dst[i] = static_cast<T>(DivideTowardZero(tri - static_cast<WideInt>(r) * src[i], divisor));
    if (i == last) break;
    // Move the window sums one position to the right.
    tri += right - left;
    left += src[i + 1] - static_cast<WideInt>(src[i - radius]);
    if (i + radius + 2 < n) right += src[i + radius + 2];
    right -= src[i + 1];
  }
}

template <typename T>
void FindExtrema(const T* v, int n, unsigned char treatment, std::vector<int>& maxima,
                 std::vector<int>& minima) {
  maxima.clear();
  minima.clear();
  int i = 0;
  while (i < n - 1 && v[i] == v[i + 1]) ++i;
  if (i < n - 1 && v[i] < v[i + 1]) minima.push_back(i);
  int s = 0;
  while (i < n - 1) {
    // Climb to the top, remembering where its flat part starts.
    while (i < n - 1 && v[i] <= v[i + 1]) {
      while (i < n - 1 && v[i] < v[i + 1]) ++i;
      s = i;
      while (i < n - 1 && v[i] == v[i + 1]) ++i;
    }
    RecordExtremum(maxima, s, i, treatment, true);
    // Descend to the bottom, likewise.
    while (i < n - 1 && v[i] >= v[i + 1]) {
      while (i < n - 1 && v[i] > v[i + 1]) ++i;
      s = i;
      while (i < n - 1 && v[i] == v[i + 1]) ++i;
    }
    RecordExtremum(minima, s, i, treatment, false);
  }
  if (maxima.empty()) maxima.push_back(0);
  if (minima.empty()) minima.push_back(0);
}

template void WeightedMovingAverage<int>(const int*, int*, int, int);
template void WeightedMovingAverage<long>(const long*, long*, int, int);
template void FindExtrema<int>(const int*, int, unsigned char, std::vector<int>&,
                               std::vector<int>&);
template void FindExtrema<long>(const long*, int, unsigned char, std::vector<int>&,
                                std::vector<int>&);

}  // namespace vorlane::detail
