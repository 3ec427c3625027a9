// Views of the platform's bitmaps for the display kernels, and the copy between bitmaps.
#pragma once

#include "kernels/display/bitmap_view.h"
#include "kernels/display/stretch.h"
#include "platform/bitmap.h"

namespace vorlane::detail {

// The bits of bitmap as the overlays see them (its description and its pixel array); an
// empty view when no bitmap exists.
inline BitmapView ViewOf(CBitmap& bitmap) {
  BITMAP bm{};
  if (!bitmap.GetBitmap(&bm) || !bitmap.Pixels()) return {};
  return BitmapView{reinterpret_cast<unsigned char*>(bitmap.Pixels()), bm.bmWidth, bm.bmHeight,
                    bm.bmWidthBytes, bm.bmBitsPixel};
}

// The 32-bit pixel array of bitmap (null pixels when it has none).
inline PixelArray ArrayOf(CBitmap& bitmap) {
  return PixelArray{bitmap.Pixels(), bitmap.Width(), bitmap.Height()};
}

// Copies the top-left part that src and dst share from src into dst (a plain block copy).
void CopyPixels(PixelArray src, PixelArray dst);

}  // namespace vorlane::detail
