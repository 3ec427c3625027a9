// Row padding of pixel buffers.
#include "kernels/geometry/plane.h"

namespace vorlane::detail {

void FillRowPadding(const Plane& plane, int usedBytes, int bytesPerLine, unsigned char value) {
  if (bytesPerLine <= usedBytes) return;
  for (int y = 0; y < plane.height; ++y) {
    std::memset(plane.rows[y] + usedBytes, value, static_cast<size_t>(bytesPerLine - usedBytes));
  }
}

}  // namespace vorlane::detail
