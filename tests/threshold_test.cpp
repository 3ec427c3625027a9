// Thresholding by behaviour: the global threshold's boundary and outputs, rectangle and
// destination rules, the local threshold against its plain per-pixel definition, the
// automatic threshold's choice against a per-candidate scan, and the colour-range modes.
#include <gtest/gtest.h>

#include <random>

#include "kernels/threshold/weszka_rosenfeld.h"
#include "support/sample_images.h"
#include "support/threshold_reference.h"
#include "support/trace_lines.h"
#include "vorlane/vorlane.h"

namespace {

using Grey = sample::Probe<CGreyScaleImage>;

std::unique_ptr<Grey> GreyOf(const reference::Page& page) {
  auto image = std::make_unique<Grey>();
  image->Create(page.width, page.height, 0, L"page");
  for (int y = 0; y < page.height; ++y) {
    for (int x = 0; x < page.width; ++x)
      image->Row(y)[x] = static_cast<unsigned char>(page.At(x, y));
  }
  return image;
}

// A page of random greys: dark strokes and light noisy paper, or any values.
reference::Page RandomPage(int width, int height, unsigned seed, bool document) {
  std::mt19937 rng(seed);
  reference::Page page{width, height, std::vector<unsigned char>(size_t(width) * height)};
  for (auto& v : page.pixels) {
    const int r = static_cast<int>(rng() % 256);
    v = static_cast<unsigned char>(document ? (r < 60 ? r : 170 + r % 60) : r);
  }
  return page;
}

unsigned char MapByte(CImage& image, int x, int y) {
  return image.GetImageMap(static_cast<unsigned char>(MAP_STANDARD))->GetMapByte(x, y);
}

TEST(GlobalThreshold, ValuesAbove128BecomeBackgroundAndTheRestKeepTheirMapBytes) {
  reference::Page page{256, 1, {}};
  for (int v = 0; v < 256; ++v) page.pixels.push_back(static_cast<unsigned char>(v));
  auto image = GreyOf(page);
  image->GetImageMap(static_cast<unsigned char>(MAP_STANDARD))->SetMapByte(3, 0, 0x84);
  CRect whole(-1, -1, -1, -1);
  image->Threshold(128, whole, nullptr);
  EXPECT_EQ(whole, CRect(0, 0, 256, 1));
  for (int v = 0; v < 256; ++v) {
    EXPECT_EQ(image->Row(0)[v], v > 128 ? 255 : 0) << v;
    EXPECT_EQ(MapByte(*image, v, 0), v > 128 ? 0x01 : (v == 3 ? 0x84 : 0)) << v;
  }
}

TEST(ThresholdRectangle, IsNormalisedInTheCallersRectangle) {
  auto image = GreyOf(RandomPage(30, 40, 1, false));
  CRect r(-5, -5, 40, 20);
  image->Threshold(128, r, nullptr);
  EXPECT_EQ(r, CRect(0, 0, 30, 20));
  EXPECT_EQ(MapByte(*image, 0, 25), 0);  // below the rectangle: untouched
}

struct DestinationCase {
  sample::Fmt format;
  int width;
  unsigned char background;  // 0: nothing written
};

class ThresholdDestination : public ::testing::TestWithParam<DestinationCase> {};

TEST_P(ThresholdDestination, ReceivesItsOwnValuesOrNothing) {
  const DestinationCase c = GetParam();
  auto image = GreyOf(reference::Page{2, 1, {10, 250}});
  auto dst = sample::NewImage(c.format);
  dst->Create(c.width, 1, 0x7F7F7F, L"dst");
  const unsigned long before = dst->GetRGBColor(1, 0);
  CRect whole(-1, -1, -1, -1);
  image->Threshold(128, whole, dst.get());
  EXPECT_EQ(image->Row(0)[0], 10);  // the source keeps its pixels
  if (c.background == 0) {
    EXPECT_EQ(dst->GetRGBColor(1, 0), before);
    EXPECT_EQ(MapByte(*image, 1, 0), 0);
  } else {
    EXPECT_EQ(dst->GetRed(0, 0), 0);
    EXPECT_EQ(dst->GetRed(1, 0), c.background);
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, ThresholdDestination,
                         ::testing::Values(DestinationCase{sample::Fmt::kGrey, 2, 255},
                                           DestinationCase{sample::Fmt::kBi, 2, 1},
                                           DestinationCase{sample::Fmt::kHi, 2, 0},
                                           DestinationCase{sample::Fmt::kGrey, 3, 0}));

// Background decisions of the local threshold through the map (outputs 0x1).
std::vector<int> NiblackMap(const reference::Page& page, CRect rect, int w) {
  auto image = GreyOf(page);
  image->Threshold_Niblack(w, rect, nullptr, 0x1);
  std::vector<int> out(page.pixels.size(), -1);
  for (int y = rect.top; y < rect.bottom; ++y) {
    for (int x = rect.left; x < rect.right; ++x)
      out[size_t(y) * page.width + x] = MapByte(*image, x, y);
  }
  return out;
}

TEST(LocalThreshold, MatchesThePlainWindowLoopOnRandomPages) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 24; ++trial) {
    const int width = 20 + static_cast<int>(rng() % 60), height = 10 + static_cast<int>(rng() % 50);
    const reference::Page page = RandomPage(width, height, rng(), trial % 3 != 0);
    const int w =
        trial < 12 ? trial * 4 + static_cast<int>(rng() % 4) : static_cast<int>(rng() % 51);
    // Whole pages, rectangles touching one border, and inner ones.
    const int left = trial % 4 == 1 ? 0 : static_cast<int>(rng() % (width / 2));
    const int top = trial % 4 == 2 ? 0 : static_cast<int>(rng() % (height / 2));
    const int right = trial % 2 ? width : left + 1 + static_cast<int>(rng() % (width - left));
    const int bottom = trial % 4 == 0 ? height : top + 1 + static_cast<int>(rng() % (height - top));
    EXPECT_EQ(NiblackMap(page, CRect(left, top, right, bottom), w),
              reference::Niblack(page, left, top, right, bottom, w))
        << "trial " << trial << " window " << w;
  }
}

