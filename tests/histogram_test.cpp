// Histograms and point operations by behaviour: rectangle normalisation and selection modes
// of the histograms, hue exclusions, averages, profiles with their clipping, equalization,
// clearing, negatives, paper marking and map inversion.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "support/sample_images.h"
#include "vorlane/vorlane.h"

namespace {

using Longs = std::vector<long>;

std::unique_ptr<CImage> Colour(int width, int height, unsigned long colour) {
  auto image = sample::NewImage(sample::Fmt::kHi);
  image->Create(width, height, colour, L"colour");
  return image;
}

CImageMap& Standard(CImage& image) {
  return *image.GetImageMap(static_cast<unsigned char>(MAP_STANDARD));
}

long Total(const long (&hist)[256]) { return std::accumulate(hist, hist + 256, 0L); }

TEST(Histograms, RectanglesChannelsAndHues) {
  // An all-zero rectangle covers the image; inverted sides are swapped.
  auto image = sample::Make(sample::Fmt::kGrey, 7, 5);
  long hist[256], hue[256];
  long* h[2] = {hist, hue};
  RECT zero{0, 0, 0, 0}, swapped{9, 3, -2, 1};
  EXPECT_EQ(image->GetHistograms(h, 1, zero, 1, 0, 0), 1);
  EXPECT_EQ(CRect(zero), CRect(0, 0, 7, 5));
  EXPECT_EQ(Total(hist), 35);
  image->GetHistograms(h, 1, swapped, 1, 0, 0);
  EXPECT_EQ(CRect(swapped), CRect(0, 1, 7, 3));
  // Grey images fill only the luminance histogram.
  std::fill(hist, hist + 256, 7L);
  zero = {0, 0, 0, 0};
  EXPECT_EQ(image->GetHistograms(h, 2, zero, 1, 0, 0), 1);
  EXPECT_EQ(hist[0], 7);
  // Red and hue go to pointers 0 and 1; white has no hue.
  auto colour = Colour(2, 1, 0xFFFFFF);
  colour->SetRGBColor(1, 0, 0x0000FF);  // pure red
  zero = {0, 0, 0, 0};
  colour->GetHistograms(h, 0x12, zero, 1, 0, 0);
  EXPECT_TRUE(hist[255] == 2 && Total(hue) == 1 && hue[0] == 1);
}

TEST(Histograms, ModesSelectPixelsByMap) {
  // Mode, map index, pixels counted of 4, one marked background in the current map.
  const int cases[][3] = {{0, 0, 3}, {1, 0, 4}, {2, 0, 1}, {3, 0, 3},
                          {2, 5, 0}, {3, 5, 4}, {9, 0, 0}};
  for (const auto [mode, mapIndex, counted] : cases) {
    auto image = sample::Make(sample::Fmt::kGrey, 2, 2);
    Standard(*image).SetMapByte(1, 1, 0x03);
    long hist[256];
    long* h[1] = {hist};
    RECT zero{0, 0, 0, 0};
    image->GetHistograms(h, 1, zero, static_cast<unsigned char>(mode), mapIndex, 0x01);
    EXPECT_EQ(Total(hist), counted) << mode << " " << mapIndex;
  }
}

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
  for (int i = 0; i < 6; ++i) image->SetRed(i % 3, i / 3, 200);
  Standard(*image).SetMapByte(0, 0, 0x01);
  long rows[4], cols[5];
  image->GetProjection(0, 0, 3, 2, rows, cols, 0x01);
  EXPECT_TRUE(rows[0] == 110 && cols[0] == 55);
  image->GetProjection(0, 0, 3, 2, rows, cols, 0x11);
  EXPECT_EQ(rows[0], 165);
  image->GetProjection(-1, 1, 5, 4, rows, cols, 0x12);  // leaves the image on three sides
  EXPECT_EQ((Longs{rows[0], rows[1], cols[0], cols[1], cols[4]}), (Longs{3, 0, 0, 1, 0}));
  // Bi-level images count the pixels that are not counted white.
  auto bi = sample::NewImage(sample::Fmt::kBi);
  bi->Create(3, 2, 0xFFFFFF, L"bi");
  bi->SetRed(1, 0, 0);
  Standard(*bi).SetMapByte(2, 1, 0x01);
  bi->GetProjection(0, 0, 3, 2, rows, cols, 0);
  EXPECT_EQ((Longs{rows[0], rows[1], cols[1], cols[2]}), (Longs{1, 1, 1, 1}));
}

