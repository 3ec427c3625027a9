// The local threshold: running window extrema and sums, exact integer statistics, and the
// plain formula where rounding could decide.
#include "kernels/threshold/niblack.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <span>
#include <utility>
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
constexpr std::int64_t kWide64 = 3000000;  // windows up to this size use 64-bit statistics

struct MinOp {
  static constexpr unsigned char kNeutral = 255;
  unsigned char operator()(unsigned char a, unsigned char b) const { return a < b ? a : b; }
};
struct MaxOp {
  static constexpr unsigned char kNeutral = 0;
  unsigned char operator()(unsigned char a, unsigned char b) const { return a > b ? a : b; }
};

// Running window extrema: each sequence is padded with w neutral entries at both ends, so that
// the window of entry i, cut to the sequence, is exactly the padded entries i..i + k - 1
// (k = 2w + 1).

// Horizontal pass over one row of n entries: out[i] = op of in[max(0, i - w)..min(n - 1, i + w)].
// Extrema of runs of 1, 2, 4, .. P entries (P the largest power of two up to k) are built by
// doubling, each step one vectorised pass along the row; a window is then two overlapping
// runs of P. padded and scratch hold n + 2w entries.
template <class Op>
void RowWindow(const unsigned char* in, int n, int w, unsigned char* padded, unsigned char* scratch,
               unsigned char* out, Op op) {
  const int k = 2 * w + 1, length = n + 2 * w;
  std::memset(padded, Op::kNeutral, static_cast<size_t>(w));
  std::memcpy(padded + w, in, static_cast<size_t>(n));
  std::memset(padded + w + n, Op::kNeutral, static_cast<size_t>(w));
  unsigned char* runs = padded;  // runs[i] = op of padded[i..i + run - 1], i <= length - run
  unsigned char* next = scratch;
  int run = 1;
  for (; 2 * run <= k; run *= 2) {
    for (int i = 0; i + 2 * run <= length; ++i) next[i] = op(runs[i], runs[i + run]);
    std::swap(runs, next);
  }
  for (int i = 0; i < n; ++i) out[i] = op(runs[i], runs[i + k - run]);
}

// Vertical pass by van Herk/Gil-Werman, one block of k padded rows at a time: the window of
// row y is a suffix of y's block joined to a prefix of the next, so the suffixes of block j
// and the prefixes of block j + 1 serve the output rows of block j. Rows are width bytes;
// every step is one vectorised pass along a row.
template <class Op>
class ColumnWindow {
 public:
  ColumnWindow(const unsigned char* const* rows, int width, int height, int w)
      : m_rows(rows),
        m_width(static_cast<size_t>(width)),
        m_height(height),
        m_w(w),
        m_k(2 * w + 1),
        m_neutral(m_width, Op::kNeutral),
        m_bwd(m_width * static_cast<size_t>(m_k)),
        m_fwd(m_width * static_cast<size_t>(m_k)) {}

  // The extrema over rows max(0, y - w)..min(height - 1, y + w) of every column into out;
  // y runs upwards from 0 one row at a time.
  void Row(int y, unsigned char* out) {
    const int block = y / m_k;
    if (block != m_block) Prepare(block);
    const int first = block * m_k;
    const unsigned char* b = Bwd(y - first);
    if (y == first) {
      std::memcpy(out, b, m_width);
      return;
    }
    const unsigned char* f = Fwd(y - 1 - first);  // prefix of block + 1 up to row y + k - 1
    Op op;
    // Byte stores may alias the members: a local width keeps the loops vectorised.
    const size_t width = m_width;
    for (size_t x = 0; x < width; ++x) out[x] = op(b[x], f[x]);
  }

 private:
  // Source row of padded index p: row p - w, or neutral outside the image.
  const unsigned char* Source(int p) const {
    const int r = p - m_w;
    return r >= 0 && r < m_height ? m_rows[r] : m_neutral.data();
  }
  unsigned char* Bwd(int i) { return m_bwd.data() + static_cast<size_t>(i) * m_width; }
  unsigned char* Fwd(int i) { return m_fwd.data() + static_cast<size_t>(i) * m_width; }

