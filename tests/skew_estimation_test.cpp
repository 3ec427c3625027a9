// Skew estimation on pages drawn at known angles: accuracy on pages with lines, refusal on
// pages without, the sign convention in every format and against the library's own rotation,
// and the options.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <tuple>

#include "support/skew_pages.h"
#include "vorlane/process.h"
#include "vorlane/vorlane.h"

namespace {

using skewpages::Kind;

constexpr int kWidth = 1240, kHeight = 1754;  // A4 at 150 dpi
constexpr int kAngles = 55;                   // -10 to 9.98 degrees in steps of 0.37
double AngleAt(int i) { return -10.0 + 0.37 * i; }

class SkewAccuracy : public testing::TestWithParam<Kind> {};

TEST_P(SkewAccuracy, WithinTheTargetOnLinedPagesAndUntrustedOnOthers) {
  // Text, frames and tables have lines to find; pictures and blank pages must not be trusted.
  const bool lines = GetParam() != Kind::picture && GetParam() != Kind::blank;
  const skewpages::Layout layout = skewpages::MakeLayout(GetParam(), kWidth, kHeight);
  for (int i = 0; i < kAngles; ++i) {
    const double angle = AngleAt(i);
    const auto page = skewpages::ToBiLevel(skewpages::Render(layout, angle));
    ASSERT_NE(page, nullptr);
    const vorlane::SkewEstimate e = vorlane::EstimateSkew(*page);
    // Trusted estimates within 0.05 degrees; untrusted ones exactly 0.
    EXPECT_EQ(e.trusted, lines) << angle << " confidence " << e.confidence;
    EXPECT_NEAR(e.angleDegrees, lines ? angle : 0.0, lines ? 0.05 : 0.0) << angle;
  }
}

INSTANTIATE_TEST_SUITE_P(Pages, SkewAccuracy, testing::ValuesIn(skewpages::kAllKinds),
                         [](const auto& info) { return skewpages::Name(info.param); });

// A page of parallel bars rising to the right, drawn pixel by pixel: positive angle.
TEST(SkewConvention, LinesRisingToTheRightArePositiveInEveryFormatAndRotateStraightensThem) {
  const double angle = 3.0, t = std::tan(angle * std::numbers::pi / 180.0);
  CBiLevelImage page;
  ASSERT_TRUE(page.Create(1600, 500, 0x00FFFFFF, L"bars"));
  for (int bar = 0; bar < 6; ++bar)
    for (int x = 20; x < 1580; ++x)
      for (int d = 0; d < 6; ++d) page.SetRGBColor(x, 120 + 50 * bar + d - int(t * x), 0);
  const vorlane::SkewEstimate e = vorlane::EstimateSkew(page);
  ASSERT_TRUE(e.trusted);
  EXPECT_NEAR(e.angleDegrees, angle, 0.05);
  // Grey and colour copies of the page give the same estimate.
  CGreyScaleImage grey;
  CHiColorImage colour;
  ASSERT_TRUE(grey.CreateFromImage(&page, 0));
  ASSERT_TRUE(colour.CreateFromImage(&page, 0));
  for (CImage* copy : std::initializer_list<CImage*>{&grey, &colour}) {
    const vorlane::SkewEstimate c = vorlane::EstimateSkew(*copy);
    EXPECT_EQ(std::tuple(c.angleDegrees, c.confidence, c.trusted),
              std::tuple(e.angleDegrees, e.confidence, true));
  }
  // Straightening is the library's rotation by the same angle in radians.
  page.Rotate(e.angleDegrees * std::numbers::pi / 180.0, 0x00FFFFFF, 1);
  const vorlane::SkewEstimate after = vorlane::EstimateSkew(page);
  EXPECT_TRUE(after.trusted);
  EXPECT_NEAR(after.angleDegrees, 0.0, 0.05);
}

// A text page scanned in grey under strong uneven light, turned by degrees.
skewpages::Pixels LitTextPage(double degrees) {
  skewpages::Pixels grey = skewpages::Grey(
      skewpages::Render(skewpages::MakeLayout(Kind::text, kWidth, kHeight), degrees), 40, 235);
  skewpages::Light(grey, 0.45, 10.0, 7);
  return grey;
}

TEST(SkewGreyPages, UnevenLightDoesNotHideTheLines) {
  for (const double angle : {-6.2, 0.8, 3.7, 13.1}) {
    const auto page = skewpages::ToGreyImage(LitTextPage(angle));
    const vorlane::SkewEstimate e = vorlane::EstimateSkew(*page);
    EXPECT_TRUE(e.trusted) << angle << " " << vorlane::SkewReasonText(e.reason);
    EXPECT_NEAR(e.angleDegrees, angle, 0.1);
    EXPECT_EQ(e.reason, vorlane::SkewReason::none);
  }
}

// Pages that must not be trusted, each with its reason.
struct UntrustedCase {
  const char* name;
  skewpages::Pixels (*make)();
  vorlane::SkewReason reason;
};

skewpages::Pixels NoisyBlank() {
  skewpages::Pixels paper = skewpages::Paper(kWidth, kHeight, 228);
  skewpages::Light(paper, 0.45, 12.0, 3);
  return paper;
}
skewpages::Pixels Photograph() {
  skewpages::Pixels page = skewpages::Paper(kWidth, kHeight, 228);
  skewpages::Photo(page, 0, 0, kWidth, kHeight, 11);
  return page;
}
skewpages::Pixels TurnedBy30() { return LitTextPage(30.0); }
skewpages::Pixels OnItsSide() { return LitTextPage(90.0); }
// Two columns of text turned by different angles, as on a page of pasted clippings.
skewpages::Pixels TwoAngles() {
  skewpages::Pixels left =
      skewpages::Render(skewpages::MakeLayout(Kind::text, kWidth, kHeight), 4.0);
  const skewpages::Pixels right =
      skewpages::Render(skewpages::MakeLayout(Kind::text, kWidth, kHeight), -4.0);
  for (int y = 0; y < kHeight; ++y)
    for (int x = kWidth / 2; x < kWidth; ++x)
      left.Row(y)[x] = right.bytes[static_cast<size_t>(y) * kWidth + x];
  return skewpages::Grey(left, 40, 235);
}

class SkewUntrusted : public testing::TestWithParam<UntrustedCase> {};

TEST_P(SkewUntrusted, AnswersZeroWithTheReason) {
  const auto page = skewpages::ToGreyImage(GetParam().make());
  const vorlane::SkewEstimate e = vorlane::EstimateSkew(*page);
  EXPECT_FALSE(e.trusted);
  EXPECT_EQ(e.angleDegrees, 0.0);
  EXPECT_STREQ(vorlane::SkewReasonText(e.reason), vorlane::SkewReasonText(GetParam().reason))
      << "confidence " << e.confidence;
}

INSTANTIATE_TEST_SUITE_P(
    Pages, SkewUntrusted,
    testing::Values(UntrustedCase{"blank", NoisyBlank, vorlane::SkewReason::blank},
                    UntrustedCase{"photograph", Photograph, vorlane::SkewReason::noLines},
                    UntrustedCase{"turned30", TurnedBy30, vorlane::SkewReason::outOfRange},
                    UntrustedCase{"sideways", OnItsSide, vorlane::SkewReason::outOfRange},
                    UntrustedCase{"twoangles", TwoAngles, vorlane::SkewReason::ambiguous}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SkewConvention, AutomaticDeskewLeavesAStraightPage) {
  const auto page = skewpages::ToGreyImage(LitTextPage(4.3));
  vorlane::ProcessOptions options;
  options.deskewAuto = true;
  const vorlane::ProcessResult result = vorlane::ProcessPage(*page, options);
  ASSERT_EQ(result.status, vorlane::ProcessResult::Status::done) << result.error;
  EXPECT_TRUE(result.skew.trusted);
  EXPECT_NEAR(result.angleDegrees, 4.3, 0.1);
  const vorlane::SkewEstimate after = vorlane::EstimateSkew(*result.bilevel);
  EXPECT_TRUE(after.trusted);
  EXPECT_NEAR(after.angleDegrees, 0.0, 0.05);
}

TEST(SkewOptionsTest, RegionRangeAndBadValues) {
  // Text in the top half only: the region of the text is trusted, the empty rest is not.
  skewpages::Layout layout = skewpages::MakeLayout(Kind::text, kWidth, kHeight);
  std::erase_if(layout.boxes, [](const skewpages::Box& b) { return b.v1 > kHeight / 2; });
  const auto page = skewpages::ToBiLevel(skewpages::Render(layout, 4.07));
  vorlane::SkewOptions options;
  options.region = RECT{0, 0, kWidth, kHeight / 2};
  const vorlane::SkewEstimate top = vorlane::EstimateSkew(*page, options);
  EXPECT_TRUE(top.trusted);
  EXPECT_NEAR(top.angleDegrees, 4.07, 0.05);
  options.region = RECT{0, kHeight / 2 + 100, kWidth, kHeight};
  EXPECT_FALSE(vorlane::EstimateSkew(*page, options).trusted);
  // A range that excludes the angle leaves the peak on its end: not trusted.
  options = {};
  options.rangeDegrees = 3.0;
  EXPECT_FALSE(vorlane::EstimateSkew(*page, options).trusted);
  // Bad options and pages without room give an untrusted 0.
  const vorlane::SkewOptions bad[] = {
      {0.0, 0.05, {-1, -1, -1, -1}, 0.5},     {46.0, 0.05, {-1, -1, -1, -1}, 0.5},
      {10.0, 0.0, {-1, -1, -1, -1}, 0.5},     {10.0, 0.05, {-1, -1, -1, -1}, 1.5},
      {10.0, 0.05, {0, 0, 60, kHeight}, 0.5}, {10.0, 0.05, {0, 0, kWidth, 10}, 0.5}};
  for (const vorlane::SkewOptions& o : bad) {
    const vorlane::SkewEstimate e = vorlane::EstimateSkew(*page, o);
    EXPECT_EQ(std::tuple(e.trusted, e.angleDegrees), std::tuple(false, 0.0));
  }
  CBiLevelImage empty;
  EXPECT_FALSE(vorlane::EstimateSkew(empty).trusted);
}

}  // namespace
