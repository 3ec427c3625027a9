// Thresholds, histograms and point operations by behaviour: the global threshold's boundary
// and outputs, rectangle and destination rules, the local threshold against its plain per-pixel
// definition, the automatic threshold's choice against a per-candidate scan, the colour-range
// modes; rectangle normalisation and selection modes of the histograms, hue exclusions,
// averages, profiles with their clipping, equalization, clearing, negatives, paper marking and
// map inversion.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <tuple>
#include <vector>

#include "kernels/threshold/weszka_rosenfeld.h"
#include "support/sample_images.h"
#include "support/threshold_reference.h"
#include "support/trace_lines.h"
#include "vorlane/vorlane.h"

namespace {

using Grey = sample::Probe<CGreyScaleImage>;
using Ints = std::vector<int>;
using Longs = std::vector<long>;

void Put(Grey& image, const reference::Page& page) {
  for (int y = 0; y < page.height; ++y)
    std::copy_n(&page.pixels[size_t(y) * page.width], page.width, image.Row(y));
}

std::unique_ptr<Grey> GreyOf(const reference::Page& page) {
  auto image = std::make_unique<Grey>();
  image->Create(page.width, page.height, 0, L"page");
  Put(*image, page);
  return image;
}

// A page of random greys: dark strokes and light noisy paper, or any values.
reference::Page RandomPage(int width, int height, unsigned seed, bool document) {
  std::mt19937 rng(seed);
  reference::Page page{width, height, std::vector<unsigned char>(size_t(width) * height)};
  // Documents: ink and paper, with bands of rows of bright paper only (above 200).
  for (size_t i = 0; i < page.pixels.size(); ++i) {
    const int r = static_cast<int>(rng() % 256);
    const bool bright = (i / size_t(width)) % 7 < 2;
    page.pixels[i] = static_cast<unsigned char>(!document ? r
                                                : bright  ? 201 + r % 55
                                                          : (r < 60 ? r : 170 + r % 60));
  }
  return page;
}

std::unique_ptr<CImage> Colour(int width, int height, unsigned long colour) {
  auto image = sample::NewImage(sample::Fmt::kHi);
  image->Create(width, height, colour, L"colour");
  return image;
}

CImageMap& Standard(CImage& image) {
  return *image.GetImageMap(static_cast<unsigned char>(MAP_STANDARD));
}

unsigned char MapByte(CImage& image, int x, int y) { return Standard(image).GetMapByte(x, y); }

// The pixels (map: the "Standard" map bytes) of a grey image, row by row.
Ints Bytes(Grey& image, bool map) {
  Ints out;
  for (int y = 0; y < image.GetHeight(); ++y) {
    for (int x = 0; x < image.GetWidth(); ++x)
      out.push_back(map ? MapByte(image, x, y) : image.Row(y)[x]);
  }
  return out;
}

// A whole-image rectangle for one call (the calls normalise it in place).
struct Whole {
  CRect rect{-1, -1, -1, -1};
  operator CRect&() { return rect; }
};

// Pixels that background decisions (1 background, 0 foreground) give.
Ints Shown(Ints decisions) {
  for (int& v : decisions) v = v ? 255 : 0;
  return decisions;
}

TEST(GlobalThreshold, ValuesAbove128BecomeBackgroundAndTheRestKeepTheirMapBytes) {
  reference::Page page{256, 1, {}};
  Ints pixels, map;
  for (int v = 0; v < 256; ++v) {
    page.pixels.push_back(static_cast<unsigned char>(v));
    pixels.push_back(v > 128 ? 255 : 0);
    map.push_back(v > 128 ? 0x01 : (v == 3 ? 0x84 : 0));
  }
  auto image = GreyOf(page);
  Standard(*image).SetMapByte(3, 0, 0x84);
  CRect whole(-1, -1, -1, -1);
  image->Threshold(128, whole, nullptr);
  EXPECT_EQ(whole, CRect(0, 0, 256, 1));
  EXPECT_EQ(Bytes(*image, false), pixels);
  EXPECT_EQ(Bytes(*image, true), map);
  // The rectangle is normalised in the caller's rectangle; rows below it stay untouched.
  auto tall = GreyOf(RandomPage(30, 40, 1, false));
  CRect r(-5, -5, 40, 20);
  tall->Threshold(128, r, nullptr);
  EXPECT_EQ(r, CRect(0, 0, 30, 20));
  EXPECT_EQ(MapByte(*tall, 0, 25), 0);
}

TEST(ThresholdDestination, ReceivesItsOwnValuesOrNothing) {
  using sample::Fmt;  // format, width, background value (0: nothing written)
  for (const auto& [format, width, bg] :
       {std::tuple{Fmt::kGrey, 2, 255}, std::tuple{Fmt::kBi, 2, 1}, std::tuple{Fmt::kHi, 2, 0},
        std::tuple{Fmt::kGrey, 3, 0}}) {
    SCOPED_TRACE(sample::Name(format));
    auto image = GreyOf(reference::Page{2, 1, {10, 250}});
    auto dst = sample::NewImage(format);
    dst->Create(width, 1, 0x7F7F7F, L"dst");
    const unsigned long before = dst->GetRGBColor(1, 0);
    image->Threshold(128, Whole(), dst.get());
    EXPECT_EQ(image->Row(0)[0], 10);  // the source keeps its pixels
    EXPECT_EQ(bg ? dst->GetRed(1, 0) : dst->GetRGBColor(1, 0), bg ? bg : before);
    EXPECT_EQ(bg ? dst->GetRed(0, 0) : MapByte(*image, 1, 0), 0u);
  }
}

TEST(LocalThreshold, MatchesThePlainWindowLoopOnRandomPages) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 24; ++trial) {
    const int width = 20 + static_cast<int>(rng() % 60), height = 10 + static_cast<int>(rng() % 50);
    const reference::Page page = RandomPage(width, height, rng(), trial % 3 != 0);
    // Single-pixel windows (trial 0: every pixel background), growing ones, then any.
    const int w = trial < 12 ? std::max(0, trial * 4 - static_cast<int>(rng() % 4))
                             : static_cast<int>(rng() % 51);
    // Whole pages, rectangles touching one border, and inner ones.
    const int left = trial % 4 == 1 ? 0 : static_cast<int>(rng() % (width / 2));
    const int top = trial % 4 == 2 ? 0 : static_cast<int>(rng() % (height / 2));
    const int right = trial % 2 ? width : left + 1 + static_cast<int>(rng() % (width - left));
    const int bottom = trial % 4 == 0 ? height : top + 1 + static_cast<int>(rng() % (height - top));
    auto image = GreyOf(page);
    CRect rect(left, top, right, bottom);
    image->Threshold_Niblack(w, rect, nullptr, THRESHOLD_OUTPUT_MAP);
    Ints want = reference::Niblack(page, left, top, right, bottom, w);
    for (int& v : want) v = std::max(v, 0);  // outside the rectangle the map stays 0
    EXPECT_EQ(Bytes(*image, true), want) << "trial " << trial << " window " << w;
  }
}

