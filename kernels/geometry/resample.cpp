// Box resampling: column sums over the rows of a target row's box, then sums over the
// columns of each target pixel's box.
#include "kernels/geometry/resample.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#ifdef __x86_64__
#include <immintrin.h>
#endif

#include "kernels/parallel/row_bands.h"

namespace vorlane::detail {

namespace {

// Source box [begin, end) of every target index for a source extent `from` and a target
// extent `to` (both >= 1).
struct Boxes {
  std::vector<int> begin;
  std::vector<int> end;
};

Boxes MakeBoxes(int from, int to) {
  Boxes b;
  b.begin.resize(static_cast<size_t>(to));
  b.end.resize(static_cast<size_t>(to));
  const double scale = static_cast<double>(from) / static_cast<double>(to);
  for (int u = 0; u < to; ++u) {
    const int first = static_cast<int>(u * scale);
    const int last = std::min(from, static_cast<int>((u + 1) * scale));
    b.begin[static_cast<size_t>(u)] = first;
    b.end[static_cast<size_t>(u)] = std::max(last, first + 1);
  }
  return b;
}

// Channels summed per pixel: the three colour bytes of Bpp 4, the byte of Bpp 1.
template <int Bpp>
constexpr int kChannels = Bpp == 4 ? 3 : 1;

// The distinct extents of the boxes.
std::vector<int> Extents(const Boxes& b) {
  std::vector<int> extents;
  for (size_t i = 0; i < b.begin.size(); ++i) {
    const int extent = b.end[i] - b.begin[i];
    if (std::find(extents.begin(), extents.end(), extent) == extents.end()) {
      extents.push_back(extent);
    }
  }
  return extents;
}

// Adds one source row to the column sums: the channel bytes, or for a vote the pixels that
// are 1. Parameters by value, so that the loops vectorise.
template <int Bpp, class Sum>
void AddRow(Sum* acc, const unsigned char* in, int width, bool ones) {
  constexpr int ch = kChannels<Bpp>;
  if (ones) {
    for (int x = 0; x < width; ++x) acc[x] += in[x] == 1 ? 1 : 0;
    return;
  }
  for (int x = 0; x < width; ++x) {
    for (int k = 0; k < ch; ++k) acc[x * ch + k] += in[x * Bpp + k];
  }
}

// t / n for every channel total t of a box of n pixels (0 <= t <= 255 n), from a table when n
// is small enough for one; the boxes of a resampling take a few sizes, so few tables.
class BoxQuotients {
 public:
  static constexpr uint64_t kLargestTable = 1 << 10;  // boxes of up to 1024 pixels

  // Makes the table of n unless it exists or n is too large for one.
  void Make(uint64_t n) {
    if (n == 0 || n > kLargestTable || Find(n)) return;
    std::vector<unsigned char> table(static_cast<size_t>(255 * n + 1));
    for (size_t t = 0; t < table.size(); ++t) table[t] = static_cast<unsigned char>(t / n);
    m_tables.emplace_back(n, std::move(table));
  }

  // The table of n, or null when none was made.
  const unsigned char* Find(uint64_t n) const {
    for (const auto& [size, table] : m_tables) {
      if (size == n) return table.data();
    }
    return nullptr;
  }

