// Golden pictures of the display overlays: each overlay of a fixed scene must equal its
// committed PNG. scripts/regenerate-goldens.sh rewrites them (VORLANE_REGENERATE_GOLDENS=1);
// a missing golden fails.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "support/display_probe.h"
#include "support/png_files.h"

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

}  // namespace
