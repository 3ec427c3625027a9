// The ink of a page for the skew estimate: the page reduced to a working resolution and split
// into ink and paper, grey pages by a threshold that follows the paper's own brightness.
#pragma once

#include <vector>

#include "platform/types.h"

namespace vorlane::detail {

// width x height bytes, top row first, rows contiguous.
struct BytePlane {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> bytes;
  std::vector<unsigned char*> rows;

  // Sizes the plane (width, height >= 0) and points rows at its bytes; the bytes are
  // undefined.
  void Allocate(int w, int h);
};

// Pages whose shorter side has at least this many pixels (an A4 page at 240 dpi or more) are
// searched at half resolution: the shift of a strip across such a page still resolves the
// target precision, at a quarter of the work.
inline constexpr int kSkewHalfResolutionFrom = 2000;

// The working reduction of a width x height area: 2 from kSkewHalfResolutionFrom on, else 1.
int SkewWorkingReduction(int width, int height);

// The darkest value of every factor x factor block of rect (inside the image, with area) of
// the 1-byte rows src, into out (ceil(width / factor) x ceil(height / factor); the last blocks
// of a row or column may be cut). factor 1 copies; 1 or 2. Bi-level rows (0 ink, 1 paper)
// stay bi-level: a block is ink when any of its pixels is. Rows run in bands on the cores.
void ReduceDarkest(const unsigned char* const* src, const RECT& rect, int factor, BytePlane& out);

// Side of the square blocks whose paper level the grey threshold follows (pixels of the
// working resolution, about 5 mm at 150 dpi: larger than the letters of body text).
inline constexpr int kPaperBlock = 32;
// Ink is darker than the paper level b by more than b / 4 and by at least this much.
inline constexpr int kLeastInkContrast = 20;

// Turns the grey plane (not empty) into bi-level bytes in place: 0 for ink, 1 for paper. The
// paper level of each kPaperBlock block is the value that a quarter of its pixels reach or
// exceed (dark text covers less of a block than that); between the block centres it is
// interpolated bilinearly (held constant beyond the outer centres). A pixel of value v at
// paper level b is ink when v < min(0.75 b, b - kLeastInkContrast). So uneven light and
// shadows move the threshold with the paper, and a dark scanner border, whose own blocks are
// dark, is not ink except along its edge. Rows run in bands on the cores.
void MarkGreyInk(BytePlane& plane);

}  // namespace vorlane::detail
