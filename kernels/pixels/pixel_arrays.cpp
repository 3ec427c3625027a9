// Allocation and release of pixel buffers and line tables.
#include "kernels/pixels/pixel_arrays.h"

#include <cstddef>
#include <memory>

namespace vorlane::detail {

PixelArrays AllocatePixelArrays(int bytesPerLine, int height) {
  const size_t bytes = static_cast<size_t>(bytesPerLine) * static_cast<size_t>(height);
  // At least one element each, so that an empty image still has distinct, valid arrays.
  auto data = std::make_unique_for_overwrite<unsigned char[]>(bytes > 0 ? bytes : 1);
  auto lines = std::make_unique_for_overwrite<unsigned char*[]>(height > 0 ? height : 1);
  return PixelArrays{data.release(), lines.release()};
}

void FreePixelArrays(unsigned char*& data, unsigned char**& lines) {
  delete[] data;
  delete[] lines;
  data = nullptr;
  lines = nullptr;
}

}  // namespace vorlane::detail
