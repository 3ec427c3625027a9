// Thresholding of the pixel formats: the global, local (Niblack) and automatic
// (Weszka-Rosenfeld) thresholds of greyscale images and the advanced colour-range threshold.
#include <cstdint>

#include "imageclasses/bilevelimage.h"
#include "imageclasses/greyscaleimage.h"
#include "imageclasses/hicolorimage.h"
#include "imageclasses/imagemap.h"
#include "imageclasses/internal/automatic_level.h"
#include "imageclasses/internal/format_access.h"
#include "imageclasses/internal/map_selection.h"
#include "kernels/histogram/histograms.h"
#include "kernels/pixels/rectangles.h"
#include "kernels/threshold/advanced_threshold.h"
#include "kernels/threshold/global_threshold.h"
#include "kernels/threshold/niblack.h"
#include "platform/diagnostics.h"

using namespace vorlane::detail;

namespace {

// The picture output of a threshold into out: the image's own rows (255 and 0) without a
// destination; a greyscale destination's rows (255 and 0) or a bi-level destination's (1 and
// 0) when it has the image's size. False for a destination of another size or class.
bool PictureOutput(CImage& image, unsigned char* const* ownRows, CImage* destination,
                   BinaryOutput& out) {
  if (!destination) {
    out.picture = ownRows;
    out.background = 255;
    return true;
  }
  const PixelView view = FormatAccess::View(destination);
  if (view.width != image.GetWidth() || view.height != image.GetHeight()) return false;
  if (view.format != PixelFormat::kGreyScale && view.format != PixelFormat::kBiLevel) {
    return false;
  }
  out.picture = view.rows;
  out.background = view.format == PixelFormat::kBiLevel ? 1 : 255;
  return true;
}

}  // namespace

void CGreyScaleImage::Threshold(int threshold, CRect& rect, CImage* destination) {
  BinaryOutput out;
  if (!PictureOutput(*this, m_ppLines, destination, out)) return;
  NormaliseThresholdRect(rect, m_nWidth, m_nHeight);
  if (!m_pData || !out.picture) return;
  CImageMap* standard = GetImageMap(static_cast<unsigned char>(MAP_STANDARD));
  out.map = RowsOf(standard, m_nWidth, m_nHeight);
  out.label = standard ? standard->GetPTByteLabel(L"Background") : 0;
  GlobalThreshold(m_ppLines, rect, threshold, out);
}

void CGreyScaleImage::Threshold_Niblack(int halfWindow, CRect& rect, CImage* destination,
                                        unsigned char outputs) {
  BinaryOutput out;
  if (!PictureOutput(*this, m_ppLines, destination, out)) return;
  CImageMap* standard = SafeGetImageMap(static_cast<unsigned char>(MAP_STANDARD));
  if (standard) standard->ClearMap(standard->GetPTByteLabel(L"Foreground"));
  NormaliseThresholdRect(rect, m_nWidth, m_nHeight);
  if (m_pData && out.picture) {
    if (outputs & THRESHOLD_OUTPUT_MAP) {
      out.map = RowsOf(standard, m_nWidth, m_nHeight);
      out.label = standard ? standard->GetPTByteLabel(L"Background") : 0;
    }
    if (!(outputs & THRESHOLD_OUTPUT_PICTURE)) out.picture = nullptr;
    // The kernel reads the current pixels, from a private copy when it writes them.
    NiblackThreshold(m_ppLines, rect, halfWindow, out);
  }
  // The image keeps no backup, neither one of this call nor an older one.
  if (!destination) DiscardBackup();
}

void CGreyScaleImage::Threshold_WeszkaRosenfeld(CRect& rect, CImage* destination) {
  Threshold(AutomaticLevelOf(*this, rect).level, rect, destination);
}

void CHiColorImage::ApplyAdvancedTreshold(int* parameters) {
  if (!parameters || !m_pData) return;
  const CurrentMapBackground bg = CurrentBackground(*this);
  AdvancedThreshold(m_ppLines, m_nWidth, m_nHeight, ForegroundPixels(*this), bg.rows, bg.label,
                    parameters);
}

void CBiLevelImage::ApplyAdvancedTreshold(int* parameters) {
  if (!parameters) return;
  TraceF(" Combine: %d, Monochrome : %d,%d\n", parameters[0], parameters[1], parameters[2]);
}
