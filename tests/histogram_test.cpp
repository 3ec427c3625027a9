// Histograms and point operations by behaviour: rectangle normalisation and selection modes
// of the histograms, hue exclusions, averages, profiles with their clipping, equalization,
// clearing, negatives, paper marking and map inversion.
#include <gtest/gtest.h>

#include "support/sample_images.h"
#include "vorlane/vorlane.h"

namespace {

using Grey = sample::Probe<CGreyScaleImage>;

std::unique_ptr<CImage> Colour(int width, int height, unsigned long colour) {
  auto image = sample::NewImage(sample::Fmt::kHi);
  image->Create(width, height, colour, L"colour");
  return image;
}

CImageMap& Standard(CImage& image) {
  return *image.GetImageMap(static_cast<unsigned char>(MAP_STANDARD));
}

TEST(Histograms, AnAllZeroRectangleCoversTheImageAndInvertedSidesAreSwapped) {
  auto image = sample::Make(sample::Fmt::kGrey, 7, 5);
  long hist[256];
  long* h[1] = {hist};
  RECT zero{0, 0, 0, 0};
  EXPECT_EQ(image->GetHistograms(h, 1, zero, 1, 0, 0), 1);
  EXPECT_EQ(CRect(zero), CRect(0, 0, 7, 5));
  long total = 0;
  for (long c : hist) total += c;
  EXPECT_EQ(total, 35);
  RECT swapped{9, 3, -2, 1};
  image->GetHistograms(h, 1, swapped, 1, 0, 0);
  EXPECT_EQ(CRect(swapped), CRect(0, 1, 7, 3));
}

TEST(Histograms, GreyImagesFillOnlyTheLuminanceHistogram) {
  auto image = sample::Make(sample::Fmt::kGrey, 3, 3);
  long hist[256];
  std::fill(hist, hist + 256, 7L);
  long* h[1] = {hist};
  RECT zero{0, 0, 0, 0};
  EXPECT_EQ(image->GetHistograms(h, 2, zero, 1, 0, 0), 1);
  EXPECT_EQ(hist[0], 7);
}

TEST(Histograms, RedAndHueGoToPointersZeroAndOneAndWhiteHasNoHue) {
  auto image = Colour(2, 1, 0xFFFFFF);
  image->SetRGBColor(1, 0, 0x0000FF);  // pure red
  long red[256], hue[256];
  long* h[2] = {red, hue};
  RECT zero{0, 0, 0, 0};
  image->GetHistograms(h, 0x12, zero, 1, 0, 0);
  EXPECT_EQ(red[255], 2);
  long hues = 0;
  for (long c : hue) hues += c;
  EXPECT_EQ(hues, 1);
  EXPECT_EQ(hue[0], 1);
}

struct ModeCase {
  unsigned char mode;
  int mapIndex;
  long counted;  // of 4 pixels, one marked background in the current map
};

class HistogramModes : public ::testing::TestWithParam<ModeCase> {};

TEST_P(HistogramModes, SelectPixelsByMap) {
  const ModeCase c = GetParam();
  auto image = sample::Make(sample::Fmt::kGrey, 2, 2);
  Standard(*image).SetMapByte(1, 1, 0x03);
  long hist[256];
  long* h[1] = {hist};
  RECT zero{0, 0, 0, 0};
  image->GetHistograms(h, 1, zero, c.mode, c.mapIndex, 0x01);
  long total = 0;
  for (long v : hist) total += v;
  EXPECT_EQ(total, c.counted);
}

INSTANTIATE_TEST_SUITE_P(Modes, HistogramModes,
                         ::testing::Values(ModeCase{0, 0, 3}, ModeCase{1, 0, 4}, ModeCase{2, 0, 1},
                                           ModeCase{3, 0, 3}, ModeCase{2, 5, 0}, ModeCase{3, 5, 4},
                                           ModeCase{9, 0, 0}));

TEST(AverageColour, OfTheBackgroundIsZeroWithoutBackgroundAndExactOnLargeWhitePages) {
  auto image = Colour(3000, 3000, 0xFFFFFF);  // sums beyond 32 bits
  EXPECT_EQ(image->GetAverageColour(-1, 0), 0u);
  Standard(*image).ClearMap(0x01);
  EXPECT_EQ(image->GetAverageColour(-1, 0), 0xFFFFFFu);
  EXPECT_EQ(image->GetAverageColour(7, 0x01), 0u);  // no such map
  auto grey = sample::Make(sample::Fmt::kGrey, 2, 1);
  grey->SetRed(0, 0, 10);
  grey->SetRed(1, 0, 21);
  Standard(*grey).ClearMap(0x01);
  EXPECT_EQ(grey->GetAverageColour(0, 0x01), 0x0F0F0Fu);
}

TEST(Profiles, CountBackgroundOnlyWithFlag0x10AndClipTheRegion) {
  auto image = sample::Make(sample::Fmt::kGrey, 3, 2);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) image->SetRed(x, y, 200);
  }
  Standard(*image).SetMapByte(0, 0, 0x01);
  long rows[4], cols[5];
  image->GetProjection(0, 0, 3, 2, rows, cols, 0x01);
  EXPECT_EQ(rows[0], 110);
  EXPECT_EQ(cols[0], 55);
  image->GetProjection(0, 0, 3, 2, rows, cols, 0x11);
  EXPECT_EQ(rows[0], 165);
  image->GetProjection(-1, 1, 5, 4, rows, cols, 0x12);  // leaves the image on three sides
  EXPECT_EQ(rows[0], 3);
  EXPECT_EQ(rows[1], 0);
  EXPECT_EQ(cols[0], 0);
  EXPECT_EQ(cols[1], 1);
  EXPECT_EQ(cols[4], 0);
}

