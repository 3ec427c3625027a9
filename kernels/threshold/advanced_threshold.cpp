// Colour-range classification: one pass over the pixels with the HLS of repeated colours
// remembered.
#include "kernels/threshold/advanced_threshold.h"

#include <cmath>

#include "kernels/histogram/hls_cache.h"

namespace vorlane::detail {

namespace {

// Rounds a non-negative value to a whole number, up only when the fraction exceeds 0.5.
float RoundHalfDown(float v) {
  const float whole = std::floor(v);
  return v - whole > 0.5f ? whole + 1.0f : whole;
}

}  // namespace

void AdvancedThreshold(const unsigned char* const* rows, int width, int height,
                       const ByteSelection& foreground, const MapRows& map, unsigned char label,
                       const int* p) {
  if (!map.data) return;
  const int mode = p[0];
  HlsCache cache;
  for (int y = 0; y < height; ++y) {
    const unsigned char* px = rows[y];
    const unsigned char* selRow = foreground.Row(y);
    unsigned char* mapRow = map.Row(y);
    for (int x = 0; x < width; ++x, px += 4) {
      if (!foreground.Takes(selRow, x)) continue;
      const int r = px[2], g = px[1], b = px[0];
      HlsCache::Floats hls = cache.Exact(r, g, b);
      if (mode != 1) {
        hls.h = RoundHalfDown(hls.h);
        hls.l = RoundHalfDown(hls.l);
        hls.s = RoundHalfDown(hls.s);
      }
      const float values[6] = {
          static_cast<float>(r), static_cast<float>(g), static_cast<float>(b), hls.h, hls.l, hls.s};
      int inside = 0;
      for (int c = 0; c < 6; ++c) {
        inside += static_cast<double>(values[c]) >= p[1 + 2 * c] &&
                  static_cast<double>(values[c]) <= p[2 + 2 * c];
      }
      bool background;
      switch (mode) {
        case 0:
          background = inside < 6;
          break;
        case 1:
          background = inside == 0;
          break;
        case 2:
          background = inside == 6;
          break;
        default:
          background = inside > 0;
          break;
      }
      if (background) mapRow[x] |= label;
    }
  }
}

}  // namespace vorlane::detail
