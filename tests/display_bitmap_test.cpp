// Display bitmaps: the pixels of each format, the map colours, the update flags, the
// thumbnail geometry and the titles.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "support/display_probe.h"
#include "support/sample_images.h"

namespace {

using sample::Fmt;

// Every display pixel equals the colour the image's colour interface reports.
TEST(DisplayBitmap, ShowsThePixelsOfEveryFormatAtOddSizes) {
  for (Fmt f : sample::kAllFormats) {
    for (auto size : sample::kOddSizes) {
      auto image = sample::Make(f, size.width, size.height);
      image->SetUpdateFlags(IU_NORMAL);
      CBitmap* bitmap = image->GetBitmap();
      ASSERT_TRUE(bitmap->Width() == size.width && bitmap->Height() == size.height);
      std::vector<DWORD> want;
      for (unsigned long c : sample::Colours(*image)) want.push_back(PixelOf(c));
      EXPECT_EQ(std::vector<DWORD>(bitmap->Pixels(), bitmap->Pixels() + want.size()), want)
          << sample::Name(f) << " " << size.width << "x" << size.height;
      // The dimmed source is an unchanged copy; without a source the bitmap stays black.
      image->SetUpdateFlags(IU_DIMMED);
      EXPECT_EQ(PixelAt(*image->GetBitmap(), size.width - 1, 0),
                PixelOf(image->GetRGBColor(size.width - 1, 0)));
      image->SetUpdateFlags(0);
      EXPECT_EQ(PixelAt(*image->GetBitmap(), 0, 0), 0u);
    }
  }
}

TEST(DisplayBitmap, FirstDisplayPaintsStandardAndDorvaleColours) {
  CGreyScaleImage image;
  image.Create(4, 3, RGB(0, 100, 0), L"page");
  EXPECT_TRUE(image.IsDirty());
  image.GetImageMap(0)->SetMapByte(1, 1, 0x01);
  image.AddImageMap(static_cast<unsigned char>(MAP_DORVALE))->SetMapByte(2, 2, 1);  // "Paper"
  CBitmap* bitmap = image.GetBitmap();
  EXPECT_FALSE(image.IsDirty());
  // Unlabelled: the grey itself; "Standard" 0x01: blue (0, 0, 192); "Dorvale" paper
  // (192, 64, 64).
  EXPECT_EQ(
      (std::vector<DWORD>{PixelAt(*bitmap, 0, 0), PixelAt(*bitmap, 1, 1), PixelAt(*bitmap, 2, 2)}),
      (std::vector<DWORD>{0x646464, 0x0000C0, 0xC04040}));
  // The name form paints the named map only; a missing name does nothing.
  image.SetUpdateFlags(IU_NORMAL);
  bitmap = image.GetBitmap();
  image.UpdateColourMap(L"Dorvale");
  image.UpdateColourMap(L"No such map");
  EXPECT_TRUE(PixelAt(*bitmap, 1, 1) == 0x646464u && PixelAt(*bitmap, 2, 2) == 0xC04040u);
}

// A host's class that overrides UpdateColourMap sees the rebuild call it for the current map
// and the "Dorvale" map, after the pixels are in the bitmap.
class CountingImage : public CGreyScaleImage {
 public:
  void UpdateColourMap(int mapIndex) override {
    calls.push_back(mapIndex);
    seen.push_back(PixelAt(m_Bitmap, 0, 0));
    if (mapIndex == 0) CImage::UpdateColourMap(mapIndex);
  }
  std::vector<int> calls;
  std::vector<DWORD> seen;
};

TEST(DisplayBitmap, RebuildCallsAnOverriddenUpdateColourMapForBothMaps) {
  CountingImage image;
  image.Create(4, 3, RGB(0, 100, 0), L"page");
  image.GetImageMap(0)->SetMapByte(1, 1, 0x01);
  image.AddImageMap(static_cast<unsigned char>(MAP_DORVALE))->SetMapByte(2, 2, 1);
  CBitmap* bitmap = image.GetBitmap();
  EXPECT_EQ(image.calls, (std::vector<int>{0, 1}));
  EXPECT_EQ(image.seen, (std::vector<DWORD>{0x646464, 0x646464}));
  // The override left "Dorvale" unpainted.
  EXPECT_TRUE(PixelAt(*bitmap, 1, 1) == 0x0000C0u && PixelAt(*bitmap, 2, 2) == 0x646464u);
}

TEST(DisplayBitmap, MapOfAnotherSizePaintsOnlyTheSharedPart) {
  for (int side : {1, 9}) {
    CHiColorImage image;
    image.Create(3, 2, RGB(1, 2, 3), L"small");
    image.GetImageMap(0)->Create(side, side, static_cast<unsigned char>(MAP_STANDARD));
    image.GetImageMap(0)->ClearMap(0x01);
    CBitmap* bitmap = image.GetBitmap();
    EXPECT_EQ(PixelAt(*bitmap, 2, 1), side == 1 ? 0x010203u : 0x0000C0u);
    EXPECT_EQ(PixelAt(*bitmap, 0, 0), 0x0000C0u);
  }
}

TEST(DisplayBitmap, MapColoursFollowEveryLabelAlongWideRows) {
  // Runs of "Standard" 0x01 of 9 to 11 pixels: whole blocks of eight of one label and mixed ones.
  CHiColorImage image;
  image.Create(37, 3, RGB(1, 2, 3), L"wide");
  const auto labelled = [](int x, int y) { return (x + y) / (9 + y) % 2 == 0; };
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 37; ++x)
      if (labelled(x, y)) image.GetImageMap(0)->SetMapByte(x, y, 0x01);
  CBitmap* bitmap = image.GetBitmap();
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 37; ++x)
      EXPECT_EQ(PixelAt(*bitmap, x, y), labelled(x, y) ? 0x0000C0u : 0x010203u) << x << "," << y;
}

