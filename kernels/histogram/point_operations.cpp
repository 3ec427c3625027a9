// Point operations: single passes over pixel rows and map bytes.
#include "kernels/histogram/point_operations.h"

#include <cstdlib>

#include "colourfunctions/colourfunctions.h"
#include "kernels/histogram/hls_cache.h"

namespace vorlane::detail {

void ApplyByteTable(unsigned char* const* rows, const RECT& rect, const unsigned char* table) {
  for (int y = rect.top; y < rect.bottom; ++y) {
    unsigned char* row = rows[y];
    for (int x = rect.left; x < rect.right; ++x) row[x] = table[row[x]];
  }
}

void TransformColours(unsigned char* const* rows, int width, int height, const int* table,
                      unsigned long flags) {
  unsigned char low[256];
  for (int i = 0; i < 256; ++i) low[i] = static_cast<unsigned char>(table[i]);
  const bool hls = flags & 0x70;
  HlsCache cache;
  for (int y = 0; y < height; ++y) {
    unsigned char* p = rows[y];
    for (int x = 0; x < width; ++x, p += 4) {
      if (flags & 0x02) p[2] = low[p[2]];
      if (flags & 0x04) p[1] = low[p[1]];
      if (flags & 0x08) p[0] = low[p[0]];
      if (!hls) continue;
      const int r = p[2], g = p[1], b = p[0];
      HlsCache::Floats v = cache.Exact(r, g, b);
      if ((flags & 0x10) && !IsBlackOrWhite(r, g, b)) {
        v.h = static_cast<float>(table[static_cast<int>(v.h)]);
      }
      if (flags & 0x20) v.l = static_cast<float>(table[static_cast<int>(v.l)]);
      if (flags & 0x40) v.s = static_cast<float>(table[static_cast<int>(v.s)]);
      float nr = 0.0f, ng = 0.0f, nb = 0.0f;
      TT_HLS2RGB(v.h, v.l, v.s, &nr, &ng, &nb, vorlane::kHlsByteScale);
      p[2] = static_cast<unsigned char>(nr);
      p[1] = static_cast<unsigned char>(ng);
      p[0] = static_cast<unsigned char>(nb);
    }
  }
}

bool EqualizationLevels(const long* hist, unsigned char* levels) {
  std::int64_t cumulative[256];
  std::int64_t c = 0;
  for (int i = 0; i < 256; ++i) cumulative[i] = c += hist[i];
  const std::int64_t n = cumulative[255];
  if (n <= 0) return false;
  for (int i = 0; i < 256; ++i) {
    levels[i] = static_cast<unsigned char>(static_cast<double>(cumulative[i] * 255) /
                                           static_cast<double>(n));
  }
  return true;
}

void NegateColours(unsigned char* const* rows, int width, int height) {
  for (int y = 0; y < height; ++y) {
    unsigned char* p = rows[y];
    for (int x = 0; x < width; ++x, p += 4) {
      p[0] = static_cast<unsigned char>(255 - p[0]);
      p[1] = static_cast<unsigned char>(255 - p[1]);
      p[2] = static_cast<unsigned char>(255 - p[2]);
    }
  }
}

void NegateBiLevel(unsigned char* const* rows, int width, int height) {
  for (int y = 0; y < height; ++y) {
    unsigned char* row = rows[y];
    for (int x = 0; x < width; ++x) row[x] = row[x] == 0 ? 1 : 0;
  }
}

void FillColour(unsigned char* const* rows, int width, int height, unsigned char red,
                unsigned char green, unsigned char blue) {
  for (int y = 0; y < height; ++y) {
    unsigned char* p = rows[y];
    for (int x = 0; x < width; ++x, p += 4) {
      p[0] = blue;
      p[1] = green;
      p[2] = red;
    }
  }
}

void ReduceColours(unsigned char* const* rows, int width, int height, const ByteSelection& sel) {
  for (int y = 0; y < height; ++y) {
    unsigned char* p = rows[y];
    const unsigned char* selRow = sel.Row(y);
    for (int x = 0; x < width; ++x, p += 4) {
      if (!sel.Takes(selRow, x)) continue;
      p[0] &= 0xE0;
      p[1] &= 0xE0;
      p[2] &= 0xE0;
    }
  }
}

void MarkSimilar(const unsigned char* const* rows, int width, int height, int red, int green,
                 int blue, int tolerance, const MapRows& map, unsigned char label) {
  if (!map.data) return;
  for (int y = 0; y < height; ++y) {
    const unsigned char* p = rows[y];
    unsigned char* mapRow = map.Row(y);
    for (int x = 0; x < width; ++x, p += 4) {
      if (std::abs(p[2] - red) < tolerance && std::abs(p[1] - green) < tolerance &&
          std::abs(p[0] - blue) < tolerance) {
        mapRow[x] |= label;
      }
    }
  }
}

void InvertLabel(const MapRows& map, int width, int height, unsigned char label) {
  if (!map.data) return;
  for (int y = 0; y < height; ++y) {
    unsigned char* row = map.Row(y);
    for (int x = 0; x < width; ++x) {
      row[x] = (row[x] & label) ? static_cast<unsigned char>(row[x] & ~label)
                                : static_cast<unsigned char>(row[x] | label);
    }
  }
}

std::int64_t CountSelected(int width, int height, const ByteSelection& sel) {
  if (!sel.map.data) return sel.all ? static_cast<std::int64_t>(width) * height : 0;
  std::int64_t count = 0;
  for (int y = 0; y < height; ++y) {
    const unsigned char* row = sel.Row(y);
    for (int x = 0; x < width; ++x) count += sel.accept[row[x]];
  }
  return count;
}

}  // namespace vorlane::detail
