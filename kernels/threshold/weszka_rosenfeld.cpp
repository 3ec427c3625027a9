// Peak range by bounded smoothing, and straddle counts of all candidates in one pass.
#include "kernels/threshold/weszka_rosenfeld.h"

#include <algorithm>

#include "imageclasses/distribution.h"

namespace vorlane::detail {

CandidateRange SmoothedPeakRange(const long* hist) {
  CDistribution<long> dist;
  dist.Create(hist, 256);
  int radius = 2;
  int previous = dist.GetMaximaCount();
  int count = previous;
  for (int pass = 0; count > 2 && pass < kMaxSmoothingPasses; ++pass) {
    if (count == previous) {
      if (++radius > 20) break;
    } else {
      radius = 2;
      previous = count;
    }
    dist.MovingAverage(radius);
    count = dist.GetMaximaCount();
  }
  CandidateRange range;
  if (count < 2) {
    range.twoPeaks = false;
    return range;
  }
  const int* maxima = dist.GetMaximaPositions();
  range.lower = maxima[0];
  range.upper = count == 2 ? maxima[1] : maxima[count - 1];
  return range;
}

void StraddleCounts(const unsigned char* const* src, const RECT& rect, std::int64_t* counts) {
  // diff[i] - diff[i - 1] pairs start (or end) straddling candidate i; one extra entry takes
  // the ends at 256. Four sub-arrays keep repeated increments of one entry apart.
  std::int64_t diff[4][258] = {};
  const auto pair = [](std::int64_t* d, int a, int b) {
    const int lo = std::min(a, b), hi = std::max(a, b);
    d[lo + 1] += 1;
    d[hi + 1] -= 1;
  };
  for (int y = rect.top; y < rect.bottom; ++y) {
    const unsigned char* row = src[y];
    const unsigned char* below = y + 1 < rect.bottom ? src[y + 1] : nullptr;
    for (int x = rect.left; x < rect.right; ++x) {
      const int v = row[x];
      // The pairs with the right, lower left, lower and lower right neighbours.
      if (x + 1 < rect.right && row[x + 1] != v) pair(diff[0], v, row[x + 1]);
      if (!below) continue;
      if (x > rect.left && below[x - 1] != v) pair(diff[1], v, below[x - 1]);
      if (below[x] != v) pair(diff[2], v, below[x]);
      if (x + 1 < rect.right && below[x + 1] != v) pair(diff[3], v, below[x + 1]);
    }
  }
  std::int64_t running = 0;
  for (int t = 0; t < 256; ++t) {
    running += diff[0][t] + diff[1][t] + diff[2][t] + diff[3][t];
    counts[t] = running;
  }
}

int FewestStraddles(const std::int64_t* counts, const CandidateRange& range) {
  int best = -1;
  for (int t = std::max(range.lower, 0); t < std::min(range.upper, 256); ++t) {
    if (best < 0 || counts[t] < counts[best]) best = t;
  }
  return best;
}

}  // namespace vorlane::detail
