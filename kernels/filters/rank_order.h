// Rank-order filters over square windows: per-channel minimum, maximum, range and median of the
// foreground of colour pictures, and the same operations on two-level pictures.
#pragma once

#include "kernels/filters/filter_rows.h"

namespace vorlane::detail {

// Rank operations by their codes.
inline constexpr int kRankMinimum = 1;
inline constexpr int kRankMaximum = 2;
inline constexpr int kRankRange = 4;  // maximum - minimum
inline constexpr int kRankMedian = 8;

// Whether operation is one of the four codes above.
inline bool IsRankOperation(int operation) {
  return operation == kRankMinimum || operation == kRankMaximum || operation == kRankRange ||
         operation == kRankMedian;
}

// Filters columns x0 to x1 - 1 of rows y0 to y1 - 1 of a 4-byte colour view (blue, green, red,
// unused) over windows of half-width h (1 to 3) with a rank operation (one of the four codes). Per
// channel, the window's foreground pixels inside the picture give the minimum, the maximum, their
// difference, or the median: the value at index count / 2 of the channel's values sorted
// ascending (the upper of the two middle values when count is even). channel 1 writes the red
// result into all three channels, 2 the green result, 4 the blue result; any other value each
// channel's own result. The fourth byte is not written. A pixel whose window holds no
// foreground keeps its value. The image rows y0 to y1 - 1 may be the copy's own rows: each is
// read before it is written.
void RankOrderColumns(const FilterView& view, int operation, int h, int channel, int x0, int x1,
                      int y0, int y1);

// Rules of the two-level window filters, from the window's count of pixels inside the picture
// and its ones and zeros.
enum class BinaryRule {
  kMinimum,   // 1 when the window holds no 0
  kMaximum,   // 1 when it holds a 1
  kRange,     // 1 when it holds both a 0 and a 1
  kMedian,    // the upper middle of the sorted values: 1 when 2 ones >= count
  kMajority,  // 1 when ones > count / 2 (integer division)
};

// Filters columns x0 to x1 - 1 of a two-level picture (one byte per pixel, 0 or 1) from src rows
// into dst rows over windows of half-width h (1 to 3) clipped to the picture, by rule.
void BinaryWindowColumns(const unsigned char* const* src, unsigned char* const* dst, int width,
                         int height, int h, BinaryRule rule, int x0, int x1);

}  // namespace vorlane::detail
