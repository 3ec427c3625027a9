// Rank-order filters: 3 x 3 windows that lie wholly on foreground pixels byte by byte on the
// interleaved pixels, many bytes at a time; other windows of colour pictures from column minima
// and maxima and by selection among the collected values; two-level windows by counts of ones
// and zeros.
#include "kernels/filters/rank_order.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#define VORLANE_X86 1
#endif

namespace vorlane::detail {

namespace {

// One pixel of a 3 x 3 window filter from the window's foreground pixels inside the picture
// (the rule RankOrderColumns describes): rows holds the copy's rows y - 1, y, y + 1 from column
// xa on (null outside the picture). A window without foreground leaves the pixel.
void WindowPixel(const FilterView& view, const unsigned char* const rows[3], int xa, int operation,
                 int only, int x, int y) {
  unsigned char values[3][9];
  int k = 0;
  for (int nx = std::max(x - 1, 0); nx <= std::min(x + 1, view.width - 1); ++nx) {
    for (int j = 0; j < 3; ++j) {
      if (!rows[j] || (view.map && !view.foreground[view.map[y - 1 + j][nx]])) continue;
      const unsigned char* p = rows[j] + 4 * (nx - xa);
      for (int c = 0; c < 3; ++c) values[c][k] = p[c];
      ++k;
    }
  }
  if (k == 0) return;
  unsigned char result[3];
  for (int c = 0; c < 3; ++c) {
    unsigned char* v = values[c];
    if (operation == kRankMedian) {
      std::nth_element(v, v + k / 2, v + k);
      result[c] = v[k / 2];
      continue;
    }
    const auto [lo, hi] = std::minmax_element(v, v + k);
    result[c] = operation == kRankMinimum   ? *lo
                : operation == kRankMaximum ? *hi
                                            : static_cast<unsigned char>(*hi - *lo);
  }
  unsigned char* out = view.dst[y] + 4 * x;
  for (int c = 0; c < 3; ++c) out[c] = result[only < 0 ? c : only];
}

// Full 3 x 3 windows byte by byte: every byte of a result is the rank of the same byte of the
// window's nine pixels, so the channels of N / 4 pixels go at once in vectors of N bytes
// (compiled to the processor's byte minima and maxima). The column pass sorts each byte column
// of rows y - 1, y, y + 1 into lo <= mid <= hi; a window's minimum is the least of its three
// columns' lo, its maximum the largest hi, and its median the median of the largest lo, the
// median mid and the least hi.
template <int N>
struct ByteVectors {
  typedef unsigned char Bytes __attribute__((vector_size(N)));
  typedef uint32_t Pixels __attribute__((vector_size(N)));
};

// The vector helpers below are always inlined, into the AVX2 kernels too: the warning that
// 32-byte vectors passed by value change the calling convention without AVX does not apply (it
// comes at the end of the file, so it is off for the rest of it).
#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

template <class V>
[[gnu::always_inline]] inline V Load(const unsigned char* p) {
  V v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <class V>
[[gnu::always_inline]] inline void Store(unsigned char* p, V v) {
  std::memcpy(p, &v, sizeof v);
}
template <class V>
[[gnu::always_inline]] inline V Min(V a, V b) {
  return a < b ? a : b;
}
template <class V>
[[gnu::always_inline]] inline V Max(V a, V b) {
  return a < b ? b : a;
}
template <class V>
[[gnu::always_inline]] inline V Median3(V a, V b, V c) {
  return Max(Min(a, b), Min(Max(a, b), c));
}

// Sorts the byte columns of rows a, b, c from byte k on, N bytes, into lo, mid and hi.
template <int N, int Op>
[[gnu::always_inline]] inline void SortColumnsStep(const unsigned char* a, const unsigned char* b,
                                                   const unsigned char* c, unsigned char* lo,
                                                   unsigned char* mid, unsigned char* hi,
                                                   size_t k) {
  using V = typename ByteVectors<N>::Bytes;
  const V va = Load<V>(a + k), vb = Load<V>(b + k), vc = Load<V>(c + k);
  const V low = Min(va, vb), high = Max(va, vb);
  if (Op != kRankMaximum) Store(lo + k, Min(low, vc));
  if (Op != kRankMinimum) Store(hi + k, Max(high, vc));
  if (Op == kRankMedian) Store(mid + k, Max(low, Min(high, vc)));
}

// The results of N / 4 pixels from byte k on: lo, mid and hi hold the sorted columns from the
// pixels' left neighbour on; centre is the copy's pixel row (its fourth bytes are kept), out
// the image row. only is the channel whose result goes to all three, or -1.
template <int N, int Op>
[[gnu::always_inline]] inline void WindowStep(const unsigned char* lo, const unsigned char* mid,
                                              const unsigned char* hi, const unsigned char* centre,
                                              unsigned char* out, int only, size_t k) {
  using V = typename ByteVectors<N>::Bytes;
  using P = typename ByteVectors<N>::Pixels;
  V r;
  if (Op == kRankMedian) {
    const V most = Max(Max(Load<V>(lo + k), Load<V>(lo + k + 4)), Load<V>(lo + k + 8));
    const V least = Min(Min(Load<V>(hi + k), Load<V>(hi + k + 4)), Load<V>(hi + k + 8));
    r = Median3(most, Median3(Load<V>(mid + k), Load<V>(mid + k + 4), Load<V>(mid + k + 8)), least);
  } else {
    const V least = Op == kRankMaximum
                        ? V{}
                        : Min(Min(Load<V>(lo + k), Load<V>(lo + k + 4)), Load<V>(lo + k + 8));
    const V most = Op == kRankMinimum
                       ? V{}
                       : Max(Max(Load<V>(hi + k), Load<V>(hi + k + 4)), Load<V>(hi + k + 8));
    r = Op == kRankMinimum ? least : Op == kRankMaximum ? most : V(most - least);
  }
  P p = (P)r;
  if (only >= 0) {
    p = (p >> (8 * only)) & 0xFFu;
    p |= p << 8 | p << 16;
  }
  Store(out + k, (p & 0xFFFFFFu) | (Load<P>(centre + k) & 0xFF000000u));
}

// The pass over bytes [k, end) in steps of N bytes, then halves down to one pixel (end - k is a
// multiple of 4).
template <int N, int Op, class Step>
[[gnu::always_inline]] inline void Steps(size_t k, size_t end, const Step& step) {
  for (; k + N <= end; k += N) step.template operator()<N>(k);
  if constexpr (N > 4) Steps<N / 2, Op>(k, end, step);
}

// Pixels [0, count) of a row from rows r0, r1, r2 of the copy, all starting at the left
// neighbour of the first pixel; lo, mid and hi hold 4 (count + 2) bytes each.
template <int N, int Op>
[[gnu::always_inline]] inline void FullWindows(const unsigned char* r0, const unsigned char* r1,
                                               const unsigned char* r2, unsigned char* out,
                                               int count, int only, unsigned char* lo,
                                               unsigned char* mid, unsigned char* hi) {
  const size_t columns = 4 * static_cast<size_t>(count + 2),
               pixels = 4 * static_cast<size_t>(count);
  Steps<N, Op>(0, columns,
               [&]<int M>(size_t k) { SortColumnsStep<M, Op>(r0, r1, r2, lo, mid, hi, k); });
  Steps<N, Op>(0, pixels,
               [&]<int M>(size_t k) { WindowStep<M, Op>(lo, mid, hi, r1 + 4, out, only, k); });
}

using FullWindowsKernel = void (*)(const unsigned char*, const unsigned char*, const unsigned char*,
                                   unsigned char*, int, int, unsigned char*, unsigned char*,
                                   unsigned char*);

template <int Op>
void FullWindowsVector(const unsigned char* r0, const unsigned char* r1, const unsigned char* r2,
                       unsigned char* out, int count, int only, unsigned char* lo,
                       unsigned char* mid, unsigned char* hi) {
  FullWindows<16, Op>(r0, r1, r2, out, count, only, lo, mid, hi);
}

#ifdef VORLANE_X86
template <int Op>
__attribute__((target("avx2"))) void FullWindowsAvx2(const unsigned char* r0,
                                                     const unsigned char* r1,
                                                     const unsigned char* r2, unsigned char* out,
                                                     int count, int only, unsigned char* lo,
                                                     unsigned char* mid, unsigned char* hi) {
  FullWindows<32, Op>(r0, r1, r2, out, count, only, lo, mid, hi);
}
#endif

// The widest kernel of an operation that the processor runs.
template <int Op>
FullWindowsKernel ChooseFullWindows() {
#ifdef VORLANE_X86
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return FullWindowsAvx2<Op>;
#endif
  return FullWindowsVector<Op>;
}

FullWindowsKernel FullWindowsOf(int operation) {
  static const FullWindowsKernel kernels[4] = {
      ChooseFullWindows<kRankMinimum>(), ChooseFullWindows<kRankMaximum>(),
      ChooseFullWindows<kRankRange>(), ChooseFullWindows<kRankMedian>()};
  return kernels[operation == kRankMinimum   ? 0
                 : operation == kRankMaximum ? 1
                 : operation == kRankRange   ? 2
                                             : 3];
}

// 3 x 3 windows: runs of pixels whose window lies inside the picture and on foreground only go
// byte by byte, the others one by one. The copy's rows y - 1, y, y + 1 are held in a ring, so
// that the image rows may be the copy's rows (each is read before it is written).
void RankOrder3x3(const FilterView& view, int operation, int only, int x0, int x1, int y0, int y1) {
  const FullWindowsKernel full = FullWindowsOf(operation);
  // Columns xa to xb - 1 are read; pixels a to b - 1 of a row have their whole window inside
  // the picture (but for the rows at the top and bottom).
  const int xa = std::max(x0 - 1, 0), xb = std::min(x1 + 1, view.width);
  const int a = std::max(x0, 1), b = std::min(x1, view.width - 1);
  const size_t bytes = 4 * static_cast<size_t>(xb - xa);
  std::vector<unsigned char> ring(3 * bytes), sorted(3 * bytes);
  std::vector<unsigned char> columnFg(static_cast<size_t>(xb - xa));
  const auto slot = [&](int row) {
    return row < 0 || row >= view.height ? nullptr
                                         : ring.data() + bytes * static_cast<size_t>(row % 3);
  };
  // rowFg[row % 3]: the row is all foreground over columns a - 1 to b (found as the row comes
  // in, so that its map bytes are at hand for the pixels at the picture's sides).
  bool rowFg[3] = {};
  const auto keep = [&](int row) {
    if (unsigned char* s = slot(row)) {
      std::memcpy(s, view.src[row] + 4 * xa, bytes);
      rowFg[row % 3] = RowAllForeground(view, row, a - 1, b + 1);
    }
  };
  keep(y0 - 1);
  keep(y0);
  for (int y = y0; y < y1; ++y) {
    keep(y + 1);
    const unsigned char* const rows[3] = {slot(y - 1), slot(y), slot(y + 1)};
    const auto single = [&](int from, int to) {
      for (int x = from; x < to; ++x) WindowPixel(view, rows, xa, operation, only, x, y);
    };
    if (!rows[0] || !rows[2] || a >= b) {
      single(x0, x1);
      continue;
    }
    const auto run = [&](int from, int to) {
      const size_t at = 4 * static_cast<size_t>(from - 1 - xa);
      full(rows[0] + at, rows[1] + at, rows[2] + at, view.dst[y] + 4 * from, to - from, only,
           sorted.data(), sorted.data() + bytes, sorted.data() + 2 * bytes);
    };
    single(x0, a);
    if (rowFg[0] && rowFg[1] && rowFg[2]) {
      run(a, b);
    } else {
      // columnFg[x - xa]: column x is foreground in all three rows.
      const unsigned char* m[3] = {view.map[y - 1], view.map[y], view.map[y + 1]};
      for (int x = a - 1; x <= b; ++x) {
        columnFg[static_cast<size_t>(x - xa)] =
            view.foreground[m[0][x]] & view.foreground[m[1][x]] & view.foreground[m[2][x]];
      }
      const auto isFull = [&](int x) {
        const unsigned char* f = columnFg.data() + (x - 1 - xa);
        return (f[0] & f[1] & f[2]) != 0;
      };
      for (int x = a; x < b;) {
        int end = x;
        while (end < b && isFull(end)) ++end;
        if (end > x) {
          run(x, end);
        } else {
          while (end < b && !isFull(end)) ++end;
          single(x, end);
        }
        x = end;
      }
    }
    single(b, x1);
  }
}

// Windows of half-width 2 or 3 (RankOrderColumns), from planes of masked rows.
void RankOrderPlanes(const FilterView& view, int operation, int h, int only, int x0, int x1, int y0,
                     int y1) {
  constexpr int L = 4;  // planes: blue, green, red, foreground flags
  const int size = 2 * h + 1, w = x1 - x0, span = w + 2 * h;
  const size_t plane = static_cast<size_t>(span), rowBytes = plane * L;
  // Masked rows y - h .. y + h in a ring of size slots.
  std::vector<unsigned char> ring(rowBytes * static_cast<size_t>(size));
  auto slot = [&](int row) {
    return ring.data() + rowBytes * static_cast<size_t>((row + h) % size);
  };
  for (int r = y0 - h; r < y0 + h; ++r) MaskRowPlanes<4>(view, r, x0 - h, x1 + h, slot(r));
  std::vector<unsigned char> low(plane * 3), high(plane * 3);
  std::vector<uint8_t> counts(plane);
  unsigned char values[3][49];
  const bool median = operation == kRankMedian;

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
    unsigned char* out = view.dst[y] + 4 * x0;
    for (int x = 0; x < w; ++x, out += 4) {
      int count = 0;
      for (int i = 0; i < size; ++i) count += counts[static_cast<size_t>(x + i)];
      if (count == 0) continue;  // no foreground in the window: the pixel is kept
      unsigned char result[3];
      if (median) {
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

}  // namespace

void RankOrderColumns(const FilterView& view, int operation, int h, int channel, int x0, int x1,
                      int y0, int y1) {
  // Channel codes: 1 red (byte 2), 2 green (byte 1), 4 blue (byte 0).
  const int only = channel == 1 ? 2 : channel == 2 ? 1 : channel == 4 ? 0 : -1;
  if (h == 1) {
    RankOrder3x3(view, operation, only, x0, x1, y0, y1);
  } else {
    RankOrderPlanes(view, operation, h, only, x0, x1, y0, y1);
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
