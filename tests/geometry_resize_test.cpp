// Crop and resampling of images of every format with their maps: the accepted and refused
// rectangles, box averaging, majority vote, first-pixel sampling of palette indices, and
// what resampling does to components, resolution, backup, name and maps.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "support/sample_images.h"

namespace {

using sample::Fmt;

TEST(GeometryCrop, KeepsRectanglesInsideAndRefusesTheRest) {
  const int cases[][5] = {// x, y, width, height, done
                          {0, 0, 9, 7, 1},       {2, 1, 5, 4, 1}, {8, 6, 1, 1, 1},
                          {3, 3, 0, 0, 1},       {9, 0, 0, 1, 0}, {0, 7, 1, 0, 0},
                          {-1, 0, 2, 2, 0},      {2, 2, 8, 2, 0}, {1, 1, INT_MAX, 2, 0},
                          {1, 1, 2, INT_MAX, 0}, {1, 1, -1, 2, 0}};
  for (const Fmt f : sample::kAllFormats) {
    const auto original = sample::Make(f, 9, 7);
    for (const auto [cx, cy, cw, ch, done] : cases) {
      auto image = sample::NewImage(f);
      image->CreateDuplicate(original.get(), 0);
      image->CreateBackup();
      image->Crop(cx, cy, cw, ch);
      const int w = done ? cw : 9, h = done ? ch : 7, ox = done ? cx : 0, oy = done ? cy : 0;
      // A crop discards the backup.
      ASSERT_EQ((std::vector<long>{image->GetWidth(), image->GetHeight(),
                                   image->GetNumberOfPixels(), image->GetImageMap(0)->GetWidth(),
                                   image->GetImageMap(0)->GetHeight(), image->CreateBackup()}),
                (std::vector<long>{w, h, w * h, w, h, done}))
          << sample::Name(f) << " " << cx << "," << cy << " " << cw << "x" << ch;
      std::vector<unsigned long> want;
      for (int i = 0; i < w * h; ++i) want.push_back(original->GetRGBColor(ox + i % w, oy + i / w));
      EXPECT_EQ(sample::Colours(*image), want);
    }
  }
}

TEST(GeometryResample, BoxesFollowTheTruncatedBoundariesAndEnlargingRepeatsPixels) {
  // Ten columns of two rows to three: boxes [0, 3), [3, 6), [6, 10), each channel summed over
  // its box and divided by its size; row 1 is black.
  auto image = sample::NewImage(Fmt::kHi);
  image->Create(10, 2, 0, L"c");
  for (int x = 0; x < 10; ++x) image->SetRGBColor(x, 0, RGB(x * 10, 90 - x * 10, 0));
  ASSERT_EQ(image->ReSample(3, 1, 150), 1);
  const unsigned long a = RGB(30 / 6, 240 / 6, 0), b = RGB(120 / 6, 150 / 6, 0);
  const unsigned long c = RGB(300 / 8, 60 / 8, 0);
  EXPECT_EQ(sample::Colours(*image), (std::vector<unsigned long>{a, b, c}));
  EXPECT_EQ(image->GetDPI(), 150);
  ASSERT_EQ(image->ReSample(6, 2, 300), 1);
  EXPECT_EQ(sample::Colours(*image),
            (std::vector<unsigned long>{a, a, b, b, c, c, a, a, b, b, c, c}));
}

TEST(GeometryResample, BiLevelVotesWithTiesWhiteAndPaletteIndicesAreNeverMixed) {
  auto bi = sample::NewImage(Fmt::kBi);
  bi->Create(4, 2, 0, L"b");
  bi->SetRed(0, 0, 1);
  bi->SetRed(1, 1, 1);  // two of four white: tie
  bi->SetRed(2, 0, 1);  // one of four white
  ASSERT_EQ(bi->ReSample(2, 1, 100), 1);
  EXPECT_EQ(sample::Colours(*bi), (std::vector<unsigned long>{0xFFFFFF, 0}));

  auto lo = sample::Make(Fmt::kLo, 6, 4);
  auto* probe = dynamic_cast<sample::Probe<CLoColorImage>*>(lo.get());
  const unsigned char first = probe->Row(2)[4];
  ASSERT_EQ(lo->ReSample(3, 2, 100), 1);
  EXPECT_EQ(probe->Row(1)[2], first);  // the top-left pixel of box (2, 1)
}

// The box of target index u among `to` over a source extent `from`: [trunc(u s), trunc((u + 1)
// s)) with s = from / to, at least the first index.
std::pair<int, int> ReferenceBox(int u, int from, int to) {
  const double scale = static_cast<double>(from) / to;
  const int first = static_cast<int>(u * scale);
  return {first, std::max(std::min(from, static_cast<int>((u + 1) * scale)), first + 1)};
}

TEST(GeometryResample, AveragesAndVotesMatchAPlainBoxReference) {
  // Whole factors (2 to 5, on a page large enough to be split among threads) and others.
  const sample::Size sizes[][2] = {{{1400, 800}, {700, 400}}, {{60, 45}, {20, 15}},
                                   {{64, 32}, {16, 8}},       {{55, 25}, {11, 5}},
                                   {{60, 40}, {30, 10}},      {{61, 41}, {30, 20}}};
  for (const Fmt f : {Fmt::kGrey, Fmt::kHi, Fmt::kBi}) {
    for (const auto& [from, to] : sizes) {
      auto image = sample::NewImage(f);
      image->Create(from.width, from.height, 0, L"r");
      uint32_t state = 12345;
      for (int y = 0; y < from.height; ++y) {
        for (int x = 0; x < from.width; ++x) {
          state = state * 1664525u + 1013904223u;
          image->SetRGBColor(
              x, y, f == Fmt::kBi ? ((state >> 16) & 1 ? 0xFFFFFF : 0) : (state >> 8) & 0xFFFFFF);
        }
      }
      std::vector<unsigned long> want;
      for (int v = 0; v < to.height; ++v) {
        const auto [y0, y1] = ReferenceBox(v, from.height, to.height);
        for (int u = 0; u < to.width; ++u) {
          const auto [x0, x1] = ReferenceBox(u, from.width, to.width);
          const unsigned long n = static_cast<unsigned long>((x1 - x0) * (y1 - y0));
          unsigned long sum[3] = {};
          for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
              const unsigned long c = image->GetRGBColor(x, y);
              for (int k = 0; k < 3; ++k) sum[k] += (c >> (8 * k)) & 0xFF;
            }
          }
          if (f == Fmt::kBi) {
            const unsigned long ones = sum[0] / 255;
            want.push_back(ones < n - ones ? 0 : 0xFFFFFF);
          } else {
            want.push_back(sum[0] / n | (sum[1] / n) << 8 | (sum[2] / n) << 16);
          }
        }
      }
      ASSERT_EQ(image->ReSample(to.width, to.height, 100), 1);
      EXPECT_EQ(sample::Colours(*image), want)
          << sample::Name(f) << " " << from.width << "x" << from.height << " to " << to.width << "x"
          << to.height;
    }
  }
}

