// The rectangle rules of the per-pixel operations: normalisation of a caller's rectangle
// against the image size, and clipping of a region given by origin and size.
#pragma once

#include <algorithm>

#include "platform/types.h"

namespace vorlane::detail {

// Thresholding rule: (-1, -1, -1, -1) becomes (0, 0, width, height); any other rectangle has
// left and top raised to 0 and right and bottom lowered to width and height. Inverted
// rectangles stay inverted (and so select no pixel).
inline void NormaliseThresholdRect(RECT& r, int width, int height) {
  if (r.left == -1 && r.top == -1 && r.right == -1 && r.bottom == -1) {
    r = RECT{0, 0, width, height};
    return;
  }
  r.left = std::max<LONG>(r.left, 0);
  r.top = std::max<LONG>(r.top, 0);
  r.right = std::min<LONG>(r.right, width);
  r.bottom = std::min<LONG>(r.bottom, height);
}

// Histogram rule: an all-zero rectangle becomes the whole image; then inverted sides are
// swapped, and the result is clamped to 0..width and 0..height.
inline void NormaliseHistogramRect(RECT& r, int width, int height) {
  if (r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0) {
    r.right = width;
    r.bottom = height;
  }
  if (r.bottom < r.top) std::swap(r.top, r.bottom);
  if (r.right < r.left) std::swap(r.left, r.right);
  r.left = std::max<LONG>(r.left, 0);
  r.right = std::min<LONG>(r.right, width);
  r.top = std::max<LONG>(r.top, 0);
  r.bottom = std::min<LONG>(r.bottom, height);
}

// The pixels that a rectangle covers: none when it is empty or inverted.
inline bool HasArea(const RECT& r) { return r.right > r.left && r.bottom > r.top; }

// The part of the region (x, y, w, h) inside a width x height image, as a rectangle; empty
// when they do not meet or w or h is not positive. Computed in 64 bits, so that no sum of
// the caller's values can overflow.
inline RECT ClipRegion(int x, int y, int w, int h, int width, int height) {
  const long long right = std::min<long long>(static_cast<long long>(x) + w, width);
  const long long bottom = std::min<long long>(static_cast<long long>(y) + h, height);
  RECT r{std::max(x, 0), std::max(y, 0), static_cast<LONG>(std::max<long long>(right, 0)),
         static_cast<LONG>(std::max<long long>(bottom, 0))};
  if (!HasArea(r)) r = RECT{0, 0, 0, 0};
  return r;
}

}  // namespace vorlane::detail
