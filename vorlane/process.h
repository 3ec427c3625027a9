// The typical road through the library as one call: a page becomes greyscale, is binarised
// into a bi-level image, optionally straightened, and segmented into components.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "vorlane/pipeline/vocabulary.h"
#include "vorlane/skew.h"

class CBiLevelImage;
class CGreyScaleImage;
class CImage;

namespace vorlane {

struct ProcessOptions {
  ThresholdMethod method = ThresholdMethod::niblack;
  // Niblack half window; 0 derives it from the page's resolution (dpi / 20, at least 1),
  // or takes 15 when the page has none.
  int halfWindow = 0;
  // Global threshold: grey values above it become background.
  int globalThreshold = 128;
  // Straightens a page whose content is turned counter-clockwise by this many degrees (the
  // sign convention of EstimateSkew): the page is turned clockwise by it, keeping its size.
  // Grey and colour pages are turned before the threshold, bi-level pages as they are.
  double deskewDegrees = 0.0;
  // Estimates the skew (EstimateSkew with skew) instead of deskewDegrees, and straightens
  // the page by the estimate when it is trusted.
  bool deskewAuto = false;
  SkewOptions skew;
  bool connect8 = true;
  // Polled between stages; true stops the road (the result is then cancelled).
  std::function<bool()> stopRequested;
  // Told the name of each stage as it starts: "grey", "deskew", "threshold", "components"
  // (a bi-level page is deskewed where the threshold would be).
  std::function<void(const char* stage)> onStage;
};

// One component of the result: bounding box (left, top, width, height), pixel count and
// centre of gravity.
struct ComponentSummary {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  int size = 0;
  float centreX = 0.0f;
  float centreY = 0.0f;
};

struct StageTime {
  std::string name;
  double seconds = 0.0;
};

struct ProcessResult {
  enum class Status { done, cancelled, failed };
  Status status = Status::failed;
  std::string error;  // why the road failed, for Status::failed
  // The greyscale page the threshold labelled (its "Standard" map marks the background):
  // the caller's page when it was greyscale or bi-level, else owned by grey.
  CImage* labelled = nullptr;
  // The bi-level result holding the maps and the components: the caller's page when it was
  // bi-level, else owned by bilevelOwned.
  CBiLevelImage* bilevel = nullptr;
  std::unique_ptr<CGreyScaleImage> grey;
  std::unique_ptr<CBiLevelImage> bilevelOwned;
  int halfWindow = 0;  // the Niblack half window used, 0 for the other methods
  // The global threshold applied; for Weszka-Rosenfeld the largest grey value that became
  // foreground (-1 when none did); -1 for Niblack, whose threshold is local.
  int threshold = -1;
  double angleDegrees = 0.0;   // the skew the page was straightened by; 0 when not turned
  bool skewEstimated = false;  // whether skew holds the estimate of an automatic deskew
  SkewEstimate skew;
  std::vector<ComponentSummary> components;
  std::vector<StageTime> stages;  // in the order they ran
};

// Whether a page's dots per inch are a real resolution: new and loaded TIFF images carry 1,
// which stands for none; anything below 50 is taken as none.
bool HasResolution(int dpi);

// The half window that halfWindow 0 stands for on a page of this resolution.
int DefaultHalfWindow(int dpi);

// Runs the road on page. Greyscale and bi-level pages are worked on in place (the threshold
// labels a grey page's "Standard" map; a bi-level page is itself deskewed and segmented);
// other formats are converted to a new greyscale image first. Never throws for a bad page:
// an empty page or a failed step gives Status::failed with the reason.
ProcessResult ProcessPage(CImage& page, const ProcessOptions& options);

}  // namespace vorlane
