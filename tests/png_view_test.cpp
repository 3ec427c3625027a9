// PNG views: a bitmap written as PNG decodes back to the same pixels; failures leave no file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "support/display_probe.h"
#include "support/png_files.h"
#include "vorlane/bilevel_view.h"
#include "vorlane/pipeline/views.h"
#include "vorlane/vorlane.h"

namespace {

TEST(PngView, OddSizedBitmapDecodesToTheSamePixels) {
  CBitmap bitmap;
  ASSERT_TRUE(bitmap.CreateBitmap(5, 3, 1, 32, nullptr));
  for (int i = 0; i < 15; ++i) bitmap.Pixels()[i] = 0x00FF7F01u - 0x00050301u * i;
  const auto path = std::filesystem::path(testing::TempDir()) / "vorlane-png-view.png";
  ASSERT_TRUE(vorlane::WritePng(bitmap, path));
  DecodedPng png;
  ASSERT_TRUE(ReadPng(path, png));
  std::filesystem::remove(path);
  ASSERT_EQ(png.width, 5);
  ASSERT_EQ(png.height, 3);
  for (int i = 0; i < 15; ++i) EXPECT_EQ(png.pixels[i], bitmap.Pixels()[i]) << i;
}

// The colour type byte of a PNG file's header: 2 RGB, 3 palette; and its bit depth.
std::pair<int, int> ColourTypeAndDepth(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  char header[26] = {};
  in.read(header, sizeof header);
  return {static_cast<unsigned char>(header[25]), static_cast<unsigned char>(header[24])};
}

// Pictures of every palette depth and of too many colours, at widths that end inside a
// packed byte, and one tall enough to be deflated in several bands, come back pixel for pixel.
TEST(PngView, PalettesOfEveryDepthAndRgbDecodeToTheSamePixels) {
  struct Case {
    int width, height, colours, type, depth;
  } cases[] = {{7, 3, 1, 3, 1},        {9, 5, 2, 3, 1},     {13, 4, 3, 3, 2},
               {5, 6, 4, 3, 2},        {11, 7, 16, 3, 4},   {17, 9, 17, 3, 8},
               {40, 30, 256, 3, 8},    {40, 30, 257, 2, 8}, {1500, 1200, 5, 3, 4},
               {1500, 1200, 300, 2, 8}};
  const auto path = std::filesystem::path(testing::TempDir()) / "vorlane-png-palette.png";
  for (const Case& c : cases) {
    CBitmap bitmap;
    ASSERT_TRUE(bitmap.CreateBitmap(c.width, c.height, 1, 32, nullptr));
    DWORD* px = bitmap.Pixels();
    for (int i = 0; i < c.width * c.height; ++i) {
      // Runs of equal colours with every colour present; the unused top byte varies.
      const int k = (i / 3) % c.colours;
      px[i] = (static_cast<DWORD>(k) << 8 | 0x30u) | (static_cast<DWORD>(i & 1) << 24);
    }
    ASSERT_TRUE(vorlane::WritePng(bitmap, path)) << c.colours;
    EXPECT_EQ(ColourTypeAndDepth(path), std::make_pair(c.type, c.depth)) << c.colours;
    DecodedPng png;
    ASSERT_TRUE(ReadPng(path, png)) << c.colours;
    ASSERT_EQ(png.width, c.width);
    ASSERT_EQ(png.height, c.height);
    int wrong = 0;
    for (int i = 0; i < c.width * c.height; ++i) wrong += png.pixels[i] != (px[i] & 0x00FFFFFFu);
    EXPECT_EQ(wrong, 0) << c.width << " x " << c.height << ", " << c.colours << " colours";
  }
  std::filesystem::remove(path);
}

TEST(PngView, EmptyBitmapsAndUnwritablePathsWriteNothing) {
  const auto dir = std::filesystem::path(testing::TempDir());
  CBitmap none, flat, pixel;
  flat.CreateBitmap(4, 0, 1, 32, nullptr);
  pixel.CreateBitmap(1, 1, 1, 32, nullptr);
  EXPECT_FALSE(vorlane::WritePng(none, dir / "vorlane-none.png"));
  EXPECT_FALSE(vorlane::WritePng(flat, dir / "vorlane-flat.png"));
  EXPECT_FALSE(vorlane::WritePng(pixel, dir / "vorlane-missing-dir" / "pixel.png"));
  EXPECT_FALSE(std::filesystem::exists(dir / "vorlane-none.png"));
  EXPECT_FALSE(std::filesystem::exists(dir / "vorlane-flat.png"));
}

// The bi-level view packs eight pixels to a byte: pages whose width ends inside a byte, or
// on one, come back pixel for pixel in black and white; other formats write nothing.
TEST(PngView, BiLevelViewIsThePagesBlackAndWhiteAtOneBit) {
  const auto path = std::filesystem::path(testing::TempDir()) / "vorlane-bilevel-view.png";
  for (const int width : {1, 7, 8, 13, 64}) {
    CBiLevelImage page;
    ASSERT_TRUE(page.Create(width, 5, 0, L"bi"));
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < width; ++x)
        if ((x * 7 + y * 3) % 5 < 2) page.SetRGBColor(x, y, RGB(255, 255, 255));
    ASSERT_TRUE(vorlane::WriteBiLevelPng(page, path)) << width;
    EXPECT_EQ(ColourTypeAndDepth(path), std::make_pair(3, 1)) << width;
    DecodedPng png;
    ASSERT_TRUE(ReadPng(path, png)) << width;
    ASSERT_EQ(png.width, width);
    ASSERT_EQ(png.height, 5);
    int wrong = 0;
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < width; ++x)
        wrong += png.pixels[y * width + x] != (page.GetRed(x, y) ? 0x00FFFFFFu : 0u);
    EXPECT_EQ(wrong, 0) << width;
  }
  std::filesystem::remove(path);
  CGreyScaleImage grey;
  ASSERT_TRUE(grey.Create(4, 4, RGB(9, 9, 9), L"grey"));
  CBiLevelImage none;
  EXPECT_FALSE(vorlane::WriteBiLevelPng(grey, path));
  EXPECT_FALSE(vorlane::WriteBiLevelPng(none, path));
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace

