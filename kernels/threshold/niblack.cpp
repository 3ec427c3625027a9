// The local threshold: running window extrema and sums, exact integer statistics, and the
// plain formula where rounding could decide.
#include "kernels/threshold/niblack.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace vorlane::detail {

double NiblackPlainThreshold(const unsigned char* const* src, int x0, int y0, int x1, int y1) {
  std::int64_t sum = 0;
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) sum += src[y][x];
  }
  const double n = static_cast<double>(static_cast<std::int64_t>(x1 - x0 + 1) * (y1 - y0 + 1));
  const double m = static_cast<double>(sum) / n;
  double s1 = 0.0, s2 = 0.0;
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      const double d = static_cast<double>(src[y][x]) - m;
      s1 += d;
      s2 += d * d;
    }
  }
  const double s = std::sqrt((s2 - s1 * s1 / n) / (n - 1.0));
  return m + 1.0 + 0.5 * (1.0 - s / 128.0);
}

namespace {

constexpr int kFlatRange = 30;          // windows with a smaller value range are background
constexpr int kAlwaysBackground = 200;  // values above are background whatever the window
constexpr double kDecisionMargin = 1e-6;

// Running extrema over windows [max(0, i - w), min(n - 1, i + w)] of a sequence of n entries
// by blocks of k = 2w + 1: forward (prefix within the block) and backward (suffix within the
// block, the last block ending at n - 1). A window spanning two blocks is the union of a
// suffix and a prefix; one inside a single block starts at the block's start or ends at its
// end (windows are at most k long and cut only at the ends of the sequence).
struct WindowSpan {
  int first;    // window start a
  int last;     // window end b
  bool prefix;  // the window is the prefix of b's block up to b: use forward[b]
  bool suffix;  // the window is the suffix of a's block from a: use backward[a]
};

WindowSpan SpanOf(int i, int w, int n, int k) {
  WindowSpan s{std::max(0, i - w), std::min(n - 1, i + w), false, false};
  if (s.first / k != s.last / k) return s;  // both parts
  if (s.first % k == 0) {
    s.prefix = true;
  } else {
    s.suffix = true;
  }
  return s;
}

// Block-wise forward and backward extrema of one row of lengths n (horizontal pass).
template <class Op>
void RowExtrema(const unsigned char* in, int n, int k, unsigned char* fwd, unsigned char* bwd,
                Op op) {
  for (int i = 0; i < n; ++i) fwd[i] = (i % k == 0) ? in[i] : op(fwd[i - 1], in[i]);
  for (int i = n - 1; i >= 0; --i) {
    bwd[i] = (i % k == k - 1 || i == n - 1) ? in[i] : op(bwd[i + 1], in[i]);
  }
}

// The windowed extremum of entry i from block-wise forward and backward extrema.
template <class Op>
unsigned char Windowed(const WindowSpan& s, const unsigned char* fwd, const unsigned char* bwd,
                       Op op) {
  if (s.prefix) return fwd[s.last];
  if (s.suffix) return bwd[s.first];
  return op(bwd[s.first], fwd[s.last]);
}

struct MinOp {
  unsigned char operator()(unsigned char a, unsigned char b) const { return a < b ? a : b; }
};
struct MaxOp {
  unsigned char operator()(unsigned char a, unsigned char b) const { return a > b ? a : b; }
};

// Vertical block extrema of the whole rectangle, row by row: fwd and bwd hold height rows of
// width bytes each.
template <class Op>
void ColumnExtrema(const unsigned char* const* rows, int width, int height, int k,
                   std::vector<unsigned char>& fwd, std::vector<unsigned char>& bwd, Op op) {
  const size_t w = static_cast<size_t>(width);
  for (int r = 0; r < height; ++r) {
    unsigned char* f = fwd.data() + r * w;
    const unsigned char* in = rows[r];
    if (r % k == 0) {
      std::memcpy(f, in, w);
    } else {
      const unsigned char* prev = f - w;
      for (size_t x = 0; x < w; ++x) f[x] = op(prev[x], in[x]);
    }
  }
  for (int r = height - 1; r >= 0; --r) {
    unsigned char* b = bwd.data() + r * w;
    const unsigned char* in = rows[r];
    if (r % k == k - 1 || r == height - 1) {
      std::memcpy(b, in, w);
    } else {
      const unsigned char* next = b + w;
      for (size_t x = 0; x < w; ++x) b[x] = op(next[x], in[x]);
    }
  }
}

// The vertical window extrema of output row r into out (width bytes).
template <class Op>
void VerticalWindow(const WindowSpan& s, const std::vector<unsigned char>& fwd,
                    const std::vector<unsigned char>& bwd, int width, unsigned char* out, Op op) {
  const size_t w = static_cast<size_t>(width);
  const unsigned char* f = fwd.data() + static_cast<size_t>(s.last) * w;
  const unsigned char* b = bwd.data() + static_cast<size_t>(s.first) * w;
  if (s.prefix) {
    std::memcpy(out, f, w);
  } else if (s.suffix) {
    std::memcpy(out, b, w);
  } else {
    for (size_t x = 0; x < w; ++x) out[x] = op(b[x], f[x]);
  }
}

}  // namespace