TEST(Profiles, BiLevelCountsThePixelsThatAreNotCountedWhite) {
  auto image = sample::NewImage(sample::Fmt::kBi);
  image->Create(3, 2, 0xFFFFFF, L"bi");
  image->SetRed(1, 0, 0);
  Standard(*image).SetMapByte(2, 1, 0x01);
  long rows[2], cols[3];
  image->GetProjection(0, 0, 3, 2, rows, cols, 0);
  EXPECT_EQ(rows[0], 1);
  EXPECT_EQ(rows[1], 1);
  EXPECT_EQ(cols[1], 1);
  EXPECT_EQ(cols[2], 1);
}

TEST(Equalization, SpreadsTheCountedLevelsOverTheWholeScale) {
  auto image = sample::Make(sample::Fmt::kGrey, 4, 1);
  const unsigned char values[] = {10, 10, 20, 30};
  for (int x = 0; x < 4; ++x) image->SetRed(x, 0, values[x]);
  RECT zero{0, 0, 0, 0};
  image->HistogramEqualization(zero);
  EXPECT_EQ(CRect(zero), CRect(0, 0, 4, 1));
  EXPECT_EQ(image->GetRed(0, 0), 127);  // 2 * 255 / 4
  EXPECT_EQ(image->GetRed(2, 0), 191);
  EXPECT_EQ(image->GetRed(3, 0), 255);
}

TEST(Transformation, MapsGreysAndColourChannelsThroughTheTable) {
  int table[256];
  for (int i = 0; i < 256; ++i) table[i] = 255 - i + 256;  // low byte used
  auto grey = sample::Make(sample::Fmt::kGrey, 2, 1);
  grey->SetRed(0, 0, 5);
  EXPECT_EQ(grey->HistogramTransformation(table, 1), 1);
  EXPECT_EQ(grey->GetRed(0, 0), 250);
  auto colour = Colour(1, 1, 0x203040);
  EXPECT_EQ(colour->HistogramTransformation(table, 0x02 | 0x08), 1);
  EXPECT_EQ(colour->GetRGBColor(0, 0), 0xDF30BFu);
  EXPECT_EQ(colour->HistogramTransformation(nullptr, 0x02), 0);
}

TEST(Clearing, BiLevelFillFollowsTheChannelSumAndSetsTheDirtyFlag) {
  auto image = sample::NewImage(sample::Fmt::kBi);
  image->Create(5, 3, 0, L"bi");
  image->Clear(129, 128, 128);
  EXPECT_EQ(image->GetRed(4, 2), 1);
  image->Clear(128, 128, 128);
  EXPECT_EQ(image->GetRed(4, 2), 0);
  EXPECT_TRUE(image->IsDirty());
  image->GetNegative();
  EXPECT_EQ(image->GetRed(0, 0), 1);
}

TEST(Clearing, ColourNegativeAndReductionKeepBackgroundPixels) {
  auto image = Colour(2, 1, 0x000000);
  image->Clear(0x13, 0xE7, 0xFF);
  Standard(*image).SetMapByte(1, 0, 0x01);
  image->ColorReduction();
  EXPECT_EQ(image->GetRGBColor(0, 0), 0xE0E000u);
  EXPECT_EQ(image->GetRGBColor(1, 0), 0xFFE713u);
  image->GetNegative();
  EXPECT_EQ(image->GetRGBColor(0, 0), 0x1F1FFFu);
}

TEST(PaperMarking, ToleranceIsAStrictBound) {
  for (int tolerance : {0, 1, 2}) {
    auto image = Colour(2, 1, 0x102030);
    image->SetRGBColor(1, 0, 0x102031);
    image->ClearSimilar(0x30, 0x20, 0x10, tolerance);
    CImageMap* dorvale = image->GetImageMap(static_cast<unsigned char>(MAP_DORVALE));
    ASSERT_NE(dorvale, nullptr);
    EXPECT_EQ(dorvale->GetMapByte(0, 0), tolerance >= 1 ? 1 : 0);
    EXPECT_EQ(dorvale->GetMapByte(1, 0), tolerance >= 2 ? 1 : 0);
  }
}

TEST(MapInversion, TwiceRestoresMapAndPixelCount) {
  auto image = Colour(4, 3, 0x808080);
  Standard(*image).SetMapByte(1, 1, 0x03);
  image->RecalculateNumberOfPixels();
  EXPECT_EQ(image->GetNumberOfPixels(), 11);
  image->InvertMap();
  EXPECT_EQ(image->GetNumberOfPixels(), 1);
  EXPECT_EQ(Standard(*image).GetMapByte(1, 1), 0x02);
  EXPECT_EQ(Standard(*image).GetMapByte(0, 0), 0x01);
  image->InvertMap();
  EXPECT_EQ(image->GetNumberOfPixels(), 11);
  EXPECT_EQ(Standard(*image).GetMapByte(1, 1), 0x03);
  EXPECT_TRUE(image->IsDirty());
}

}  // namespace
