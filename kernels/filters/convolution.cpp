// Convolution of the foreground: running column sums give each window's foreground count and,
// for kernels of one constant coefficient, its sums; other kernels weigh the window directly.
// Rows are held as planes (one per channel and one of foreground flags) so that the column and
// window sums run over contiguous bytes. Full windows of a constant kernel are divided eight or
// sixteen at a time by a multiply-high that gives the exact quotient of every possible sum.
#include "kernels/filters/convolution.h"

#include <algorithm>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VORLANE_X86 1
#endif

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

// The results of full windows of a constant kernel by a multiply-high: a foreground sum S gives
// min(255, ((S x multiplier) >> 16) >> shift), where an intermediate above 32767 counts as 0 (as
// the saturating pack of signed 16-bit lanes takes it). Found for a table of the exact results
// of every S, and usable only when it gives all of them.
struct FullDivision {
  bool usable = false;
  int multiplier = 0;  // 0 .. 65535
  int shift = 0;       // 0 .. 15
};

FullDivision FindFullDivision(const std::vector<unsigned char>& full, int coefficient,
                              int divisor) {
  const auto exact = [&](uint32_t multiplier, int shift) {
    for (uint32_t sum = 0; sum < full.size(); ++sum) {
      const uint32_t q = ((sum * multiplier) >> 16) >> shift;
      if ((q > 32767 ? 0 : std::min(q, 255u)) != full[sum]) return false;
    }
    return true;
  };
  if (exact(0, 0)) return {true, 0, 0};
  if (coefficient > 0 && divisor > 0) {
    for (int shift = 0; shift < 16; ++shift) {
      const int64_t multiplier = (int64_t{coefficient} << (16 + shift)) / divisor + 1;
      if (multiplier < 65536 && exact(static_cast<uint32_t>(multiplier), shift)) {
        return {true, static_cast<int>(multiplier), shift};
      }
    }
  }
  return {};
}

#ifdef VORLANE_X86

// Eight window sums to their results (FullDivision), as 16-bit lanes.
inline __m128i Quotients(const uint16_t* sums, __m128i multiplier, __m128i shift) {
  const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sums));
  return _mm_srl_epi16(_mm_mulhi_epu16(s, multiplier), shift);
}

// Whether the counts of the eight windows from counts on are all n.
inline bool EightFull(const uint16_t* counts, __m128i n) {
  const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(counts));
  return _mm_movemask_epi8(_mm_cmpeq_epi16(c, n)) == 0xFFFF;
}

// Writes pixels [0, w) of a row whose window sums (w per plane, then the counts) are given,
// eight or sixteen full windows at a time by division; returns the first pixel not written
// and calls other(x) for each skipped pixel before it.
template <int P, class Other>
int FullWindowRow(const uint16_t* window, int w, int n, const FullDivision& division,
                  unsigned char* out, Other&& other) {
  constexpr int C = kChannels<P>, step = P == 1 ? 16 : 8;
  const __m128i multiplier = _mm_set1_epi16(static_cast<short>(division.multiplier));
  const __m128i shift = _mm_cvtsi32_si128(division.shift),
                full = _mm_set1_epi16(static_cast<short>(n));
  const uint16_t* counts = window + static_cast<size_t>(w) * C;
  int x = 0;
  for (; x + step <= w; x += step) {
    if (!EightFull(counts + x, full) || (P == 1 && !EightFull(counts + x + 8, full))) {
      for (int i = x; i < x + step; ++i) other(i);
      continue;
    }
    unsigned char* o = out + P * x;
    if constexpr (P == 1) {
      const __m128i bytes = _mm_packus_epi16(Quotients(window + x, multiplier, shift),
                                             Quotients(window + x + 8, multiplier, shift));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(o), bytes);
    } else {
      const size_t plane = static_cast<size_t>(w);
      const __m128i b = Quotients(window + x, multiplier, shift);
      const __m128i g = Quotients(window + plane + x, multiplier, shift);
      const __m128i r = Quotients(window + 2 * plane + x, multiplier, shift);
      // Blue and green bytes in pairs, red with a zero, then four-byte pixels that take their
      // fourth byte from the image.
      const __m128i blueGreen = _mm_unpacklo_epi8(_mm_packus_epi16(b, b), _mm_packus_epi16(g, g));
      const __m128i red = _mm_unpacklo_epi8(_mm_packus_epi16(r, r), _mm_setzero_si128());
      const __m128i fourth = _mm_set1_epi32(static_cast<int>(0xFF000000u));
      __m128i* pixels = reinterpret_cast<__m128i*>(o);
      const __m128i kept0 = _mm_and_si128(_mm_loadu_si128(pixels), fourth);
      const __m128i kept1 = _mm_and_si128(_mm_loadu_si128(pixels + 1), fourth);
      _mm_storeu_si128(pixels, _mm_or_si128(_mm_unpacklo_epi16(blueGreen, red), kept0));
      _mm_storeu_si128(pixels + 1, _mm_or_si128(_mm_unpackhi_epi16(blueGreen, red), kept1));
    }
  }
  return x;
}

#else

template <int P, class Other>
int FullWindowRow(const uint16_t*, int, int, const FullDivision&, unsigned char*, Other&&) {
  return 0;
}

#endif

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
  const FullDivision division =
      constant ? FindFullDivision(full, coefficient, kernel.divisor) : FullDivision{};
  const int lo = 3 - h;
  const uint16_t* counts = window.data() + static_cast<size_t>(w) * C;

  for (int y = y0; y < y1; ++y) {
    for (int l = 0; l < L; ++l) {
      WindowSums(size, columns.data() + plane * l, window.data() + static_cast<size_t>(w) * l, w);
    }
    unsigned char* const row = view.dst[y] + P * x0;
    const auto pixel = [&](int x) {
      unsigned char* out = row + P * x;
      const int count = counts[x];
      if (count == 0) return;  // no foreground in the window: the pixel is kept
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
    };
    int x = division.usable ? FullWindowRow<P>(window.data(), w, n, division, row, pixel) : 0;
    for (; x < w; ++x) pixel(x);
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
