// Rotation and shear of images and maps: the fast kernels against the plain formulas on
// every pixel, the no-operation and backup rules, size keeping, rectangle rotation and the
// maps following their image.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <tuple>
#include <vector>

#include "support/geometry_reference.h"
#include "support/sample_images.h"

namespace {

using georef::Grid;
using sample::Fmt;

constexpr double kBoundary = 1.5707963705062866;
constexpr double kPi = std::numbers::pi;
// Quarter, half and full turns (pi / 2, pi, 2 pi) and their float neighbours included.
// clang-format off
constexpr double kAngles[] = {0.01, -0.1, 0.3, 1.5707963267948966, kBoundary, 2.0, 3.0,
    3.141592653589793, 3.1415927410125732, 4.0, 4.71238911151886, 5.5, 6.283185307179586, 7.5, -20.0};
// clang-format on
constexpr sample::Size kSizes[] = {{1, 1}, {7, 3}, {3, 7}, {40, 25}, {64, 2}};

// The image's pixels as 32-bit values: palette indices for low colour, else its colours.
Grid Pixels(CImage& image) {
  Grid g(image.GetWidth(), image.GetHeight());
  auto* lo = dynamic_cast<sample::Probe<CLoColorImage>*>(&image);
  for (int y = 0; y < g.h; ++y)
    for (int x = 0; x < g.w; ++x) g.at(x, y) = lo ? lo->Row(y)[x] : image.GetRGBColor(x, y);
  return g;
}

Grid Bytes(const CImageMap& map) {
  Grid g(map.GetWidth(), map.GetHeight());
  for (int y = 0; y < g.h; ++y)
    for (int x = 0; x < g.w; ++x) g.at(x, y) = map.GetMapByte(x, y);
  return g;
}

// A map of the image's size whose bytes number its pixels (mod 251), or all 7 when uniform
// (a plane of one value rotates by filling), as the image's map 0.
CImageMap& NumberMap(CImage& image, bool uniform) {
  CImageMap& map = *image.GetImageMap(0);
  for (int y = 0; y < map.GetHeight(); ++y)
    for (int x = 0; x < map.GetWidth(); ++x)
      map.SetMapByte(x, y, uniform ? 7 : (y * map.GetWidth() + x) % 251);
  return map;
}

// The colour of a whole-image fill as each format shows it.
uint32_t ShownFill(Fmt f, unsigned long colour) {
  const uint32_t low = colour & 0xFF;
  return f == Fmt::kBi     ? (low > 128 ? 0xFFFFFF : 0)
         : f == Fmt::kGrey ? low * 0x010101u
         : f == Fmt::kLo   ? low
                           : colour & 0xFFFFFF;
}

TEST(GeometryRotation, EveryPixelFollowsThePlainFormulaInEveryFormatAndInTheMaps) {
  for (const Fmt f : sample::kAllFormats) {
    for (const auto size : kSizes) {
      const auto source = sample::Make(f, size.width, size.height);
      for (const double angle : kAngles) {
        auto image = sample::NewImage(f);  // a copy: making palette images is slow
        image->CreateDuplicate(source.get(), 0);
        const Grid before = Pixels(*image);
        const Grid mapBefore = Bytes(NumberMap(*image, f == Fmt::kHi));
        image->Rotate(angle, 0x00C08040, 0);
        const unsigned char background = image->GetImageMap(0)->GetPTByteLabel(L"Background");
        EXPECT_EQ(Pixels(*image), georef::Rotate(before, angle, ShownFill(f, 0x00C08040)))
            << sample::Name(f) << " " << size.width << "x" << size.height << " " << angle;
        EXPECT_EQ(Bytes(*image->GetImageMap(0)), georef::Rotate(mapBefore, angle, background));
      }
    }
  }
}

TEST(GeometryRotation, PositiveAnglesTurnClockwiseAsDisplayed) {
  auto image = sample::Make(Fmt::kGrey, 5, 3);
  image->SetRed(0, 0, 7);  // top-left landmark
  image->Rotate(kPi / 2, 0, 0);
  CImageMap map;
  map.Create(3, 2, L"m", MAP_BYTE_LABELS);
  map.Rotate(kPi / 2, 0);
  EXPECT_EQ((std::vector<int>{image->GetWidth(), image->GetHeight(), image->GetRed(2, 0),
                              map.GetWidth(), map.GetHeight()}),
            (std::vector<int>{3, 5, 7, 2, 3}));  // the landmark now top-right
}

TEST(GeometryRotation, NoOperationsKeepTheBackupWhileTiltModeZeroAndFullTurnsDiscardIt) {
  for (const Fmt f : sample::kAllFormats) {
    auto image = sample::Make(f, 6, 4);
    const Grid before = Pixels(*image);
    ASSERT_EQ(image->CreateBackup(), 1);
    image->Rotate(0.0, 0, 1);
    image->Tilt(0.0, 3);
    image->Rotate(CRect(0, 0, 3, 3), 0.0, 0, 1);
    image->Tilt(kPi / 2, 1);  // tangent ~1.6e16: refused
    image->Tilt(-kPi / 2, 3);
    EXPECT_EQ(Pixels(*image), before) << sample::Name(f);
    EXPECT_EQ(image->CreateBackup(), 0) << sample::Name(f);  // still held
    image->Tilt(0.3, 0);
    EXPECT_EQ(Pixels(*image), before) << sample::Name(f);
    EXPECT_EQ(image->CreateBackup(), 1) << sample::Name(f);  // discarded by mode 0
    image->Rotate(2 * kPi, 0, 0);
    EXPECT_EQ(image->CreateBackup(), 1) << sample::Name(f);  // discarded by the full turn
  }
}

TEST(GeometryRotation, AFullTurnThatReducesToZeroStillRunsOnImageAndMaps) {
  constexpr double kFloatTurn = 6.2831854820251465;  // 2 pi in single precision
  for (const Fmt f : sample::kAllFormats) {
    auto image = sample::Make(f, 6, 4);
    const Grid before = Pixels(*image);
    const Grid mapBefore = Bytes(NumberMap(*image, false));
    ASSERT_EQ(image->CreateBackup(), 1);
    CImageMap& map = *image->GetImageMap(0);
    ASSERT_NE(map.CreateBackup(), nullptr);
    image->Rotate(kFloatTurn, 0, 0);
    // The picture and its labels stay where they were; both backups are gone.
    EXPECT_EQ(Pixels(*image), before) << sample::Name(f);
    EXPECT_EQ(Bytes(map), mapBefore) << sample::Name(f);
    EXPECT_EQ(map.GetBackup(), nullptr) << sample::Name(f);
    EXPECT_EQ(image->CreateBackup(), 1) << sample::Name(f);
    // A rectangle rotation by the same angle keeps the map's backup.
    ASSERT_NE(map.CreateBackup(), nullptr);
    image->Rotate(CRect(0, 0, 3, 3), kFloatTurn, 0, 1);
    EXPECT_NE(map.GetBackup(), nullptr) << sample::Name(f);
  }
}

TEST(GeometryRotation, KeepSizeCentresTheCanvasAndWideImagesKeepANarrowerCanvas) {
  auto image = sample::Make(Fmt::kHi, 20, 10);
  const Grid rotated = georef::Rotate(Pixels(*image), 0.3, 0x123456);
  image->Rotate(0.3, 0x123456, 1);
  Grid centre(20, 10);
  for (int i = 0; i < 200; ++i)
    centre.px[i] = rotated.at((rotated.w - 20) / 2 + i % 20, (rotated.h - 10) / 2 + i / 20);
  EXPECT_EQ(Pixels(*image), centre);
  auto wide = sample::Make(Fmt::kGrey, 1000, 10);
  wide->Rotate(0.05, 0, 1);
  EXPECT_TRUE(wide->GetWidth() == 999 && wide->GetImageMap(0)->GetWidth() == 999);  // no crop
}

TEST(GeometryRotation, RectangleRotationMatchesTheFormulaAndClipsStrayRectangles) {
  // As passed, normalised and clipped to the 16 x 12 image, fill, clip.
  const std::tuple<CRect, CRect, unsigned long, int> cases[] = {
      {{2, 3, 11, 9}, {2, 3, 11, 9}, 0x40, 1},
      {{2, 3, 11, 9}, {2, 3, 11, 9}, 0x40, 0},
      {{2, 3, 11, 9}, {2, 3, 11, 9}, 0xFFFFFFFF, 0},
      {{11, 9, 2, 3}, {2, 3, 11, 9}, 0x40, 1},    // inverted
      {{-5, -4, 6, 20}, {0, 0, 6, 12}, 0x40, 0},  // partly outside
  };
  for (const double angle : {0.4, 2.5, -1.0}) {
    for (const auto& [rect, e, fill, clip] : cases) {
      auto image = sample::Make(Fmt::kGrey, 16, 12);
      Grid expected = Pixels(*image);
      Grid mapExpected = Bytes(NumberMap(*image, false));
      const bool noFill = fill == 0xFFFFFFFF;
      georef::RotateRect(expected, e.left, e.top, e.right, e.bottom, angle,
                         noFill ? -1 : int64_t{0x404040}, clip);
      const unsigned char label =
          image->GetImageMap(0)->GetPTByteLabel(noFill ? L"Foreground" : L"Background");
      georef::RotateRect(mapExpected, e.left, e.top, e.right, e.bottom, angle, label, clip);
      image->Rotate(rect, angle, fill, clip);
      EXPECT_EQ(Pixels(*image), expected) << angle << " " << rect.left;
      EXPECT_EQ(Bytes(*image->GetImageMap(0)), mapExpected) << angle << " " << rect.left;
    }
  }
  auto image = sample::Make(Fmt::kHi, 16, 12);
  const Grid before = Pixels(*image);
  image->Rotate(CRect(20, 20, 30, 30), 0.5, 0, 0);  // wholly outside
  image->Rotate(CRect(4, 4, 4, 9), 0.5, 0, 0);      // empty
  EXPECT_EQ(Pixels(*image), before);
}

TEST(GeometryTilt, EveryModeFollowsTheTwoStepShearInImagesAndMaps) {
  const double angles[] = {0.2, -0.2, 0.9, -1.2, 2.0, -2.5, 3.0};
  for (const Fmt f : {Fmt::kGrey, Fmt::kHi}) {
    for (const int mode : {0, 1, 2, 3}) {
      for (const double angle : angles) {
        auto image = sample::Make(f, 9, 6);
        const Grid before = Pixels(*image);
        const Grid mapBefore = Bytes(NumberMap(*image, false));
        image->Tilt(angle, static_cast<unsigned char>(mode));
        const unsigned char background = image->GetImageMap(0)->GetPTByteLabel(L"Background");
        EXPECT_EQ(Pixels(*image), georef::Tilt(before, angle, mode, ShownFill(f, 0xFFFFFF)))
            << sample::Name(f) << " mode " << mode << " " << angle;
        EXPECT_EQ(Bytes(*image->GetImageMap(0)), georef::Tilt(mapBefore, angle, mode, background));
      }
    }
  }
}

}  // namespace