  void Prepare(int block) {
    Op op;
    const size_t width = m_width;
    const int first = block * m_k;
    std::memcpy(Bwd(m_k - 1), Source(first + m_k - 1), m_width);
    for (int i = m_k - 2; i >= 0; --i) {
      const unsigned char* in = Source(first + i);
      const unsigned char* next = Bwd(i + 1);
      unsigned char* cur = Bwd(i);
      for (size_t x = 0; x < width; ++x) cur[x] = op(next[x], in[x]);
    }
    const int nextFirst = first + m_k;
    std::memcpy(Fwd(0), Source(nextFirst), m_width);
    for (int i = 1; i < m_k - 1; ++i) {
      const unsigned char* in = Source(nextFirst + i);
      const unsigned char* prev = Fwd(i - 1);
      unsigned char* cur = Fwd(i);
      for (size_t x = 0; x < width; ++x) cur[x] = op(prev[x], in[x]);
    }
    m_block = block;
  }

  const unsigned char* const* m_rows;
  size_t m_width;
  int m_height;
  int m_w;
  int m_k;
  int m_block = -1;
  std::vector<unsigned char> m_neutral;
  std::vector<unsigned char> m_bwd;  // suffix extrema of the rows of the current block
  std::vector<unsigned char> m_fwd;  // prefix extrema of the rows of the next block
};

