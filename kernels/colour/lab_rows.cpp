// Row kernel of the sRGB to Lab conversion: SSE2 on every x86-64 processor, AVX2 where the
// processor has it (chosen once at run time), the scalar conversion elsewhere and for row
// tails; and the rows of an image converted ahead on a second thread.
//
// The vector code computes every lane as TT_sRGB2sLab does for whole channel values: the
// table's linear light, the three products of each of X, Y, Z summed in channel order, the
// companding function with both branches computed and the one the scalar comparison takes
// selected, the cube root's first guess from the float's bits divided by 3 (as a multiply by
// 0xAAAAAAAB and a shift by 33, exact for every 32-bit value) and its two Halley steps in the
// scalar order of operations. No fused multiply-add is used, so every lane rounds as the
// scalar code. The cube root lanes of inputs at or below the threshold, whose results are
// discarded, start from the threshold instead so that they stay clear of subnormals.
#include "kernels/colour/lab_rows.h"

#include <algorithm>
#include <climits>
#include <cstdint>
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

// Unsigned 32-bit lanes divided by 3, truncated.
inline __m128i DivideBy3(__m128i u) {
  const __m128i magic = _mm_set1_epi32(static_cast<int>(0xAAAAAAABu));
  const __m128i even = _mm_srli_epi64(_mm_mul_epu32(u, magic), 33);
  const __m128i odd = _mm_srli_epi64(_mm_mul_epu32(_mm_srli_epi64(u, 32), magic), 33);
  return _mm_or_si128(_mm_and_si128(even, _mm_set_epi32(0, -1, 0, -1)), _mm_slli_epi64(odd, 32));
}

// One Halley step of the cube root y of x (twoX = 2x).
inline __m128 Halley(__m128 y, __m128 x, __m128 twoX) {
  const __m128 y3 = _mm_mul_ps(_mm_mul_ps(y, y), y);
  return _mm_div_ps(_mm_mul_ps(y, _mm_add_ps(y3, twoX)),
                    _mm_add_ps(_mm_mul_ps(_mm_set1_ps(2.0f), y3), x));
}

inline __m128 LabF(__m128 t) {
  const __m128 epsilon = _mm_set1_ps(kLabEpsilon);
  const __m128 x = _mm_max_ps(t, epsilon);
  const __m128i bits = _mm_add_epi32(DivideBy3(_mm_castps_si128(x)),
                                     _mm_set1_epi32(static_cast<int>(kCubeRootBias)));
  const __m128 twoX = _mm_mul_ps(_mm_set1_ps(2.0f), x);
  const __m128 root = Halley(Halley(_mm_castsi128_ps(bits), x, twoX), x, twoX);
  const __m128 line = _mm_add_ps(_mm_mul_ps(_mm_set1_ps(kLabSlope), t), _mm_set1_ps(kLabOffset));
  const __m128 above = _mm_cmpgt_ps(t, epsilon);
  return _mm_or_ps(_mm_and_ps(above, root), _mm_andnot_ps(above, line));
}

// White-relative tristimulus value of one row m of the matrix.
inline __m128 Tristimulus(const float* m, __m128 r, __m128 g, __m128 b) {
  return _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_set1_ps(m[0]), r), _mm_mul_ps(_mm_set1_ps(m[1]), g)),
                    _mm_mul_ps(_mm_set1_ps(m[2]), b));
}

// Lab of the linear channels of four pixels.
inline void Lab4(__m128 r, __m128 g, __m128 b, float* L, float* a, float* bStar) {
  const __m128 fx = LabF(Tristimulus(kLinearToX, r, g, b));
  const __m128 fy = LabF(Tristimulus(kLinearToY, r, g, b));
  const __m128 fz = LabF(Tristimulus(kLinearToZ, r, g, b));
  _mm_storeu_ps(L, _mm_sub_ps(_mm_mul_ps(_mm_set1_ps(116.0f), fy), _mm_set1_ps(16.0f)));
  _mm_storeu_ps(a, _mm_mul_ps(_mm_set1_ps(500.0f), _mm_sub_ps(fx, fy)));
  _mm_storeu_ps(bStar, _mm_mul_ps(_mm_set1_ps(200.0f), _mm_sub_ps(fy, fz)));
}

// SSE2: four pixels per step, the table read per channel.
void RowSse2(const unsigned char* bgrx, int count, float* L, float* a, float* b) {
  const float* t = kSrgbToLinear;
  int x = 0;
  for (; x + 4 <= count; x += 4) {
    const unsigned char* p = bgrx + 4 * x;
    Lab4(_mm_setr_ps(t[p[2]], t[p[6]], t[p[10]], t[p[14]]),
         _mm_setr_ps(t[p[1]], t[p[5]], t[p[9]], t[p[13]]),
         _mm_setr_ps(t[p[0]], t[p[4]], t[p[8]], t[p[12]]), L + x, a + x, b + x);
  }
  ScalarTail(bgrx, x, count, L, a, b);
}

