// Linear convolution of the foreground with a kernel of up to 7 x 7 whose divisor is scaled to
// the foreground part of each window.
#pragma once

#include <cstdint>

#include "kernels/filters/filter_rows.h"

namespace vorlane::detail {

// A convolution kernel: coefficients[i][j] weighs column offset i - 3 and row offset j - 3;
// only the centred size x size block is used.
struct ConvolutionKernel {
  const int (*coefficients)[7];
  int size;     // odd, 1 to 7
  int divisor;  // not 0
};

// One channel's result for a window whose count foreground pixels (1 to n) give the weighted
// sum: sum divided by the divisor scaled to the counted share of the window,
// sum / ((count * divisor) / n), taken exactly as the integer quotient
// (sum * n) / (count * divisor) truncated toward zero, then limited to 0..255.
int ConvolutionQuotient(int64_t sum, int count, int n, int divisor);

// Convolves columns x0 to x1 - 1 of rows y0 to y1 - 1 of the view's copy into its image rows
// (windows reach the rows around them), pixel size P (1 grey,
// 4 blue-green-red-unused; the fourth byte is not written). Each channel becomes
// ConvolutionQuotient of the kernel-weighted sum over the window's foreground pixels inside the
// picture. A pixel whose window holds no foreground keeps its value. The image rows y0 to y1 - 1
// may be the copy's own rows: each is read before it is written.
template <int P>
void ConvolveColumns(const FilterView& view, const ConvolutionKernel& kernel, int x0, int x1,
                     int y0, int y1);

extern template void ConvolveColumns<1>(const FilterView&, const ConvolutionKernel&, int, int, int,
                                        int);
extern template void ConvolveColumns<4>(const FilterView&, const ConvolutionKernel&, int, int, int,
                                        int);

}  // namespace vorlane::detail
