// Box resampling: column sums over the rows of a target row's box, then sums over the
// columns of each target pixel's box.
#include "kernels/geometry/resample.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace vorlane::detail {

namespace {

// Source box [begin, end) of every target index for a source extent `from` and a target
// extent `to` (both >= 1).
struct Boxes {
  std::vector<int> begin;
  std::vector<int> end;
};

Boxes MakeBoxes(int from, int to) {
  Boxes b;
  b.begin.resize(static_cast<size_t>(to));
  b.end.resize(static_cast<size_t>(to));
  const double scale = static_cast<double>(from) / static_cast<double>(to);
  for (int u = 0; u < to; ++u) {
    const int first = static_cast<int>(u * scale);
    const int last = std::min(from, static_cast<int>((u + 1) * scale));
    b.begin[static_cast<size_t>(u)] = first;
    b.end[static_cast<size_t>(u)] = std::max(last, first + 1);
  }
  return b;
}

// Channels summed per pixel: the three colour bytes of Bpp 4, the byte of Bpp 1.
template <int Bpp>
constexpr int kChannels = Bpp == 4 ? 3 : 1;

// Averages or votes with Sum as the type of the sums (large enough for a whole box).
template <int Bpp, class Sum>
void ResampleBoxes(const Plane& src, const Plane& dst, const Boxes& cols, const Boxes& rows,
                   bool majority) {
  constexpr int ch = kChannels<Bpp>;
  std::vector<Sum> colSum(static_cast<size_t>(src.width) * ch);
  for (int v = 0; v < dst.height; ++v) {
    const int y0 = rows.begin[static_cast<size_t>(v)];
    const int y1 = rows.end[static_cast<size_t>(v)];
    std::fill(colSum.begin(), colSum.end(), Sum{0});
    for (int y = y0; y < y1; ++y) {
      const unsigned char* in = src.rows[y];
      Sum* acc = colSum.data();
      if (majority) {
        for (int x = 0; x < src.width; ++x) acc[x] += in[x] == 1 ? 1 : 0;
      } else {
        for (int x = 0; x < src.width; ++x) {
          for (int k = 0; k < ch; ++k) acc[x * ch + k] += in[x * Bpp + k];
        }
      }
    }
    unsigned char* out = dst.rows[v];
    const Sum boxRows = static_cast<Sum>(y1 - y0);
    for (int u = 0; u < dst.width; ++u) {
      const int x0 = cols.begin[static_cast<size_t>(u)];
      const int x1 = cols.end[static_cast<size_t>(u)];
      const Sum n = boxRows * static_cast<Sum>(x1 - x0);
      Sum total[ch] = {};
      for (int x = x0; x < x1; ++x) {
        for (int k = 0; k < ch; ++k) total[k] += colSum[static_cast<size_t>(x) * ch + k];
      }
      unsigned char* px = out + static_cast<ptrdiff_t>(u) * Bpp;
      if (majority) {
        px[0] = total[0] < n - total[0] ? 0 : 1;
      } else {
        for (int k = 0; k < ch; ++k) px[k] = static_cast<unsigned char>(total[k] / n);
        if constexpr (Bpp == 4) px[3] = 0;
      }
    }
  }
}

// The widest extent of any box.
int LargestBox(const Boxes& b) {
  int largest = 0;
  for (size_t i = 0; i < b.begin.size(); ++i) largest = std::max(largest, b.end[i] - b.begin[i]);
  return largest;
}

}  // namespace

template <int Bpp>
void ResamplePixels(const Plane& src, const Plane& dst, Sampling sampling) {
  const Boxes cols = MakeBoxes(src.width, dst.width);
  const Boxes rows = MakeBoxes(src.height, dst.height);
  const uint64_t area = static_cast<uint64_t>(LargestBox(cols)) * LargestBox(rows);
  // Boxes of one pixel (enlarging): each target is its source pixel, or its vote.
  if (sampling == Sampling::kFirst || area == 1) {
    const bool vote = sampling == Sampling::kMajority;
    for (int v = 0; v < dst.height; ++v) {
      const unsigned char* in = src.rows[rows.begin[static_cast<size_t>(v)]];
      unsigned char* out = dst.rows[v];
      for (int u = 0; u < dst.width; ++u) {
        const unsigned char* from =
            in + static_cast<ptrdiff_t>(cols.begin[static_cast<size_t>(u)]) * Bpp;
        unsigned char* to = out + static_cast<ptrdiff_t>(u) * Bpp;
        std::memcpy(to, from, Bpp);
        if (vote) to[0] = from[0] == 1 ? 1 : 0;
        if (Bpp == 4 && sampling == Sampling::kAverage) to[3] = 0;
      }
    }
    return;
  }
  const bool majority = sampling == Sampling::kMajority;
  if (area * 255u <= UINT32_MAX) {
    ResampleBoxes<Bpp, uint32_t>(src, dst, cols, rows, majority);
  } else {
    ResampleBoxes<Bpp, uint64_t>(src, dst, cols, rows, majority);
  }
}

template void ResamplePixels<1>(const Plane&, const Plane&, Sampling);
template void ResamplePixels<4>(const Plane&, const Plane&, Sampling);

}  // namespace vorlane::detail
