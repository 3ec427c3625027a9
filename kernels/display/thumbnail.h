// The thumbnail of a picture: a small framed square with the whole picture stretched into it.
#pragma once

#include "kernels/display/stretch.h"

namespace vorlane::detail {

inline constexpr int kThumbnailSide = 100;

// Fills thumbnail (kThumbnailSide pixels square) with pure blue inside a black outline.
void DrawThumbnailFrame(PixelArray thumbnail);

// Where a width x height picture is stretched to in the thumbnail: centred, at the scale that
// fits the width when the whole-number ratio width / height is at least 1, else the height.
// Empty (width 0) for a picture without pixels on a side.
struct ThumbnailPlace {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};
ThumbnailPlace PlaceInThumbnail(int width, int height);

}  // namespace vorlane::detail
