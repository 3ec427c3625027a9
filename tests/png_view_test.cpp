// PNG views: a bitmap written as PNG decodes back to the same pixels; failures leave no file.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/png_files.h"
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

}  // namespace
