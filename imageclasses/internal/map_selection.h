// Builds the map views and byte selections of the per-pixel kernels from an image's maps.
// Internal to the classes.
#pragma once

#include "kernels/histogram/selection.h"

class CImageMap;

namespace vorlane::detail {

// The bytes of map, or no map when map is null or not width x height.
MapRows RowsOf(CImageMap* map, int width, int height);

// Pixels whose byte map says is of the type with byte label (CImageMap::ByteIsOfType), or,
// with negate, those it says are not. Without a map no pixel is of any type, so the plain
// form takes none and the negated form every pixel.
ByteSelection OfType(CImageMap* map, const MapRows& rows, unsigned char label, bool negate);

}  // namespace vorlane::detail

class CImage;

namespace vorlane::detail {

// The byte label of "Background" in the image's current map, and that map's bytes; label 0
// and no rows without a current map.
struct CurrentMapBackground {
  MapRows rows;
  unsigned char label = 0;
};
CurrentMapBackground CurrentBackground(const CImage& image);

// Pixels that the current map does not mark as background by a bit test: no bit in common
// with the "Background" label (every pixel without a current map).
ByteSelection NotMarkedBackground(const CImage& image);
// Pixels that are foreground by CImage::IsForeground: the current map does not say they are
// of type "Background" (every pixel without a current map).
ByteSelection ForegroundPixels(const CImage& image);
// The pixels of a histogram selection mode: 0 NotMarkedBackground; 1 every pixel; 2 those
// that the map at mapIndex says are of pixelType; 3 the others. A map index outside the list
// counts as a map that gives no pixel any type. Other modes select no pixel.
ByteSelection HistogramSelection(const CImage& image, unsigned char mode, int mapIndex,
                                 unsigned char pixelType);
// The pixels of an average: mapIndex -1, those that the current map marks with its
// "Background" label; otherwise those whose byte in the map at mapIndex has a bit in common
// with label. No pixel when that map does not exist.
ByteSelection LabelledPixels(const CImage& image, int mapIndex, unsigned char label);

}  // namespace vorlane::detail
