// Histograms, average colours and profiles: single passes over row pointers.
#include "kernels/histogram/histograms.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <vector>

#include "colourfunctions/colourfunctions.h"
#include "kernels/histogram/byte_counts.h"
#include "kernels/histogram/hls_cache.h"
#include "kernels/parallel/row_bands.h"

namespace vorlane::detail {

void GreyHistogram(const unsigned char* const* rows, const RECT& rect, const ByteSelection& sel,
                   long* hist) {
  std::fill(hist, hist + 256, 0L);
  const int width = rect.right - rect.left;
  // take[b]: 1 when a pixel whose map byte is b counts (every byte without a map).
  std::array<unsigned char, 256> take{};
  for (size_t b = 0; b < take.size(); ++b)
    take[b] = (sel.map.data ? sel.accept[b] : sel.all) ? 1 : 0;
  const int taken = std::count(take.begin(), take.end(), 1);
  if (taken == 0 || width <= 0 || rect.bottom <= rect.top) return;
  const bool every = taken == 256;
  // Bands of rows counted at once.
  const RowBands bands(rect.top, rect.bottom, std::int64_t{width} * (rect.bottom - rect.top));
  std::vector<ByteCounts> perBand(static_cast<size_t>(bands.Count()));
  bands.Run([&](int index, int first, int last) {
    ByteCounts& counts = perBand[static_cast<size_t>(index)];
    for (int y = first; y < last; ++y) {
      const unsigned char* row = rows[y] + rect.left;
      if (every) {
        counts.Add(row, width);
      } else {
        counts.AddTaken(row, sel.Row(y) + rect.left, take.data(), width);
      }
    }
  });
  for (ByteCounts& counts : perBand) {
    const std::int64_t* totals = counts.Totals();
    for (int v = 0; v < 256; ++v) hist[v] += static_cast<long>(totals[v]);
  }
}

void ColourHistograms(const unsigned char* const* rows, const RECT& rect, const ByteSelection& sel,
                      unsigned long flags, long* const* hists) {
  const int requested = std::popcount(static_cast<std::uint32_t>(flags));
  for (int k = 0; k < requested; ++k) {
    if (hists[k]) std::fill(hists[k], hists[k] + 256, 0L);
  }
  // The histogram of each flag, in flag order; null when not requested.
  long* slot[7] = {};
  int k = 0;
  for (int bit = 0; bit < 7; ++bit) {
    if (flags & (1ul << bit)) slot[bit] = hists[k++];
  }
  const bool wantHls = slot[4] || slot[5] || slot[6];
  HlsCache hls;
  for (int y = rect.top; y < rect.bottom; ++y) {
    const unsigned char* row = rows[y];
    const unsigned char* selRow = sel.Row(y);
    for (int x = rect.left; x < rect.right; ++x) {
      if (!sel.Takes(selRow, x)) continue;
      const unsigned char* p = row + 4 * x;
      const int b = p[0], g = p[1], r = p[2];
      if (slot[0]) {
        const float lum = 0.3f * static_cast<float>(r) + 0.59f * static_cast<float>(g) +
                          0.11f * static_cast<float>(b);
        ++slot[0][static_cast<int>(lum)];
      }
      if (slot[1]) ++slot[1][r];
      if (slot[2]) ++slot[2][g];
      if (slot[3]) ++slot[3][b];
      if (wantHls) {
        const HlsCache::Bytes& v = hls.Truncated(r, g, b);
        if (slot[4] && !IsBlackOrWhite(r, g, b)) ++slot[4][v.h];
        if (slot[5]) ++slot[5][v.l];
        if (slot[6]) ++slot[6][v.s];
      }
    }
  }
}

template <int BytesPerPixel>
ChannelSums SumChannels(const unsigned char* const* rows, int width, int height,
                        const ByteSelection& sel) {
  ChannelSums s;
  for (int y = 0; y < height; ++y) {
    const unsigned char* row = rows[y];
    const unsigned char* selRow = sel.Row(y);
    for (int x = 0; x < width; ++x) {
      if (!sel.Takes(selRow, x)) continue;
      const unsigned char* p = row + BytesPerPixel * x;
      if constexpr (BytesPerPixel == 4) {
        s.blue += p[0];
        s.green += p[1];
        s.red += p[2];
      } else {
        s.red += p[0];
      }
      ++s.count;
    }
  }
  if constexpr (BytesPerPixel == 1) s.green = s.blue = s.red;
  return s;
}

template ChannelSums SumChannels<1>(const unsigned char* const*, int, int, const ByteSelection&);
template ChannelSums SumChannels<4>(const unsigned char* const*, int, int, const ByteSelection&);

unsigned long AverageColour(const ChannelSums& sums) {
  if (sums.count == 0) return 0;
  const unsigned long r = static_cast<unsigned long>(sums.red / sums.count);
  const unsigned long g = static_cast<unsigned long>(sums.green / sums.count);
  const unsigned long b = static_cast<unsigned long>(sums.blue / sums.count);
  return r | (g << 8) | (b << 16);
}

namespace {

// Clears the profiles that are given.
void ClearProfiles(const ProfileRequest& req) {
  if (req.rowProfile) std::fill(req.rowProfile, req.rowProfile + std::max(req.height, 0), 0L);
  if (req.columnProfile) {
    std::fill(req.columnProfile, req.columnProfile + std::max(req.width, 0), 0L);
  }
}

// Adds value(g) of every counted pixel of the clipped region to its row's and column's
// entries.
template <class Value>
void AddProfiles(const unsigned char* const* rows, const MapRows& map, unsigned char label,
                 const ProfileRequest& req, Value value) {
  const bool all = (req.flags & kProfileAllPixels) || !map.data;
  for (int y = req.clip.top; y < req.clip.bottom; ++y) {
    const unsigned char* row = rows[y];
    const unsigned char* mapRow = map.Row(y);
    long rowSum = 0;
    for (int x = req.clip.left; x < req.clip.right; ++x) {
      if (!all && mapRow[x] == label) continue;
      const long v = value(row[x]);
      rowSum += v;
      if (req.columnProfile) req.columnProfile[x - req.x] += v;
    }
    if (req.rowProfile) req.rowProfile[y - req.y] += rowSum;
  }
}

}  // namespace

void GreyProfiles(const unsigned char* const* rows, const MapRows& map, unsigned char label,
                  const ProfileRequest& req) {
  if (!req.rowProfile && !req.columnProfile) return;
  ClearProfiles(req);
  if (req.flags & kProfileDarkness) {
    AddProfiles(rows, map, label, req, [](unsigned char g) { return 255L - g; });
  } else if (req.flags & kProfileNonWhite) {
    AddProfiles(rows, map, label, req, [](unsigned char g) { return g < 255 ? 1L : 0L; });
  }
}

void BiLevelProfiles(const unsigned char* const* rows, const MapRows& map, unsigned char label,
                     const ProfileRequest& req) {
  if (!req.rowProfile && !req.columnProfile) return;
  ClearProfiles(req);
  AddProfiles(rows, map, label, req, [](unsigned char v) { return static_cast<long>(v); });
  const long clipWidth = req.clip.right - req.clip.left;
  const long clipHeight = req.clip.bottom - req.clip.top;
  if (req.rowProfile) {
    for (int y = req.clip.top; y < req.clip.bottom; ++y) {
      long& e = req.rowProfile[y - req.y];
      e = clipWidth - e;
    }
  }
  if (req.columnProfile) {
    for (int x = req.clip.left; x < req.clip.right; ++x) {
      long& e = req.columnProfile[x - req.x];
      e = clipHeight - e;
    }
  }
}

}  // namespace vorlane::detail
