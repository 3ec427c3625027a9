// Rank-order filters: window minima and maxima from column minima and maxima, 3 x 3 medians of
// full windows by a selection network over column-sorted triples, other medians by selection
// among the collected values; two-level windows by counts of ones and zeros.
#include "kernels/filters/rank_order.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace vorlane::detail {

namespace {

inline unsigned char Min3(unsigned char a, unsigned char b, unsigned char c) {
  return std::min(std::min(a, b), c);
}
inline unsigned char Max3(unsigned char a, unsigned char b, unsigned char c) {
  return std::max(std::max(a, b), c);
}
inline unsigned char Median3(unsigned char a, unsigned char b, unsigned char c) {
  return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

// Median of every full 3 x 3 window of a row: with the three window rows r0, r1, r2 (span bytes
// each, 4 lanes per pixel), the lanes of each column are sorted into lo <= mid <= hi; the
// median of the nine is the median of the largest lo, the median mid and the smallest hi of
// three neighbouring columns. out receives (span - 8) bytes: pixel x from columns x to x + 2.
void Median3x3Row(const unsigned char* r0, const unsigned char* r1, const unsigned char* r2,
                  int spanBytes, unsigned char* lo, unsigned char* mid, unsigned char* hi,
                  unsigned char* out) {
  for (int k = 0; k < spanBytes; ++k) {
    const unsigned char a = r0[k], b = r1[k], c = r2[k];
    lo[k] = Min3(a, b, c);
    hi[k] = Max3(a, b, c);
    mid[k] = Median3(a, b, c);
  }
  for (int k = 0; k + 8 < spanBytes; ++k) {
    out[k] = Median3(Max3(lo[k], lo[k + 4], lo[k + 8]), Median3(mid[k], mid[k + 4], mid[k + 8]),
                     Min3(hi[k], hi[k + 4], hi[k + 8]));
  }
}

}  // namespace

void RankOrderColumns(const FilterView& view, int operation, int h, int channel, int x0, int x1) {
  constexpr int L = 4;
  const int size = 2 * h + 1, n = size * size, w = x1 - x0, span = w + 2 * h;
  const size_t rowBytes = static_cast<size_t>(span) * L;
  std::vector<unsigned char> rows(rowBytes * static_cast<size_t>(size));
  std::vector<unsigned char> low(rowBytes), high(rowBytes), network(rowBytes);
  std::vector<unsigned char> sortedLo(rowBytes), sortedMid(rowBytes), sortedHi(rowBytes);
  std::vector<uint8_t> counts(static_cast<size_t>(span));
  unsigned char values[3][49];
  const bool fastMedian = operation == kRankMedian && h == 1;

  for (int y = 0; y < view.height; ++y) {
    // The window's masked rows (background and outside: fill 0, flag 0).
    for (int j = 0; j < size; ++j) {
      MaskRow<4>(view, y - h + j, x0 - h, x1 + h, 0, rows.data() + rowBytes * j);
    }
    // Column statistics over the window rows: foreground count, and the minimum (background as
    // 255) and maximum (background as 0) of each channel.
    std::fill(counts.begin(), counts.end(), 0);
    std::fill(low.begin(), low.end(), 255);
    std::fill(high.begin(), high.end(), 0);
    for (int j = 0; j < size; ++j) {
      const unsigned char* row = rows.data() + rowBytes * j;
      for (int x = 0; x < span; ++x) {
        counts[static_cast<size_t>(x)] =
            static_cast<uint8_t>(counts[static_cast<size_t>(x)] + row[x * L + 3]);
      }
      if (operation == kRankMedian) continue;
      for (int x = 0; x < span; ++x) {
        const unsigned char* p = row + x * L;
        const unsigned char away = static_cast<unsigned char>(p[3] - 1);  // 255 for background
        for (int c = 0; c < 3; ++c) {
          low[x * L + c] = std::min(low[x * L + c], static_cast<unsigned char>(p[c] | away));
          high[x * L + c] = std::max(high[x * L + c], p[c]);
        }
      }
    }
    if (fastMedian) {
      Median3x3Row(rows.data(), rows.data() + rowBytes, rows.data() + 2 * rowBytes,
                   static_cast<int>(rowBytes), sortedLo.data(), sortedMid.data(), sortedHi.data(),
                   network.data());
    }
    unsigned char* out = view.dst[y] + 4 * x0;
    for (int x = 0; x < w; ++x, out += 4) {
      int count = 0;
      for (int i = 0; i < size; ++i) count += counts[static_cast<size_t>(x + i)];
      if (count == 0) continue;
      unsigned char result[3];
      if (operation == kRankMedian) {
        if (fastMedian && count == n) {
          for (int c = 0; c < 3; ++c) result[c] = network[static_cast<size_t>(x * L + c)];
        } else {
          // Collect the foreground values, dx outer, and select the one at count / 2.
          int k = 0;
          for (int i = 0; i < size; ++i) {
            for (int j = 0; j < size; ++j) {
              const unsigned char* p = rows.data() + rowBytes * j + (x + i) * L;
              if (!p[3]) continue;
              for (int c = 0; c < 3; ++c) values[c][k] = p[c];
              ++k;
            }
          }
          for (int c = 0; c < 3; ++c) {
            std::nth_element(values[c], values[c] + k / 2, values[c] + k);
            result[c] = values[c][k / 2];
          }
        }
      } else {
        for (int c = 0; c < 3; ++c) {
          unsigned char lo = 255, hi = 0;
          for (int i = 0; i < size; ++i) {
            lo = std::min(lo, low[static_cast<size_t>((x + i) * L + c)]);
            hi = std::max(hi, high[static_cast<size_t>((x + i) * L + c)]);
          }
          result[c] = operation == kRankMinimum   ? lo
                      : operation == kRankMaximum ? hi
                                                  : static_cast<unsigned char>(hi - lo);
        }
      }
      // Channel codes: 1 red (lane 2), 2 green (lane 1), 4 blue (lane 0).
      const int only = channel == 1 ? 2 : channel == 2 ? 1 : channel == 4 ? 0 : -1;
      for (int c = 0; c < 3; ++c) out[c] = result[only < 0 ? c : only];
    }
  }
}

void BinaryWindowColumns(const unsigned char* const* src, unsigned char* const* dst, int width,
                         int height, int h, BinaryRule rule, int x0, int x1) {
  const int w = x1 - x0;
  const int xa = std::max(0, x0 - h), xb = std::min(width, x1 + h);
  // Column counts of ones and zeros over the window rows, for columns xa to xb - 1.
  std::vector<uint8_t> ones(static_cast<size_t>(xb - xa)), zeros(ones.size());
  for (int y = 0; y < height; ++y) {
    const int ya = std::max(0, y - h), yb = std::min(height - 1, y + h);
    std::fill(ones.begin(), ones.end(), 0);
    std::fill(zeros.begin(), zeros.end(), 0);
    for (int r = ya; r <= yb; ++r) {
      const unsigned char* row = src[r] + xa;
      for (int k = 0; k < xb - xa; ++k) {
        ones[static_cast<size_t>(k)] =
            static_cast<uint8_t>(ones[static_cast<size_t>(k)] + (row[k] == 1));
        zeros[static_cast<size_t>(k)] =
            static_cast<uint8_t>(zeros[static_cast<size_t>(k)] + (row[k] == 0));
      }
    }
    const int rowsIn = yb - ya + 1;
    unsigned char* out = dst[y];
    for (int x = x0; x < x0 + w; ++x) {
      const int ca = std::max(0, x - h), cb = std::min(width - 1, x + h);
      int one = 0, zero = 0;
      for (int c = ca; c <= cb; ++c) {
        one += ones[static_cast<size_t>(c - xa)];
        zero += zeros[static_cast<size_t>(c - xa)];
      }
      const int count = rowsIn * (cb - ca + 1);
      bool set = false;
      switch (rule) {
        case BinaryRule::kMinimum:
          set = zero == 0;
          break;
        case BinaryRule::kMaximum:
          set = one > 0;
          break;
        case BinaryRule::kRange:
          set = one > 0 && zero > 0;
          break;
        case BinaryRule::kMedian:
          set = 2 * one >= count;
          break;
        case BinaryRule::kMajority:
          set = one > count / 2;
          break;
      }
      out[x] = set ? 1 : 0;
    }
  }
}

}  // namespace vorlane::detail
