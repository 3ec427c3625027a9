// Views of the pixel rows of the four image formats, as the kernels take them.
#pragma once

#include "platform/types.h"

namespace vorlane::detail {

// The storage formats, in the order in which a source image's class is tested.
enum class PixelFormat : unsigned char { kNone, kBiLevel, kLoColour, kGreyScale, kHiColour };

// Bytes per stored pixel: 4 for high colour, 1 for the other formats.
inline int BytesPerPixel(PixelFormat format) { return format == PixelFormat::kHiColour ? 4 : 1; }

// The pixels of an image: rows[y] is row y counted from the top and holds width pixels of
// BytesPerPixel(format) bytes (blue, green, red, unused for high colour); buffer is the
// whole buffer of bytesPerLine x height bytes, bottom row first. rows is null when the image
// has no pixels. palette holds 256 colour references for low colour, or is null (no palette).
struct PixelView {
  PixelFormat format = PixelFormat::kNone;
  int width = 0;
  int height = 0;
  int bytesPerLine = 0;
  unsigned char* buffer = nullptr;
  unsigned char* const* rows = nullptr;
  DWORD* palette = nullptr;

  bool HasPixels() const { return rows != nullptr; }
};

}  // namespace vorlane::detail