 private:
  std::vector<std::pair<uint64_t, std::vector<unsigned char>>> m_tables;
};

// Averages or votes with Sum as the type of the sums (large enough for a whole box). Bands of
// target rows run at once, each with column sums of its own.
template <int Bpp, class Sum>
void ResampleBoxes(const Plane& src, const Plane& dst, const Boxes& cols, const Boxes& rows,
                   bool majority) {
  constexpr int ch = kChannels<Bpp>;
  // The quotient table of every (box height, box width) pair the boxes take.
  BoxQuotients quotients;
  if (!majority) {
    for (const int height : Extents(rows)) {
      for (const int width : Extents(cols)) {
        quotients.Make(static_cast<uint64_t>(height) * static_cast<uint64_t>(width));
      }
    }
  }
  const RowBands bands(0, dst.height, static_cast<int64_t>(src.width) * src.height * ch);
  std::vector<std::vector<Sum>> sums(static_cast<size_t>(bands.Count()),
                                     std::vector<Sum>(static_cast<size_t>(src.width) * ch));
  std::vector<std::vector<const unsigned char*>> tables(
      static_cast<size_t>(bands.Count()), std::vector<const unsigned char*>(size_t(dst.width)));
  bands.Run([&](int band, int first, int last) {
    std::vector<Sum>& colSum = sums[static_cast<size_t>(band)];
    const unsigned char** table = tables[static_cast<size_t>(band)].data();
    int tableRows = -1;  // the box height the column tables were found for
    for (int v = first; v < last; ++v) {
      const int y0 = rows.begin[static_cast<size_t>(v)];
      const int y1 = rows.end[static_cast<size_t>(v)];
      std::fill(colSum.begin(), colSum.end(), Sum{0});
      for (int y = y0; y < y1; ++y)
        AddRow<Bpp, Sum>(colSum.data(), src.rows[y], src.width, majority);
      if (!majority && y1 - y0 != tableRows) {
        tableRows = y1 - y0;
        for (int u = 0; u < dst.width; ++u) {
          const int width = cols.end[static_cast<size_t>(u)] - cols.begin[static_cast<size_t>(u)];
          table[u] =
              quotients.Find(static_cast<uint64_t>(tableRows) * static_cast<uint64_t>(width));
        }
      }
      unsigned char* out = dst.rows[v];
      const Sum boxRows = static_cast<Sum>(y1 - y0);
      for (int u = 0; u < dst.width; ++u) {
        const int x0 = cols.begin[static_cast<size_t>(u)];
        const int x1 = cols.end[static_cast<size_t>(u)];
        const Sum n = boxRows * static_cast<Sum>(x1 - x0);
        Sum total[ch] = {};
        for (int x = x0; x < x1; ++x) {
          for (int k = 0; k < ch; ++k) total[k] += colSum[static_cast<size_t>(x) * ch + k];
        }
        unsigned char* px = out + static_cast<ptrdiff_t>(u) * Bpp;
        if (majority) {
          px[0] = total[0] < n - total[0] ? 0 : 1;
        } else if (const unsigned char* quotient = table[u]) {
          for (int k = 0; k < ch; ++k) px[k] = quotient[total[k]];
        } else {
          for (int k = 0; k < ch; ++k) px[k] = static_cast<unsigned char>(total[k] / n);
        }
        if constexpr (Bpp == 4) {
          if (!majority) px[3] = 0;
        }
      }
    }
  });
}

// Whole-number factors K in both directions (source extents K times the target's): every box
// is K x K, summed in 16 bits (255 K^2 fits) with the quotient by a constant, loops that
// vectorise. The same sums and quotients as ResampleBoxes. All Bpp bytes of a pixel are summed;
// the fourth of Bpp 4 is written 0.
template <int Bpp, int K>
void ResampleWhole(const Plane& src, const Plane& dst, bool majority) {
  constexpr int kArea = K * K;
  const int width = dst.width * K * Bpp;  // source bytes of a row that the boxes cover
  const RowBands bands(0, dst.height, static_cast<int64_t>(src.width) * src.height * Bpp);
  std::vector<std::vector<uint16_t>> sums(static_cast<size_t>(bands.Count()),
                                          std::vector<uint16_t>(static_cast<size_t>(width)));
  bands.Run([&](int band, int first, int last) {
    uint16_t* colSum = sums[static_cast<size_t>(band)].data();
    for (int v = first; v < last; ++v) {
      const unsigned char* in = src.rows[v * K];
      if (majority) {
        for (int x = 0; x < width; ++x) colSum[x] = in[x] == 1 ? 1 : 0;
      } else {
        for (int x = 0; x < width; ++x) colSum[x] = in[x];
      }
      for (int k = 1; k < K; ++k) {
        in = src.rows[v * K + k];
        if (majority) {
          for (int x = 0; x < width; ++x)
            colSum[x] = static_cast<uint16_t>(colSum[x] + (in[x] == 1 ? 1 : 0));
        } else {
          for (int x = 0; x < width; ++x) colSum[x] = static_cast<uint16_t>(colSum[x] + in[x]);
        }
      }
      unsigned char* out = dst.rows[v];
      const int targets = dst.width * Bpp;
      if (majority) {
        for (int i = 0; i < targets; ++i) {
          unsigned total = 0;
          for (int j = 0; j < K; ++j) total += colSum[i * K + j];
          out[i] = total < kArea - total ? 0 : 1;
        }
        continue;
      }
      for (int i = 0; i < targets; ++i) {
        const int u = i / Bpp, c = i % Bpp;
        unsigned total = 0;
        for (int j = 0; j < K; ++j) total += colSum[(u * K + j) * Bpp + c];
        out[i] = Bpp == 4 && c == 3 ? 0 : static_cast<unsigned char>(total / kArea);
      }
    }
  });
}

// Halving averages of a pair of rows a and b into n targets at out: grey bytes, or colour
// words whose even and odd bytes are summed apart in 16-bit lanes (the fourth byte then
// cleared). The same quotients (sum / 4) as ResampleWhole. Parameters by value, so that the
// loops vectorise.
void HalveGreyRow(const unsigned char* a, const unsigned char* b, unsigned char* out, int n) {
  int u = 0;
#ifdef __SSE2__
  // Sixteen targets at a time: the even and odd bytes of each row as 16-bit lanes, summed,
  // shifted and packed back to bytes.
  const __m128i low = _mm_set1_epi16(0x00FF);
  const auto pairs = [low](const unsigned char* row) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row));
    return _mm_add_epi16(_mm_and_si128(x, low), _mm_srli_epi16(x, 8));
  };
  for (; u + 16 <= n; u += 16) {
    const __m128i first = _mm_srli_epi16(_mm_add_epi16(pairs(a + 2 * u), pairs(b + 2 * u)), 2);
    const __m128i second =
        _mm_srli_epi16(_mm_add_epi16(pairs(a + 2 * u + 16), pairs(b + 2 * u + 16)), 2);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + u), _mm_packus_epi16(first, second));
  }
