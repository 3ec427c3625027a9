// Row kernel of the sRGB to Lab conversion: SSE2 on every x86-64 processor, AVX2 or AVX-512
// where the processor has them (chosen once at run time), the scalar conversion elsewhere and
// for row tails; and the rows of an image converted ahead on a second thread.
//
// The vector code computes every lane as TT_sRGB2sLab does for whole channel values: the
// table's linear light, the three products of each of X, Y, Z summed in channel order, the
// companding function with both branches computed and the one the scalar comparison takes
// selected, the cube root's first guess from the float's bits divided by 3 (exact unsigned
// division) and its two Halley steps in the scalar order of operations. No fused
// multiply-add is used, so every lane rounds as the scalar code. The cube root lanes of
// inputs at or below the threshold, whose results are discarded, start from the threshold
// instead so that they stay clear of subnormals.
#include "kernels/colour/lab_rows.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <system_error>

#include "colourfunctions/colourfunctions.h"
#include "colourfunctions/srgb_table.h"
#include "kernels/parallel/row_bands.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VORLANE_X86 1
#endif

namespace vorlane::detail {
namespace {

// Scalar conversion of pixels [from, count).
void ScalarTail(const unsigned char* bgrx, int from, int count, float* L, float* a, float* b) {
  for (int x = from; x < count; ++x) {
    const unsigned char* p = bgrx + 4 * x;
    TT_sRGB2sLab(static_cast<float>(p[2]), static_cast<float>(p[1]), static_cast<float>(p[0]),
                 &L[x], &a[x], &b[x], kLabScale);
  }
}

#ifdef VORLANE_X86

// The Lab arithmetic is written once for every vector width, on the compiler's generic
// vectors of N bytes. It is always inlined into each width's kernel, which is compiled for
// that width's instruction set, so the operations become that set's instructions. (Values
// are handed over through references: a wide vector passed by value between code with and
// without that instruction set would change the calling convention.)
template <int N>
struct Lanes {
  typedef uint32_t Uints __attribute__((vector_size(N)));
  typedef int32_t Ints __attribute__((vector_size(N)));
  typedef float Floats __attribute__((vector_size(N)));
};

// One Halley step of the cube root y of x (twoX = 2x), in place.
template <int N>
[[gnu::always_inline]] inline void Halley(typename Lanes<N>::Floats& y,
                                          const typename Lanes<N>::Floats& x,
                                          const typename Lanes<N>::Floats& twoX) {
  const typename Lanes<N>::Floats y3 = (y * y) * y;
  y = (y * (y3 + twoX)) / (2.0f * y3 + x);
}

// The companding function of t into f: both branches computed, the one the scalar
// comparison takes selected.
template <int N>
[[gnu::always_inline]] inline void LabF(const typename Lanes<N>::Floats& t,
                                        typename Lanes<N>::Floats& f) {
  using Floats = typename Lanes<N>::Floats;
  using Uints = typename Lanes<N>::Uints;
  const Floats epsilon = Floats{} + kLabEpsilon;
  const Floats x = t > epsilon ? t : epsilon;
  // Unsigned division by a constant: the compiler multiplies and shifts, exact.
  const Uints bits = __builtin_bit_cast(Uints, x) / 3u + kCubeRootBias;
  const Floats twoX = 2.0f * x;
  Floats root = __builtin_bit_cast(Floats, bits);
  Halley<N>(root, x, twoX);
  Halley<N>(root, x, twoX);
  const Floats line = kLabSlope * t + kLabOffset;
  f = t > epsilon ? root : line;
}

// White-relative tristimulus value of one row m of the matrix.
template <int N>
[[gnu::always_inline]] inline void Tristimulus(const float* m, const typename Lanes<N>::Floats& r,
                                               const typename Lanes<N>::Floats& g,
                                               const typename Lanes<N>::Floats& b,
                                               typename Lanes<N>::Floats& out) {
  out = (m[0] * r + m[1] * g) + m[2] * b;
}

// Lab of the linear channels of N / 4 pixels, stored to L, a and bStar.
template <int N>
[[gnu::always_inline]] inline void LabLanes(const typename Lanes<N>::Floats& r,
                                            const typename Lanes<N>::Floats& g,
                                            const typename Lanes<N>::Floats& b, float* L, float* a,
                                            float* bStar) {
  using Floats = typename Lanes<N>::Floats;
  Floats x, y, z, fx, fy, fz;
  Tristimulus<N>(kLinearToX, r, g, b, x);
  Tristimulus<N>(kLinearToY, r, g, b, y);
  Tristimulus<N>(kLinearToZ, r, g, b, z);
  LabF<N>(x, fx);
  LabF<N>(y, fy);
  LabF<N>(z, fz);
  const Floats outL = 116.0f * fy - 16.0f;
  const Floats outA = 500.0f * (fx - fy);
  const Floats outB = 200.0f * (fy - fz);
  std::memcpy(L, &outL, sizeof outL);
  std::memcpy(a, &outA, sizeof outA);
  std::memcpy(bStar, &outB, sizeof outB);
}

// SSE2: four pixels per step, the table read per channel.
void RowSse2(const unsigned char* bgrx, int count, float* L, float* a, float* b) {
  const float* t = kSrgbToLinear;
  int x = 0;
  for (; x + 4 <= count; x += 4) {
    const unsigned char* p = bgrx + 4 * x;
    const Lanes<16>::Floats r = {t[p[2]], t[p[6]], t[p[10]], t[p[14]]};
    const Lanes<16>::Floats g = {t[p[1]], t[p[5]], t[p[9]], t[p[13]]};
    const Lanes<16>::Floats bl = {t[p[0]], t[p[4]], t[p[8]], t[p[12]]};
    LabLanes<16>(r, g, bl, L + x, a + x, b + x);
  }
  ScalarTail(bgrx, x, count, L, a, b);
}

// AVX2: eight pixels per step, the table gathered.
__attribute__((target("avx2"))) void RowAvx2(const unsigned char* bgrx, int count, float* L,
                                             float* a, float* b) {
  using Floats = Lanes<32>::Floats;
  const __m256i low = _mm256_set1_epi32(0xFF);
  int x = 0;
  for (; x + 8 <= count; x += 8) {
    const __m256i px = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bgrx + 4 * x));
    const Floats lb = __builtin_bit_cast(
        Floats, _mm256_i32gather_ps(kSrgbToLinear, _mm256_and_si256(px, low), 4));
    const Floats lg = __builtin_bit_cast(
        Floats,
        _mm256_i32gather_ps(kSrgbToLinear, _mm256_and_si256(_mm256_srli_epi32(px, 8), low), 4));
    const Floats lr = __builtin_bit_cast(
        Floats,
        _mm256_i32gather_ps(kSrgbToLinear, _mm256_and_si256(_mm256_srli_epi32(px, 16), low), 4));
    LabLanes<32>(lr, lg, lb, L + x, a + x, b + x);
  }
  RowSse2(bgrx + 4 * x, count - x, L + x, a + x, b + x);
}

