// Resampling of pixel planes to a new size over source boxes: averaging, majority vote or
// the first pixel of each box.
#pragma once

#include "kernels/geometry/plane.h"

namespace vorlane::detail {

// How a target pixel is made from its source box.
enum class Sampling : unsigned char {
  kAverage,   // each of the first three bytes (Bpp 4) or the byte (Bpp 1): sum / count
  kMajority,  // 1 when the box holds at least as many 1s as other values, else 0 (Bpp 1)
  kFirst,     // the box's top-left pixel, for values that cannot be mixed (palette indices)
};

// Fills dst from src (both at least 1 x 1). With scale = src extent / dst extent as a
// double, target column u takes source columns [trunc(u scale), trunc((u + 1) scale)), or
// the single first column when that range is empty; rows alike. The unused fourth byte of
// Bpp 4 targets is 0.
template <int Bpp>
void ResamplePixels(const Plane& src, const Plane& dst, Sampling sampling);

}  // namespace vorlane::detail