TEST(GeometryResample, CommonPartDropsComponentsClearsMapsAndRefusesEmptySizes) {
  for (const Fmt f : sample::kAllFormats) {
    auto image = sample::Make(f, 8, 6);
    image->GetImageMap(0)->SetMapByte(1, 1, 1);
    image->CreateNewComponent();
    image->CreateBackup();
    for (const auto bad : {sample::Size{0, 3}, sample::Size{3, 0}, sample::Size{-2, 4}}) {
      EXPECT_EQ(image->ReSample(bad.width, bad.height, 10), 0);
    }
    EXPECT_TRUE(image->GetWidth() == 8 && image->GetMaxComponent() == 1);
    ASSERT_EQ(image->ReSample(5, 9, 200), 1) << sample::Name(f);
    const CImageMap* map = image->GetImageMap(0);
    // The old backup is gone; the map is cleared.
    EXPECT_EQ((std::vector<long>{image->GetWidth(), image->GetHeight(), image->GetNumberOfPixels(),
                                 image->GetMaxComponent(), image->GetDPI(), image->IsDirty(),
                                 image->CreateBackup(), map->GetWidth(), map->GetHeight(),
                                 map->GetMapByte(1, 1), map->GetPTByteLabel(L"Background")}),
              (std::vector<long>{5, 9, 45, 0, 200, 1, 1, 5, 9, 0, 1}));
  }
}

