// The global threshold: one pass over the rectangle's rows, branch-free so that it
// vectorises.
#include "kernels/threshold/global_threshold.h"

namespace vorlane::detail {

void GlobalThreshold(const unsigned char* const* src, const RECT& rect, int threshold,
                     const BinaryOutput& out) {
  if (threshold < 0 || threshold > 255) {
    // Every value lies above (or none above) the threshold.
    const bool all = threshold < 0;
    for (int y = rect.top; y < rect.bottom; ++y) {
      unsigned char* mapRow = out.map.Row(y);
      unsigned char* dst = out.picture ? out.picture[y] : nullptr;
      for (int x = rect.left; x < rect.right; ++x) {
        if (all && mapRow) mapRow[x] = out.label;
        if (dst) dst[x] = all ? out.background : out.foreground;
      }
    }
    return;
  }
  const unsigned char t = static_cast<unsigned char>(threshold);
  const unsigned char label = out.label, bg = out.background, fg = out.foreground;
  const int left = rect.left, right = rect.right;
  for (int y = rect.top; y < rect.bottom; ++y) {
    const unsigned char* row = src[y];
    unsigned char* mapRow = out.map.Row(y);
    unsigned char* dst = out.picture ? out.picture[y] : nullptr;
    // The picture row may be the source row: each pixel is read before it is written.
    if (mapRow) {
      for (int x = left; x < right; ++x) mapRow[x] = row[x] > t ? label : mapRow[x];
    }
    if (dst) {
      for (int x = left; x < right; ++x) dst[x] = row[x] > t ? bg : fg;
    }
  }
}

}  // namespace vorlane::detail
