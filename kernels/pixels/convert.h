// Pixel rules and row kernels that convert the pixels of one format into another.
#pragma once

#include <functional>

#include "kernels/pixels/pixel_view.h"

namespace vorlane::detail {

// Called after each converted row with the number of rows done so far (1 to height).
using RowProgress = std::function<void(int rowsDone)>;

// 0.11 x blue + 0.59 x green + 0.3 x red in single precision, summed in that order (blue
// term first) with every product and sum rounded to single precision. The result lies in
// [0, 255].
inline float WeightedLuminance(unsigned char blue, unsigned char green, unsigned char red) {
  const float blueGreen = 0.11f * static_cast<float>(blue) + 0.59f * static_cast<float>(green);
  return blueGreen + 0.3f * static_cast<float>(red);
}

// Bi-level value of a colour: 1 (white) when its weighted luminance exceeds 128, else 0.
inline unsigned char BiLevelFromColour(unsigned char blue, unsigned char green, unsigned char red) {
  return WeightedLuminance(blue, green, red) > 128.0f ? 1 : 0;
}

// Grey value of a colour by mode: bit 0x01 red, else bit 0x02 green, else bit 0x04 blue,
// else the weighted luminance truncated toward zero.
inline unsigned char GreyFromColour(unsigned char blue, unsigned char green, unsigned char red,
                                    unsigned char mode) {
  if (mode & 0x01) return red;
  if (mode & 0x02) return green;
  if (mode & 0x04) return blue;
  return static_cast<unsigned char>(WeightedLuminance(blue, green, red));
}

// Converts every pixel of src into dst, row y into row y. Both views have pixels and the
// same width and height; dst.palette is a writable 256-entry palette when dst is low colour
// (it is filled) and is not read otherwise. mode matters only for greyscale from a colour
// source. progress, when set, is called after each row of the conversions that report it.
// Pixels outside the width (row padding, and the unused fourth byte of high colour) are set
// to 0, except by the whole-buffer copy between images of one format, which copies them.
//
// Rules (target from source):
// - same format: whole buffer copied (and the palette; a missing source palette becomes the
//   grey ramp that the palette accessors answer for it);
// - bi-level from greyscale: grey > 128; from high colour: BiLevelFromColour (progress);
// - greyscale from bi-level: 255 for 1, else 0; from high colour: GreyFromColour (progress
//   for the weighted luminance only);
// - high colour from bi-level: white for 1, else black; from greyscale: grey (progress);
// - low colour from bi-level: index = value, palette black, white, then 0;
// - from low colour: the pixel's palette colour converted as a high-colour pixel would be
//   (progress);
// - low colour from greyscale: index = grey, grey-ramp palette (progress);
// - low colour from high colour: a palette of at most 256 colours chosen from the image
//   and every pixel mapped to its nearest entry (progress).
void ConvertPixels(const PixelView& src, const PixelView& dst, unsigned char mode,
                   const RowProgress& progress);

}  // namespace vorlane::detail