TEST(GeometryMaps, EveryOperationLeavesTheMapsTheImageSize) {
  for (const Fmt f : sample::kAllFormats) {
    auto image = sample::Make(f, 13, 7);
    image->AddImageMap(static_cast<unsigned char>(MAP_DORVALE));
    const std::function<void()> steps[] = {
        [&] { image->Rotate(0.7, 0, 0); }, [&] { image->Rotate(3.5, 0, 1); },      // size kept
        [&] { image->Tilt(-0.4, 3); },     [&] { image->Tilt(2.2, 1); },  // obtuse
        [&] { image->Crop(1, 2, 5, 4); },  [&] { image->ReSample(17, 3, 72); }};
    for (size_t step = 0; step < std::size(steps); ++step) {
      steps[step]();
      for (int i = 0; i < image->GetImageMapCount(); ++i) {
        EXPECT_TRUE(image->GetImageMap(i)->GetWidth() == image->GetWidth() &&
                    image->GetImageMap(i)->GetHeight() == image->GetHeight())
            << sample::Name(f) << " step " << step;
      }
    }
  }
}

TEST(GeometryMaps, LabelsMoveWithTheirPixels) {
  // A pattern of pixels in a colour of their own carries a label of the "Dorvale" map; after
  // each operation exactly the pixels of that colour carry it (fills are white and
  // unlabelled). Palette images would need a colour table: the other three formats.
  const std::pair<Fmt, unsigned long> formats[] = {
      {Fmt::kBi, RGB(0, 0, 0)}, {Fmt::kGrey, RGB(77, 77, 77)}, {Fmt::kHi, RGB(10, 200, 30)}};
  const unsigned long white = RGB(255, 255, 255);
  for (const auto& [f, mark] : formats) {
    auto image = sample::NewImage(f);
    image->Create(13, 7, f == Fmt::kBi ? white : RGB(100, 100, 100), L"pattern");
    CImageMap* dorvale = image->AddImageMap(static_cast<unsigned char>(MAP_DORVALE));
    const unsigned char fill = dorvale->GetPTByteLabel(L"Background");
    const unsigned char label = fill == 3 ? 4 : 3;
    for (int y = 0; y < 7; ++y) {
      for (int x = 0; x < 13; ++x) {
        if ((3 * x + y) % 4 != 0 && x != y) continue;
        image->SetRGBColor(x, y, mark);
        dorvale->SetMapByte(x, y, label);
      }
    }
    const unsigned long marked = image->GetRGBColor(0, 0);  // as the format shows it
    ASSERT_NE(marked, image->GetRGBColor(1, 0)) << sample::Name(f);
    const std::function<void()> steps[] = {
        [&] { image->Rotate(0.7, white, 0); }, [&] { image->Rotate(3.5, white, 1); },
        [&] { image->Tilt(-0.4, 3); },         [&] { image->Tilt(0.3, 1); },
        [&] { image->Crop(2, 3, 9, 6); },      [&] { image->Rotate(-1.2, white, 0); }};
    for (size_t step = 0; step < std::size(steps); ++step) {
      steps[step]();
      CImageMap* map = image->GetImageMap(image->GetImageMapIndex(L"Dorvale"));
      ASSERT_TRUE(map && map->GetWidth() == image->GetWidth() &&
                  map->GetHeight() == image->GetHeight());
      int labelled = 0, wrong = 0;
      for (int y = 0; y < image->GetHeight(); ++y) {
        for (int x = 0; x < image->GetWidth(); ++x) {
          const bool carries = map->GetMapByte(x, y) == label;
          labelled += carries;
          wrong += carries != (image->GetRGBColor(x, y) == marked);
        }
      }
      EXPECT_GT(labelled, 0) << sample::Name(f) << " step " << step;
      EXPECT_EQ(wrong, 0) << sample::Name(f) << " step " << step;
    }
  }
}

}  // namespace
