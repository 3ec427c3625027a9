// Row kernels of the weighted luminance: SSE2 on every x86-64 processor, AVX2 where the
// processor has it (chosen once at run time), plain code elsewhere and for row tails.
//
// The vector code computes each pixel exactly as the scalar rule does: the channel bytes
// are converted to single precision (exact), each multiplied by its single-precision weight
// (one rounding), blue and green products added, then the red product (one rounding each),
// and the sum truncated (cvttps) or compared with 128.0. No fused multiply-add is used, so
// every lane rounds as the scalar code.
#include "kernels/pixels/luminance_rows.h"

#include "kernels/pixels/convert.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VORLANE_X86 1
#endif

namespace vorlane::detail {
namespace {

// Scalar rule over pixels [from, count).
template <bool kBiLevel>
void ScalarTail(const unsigned char* bgrx, int from, int count, unsigned char* out) {
  for (int x = from; x < count; ++x) {
    const unsigned char* p = bgrx + 4 * x;
    out[x] = kBiLevel ? BiLevelFromColour(p[0], p[1], p[2]) : GreyFromColour(p[0], p[1], p[2], 0);
  }
}

#ifdef VORLANE_X86

// Luminance of the four pixels of px (blue in the low byte of each 32-bit lane).
inline __m128 Luminance4(__m128i px) {
  const __m128i low = _mm_set1_epi32(0xFF);
  const __m128 blue = _mm_cvtepi32_ps(_mm_and_si128(px, low));
  const __m128 green = _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(px, 8), low));
  const __m128 red = _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(px, 16), low));
  const __m128 blueGreen =
      _mm_add_ps(_mm_mul_ps(_mm_set1_ps(0.11f), blue), _mm_mul_ps(_mm_set1_ps(0.59f), green));
  return _mm_add_ps(blueGreen, _mm_mul_ps(_mm_set1_ps(0.3f), red));
}

// Four pixels to four 32-bit results: the truncated grey level, or 1 / 0 for bi-level.
template <bool kBiLevel>
inline __m128i Result4(const unsigned char* p) {
  const __m128 lum = Luminance4(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
  if (kBiLevel) {
    return _mm_and_si128(_mm_castps_si128(_mm_cmpgt_ps(lum, _mm_set1_ps(128.0f))),
                         _mm_set1_epi32(1));
  }
  return _mm_cvttps_epi32(lum);
}

// SSE2: sixteen pixels per step.
template <bool kBiLevel>
void RowSse2(const unsigned char* bgrx, int count, unsigned char* out) {
  int x = 0;
  for (; x + 16 <= count; x += 16) {
    const unsigned char* p = bgrx + 4 * x;
    const __m128i a = Result4<kBiLevel>(p), b = Result4<kBiLevel>(p + 16);
    const __m128i c = Result4<kBiLevel>(p + 32), d = Result4<kBiLevel>(p + 48);
    // Values lie in 0..255: both packs keep them.
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), bytes);
  }
  ScalarTail<kBiLevel>(bgrx, x, count, out);
}

// Eight pixels to eight 32-bit results, as Result4.
template <bool kBiLevel>
__attribute__((target("avx2"))) inline __m256i Result8(const unsigned char* p) {
  const __m256i px = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i low = _mm256_set1_epi32(0xFF);
  const __m256 blue = _mm256_cvtepi32_ps(_mm256_and_si256(px, low));
  const __m256 green = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(px, 8), low));
  const __m256 red = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(px, 16), low));
  const __m256 blueGreen = _mm256_add_ps(_mm256_mul_ps(_mm256_set1_ps(0.11f), blue),
                                         _mm256_mul_ps(_mm256_set1_ps(0.59f), green));
  const __m256 lum = _mm256_add_ps(blueGreen, _mm256_mul_ps(_mm256_set1_ps(0.3f), red));
  if (kBiLevel) {
    return _mm256_and_si256(
        _mm256_castps_si256(_mm256_cmp_ps(lum, _mm256_set1_ps(128.0f), _CMP_GT_OQ)),
        _mm256_set1_epi32(1));
  }
  return _mm256_cvttps_epi32(lum);
}

// AVX2: thirty-two pixels per step. The packs work within 128-bit lanes, so the 32-bit
// groups of four bytes come out as a0 b0 c0 d0 | a1 b1 c1 d1 and are put back in order.
template <bool kBiLevel>
__attribute__((target("avx2"))) void RowAvx2(const unsigned char* bgrx, int count,
                                             unsigned char* out) {
  int x = 0;
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  for (; x + 32 <= count; x += 32) {
    const unsigned char* p = bgrx + 4 * x;
    const __m256i a = Result8<kBiLevel>(p), b = Result8<kBiLevel>(p + 32);
    const __m256i c = Result8<kBiLevel>(p + 64), d = Result8<kBiLevel>(p + 96);
    const __m256i bytes = _mm256_packus_epi16(_mm256_packs_epi32(a, b), _mm256_packs_epi32(c, d));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x),
                        _mm256_permutevar8x32_epi32(bytes, order));
  }
  RowSse2<kBiLevel>(bgrx + 4 * x, count - x, out + x);
}

using RowKernel = void (*)(const unsigned char*, int, unsigned char*);

// The widest kernel the processor runs.
template <bool kBiLevel>
RowKernel ChooseKernel() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") ? RowAvx2<kBiLevel> : RowSse2<kBiLevel>;
}

template <bool kBiLevel>
void Row(const unsigned char* bgrx, int count, unsigned char* out) {
  static const RowKernel kernel = ChooseKernel<kBiLevel>();
  kernel(bgrx, count, out);
}

#else

template <bool kBiLevel>
void Row(const unsigned char* bgrx, int count, unsigned char* out) {
  ScalarTail<kBiLevel>(bgrx, 0, count, out);
}

#endif

}  // namespace

void LuminanceRowToGrey(const unsigned char* bgrx, int count, unsigned char* grey) {
  Row<false>(bgrx, count, grey);
}

void LuminanceRowToBiLevel(const unsigned char* bgrx, int count, unsigned char* bits) {
  Row<true>(bgrx, count, bits);
}

}  // namespace vorlane::detail
