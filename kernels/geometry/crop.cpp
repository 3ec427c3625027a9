// The crop rectangle test.
#include "kernels/geometry/crop.h"

#include <cstdint>

namespace vorlane::detail {

bool CropAllowed(int x, int y, int cropWidth, int cropHeight, int w, int h) {
  return x >= 0 && x < w && y >= 0 && y < h && cropWidth >= 0 && cropHeight >= 0 &&
         static_cast<int64_t>(x) + cropWidth <= w && static_cast<int64_t>(y) + cropHeight <= h;
}

}  // namespace vorlane::detail