// The components and thumbnail views that the pipeline writes straight from the pixels and
// components are, byte for byte, the files of the display-bitmap route: few components (a
// packed palette), more than sixteen colours, a hidden component, runs past the edges, and a
// greyscale page (whose components view has too many colours and takes the bitmap route).
TEST(PngView, ViewsFromThePixelsAreTheDisplayBitmapsFiles) {
  const auto bytes = [](const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  };
  const auto dir = std::filesystem::temp_directory_path() / "vorlane-views-test";
  std::filesystem::create_directories(dir);
  for (int kind = 0; kind < 3; ++kind) {
    std::unique_ptr<CImage> image;
    if (kind == 2) {
      auto grey = std::make_unique<CGreyScaleImage>();
      grey->Create(37, 23, 0, L"grey");
      for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x) grey->SetRGBColor(x, y, RGB(x * 7, x * 7, x * 7));
      image = std::move(grey);
    } else {
      auto bilevel = std::make_unique<CBiLevelImage>();
      bilevel->Create(37, 23, 0, L"bilevel");
      for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x)
          bilevel->SetRGBColor(x, y, (x + y) % 5 ? RGB(255, 255, 255) : 0);
      image = std::move(bilevel);
    }
    const int count = kind == 1 ? 40 : 3;
    for (int i = 0; i < count; ++i)
      AddComponent(*image, {{i % 23, i - 2, i + 3}, {(i + 1) % 23, 30, 45}}, i == 1 ? 0x10 : 0);
    using namespace vorlane::pipeline;
    CBitmap components, thumbnail;
    ASSERT_TRUE(RenderView(*image, View::components, components));
    ASSERT_TRUE(RenderView(*image, View::thumbnail, thumbnail));
    ASSERT_TRUE(vorlane::WritePng(components, dir / "c1.png"));
    ASSERT_TRUE(vorlane::WritePng(thumbnail, dir / "t1.png"));
    ASSERT_TRUE(WriteComponentsView(*image, dir / "c2.png"));
    ASSERT_TRUE(WriteThumbnailView(*image, dir / "t2.png"));
    EXPECT_EQ(bytes(dir / "c1.png"), bytes(dir / "c2.png")) << "kind " << kind;
    EXPECT_EQ(bytes(dir / "t1.png"), bytes(dir / "t2.png")) << "kind " << kind;
  }
  std::filesystem::remove_all(dir);
}
