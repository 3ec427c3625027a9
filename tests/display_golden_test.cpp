// Golden pictures of the display overlays: each overlay of a fixed scene must equal its
// committed PNG. scripts/regenerate-goldens.sh rewrites them (VORLANE_REGENERATE_GOLDENS=1);
// a missing golden fails.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "support/display_probe.h"
#include "support/png_files.h"
#include "vorlane/overlay_view.h"

namespace {

const std::filesystem::path kGoldenDir =
    std::filesystem::path(__FILE__).parent_path() / "data" / "golden";

// A 32 x 20 colour scene: a colour gradient with "Standard" background in the top rows,
// "Dorvale" labels in a band, and four components (one of each type colour and one hidden)
// whose first has a vexed area.
void MakeScene(CHiColorImage& image) {
  image.Create(32, 20, 0, L"scene");
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 32; ++x) image.SetRGBColor(x, y, RGB(x * 8, y * 12, 255 - x * 4));
  }
  for (int x = 0; x < 32; ++x) image.GetImageMap(0)->SetMapByte(x, x % 3, 0x01);
  CImageMap* dorvale = image.AddImageMap(static_cast<unsigned char>(MAP_DORVALE));
  for (int x = 0; x < 32; ++x) dorvale->SetMapByte(x, 17, static_cast<unsigned char>(x % 14));
  AddComponent(image, {{5, 2, 9}, {6, 3, 10}, {7, 4, 8}}, 0x02)->GetVexed()->AddRun(8, 2, 12, 1);
  AddComponent(image, {{10, 14, 20}, {11, 15, 21}}, 0x04);
  AddComponent(image, {{12, 24, 30}, {13, 26, 29}}, 0);
  AddComponent(image, {{14, 0, 31}}, 0x10);
}

void ExpectGolden(CBitmap& bitmap, const char* name) {
  const auto path = kGoldenDir / name;
  const char* regenerate = std::getenv("VORLANE_REGENERATE_GOLDENS");
  if (regenerate && *regenerate == '1') {
    ASSERT_TRUE(vorlane::WritePng(bitmap, path)) << path;
  }
  DecodedPng golden;
  ASSERT_TRUE(ReadPng(path, golden)) << "missing golden " << path;
  ASSERT_EQ(golden.width, bitmap.Width());
  ASSERT_EQ(golden.height, bitmap.Height());
  for (int i = 0; i < bitmap.Width() * bitmap.Height(); ++i) {
    ASSERT_EQ(golden.pixels[i], bitmap.Pixels()[i]) << name << " pixel " << i;
  }
}

struct GoldenCase {
  const char* file;
  unsigned short flags;
  bool copy;  // the copy with overlays instead of the display bitmap
};

TEST(DisplayGolden, EachOverlayOfTheSceneMatchesItsPicture) {
  const GoldenCase cases[] = {
      {"map_overlay.png", IU_NORMAL | IU_MAP_OVERLAY, false},
      {"components_rotating.png", IU_NORMAL | IU_SHOW_COMPONENTS, true},
      {"components_by_type.png", IU_NORMAL | IU_SHOW_COMPONENTS | IU_BLACK_WHITE, true},
      {"component_tints.png", IU_NORMAL | IU_OVERLAY_COMPONENTS, true},
      {"thumbnail.png", IU_NORMAL | IU_THUMBNAIL | IU_MAP_OVERLAY, false},
  };
  for (const auto& c : cases) {
    CHiColorImage image;
    MakeScene(image);
    image.SetUpdateFlags(c.flags);
    CBitmap copy;
    image.GetBitmap(&copy);
    CBitmap& shown = c.copy                     ? copy
                     : (c.flags & IU_THUMBNAIL) ? *image.GetThumbnail()
                                                : *image.GetBitmap();
    ExpectGolden(shown, c.file);
  }
}

// The tool's overlay view of a grey page: the page's own grey with its ink (no "Background"
// label) tinted red and a "Dorvale" type in its colour, background untouched.
TEST(DisplayGolden, OverlayViewShowsThePageWithItsLabelsTinted) {
  CGreyScaleImage page;
  page.Create(24, 16, 0, L"page");
  CImageMap* standard = page.GetImageMap(0);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 24; ++x) {
      const bool ink = (x / 4 + y / 4) % 2 == 0;
      page.SetGreen(x, y, static_cast<unsigned char>(ink ? 20 + x * 3 : 180 + x * 3));
      if (!ink) standard->MapByteAddAttribute(x, y, 0x01);
    }
  }
  CImageMap* dorvale = page.AddImageMap(static_cast<unsigned char>(MAP_DORVALE));
  for (int x = 0; x < 24; ++x) dorvale->SetMapByte(x, 14, static_cast<unsigned char>(x % 14));
  const auto written = std::filesystem::path(testing::TempDir()) / "vorlane-overlay-view.png";
  ASSERT_TRUE(vorlane::WriteOverlayPng(page, written));
  const char* regenerate = std::getenv("VORLANE_REGENERATE_GOLDENS");
  if (regenerate && *regenerate == '1') {
    std::filesystem::copy_file(written, kGoldenDir / "overlay_view.png",
                               std::filesystem::copy_options::overwrite_existing);
  }
  DecodedPng view, golden;
  ASSERT_TRUE(ReadPng(written, view));
  std::filesystem::remove(written);
  ASSERT_TRUE(ReadPng(kGoldenDir / "overlay_view.png", golden)) << "missing golden";
  ASSERT_EQ(view.width, 24);
  ASSERT_EQ(view.height, 16);
  EXPECT_EQ(view.pixels, golden.pixels);
  const auto at = [&view](int x, int y) { return view.pixels[static_cast<size_t>(y) * 24 + x]; };
  const auto red = [](DWORD c) { return static_cast<int>(c >> 16); };
  const auto blue = [](DWORD c) { return static_cast<int>(c & 0xFF); };
  // Background: grey, within the quantisation of the view.
  EXPECT_EQ(red(at(4, 0)), blue(at(4, 0)));
  EXPECT_NEAR(red(at(4, 0)), 180 + 12, 5);
  // Ink: red over its own grey.
  EXPECT_GT(red(at(0, 0)), blue(at(0, 0)) + 60);
  // "Text" (8) is green, "Paper" (1) and "Foreground" (0) leave the pixel as it was.
  const DWORD text = at(8, 14), paper = at(1, 14);
  EXPECT_GT(static_cast<int>((text >> 8) & 0xFF), red(text) + 40);
  EXPECT_EQ(paper, at(1, 13));
}

}  // namespace
