// Skew estimation on pages drawn at known angles: accuracy on pages with lines, refusal on
// pages without, the sign convention in every format and against the library's own rotation,
// and the options.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <tuple>

#include "support/skew_pages.h"
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
