// Run painting, run tinting and label colours over display bitmap bits.
#include "kernels/display/paint_runs.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "kernels/parallel/row_bands.h"

namespace vorlane::detail {
namespace {

// Calls apply(pixel) for each pixel of the runs inside view, pixel pointing at its blue
// byte; kStep is the pixel step of view.
template <int kStep, typename Apply>
void ForEachRunPixel(const BitmapView& view, const Run* runs, int count, Apply&& apply) {
  for (int i = 0; i < count; ++i) {
    const Run& run = runs[i];
    if (run.y < 0 || run.y >= view.height) continue;
    const int xl = std::max(run.xl, 0);
    const int xr = std::min(run.xr, view.width - 1);
    unsigned char* p = view.Row(run.y) + static_cast<ptrdiff_t>(xl) * kStep;
    for (int x = xl; x <= xr; ++x, p += kStep) apply(p);
  }
}

// Pixels x to x + count - 1 of a row of four-byte pixels keep the bits keep leaves and take
// paint (a loop of constants, which vectorises).
void PaintPixels32(unsigned char* p, int x, int count, DWORD keep, DWORD paint) {
  for (int i = x; i < x + count; ++i) {
    DWORD pixel;
    std::memcpy(&pixel, p + 4 * static_cast<ptrdiff_t>(i), sizeof pixel);
    pixel = (pixel & keep) | paint;
    std::memcpy(p + 4 * static_cast<ptrdiff_t>(i), &pixel, sizeof pixel);
  }
}

// Eight four-byte pixels at p keep the bits keep leaves and take paint.
inline void PaintEight32(unsigned char* p, DWORD keep, DWORD paint) {
#ifdef __SSE2__
  const __m128i k = _mm_set1_epi32(static_cast<int>(keep));
  const __m128i c = _mm_set1_epi32(static_cast<int>(paint));
  auto* v = reinterpret_cast<__m128i*>(p);
  _mm_storeu_si128(v, _mm_or_si128(_mm_and_si128(_mm_loadu_si128(v), k), c));
  _mm_storeu_si128(v + 1, _mm_or_si128(_mm_and_si128(_mm_loadu_si128(v + 1), k), c));
#else
  PaintPixels32(p, 0, 8, keep, paint);
#endif
}

// One row of four-byte pixels: each pixel keeps the bits keep[label] leaves and takes
// paint[label]. Blocks of eight pixels of one label are painted at once, and with skipZero
// blocks of label 0 are passed over. Parameters by value, so that the pixel stores cannot be
// taken to change them.
void PaintRow32(unsigned char* p, const unsigned char* labels, int width, const DWORD* keep,
                const DWORD* paint, bool skipZero) {
  int x = 0;
  for (; x + 8 <= width; x += 8) {
    uint64_t eight;
    std::memcpy(&eight, labels + x, sizeof eight);
    if (eight == labels[x] * 0x0101010101010101ull) {
      if (!(skipZero && eight == 0))
        PaintEight32(p + 4 * static_cast<ptrdiff_t>(x), keep[labels[x]], paint[labels[x]]);
      continue;
    }
    for (int i = x; i < x + 8; ++i) PaintPixels32(p, i, 1, keep[labels[i]], paint[labels[i]]);
  }
  for (; x < width; ++x) PaintPixels32(p, x, 1, keep[labels[x]], paint[labels[x]]);
}

}  // namespace

void PaintRuns(const BitmapView& view, const Run* runs, int count, PixelBgr colour) {
  if (!view.bits || !runs) return;
  if (OverlayPixelStep(view.bitsPerPixel) == 4) {
    // Four-byte pixels: the colour replaces the first three bytes of each in one store.
    const DWORD bgr = DWORD{colour.blue} | DWORD{colour.green} << 8 | DWORD{colour.red} << 16;
    for (int i = 0; i < count; ++i) {
      const Run& run = runs[i];
      if (run.y < 0 || run.y >= view.height) continue;
      const int xl = std::max(run.xl, 0);
      PaintPixels32(view.Row(run.y), xl, std::min(run.xr, view.width - 1) + 1 - xl, 0xFF000000u,
                    bgr);
    }
    return;
  }
  WithPixelStep(view, [&](auto step) {
    ForEachRunPixel<decltype(step)::value>(view, runs, count, [colour](unsigned char* p) {
      p[0] = colour.blue;
      p[1] = colour.green;
      p[2] = colour.red;
    });
  });
}

void TintRuns(const BitmapView& view, const Run* runs, int count, PixelBgr tint) {
  if (!view.bits || !runs) return;
  WithPixelStep(view, [&](auto step) {
    ForEachRunPixel<decltype(step)::value>(view, runs, count, [tint](unsigned char* p) {
      p[0] = static_cast<unsigned char>((p[0] + tint.blue) / 2);
      p[1] = static_cast<unsigned char>((p[1] + tint.green) / 2);
      p[2] = static_cast<unsigned char>((p[2] + tint.red) / 2);
    });
  });
}

LabelPainter::LabelPainter(const unsigned char* const* mapRows, int mapWidth, int mapHeight,
                           const LabelColours& colours)
    : m_rows(mapRows),
      m_width(mapWidth),
      m_height(mapHeight),
      m_any(colours.any),
      m_skipZero(!colours.has[0]) {
  for (size_t label = 0; label < 256; ++label) {
    const PixelBgr& c = colours.colour[label];
    m_keep[label] = colours.has[label] ? 0xFF000000u : 0xFFFFFFFFu;
    m_paint[label] =
        colours.has[label] ? DWORD{c.blue} | DWORD{c.green} << 8 | DWORD{c.red} << 16 : 0;
  }
}

void LabelPainter::PaintRow(unsigned char* pixels, int y, int width) const {
  if (!Any() || y < 0 || y >= m_height) return;
  PaintRow32(pixels, m_rows[y], std::min(width, m_width), m_keep.data(), m_paint.data(),
             m_skipZero);
}

void PaintLabelColours(const BitmapView& view, const unsigned char* const* mapRows, int mapWidth,
                       int mapHeight, const LabelColours& colours) {
  if (!view.bits || !mapRows || !colours.any) return;
  const int width = std::min(view.width, mapWidth);
  const int height = std::min(view.height, mapHeight);
  const std::int64_t work = static_cast<std::int64_t>(width) * height;
  if (OverlayPixelStep(view.bitsPerPixel) == 4) {
    const LabelPainter painter(mapRows, mapWidth, mapHeight, colours);
    ForEachRowBand(0, height, work, [&](int first, int last) {
      for (int y = first; y < last; ++y) painter.PaintRow(view.Row(y), y, view.width);
    });
    return;
  }
  ForEachRowBand(0, height, work, [&](int first, int last) {
    for (int y = first; y < last; ++y) {
      const unsigned char* labels = mapRows[y];
      unsigned char* p = view.Row(y);
      for (int x = 0; x < width; ++x, p += 3) {
        const unsigned char label = labels[x];
        if (!colours.has[label]) continue;
        const PixelBgr& c = colours.colour[label];
        p[0] = c.blue;
        p[1] = c.green;
        p[2] = c.red;
      }
    }
  });
}

}  // namespace vorlane::detail
