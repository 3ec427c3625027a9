// Working resolution and the paper-relative grey threshold of the skew estimate.
#include "kernels/skew/page_ink.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "kernels/parallel/row_bands.h"

namespace vorlane::detail {

void BytePlane::Allocate(int w, int h) {
  width = std::max(w, 0);
  height = std::max(h, 0);
  bytes.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  rows.resize(static_cast<size_t>(height));
  for (int y = 0; y < height; ++y)
    rows[static_cast<size_t>(y)] = bytes.data() + static_cast<size_t>(y) * width;
}

int SkewWorkingReduction(int width, int height) {
  return std::min(width, height) >= kSkewHalfResolutionFrom ? 2 : 1;
}

void ReduceDarkest(const unsigned char* const* src, const RECT& rect, int factor, BytePlane& out) {
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0 || (factor != 1 && factor != 2)) {
    out.Allocate(0, 0);
    return;
  }
  out.Allocate((width + factor - 1) / factor, (height + factor - 1) / factor);
  const int pairs = width / 2;
  ForEachRowBand(0, out.height, std::int64_t{width} * height, [&](int first, int last) {
    for (int y = first; y < last; ++y) {
      unsigned char* to = out.rows[static_cast<size_t>(y)];
      const unsigned char* a = src[rect.top + y * factor] + rect.left;
      if (factor == 1) {
        std::memcpy(to, a, static_cast<size_t>(width));
        continue;
      }
      const int lower = std::min(2 * y + 1, height - 1);
      const unsigned char* b = src[rect.top + lower] + rect.left;
      for (int x = 0; x < pairs; ++x) {
        const unsigned char top = std::min(a[2 * x], a[2 * x + 1]);
        const unsigned char bottom = std::min(b[2 * x], b[2 * x + 1]);
        to[x] = std::min(top, bottom);
      }
      if (width % 2 != 0) to[pairs] = std::min(a[width - 1], b[width - 1]);
    }
  });
}

namespace {

// The paper level of every block: the largest value that a quarter of the block's pixels
// reach or exceed.
std::vector<unsigned char> PaperLevels(const BytePlane& plane, int columns, int blockRows) {
  std::vector<unsigned char> levels(static_cast<size_t>(columns) * blockRows);
  ForEachRowBand(0, blockRows, std::int64_t{plane.width} * plane.height, [&](int first, int last) {
    std::vector<std::uint16_t> hist(static_cast<size_t>(columns) * 256);
    for (int by = first; by < last; ++by) {
      std::fill(hist.begin(), hist.end(), 0);
      const int y0 = by * kPaperBlock, y1 = std::min(plane.height, y0 + kPaperBlock);
      for (int y = y0; y < y1; ++y) {
        const unsigned char* row = plane.rows[static_cast<size_t>(y)];
        for (int bx = 0; bx < columns; ++bx) {
          std::uint16_t* h = hist.data() + static_cast<size_t>(bx) * 256;
          const int x1 = std::min(plane.width, (bx + 1) * kPaperBlock);
          for (int x = bx * kPaperBlock; x < x1; ++x) ++h[row[x]];
        }
      }
      for (int bx = 0; bx < columns; ++bx) {
        const std::uint16_t* h = hist.data() + static_cast<size_t>(bx) * 256;
        const int x1 = std::min(plane.width, (bx + 1) * kPaperBlock);
        const int pixels = (x1 - bx * kPaperBlock) * (y1 - y0);
        int v = 255, reached = h[255];
        while (v > 0 && 4 * reached < pixels) reached += h[--v];
        levels[static_cast<size_t>(by) * columns + bx] = static_cast<unsigned char>(v);
      }
    }
  });
  return levels;
}

// The ink threshold of paper level b: values below it are ink.
float InkBelow(float b) { return std::min(0.75f * b, b - static_cast<float>(kLeastInkContrast)); }

// Interpolation between block centres along n pixels: pixel i lies between centre first[i]
// and first[i] + 1 (at most blocks - 1) with weight share[i] on the second.
void CentreWeights(int n, int blocks, std::vector<int>& first, std::vector<float>& share) {
  first.resize(static_cast<size_t>(n));
  share.resize(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    const float f = (static_cast<float>(i) + 0.5f) / kPaperBlock - 0.5f;
    const float clamped = std::clamp(f, 0.0f, static_cast<float>(blocks - 1));
    const int g = std::min(static_cast<int>(clamped), std::max(blocks - 2, 0));
    first[static_cast<size_t>(i)] = g;
    share[static_cast<size_t>(i)] = blocks > 1 ? clamped - static_cast<float>(g) : 0.0f;
  }
}

}  // namespace

void MarkGreyInk(BytePlane& plane) {
  if (plane.width <= 0 || plane.height <= 0) return;
  const int columns = (plane.width + kPaperBlock - 1) / kPaperBlock;
  const int blockRows = (plane.height + kPaperBlock - 1) / kPaperBlock;
  const std::vector<unsigned char> levels = PaperLevels(plane, columns, blockRows);
  // Thresholds at the block centres, interpolated between them.
  std::vector<float> centres(levels.size());
  for (size_t i = 0; i < levels.size(); ++i) centres[i] = InkBelow(levels[i]);
  std::vector<int> firstColumn, firstRow;
  std::vector<float> columnShare, rowShare;
  CentreWeights(plane.width, columns, firstColumn, columnShare);
  CentreWeights(plane.height, blockRows, firstRow, rowShare);
  const int next = columns > 1 ? 1 : 0;
  ForEachRowBand(0, plane.height, std::int64_t{plane.width} * plane.height,
                 [&](int first, int last) {
                   std::vector<float> across(static_cast<size_t>(columns)), limit(plane.width);
                   for (int y = first; y < last; ++y) {
                     const int g = firstRow[static_cast<size_t>(y)];
                     const int g1 = std::min(g + 1, blockRows - 1);
                     const float s = rowShare[static_cast<size_t>(y)];
                     const float* upper = centres.data() + static_cast<size_t>(g) * columns;
                     const float* lower = centres.data() + static_cast<size_t>(g1) * columns;
                     for (int bx = 0; bx < columns; ++bx)
                       across[static_cast<size_t>(bx)] = upper[bx] + s * (lower[bx] - upper[bx]);
                     for (int x = 0; x < plane.width; ++x) {
                       const float* c = across.data() + firstColumn[static_cast<size_t>(x)];
                       limit[static_cast<size_t>(x)] =
                           c[0] + columnShare[static_cast<size_t>(x)] * (c[next] - c[0]);
                     }
                     unsigned char* row = plane.rows[static_cast<size_t>(y)];
                     for (int x = 0; x < plane.width; ++x)
                       row[x] = static_cast<float>(row[x]) < limit[static_cast<size_t>(x)] ? 0 : 1;
                   }
                 });
}

}  // namespace vorlane::detail
