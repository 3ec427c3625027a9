// Convolution of the foreground: running column sums give each window's foreground count and,
// for kernels of one constant coefficient, its sums; other kernels weigh the window directly.
#include "kernels/filters/convolution.h"

#include <vector>

namespace vorlane::detail {

int ConvolutionQuotient(int64_t sum, int count, int n, int divisor) {
  // |sum| < 49 * 255 * 2^31 and n <= 49: the product stays far inside 64 bits.
  const int64_t q = (sum * n) / (static_cast<int64_t>(count) * divisor);
  return q < 0 ? 0 : (q > 255 ? 255 : static_cast<int>(q));
}

namespace {

// The coefficient shared by every cell of the centred block, or false when they differ.
bool ConstantCoefficient(const ConvolutionKernel& kernel, int& coefficient) {
  const int lo = 3 - (kernel.size - 1) / 2, hi = lo + kernel.size;
  coefficient = kernel.coefficients[lo][lo];
  for (int i = lo; i < hi; ++i) {
    for (int j = lo; j < hi; ++j) {
      if (kernel.coefficients[i][j] != coefficient) return false;
    }
  }
  return true;
}

}  // namespace

template <int P>
void ConvolveColumns(const FilterView& view, const ConvolutionKernel& kernel, int x0, int x1) {
  constexpr int L = kMaskLanes<P>;
  const int size = kernel.size, h = (size - 1) / 2, n = size * size;
  const int w = x1 - x0, span = w + 2 * h, slots = size + 1;
  const size_t rowBytes = static_cast<size_t>(span) * L;
  // Masked rows y - h .. y + h (and the row leaving the window) in a ring of size + 1 slots.
  std::vector<unsigned char> ring(rowBytes * static_cast<size_t>(slots));
  auto slot = [&](int row) {
    return ring.data() + rowBytes * static_cast<size_t>((row + h) % slots);
  };
  // Column sums over the window's rows per lane: at most 7 x 255, in 16 bits.
  std::vector<uint16_t> columns(rowBytes, 0), window(static_cast<size_t>(w) * L);
  for (int r = -h; r <= h; ++r) {
    unsigned char* row = slot(r);
    MaskRow<P>(view, r, x0 - h, x1 + h, 0, row);
    for (size_t k = 0; k < rowBytes; ++k) columns[k] = static_cast<uint16_t>(columns[k] + row[k]);
  }

  int coefficient = 0;
  const bool constant = ConstantCoefficient(kernel, coefficient);
  // Full windows of a constant kernel: the result of every foreground sum S (0 .. 255 n).
  std::vector<unsigned char> full;
  if (constant) {
    full.resize(static_cast<size_t>(255 * n + 1));
    for (int s = 0; s <= 255 * n; ++s) {
      full[static_cast<size_t>(s)] = static_cast<unsigned char>(
          ConvolutionQuotient(static_cast<int64_t>(coefficient) * s, n, n, kernel.divisor));
    }
  }
  const int lo = 3 - h;

  for (int y = 0; y < view.height; ++y) {
    // Window sums per lane: the column sums of size neighbouring columns (at most 49 x 255).
    for (int x = 0; x < w; ++x) {
      for (int l = 0; l < L; ++l) {
        unsigned sum = 0;
        for (int i = 0; i < size; ++i) sum += columns[static_cast<size_t>((x + i) * L + l)];
        window[static_cast<size_t>(x * L + l)] = static_cast<uint16_t>(sum);
      }
    }
    unsigned char* out = view.dst[y] + P * x0;
    for (int x = 0; x < w; ++x, out += P) {
      const uint16_t* sums = &window[static_cast<size_t>(x * L)];
      const int count = sums[L - 1];
      if (count == 0) continue;
      for (int c = 0; c < L - 1; ++c) {
        if (constant) {
          out[c] =
              count == n
                  ? full[sums[c]]
                  : static_cast<unsigned char>(ConvolutionQuotient(
                        static_cast<int64_t>(coefficient) * sums[c], count, n, kernel.divisor));
          continue;
        }
        int64_t sum = 0;
        for (int j = 0; j < size; ++j) {
          const unsigned char* row = slot(y - h + j) + static_cast<size_t>(x * L + c);
          for (int i = 0; i < size; ++i) {
            sum += static_cast<int64_t>(kernel.coefficients[lo + i][lo + j]) * row[i * L];
          }
        }
        out[c] = static_cast<unsigned char>(ConvolutionQuotient(sum, count, n, kernel.divisor));
      }
    }
    if (y + 1 == view.height) break;
    // Slide the window down: row y + h + 1 enters, row y - h leaves.
    const unsigned char* leaving = slot(y - h);
    unsigned char* entering = slot(y + h + 1);
    MaskRow<P>(view, y + h + 1, x0 - h, x1 + h, 0, entering);
    for (size_t k = 0; k < rowBytes; ++k) {
      columns[k] = static_cast<uint16_t>(columns[k] + entering[k] - leaving[k]);
    }
  }
}

template void ConvolveColumns<1>(const FilterView&, const ConvolutionKernel&, int, int);
template void ConvolveColumns<4>(const FilterView&, const ConvolutionKernel&, int, int);

}  // namespace vorlane::detail
