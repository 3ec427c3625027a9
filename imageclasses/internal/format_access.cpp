// The view of an image's pixels by its format: the one place that tells the formats apart.
#include "imageclasses/internal/format_access.h"

#include "imageclasses/bilevelimage.h"
#include "imageclasses/greyscaleimage.h"
#include "imageclasses/hicolorimage.h"
#include "imageclasses/locolorimage.h"

namespace vorlane::detail {
PixelView FormatAccess::View(CImage* image) {
  const auto viewOf = [](auto& format, PixelFormat kind, DWORD* palette) {
    PixelView view;
    view.format = kind;
    view.width = format.m_nWidth;
    view.height = format.m_nHeight;
    view.bytesPerLine = format.m_nBytesPerLine;
    view.buffer = format.m_pData;
    view.rows = format.m_pData ? format.m_ppLines : nullptr;
    view.palette = palette;
    return view;
  };
  if (!image) return {};
  if (auto* bi = dynamic_cast<CBiLevelImage*>(image)) {
    return viewOf(*bi, PixelFormat::kBiLevel, nullptr);
  }
  if (auto* lo = dynamic_cast<CLoColorImage*>(image)) {
    return viewOf(*lo, PixelFormat::kLoColour, lo->m_pPalette);
  }
  if (auto* grey = dynamic_cast<CGreyScaleImage*>(image)) {
    return viewOf(*grey, PixelFormat::kGreyScale, nullptr);
  }
  if (auto* hi = dynamic_cast<CHiColorImage*>(image)) {
    return viewOf(*hi, PixelFormat::kHiColour, nullptr);
  }
  return {};
}

}  // namespace vorlane::detail