TEST(LocalThreshold, OutputBitsSelectMapAndPicture) {
  const reference::Page page = RandomPage(16, 16, 5, true);
  auto pictureOnly = GreyOf(page), mapOnly = GreyOf(page);
  pictureOnly->Threshold_Niblack(2, Whole(), nullptr, THRESHOLD_OUTPUT_PICTURE);
  mapOnly->Threshold_Niblack(2, Whole(), nullptr, THRESHOLD_OUTPUT_MAP);
  EXPECT_EQ(Bytes(*pictureOnly, true), Ints(256, 0));
  EXPECT_EQ(Bytes(*mapOnly, false), Ints(page.pixels.begin(), page.pixels.end()));
  const Ints shown = Shown(Bytes(*mapOnly, true));
  EXPECT_EQ(Bytes(*pictureOnly, false), shown);
  EXPECT_NE(std::count(shown.begin(), shown.end(), 0), 0);  // some foreground
}

TEST(LocalThreshold, InPlaceReadsCurrentPixelsAndLeavesNoBackup) {
  const reference::Page page = RandomPage(24, 18, 9, true);
  auto image = GreyOf(reference::Page{24, 18, std::vector<unsigned char>(24 * 18, 0)});
  image->CreateBackup();  // an older backup holding other pixels
  Put(*image, page);
  auto self = GreyOf(page);
  image->Threshold_Niblack(4, Whole(), nullptr, THRESHOLD_OUTPUT_ALL);
  self->Threshold_Niblack(4, Whole(), self.get(), THRESHOLD_OUTPUT_ALL);
  const Ints want = Shown(reference::Niblack(page, 0, 0, 24, 18, 4));
  EXPECT_EQ(Bytes(*image, false), want);
  EXPECT_EQ(Bytes(*self, false), want);
  EXPECT_EQ(image->DiscardBackup(), 0);  // nothing left to discard
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
    for (int t = 0; t < 256; t += 1 + trial % 4) {  // each unordered pair once
      EXPECT_EQ(2 * counts[t],
                reference::Straddles(page, rect.left, rect.top, rect.right, rect.bottom, t));
    }
  }
}