#define VORLANE_AVX512 __attribute__((target("avx512f")))

// AVX-512: sixteen pixels per step, the table gathered.
VORLANE_AVX512 void RowAvx512(const unsigned char* bgrx, int count, float* L, float* a, float* b) {
  using Floats = Lanes<64>::Floats;
  using Uints = Lanes<64>::Uints;
  int x = 0;
  for (; x + 16 <= count; x += 16) {
    Uints px;
    std::memcpy(&px, bgrx + 4 * x, sizeof px);
    // The masked gathers with every lane selected: the plain ones draw a false
    // uninitialised-value warning from some compilers.
    const __m512 zero = _mm512_setzero_ps();
    const Floats lb = __builtin_bit_cast(
        Floats, _mm512_mask_i32gather_ps(zero, 0xFFFF, __builtin_bit_cast(__m512i, px & 0xFFu),
                                         kSrgbToLinear, 4));
    const Floats lg = __builtin_bit_cast(
        Floats,
        _mm512_mask_i32gather_ps(zero, 0xFFFF, __builtin_bit_cast(__m512i, (px >> 8) & 0xFFu),
                                 kSrgbToLinear, 4));
    const Floats lr = __builtin_bit_cast(
        Floats,
        _mm512_mask_i32gather_ps(zero, 0xFFFF, __builtin_bit_cast(__m512i, (px >> 16) & 0xFFu),
                                 kSrgbToLinear, 4));
    LabLanes<64>(lr, lg, lb, L + x, a + x, b + x);
  }
  RowAvx2(bgrx + 4 * x, count - x, L + x, a + x, b + x);
}

