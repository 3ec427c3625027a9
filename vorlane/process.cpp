// The typical road through the library: greyscale, threshold, deskew, components.
#include "vorlane/process.h"

#include <algorithm>
#include <chrono>
#include <numbers>

#include "imageclasses/bilevelimage.h"
#include "imageclasses/comp.h"
#include "imageclasses/greyscaleimage.h"
#include "imageclasses/image.h"
#include "imageclasses/internal/automatic_level.h"

namespace vorlane {
namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned long kWhite = 0x00FFFFFFul;
// Niblack half window per dot per inch: 15 at 300 dpi (about 1.3 mm, a text stroke's
// neighbourhood).
constexpr int kDpiPerHalfWindowStep = 20;
constexpr int kHalfWindowWithoutResolution = 15;
constexpr int kLowestResolution = 50;

// Times each stage and reports its start; answers whether the road must stop.
class StageRunner {
 public:
  StageRunner(const ProcessOptions& options, ProcessResult& result)
      : m_options(options), m_result(result) {}

  void Begin(const char* name) {
    if (m_options.onStage) m_options.onStage(name);
    m_result.stages.push_back({name, 0.0});
    m_start = Clock::now();
  }
  void End() {
    m_result.stages.back().seconds = std::chrono::duration<double>(Clock::now() - m_start).count();
  }
  // True (and the result marked cancelled) when the caller asked to stop or an image of the
  // road received a cancel request from the keep-alive handler.
  bool Stopped(std::initializer_list<CImage*> images) {
    bool stop = m_options.stopRequested && m_options.stopRequested();
    for (CImage* image : images)
      if (image && image->GetCancel()) stop = true;
    if (stop) m_result.status = ProcessResult::Status::cancelled;
    return stop;
  }

 private:
  const ProcessOptions& m_options;
  ProcessResult& m_result;
  Clock::time_point m_start;
};

// Straightens image (the page of the road that is to be thresholded or segmented) by the
// given angle, or by its estimated skew when that is trusted. The maps follow the image.
void Straighten(CImage& image, const ProcessOptions& options, ProcessResult& result) {
  double angle = options.deskewDegrees;
  if (options.deskewAuto) {
    result.skewEstimated = true;
    result.skew = EstimateSkew(image, options.skew);
    angle = result.skew.trusted ? result.skew.angleDegrees : 0.0;
  }
  if (angle == 0.0) return;
  result.angleDegrees = angle;
  // A positive rotation angle turns clockwise, undoing a counter-clockwise skew.
  image.Rotate(angle * std::numbers::pi / 180.0, kWhite, 1);
}

ProcessResult Failed(ProcessResult result, std::string why) {
  result.status = ProcessResult::Status::failed;
  result.error = std::move(why);
  return result;
}

}  // namespace

bool HasResolution(int dpi) { return dpi >= kLowestResolution; }

int DefaultHalfWindow(int dpi) {
  return HasResolution(dpi) ? std::max(1, dpi / kDpiPerHalfWindowStep)
                            : kHalfWindowWithoutResolution;
}

ProcessResult ProcessPage(CImage& page, const ProcessOptions& options) {
  ProcessResult result;
  StageRunner stage(options, result);
  const int width = page.GetWidth();
  const int height = page.GetHeight();
  if (width <= 0 || height <= 0) return Failed(std::move(result), "the page is empty");
  page.SetCancel(0);
  if (stage.Stopped({})) return result;

  CImage* grey = &page;
  result.bilevel = dynamic_cast<CBiLevelImage*>(&page);
  if (!result.bilevel && !dynamic_cast<CGreyScaleImage*>(&page)) {
    stage.Begin("grey");
    result.grey = std::make_unique<CGreyScaleImage>();
    if (!result.grey->CreateFromImage(&page, 0))
      return Failed(std::move(result), "the page cannot be converted to greyscale");
    grey = result.grey.get();
    stage.End();
    if (stage.Stopped({&page, grey})) return result;
  }
  result.labelled = grey;

  if (options.deskewAuto || options.deskewDegrees != 0.0) {
    stage.Begin("deskew");
    Straighten(*grey, options, result);
    stage.End();
    if (stage.Stopped({grey})) return result;
  }

  if (!result.bilevel) {
    stage.Begin("threshold");
    result.bilevelOwned = std::make_unique<CBiLevelImage>();
    result.bilevel = result.bilevelOwned.get();
    // The size after the turn: a rotation keeps it unless the page was too wide and low to
    // be cut back.
    if (!result.bilevel->Create(grey->GetWidth(), grey->GetHeight(), kWhite, page.GetName()))
      return Failed(std::move(result), "no memory for the bi-level page");
    result.bilevel->SetDPI(page.GetDPI());
    grey->SafeGetImageMap(static_cast<unsigned char>(MAP_STANDARD));
    CRect whole(-1, -1, -1, -1);
    switch (options.method) {
      case ThresholdMethod::niblack:
        result.halfWindow =
            options.halfWindow > 0 ? options.halfWindow : DefaultHalfWindow(page.GetDPI());
        grey->Threshold_Niblack(result.halfWindow, whole, result.bilevel, THRESHOLD_OUTPUT_ALL);
        break;
      case ThresholdMethod::weszka: {
        // The class's automatic threshold in its two steps, so that the level's histogram
        // also tells the largest grey value that becomes foreground (grey is greyscale here).
        const detail::AutomaticLevel automatic =
            detail::AutomaticLevelOf(dynamic_cast<CGreyScaleImage&>(*grey), whole);
        grey->Threshold(automatic.level, whole, result.bilevel);
        result.threshold = automatic.largestForeground;
        break;
      }
      case ThresholdMethod::global:
        result.threshold = options.globalThreshold;
        grey->Threshold(options.globalThreshold, whole, result.bilevel);
        break;
    }
    // The bi-level page carries the labelled maps, so that they follow it through the
    // rotation and into the archive.
    result.bilevel->CopyMapArrays(grey);
    stage.End();
    if (stage.Stopped({grey, result.bilevel})) return result;
  }

  stage.Begin("components");
  result.bilevel->CCAnalysis(options.connect8 ? 1 : 0);
  const int count = result.bilevel->GetMaxComponent();
  result.components.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    CComp* comp = result.bilevel->GetComponent(i);
    const CRect box = comp->GetBoundingRect();  // inclusive edges
    result.components.push_back({static_cast<int>(box.left), static_cast<int>(box.top),
                                 static_cast<int>(box.right - box.left + 1),
                                 static_cast<int>(box.bottom - box.top + 1), comp->GetSize(),
                                 comp->GetCenterX(), comp->GetCenterY()});
  }
  stage.End();
  if (stage.Stopped({result.bilevel})) return result;
  result.status = ProcessResult::Status::done;
  return result;
}

}  // namespace vorlane