TEST(AutomaticThreshold, TheLevelTellsTheLargestValueOfTheRegionThatBecomesForeground) {
  std::mt19937 rng(23);
  for (int trial = 0; trial < 8; ++trial) {
    const reference::Page page = RandomPage(16 + trial, 12, rng(), trial % 2);
    std::vector<const unsigned char*> rows;
    for (int y = 0; y < page.height; ++y) rows.push_back(&page.pixels[size_t(y) * page.width]);
    const RECT rect{trial % 3, 2, page.width - 1, page.height - trial % 2};
    long hist[256] = {};  // the caller's selection: here the whole page
    for (unsigned char v : page.pixels) ++hist[v];
    const auto got = vorlane::detail::WeszkaRosenfeldLevel(rows.data(), rect, hist);
    const auto range = vorlane::detail::SmoothedPeakRange(hist);
    std::int64_t counts[256];
    vorlane::detail::StraddleCounts(rows.data(), rect, counts);
    EXPECT_EQ(got.level, vorlane::detail::FewestStraddles(counts, range));
    EXPECT_EQ(got.twoPeaks, range.twoPeaks);
    int largest = -1;
    for (int y = rect.top; y < rect.bottom; ++y) {
      for (int x = rect.left; x < rect.right; ++x) {
        const int v = page.pixels[size_t(y) * page.width + x];
        if (v <= got.level) largest = std::max(largest, v);
      }
    }
    EXPECT_EQ(got.largestForeground, largest) << "trial " << trial;
  }
  // Without rows no pair straddles: the first candidate, and nothing is foreground.
  long flat[256] = {};
  flat[100] = 64;
  const auto none = vorlane::detail::WeszkaRosenfeldLevel(nullptr, RECT{0, 0, 8, 8}, flat);
  EXPECT_EQ(none.level, 0);
  EXPECT_FALSE(none.twoPeaks);
  EXPECT_EQ(none.largestForeground, -1);
}

TEST(AutomaticThreshold, AFlatPageWarnsAndSearchesTheWholeRange) {
  auto image = GreyOf(reference::Page{8, 8, std::vector<unsigned char>(64, 100)});
  TraceCapture trace;
  image->Threshold_WeszkaRosenfeld(Whole(), nullptr);
  EXPECT_EQ(trace.Lines(), std::vector<std::string>{
                               "WARNING: Thresholding: Smoothing failed to produce 2 peaks\n"});
  EXPECT_EQ(image->Row(0)[0], 255);  // no pair straddles: candidate 0, and 100 > 0
  // Smoothing also ends on histograms with maxima everywhere.
  long hist[256] = {};
  for (int i = 0; i < 256; i += 3) hist[i] = 1 + (i * 37) % 11;
  const auto range = vorlane::detail::SmoothedPeakRange(hist);
  EXPECT_TRUE(0 <= range.lower && range.lower < range.upper && range.upper <= 255);
}

TEST(AdvancedThreshold, CombinesTheSixRangesByMode) {
  const int cases[][4] = {{0, 0, 255, 0},   {2, 0, 255, 1},   {0, 0, 10, 1}, {1, 0, 60, 0},
                          {1, 254, 255, 1}, {7, 254, 255, 0}, {7, 0, 255, 1}};
  for (const auto [mode, lower, upper, expected] : cases) {  // one range for all six
    auto image = Colour(3, 2, 0x336699);
    int p[13] = {mode};
    for (int i = 1; i < 13; i += 2) p[i] = lower, p[i + 1] = upper;
    Standard(*image).SetMapByte(0, 0, 0x05);
    image->ApplyAdvancedTreshold(p);
    EXPECT_EQ(MapByte(*image, 2, 1), expected) << mode << " " << lower << " " << upper;
    EXPECT_EQ(MapByte(*image, 0, 0), 0x05);  // already background: not looked at
  }
  auto bi = sample::NewImage(sample::Fmt::kBi);  // bi-level images only trace
  bi->Create(2, 2, 0xFFFFFF, L"bi");
  int p[13] = {2, 10, 20};
  TraceCapture trace;
  bi->ApplyAdvancedTreshold(p);
  EXPECT_EQ(trace.Lines(), std::vector<std::string>{" Combine: 2, Monochrome : 10,20\n"});
  EXPECT_EQ(MapByte(*bi, 1, 1), 0);
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
  // Mode, map index, pixels counted of 40, nine marked background in the current map (a run
  // of eight and a single one).
  const int cases[][3] = {{0, 0, 31}, {1, 0, 40}, {2, 0, 9}, {3, 0, 31},
                          {2, 5, 0},  {3, 5, 40}, {9, 0, 0}};
  for (const auto [mode, mapIndex, counted] : cases) {
    auto image = sample::Make(sample::Fmt::kGrey, 20, 2);
    Standard(*image).SetMapByte(1, 1, 0x03);
    for (int x = 8; x < 16; ++x) Standard(*image).SetMapByte(x, 0, 0x03);
    long hist[256];
    long* h[1] = {hist};
    RECT zero{0, 0, 0, 0};
    image->GetHistograms(h, 1, zero, static_cast<unsigned char>(mode), mapIndex, 0x01);
    EXPECT_EQ(Total(hist), counted) << mode << " " << mapIndex;
    if (counted != 31) continue;  // the unmarked pixels: all less the marked ones, by value
    long all[256];
    long* a[1] = {all};
    image->GetHistograms(a, 1, zero, 1, 0, 0);
    for (int x = 7; x < 16; ++x) --all[image->GetRed(x == 7 ? 1 : x, x == 7 ? 1 : 0)];
    EXPECT_TRUE(std::equal(hist, hist + 256, all)) << mode;
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
