// Crop of images and maps: the test of the kept rectangle and the row copy.
#pragma once

#include "kernels/geometry/plane.h"

namespace vorlane::detail {

// Whether a w x h area keeps the cropWidth x cropHeight rectangle at (x, y): 0 <= x < w,
// 0 <= y < h, cropWidth >= 0, cropHeight >= 0, x + cropWidth <= w and y + cropHeight <= h,
// the sums taken without overflow.
bool CropAllowed(int x, int y, int cropWidth, int cropHeight, int w, int h);

// Copies the dst.width x dst.height pixels of src from (x, y) on into dst; the rectangle
// lies inside src.
template <int Bpp>
void CropPixels(const Plane& src, const Plane& dst, int x, int y) {
  for (int j = 0; j < dst.height; ++j) {
    CopyPixels<Bpp>(dst.rows[j], src.rows[y + j] + static_cast<ptrdiff_t>(x) * Bpp, dst.width);
  }
}

}  // namespace vorlane::detail
