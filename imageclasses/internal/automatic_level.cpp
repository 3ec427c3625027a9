// The automatic level of a greyscale image from its map-selected histogram and its rows.
#include "imageclasses/internal/automatic_level.h"

#include <cstdint>
#include <cstring>
#include <typeinfo>

#include "imageclasses/greyscaleimage.h"
#include "imageclasses/internal/format_access.h"
#include "imageclasses/internal/map_selection.h"
#include "kernels/histogram/histograms.h"
#include "kernels/pixels/rectangles.h"
#include "platform/diagnostics.h"

namespace vorlane::detail {

namespace {

// Whether the histogram of the whole image that AutomaticLevelOf takes is that of every pixel
// of rect: rect covers the image, no map leaves pixels out, and GetHistograms is the
// greyscale image's own (not a subclass's).
bool HistogramIsOfRect(const CGreyScaleImage& image, const CRect& rect) {
  if (typeid(image) != typeid(CGreyScaleImage)) return false;
  if (rect.left != 0 || rect.top != 0 || rect.right != image.GetWidth() ||
      rect.bottom != image.GetHeight()) {
    return false;
  }
  const ByteSelection taken = NotMarkedBackground(image);
  if (!taken.map.data) return taken.all;
  // The map leaves a pixel out only when its byte has a bit of the background label; the
  // bitwise or of all its bytes tells whether any does.
  unsigned char label = 0;
  for (int bit = 0; bit < 8; ++bit) {
    if (!taken.accept[size_t{1} << bit]) label = static_cast<unsigned char>(label | (1 << bit));
  }
  if (label == 0) return true;
  const size_t bytes =
      static_cast<size_t>(image.GetWidth()) * static_cast<size_t>(image.GetHeight());
  const unsigned char* map = taken.map.data;
  uint64_t any = 0;
  size_t i = 0;
  for (; i + 8 <= bytes; i += 8) {
    uint64_t word;
    std::memcpy(&word, map + i, 8);
    any |= word;
  }
  for (; i < bytes; ++i) any |= map[i];
  any |= any >> 32;
  any |= any >> 16;
  any |= any >> 8;
  return (any & label) == 0;
}

}  // namespace

AutomaticLevel AutomaticLevelOf(CGreyScaleImage& image, CRect& rect) {
  NormaliseThresholdRect(rect, image.GetWidth(), image.GetHeight());
  const unsigned char* const* rows = FormatAccess::View(&image).rows;
  AutomaticLevel level;
  if (HistogramIsOfRect(image, rect)) {
    level = WeszkaRosenfeldLevelOfRect(rows, rect);
  } else {
    long hist[256];
    long* histograms[1] = {hist};
    RECT whole{0, 0, 0, 0};
    image.GetHistograms(histograms, kHistLuminance, whole, 0, 0, 0);
    level = WeszkaRosenfeldLevel(rows, rect, hist);
  }
  if (!level.twoPeaks) Trace("WARNING: Thresholding: Smoothing failed to produce 2 peaks\n");
  return level;
}

}  // namespace vorlane::detail
