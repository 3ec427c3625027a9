// The views and row helpers the neighbourhood filters share: the source copy with its
// foreground test, masked window rows, bands of rows filtered in place, and the column strips
// that progress is reported by.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "kernels/parallel/row_bands.h"

namespace vorlane::detail {

// A neighbourhood filter's picture: the private copy it reads, the image rows it writes and the
// current map that decides which copy pixels count. Rows are indexed from the top.
struct FilterView {
  const unsigned char* const* src;  // rows of the unchanged copy
  unsigned char* const* dst;        // rows of the image
  int width;                        // > 0
  int height;                       // > 0
  const unsigned char* const* map;  // rows of the current map; null: every pixel counts
  const unsigned char* foreground;  // 256 entries, 1 where a map byte means foreground
};

// Whether the pixels of row y from column xa to xb - 1 (inside the picture) are all foreground:
// at once when the map bytes there are all alike.
inline bool RowAllForeground(const FilterView& view, int y, int xa, int xb) {
  if (!view.map || xa >= xb) return true;
  const unsigned char* m = view.map[y];
  if (std::memcmp(m + xa, m + xa + 1, static_cast<size_t>(xb - xa - 1)) == 0) {
    return view.foreground[m[xa]] != 0;
  }
  for (int x = xa; x < xb; ++x) {
    if (!view.foreground[m[x]]) return false;
  }
  return true;
}

// Channels of a pixel of P bytes that the filters read and write: the grey byte, or blue,
// green and red (the fourth byte is left alone).
template <int P>
inline constexpr int kChannels = P == 1 ? 1 : 3;

// Writes the copy's row y over columns xa to xb - 1 as kChannels<P> + 1 planes of (xb - xa)
// bytes each, one after the other in out: a plane per channel, then the foreground flags. A
// foreground pixel gives its channel bytes and flag 1; a pixel that is background, or lies
// outside the picture (y or x out of range), gives 0 in every plane.
template <int P>
void MaskRowPlanes(const FilterView& view, int y, int xa, int xb, unsigned char* out) {
  constexpr int C = kChannels<P>;
  const size_t span = static_cast<size_t>(xb - xa);
  if (y < 0 || y >= view.height) {
    std::memset(out, 0, span * (C + 1));
    return;
  }
  unsigned char* flags = out + span * C;
  const int inA = std::max(xa, 0), inB = std::max(inA, std::min(xb, view.width));
  std::memset(flags, 0, span);
  const unsigned char* s = view.src[y];
  for (int c = 0; c < C; ++c) {
    std::memset(out + span * c, 0, static_cast<size_t>(inA - xa));
    std::memset(out + span * c + (inB - xa), 0, static_cast<size_t>(xb - inB));
  }
  unsigned char* planes[3] = {out, out + span, out + 2 * span};
  if (RowAllForeground(view, y, inA, inB)) {
    // Nothing to mask: the channel bytes as they are.
    std::memset(flags + (inA - xa), 1, static_cast<size_t>(inB - inA));
    if constexpr (P == 1) {
      std::memcpy(planes[0] + (inA - xa), s + inA, static_cast<size_t>(inB - inA));
    } else {
      unsigned char* __restrict blue = planes[0] + (inA - xa);
      unsigned char* __restrict green = planes[1] + (inA - xa);
      unsigned char* __restrict red = planes[2] + (inA - xa);
      const unsigned char* __restrict p = s + 4 * inA;
      for (int i = 0; i < inB - inA; ++i) {
        blue[i] = p[4 * i];
        green[i] = p[4 * i + 1];
        red[i] = p[4 * i + 2];
      }
    }
    return;
  }
  const unsigned char* m = view.map[y];
  for (int x = inA; x < inB; ++x) flags[x - xa] = view.foreground[m[x]];
  for (int x = inA; x < inB; ++x) {
    // All ones for foreground, else zero.
    const unsigned char keep = static_cast<unsigned char>(0u - flags[x - xa]);
    if constexpr (P == 1) {
      planes[0][x - xa] = s[x] & keep;
    } else {
      uint32_t pixel;
      std::memcpy(&pixel, s + 4 * x, 4);
      pixel &= 0x01010101u * keep;
      planes[0][x - xa] = static_cast<unsigned char>(pixel);
      planes[1][x - xa] = static_cast<unsigned char>(pixel >> 8);
      planes[2][x - xa] = static_cast<unsigned char>(pixel >> 16);
    }
  }
}

// Runs compute(src, y0, y1) on bands of the rows 0 to height - 1, on all cores at once, filtering
// the picture in place: compute writes the image rows y0 to y1 - 1 (lines) and reads rows y0 -
// reach to y1 + reach - 1 through src, which gives the image rows of its band and, for the rows
// around it, copies made before any band starts. compute must read each row of its band before
// it writes it, and keep what it still needs of the rows it has written. rowBytes: bytes of a
// row.
template <class Compute>
void ForEachRowBandInPlace(unsigned char* const* lines, size_t rowBytes, int height, int reach,
                           std::int64_t work, Compute&& compute) {
  const RowBands bands(0, height, work);
  const size_t count = static_cast<size_t>(bands.Count()), rows = static_cast<size_t>(height);
  std::vector<unsigned char> around(count * 2 * static_cast<size_t>(reach) * rowBytes);
  std::vector<const unsigned char*> src(count * rows);
  unsigned char* copy = around.data();
  for (size_t band = 0; band < count; ++band) {
    const int first = bands.First(static_cast<int>(band));
    const int last = bands.First(static_cast<int>(band) + 1);
    const unsigned char** bandRows = src.data() + band * rows;
    std::copy(lines, lines + height, bandRows);
    for (const int from : {first - reach, last}) {
      for (int y = std::max(from, 0); y < std::min(from + reach, height); ++y) {
        std::memcpy(copy, lines[y], rowBytes);
        bandRows[y] = copy;
        copy += rowBytes;
      }
    }
  }
  bands.Run([&](int band, int first, int last) {
    compute(src.data() + static_cast<size_t>(band) * rows, first, last);
  });
}

// Columns computed at a time between progress reports.
inline constexpr int kFilterStripColumns = 256;

// Runs a filter over the picture in strips of neighbouring columns (at most kFilterStripColumns
// each, full height) and calls column(x) for every column in order; when column answers true
// the run stops at once (later columns are not visited) and the result is false; true when
// every column was visited. compute(x0, x1) filters columns x0 to x1 - 1 and writes nothing
// else. With reportAsYouGo each strip is followed by the calls for its columns, left to right,
// so that a host sees the progress and can stop early; otherwise the strips are filtered on
// all cores at once and the calls follow.
template <class Compute, class Column>
bool RunFilterStrips(int width, int height, bool reportAsYouGo, Compute&& compute,
                     Column&& column) {
  const int strips = (width + kFilterStripColumns - 1) / kFilterStripColumns;
  const auto strip = [&](int s) {
    const int x0 = s * kFilterStripColumns;
    compute(x0, std::min(width, x0 + kFilterStripColumns));
    return x0;
  };
  if (!reportAsYouGo) {
    ForEachRowBand(0, strips, std::int64_t{width} * height, [&](int first, int last) {
      for (int s = first; s < last; ++s) strip(s);
    });
    for (int x = 0; x < width; ++x) {
      if (column(x)) return false;
    }
    return true;
  }
  for (int s = 0; s < strips; ++s) {
    const int x0 = strip(s);
    for (int x = x0; x < std::min(width, x0 + kFilterStripColumns); ++x) {
      if (column(x)) return false;
    }
  }
  return true;
}

}  // namespace vorlane::detail
