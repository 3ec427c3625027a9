// PNG views: a bitmap written as PNG decodes back to the same pixels; failures leave no file.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/png_files.h"
#include "vorlane/vorlane.h"

namespace {

TEST(PngView, OddSizedBitmapDecodesToTheSamePixels) {
  CBitmap bitmap;
  ASSERT_TRUE(bitmap.CreateBitmap(5, 3, 1, 32, nullptr));
  for (int i = 0; i < 15; ++i) bitmap.Pixels()[i] = 0x00010203u * static_cast<DWORD>(i + 1) | 0x80;
  bitmap.Pixels()[14] = 0x00FF7F00;  // red 0xFF, green 0x7F, blue 0x00
  ScratchDir dir;
  const auto path = dir.Path() / "view.png";
  ASSERT_TRUE(vorlane::WritePng(bitmap, path));
  DecodedPng png;
  ASSERT_TRUE(ReadPng(path, png));
  ASSERT_EQ(png.width, 5);
  ASSERT_EQ(png.height, 3);
  for (int i = 0; i < 15; ++i) EXPECT_EQ(png.pixels[i], bitmap.Pixels()[i] & 0xFFFFFF) << i;
  // Only the named file is left: the temporary one has been renamed into place.
  int files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path()))
    ++files;
  EXPECT_EQ(files, 1);
}

TEST(PngView, EmptyBitmapsAndUnwritablePathsWriteNothing) {
  ScratchDir dir;
  CBitmap none;
  EXPECT_FALSE(vorlane::WritePng(none, dir.Path() / "none.png"));
  CBitmap flat;
  ASSERT_TRUE(flat.CreateBitmap(4, 0, 1, 32, nullptr));
  EXPECT_FALSE(vorlane::WritePng(flat, dir.Path() / "flat.png"));
  CBitmap pixel;
  ASSERT_TRUE(pixel.CreateBitmap(1, 1, 1, 32, nullptr));
  EXPECT_FALSE(vorlane::WritePng(pixel, dir.Path() / "missing" / "pixel.png"));
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

}  // namespace
