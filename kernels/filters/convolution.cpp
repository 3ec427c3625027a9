// Convolution of the foreground: running column sums give each window's foreground count and,
// for kernels of one constant coefficient, its sums; other kernels weigh the window directly.
// Rows are held as planes (one per channel and one of foreground flags) so that the column and
// window sums run over contiguous bytes.
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

// window[x] = columns[x] + ... + columns[x + S - 1] for x below count.
template <int S>
void WindowSums(const uint16_t* columns, uint16_t* window, int count) {
  for (int x = 0; x < count; ++x) {
    unsigned sum = 0;
    for (int i = 0; i < S; ++i) sum += columns[x + i];
    window[x] = static_cast<uint16_t>(sum);
  }
}

void WindowSums(int size, const uint16_t* columns, uint16_t* window, int count) {
  switch (size) {
    case 1:
      return WindowSums<1>(columns, window, count);
    case 3:
      return WindowSums<3>(columns, window, count);
    case 5:
      return WindowSums<5>(columns, window, count);
    default:
      return WindowSums<7>(columns, window, count);
  }
}

}  // namespace

template <int P>
void ConvolveColumns(const FilterView& view, const ConvolutionKernel& kernel, int x0, int x1,
                     int y0, int y1) {
  if (y0 >= y1) return;
  constexpr int C = kChannels<P>, L = C + 1;
  const int size = kernel.size, h = (size - 1) / 2, n = size * size;
  const int w = x1 - x0, span = w + 2 * h, slots = size + 1;
  const size_t plane = static_cast<size_t>(span), rowBytes = plane * L;
  // Masked rows y - h .. y + h (and the row leaving the window) in a ring of size + 1 slots.
  std::vector<unsigned char> ring(rowBytes * static_cast<size_t>(slots));
  auto slot = [&](int row) {
    return ring.data() + rowBytes * static_cast<size_t>((row + h) % slots);
  };
  // Column sums over the window's rows per plane (at most 7 x 255) and window sums (at most
  // 49 x 255): 16 bits hold both.
  std::vector<uint16_t> columns(rowBytes, 0), window(static_cast<size_t>(w) * L);
  for (int r = y0 - h; r <= y0 + h; ++r) {
    unsigned char* row = slot(r);
    MaskRowPlanes<P>(view, r, x0 - h, x1 + h, row);
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
  const uint16_t* counts = window.data() + static_cast<size_t>(w) * C;

  for (int y = y0; y < y1; ++y) {
    for (int l = 0; l < L; ++l) {
      WindowSums(size, columns.data() + plane * l, window.data() + static_cast<size_t>(w) * l, w);
    }
    unsigned char* out = view.dst[y] + P * x0;
    for (int x = 0; x < w; ++x, out += P) {
      const int count = counts[x];
      if (count == 0) continue;  // no foreground in the window: the pixel is kept
      for (int c = 0; c < C; ++c) {
        const unsigned sums = window[static_cast<size_t>(w) * c + x];
        if (constant) {
          out[c] = count == n
                       ? full[sums]
                       : static_cast<unsigned char>(ConvolutionQuotient(
                             static_cast<int64_t>(coefficient) * sums, count, n, kernel.divisor));
          continue;
        }
        int64_t sum = 0;
        for (int j = 0; j < size; ++j) {
          const unsigned char* row = slot(y - h + j) + plane * c + x;
          for (int i = 0; i < size; ++i) {
            sum += static_cast<int64_t>(kernel.coefficients[lo + i][lo + j]) * row[i];
          }
        }
        out[c] = static_cast<unsigned char>(ConvolutionQuotient(sum, count, n, kernel.divisor));
      }
    }
    if (y + 1 == y1) break;
    // Slide the window down: row y + h + 1 enters, row y - h leaves.
    const unsigned char* leaving = slot(y - h);
    unsigned char* entering = slot(y + h + 1);
    MaskRowPlanes<P>(view, y + h + 1, x0 - h, x1 + h, entering);
    for (size_t k = 0; k < rowBytes; ++k) {
      columns[k] = static_cast<uint16_t>(columns[k] + entering[k] - leaving[k]);
    }
  }
}

template void ConvolveColumns<1>(const FilterView&, const ConvolutionKernel&, int, int, int, int);
template void ConvolveColumns<4>(const FilterView&, const ConvolutionKernel&, int, int, int, int);

}  // namespace vorlane::detail
