// The views and row helpers the neighbourhood filters share: the source copy with its
// foreground test, masked window rows, and the column strips that progress is reported by.
#pragma once

#include <algorithm>
#include <cstring>

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

// Number of byte lanes per pixel in a masked row: grey value and foreground flag for 1-byte
// pixels; blue, green, red and the foreground flag for 4-byte pixels.
template <int P>
inline constexpr int kMaskLanes = P == 1 ? 2 : 4;

// Writes the copy's row y over columns xa to xb - 1 as masked lanes into out
// ((xb - xa) * kMaskLanes<P> bytes): a foreground pixel gives its channel bytes and flag 1; a
// pixel that is background, or lies outside the picture (y or x out of range), gives flag 0
// and fill in every channel.
template <int P>
void MaskRow(const FilterView& view, int y, int xa, int xb, unsigned char fill,
             unsigned char* out) {
  constexpr int L = kMaskLanes<P>;
  if (y < 0 || y >= view.height) {
    for (int x = xa; x < xb; ++x) {
      std::memset(out + (x - xa) * L, fill, L - 1);
      out[(x - xa) * L + L - 1] = 0;
    }
    return;
  }
  const int inA = std::max(xa, 0), inB = std::min(xb, view.width);
  for (int x = xa; x < inA; ++x) {
    std::memset(out + (x - xa) * L, fill, L - 1);
    out[(x - xa) * L + L - 1] = 0;
  }
  const unsigned char* s = view.src[y];
  const unsigned char* m = view.map ? view.map[y] : nullptr;
  unsigned char* o = out + (inA - xa) * L;
  for (int x = inA; x < inB; ++x, o += L) {
    const unsigned char f = m ? view.foreground[m[x]] : 1;
    // keep: all ones for foreground, else zero; background channels become fill.
    const unsigned char keep = static_cast<unsigned char>(0u - f);
    for (int c = 0; c < L - 1; ++c) {
      o[c] = static_cast<unsigned char>((s[P * x + c] & keep) | (fill & ~keep));
    }
    o[L - 1] = f;
  }
  for (int x = std::max(inB, xa); x < xb; ++x) {
    std::memset(out + (x - xa) * L, fill, L - 1);
    out[(x - xa) * L + L - 1] = 0;
  }
}

// Columns computed at a time between progress reports.
inline constexpr int kFilterStripColumns = 256;

// Runs compute(x0, x1) on strips of neighbouring columns x0 to x1 - 1 (at most
// kFilterStripColumns, left to right), and after each strip column(x) for each of its columns
// in order. When column answers true the run stops at once (later columns are not visited)
// and the result is false; true when every column was visited.
template <class Compute, class Column>
bool RunColumnStrips(int width, Compute&& compute, Column&& column) {
  for (int x0 = 0; x0 < width; x0 += kFilterStripColumns) {
    const int x1 = std::min(width, x0 + kFilterStripColumns);
    compute(x0, x1);
    for (int x = x0; x < x1; ++x) {
      if (column(x)) return false;
    }
  }
  return true;
}

}  // namespace vorlane::detail
