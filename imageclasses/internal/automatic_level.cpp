// The automatic level of a greyscale image from its map-selected histogram and its rows.
#include "imageclasses/internal/automatic_level.h"

#include "imageclasses/greyscaleimage.h"
#include "imageclasses/internal/format_access.h"
#include "kernels/histogram/histograms.h"
#include "kernels/pixels/rectangles.h"
#include "platform/diagnostics.h"

namespace vorlane::detail {

AutomaticLevel AutomaticLevelOf(CGreyScaleImage& image, CRect& rect) {
  NormaliseThresholdRect(rect, image.GetWidth(), image.GetHeight());
  long hist[256];
  long* histograms[1] = {hist};
  RECT whole{0, 0, 0, 0};
  image.GetHistograms(histograms, kHistLuminance, whole, 0, 0, 0);
  const AutomaticLevel level = WeszkaRosenfeldLevel(FormatAccess::View(&image).rows, rect, hist);
  if (!level.twoPeaks) Trace("WARNING: Thresholding: Smoothing failed to produce 2 peaks\n");
  return level;
}

}  // namespace vorlane::detail
