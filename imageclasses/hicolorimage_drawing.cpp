// CHiColorImage drawing: its pixels copied onto a device context, and lines drawn into them.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "imageclasses/hicolorimage.h"
#include "kernels/display/display_bitmaps.h"
#include "kernels/display/line.h"
#include "platform/dc.h"

namespace {

// A point coordinate of the line form: truncated toward zero, held within int (a line
// nearly parallel to an axis gives coordinates far beyond any image); not a number is 0,
// and the caller draws nothing then.
int64_t Truncated(float value) {
  if (std::isnan(value)) return 0;
  if (value >= static_cast<float>(INT_MAX)) return INT_MAX;
  if (value <= static_cast<float>(INT_MIN)) return INT_MIN;
  return static_cast<int64_t>(value);
}

int Shifted(int64_t value, int offset) {
  const int64_t shifted = value + offset;
  return static_cast<int>(std::clamp<int64_t>(shifted, INT_MIN, INT_MAX));
}

}  // namespace

void CHiColorImage::Draw(HDC dc, int x, int y, unsigned long rasterOperation) {
  FillBitmapInfo();
  if (!dc || !dc->GetSelectedBitmap() || !HasPixels(m_pData)) return;
  vorlane::detail::CopyWithRasterOperation(m_pData, m_nBytesPerLine, m_nWidth, m_nHeight,
                                           vorlane::detail::ArrayOf(*dc->GetSelectedBitmap()), x, y,
                                           static_cast<DWORD>(rasterOperation));
}

void CHiColorImage::DrawLine(int x1, int y1, int x2, int y2) {
  if (!m_ppLines) return;
  // Points within the drawing limits (edges included) that lie inside the image.
  vorlane::detail::DrawBox box;
  box.left = std::max<int>(m_rcDrawLimits.left, 0);
  box.top = std::max<int>(m_rcDrawLimits.top, 0);
  box.right = std::min<int>(m_rcDrawLimits.right, m_nWidth - 1);
  box.bottom = std::min<int>(m_rcDrawLimits.bottom, m_nHeight - 1);
  const vorlane::detail::PixelBgr colour{GetBValue(m_crDrawFore), GetGValue(m_crDrawFore),
                                         GetRValue(m_crDrawFore)};
  vorlane::detail::DrawLineSegment(m_ppLines, box, x1, y1, x2, y2, colour);
  m_bDirty = 1;
}

void CHiColorImage::DrawLine(float rho, float theta, int xOffset, int yOffset) {
  int64_t x1, y1, x2, y2;
  if (theta == 0.0f) {
    x1 = x2 = Truncated(rho);
    y1 = 0;
    y2 = int64_t{m_rcDrawLimits.bottom} - m_rcDrawLimits.top;
    if (std::isnan(rho)) return;
  } else {
    const float sine = std::sin(theta);
    const float cosine = std::cos(theta);
    const int64_t width = int64_t{m_rcDrawLimits.right} - m_rcDrawLimits.left;
    const float start = rho / sine;
    const float end = (rho - cosine * static_cast<float>(width)) / sine;
    if (std::isnan(start) || std::isnan(end)) return;
    x1 = 0;
    y1 = Truncated(start);
    x2 = width;
    y2 = Truncated(end);
  }
  DrawLine(Shifted(x1, xOffset), Shifted(y1, yOffset), Shifted(x2, xOffset), Shifted(y2, yOffset));
}
