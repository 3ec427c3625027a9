// Skew estimation of a page: format dispatch, region, working resolution, the ink that votes,
// then the search and the verdict.
#include "vorlane/skew.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "imageclasses/greyscaleimage.h"
#include "imageclasses/image.h"
#include "imageclasses/internal/format_access.h"
#include "kernels/pixels/rectangles.h"
#include "kernels/skew/page_ink.h"
#include "kernels/skew/shear_plane.h"
#include "kernels/skew/skew_search.h"
#include "kernels/skew/voting_ink.h"

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
// A rival peak rising this far (as a share of the best one's rise) makes the angle ambiguous.
constexpr double kRivalLimit = 0.5;
// From this angle on, lines fall by a row or more across a strip and blur its counts: a page
// that shows no sharp enough lines is searched again sheared by the angle found.
constexpr double kShearAgainFrom = 2.0;

bool Valid(const SkewOptions& o) {
  return o.rangeDegrees > 0.0 && o.rangeDegrees <= kLargestRange &&
         o.precisionDegrees >= kFinestPrecision && o.precisionDegrees <= o.rangeDegrees &&
         o.minConfidence >= 0.0 && o.minConfidence <= 1.0;
}

SkewEstimate Untrusted(SkewReason reason, double confidence = 0.0) {
  SkewEstimate e;
  e.confidence = confidence;
  e.reason = reason;
  return e;
}

// The zero rows above and below each strip that hold its shift at the largest angle searched,
// for strips spread over span pixels.
int ShiftMargin(const SkewSearchSettings& settings, int span) {
  const double tangent = std::tan(SkewSearchReach(settings) * std::numbers::pi / 180.0);
  return static_cast<int>(std::ceil(tangent * span / 2.0)) + 1;
}

SkewEstimate Estimate(const PixelView& view, const SkewOptions& options) {
  RECT rect = options.region;
  NormaliseThresholdRect(rect, view.width, view.height);
  if (rect.right - rect.left < 2 * kSkewStripWidth || rect.bottom - rect.top < kLeastRows)
    return Untrusted(SkewReason::blank);
  // The ink at the working resolution (0 ink, 1 paper), of which only text-sized components
  // are kept.
  BytePlane ink;
  ReduceDarkest(view.rows, rect,
                SkewWorkingReduction(rect.right - rect.left, rect.bottom - rect.top), ink);
  if (view.format != PixelFormat::kBiLevel) MarkGreyInk(ink);
  const double area = static_cast<double>(ink.width) * static_cast<double>(ink.height);
  const long long leastInk = static_cast<long long>(std::ceil(kLeastInkShare * area));
  // A copy for a second look with the lines of drawings voting too.
  BytePlane allInk;
  allInk.Allocate(ink.width, ink.height);
  std::copy(ink.bytes.begin(), ink.bytes.end(), allInk.bytes.begin());
  const InkCensus census = KeepVotingInk(ink, leastInk);
  if (census.content < leastInk) return Untrusted(SkewReason::blank);

  const SkewSearchSettings settings{options.rangeDegrees, options.precisionDegrees};
  const RECT all{0, 0, ink.width, ink.height};
  const auto search = [&](const BytePlane& plane) {
    const RECT whole{0, 0, plane.width, plane.height};
    return SearchSkew(
        CountStripInk(plane.rows.data(), whole, 0, ShiftMargin(settings, plane.width)), settings);
  };
  SkewSearchResult found;
  if (census.voting >= leastInk) found = search(ink);
  if (found.confidence < options.minConfidence &&
      std::fabs(found.angleDegrees) >= kShearAgainFrom && census.voting * 4 >= census.content) {
    // Sheared by the angle found, the lines of text lie along the rows, where the strips see
    // them sharp; the second search finds the rest of the angle (two shears add their
    // tangents). Only where text makes most of the ink: on a page of pictures the few specks
    // that vote lie inside a picture, whose edges the shear would sharpen as well.
    const double tangent = std::tan(found.angleDegrees * std::numbers::pi / 180.0);
    BytePlane sheared;
    ShearPlane(ink, tangent, sheared);
    SkewSearchResult again = search(sheared);
    if (again.peakInside && again.confidence > found.confidence) {
      const double angle =
          std::atan(tangent + std::tan(again.angleDegrees * std::numbers::pi / 180.0)) * 180.0 /
          std::numbers::pi;
      again.peakInside = std::fabs(angle) <= options.rangeDegrees + options.precisionDegrees / 10.0;
      again.angleDegrees = std::clamp(angle, -options.rangeDegrees, options.rangeDegrees);
      found = again;
    }
  }
  if (found.confidence < options.minConfidence && !census.linesOnly) {
    // Text alone shows no sharp lines: on drawings and graphs the long thin strokes (axes,
    // wires, rules) beside the labels do.
    KeepVotingInk(allInk, leastInk, true);
    const SkewSearchResult withLines = search(allInk);
    if (withLines.confidence > found.confidence) {
      found = withLines;
      ink = std::move(allInk);
    }
  }
  if (found.confidence < options.minConfidence) {
    if (census.voting < leastInk && found.coarsePeak == 0) return Untrusted(SkewReason::noLines);
    // No sharp lines along the rows: a page on its side shows them across its rows instead.
    const StripCounts bands =
        CountBandInk(ink.rows.data(), all, 0, ShiftMargin(settings, ink.height));
    const SkewSearchResult across = SearchCoarsely(bands, settings);
    const bool sideways =
        across.confidence >= options.minConfidence && across.coarsePeak > found.coarsePeak;
    return Untrusted(sideways ? SkewReason::outOfRange : SkewReason::noLines, found.confidence);
  }
  if (!found.peakInside) return Untrusted(SkewReason::outOfRange, found.confidence);
  if (found.rival >= kRivalLimit) return Untrusted(SkewReason::ambiguous, found.confidence);
  SkewEstimate estimate;
  estimate.angleDegrees = found.angleDegrees;
  estimate.confidence = found.confidence;
  estimate.trusted = true;
  return estimate;
}

}  // namespace

const char* SkewReasonText(SkewReason reason) {
  switch (reason) {
    case SkewReason::none:
      return "";
    case SkewReason::blank:
      return "blank";
    case SkewReason::noLines:
      return "no lines";
    case SkewReason::ambiguous:
      return "ambiguous";
    case SkewReason::outOfRange:
      return "out of range";
  }
  return "";
}

SkewEstimate EstimateSkew(const CImage& page, const SkewOptions& options) {
  if (!Valid(options)) return {};
  // Only read: the view needs the mutable image for its row table.
  CImage* image = const_cast<CImage*>(&page);
  const PixelView view = FormatAccess::View(image);
  if (!view.HasPixels() || view.width <= 0 || view.height <= 0) return Untrusted(SkewReason::blank);
  if (view.format == PixelFormat::kBiLevel || view.format == PixelFormat::kGreyScale)
    return Estimate(view, options);
  CGreyScaleImage grey;
  if (!grey.CreateFromImage(image, 0)) return Untrusted(SkewReason::blank);
  return Estimate(FormatAccess::View(&grey), options);
}

}  // namespace vorlane