struct ThumbnailCase {
  int width, height;
  int left, top, right, bottom;  // the picture inside the 100 x 100 thumbnail
};

TEST(Thumbnail, PictureIsScaledAndCentredOnBlueWithABlackOutline) {
  const ThumbnailCase cases[] = {{200, 100, 0, 25, 100, 75}, {100, 200, 25, 0, 75, 100},
                                 {0, 50, 0, 0, 0, 0},        {50, 0, 0, 0, 0, 0},
                                 {4000, 1, 0, 0, 0, 0},      {1, 3000, 0, 0, 0, 0}};
  for (const auto& c : cases) {
    CHiColorImage image;
    image.Create(c.width, c.height, RGB(255, 255, 255), L"t");
    image.GetBitmap();
    CBitmap* thumb = image.GetThumbnail();
    ASSERT_EQ(thumb->Width(), 100);
    for (int y = 0; y < 100; ++y) {
      for (int x = 0; x < 100; ++x) {
        const bool inside = x >= c.left && x < c.right && y >= c.top && y < c.bottom;
        const bool edge = x == 0 || y == 0 || x == 99 || y == 99;
        const DWORD expected = inside ? 0xFFFFFFu : edge ? 0u : 0x0000FFu;
        ASSERT_EQ(PixelAt(*thumb, x, y), expected)
            << c.width << "x" << c.height << " " << x << "," << y;
      }
    }
  }
}

TEST(Title, NameFollowedByABlankThenTheTypeWord) {
  CGreyScaleImage grey;
  CHiColorImage hi;
  CBiLevelImage bi;
  // The name, empty or missing, is always followed by the blank when asked for.
  const struct {
    CImage* image;
    const wchar_t* name;
    unsigned short parts;
    const wchar_t* title;
  } cases[] = {
      {&grey, L"scan", 3, L"scan Unknown "},
      {&hi, L"photo", 3, L"photo HiColor "},
      {&hi, L"photo", 0, L""},
      {&hi, L"photo", 1, L"photo "},
      {&bi, L"", 2, L"BiLevel "},
      {&grey, L"", 1, L" "},
      {&grey, L"", 3, L" Unknown "},
      {&bi, nullptr, 1, L" "},
      {&bi, nullptr, 3, L" BiLevel "},
      {&hi, nullptr, 3, L" HiColor "},
  };
  for (const auto& c : cases) {
    c.image->Create(1, 1, 0, c.name);
    EXPECT_STREQ(static_cast<const wchar_t*>(c.image->GetTitle(c.parts)), c.title)
        << (c.name ? c.name : L"(null)") << " " << c.parts;
  }
}

}  // namespace

// Page-sized bitmaps reuse the arrays of released ones: a new one is still black, one made
// from pixels holds them, even when they are its own.
TEST(DisplayBitmap, PageSizedBitmapsStartBlackOrAsGiven) {
  constexpr int kWidth = 1200, kHeight = 900;  // 4.3 MB: a reused page block
  for (int round = 0; round < 2; ++round) {
    CBitmap bitmap;
    ASSERT_TRUE(bitmap.CreateBitmap(kWidth, kHeight, 1, 32, nullptr));
    for (int i = 0; i < kWidth * kHeight; ++i)
      ASSERT_EQ(bitmap.Pixels()[i], 0u) << round << " " << i;
    std::fill_n(bitmap.Pixels(), kWidth * kHeight, DWORD{0x00123456});
    bitmap.Pixels()[7] = 0x00ABCDEF;
    ASSERT_TRUE(bitmap.CreateBitmap(kWidth, kHeight, 1, 32, bitmap.Pixels()));
    EXPECT_EQ(bitmap.Pixels()[7], 0x00ABCDEFu);
    EXPECT_EQ(bitmap.Pixels()[kWidth * kHeight - 1], 0x00123456u);
  }
  CBitmap empty;
  ASSERT_TRUE(empty.CreateBitmap(0, 5, 1, 32, nullptr));
  EXPECT_EQ(empty.Pixels(), nullptr);
  EXPECT_FALSE(empty.CreateBitmap(-1, 5, 1, 32, nullptr));
}