// The AVX2 forms of the helpers above.
__attribute__((target("avx2"))) inline __m256i DivideBy3(__m256i u) {
  const __m256i magic = _mm256_set1_epi32(static_cast<int>(0xAAAAAAABu));
  const __m256i even = _mm256_srli_epi64(_mm256_mul_epu32(u, magic), 33);
  const __m256i odd = _mm256_srli_epi64(_mm256_mul_epu32(_mm256_srli_epi64(u, 32), magic), 33);
  return _mm256_or_si256(_mm256_and_si256(even, _mm256_set1_epi64x(0xFFFFFFFF)),
                         _mm256_slli_epi64(odd, 32));
}

__attribute__((target("avx2"))) inline __m256 Halley(__m256 y, __m256 x, __m256 twoX) {
  const __m256 y3 = _mm256_mul_ps(_mm256_mul_ps(y, y), y);
  return _mm256_div_ps(_mm256_mul_ps(y, _mm256_add_ps(y3, twoX)),
                       _mm256_add_ps(_mm256_mul_ps(_mm256_set1_ps(2.0f), y3), x));
}

__attribute__((target("avx2"))) inline __m256 LabF(__m256 t) {
  const __m256 epsilon = _mm256_set1_ps(kLabEpsilon);
  const __m256 x = _mm256_max_ps(t, epsilon);
  const __m256i bits = _mm256_add_epi32(DivideBy3(_mm256_castps_si256(x)),
                                        _mm256_set1_epi32(static_cast<int>(kCubeRootBias)));
  const __m256 twoX = _mm256_mul_ps(_mm256_set1_ps(2.0f), x);
  const __m256 root = Halley(Halley(_mm256_castsi256_ps(bits), x, twoX), x, twoX);
  const __m256 line =
      _mm256_add_ps(_mm256_mul_ps(_mm256_set1_ps(kLabSlope), t), _mm256_set1_ps(kLabOffset));
  return _mm256_blendv_ps(line, root, _mm256_cmp_ps(t, epsilon, _CMP_GT_OQ));
}

__attribute__((target("avx2"))) inline __m256 Tristimulus(const float* m, __m256 r, __m256 g,
                                                          __m256 b) {
  return _mm256_add_ps(
      _mm256_add_ps(_mm256_mul_ps(_mm256_set1_ps(m[0]), r), _mm256_mul_ps(_mm256_set1_ps(m[1]), g)),
      _mm256_mul_ps(_mm256_set1_ps(m[2]), b));
}

// AVX2: eight pixels per step, the table gathered.
__attribute__((target("avx2"))) void RowAvx2(const unsigned char* bgrx, int count, float* L,
                                             float* a, float* b) {
  const __m256i low = _mm256_set1_epi32(0xFF);
  int x = 0;
  for (; x + 8 <= count; x += 8) {
    const __m256i px = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bgrx + 4 * x));
    const __m256 lb = _mm256_i32gather_ps(kSrgbToLinear, _mm256_and_si256(px, low), 4);
    const __m256 lg =
        _mm256_i32gather_ps(kSrgbToLinear, _mm256_and_si256(_mm256_srli_epi32(px, 8), low), 4);
    const __m256 lr =
        _mm256_i32gather_ps(kSrgbToLinear, _mm256_and_si256(_mm256_srli_epi32(px, 16), low), 4);
    const __m256 fx = LabF(Tristimulus(kLinearToX, lr, lg, lb));
    const __m256 fy = LabF(Tristimulus(kLinearToY, lr, lg, lb));
    const __m256 fz = LabF(Tristimulus(kLinearToZ, lr, lg, lb));
    _mm256_storeu_ps(
        L + x, _mm256_sub_ps(_mm256_mul_ps(_mm256_set1_ps(116.0f), fy), _mm256_set1_ps(16.0f)));
    _mm256_storeu_ps(a + x, _mm256_mul_ps(_mm256_set1_ps(500.0f), _mm256_sub_ps(fx, fy)));
    _mm256_storeu_ps(b + x, _mm256_mul_ps(_mm256_set1_ps(200.0f), _mm256_sub_ps(fy, fz)));
  }
  RowSse2(bgrx + 4 * x, count - x, L + x, a + x, b + x);
}

using RowKernel = void (*)(const unsigned char*, int, float*, float*, float*);

// The widest kernel the processor runs.
RowKernel ChooseKernel() {
  __builtin_cpu_init();
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
