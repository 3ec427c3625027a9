// Peak range by bounded smoothing, and straddle counts of all candidates in one pass.
#include "kernels/threshold/weszka_rosenfeld.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "kernels/histogram/byte_counts.h"
#include "kernels/histogram/smoothing.h"
#include "kernels/parallel/row_bands.h"

namespace vorlane::detail {

CandidateRange SmoothedPeakRange(const long* hist) {
  CandidateRange range;
  if (!hist) {
    range.twoPeaks = false;
    return range;
  }
  std::vector<long> values(hist, hist + 256), smoothed(256);
  std::vector<int> maxima, minima;
  const auto countMaxima = [&] {
    FindExtrema(values.data(), 256, kPlateauMiddleMax, maxima, minima);
    return static_cast<int>(maxima.size());
  };
  int radius = 2;
  int previous = countMaxima();
  int count = previous;
  for (int pass = 0; count > 2 && pass < kMaxSmoothingPasses; ++pass) {
    if (count == previous) {
      if (++radius > 20) break;
    } else {
      radius = 2;
      previous = count;
    }
    WeightedMovingAverage(values.data(), smoothed.data(), 256, radius);
    values.swap(smoothed);
    count = countMaxima();
  }
  if (count < 2) {
    range.twoPeaks = false;
    return range;
  }
  range.lower = maxima[0];
  range.upper = count == 2 ? maxima[1] : maxima[static_cast<size_t>(count - 1)];
  return range;
}

namespace {

// out[i] = max(a[i], b[i]) for i below count; a loop the compiler vectorises.
void PairMaxima(const unsigned char* a, const unsigned char* b, int count, unsigned char* out) {
  for (int i = 0; i < count; ++i) out[i] = std::max(a[i], b[i]);
}

// out[i] = max(a[i], b[i]) | max(c[i], d[i]) << 8 for i below count: the maxima of two pairs
// as one index of PairCounts; a loop the compiler vectorises.
void PairedMaxima(const unsigned char* a, const unsigned char* b, const unsigned char* c,
                  const unsigned char* d, int count, std::uint16_t* out) {
  for (int i = 0; i < count; ++i) {
    out[i] = static_cast<std::uint16_t>(std::max(a[i], b[i]) | std::max(c[i], d[i]) << 8);
  }
}

}  // namespace

// A pair straddles t when min < t <= max, that is [min < t] - [max < t], and
// [min < t] + [max < t] = [p < t] + [q < t]. Summed over all pairs:
//   counts[t] = sum over pixels of deg(p) [p < t]  -  2 * sum over pairs of [max(p, q) < t],
// deg(p) being the number of neighbours of p inside the rectangle. So one histogram of the
// pixels (weighted by degree) and one of the pair maxima (four forward pairs per pixel, the
// maxima taken a row at a time) give every candidate's count.
void StraddleCounts(const unsigned char* const* src, const RECT& rect, std::int64_t* counts,
                    std::int64_t* pixelCounts) {
  std::fill(counts, counts + 256, 0);
  if (pixelCounts) std::fill(pixelCounts, pixelCounts + 256, 0);
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return;
  // Per band of rows: the pixel values and the maxima of the pairs each row starts, most of
  // them two at a time.
  struct BandCounts {
    ByteCounts pixels, maxima;
    PairCounts pairs;
    std::vector<std::uint16_t> pairMax;
    std::vector<unsigned char> rightMax;
  };
  const RowBands bands(rect.top, rect.bottom, std::int64_t{width} * height * 5);
  std::vector<BandCounts> perBand(static_cast<size_t>(bands.Count()));
  bands.Run([&](int index, int first, int last) {
    BandCounts& band = perBand[static_cast<size_t>(index)];
    band.pairMax.resize(static_cast<size_t>(width) * 2);
    for (int y = first; y < last; ++y) {
      const unsigned char* row = src[y] + rect.left;
      band.pixels.Add(row, width);
      if (y + 1 < rect.bottom) {
        // Right with down-right, down-left with down; the last column's down pair alone.
        const unsigned char* below = src[y + 1] + rect.left;
        std::uint16_t* m = band.pairMax.data();
        PairedMaxima(row, row + 1, row, below + 1, width - 1, m);
        PairedMaxima(row + 1, below, row, below, width - 1, m + width - 1);
        band.pairs.Add(m, 2 * width - 2);
        const unsigned char down = std::max(row[width - 1], below[width - 1]);
        band.maxima.Add(&down, 1);
      } else {
        band.rightMax.resize(static_cast<size_t>(width));
        PairMaxima(row, row + 1, width - 1, band.rightMax.data());
        band.maxima.Add(band.rightMax.data(), width - 1);
      }
    }
  });
  std::int64_t pixels[256] = {}, maxima[256] = {};
  for (BandCounts& band : perBand) {
    const std::int64_t* p = band.pixels.Totals();
    const std::int64_t* m = band.maxima.Totals();
    const std::int64_t* q = band.pairs.Totals();
    for (int v = 0; v < 256; ++v) {
      pixels[v] += p[v];
      maxima[v] += m[v] + q[v];
    }
  }
  if (pixelCounts) std::copy(pixels, pixels + 256, pixelCounts);
  // Degrees: 8 inside, fewer on the border rows and columns (each pixel counted once).
  std::int64_t degree[256] = {};
  for (int v = 0; v < 256; ++v) {
    degree[v] = 8 * pixels[v];
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
      maxBelow += maxima[t];
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

namespace {

// The level of range over the straddle counts, and the largest value at or below it that
// pixels (256 counts) holds.
AutomaticLevel LevelOf(const CandidateRange& range, const std::int64_t* counts,
                       const std::int64_t* pixels) {
  AutomaticLevel result;
  result.level = FewestStraddles(counts, range);
  result.twoPeaks = range.twoPeaks;
  for (int v = std::min(result.level, 255); v >= 0; --v) {
    if (pixels[v] > 0) {
      result.largestForeground = v;
      break;
    }
  }
  return result;
}

}  // namespace

AutomaticLevel WeszkaRosenfeldLevel(const unsigned char* const* rows, const RECT& rect,
                                    const long* hist) {
  const CandidateRange range = SmoothedPeakRange(hist);
  std::int64_t counts[256] = {};
  std::int64_t pixels[256] = {};
  if (rows) StraddleCounts(rows, rect, counts, pixels);
  return LevelOf(range, counts, pixels);
}

AutomaticLevel WeszkaRosenfeldLevelOfRect(const unsigned char* const* rows, const RECT& rect) {
  std::int64_t counts[256] = {};
  std::int64_t pixels[256] = {};
  if (rows) StraddleCounts(rows, rect, counts, pixels);
  long hist[256];
  std::copy(pixels, pixels + 256, hist);
  return LevelOf(SmoothedPeakRange(hist), counts, pixels);
}

}  // namespace vorlane::detail
