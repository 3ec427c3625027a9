// Palette choice for colour images (median cut over the image's distinct colours) and the
// mapping of every pixel to its nearest palette entry.
#pragma once

#include "kernels/pixels/convert.h"
#include "kernels/pixels/pixel_view.h"

namespace vorlane::detail {

// Chooses a palette for the colours of src (high colour, with pixels) and writes into dst
// (one byte per pixel, same size) the index of each pixel's nearest palette entry.
//
// Palette: with at most 256 distinct colours, exactly those colours in ascending order of
// their colour references. Otherwise a weighted median cut over the distinct colours: the
// box with the largest squared error (pixel-weighted) is split on its channel of largest
// squared error at the pixel-weighted median, until there are 256 boxes; each entry is the
// rounded pixel-weighted mean of a box, entries in ascending order. Entries past the chosen
// ones are 0 (black). All 256 entries are written.
//
// Nearest entry: the smallest sum of absolute channel differences; among equals the lowest
// index; 0 when no entry comes below 765 (the rule of the low-colour colour interface, so
// that writing a pixel's colour back through it keeps the pixel's index).
//
// Row padding of dst is set to 0; progress is called after each row of the mapping pass.
// Works in memory of 4 MiB plus 9 bytes per distinct colour.
void QuantizeToPalette(const PixelView& src, const PixelView& dst, DWORD* palette,
                       const RowProgress& progress);

}  // namespace vorlane::detail
