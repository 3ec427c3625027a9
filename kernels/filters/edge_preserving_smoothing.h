// Smoothing that keeps colour edges: each pixel is compared with the weighted means of eight
// 3 x 3 windows around it.
#pragma once

namespace vorlane::detail {

// Smooths the 4-byte colour picture src (blue, green, red, unused) into dst (same size,
// distinct rows) for x 3 .. width - 5 and y 3 .. height - 5; other pixels keep what dst holds.
// In single precision: the eight windows' means (weighted sums over the nine pixels, rows top to
// bottom and columns left to right, over the window's weight sum) and their squared colour
// distances d_k to the pixel decide: all d_k < 5000 gives the weight-sum-weighted mean of the
// eight means; else the nearest window m with d_m < 5000 gives (c + w_m mean_m) / (w_m + 1);
// else the side window (above, right, below, left) with the smallest d_k plus its squared
// distances to the other three side means gives its mean (the first of equal totals). A channel
// result within 0.001 of a whole number is taken as that number, so that flat areas come out
// whole; results are then truncated to bytes.
void SmoothPreservingEdges(const unsigned char* const* src, unsigned char* const* dst, int width,
                           int height);

}  // namespace vorlane::detail
