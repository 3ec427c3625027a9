// The whole-row paths of conversion and TIFF loading at every row length (vector steps and
// their tails), and new map bytes (images without a single column or row: archive records).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "kernels/pixels/luminance_rows.h"
#include "support/luminance_reference.h"
#include "support/sample_images.h"
#include "support/tiff_files.h"
#include "vorlane/vorlane.h"

namespace {

// Row lengths around the vector steps of 4, 16 and 32 pixels.
const int kWidths[] = {1, 2, 3, 5, 6, 7, 15, 16, 17, 31, 32, 33, 47, 48, 63, 64, 65, 97, 130};

// Colours drawn at random, with many near the bi-level threshold (grey levels 127 to 130); a
// picture 4096 wide gets every colour once instead.
void FillColours(sample::Probe<CHiColorImage>& hi, unsigned seed) {
  std::mt19937 rng(seed);
  for (int y = 0; y < hi.GetHeight(); ++y) {
    unsigned char* row = hi.Row(y);
    for (int x = 0; x < hi.GetWidth(); ++x) {
      const uint32_t v = rng(), every = hi.GetWidth() == 4096 ? 1 : 0;
      const uint32_t bits = every ? static_cast<uint32_t>(y * 4096 + x) : v;
      const bool nearThreshold = !every && (v >> 24) < 64;
      for (int c = 0; c < 3; ++c) {
        row[4 * x + c] = nearThreshold ? static_cast<unsigned char>(127 + (v >> (2 * c) & 3))
                                       : static_cast<unsigned char>(bits >> (16 - 8 * c));
      }
      row[4 * x + 3] = static_cast<unsigned char>(v >> 24);
    }
  }
}

TEST(PixelRowPaths, ColourToGreyAndBiLevelFollowTheSinglePrecisionRuleAtEveryRowLength) {
  std::vector<int> widths(std::begin(kWidths), std::end(kWidths));
  widths.push_back(4096);
  for (int width : widths) {
    SCOPED_TRACE(width);
    const int height = width == 4096 ? 4096 : 3;
    sample::Probe<CHiColorImage> hi;
    ASSERT_EQ(hi.Create(width, height, 0, nullptr), 1);
    FillColours(hi, static_cast<unsigned>(width));
    sample::Probe<CGreyScaleImage> grey;
    sample::Probe<CBiLevelImage> bits;
    ASSERT_EQ(grey.CreateFromImage(&hi, 0), 1);
    ASSERT_EQ(bits.CreateFromImage(&hi, 0), 1);
    int mismatches = 0;
    for (int y = 0; y < height; ++y) {
      const unsigned char* in = hi.Row(y);
      for (int x = 0; x < width; ++x) {
        const float sum = reference::Luminance(in[4 * x], in[4 * x + 1], in[4 * x + 2]);
        mismatches += grey.Row(y)[x] != static_cast<unsigned char>(sum);
        mismatches += bits.Row(y)[x] != (sum > 128.0f ? 1 : 0);
      }
      // Row padding past the width is 0.
      for (int x = width; x < (width + 3) / 4 * 4; ++x) {
        mismatches += grey.Row(y)[x] != 0;
        mismatches += bits.Row(y)[x] != 0;
      }
    }
    EXPECT_EQ(mismatches, 0);
  }
}

TEST(PixelRowPaths, EveryLuminanceKernelOfThisProcessorFollowsTheRuleForEveryColour) {
  // Rows of 4096 colours (all 2^24 over 4096 rows), with the fourth byte set, cut short by
  // the row number modulo 64 so that every narrower step and the tails are reached too.
  std::vector<unsigned char> row(4 * 4096);
  std::vector<unsigned char> grey(4096), bits(4096);
  for (const auto& kernel : vorlane::detail::LuminanceKernelsOnThisProcessor()) {
    SCOPED_TRACE(kernel.name);
    long mismatches = 0;
    for (uint32_t y = 0; y < 4096; ++y) {
      for (uint32_t x = 0; x < 4096; ++x) {
        const uint32_t c = y * 4096 + x;
        row[4 * x] = c & 0xFF, row[4 * x + 1] = c >> 8 & 0xFF, row[4 * x + 2] = c >> 16;
        row[4 * x + 3] = static_cast<unsigned char>(x * 7 + y);
      }
      const int count = 4096 - static_cast<int>(y % 64);
      kernel.grey(row.data(), count, grey.data());
      kernel.biLevel(row.data(), count, bits.data());
      for (int x = 0; x < count; ++x) {
        const float sum = reference::Luminance(row[4 * x], row[4 * x + 1], row[4 * x + 2]);
        mismatches += grey[x] != static_cast<unsigned char>(sum);
        mismatches += bits[x] != (sum > 128.0f ? 1 : 0);
      }
    }
    EXPECT_EQ(mismatches, 0);
  }
}

TEST(PixelRowPaths, PageSizedMapCopiesKeepEveryByte) {
  // A map of 8 MiB, written within its first 2 MiB at the edges of 64 KiB blocks and 64-byte
  // lines, in a run crossing a block edge, in a block written and cleared again, and at its
  // last byte; the rest is never written. Copies of it, and copies of a copy, hold the same
  // bytes; so does a copy after the map has been written all over.
  const int width = 2100, height = 4000;
  CGreyScaleImage page;
  ASSERT_EQ(page.Create(width, height, 0, nullptr), 1);
  CImageMap* map = page.GetImageMap(0);
  const auto set = [&](size_t offset, unsigned char value) {
    map->GetLine(static_cast<int>(offset / width))[offset % width] = value;
  };
  constexpr size_t kBlock = 65536;
  for (size_t offset : {size_t{0}, kBlock - 1, 3 * kBlock, 5 * kBlock + 100, 9 * kBlock - 64,
                        9 * kBlock + 63, size_t{width} * height - 1})
    set(offset, static_cast<unsigned char>(offset % 251 + 1));
  for (size_t i = 0; i < 3000; ++i) set(20 * kBlock - 1500 + i, static_cast<unsigned char>(i));
  set(30 * kBlock + 4000, 9);
  set(30 * kBlock + 4000, 0);
  const auto same = [&](CImageMap* copy) {
    int rowsDiffering = 0;
    for (int y = 0; y < height; ++y)
      rowsDiffering += !std::equal(map->GetLine(y), map->GetLine(y) + width, copy->GetLine(y));
    return rowsDiffering;
  };
  CImageMap copy;
  ASSERT_EQ(copy.CreateDuplicate(map, nullptr), TRUE);
  EXPECT_EQ(same(&copy), 0);
  CBiLevelImage bits;
  ASSERT_EQ(bits.CreateFromImage(&page, 0), 1);
  EXPECT_EQ(same(bits.GetImageMap(0)), 0);
  CImageMap copyOfCopy;
  ASSERT_EQ(copyOfCopy.CreateDuplicate(&copy, nullptr), TRUE);
  EXPECT_EQ(same(&copyOfCopy), 0);
  // The copies are blocks of their own.
  copy.GetLine(height - 1)[0] = 77;
  EXPECT_EQ(map->GetLine(height - 1)[0], 0);
  EXPECT_EQ(copyOfCopy.GetLine(height - 1)[0], 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; x += 3) map->GetLine(y)[x] = static_cast<unsigned char>(x ^ y);
  ASSERT_EQ(copy.CreateDuplicate(map, nullptr), TRUE);
  EXPECT_EQ(same(&copy), 0);
}

TEST(PixelRowPaths, ThreeSampleRgbFilesLoadEveryPixelAtEveryRowLength) {
  for (int width : kWidths) {
    SCOPED_TRACE(width);
    auto flavour = tifftest::TiffFlavour{static_cast<uint32_t>(width), 2, 8, 3, PHOTOMETRIC_RGB};
    const auto sample = [](uint32_t x, uint32_t y, int s) {
      return (x * 37 + y * 101 + static_cast<uint32_t>(s) * 59 + x * x) & 0xFF;
    };
    tifftest::TempPath path(".tif");
    ASSERT_TRUE(
        tifftest::WriteTiffFile(path.str(), flavour, {tifftest::MakePage(flavour, sample)}));
    std::unique_ptr<CImage> image(
        ImgLoadFromFile(path.wide().c_str(), nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(image && image->GetWidth() == width);
    std::vector<unsigned long> want;
    for (uint32_t i = 0, w = flavour.width; i < 2 * w; ++i)
      want.push_back(
          RGB(sample(i % w, i / w, 0), sample(i % w, i / w, 1), sample(i % w, i / w, 2)));
    EXPECT_EQ(sample::Colours(*image), want);
  }
}

// Map bytes, and the fourth bytes of colour pixels (which exports and archives carry), are
// zero in a new image whatever memory the heap hands back.
TEST(PixelRowPaths, MapBytesAndFourthPixelBytesAreZeroWhenNew) {
  // Leave labelled maps and pixels with every byte set behind in the heap first, so that
  // reused memory is not zero.
  for (int round = 0; round < 3; ++round) {
    sample::Probe<CHiColorImage> used;
    ASSERT_EQ(used.Create(300, 200, 0, nullptr), 1);
    used.GetImageMap(0)->ClearMap(0xA5);
    for (int y = 0; y < 200; ++y) std::fill(used.Row(y), used.Row(y) + 4 * 300, 0xA5);
  }
  sample::Probe<CHiColorImage> colour;
  ASSERT_EQ(colour.Create(300, 200, RGB(1, 2, 3), nullptr), 1);
  CImageMap* map = colour.GetImageMap(0);
  const std::vector<unsigned char> zero(300);
  int fourthBytesSet = 0;
  for (int y = 0; y < 200; ++y) {
    EXPECT_TRUE(std::equal(zero.begin(), zero.end(), map->GetLine(y))) << y;
    for (int x = 0; x < 300; ++x) fourthBytesSet += colour.Row(y)[4 * x + 3] != 0;
  }
  EXPECT_EQ(fourthBytesSet, 0);
  EXPECT_EQ(colour.GetRGBColor(299, 199), RGB(1, 2, 3));
}

}  // namespace