#endif
  for (; u < n; ++u) {
    const unsigned sum = unsigned{a[2 * u]} + a[2 * u + 1] + b[2 * u] + b[2 * u + 1];
    out[u] = static_cast<unsigned char>(sum >> 2);
  }
}

#ifdef __x86_64__
// The same halving thirty-two targets at a time: each row's byte pairs summed by a multiply-add
// with ones, the rows added, shifted, packed and put back in order.
__attribute__((target("avx2"))) void HalveGreyRowAvx2(const unsigned char* a,
                                                      const unsigned char* b, unsigned char* out,
                                                      int n) {
  const __m256i ones = _mm256_set1_epi8(1);
  const auto pairs = [ones](const unsigned char* p) __attribute__((target("avx2"))) {
    return _mm256_maddubs_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), ones);
  };
  int u = 0;
  for (; u + 32 <= n; u += 32) {
    const __m256i first =
        _mm256_srli_epi16(_mm256_add_epi16(pairs(a + 2 * u), pairs(b + 2 * u)), 2);
    const __m256i second =
        _mm256_srli_epi16(_mm256_add_epi16(pairs(a + 2 * u + 32), pairs(b + 2 * u + 32)), 2);
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(first, second), 0xD8);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + u), packed);
  }
  HalveGreyRow(a + 2 * u, b + 2 * u, out + u, n - u);
}
#endif

using HalveRow = void (*)(const unsigned char*, const unsigned char*, unsigned char*, int);

// The widest halving of grey rows the processor runs.
HalveRow GreyHalving() {
#ifdef __x86_64__
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return HalveGreyRowAvx2;
#endif
  return HalveGreyRow;
}

