// Colour-range classification of full-colour pixels into map labels.
#pragma once

#include "kernels/histogram/selection.h"

namespace vorlane::detail {

// Parameters: [0] combination mode; then inclusive lower and upper bounds of red [1], [2],
// green [3], [4], blue [5], [6], hue [7], [8], lightness [9], [10], saturation [11], [12].
inline constexpr int kAdvancedThresholdParameters = 13;

// For every pixel of a width x height image of 4-byte rows that foreground selects: hue,
// lightness and saturation of TT_RGB2HLS (code 36), rounded half down (up only when the
// fraction exceeds 0.5) except in mode 1, which compares the unrounded values. With the six
// channels R, G, B, H, L, S tested against their ranges, the pixel becomes background (label
// ORed into its byte of map) when: mode 0, any channel is outside; mode 1, all are outside;
// mode 2, all are inside; any other mode, any is inside.
void AdvancedThreshold(const unsigned char* const* rows, int width, int height,
                       const ByteSelection& foreground, const MapRows& map, unsigned char label,
                       const int* parameters);

}  // namespace vorlane::detail
