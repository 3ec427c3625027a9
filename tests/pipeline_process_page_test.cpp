// The road as a library call: formats, methods and what the result reports.
#include <gtest/gtest.h>
#include <vorlane/process.h>

#include "support/pipeline_rig.h"

namespace pipetest {
namespace {

// A grey page with dark squares of value 40 on paper of value 220.
std::unique_ptr<CGreyScaleImage> Squares(int dpi) {
  auto page = std::make_unique<CGreyScaleImage>();
  page->Create(64, 48, RGB(0, 220, 0), L"squares");
  page->SetDPI(dpi);
  for (int y = 8; y < 20; ++y)
    for (int x = 0; x < 64; ++x)
      if (x % 16 >= 4 && x % 16 < 12) page->SetRGBColor(x, y, RGB(40, 40, 40));
  return page;
}

TEST(ProcessPage, HalfWindowFollowsTheResolution) {
  // 1 is what new images carry: no resolution.
  for (const auto& [dpi, half] : {std::pair{300, 15}, {600, 30}, {50, 2}, {1, 15}, {0, 15}})
    EXPECT_EQ(vorlane::DefaultHalfWindow(dpi), half) << dpi;
  auto page = Squares(150);
  const vorlane::ProcessResult r = vorlane::ProcessPage(*page, {});
  EXPECT_EQ(r.halfWindow, 7);
  EXPECT_EQ(r.threshold, -1);  // local: no single threshold
}

TEST(ProcessPage, ColourPagesGetAGreyCopyAndKeepTheirPixels) {
  auto page = SmallPage(true, 120, 90);
  const unsigned long before = page->GetRGBColor(5, 5);
  const vorlane::ProcessResult r = vorlane::ProcessPage(*page, {});
  ASSERT_EQ(r.status, vorlane::ProcessResult::Status::done) << r.error;
  ASSERT_NE(r.grey, nullptr);
  EXPECT_EQ(r.labelled, r.grey.get());
  EXPECT_EQ(page->GetRGBColor(5, 5), before);
  EXPECT_EQ(r.stages.front().name, "grey");
  EXPECT_EQ(r.bilevel->GetWidth(), 120);
}

TEST(ProcessPage, GlobalAndAutomaticThresholdsReportTheirValue) {
  vorlane::ProcessOptions options;
  options.method = vorlane::ThresholdMethod::global;
  options.globalThreshold = 100;
  options.connect8 = false;
  auto page = Squares(0);
  vorlane::ProcessResult r = vorlane::ProcessPage(*page, options);
  EXPECT_EQ(r.threshold, 100);
  ASSERT_EQ(r.components.size(), 4u);
  const auto& c = r.components[1];
  EXPECT_EQ((std::vector<int>{c.left, c.width, c.height, c.size}),
            (std::vector<int>{20, 8, 12, 96}));
  EXPECT_FLOAT_EQ(c.centreY, 13.5f);

  options.method = vorlane::ThresholdMethod::weszka;
  page = Squares(0);
  r = vorlane::ProcessPage(*page, options);
  EXPECT_EQ(r.threshold, 40);  // the largest grey value that became ink
  EXPECT_EQ(r.components.size(), 4u);
}

TEST(ProcessPage, EmptyPagesFailAndStopRequestsCancel) {
  CGreyScaleImage empty;
  const vorlane::ProcessResult failed = vorlane::ProcessPage(empty, {});
  EXPECT_EQ(failed.status, vorlane::ProcessResult::Status::failed);
  EXPECT_EQ(failed.error, "the page is empty");

  auto page = Squares(0);
  vorlane::ProcessOptions options;
  options.stopRequested = [] { return true; };
  const vorlane::ProcessResult stopped = vorlane::ProcessPage(*page, options);
  EXPECT_EQ(stopped.status, vorlane::ProcessResult::Status::cancelled);
  EXPECT_TRUE(stopped.components.empty());
}

}  // namespace
}  // namespace pipetest
