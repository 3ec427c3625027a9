// Shear (tilt) of images and maps: the sheared canvas with its offsets, and the pixel kernel.
#pragma once

#include "kernels/geometry/plane.h"

namespace vorlane::detail {

// The canvas of a w x h area sheared by an angle (radians, not reduced), t = tan(angle).
// Horizontal shear (mode bit 1): width w + |trunc(t h)|, ox = trunc(t h) when t > 0, else 0.
// Vertical shear (mode bit 2): height h + |trunc(t w)|, oy = trunc(-w t) when t < 0, else 0.
// The offsets follow the sign of the tangent, which is the sign of the angle inside
// (-pi/2, pi/2) and keeps every row on the canvas beyond it.
struct TiltFrame {
  double t = 0.0;
  bool horizontal = false;
  bool vertical = false;
  int width = 0;
  int height = 0;
  int ox = 0;
  int oy = 0;
};

// Fills frame; false when the tangent is not finite or the canvas does not fit an int.
bool MakeTiltFrame(double angle, unsigned char mode, int w, int h, TiltFrame& frame);

// Writes the sheared src into dst (frame.width x frame.height). Horizontally, source row r
// lands in row r + oy from column ox - trunc(t r) (column 0 without the horizontal shear);
// vertically, column x of that result moves down by d = trunc(t (x - ox)) (up for d < 0).
// Every target pixel that no source pixel reaches gets fill. The result equals the row
// copy followed by the in-place column moves, with columns moved farther than the canvas
// ending up all fill.
template <int Bpp>
void TiltPixels(const Plane& src, const Plane& dst, const TiltFrame& frame,
                const PixelValue<Bpp>& fill);

}  // namespace vorlane::detail
