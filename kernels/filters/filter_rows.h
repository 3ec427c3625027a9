// The views and row helpers the neighbourhood filters share: the source copy with its
// foreground test, masked window rows, and the column strips that progress is reported by.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

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
  const unsigned char* m = view.map ? view.map[y] : nullptr;
  if (m) {
    for (int x = inA; x < inB; ++x) flags[x - xa] = view.foreground[m[x]];
  } else {
    std::memset(flags + (inA - xa), 1, static_cast<size_t>(inB - inA));
  }
  const unsigned char* s = view.src[y];
  for (int c = 0; c < C; ++c) {
    std::memset(out + span * c, 0, static_cast<size_t>(inA - xa));
    std::memset(out + span * c + (inB - xa), 0, static_cast<size_t>(xb - inB));
  }
  unsigned char* planes[3] = {out, out + span, out + 2 * span};
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

// Columns computed at a time between progress reports.
inline constexpr int kFilterStripColumns = 256;

// Runs a filter over the picture and calls column(x) for every column in order; when column
// answers true the run stops at once (later columns are not visited) and the result is false;
// true when every column was visited. compute(x0, x1, y0, y1) filters columns x0 to x1 - 1 of
// rows y0 to y1 - 1 and writes nothing else.
// With reportAsYouGo the picture goes in strips of neighbouring columns (at most
// kFilterStripColumns each, full height), each followed by the calls for its columns, left to
// right, so that a host sees the progress and can stop early. Otherwise bands of whole rows
// are filtered on all cores at once (rowBands), or strips if the filter only takes them, and
// the calls follow.
template <class Compute, class Column>
bool RunFilterPasses(int width, int height, bool reportAsYouGo, bool rowBands, Compute&& compute,
                     Column&& column) {
  const int strips = (width + kFilterStripColumns - 1) / kFilterStripColumns;
  const auto strip = [&](int s) {
    const int x0 = s * kFilterStripColumns;
    compute(x0, std::min(width, x0 + kFilterStripColumns), 0, height);
    return x0;
  };
  if (!reportAsYouGo) {
    const std::int64_t work = std::int64_t{width} * height;
    if (rowBands) {
      ForEachRowBand(0, height, work, [&](int y0, int y1) { compute(0, width, y0, y1); });
    } else {
      ForEachRowBand(0, strips, work, [&](int first, int last) {
        for (int s = first; s < last; ++s) strip(s);
      });
    }
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
