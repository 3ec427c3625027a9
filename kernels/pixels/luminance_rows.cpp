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

#include <cstdint>
#include <cstring>

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

// The luminance arithmetic is written once for every vector width, on the compiler's
// generic vectors of N bytes. It is always inlined into each width's kernel, which is
// compiled for that width's instruction set, so the operations become that set's
// instructions. (Its result is handed back through a reference: a wide vector passed by
// value between code with and without that instruction set would change the calling
// convention.)
template <int N>
struct Lanes {
  typedef int32_t Ints __attribute__((vector_size(N)));
  typedef float Floats __attribute__((vector_size(N)));
};

// N / 4 pixels at p to N / 4 32-bit results in out: the truncated grey level, or 1 / 0 for
// bi-level. Blue lies in the low byte of each pixel's 32-bit lane.
template <int N, bool kBiLevel>
[[gnu::always_inline]] inline void Results(const unsigned char* p, typename Lanes<N>::Ints& out) {
  using Ints = typename Lanes<N>::Ints;
  using Floats = typename Lanes<N>::Floats;
  Ints px;
  std::memcpy(&px, p, sizeof px);
  const Floats blue = __builtin_convertvector(px & 0xFF, Floats);
  const Floats green = __builtin_convertvector(px & 0xFF00, Floats);
  const Floats red = __builtin_convertvector(px & 0xFF0000, Floats);
  const Floats lum = (kBlueWeight * blue + kGreenWeight * green) + kRedWeight * red;
  if constexpr (kBiLevel) {
    out = (lum > 128.0f) & 1;
  } else {
    out = __builtin_convertvector(lum, Ints);  // truncated toward zero
  }
}

template <bool kBiLevel>
inline __m128i Result4(const unsigned char* p) {
  Lanes<16>::Ints results;
  Results<16, kBiLevel>(p, results);
  return __builtin_bit_cast(__m128i, results);
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

template <bool kBiLevel>
__attribute__((target("avx2"))) inline __m256i Result8(const unsigned char* p) {
  Lanes<32>::Ints results;
  Results<32, kBiLevel>(p, results);
  return __builtin_bit_cast(__m256i, results);
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

template <bool kBiLevel>
VORLANE_AVX512 inline __m512i Result16(const unsigned char* p) {
  Lanes<64>::Ints results;
  Results<64, kBiLevel>(p, results);
  return __builtin_bit_cast(__m512i, results);
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
    // The zero-masking form with every lane selected: the plain one draws a false
    // uninitialised-value warning from some compilers.
    _mm512_storeu_si512(out + x, _mm512_maskz_permutexvar_epi32(0xFFFF, order, bytes));
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
