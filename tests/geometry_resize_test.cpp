// Crop and resampling of images of every format with their maps: the accepted and refused
// rectangles, box averaging, majority vote, first-pixel sampling of palette indices, and
// what resampling does to components, resolution, backup, name and maps.
#include <gtest/gtest.h>

#include <climits>

#include "support/sample_images.h"

namespace {

using sample::Fmt;

struct CropCase {
  int x, y, w, h;
  bool done;
};

TEST(GeometryCrop, KeepsRectanglesInsideAndRefusesTheRest) {
  const CropCase cases[] = {
      {0, 0, 9, 7, true},        {2, 1, 5, 4, true},   {8, 6, 1, 1, true},
      {3, 3, 0, 0, true},        {9, 0, 0, 1, false},  {0, 7, 1, 0, false},
      {-1, 0, 2, 2, false},      {2, 2, 8, 2, false},  {1, 1, INT_MAX, 2, false},
      {1, 1, 2, INT_MAX, false}, {1, 1, -1, 2, false},
  };
  for (const Fmt f : sample::kAllFormats) {
    const auto original = sample::Make(f, 9, 7);
    for (const CropCase& c : cases) {
      auto image = sample::NewImage(f);
      image->CreateDuplicate(original.get(), 0);
      image->CreateBackup();
      image->Crop(c.x, c.y, c.w, c.h);
      const int w = c.done ? c.w : 9, h = c.done ? c.h : 7;
      ASSERT_EQ(image->GetWidth(), w) << sample::Name(f);
      ASSERT_EQ(image->GetHeight(), h);
      EXPECT_EQ(image->GetNumberOfPixels(), w * h);
      EXPECT_EQ(image->GetImageMap(0)->GetWidth(), w);
      EXPECT_EQ(image->GetImageMap(0)->GetHeight(), h);
      EXPECT_EQ(image->CreateBackup(), c.done ? 1 : 0);  // a crop discards the backup
      const int ox = c.done ? c.x : 0, oy = c.done ? c.y : 0;
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
          ASSERT_EQ(image->GetRGBColor(x, y), original->GetRGBColor(ox + x, oy + y));
        }
      }
    }
  }
}

TEST(GeometryResample, ColourBoxesAverageAndEnlargingRepeatsPixels) {
  auto image = sample::NewImage(Fmt::kHi);
  image->Create(4, 2, 0, L"c");
  const unsigned long block[] = {0x000000, 0x030507, 0x0A0B0C, 0x101010};
  image->SetRGBColor(0, 0, block[0]);
  image->SetRGBColor(1, 0, block[1]);
  image->SetRGBColor(0, 1, block[2]);
  image->SetRGBColor(1, 1, block[3]);
  ASSERT_EQ(image->ReSample(2, 1, 150), 1);
  EXPECT_EQ(image->GetRGBColor(0, 0), 0x070808u);  // each channel summed over 2 x 2, / 4
  EXPECT_EQ(image->GetDPI(), 150);
  ASSERT_EQ(image->ReSample(4, 2, 300), 1);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 2; ++x) EXPECT_EQ(image->GetRGBColor(x, y), 0x070808u);
  }
}

TEST(GeometryResample, UnequalBoxesFollowTheTruncatedBoundaries) {
  // Ten columns to three: boxes [0, 3), [3, 6), [6, 10).
  auto image = sample::NewImage(Fmt::kGrey);
  image->Create(10, 1, 0, L"g");
  for (int x = 0; x < 10; ++x) image->SetRed(x, 0, static_cast<unsigned char>(x * 10));
  ASSERT_EQ(image->ReSample(3, 1, 100), 1);
  EXPECT_EQ(image->GetRed(0, 0), 10);  // (0+10+20)/3
  EXPECT_EQ(image->GetRed(1, 0), 40);
  EXPECT_EQ(image->GetRed(2, 0), 75);  // (60+70+80+90)/4
}

TEST(GeometryResample, BiLevelVotesWithTiesWhiteAndPaletteIndicesAreNeverMixed) {
  auto bi = sample::NewImage(Fmt::kBi);
  bi->Create(4, 2, 0, L"b");
  bi->SetRed(0, 0, 1);
  bi->SetRed(1, 1, 1);  // two of four white: tie
  bi->SetRed(2, 0, 1);  // one of four white
  ASSERT_EQ(bi->ReSample(2, 1, 100), 1);
  EXPECT_EQ(bi->GetRed(0, 0), 1);
  EXPECT_EQ(bi->GetRed(1, 0), 0);
  EXPECT_STREQ(bi->GetName(), L"b");  // name and maps survive
  EXPECT_EQ(bi->GetImageMap(0)->GetWidth(), 2);

  auto lo = sample::Make(Fmt::kLo, 6, 4);
  auto* probe = dynamic_cast<sample::Probe<CLoColorImage>*>(lo.get());
  const unsigned char first = probe->Row(2)[4];
  ASSERT_EQ(lo->ReSample(3, 2, 100), 1);
  EXPECT_EQ(probe->Row(1)[2], first);  // the top-left pixel of box (2, 1)
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
    EXPECT_EQ(image->GetWidth(), 8);
    EXPECT_EQ(image->GetMaxComponent(), 1);
    ASSERT_EQ(image->ReSample(5, 9, 200), 1) << sample::Name(f);
    EXPECT_EQ(image->GetWidth(), 5);
    EXPECT_EQ(image->GetHeight(), 9);
    EXPECT_EQ(image->GetNumberOfPixels(), 45);
    EXPECT_EQ(image->GetMaxComponent(), 0);
    EXPECT_EQ(image->GetDPI(), 200);
    EXPECT_TRUE(image->IsDirty());
    EXPECT_EQ(image->CreateBackup(), 1);  // the old backup is gone
    const CImageMap* map = image->GetImageMap(0);
    ASSERT_EQ(map->GetWidth(), 5);
    ASSERT_EQ(map->GetHeight(), 9);
    EXPECT_EQ(map->GetMapByte(1, 1), 0);
    EXPECT_EQ(map->GetPTByteLabel(L"Background"), 1);
  }
}

TEST(GeometryMaps, EveryOperationLeavesTheMapsTheImageSize) {
  for (const Fmt f : sample::kAllFormats) {
    auto image = sample::Make(f, 13, 7);
    image->AddImageMap(static_cast<unsigned char>(MAP_DORVALE));
    const auto check = [&](const char* step) {
      for (int i = 0; i < image->GetImageMapCount(); ++i) {
        EXPECT_EQ(image->GetImageMap(i)->GetWidth(), image->GetWidth()) << sample::Name(f) << step;
        EXPECT_EQ(image->GetImageMap(i)->GetHeight(), image->GetHeight()) << step;
      }
    };
    image->Rotate(0.7, 0, 0);
    check("rotate");
    image->Rotate(3.5, 0, 1);
    check("rotate kept");
    image->Tilt(-0.4, 3);
    check("tilt");
    image->Tilt(2.2, 1);
    check("tilt obtuse");
    image->Crop(1, 2, 5, 4);
    check("crop");
    image->ReSample(17, 3, 72);
    check("resample");
  }
}

}  // namespace
