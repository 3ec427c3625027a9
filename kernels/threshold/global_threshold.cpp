// The global threshold: one pass over the rectangle's rows.
#include "kernels/threshold/global_threshold.h"

namespace vorlane::detail {

void GlobalThreshold(const unsigned char* const* src, const RECT& rect, int threshold,
                     const BinaryOutput& out) {
  for (int y = rect.top; y < rect.bottom; ++y) {
    const unsigned char* row = src[y];
    unsigned char* mapRow = out.map.Row(y);
    unsigned char* dst = out.picture ? out.picture[y] : nullptr;
    for (int x = rect.left; x < rect.right; ++x) {
      const bool background = row[x] > threshold;
      if (background && mapRow) mapRow[x] = out.label;
      if (dst) dst[x] = background ? out.background : out.foreground;
    }
  }
}

}  // namespace vorlane::detail
