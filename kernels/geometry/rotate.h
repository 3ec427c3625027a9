// Rotation by inverse mapping, nearest neighbour: the angle reduction, the rotated canvas
// with its offsets, and the pixel kernel shared by images of every format and by maps.
#pragma once

#include "kernels/geometry/plane.h"

namespace vorlane::detail {

// Reduces an angle (radians, finite) into [0, 2pi) as the rotations do: k =
// trunc(angle / 6.2831854820251465); angle - float(2k) * float(pi), the product taken in
// single precision; 6.2831854820251465 is added to a negative result. Angles in [0, 2pi)
// come back unchanged.
double ReduceAngle(double angle);

// The rotated box of a w x h area turned by a reduced angle a: c = cos(a), s = sin(a),
// width = trunc(|c| w + |s| h), height = trunc(|s| w + |c| h), and the offsets that place
// the turned area at column 0 and row 0, chosen by the quadrant of a from the extents ew, eh
// (w - 1 and h - 1 for a whole image, w and h for a rectangle).
struct RotationFrame {
  double c = 1.0;
  double s = 0.0;
  int width = 0;
  int height = 0;
  int ox = 0;
  int oy = 0;
};

// Fills frame; false when the angle is not finite or the box does not fit an int.
bool MakeRotationFrame(double reducedAngle, int w, int h, int ew, int eh, RotationFrame& frame);

// Where the rotated box lands: box pixel (x, y) is target pixel (x + shiftX, y + shiftY),
// and only target pixels inside the window [left, right) x [top, bottom) are written. The
// window lies inside the target plane.
struct RotationPlacement {
  int shiftX = 0;
  int shiftY = 0;
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

// For every box pixel (x, y) of frame that lands in the window: dx = x - ox, dy = y - oy,
// sx = trunc(dx c + dy s), sy = trunc(dy c - dx s); when (sx, sy) lies in src the pixel
// (Bpp bytes, 1 or 4) is copied, otherwise the target gets *fill (or keeps its value when
// fill is null). The products are taken once per column and once per row and summed, which
// gives the same coordinates as the formula; the columns whose source lies in src are found
// per row before the copy, so no pixel is tested.
template <int Bpp>
void RotatePixels(const Plane& src, const Plane& dst, const RotationFrame& frame,
                  const RotationPlacement& placement, const PixelValue<Bpp>* fill);

// Turns the pixels of the rectangle [left, right) x [top, bottom) of plane (inside it, not
// empty) by a reduced angle about the rectangle's centre: copies them out, fills the
// rectangle with the colour bytes of *fill (unless fill is null), and writes the turned copy back
// with the box offsets of the rectangle's size (extents rw, rh), the box centred on the rectangle
// by
// ((W - rw) / 2, (H - rh) / 2), into the rectangle only when clipToRect, else anywhere in
// the plane. False, nothing changed, when the angle gives no frame.
template <int Bpp>
bool RotateRectangle(const Plane& plane, int left, int top, int right, int bottom,
                     double reducedAngle, const PixelValue<Bpp>* fill, bool clipToRect);

}  // namespace vorlane::detail