void HalveColourRow(const unsigned char* a, const unsigned char* b, unsigned char* out, int n) {
  constexpr uint32_t kLanes = 0x00FF00FF;
  for (int u = 0; u < n; ++u) {
    uint32_t p[4];
    std::memcpy(&p[0], a + 8 * u, 8);
    std::memcpy(&p[2], b + 8 * u, 8);
    const uint32_t even = (p[0] & kLanes) + (p[1] & kLanes) + (p[2] & kLanes) + (p[3] & kLanes);
    const uint32_t odd = ((p[0] >> 8) & kLanes) + ((p[1] >> 8) & kLanes) + ((p[2] >> 8) & kLanes) +
                         ((p[3] >> 8) & kLanes);
    const uint32_t word = (((even >> 2) & kLanes) | (((odd >> 2) & kLanes) << 8)) & 0x00FFFFFF;
    std::memcpy(out + 4 * u, &word, 4);
  }
}

// Halving averages of every target row, in bands.
template <int Bpp>
void AverageHalves(const Plane& src, const Plane& dst) {
  const Plane in = src, to = dst;
  ForEachRowBand(0, dst.height, static_cast<int64_t>(src.width) * src.height * Bpp,
                 [in, to](int first, int last) {
                   static const HalveRow halveGrey = GreyHalving();
                   for (int v = first; v < last; ++v) {
                     if constexpr (Bpp == 1) {
                       halveGrey(in.rows[2 * v], in.rows[2 * v + 1], to.rows[v], to.width);
                     } else {
                       HalveColourRow(in.rows[2 * v], in.rows[2 * v + 1], to.rows[v], to.width);
                     }
                   }
                 });
}

// Resamples by ResampleWhole when both extents shrink by the same whole factor it serves;
// false otherwise.
template <int Bpp>
bool ResampleByWholeFactor(const Plane& src, const Plane& dst, bool majority) {
  if (src.width % dst.width != 0 || src.height % dst.height != 0) return false;
  const int k = src.width / dst.width;
  if (src.height / dst.height != k) return false;
  switch (k) {
    case 2:
      if (majority) {
        ResampleWhole<Bpp, 2>(src, dst, majority);
      } else {
        AverageHalves<Bpp>(src, dst);
      }
      return true;
    case 3:
      ResampleWhole<Bpp, 3>(src, dst, majority);
      return true;
    case 4:
      ResampleWhole<Bpp, 4>(src, dst, majority);
      return true;
    default:
      return false;
  }
}

// The widest extent of any box.
int LargestBox(const Boxes& b) {
  int largest = 0;
  for (size_t i = 0; i < b.begin.size(); ++i) largest = std::max(largest, b.end[i] - b.begin[i]);
  return largest;
}

}  // namespace

template <int Bpp>
void ResamplePixels(const Plane& src, const Plane& dst, Sampling sampling) {
  const Boxes cols = MakeBoxes(src.width, dst.width);
  const Boxes rows = MakeBoxes(src.height, dst.height);
  const uint64_t area = static_cast<uint64_t>(LargestBox(cols)) * LargestBox(rows);
  // Boxes of one pixel (enlarging): each target is its source pixel, or its vote.
  if (sampling == Sampling::kFirst || area == 1) {
    const bool vote = sampling == Sampling::kMajority;
    for (int v = 0; v < dst.height; ++v) {
      const unsigned char* in = src.rows[rows.begin[static_cast<size_t>(v)]];
      unsigned char* out = dst.rows[v];
      for (int u = 0; u < dst.width; ++u) {
        const unsigned char* from =
            in + static_cast<ptrdiff_t>(cols.begin[static_cast<size_t>(u)]) * Bpp;
        unsigned char* to = out + static_cast<ptrdiff_t>(u) * Bpp;
        std::memcpy(to, from, Bpp);
        if (vote) to[0] = from[0] == 1 ? 1 : 0;
        if (Bpp == 4 && sampling == Sampling::kAverage) to[3] = 0;
      }
    }
    return;
  }
  const bool majority = sampling == Sampling::kMajority;
  if (ResampleByWholeFactor<Bpp>(src, dst, majority)) return;
  if (area * 255u <= UINT32_MAX) {
    ResampleBoxes<Bpp, uint32_t>(src, dst, cols, rows, majority);
  } else {
    ResampleBoxes<Bpp, uint64_t>(src, dst, cols, rows, majority);
  }
}

template void ResamplePixels<1>(const Plane&, const Plane&, Sampling);
template void ResamplePixels<4>(const Plane&, const Plane&, Sampling);

}  // namespace vorlane::detail