TEST(LocalThreshold, UniformPagesAndSinglePixelWindowsAreBackground) {
  for (int w : {0, 3}) {
    const reference::Page page =
        w ? reference::Page{9, 7, std::vector<unsigned char>(63, 90)} : RandomPage(9, 7, 3, false);
    auto image = GreyOf(page);
    CRect whole(-1, -1, -1, -1);
    image->Threshold_Niblack(w, whole, nullptr, 0x3);
    for (int y = 0; y < 7; ++y) {
      for (int x = 0; x < 9; ++x) {
        EXPECT_EQ(MapByte(*image, x, y), 0x01);
        EXPECT_EQ(image->Row(y)[x], 255);
      }
    }
  }
}

TEST(LocalThreshold, OutputBitsSelectMapAndPicture) {
  const reference::Page page = RandomPage(16, 16, 5, true);
  auto pictureOnly = GreyOf(page);
  CRect whole(-1, -1, -1, -1);
  pictureOnly->Threshold_Niblack(2, whole, nullptr, 0x2);
  auto mapOnly = GreyOf(page);
  mapOnly->Threshold_Niblack(2, whole, nullptr, 0x1);
  bool foreground = false;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      EXPECT_EQ(MapByte(*pictureOnly, x, y), 0);
      EXPECT_EQ(mapOnly->Row(y)[x], page.At(x, y));
      foreground |= pictureOnly->Row(y)[x] == 0;
      EXPECT_EQ(pictureOnly->Row(y)[x] == 255, MapByte(*mapOnly, x, y) == 0x01);
    }
  }
  EXPECT_TRUE(foreground);
}

TEST(LocalThreshold, InPlaceReadsCurrentPixelsAndLeavesNoBackup) {
  const reference::Page page = RandomPage(24, 18, 9, true);
  auto image = GreyOf(reference::Page{24, 18, std::vector<unsigned char>(24 * 18, 0)});
  image->CreateBackup();  // an older backup holding other pixels
  for (int y = 0; y < 18; ++y) {
    for (int x = 0; x < 24; ++x) image->Row(y)[x] = static_cast<unsigned char>(page.At(x, y));
  }
  auto self = GreyOf(page);
  CRect whole(-1, -1, -1, -1);
  image->Threshold_Niblack(4, whole, nullptr, 0x3);
  self->Threshold_Niblack(4, whole, self.get(), 0x3);
  const std::vector<int> expected = reference::Niblack(page, 0, 0, 24, 18, 4);
  for (int y = 0; y < 18; ++y) {
    for (int x = 0; x < 24; ++x) {
      const int want = expected[size_t(y) * 24 + x] ? 255 : 0;
      EXPECT_EQ(image->Row(y)[x], want);
      EXPECT_EQ(self->Row(y)[x], want);
    }
  }
  EXPECT_EQ(image->DiscardBackup(), 0);  // nothing left to discard
}

