// The CImage defaults of the histogram family: rectangle normalisation of histograms and
// equalization, and the foreground pixel count.
#include "imageclasses/image.h"
#include "imageclasses/internal/map_selection.h"
#include "kernels/histogram/point_operations.h"
#include "kernels/pixels/rectangles.h"

int CImage::GetHistograms(long**, unsigned long, RECT& rect, unsigned char, int, unsigned char) {
  vorlane::detail::NormaliseHistogramRect(rect, m_nWidth, m_nHeight);
  return 1;
}

void CImage::HistogramEqualization(RECT& rect) {
  if (rect.left == 0 && rect.top == 0 && rect.right == 0 && rect.bottom == 0) {
    rect.right = m_nWidth;
    rect.bottom = m_nHeight;
  }
}

void CImage::RecalculateNumberOfPixels() {
  using namespace vorlane::detail;
  m_lNumberOfPixels =
      static_cast<LONG>(CountSelected(m_nWidth, m_nHeight, NotMarkedBackground(*this)));
}