void NiblackThreshold(const unsigned char* const* srcRows, const RECT& rect, int halfWindow,
                      const BinaryOutput& out) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return;
  const int w = std::min(std::max(halfWindow, 0), std::max(width, height));
  const int k = 2 * w + 1;
  const size_t rowBytes = static_cast<size_t>(width);

  // Source rows of the rectangle, relative to its corner; a private copy when the picture
  // written is the source itself.
  std::vector<const unsigned char*> src(static_cast<size_t>(height));
  std::vector<unsigned char> copy;
  const bool aliased = out.picture && out.picture[rect.top] == srcRows[rect.top];
  if (aliased) copy.resize(rowBytes * static_cast<size_t>(height));
  for (int r = 0; r < height; ++r) {
    const unsigned char* row = srcRows[rect.top + r] + rect.left;
    if (aliased) {
      std::memcpy(copy.data() + r * rowBytes, row, rowBytes);
      row = copy.data() + r * rowBytes;
    }
    src[static_cast<size_t>(r)] = row;
  }
  const unsigned char* const* rows = src.data();

  // Vertical block extrema of every column.
  const size_t area = rowBytes * static_cast<size_t>(height);
  std::vector<unsigned char> fMin(area), bMin(area), fMax(area), bMax(area);
  ColumnExtrema(rows, width, height, k, fMin, bMin, MinOp{});
  ColumnExtrema(rows, width, height, k, fMax, bMax, MaxOp{});

  std::vector<unsigned char> colMin(rowBytes), colMax(rowBytes);
  std::vector<unsigned char> fwd(rowBytes), bwd(rowBytes), winMin(rowBytes), winMax(rowBytes);
  // Column sums over the window rows, 64-bit: a column of squares exceeds 32 bits beyond
  // 66,000 rows. Prefix sums along the row give window sums in constant time.
  std::vector<std::int64_t> colSum(rowBytes, 0), colSq(rowBytes, 0);
  std::vector<std::int64_t> prefSum(rowBytes + 1, 0), prefSq(rowBytes + 1, 0);
  std::vector<WindowSpan> spans(rowBytes);
  for (int x = 0; x < width; ++x) spans[static_cast<size_t>(x)] = SpanOf(x, w, width, k);

  const auto addRow = [&](int r, int sign) {
    const unsigned char* row = rows[r];
    for (size_t x = 0; x < rowBytes; ++x) {
      const std::int64_t v = row[x];
      colSum[x] += sign * v;
      colSq[x] += sign * v * v;
    }
  };
  for (int r = 0; r <= std::min(height - 1, w); ++r) addRow(r, 1);

  for (int r = 0; r < height; ++r) {
    // Slide the column sums to rows r - w..r + w.
    if (r > 0) {
      if (r + w < height) addRow(r + w, 1);
      if (r - w - 1 >= 0) addRow(r - w - 1, -1);
    }
    const WindowSpan vs = SpanOf(r, w, height, k);
    const std::int64_t windowRows = vs.last - vs.first + 1;

    // Window extrema: vertical from the column blocks, then horizontal along the row.
    VerticalWindow(vs, fMin, bMin, width, colMin.data(), MinOp{});
    VerticalWindow(vs, fMax, bMax, width, colMax.data(), MaxOp{});
    RowExtrema(colMin.data(), width, k, fwd.data(), bwd.data(), MinOp{});
    for (size_t x = 0; x < rowBytes; ++x)
      winMin[x] = Windowed(spans[x], fwd.data(), bwd.data(), MinOp{});
    RowExtrema(colMax.data(), width, k, fwd.data(), bwd.data(), MaxOp{});
    for (size_t x = 0; x < rowBytes; ++x)
      winMax[x] = Windowed(spans[x], fwd.data(), bwd.data(), MaxOp{});

    for (size_t x = 0; x < rowBytes; ++x) {
      prefSum[x + 1] = prefSum[x] + colSum[x];
      prefSq[x + 1] = prefSq[x] + colSq[x];
    }

    const unsigned char* row = rows[r];
    unsigned char* mapRow = out.map.data ? out.map.Row(rect.top + r) + rect.left : nullptr;
    unsigned char* dst = out.picture ? out.picture[rect.top + r] + rect.left : nullptr;
    for (int x = 0; x < width; ++x) {
      const int v = row[x];
      const WindowSpan& hs = spans[static_cast<size_t>(x)];
      bool background = winMax[x] - winMin[x] < kFlatRange || v > kAlwaysBackground;
      if (!background) {
        // T from the exact sums: N * sum(v^2) - sum(v)^2 is N(N - 1) times the sample
        // variance, exact in 128 bits.
        const std::int64_t n = windowRows * (hs.last - hs.first + 1);
        const std::int64_t sum = prefSum[hs.last + 1] - prefSum[hs.first];
        const std::int64_t sq = prefSq[hs.last + 1] - prefSq[hs.first];
        const __int128 scaled = static_cast<__int128>(n) * sq - static_cast<__int128>(sum) * sum;
        const double nd = static_cast<double>(n);
        const double s = std::sqrt(static_cast<double>(scaled) / (nd * (nd - 1.0)));
        const double t = static_cast<double>(sum) / nd + 1.0 + 0.5 * (1.0 - s / 128.0);
        const double margin = t - v;
        if (margin < -kDecisionMargin) {
          background = true;
        } else if (margin <= kDecisionMargin) {
          const double plain = NiblackPlainThreshold(rows, hs.first, vs.first, hs.last, vs.last);
          background = v > static_cast<int>(plain);
        }
      }
      if (background) {
        if (mapRow) mapRow[x] = out.label;
        if (dst) dst[x] = out.background;
      } else if (dst) {
        dst[x] = out.foreground;
      }
    }
  }
}

}  // namespace vorlane::detail
