// One pass of binary dilation or erosion of a label in a map, over a square element.
#pragma once

#include <functional>

#include "kernels/geometry/plane.h"

namespace vorlane::detail {

struct MorphologyParams {
  bool dilate = false;     // dilation, else erosion
  int radius = 1;          // element of (2 radius + 1)^2 pixels, radius >= 1
  bool bitLabels = false;  // bit labels (byte & label == label), else byte labels (==)
  unsigned char label = 0;
  unsigned char option = 0;
  // Byte-label erosion: the byte written when option is 1 comes from these rows (the map's
  // backup, same size), else foreground is written. Null rows mean foreground.
  unsigned char* const* restoreRows = nullptr;
  unsigned char foreground = 0;
};

// Reads every test from before (the map's bytes before the call) and writes changes into
// map (same size). Only pixels at least radius away from every border are visited, row by
// row; the square test stops at the first pixel that decides.
// - Dilation: a pixel that does not carry label, with one in its square that does, gets
//   label (added with OR for bit labels, stored for byte labels).
// - Erosion: a pixel that carries label, with one in its square that does not, loses it:
//   bit labels drop all of label when the pixel has no other bit, else label & ~option;
//   byte labels take the restore byte (option 1) or foreground.
// After each row cancelled() is asked; true stops the pass and returns false (map is then
// part-written: the caller restores it from before).
bool ApplyMorphology(const Plane& map, const unsigned char* const* before,
                     const MorphologyParams& params, const std::function<bool()>& cancelled);

}  // namespace vorlane::detail
