// The automatic (Weszka-Rosenfeld) level of a greyscale image, shared by its threshold and
// the page road, which also reports what it made foreground. Internal to the library.
#pragma once

#include "kernels/threshold/weszka_rosenfeld.h"
#include "platform/geometry.h"

class CGreyScaleImage;

namespace vorlane::detail {

// Normalises rect as the thresholds do, then takes the luminance histogram of the whole
// image over the pixels that the current map does not mark as background (histogram mode
// 0) and finds the level over rect of the image's rows (WeszkaRosenfeldLevel). Traces
// "WARNING: Thresholding: Smoothing failed to produce 2 peaks" when smoothing leaves fewer
// than two maxima. An image without pixels has no straddles and no foreground.
AutomaticLevel AutomaticLevelOf(CGreyScaleImage& image, CRect& rect);

}  // namespace vorlane::detail
