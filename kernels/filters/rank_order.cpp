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

// Median of every full 3 x 3 window of a channel plane row: with the three window rows r0, r1,
// r2 (span bytes each), each column is sorted into lo <= mid <= hi; the median of the nine is
// the median of the largest lo, the median mid and the smallest hi of three neighbouring
// columns. out receives span - 2 bytes: pixel x from columns x to x + 2.
void Median3x3Row(const unsigned char* r0, const unsigned char* r1, const unsigned char* r2,
                  int span, unsigned char* lo, unsigned char* mid, unsigned char* hi,
                  unsigned char* out) {
  for (int k = 0; k < span; ++k) {
    const unsigned char a = r0[k], b = r1[k], c = r2[k];
    lo[k] = Min3(a, b, c);
    hi[k] = Max3(a, b, c);
    mid[k] = Median3(a, b, c);
  }
  for (int k = 0; k + 2 < span; ++k) {
    out[k] = Median3(Max3(lo[k], lo[k + 1], lo[k + 2]), Median3(mid[k], mid[k + 1], mid[k + 2]),
                     Min3(hi[k], hi[k + 1], hi[k + 2]));
  }
}

}  // namespace

void RankOrderColumns(const FilterView& view, int operation, int h, int channel, int x0, int x1,
                      int y0, int y1) {
  constexpr int L = 4;  // planes: blue, green, red, foreground flags
  const int size = 2 * h + 1, n = size * size, w = x1 - x0, span = w + 2 * h;
  const size_t plane = static_cast<size_t>(span), rowBytes = plane * L;
  // Masked rows y - h .. y + h in a ring of size slots.
  std::vector<unsigned char> ring(rowBytes * static_cast<size_t>(size));
  auto slot = [&](int row) {
    return ring.data() + rowBytes * static_cast<size_t>((row + h) % size);
  };
  for (int r = y0 - h; r < y0 + h; ++r) MaskRowPlanes<4>(view, r, x0 - h, x1 + h, slot(r));
  std::vector<unsigned char> low(plane * 3), high(plane * 3), network(plane * 3);
  std::vector<unsigned char> sortedLo(plane), sortedMid(plane), sortedHi(plane);
  std::vector<uint8_t> counts(plane);
  unsigned char values[3][49];
  const bool median = operation == kRankMedian, fastMedian = median && h == 1;
  // Channel codes: 1 red (plane 2), 2 green (plane 1), 4 blue (plane 0).
  const int only = channel == 1 ? 2 : channel == 2 ? 1 : channel == 4 ? 0 : -1;

  for (int y = y0; y < y1; ++y) {
    MaskRowPlanes<4>(view, y + h, x0 - h, x1 + h, slot(y + h));
    // Column statistics over the window rows: foreground count, and the minimum (background
    // as 255) and maximum (background as 0) of each channel.
    std::fill(counts.begin(), counts.end(), 0);
    std::fill(low.begin(), low.end(), 255);
    std::fill(high.begin(), high.end(), 0);
    for (int j = 0; j < size; ++j) {
      const unsigned char* row = slot(y - h + j);
      const unsigned char* flags = row + plane * 3;
      for (size_t x = 0; x < plane; ++x) counts[x] = static_cast<uint8_t>(counts[x] + flags[x]);
      if (median) continue;
      for (int c = 0; c < 3; ++c) {
        const unsigned char* v = row + plane * c;
        unsigned char* lo = low.data() + plane * c;
        unsigned char* hi = high.data() + plane * c;
        for (size_t x = 0; x < plane; ++x) {
          const unsigned char away = static_cast<unsigned char>(flags[x] - 1);  // 255: background
          lo[x] = std::min(lo[x], static_cast<unsigned char>(v[x] | away));
          hi[x] = std::max(hi[x], v[x]);
        }
      }
    }
    if (fastMedian) {
      for (int c = 0; c < 3; ++c) {
        Median3x3Row(slot(y - 1) + plane * c, slot(y) + plane * c, slot(y + 1) + plane * c, span,
                     sortedLo.data(), sortedMid.data(), sortedHi.data(),
                     network.data() + plane * c);
      }
    }
    unsigned char* out = view.dst[y] + 4 * x0;
    for (int x = 0; x < w; ++x, out += 4) {
      int count = 0;
      for (int i = 0; i < size; ++i) count += counts[static_cast<size_t>(x + i)];
      if (count == 0) continue;  // no foreground in the window: the pixel is kept
      unsigned char result[3];
      if (fastMedian && count == n) {
        for (int c = 0; c < 3; ++c) result[c] = network[plane * c + static_cast<size_t>(x)];
      } else if (median) {
        // Collect the foreground values, dx outer, and select the one at count / 2.
        int k = 0;
        for (int i = 0; i < size; ++i) {
          for (int j = 0; j < size; ++j) {
            const unsigned char* row = slot(y - h + j) + x + i;
            if (!row[plane * 3]) continue;
            for (int c = 0; c < 3; ++c) values[c][k] = row[plane * c];
            ++k;
          }
        }
        for (int c = 0; c < 3; ++c) {
          std::nth_element(values[c], values[c] + k / 2, values[c] + k);
          result[c] = values[c][k / 2];
        }
      } else {
        for (int c = 0; c < 3; ++c) {
          unsigned char lo = 255, hi = 0;
          for (int i = 0; i < size; ++i) {
            lo = std::min(lo, low[plane * c + static_cast<size_t>(x + i)]);
            hi = std::max(hi, high[plane * c + static_cast<size_t>(x + i)]);
          }
          result[c] = operation == kRankMinimum   ? lo
                      : operation == kRankMaximum ? hi
                                                  : static_cast<unsigned char>(hi - lo);
        }
      }
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
