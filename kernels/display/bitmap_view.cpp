// The depth test of the display overlays.
#include "kernels/display/bitmap_view.h"

#include "platform/diagnostics.h"

namespace vorlane::detail {

bool OverlayDepthAccepted(const BitmapView& view, const char* operation) {
  if (OverlayPixelStep(view.bitsPerPixel) != 0) return true;
  if (view.bitsPerPixel == 1) {
    TraceF("%s -- Bpp=1, is not implemented yet, bitmap not created\n", operation);
  } else {
    TraceF("%s -- Bpp=%d, is not implemented yet, bitmap not created\n", operation,
           view.bitsPerPixel);
  }
  return false;
}

}  // namespace vorlane::detail