TEST(Equalization, SpreadsTheCountedLevelsOverTheWholeScale) {
  auto image = sample::Make(sample::Fmt::kGrey, 4, 1);
  const unsigned char values[] = {10, 10, 20, 30};
  for (int x = 0; x < 4; ++x) image->SetRed(x, 0, values[x]);
  RECT zero{0, 0, 0, 0};
  image->HistogramEqualization(zero);
  EXPECT_EQ(CRect(zero), CRect(0, 0, 4, 1));
  // 2 * 255 / 4, 3 * 255 / 4, 255
  EXPECT_EQ(sample::Colours(*image),
            (std::vector<unsigned long>{0x7F7F7F, 0x7F7F7F, 0xBFBFBF, 0xFFFFFF}));
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

TEST(Clearing, BiLevelFillFollowsTheChannelSumAndColourKeepsBackgroundPixels) {
  auto image = sample::NewImage(sample::Fmt::kBi);
  image->Create(5, 3, 0, L"bi");
  image->Clear(129, 128, 128);
  EXPECT_EQ(image->GetRed(4, 2), 1);
  image->Clear(128, 128, 128);
  EXPECT_TRUE(image->GetRed(4, 2) == 0 && image->IsDirty());
  image->GetNegative();
  EXPECT_EQ(image->GetRed(0, 0), 1);
  // Colour negative and reduction leave background pixels alone.
  auto colour = Colour(2, 1, 0x000000);
  colour->Clear(0x13, 0xE7, 0xFF);
  Standard(*colour).SetMapByte(1, 0, 0x01);
  colour->ColorReduction();
  EXPECT_EQ(sample::Colours(*colour), (std::vector<unsigned long>{0xE0E000, 0xFFE713}));
  colour->GetNegative();
  EXPECT_EQ(colour->GetRGBColor(0, 0), 0x1F1FFFu);
}

TEST(PaperMarking, ToleranceIsAStrictBound) {
  // Distance 0 is within a tolerance of 1, distance 1 is not.
  auto image = Colour(2, 1, 0x102030);
  image->SetRGBColor(1, 0, 0x102031);
  image->ClearSimilar(0x30, 0x20, 0x10, 1);
  CImageMap* dorvale = image->GetImageMap(static_cast<unsigned char>(MAP_DORVALE));
  ASSERT_NE(dorvale, nullptr);
  EXPECT_EQ(dorvale->GetMapByte(0, 0), 1);
  EXPECT_EQ(dorvale->GetMapByte(1, 0), 0);
}

TEST(MapInversion, TwiceRestoresMapAndPixelCount) {
  auto image = Colour(4, 3, 0x808080);
  CImageMap& map = Standard(*image);
  map.SetMapByte(1, 1, 0x03);
  image->RecalculateNumberOfPixels();
  EXPECT_EQ(image->GetNumberOfPixels(), 11);
  image->InvertMap();
  EXPECT_EQ((Longs{image->GetNumberOfPixels(), map.GetMapByte(1, 1), map.GetMapByte(0, 0)}),
            (Longs{1, 0x02, 0x01}));
  image->InvertMap();
  EXPECT_EQ((Longs{image->GetNumberOfPixels(), map.GetMapByte(1, 1), image->IsDirty()}),
            (Longs{11, 0x03, 1}));
}

}  // namespace