using RowKernel = void (*)(const unsigned char*, int, float*, float*, float*);

// The widest kernel the processor runs.
RowKernel ChooseKernel() {
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f")) return RowAvx512;
  return __builtin_cpu_supports("avx2") ? RowAvx2 : RowSse2;
}

#endif

}  // namespace

void LabRow(const unsigned char* bgrx, int count, float* L, float* a, float* b) {
#ifdef VORLANE_X86
  static const RowKernel kernel = ChooseKernel();
  kernel(bgrx, count, L, a, b);
#else
  ScalarTail(bgrx, 0, count, L, a, b);
#endif
}

LabRowsAhead::LabRowsAhead(const unsigned char* const* rows, int width, int height)
    : m_rows(rows), m_width(width), m_height(height) {
  const bool ahead = RowBands(0, height, static_cast<std::int64_t>(width) * height).Count() > 1 &&
                     height > kBlockRows;
  m_store.resize(3 * static_cast<size_t>(width) * (ahead ? kSlots * kBlockRows : 1));
  if (!ahead) return;
  try {
    m_worker = std::jthread([this] { Work(); });
  } catch (const std::system_error&) {
    // No thread: each row is converted when asked for, into the first row of the store.
  }
}

LabRowsAhead::~LabRowsAhead() {
  // Releases a worker that waits for a free slot; the thread is joined next.
  m_stop.store(true);
  m_consumed.store(INT_MAX, std::memory_order_release);
  m_consumed.notify_one();
}

void LabRowsAhead::Convert(int y, int slotRow) {
  float* L = m_store.data() + 3 * static_cast<size_t>(m_width) * static_cast<size_t>(slotRow);
  LabRow(m_rows[y], m_width, L, L + m_width, L + 2 * m_width);
}

void LabRowsAhead::Work() {
  const int blocks = (m_height + kBlockRows - 1) / kBlockRows;
  for (int block = 0; block < blocks; ++block) {
    // The slot is free once the block kSlots before is done with.
    for (int done = m_consumed.load(std::memory_order_acquire); done < block - kSlots + 1;
         done = m_consumed.load(std::memory_order_acquire)) {
      m_consumed.wait(done, std::memory_order_acquire);
    }
    if (m_stop.load()) return;
    const int first = block * kBlockRows, last = std::min(first + kBlockRows, m_height);
    for (int y = first; y < last; ++y) Convert(y, (block % kSlots) * kBlockRows + y - first);
    m_produced.store(block + 1, std::memory_order_release);
    m_produced.notify_one();
  }
}

LabRowsAhead::Planes LabRowsAhead::Row(int y) {
  int slotRow = 0;
  if (m_worker.joinable()) {
    const int block = y / kBlockRows;
    if (block != m_current) {
      // The earlier blocks are done with: their slots may be refilled.
      m_current = block;
      m_consumed.store(block, std::memory_order_release);
      m_consumed.notify_one();
    }
    for (int done = m_produced.load(std::memory_order_acquire); done <= block;
         done = m_produced.load(std::memory_order_acquire)) {
      m_produced.wait(done, std::memory_order_acquire);
    }
    slotRow = (block % kSlots) * kBlockRows + y % kBlockRows;
  } else {
    Convert(y, 0);
  }
  const float* L = m_store.data() + 3 * static_cast<size_t>(m_width) * static_cast<size_t>(slotRow);
  return {L, L + m_width, L + 2 * m_width};
}

}  // namespace vorlane::detail
