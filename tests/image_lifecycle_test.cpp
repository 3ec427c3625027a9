// Construction, creation and release of images in every format, and the per-pixel colour
// interface of each.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "support/sample_images.h"
#include "vorlane/vorlane.h"

namespace {

template <typename T>
class EveryFormat : public ::testing::Test {};

using Formats = ::testing::Types<CBiLevelImage, CGreyScaleImage, CLoColorImage, CHiColorImage>;
TYPED_TEST_SUITE(EveryFormat, Formats);

TYPED_TEST(EveryFormat, CreateGivesOneStandardMapAndFreeMemoryKeepsTheCurrentOne) {
  // Low colour has no Create of its own: the format-independent part runs and makes no pixels.
  TypeParam image;
  ASSERT_EQ(image.Create(5, 5, 0, L"a"), 1);
  image.AddImageMap(L"extra", MAP_BYTE_LABELS);
  image.SetDPI(300);
  image.CreateBackup();
  ASSERT_EQ(image.Create(4, 3, 0, L"page"), 1);  // over a used image: all of it goes
  EXPECT_EQ((std::vector<long>{image.GetWidth(), image.GetHeight(), image.GetNumberOfPixels(),
                               image.GetDPI(), image.GetImageMapCount(), image.GetCurrentMapIndex(),
                               image.DiscardBackup()}),
            (std::vector<long>{4, 3, 12, 1, 1, 0, 0}));
  EXPECT_TRUE(image.GetImageMap(0)->IsPreDefinedMap(MAP_STANDARD));
  image.SetName(image.GetName());  // its own name: nothing is released twice
  EXPECT_STREQ(image.GetName(), L"page");
  EXPECT_TRUE(image.IsDirty());
  image.AddImageMap(L"one", MAP_BYTE_LABELS);
  CImageMap* kept = image.AddImageMap(L"two", MAP_BIT_LABELS);
  ASSERT_TRUE(image.SetCurrentMap(2));
  image.FreeMemory(), image.FreeMemory();
  ASSERT_EQ(image.GetImageMapCount(), 1);
  EXPECT_TRUE(image.GetCurrentMapIndex() == 0 && image.GetImageMap(0) == kept &&
              kept->GetPTByteLabel(L"Background") == 1);
  EXPECT_STREQ(kept->GetName(), L"Standard");
}

TYPED_TEST(EveryFormat, RefusesSizesWhoseBuffersCannotExist) {
  const int sizes[][2] = {{-1, 5}, {5, -1}, {INT_MAX, 2}, {70000, 70000}, {INT_MAX, INT_MAX}};
  for (const auto& s : sizes) {
    TypeParam image;
    EXPECT_EQ(image.Create(s[0], s[1], 0, L"x"), 0) << s[0] << " x " << s[1];
    EXPECT_TRUE(image.GetImageMapCount() == 0 && image.GetWidth() == 0 &&
                image.GetRGBColor(0, 0) == 0u);
  }
}

struct LoProbe : sample::Probe<CLoColorImage> {
  // Pixels of w x h, and the palette given.
  void GivePixels(int w, int h, const DWORD* palette) {
    CreateFromImage(sample::Make(sample::Fmt::kGrey, w, h).get(), 0);
    std::copy(palette, palette + 256, Palette());
  }
  unsigned char PaletteGreen(int i) { return GetPaletteGreen(i); }
};

TEST(ColourInterface, BiLevelStoresOneOrZero) {
  CBiLevelImage bi;
  bi.Create(4, 4, 0x00FFFFFF, nullptr);
  bi.SetRGBColor(1, 1, 0x000000FF);  // pure red: blue byte 0
  EXPECT_EQ(bi.GetRed(1, 1), 0);
  bi.SetRGBColor(1, 1, 0x00010000), bi.SetGreen(2, 2, 200);
  EXPECT_TRUE(bi.GetRGBColor(1, 1) == 0x00FFFFFFu && bi.GetBlue(2, 2) == 1);
  bi.SetBlue(2, 2, 0), bi.SetRed(4, 0, 0), bi.SetRed(0, -1, 0);
  EXPECT_EQ((std::vector<unsigned long>{bi.GetRGBColor(2, 2), bi.GetRed(4, 0), bi.GetRed(3, 0)}),
            (std::vector<unsigned long>{0, 0, 1}));
}

TEST(ColourInterface, HiColourKeepsChannelsAndTheFourthByte) {
  sample::Probe<CHiColorImage> hi;
  hi.Create(3, 2, 0, nullptr);
  hi.Row(1)[4 * 2 + 3] = 0x77;
  hi.SetRGBColor(2, 1, 0x00123456);
  EXPECT_EQ(hi.GetRGBColor(2, 1), 0x00123456u);
  EXPECT_EQ((std::vector<int>{hi.GetRed(2, 1), hi.GetGreen(2, 1), hi.GetBlue(2, 1),
                              hi.Row(1)[4 * 2 + 3], hi.GetRed(-1, 0)}),
            (std::vector<int>{0x56, 0x34, 0x12, 0x77, 0}));
  hi.SetRed(3, 0, 9), hi.SetRed(0, 2, 9);
  EXPECT_EQ(hi.GetRed(0, 1), 0);
}

TEST(ColourInterface, LoColourGoesThroughThePaletteWhoseClosestEntryPrefersLowerIndexOnTies) {
  DWORD palette[256] = {};
  for (int i = 0; i < 256; ++i) palette[i] = RGB(i, 255 - i, i / 2);
  LoProbe lo;
  lo.GivePixels(3, 2, palette);
  lo.SetRGBColor(1, 1, RGB(10, 245, 5));
  EXPECT_TRUE(lo.Row(1)[1] == 10 && lo.GetRed(1, 1) == 10 && lo.GetRGBColor(1, 1) == palette[10]);
  lo.SetRed(1, 1, 100);  // other channels from the current entry: nearest is 10 + ...
  EXPECT_EQ(lo.Row(1)[1], lo.Closest(RGB(100, 245, 5)));
  EXPECT_EQ(lo.GetRed(5, 5), 0);
  lo.SetRGBColor(-1, 0, 0);
  std::fill(lo.Palette(), lo.Palette() + 256, RGB(255, 255, 255));
  lo.Palette()[3] = lo.Palette()[7] = RGB(100, 100, 100);
  // Black is 765 away from white and 300 from grey.
  EXPECT_EQ(lo.Closest(RGB(101, 99, 100)) * 10 + lo.Closest(RGB(0, 0, 0)), 33);
  LoProbe none;
  EXPECT_EQ(none.PaletteGreen(7), 7);  // no palette: a grey ramp
}

}  // namespace
