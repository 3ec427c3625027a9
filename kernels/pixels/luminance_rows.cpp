// Row kernels of the weighted luminance: SSE2 on every x86-64 processor, AVX2 or AVX-512
// where the processor has them (chosen once at run time), plain code elsewhere and for row
// tails.
//
// The vector code computes each pixel exactly as the scalar rule does: the channel values
// are converted to single precision (exact), each multiplied by its single-precision weight
// (one rounding), blue and green products added, then the red product (one rounding each),
// and the sum truncated (cvttps) or compared with 128.0. No fused multiply-add is used, so
// every lane rounds as the scalar code.
//
// Green and red are not shifted down: green is taken as 256 x green and red as 65536 x red
// (their bytes masked in place) and multiplied by their weights divided by 256 and 65536.
// Scaling by a power of two is exact, so each product is the real product of the byte and
// the weight, rounded once, as in the scalar rule.
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

// The weights of blue, 256 x green and 65536 x red.
constexpr float kBlueWeight = 0.11f;
constexpr float kGreenWeight = 0.59f / 256.0f;
constexpr float kRedWeight = 0.3f / 65536.0f;
static_assert(kGreenWeight * 256.0f == 0.59f && kRedWeight * 65536.0f == 0.3f);

// Luminance of the four pixels of px (blue in the low byte of each 32-bit lane).
inline __m128 Luminance4(__m128i px) {
  const __m128 blue = _mm_cvtepi32_ps(_mm_and_si128(px, _mm_set1_epi32(0xFF)));
  const __m128 green = _mm_cvtepi32_ps(_mm_and_si128(px, _mm_set1_epi32(0xFF00)));
  const __m128 red = _mm_cvtepi32_ps(_mm_and_si128(px, _mm_set1_epi32(0xFF0000)));
  const __m128 blueGreen = _mm_add_ps(_mm_mul_ps(_mm_set1_ps(kBlueWeight), blue),
                                      _mm_mul_ps(_mm_set1_ps(kGreenWeight), green));
  return _mm_add_ps(blueGreen, _mm_mul_ps(_mm_set1_ps(kRedWeight), red));
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
  const __m256 blue = _mm256_cvtepi32_ps(_mm256_and_si256(px, _mm256_set1_epi32(0xFF)));
  const __m256 green = _mm256_cvtepi32_ps(_mm256_and_si256(px, _mm256_set1_epi32(0xFF00)));
  const __m256 red = _mm256_cvtepi32_ps(_mm256_and_si256(px, _mm256_set1_epi32(0xFF0000)));
  const __m256 blueGreen = _mm256_add_ps(_mm256_mul_ps(_mm256_set1_ps(kBlueWeight), blue),
                                         _mm256_mul_ps(_mm256_set1_ps(kGreenWeight), green));
  const __m256 lum = _mm256_add_ps(blueGreen, _mm256_mul_ps(_mm256_set1_ps(kRedWeight), red));
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

#define VORLANE_AVX512 __attribute__((target("avx512f,avx512bw")))

// The intrinsics below are the zero-masking forms with every lane selected: the plain forms
// draw a false uninitialised-value warning from some compilers.
constexpr __mmask16 kAllLanes = 0xFFFF;

// The 32-bit lanes of v as single-precision values.
VORLANE_AVX512 inline __m512 ToFloat16(__m512i v) { return _mm512_maskz_cvtepi32_ps(kAllLanes, v); }

// Sixteen pixels to sixteen 32-bit results, as Result4.
template <bool kBiLevel>
VORLANE_AVX512 inline __m512i Result16(const unsigned char* p) {
  const __m512i px = _mm512_loadu_si512(p);
  const __m512 blue = ToFloat16(_mm512_and_si512(px, _mm512_set1_epi32(0xFF)));
  const __m512 green = ToFloat16(_mm512_and_si512(px, _mm512_set1_epi32(0xFF00)));
  const __m512 red = ToFloat16(_mm512_and_si512(px, _mm512_set1_epi32(0xFF0000)));
  const __m512 blueGreen = _mm512_add_ps(_mm512_mul_ps(_mm512_set1_ps(kBlueWeight), blue),
                                         _mm512_mul_ps(_mm512_set1_ps(kGreenWeight), green));
  const __m512 lum = _mm512_add_ps(blueGreen, _mm512_mul_ps(_mm512_set1_ps(kRedWeight), red));
  if (kBiLevel) {
    return _mm512_maskz_set1_epi32(_mm512_cmp_ps_mask(lum, _mm512_set1_ps(128.0f), _CMP_GT_OQ), 1);
  }
  return _mm512_maskz_cvttps_epi32(kAllLanes, lum);
}

// AVX-512: sixty-four pixels per step, packed as in RowAvx2 within 128-bit lanes and put
// back in order.
template <bool kBiLevel>
VORLANE_AVX512 void RowAvx512(const unsigned char* bgrx, int count, unsigned char* out) {
  int x = 0;
  const __m512i order = _mm512_setr_epi32(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
  for (; x + 64 <= count; x += 64) {
    const unsigned char* p = bgrx + 4 * x;
    const __m512i a = Result16<kBiLevel>(p), b = Result16<kBiLevel>(p + 64);
    const __m512i c = Result16<kBiLevel>(p + 128), d = Result16<kBiLevel>(p + 192);
    const __m512i bytes = _mm512_packus_epi16(_mm512_packs_epi32(a, b), _mm512_packs_epi32(c, d));
    _mm512_storeu_si512(out + x, _mm512_maskz_permutexvar_epi32(kAllLanes, order, bytes));
  }
  RowAvx2<kBiLevel>(bgrx + 4 * x, count - x, out + x);
}

using RowKernel = void (*)(const unsigned char*, int, unsigned char*);

// The implementations the processor runs, widest first.
std::vector<LuminanceKernel> Kernels() {
  __builtin_cpu_init();
  std::vector<LuminanceKernel> kernels;
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")) {
    kernels.push_back({"avx512", RowAvx512<false>, RowAvx512<true>});
  }
  if (__builtin_cpu_supports("avx2")) kernels.push_back({"avx2", RowAvx2<false>, RowAvx2<true>});
  kernels.push_back({"sse2", RowSse2<false>, RowSse2<true>});
  return kernels;
}

template <bool kBiLevel>
void Row(const unsigned char* bgrx, int count, unsigned char* out) {
  static const RowKernel kernel = kBiLevel ? Kernels().front().biLevel : Kernels().front().grey;
  kernel(bgrx, count, out);
}

#else

std::vector<LuminanceKernel> Kernels() { return {}; }

template <bool kBiLevel>
void Row(const unsigned char* bgrx, int count, unsigned char* out) {
  ScalarTail<kBiLevel>(bgrx, 0, count, out);
}

#endif

void PlainGrey(const unsigned char* bgrx, int count, unsigned char* grey) {
  ScalarTail<false>(bgrx, 0, count, grey);
}
void PlainBiLevel(const unsigned char* bgrx, int count, unsigned char* bits) {
  ScalarTail<true>(bgrx, 0, count, bits);
}

}  // namespace

void LuminanceRowToGrey(const unsigned char* bgrx, int count, unsigned char* grey) {
  Row<false>(bgrx, count, grey);
}

void LuminanceRowToBiLevel(const unsigned char* bgrx, int count, unsigned char* bits) {
  Row<true>(bgrx, count, bits);
}

std::vector<LuminanceKernel> LuminanceKernelsOnThisProcessor() {
  std::vector<LuminanceKernel> kernels = Kernels();
  kernels.push_back({"plain", PlainGrey, PlainBiLevel});
  return kernels;
}

}  // namespace vorlane::detail
