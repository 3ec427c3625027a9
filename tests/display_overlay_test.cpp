// Component overlays and drawing: rotating and type colours, tints, bi-level component
// drawing, lines and copies onto a device context, and their behaviour at the image edges.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "support/display_probe.h"
#include "support/sample_images.h"

namespace {

using Pixels = std::vector<DWORD>;

// A white 12 x 4 colour image showing its pixels only.
void MakeWhitePage(CHiColorImage& image) {
  image.Create(12, 4, RGB(255, 255, 255), L"page");
  image.SetUpdateFlags(IU_NORMAL);
}

TEST(ComponentColours, RotateFromBlackAndSkipHiddenComponents) {
  CHiColorImage image;
  MakeWhitePage(image);
  AddComponent(image, {{0, 0, 0}}, 0x10);  // hidden: neither painted nor counted
  for (int i = 0; i < 10; ++i) AddComponent(image, {{1, i, i}});
  image.SetShowComponents(1);
  CBitmap copy;
  image.GetBitmap(&copy);
  // Hidden: white; then black, (30, 0, 0), (240, 0, 0), (100, 50, 0); display bitmap as was.
  EXPECT_EQ((Pixels{PixelAt(copy, 0, 0), PixelAt(copy, 0, 1), PixelAt(copy, 1, 1),
                    PixelAt(copy, 8, 1), PixelAt(copy, 9, 1), PixelAt(*image.GetBitmap(), 0, 1)}),
            (Pixels{0xFFFFFF, 0x000000, 0x1E0000, 0xF00000, 0x643200, 0xFFFFFF}));
}

TEST(ComponentColours, FollowTheTypeWordAndStayInsideSmallBitmaps) {
  CHiColorImage image;
  MakeWhitePage(image);
  image.GetBitmap();
  AddComponent(image, {{0, 0, 0}}, 0x02);
  AddComponent(image, {{0, 1, 1}}, 0x04);
  AddComponent(image, {{-3, 0, 5}, {0, 2, 40}, {9, 0, 3}}, 0);
  image.SetShowBW(1);
  CBitmap small;
  small.CreateBitmap(4, 1, 1, 32, nullptr);
  image.ShowPhysicalStructure(&small);
  const std::vector<DWORD> expected = {0x000000, 0xFFFFFF, 0x00FF00, 0x00FF00};
  EXPECT_EQ(std::vector<DWORD>(small.Pixels(), small.Pixels() + 4), expected);
}

TEST(ComponentTints, BlendRedOverComponentsAndGreenOverVexedAreas) {
  CHiColorImage image;
  MakeWhitePage(image);
  CComp* comp = AddComponent(image, {{0, 0, 1}});
  comp->GetVexed()->AddRun(1, 0, 0, 1);
  AddComponent(image, {{3, 0, 0}});
  image.GetBitmap();
  image.OverlayComponent(0, nullptr, 0x03);
  CBitmap* bitmap = image.GetBitmap();
  EXPECT_EQ((Pixels{PixelAt(*bitmap, 1, 0), PixelAt(*bitmap, 0, 1), PixelAt(*bitmap, 0, 3)}),
            (Pixels{0xDF7F7F, 0x7FDF7F, 0xFFFFFF}));  // red ((255 + 192) / 2), green
  // One past the last index and a null list do nothing.
  image.OverlayComponent(2, nullptr, 0x05);
  image.OverlayComponent(nullptr, 1, nullptr, 0x05);
  EXPECT_EQ(PixelAt(*bitmap, 0, 3), 0xFFFFFFu);
  // -1 tints every component, here with the full red.
  image.OverlayComponent(-1, nullptr, 0x05);
  EXPECT_EQ((Pixels{PixelAt(*bitmap, 0, 3), PixelAt(*bitmap, 0, 0)}), (Pixels{0xFF7F7F, 0xEF3F3F}));
}

// Plain two passes over a copy of the pixels: the red tint over the runs of every listed
// component, then the green tint over the runs of every listed vexed area.
struct TintCase {
  std::vector<std::vector<Run>> runs, vexed;  // per component, each disjoint
  std::vector<int> indices;
  unsigned char flags;
};

Pixels TwoPassTints(Pixels pixels, int width, const TintCase& c) {
  const int red = (c.flags & 0x04) ? 0xFF : 0xC0;
  const int green = (c.flags & 0x08) ? 0xFF : 0xC0;
  const auto tint = [&](const std::vector<Run>& runs, int r, int g) {
    for (const Run& run : runs) {
      for (int x = run.xl; x <= run.xr; ++x) {
        DWORD& p = pixels[static_cast<size_t>(run.y) * width + x];
        const DWORD pr = (((p >> 16) & 0xFF) + r) / 2, pg = (((p >> 8) & 0xFF) + g) / 2;
        p = (pr << 16) | (pg << 8) | ((p & 0xFF) / 2);
      }
    }
  };
  const auto valid = [&](int i) { return i >= 0 && i < static_cast<int>(c.runs.size()); };
  if (c.flags & 0x01)
    for (int i : c.indices)
      if (valid(i)) tint(c.runs[i], red, 0);
  if (c.flags & 0x02)
    for (int i : c.indices)
      if (valid(i)) tint(c.vexed[i], 0, green);
  return pixels;
}

TEST(ComponentTints, AllRedTintsComeBeforeAllGreenTints) {
  // clang-format off
  const TintCase cases[] = {
      // The first vexed area lies under the second component's runs.
      {{{{0, 0, 2}}, {{1, 0, 3}}}, {{{1, 1, 2}}, {}}, {0, 1}, 0x03},
      // ... and listed the other way round.
      {{{{0, 0, 2}}, {{1, 0, 3}}}, {{{1, 1, 2}}, {}}, {1, 0}, 0x03},
      // Each vexed area under the other's runs, full intensities.
      {{{{0, 0, 4}}, {{2, 3, 9}}}, {{{2, 2, 5}}, {{0, 3, 6}}}, {0, 1}, 0x0F},
      // Three components, a vexed area under two later ones, one index listed twice.
      {{{{0, 0, 5}}, {{1, 2, 7}}, {{1, 8, 11}, {3, 0, 1}}},
       {{{1, 4, 9}, {3, 0, 0}}, {{2, 0, 3}}, {{0, 4, 4}}}, {0, 1, 2, 1}, 0x03},
      // One flag alone, and an index outside the list among valid ones.
      {{{{0, 0, 2}}, {{1, 0, 3}}}, {{{1, 1, 2}}, {{0, 1, 1}}}, {0, 5, 1}, 0x01},
      {{{{0, 0, 2}}, {{1, 0, 3}}}, {{{1, 1, 2}}, {{0, 1, 1}}}, {0, -3, 1}, 0x0A},
  };
  // clang-format on
  for (size_t n = 0; n < std::size(cases); ++n) {
    const TintCase& c = cases[n];
    CHiColorImage image;
    MakeWhitePage(image);
    for (size_t i = 0; i < c.runs.size(); ++i) {
      CComp* comp = image.CreateNewComponent();
      for (const ::Run& r : c.runs[i]) comp->AddRun(r.y, r.xl, r.xr, 1);
      for (const ::Run& r : c.vexed[i]) comp->GetVexed()->AddRun(r.y, r.xl, r.xr, 1);
    }
    CBitmap* bitmap = image.GetBitmap();
    const Pixels before(bitmap->Pixels(), bitmap->Pixels() + 12 * 4);
    std::vector<int> indices = c.indices;
    image.OverlayComponent(indices.data(), static_cast<int>(indices.size()), nullptr, c.flags);
    EXPECT_EQ(Pixels(bitmap->Pixels(), bitmap->Pixels() + 12 * 4), TwoPassTints(before, 12, c))
        << "case " << n;
  }
}

TEST(ComponentTints, PixelBlendTakesTheBackgroundColourOfTheCurrentMap) {
  DisplayProbe<CHiColorImage> image;
  image.Create(2, 1, RGB(255, 255, 255), L"blend");
  image.GetImageMap(0)->SetMapByte(1, 0, 0x01);  // "Background": (0, 0, 192)
  std::vector<unsigned char> bits(8, 200);
  image.Blend(0, 0, 100, 0, 0, bits.data(), 8);
  image.Blend(1, 0, 100, 0, 0, bits.data(), 8);
  image.Blend(2, 0, 100, 0, 0, bits.data(), 8);  // beyond the row: left out
  EXPECT_EQ(bits, (std::vector<unsigned char>{100, 100, 150, 200, 96, 0, 50, 200}));
}

TEST(DrawComponents, ColourThresholdDecidesBlackOrWhite) {
  const std::pair<unsigned long, unsigned char> cases[] = {
      {RGB(0, 0, 0), 0}, {RGB(128, 128, 128), 0}, {RGB(129, 129, 129), 1}, {RGB(0, 0, 129), 1}};
  for (const auto& [colour, value] : cases) {
    CBiLevelImage image;
    image.Create(4, 2, 0, L"bi");
    AddComponent(image, {{0, 1, 2}, {5, 0, 3}, {1, -4, 99}});
    image.GetBitmap();
    image.DrawComponents(colour);
    EXPECT_FALSE(image.IsDirty());
    const unsigned long v = value ? 0xFFFFFF : 0;
    EXPECT_EQ(sample::Colours(image),
              (std::vector<unsigned long>{0xFFFFFF, v, v, 0xFFFFFF, v, v, v, v}))
        << colour;
  }
}

TEST(DrawLine, EndPointIsNotDrawnAndLimitsIncludeTheirEdges) {
  CHiColorImage image;
  image.Create(6, 4, 0, L"lines");
  image.DrawSetForeColor(RGB(10, 20, 30));
  image.DrawSetLimits(CRect(1, 0, 3, 3));
  image.DrawLine(0, 0, 5, 0);
  image.DrawLine(4, 3, 4, 3);  // n = 0
  const unsigned long c = RGB(10, 20, 30);
  auto row = sample::Colours(image);
  row.resize(6);
  EXPECT_EQ(row, (std::vector<unsigned long>{0, c, c, c, 0, 0}));
  // The line form: theta 0 is the column rho; a tiny angle gives a line far off the image.
  image.DrawSetLimits(CRect(0, 0, 5, 3));
  image.DrawLine(2.7f, 0.0f, 0, 0);
  EXPECT_TRUE(image.GetRGBColor(2, 2) == c && image.GetRGBColor(2, 3) == 0u);
  image.DrawLine(1.0f, 1e-30f, 0, 0);
  image.DrawLine(1.5f, 1.5707964f, 0, 1);  // horizontal line y = 1 shifted to row 2
  EXPECT_EQ(image.GetRGBColor(4, 2), c);
  // Limits beyond the image and far end points stay inside the pixels.
  image.DrawSetLimits(CRect(INT_MIN, INT_MIN, INT_MAX, INT_MAX));
  image.DrawLine(-1000000, 3, 1000000, 3);
  EXPECT_EQ(image.GetRGBColor(5, 3), c);
  image.DrawLine(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
}

TEST(Draw, CopiesThePixelsOntoTheSelectedBitmapWithTheRasterOperation) {
  CHiColorImage image;
  image.Create(2, 2, RGB(0x0F, 0xF0, 0x33), L"draw");
  CBitmap surface;
  surface.CreateBitmap(3, 3, 1, 32, nullptr);
  CDC dc;
  image.Draw(&dc, 0, 0, SRCCOPY);  // nothing selected: nothing drawn
  dc.SelectObject(&surface);
  image.Draw(&dc, 2, -1, SRCCOPY);
  image.Draw(&dc, 0, 1, SRCPAINT);
  image.Draw(&dc, 0, 0, 0x12345678);  // unknown operation
  EXPECT_EQ(std::vector<DWORD>(surface.Pixels(), surface.Pixels() + 9),
            (std::vector<DWORD>{0, 0, 0x0FF033, 0x0FF033, 0x0FF033, 0, 0x0FF033, 0x0FF033, 0}));
}

}  // namespace
