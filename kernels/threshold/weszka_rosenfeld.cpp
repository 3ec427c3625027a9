// Peak range by bounded smoothing, and straddle counts of all candidates in one pass.
#include "kernels/threshold/weszka_rosenfeld.h"

#include <algorithm>
#include <vector>

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

namespace {

// Adds every byte of values[0..count) to one of four sub-histograms in turn, so that repeated
// values do not wait on each other's increments.
void CountBytes(const unsigned char* values, int count, std::int64_t (&hist)[4][256]) {
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    ++hist[0][values[i]];
    ++hist[1][values[i + 1]];
    ++hist[2][values[i + 2]];
    ++hist[3][values[i + 3]];
  }
  for (; i < count; ++i) ++hist[0][values[i]];
}

}  // namespace

// A pair straddles t when min < t <= max, that is [min < t] - [max < t], and
// [min < t] + [max < t] = [p < t] + [q < t]. Summed over all pairs:
//   counts[t] = sum over pixels of deg(p) [p < t]  -  2 * sum over pairs of [max(p, q) < t],
// deg(p) being the number of neighbours of p inside the rectangle. So one histogram of the
// pixels (weighted by degree) and one of the pair maxima (four forward pairs per pixel, the
// maxima taken a row at a time) give every candidate's count.
void StraddleCounts(const unsigned char* const* src, const RECT& rect, std::int64_t* counts) {
  std::fill(counts, counts + 256, 0);
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return;
  std::int64_t pixels[4][256] = {}, maxima[4][256] = {};
  std::vector<unsigned char> pairMax(static_cast<size_t>(width) * 4);
  for (int y = rect.top; y < rect.bottom; ++y) {
    const unsigned char* row = src[y] + rect.left;
    CountBytes(row, width, pixels);
    unsigned char* m = pairMax.data();
    int n = 0;
    for (int x = 0; x + 1 < width; ++x) m[n++] = std::max(row[x], row[x + 1]);
    if (y + 1 < rect.bottom) {
      const unsigned char* below = src[y + 1] + rect.left;
      for (int x = 0; x < width; ++x) m[n++] = std::max(row[x], below[x]);
      for (int x = 0; x + 1 < width; ++x) m[n++] = std::max(row[x], below[x + 1]);
      for (int x = 1; x < width; ++x) m[n++] = std::max(row[x], below[x - 1]);
    }
    CountBytes(m, n, maxima);
  }
  // Degrees: 8 inside, fewer on the border rows and columns (each pixel counted once).
  std::int64_t degree[256] = {};
  for (int v = 0; v < 256; ++v) {
    degree[v] = 8 * (pixels[0][v] + pixels[1][v] + pixels[2][v] + pixels[3][v]);
  }
  const auto neighbours = [&](int x, int y) {
    const int nx = 1 + (x > rect.left) + (x + 1 < rect.right);
    const int ny = 1 + (y > rect.top) + (y + 1 < rect.bottom);
    return nx * ny - 1;
  };
  const auto correct = [&](int x, int y) { degree[src[y][x]] -= 8 - neighbours(x, y); };
  for (int x = rect.left; x < rect.right; ++x) {
    correct(x, rect.top);
    if (height > 1) correct(x, rect.bottom - 1);
  }
  for (int y = rect.top + 1; y + 1 < rect.bottom; ++y) {
    correct(rect.left, y);
    if (width > 1) correct(rect.right - 1, y);
  }
  std::int64_t below = 0, maxBelow = 0;
  for (int t = 0; t < 256; ++t) {
    counts[t] = below - 2 * maxBelow;
    if (t < 255) {
      below += degree[t];
      maxBelow += maxima[0][t] + maxima[1][t] + maxima[2][t] + maxima[3][t];
    }
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
