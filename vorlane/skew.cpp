// Skew estimation of a page: format dispatch, region and ink threshold, then the search.
#include "vorlane/skew.h"

#include <cmath>
#include <cstdint>
#include <numbers>

#include "imageclasses/greyscaleimage.h"
#include "imageclasses/image.h"
#include "imageclasses/internal/format_access.h"
#include "kernels/histogram/histograms.h"
#include "kernels/pixels/rectangles.h"
#include "kernels/skew/skew_search.h"
#include "kernels/threshold/weszka_rosenfeld.h"

using namespace vorlane::detail;

namespace vorlane {
namespace {

constexpr double kLargestRange = 45.0;
// Finer steps would multiply the angles of the coarse sweep without a gain: a fifth of it is
// far below what a pixel of shift across a page can tell.
constexpr double kFinestPrecision = 0.01;
constexpr int kLeastRows = 16;
// Pages with fewer ink pixels than this share of the searched area are taken as blank:
// dust and a few specks do not make lines.
constexpr double kLeastInkShare = 0.001;

bool Valid(const SkewOptions& o) {
  return o.rangeDegrees > 0.0 && o.rangeDegrees <= kLargestRange &&
         o.precisionDegrees >= kFinestPrecision && o.precisionDegrees <= o.rangeDegrees &&
         o.minConfidence >= 0.0 && o.minConfidence <= 1.0;
}

// The largest grey value that counts as ink in rect of the 1-byte rows: the automatic
// threshold between the two peaks of the region's histogram; -1 when there is none.
int GreyInkLimit(const unsigned char* const* rows, const RECT& rect) {
  long hist[256];
  GreyHistogram(rows, rect, ByteSelection{}, hist);
  return WeszkaRosenfeldLevel(rows, rect, hist).level;
}

SkewEstimate Estimate(const PixelView& view, const SkewOptions& options) {
  SkewEstimate none;
  RECT rect = options.region;
  NormaliseThresholdRect(rect, view.width, view.height);
  if (rect.right - rect.left < 2 * kSkewStripWidth || rect.bottom - rect.top < kLeastRows)
    return none;
  const int inkAtMost = view.format == PixelFormat::kBiLevel ? 0 : GreyInkLimit(view.rows, rect);
  if (inkAtMost < 0) return none;
  // Room above and below each strip for its shift at the largest angle searched.
  const SkewSearchSettings settings{options.rangeDegrees, options.precisionDegrees};
  const double halfWidth = (rect.right - rect.left) / 2.0;
  const double tangent = std::tan(SkewSearchReach(settings) * std::numbers::pi / 180.0);
  const int margin = static_cast<int>(std::ceil(tangent * halfWidth)) + 1;
  const StripCounts counts = CountStripInk(view.rows, rect, inkAtMost, margin);
  const double area =
      static_cast<double>(rect.right - rect.left) * static_cast<double>(rect.bottom - rect.top);
  if (static_cast<double>(counts.ink) < kLeastInkShare * area) return none;
  const SkewSearchResult found = SearchSkew(counts, settings);
  SkewEstimate estimate;
  estimate.confidence = found.confidence;
  estimate.trusted = found.peakInside && found.confidence >= options.minConfidence;
  if (estimate.trusted) estimate.angleDegrees = found.angleDegrees;
  return estimate;
}

}  // namespace

SkewEstimate EstimateSkew(const CImage& page, const SkewOptions& options) {
  if (!Valid(options)) return {};
  // Only read: the view needs the mutable image for its row table.
  CImage* image = const_cast<CImage*>(&page);
  const PixelView view = FormatAccess::View(image);
  if (!view.HasPixels() || view.width <= 0 || view.height <= 0) return {};
  if (view.format == PixelFormat::kBiLevel || view.format == PixelFormat::kGreyScale)
    return Estimate(view, options);
  CGreyScaleImage grey;
  if (!grey.CreateFromImage(image, 0)) return {};
  return Estimate(FormatAccess::View(&grey), options);
}

}  // namespace vorlane
