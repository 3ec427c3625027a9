// Label projections of maps.
#include "kernels/geometry/projection.h"

#include <algorithm>
#include <cstdint>

namespace vorlane::detail {

void ProjectLabel(const Plane& map, unsigned char label, int x, int y, int width, int height,
                  long* rowCounts, long* columnCounts, bool runs, bool counting, bool complement) {
  if (rowCounts) std::fill(rowCounts, rowCounts + height, 0L);
  if (columnCounts) std::fill(columnCounts, columnCounts + width, 0L);
  if (!runs && !counting) return;
  // The part of the rectangle inside the map, in rectangle coordinates.
  const int c0 = static_cast<int>(std::clamp<int64_t>(-static_cast<int64_t>(x), 0, width));
  const int c1 = static_cast<int>(std::clamp<int64_t>(int64_t{map.width} - x, c0, width));
  const int r0 = static_cast<int>(std::clamp<int64_t>(-static_cast<int64_t>(y), 0, height));
  const int r1 = static_cast<int>(std::clamp<int64_t>(int64_t{map.height} - y, r0, height));
  for (int r = r0; r < r1; ++r) {
    const unsigned char* row = map.rows[y + r];
    long count = 0;
    bool inRun = false;
    for (int c = c0; c < c1; ++c) {
      const bool match = row[x + c] == label;
      const bool counts = runs ? match && !inRun : match;
      inRun = match;
      if (!counts) continue;
      ++count;
      if (columnCounts) ++columnCounts[c];
    }
    if (rowCounts) rowCounts[r] = count;
  }
  if (runs || !complement) return;
  if (rowCounts) {
    for (int r = 0; r < height; ++r) rowCounts[r] = width - rowCounts[r];
  }
  if (columnCounts) {
    for (int c = 0; c < width; ++c) columnCounts[c] = height - columnCounts[c];
  }
}

}  // namespace vorlane::detail