// The threshold pass over rows of the rectangle (relative to its corner), with column sums
// of type Sum: 32 bits when a column of squares over the window rows cannot exceed them.
// A row first settles every pixel that is background whatever its statistics (bright, or in
// a flat window) in passes the compiler vectorises; the window sums are then formed only over
// the span that the remaining candidates need.
template <class Sum>
void NiblackPass(const unsigned char* const* rows, int width, int height, int w, const RECT& rect,
                 const BinaryOutput& out) {
  const size_t rowBytes = static_cast<size_t>(width);
  ColumnWindow<MinOp> columnMin(rows, width, height, w);
  ColumnWindow<MaxOp> columnMax(rows, width, height, w);
  const size_t padded = rowBytes + 2 * static_cast<size_t>(w);
  std::vector<unsigned char> colMin(rowBytes), colMax(rowBytes), winMin(rowBytes), winMax(rowBytes);
  std::vector<unsigned char> pad(padded), scratch(padded), open(rowBytes);
  std::vector<Sum> colSum(rowBytes, 0), colSq(rowBytes, 0);
  // Prefix sums along the row (64-bit: a row of window columns exceeds 32 bits).
  std::vector<std::int64_t> prefSum(rowBytes + 1, 0), prefSq(rowBytes + 1, 0);
  std::vector<int> candidates(rowBytes);

  const auto addRow = [&](int r, Sum sign) {
    const unsigned char* row = rows[r];
    for (size_t x = 0; x < rowBytes; ++x) {
      const Sum v = row[x];
      colSum[x] += sign * v;
      colSq[x] += sign * v * v;
    }
  };
  for (int r = 0; r <= std::min(height - 1, w); ++r) addRow(r, 1);

  const unsigned char label = out.label, bg = out.background, fg = out.foreground;
  for (int r = 0; r < height; ++r) {
    // Slide the column sums to rows r - w..r + w.
    if (r > 0) {
      if (r + w < height) addRow(r + w, 1);
      if (r - w - 1 >= 0) addRow(r - w - 1, -1);
    }
    const unsigned char* row = rows[r];
    unsigned char* mapRow = out.map.data ? out.map.Row(rect.top + r) + rect.left : nullptr;
    unsigned char* dst = out.picture ? out.picture[rect.top + r] + rect.left : nullptr;

    unsigned char darkest = 255;
    for (size_t x = 0; x < rowBytes; ++x) darkest = std::min(darkest, row[x]);
    if (darkest > kAlwaysBackground) {
      if (mapRow) std::memset(mapRow, label, rowBytes);
      if (dst) std::memset(dst, bg, rowBytes);
      continue;
    }

    // Window extrema: vertical over the column blocks, then horizontal along the row.
    columnMin.Row(r, colMin.data());
    columnMax.Row(r, colMax.data());
    RowWindow(colMin.data(), width, w, pad.data(), scratch.data(), winMin.data(), MinOp{});
    RowWindow(colMax.data(), width, w, pad.data(), scratch.data(), winMax.data(), MaxOp{});
    // open[x] = 1 where the statistics decide; every other pixel is background now.
    for (size_t x = 0; x < rowBytes; ++x) {
      open[x] = static_cast<unsigned char>((winMax[x] - winMin[x] >= kFlatRange) &
                                           (row[x] <= kAlwaysBackground));
    }
    if (mapRow) {
      for (size_t x = 0; x < rowBytes; ++x) mapRow[x] = open[x] ? mapRow[x] : label;
    }
    if (dst) {
      for (size_t x = 0; x < rowBytes; ++x) dst[x] = open[x] ? fg : bg;
    }
    // Candidate columns, gathered without a branch per pixel.
    // Stretches of eight settled pixels are skipped in one test.
    size_t count = 0;
    const auto gather = [&](size_t from, size_t to) {
      for (size_t i = from; i < to; ++i) {
        candidates[count] = static_cast<int>(i);
        count += open[i];
      }
    };
    size_t x = 0;
    for (; x + 8 <= rowBytes; x += 8) {
      std::uint64_t word;
      std::memcpy(&word, open.data() + x, sizeof word);
      if (word != 0) gather(x, x + 8);
    }
    gather(x, rowBytes);
    if (count == 0) continue;
    const std::span<const int> openColumns(candidates.data(), count);

    // Window sums over the columns the candidates reach.
    const int lo = std::max(0, openColumns.front() - w);
    const int hi = std::min(width, openColumns.back() + w + 1);
    prefSum[static_cast<size_t>(lo)] = 0;
    prefSq[static_cast<size_t>(lo)] = 0;
    for (int x = lo; x < hi; ++x) {
      prefSum[static_cast<size_t>(x) + 1] =
          prefSum[static_cast<size_t>(x)] + colSum[static_cast<size_t>(x)];
      prefSq[static_cast<size_t>(x) + 1] =
          prefSq[static_cast<size_t>(x)] + colSq[static_cast<size_t>(x)];
    }
    const int top = std::max(0, r - w), bottom = std::min(height - 1, r + w);
    const std::int64_t windowRows = bottom - top + 1;
    for (const int x : openColumns) {
      const int v = row[x];
      // T from the exact sums: N * sum(v^2) - sum(v)^2 is N(N - 1) times the sample
      // variance, exact in 64 bits up to kWide64 pixels (both products stay below
      // 65025 N^2 < 2^63), in 128 bits beyond.
      const int x0 = std::max(0, x - w), x1 = std::min(width, x + w + 1);
      const std::int64_t n = windowRows * (x1 - x0);
      const std::int64_t sum = prefSum[static_cast<size_t>(x1)] - prefSum[static_cast<size_t>(x0)];
      const std::int64_t sq = prefSq[static_cast<size_t>(x1)] - prefSq[static_cast<size_t>(x0)];
      const double nd = static_cast<double>(n);
      const double mean = static_cast<double>(sum) / nd;
      // T never exceeds the mean plus 1.5: a pixel clearly above that is background whatever
      // the deviation, which then need not be computed.
      bool background = mean + 1.5 - v < -2.0 * kDecisionMargin;
      if (background) {
        if (mapRow) mapRow[x] = label;
        if (dst) dst[x] = bg;
        continue;
      }
      const double scaled = n <= kWide64 ? static_cast<double>(n * sq - sum * sum)
                                         : static_cast<double>(static_cast<__int128>(n) * sq -
                                                               static_cast<__int128>(sum) * sum);
      const double s = std::sqrt(scaled / (nd * (nd - 1.0)));
      const double t = mean + 1.0 + 0.5 * (1.0 - s / 128.0);
      const double margin = t - v;
      background = margin < -kDecisionMargin;
      if (!background && margin <= kDecisionMargin) {
        const double plain = NiblackPlainThreshold(rows, x0, top, x1 - 1, bottom);
        background = v > static_cast<int>(plain);
      }
      if (background) {
        if (mapRow) mapRow[x] = label;
        if (dst) dst[x] = bg;
      }
    }
  }
}

}  // namespace

void NiblackThreshold(const unsigned char* const* srcRows, const RECT& rect, int halfWindow,
                      const BinaryOutput& out) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return;
  const int w = std::min(std::max(halfWindow, 0), std::max(width, height));
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
  // A column of squares over the window rows stays within 32 bits up to 33,025 rows.
  const std::int64_t windowRows =
      std::min<std::int64_t>(2 * static_cast<std::int64_t>(w) + 1, height);
  if (windowRows * 255 * 255 <= INT32_MAX) {
    NiblackPass<std::int32_t>(src.data(), width, height, w, rect, out);
  } else {
    NiblackPass<std::int64_t>(src.data(), width, height, w, rect, out);
  }
}

}  // namespace vorlane::detail
