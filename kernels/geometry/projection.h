// Row and column counts of one label over a rectangle of a map.
#pragma once

#include "kernels/geometry/plane.h"

namespace vorlane::detail {

// Counts over the width x height rectangle at (x, y) (width, height >= 0), r and c counted
// from its corner; bytes outside the map count as not matching. rowCounts (height entries)
// and columnCounts (width entries) may each be null; both are cleared first.
// - runs: a run of bytes equal to label counts once, at its first byte, in its row and in
//   its first column;
// - otherwise, counting: matching bytes per row and column, then with complement
//   width - count per row and height - count per column;
// - neither (counting false and runs false): the arrays stay cleared.
void ProjectLabel(const Plane& map, unsigned char label, int x, int y, int width, int height,
                  long* rowCounts, long* columnCounts, bool runs, bool counting, bool complement);

}  // namespace vorlane::detail
