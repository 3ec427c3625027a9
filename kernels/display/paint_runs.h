// Painting and tinting the runs of components, and the colours of map labels, into display
// bitmap bits.
#pragma once

#include <array>

#include "kernels/components/run.h"
#include "kernels/display/bitmap_view.h"

namespace vorlane::detail {

// Blue, green and red bytes of a colour, in pixel byte order.
struct PixelBgr {
  unsigned char blue = 0;
  unsigned char green = 0;
  unsigned char red = 0;
};

// Writes colour into every pixel of runs[0..count) that lies inside view; run parts outside
// the bitmap (rows outside 0..height-1, columns outside 0..width-1) are left out. The depth
// of view is accepted (24 or 32 bits per pixel).
void PaintRuns(const BitmapView& view, const Run* runs, int count, PixelBgr colour);

// Blends every pixel of the runs inside view with tint: each of blue, green and red becomes
// (old + tint) / 2, integer division. Clipped as PaintRuns.
void TintRuns(const BitmapView& view, const Run* runs, int count, PixelBgr tint);

// The colour of each of the 256 byte values of a map, as the map gives them; has[v] is
// false for a value without a colour.
struct LabelColours {
  std::array<bool, 256> has{};
  std::array<PixelBgr, 256> colour{};
  bool any = false;
};

// The label colours of a map made ready for rows of four-byte pixels: pixel (x, y) takes
// the colour of map byte mapRows[y][x] when it has one, else is left, in the part that both
// cover.
class LabelPainter {
 public:
  LabelPainter(const unsigned char* const* mapRows, int mapWidth, int mapHeight,
               const LabelColours& colours);
  // Whether any label has a colour (and there are map rows).
  bool Any() const { return m_rows && m_any; }
  // Paints row y of a bitmap of four-byte pixels, width pixels wide, at pixels.
  void PaintRow(unsigned char* pixels, int y, int width) const;

 private:
  const unsigned char* const* m_rows;
  int m_width, m_height;
  bool m_any, m_skipZero;
  // Per label, the bits of a four-byte pixel (blue in the low byte) that stay and the colour
  // put in the others.
  std::array<DWORD, 256> m_keep, m_paint;
};

// Paints the label colours of a map over view: pixel (x, y) takes the colour of map byte
// mapRows[y][x] when it has one, else is left. Only the part both cover is painted
// (columns below min(width, mapWidth), rows below min(height, mapHeight)).
void PaintLabelColours(const BitmapView& view, const unsigned char* const* mapRows, int mapWidth,
                       int mapHeight, const LabelColours& colours);

}  // namespace vorlane::detail