TEST(AutomaticThreshold, ChoosesTheLowerLevelOfATwoLevelPage) {
  reference::Page page{20, 20, {}};
  for (int i = 0; i < 400; ++i) page.pixels.push_back((i / 20 + i % 20) % 5 == 0 ? 40 : 220);
  auto image = GreyOf(page);
  CRect whole(-1, -1, -1, -1);
  image->Threshold_WeszkaRosenfeld(whole, nullptr);
  for (int i = 0; i < 400; ++i) {
    EXPECT_EQ(image->Row(i / 20)[i % 20], page.pixels[size_t(i)] == 40 ? 0 : 255);
  }
}

TEST(AutomaticThreshold, StraddleCountsPickTheSameCandidateAsThePerCandidateScan) {
  std::mt19937 rng(11);
  for (int trial = 0; trial < 12; ++trial) {
    const reference::Page page = RandomPage(12 + trial, 9 + trial % 5, rng(), trial % 2);
    const int lower = static_cast<int>(rng() % 128), upper = lower + static_cast<int>(rng() % 128);
    const RECT rect{trial % 3, 1, page.width - trial % 2, page.height};
    std::int64_t counts[256];
    std::vector<const unsigned char*> rows;
    for (int y = 0; y < page.height; ++y) rows.push_back(&page.pixels[size_t(y) * page.width]);
    vorlane::detail::StraddleCounts(rows.data(), rect, counts);
    EXPECT_EQ(vorlane::detail::FewestStraddles(counts, {lower, upper, true}),
              reference::FewestStraddles(page, rect.left, rect.top, rect.right, rect.bottom, lower,
                                         upper));
  }
}

TEST(AutomaticThreshold, AFlatPageWarnsAndSearchesTheWholeRange) {
  auto image = GreyOf(reference::Page{8, 8, std::vector<unsigned char>(64, 100)});
  TraceCapture trace;
  CRect whole(-1, -1, -1, -1);
  image->Threshold_WeszkaRosenfeld(whole, nullptr);
  ASSERT_EQ(trace.Lines().size(), 1u);
  EXPECT_EQ(trace.Lines()[0], "WARNING: Thresholding: Smoothing failed to produce 2 peaks\n");
  EXPECT_EQ(image->Row(0)[0], 255);  // no pair straddles: candidate 0, and 100 > 0
}

TEST(AutomaticThreshold, SmoothingEndsOnManyPeakedHistograms) {
  long hist[256] = {};
  for (int i = 0; i < 256; i += 3) hist[i] = 1 + (i * 37) % 11;  // maxima everywhere
  const auto range = vorlane::detail::SmoothedPeakRange(hist);
  EXPECT_LE(0, range.lower);
  EXPECT_LT(range.lower, range.upper);
  EXPECT_LE(range.upper, 255);
}

struct AdvancedCase {
  int mode;
  int lower, upper;  // every range
  unsigned char expected;
};

class AdvancedThreshold : public ::testing::TestWithParam<AdvancedCase> {};

TEST_P(AdvancedThreshold, CombinesTheSixRangesByMode) {
  const AdvancedCase c = GetParam();
  auto image = sample::NewImage(sample::Fmt::kHi);
  image->Create(3, 2, 0x336699, L"colour");
  int p[13] = {c.mode};
  for (int i = 1; i < 13; i += 2) {
    p[i] = c.lower;
    p[i + 1] = c.upper;
  }
  image->GetImageMap(static_cast<unsigned char>(MAP_STANDARD))->SetMapByte(0, 0, 0x05);
  image->ApplyAdvancedTreshold(p);
  EXPECT_EQ(MapByte(*image, 2, 1), c.expected);
  EXPECT_EQ(MapByte(*image, 0, 0), 0x05);  // already background: not looked at
}

INSTANTIATE_TEST_SUITE_P(Modes, AdvancedThreshold,
                         ::testing::Values(AdvancedCase{0, 0, 255, 0}, AdvancedCase{2, 0, 255, 1},
                                           AdvancedCase{0, 0, 10, 1}, AdvancedCase{1, 0, 60, 0},
                                           AdvancedCase{1, 254, 255, 1},
                                           AdvancedCase{7, 254, 255, 0},
                                           AdvancedCase{7, 0, 255, 1}));

TEST(AdvancedThreshold, BiLevelImagesOnlyTrace) {
  auto image = sample::NewImage(sample::Fmt::kBi);
  image->Create(2, 2, 0xFFFFFF, L"bi");
  int p[13] = {2, 10, 20};
  TraceCapture trace;
  image->ApplyAdvancedTreshold(p);
  ASSERT_EQ(trace.Lines().size(), 1u);
  EXPECT_EQ(trace.Lines()[0], " Combine: 2, Monochrome : 10,20\n");
  EXPECT_EQ(MapByte(*image, 1, 1), 0);
}

}  // namespace
