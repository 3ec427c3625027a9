// The local (Niblack) threshold of grey rows with constant work per pixel.
#pragma once

#include "kernels/threshold/binary_output.h"
#include "platform/types.h"

namespace vorlane::detail {

// The threshold T of pixel windows by the plain two-pass formula, in double precision: over
// the window rows y0..y1 and columns x0..x1 (inclusive, at least two pixels) of src, with N
// pixels of mean m = sum / N, deviations d = value - m,
//   s = sqrt((sum d^2 - (sum d)^2 / N) / (N - 1)),  T = m + 1 + 0.5 * (1 - s / 128).
double NiblackPlainThreshold(const unsigned char* const* src, int x0, int y0, int x1, int y1);

// Binarises rect (inside the image, possibly empty) of the 1-byte rows src. The window of
// pixel (x, y) is rows y - w..y + w and columns x - w..x + w cut to rect (w = halfWindow;
// negative counts as 0). A pixel of value v is background when the window's largest and
// smallest values differ by less than 30, or v > 200, or v > trunc(T) of
// NiblackPlainThreshold over the window; otherwise foreground. Background pixels get the
// label in out.map (replacing the byte) and out.background in out.picture; foreground
// pixels get out.foreground in out.picture.
//
// Work per pixel does not depend on the window: window minima and maxima come from van
// Herk/Gil-Werman running extrema (vertical, then horizontal), sums and sums of squares from
// running column sums (32-bit while a column of squares fits, else 64-bit) and row prefix
// sums over the span still undecided after the bright and flat pixels. T is evaluated from
// the exact integer sums; where it lies within 1e-6 of v, which is where the rounding of the
// two-pass formula could decide, that pixel is recomputed with NiblackPlainThreshold.
// out.picture may share rows with src: the source is then copied first, so no pixel already
// written is read.
void NiblackThreshold(const unsigned char* const* src, const RECT& rect, int halfWindow,
                      const BinaryOutput& out);

}  // namespace vorlane::detail
