// Straight lines drawn into 4-byte pixel rows.
#pragma once

#include "kernels/display/paint_runs.h"

namespace vorlane::detail {

// Inclusive box of points that may be drawn: left <= x <= right, top <= y <= bottom.
struct DrawBox {
  int left = 0;
  int top = 0;
  int right = -1;
  int bottom = -1;
};

// Draws the line from (x1, y1) towards (x2, y2) into rows (4 bytes per pixel: blue, green,
// red, unused), without its end point: with n = max(|x2 - x1|, |y2 - y1|) and the single-
// precision steps sx = (x2 - x1) / n, sy = (y2 - y1) / n, point i (0 <= i < n) is
// (x1 + trunc(i * sx), y1 + trunc(i * sy)). Points outside box are skipped; box must lie
// inside the rows. n = 0 draws nothing. Both coordinates of a point are monotone in i, so
// the points inside box form one range of i, found by bisection: a line far longer than
// the box costs only the points drawn.
void DrawLineSegment(unsigned char* const* rows, DrawBox box, int x1, int y1, int x2, int y2,
                     PixelBgr colour);

}  // namespace vorlane::detail
