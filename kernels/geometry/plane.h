// Row views of pixel and map buffers for the geometric kernels, and the pixel fill and copy
// helpers they share.
#pragma once

#include <cstddef>
#include <cstring>

namespace vorlane::detail {

// width x height pixels: rows[y] is row y counted from the top. Pixel buffers (bottom-up,
// padded) and maps (top-down, unpadded) both present their rows this way.
struct Plane {
  unsigned char* const* rows = nullptr;
  int width = 0;
  int height = 0;
};

// The bytes of one pixel of Bpp bytes (1 or 4), written as a block.
template <int Bpp>
struct PixelValue {
  unsigned char bytes[Bpp];
};

// Writes value into the count pixels from dst on (count >= 0).
template <int Bpp>
inline void FillPixels(unsigned char* dst, int count, const PixelValue<Bpp>& value) {
  if constexpr (Bpp == 1) {
    if (count > 0) std::memset(dst, value.bytes[0], static_cast<size_t>(count));
  } else {
    for (int i = 0; i < count; ++i)
      std::memcpy(dst + static_cast<ptrdiff_t>(i) * Bpp, value.bytes, Bpp);
  }
}

// Writes the colour bytes of value into the count pixels from dst on: all of a 1-byte
// pixel, the first three of a 4-byte pixel (its fourth byte keeps its value).
template <int Bpp>
inline void FillColourBytes(unsigned char* dst, int count, const PixelValue<Bpp>& value) {
  if constexpr (Bpp == 1) {
    FillPixels<1>(dst, count, value);
  } else {
    for (int i = 0; i < count; ++i)
      std::memcpy(dst + static_cast<ptrdiff_t>(i) * Bpp, value.bytes, 3);
  }
}

// Copies count pixels (count >= 0) from src to dst; the ranges do not overlap.
template <int Bpp>
inline void CopyPixels(unsigned char* dst, const unsigned char* src, int count) {
  if (count > 0) std::memcpy(dst, src, static_cast<size_t>(count) * Bpp);
}

// Sets the bytes from usedBytes to bytesPerLine of every row to value (row padding).
void FillRowPadding(const Plane& plane, int usedBytes, int bytesPerLine, unsigned char value);

}  // namespace vorlane::detail
