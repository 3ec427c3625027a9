// The size limit of pictures read from files.
#pragma once

#include <cstdint>

#include "kernels/pixels/buffer_size.h"

namespace vorlane::detail {

// Largest pixel buffer, in bytes, that an image read from a file may have (1 GiB, the
// in-memory layout: one byte per pixel for bi-level and greyscale, four for colour, rows
// padded to 32 bits).
inline constexpr int64_t kMaxPictureBytes = int64_t{1} << 30;

// Bytes of the pixel buffer of a width x height picture of bytesPerPixel (1 or 4) bytes per
// pixel, rows padded to 32 bits; -1 when either side is 0 or the buffer would exceed
// kMaxPictureBytes. No intermediate product can overflow.
inline int64_t PictureBytes(uint64_t width, uint64_t height, int bytesPerPixel) {
  if (width == 0 || height == 0 || width > kMaxPictureBytes || bytesPerPixel < 1) return -1;
  const int64_t rowBytes = PaddedRowBytes(static_cast<int64_t>(width), int64_t{8} * bytesPerPixel);
  if (rowBytes <= 0 || rowBytes > kMaxPictureBytes ||
      height > static_cast<uint64_t>(kMaxPictureBytes / rowBytes)) {
    return -1;
  }
  return rowBytes * static_cast<int64_t>(height);
}

}  // namespace vorlane::detail
