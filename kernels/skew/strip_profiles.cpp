// Strip ink counts and sheared row profiles for the skew search.
#include "kernels/skew/strip_profiles.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vorlane::detail {
namespace {

constexpr int kWord = 8;

// The sum of the bytes of the words at [0, n) (n at most 5, every byte 0 or 1): the bytes are
// added lane by lane (at most 5 each), and one multiplication gathers the lanes in the top
// byte.
int SumWords(const std::uint8_t* bytes, int n) {
  std::uint64_t lanes = 0;
  for (int i = 0; i < n; ++i) {
    std::uint64_t word;
    std::memcpy(&word, bytes + i * kWord, kWord);
    lanes += word;
  }
  return static_cast<int>((lanes * 0x0101010101010101ull) >> 56);
}

// The first column of every strip of a width-column area, and width itself at the end:
// widths of 24, 32 or 40 columns in a fixed irregular order, the last one cut at width.
std::vector<int> StripEdges(int width) {
  std::vector<int> edges{0};
  std::uint32_t state = 0x9E3779B9u;
  while (edges.back() < width) {
    state = state * 1664525u + 1013904223u;  // a fixed linear congruential sequence
    const int step = kSkewStripWidth + kWord * (static_cast<int>((state >> 16) % 3) - 1);
    edges.push_back(std::min(width, edges.back() + step));
  }
  return edges;
}

}  // namespace

StripCounts CountStripInk(const unsigned char* const* src, const RECT& rect, int inkAtMost,
                          int margin) {
  StripCounts out;
  const int width = rect.right - rect.left;
  const std::vector<int> edges = StripEdges(width);
  out.strips = static_cast<int>(edges.size()) - 1;
  out.rows = rect.bottom - rect.top;
  out.margin = margin;
  out.stride = out.rows + 2 * margin;
  out.largestSum = width;
  out.counts.assign(static_cast<size_t>(out.strips) * out.stride, 0);
  out.centres.resize(static_cast<size_t>(out.strips));
  const double middle = width / 2.0;
  for (size_t j = 0; j + 1 < edges.size(); ++j)
    out.centres[j] = (edges[j] + edges[j + 1]) / 2.0 - middle;
  const unsigned char limit = static_cast<unsigned char>(std::clamp(inkAtMost, 0, 255));
  // One byte per pixel, 1 for ink, in whole words: the padding after width stays 0.
  std::vector<std::uint8_t> ink(static_cast<size_t>((width + kWord - 1) / kWord * kWord), 0);
  // Row by row through the pixels, each strip's count written into its own column.
  for (int y = 0; y < out.rows; ++y) {
    const unsigned char* row = src[rect.top + y] + rect.left;
    for (int x = 0; x < width; ++x) ink[static_cast<size_t>(x)] = row[x] <= limit;
    std::uint8_t* column = out.counts.data() + margin + y;
    for (int j = 0; j < out.strips; ++j) {
      // Every edge but the last is a whole number of words.
      const int first = edges[j] / kWord, end = (edges[j + 1] + kWord - 1) / kWord;
      const int count = SumWords(ink.data() + first * kWord, end - first);
      column[static_cast<size_t>(j) * out.stride] = static_cast<std::uint8_t>(count);
      out.ink += count;
    }
  }
  return out;
}

StripCounts CountBandInk(const unsigned char* const* src, const RECT& rect, int inkAtMost,
                         int margin) {
  StripCounts out;
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  const std::vector<int> edges = StripEdges(height);
  out.strips = static_cast<int>(edges.size()) - 1;
  out.rows = width;
  out.margin = margin;
  out.stride = out.rows + 2 * margin;
  out.largestSum = height;
  out.counts.assign(static_cast<size_t>(out.strips) * out.stride, 0);
  out.centres.resize(static_cast<size_t>(out.strips));
  const double middle = height / 2.0;
  const unsigned char limit = static_cast<unsigned char>(std::clamp(inkAtMost, 0, 255));
  for (int j = 0; j < out.strips; ++j) {
    out.centres[static_cast<size_t>(j)] = (edges[j] + edges[j + 1]) / 2.0 - middle;
    // The band's rows added column by column into its own column of counts.
    std::uint8_t* column = out.counts.data() + static_cast<size_t>(j) * out.stride + margin;
    for (int y = edges[j]; y < edges[j + 1]; ++y) {
      const unsigned char* row = src[rect.top + y] + rect.left;
      for (int x = 0; x < width; ++x)
        column[x] = static_cast<std::uint8_t>(column[x] + (row[x] <= limit));
    }
    for (int x = 0; x < width; ++x) out.ink += column[x];
  }
  return out;
}

StripCounts ReduceRows(const StripCounts& full, int factor) {
  StripCounts out;
  out.strips = full.strips;
  out.rows = (full.rows + factor - 1) / factor;
  out.margin = (full.margin + factor - 1) / factor;
  out.stride = out.rows + 2 * out.margin;
  out.counts.assign(static_cast<size_t>(out.strips) * out.stride, 0);
  out.centres.resize(full.centres.size());
  out.ink = full.ink;
  out.largestSum = full.largestSum * factor;
  for (int j = 0; j < full.strips; ++j) {
    out.centres[static_cast<size_t>(j)] = full.centres[static_cast<size_t>(j)] / factor;
    const std::uint8_t* from =
        full.counts.data() + static_cast<size_t>(j) * full.stride + full.margin;
    std::uint8_t* to = out.counts.data() + static_cast<size_t>(j) * out.stride + out.margin;
    for (int y = 0, r = 0; y < full.rows; y += factor, ++r) {
      int sum = 0;
      for (int k = y; k < std::min(full.rows, y + factor); ++k) sum += from[k];
      to[r] = static_cast<std::uint8_t>(sum);
    }
  }
  return out;
}

namespace {

// ShearedProfileScore with profile sums of type Sum, which holds largestSum.
template <class Sum>
std::int64_t Score(const StripCounts& counts, double tangent, std::vector<Sum>& profile) {
  const int n = counts.stride;
  profile.assign(static_cast<size_t>(n), 0);
  Sum* p = profile.data();
  for (int j = 0; j < counts.strips; ++j) {
    const int shift =
        -static_cast<int>(std::lround(tangent * counts.centres[static_cast<size_t>(j)]));
    const std::uint8_t* column = counts.counts.data() + static_cast<size_t>(j) * n;
    // Profile row k takes the strip's row k + shift; rows outside the column add nothing.
    const int from = std::max(0, -shift), to = std::min(n, n - shift);
    const std::uint8_t* source = column + shift;
    for (int k = from; k < to; ++k) p[k] = static_cast<Sum>(p[k] + source[k]);
  }
  std::int64_t score = 0;
  for (int k = 0; k + 1 < n; ++k) {
    const std::int64_t d = p[k + 1] - p[k];
    score += d * d;
  }
  return score;
}

}  // namespace

std::int64_t ShearedProfileScore(const StripCounts& counts, double tangent, ProfileSpace& space) {
  return counts.largestSum <= INT16_MAX ? Score(counts, tangent, space.narrow)
                                        : Score(counts, tangent, space.wide);
}

}  // namespace vorlane::detail
