// Views of display bitmap bits (rows top row first) and the pixel depths the overlays handle.
#pragma once

#include <cstddef>
#include <type_traits>

#include "platform/types.h"

namespace vorlane::detail {

// The bits of a display bitmap: height rows of bytesPerRow bytes, top row first, pixels of
// bitsPerPixel bits with blue, green and red in the first three bytes.
struct BitmapView {
  unsigned char* bits = nullptr;
  int width = 0;
  int height = 0;
  int bytesPerRow = 0;
  int bitsPerPixel = 0;

  unsigned char* Row(int y) const {
    return bits + static_cast<ptrdiff_t>(y) * static_cast<ptrdiff_t>(bytesPerRow);
  }
};

// Bytes from one pixel to the next for the depths the overlays paint: 3 for 24 bits per
// pixel, 4 for 32; 0 for every other depth (1 to 16 bits), which the overlays refuse.
inline int OverlayPixelStep(int bitsPerPixel) {
  if (bitsPerPixel == 24) return 3;
  if (bitsPerPixel == 32) return 4;
  return 0;
}

// Whether an overlay can paint view; otherwise writes the overlay's depth trace line:
// "<operation> -- Bpp=1, is not implemented yet, bitmap not created\n" for 1 bit per pixel
// and the same with the value for the other refused depths.
bool OverlayDepthAccepted(const BitmapView& view, const char* operation);

// Calls paint with the pixel step of view as a compile-time constant (3 or 4); the caller
// has accepted the depth.
template <typename Paint>
void WithPixelStep(const BitmapView& view, Paint&& paint) {
  if (OverlayPixelStep(view.bitsPerPixel) == 3) {
    paint(std::integral_constant<int, 3>{});
  } else {
    paint(std::integral_constant<int, 4>{});
  }
}

}  // namespace vorlane::detail
