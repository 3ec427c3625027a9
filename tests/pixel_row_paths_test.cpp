// The whole-row paths of conversion and TIFF loading at every row length (vector steps and
// their tails), new map bytes, and images without a single column or row.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/archive_record_rigs.h"
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

// Map bytes are zero in a new image whatever memory the heap hands back.
TEST(PixelRowPaths, MapBytesAreZeroWhenNew) {
  // Leave labelled maps behind in the heap first, so that reused memory is not zero.
  for (int round = 0; round < 3; ++round) {
    CHiColorImage used;
    ASSERT_EQ(used.Create(300, 200, 0, nullptr), 1);
    used.GetImageMap(0)->ClearMap(0xA5);
  }
  CHiColorImage colour;
  ASSERT_EQ(colour.Create(300, 200, 0, nullptr), 1);
  CImageMap* map = colour.GetImageMap(0);
  const std::vector<unsigned char> zero(300);
  for (int y = 0; y < 200; ++y)
    EXPECT_TRUE(std::equal(zero.begin(), zero.end(), map->GetLine(y))) << y;
}

// Stores image, loads it back and stores again to the same bytes; returns what was loaded.
std::unique_ptr<CImage> StoreLoadStore(const CImage& image) {
  const std::vector<BYTE> stored = recrig::Store(&image);
  auto again = recrig::Load<CImage>(stored);
  EXPECT_NE(again, nullptr);
  EXPECT_TRUE(!again || recrig::Store(again.get()) == stored);
  return again;
}

// An image without columns or without rows stores, loads and stores again to the same bytes
// (storing a bi-level image of width 0 once handed a null block to memset).
template <class Format>
class EmptyImageRecords : public ::testing::Test {};
using AllFormats = ::testing::Types<CBiLevelImage, CGreyScaleImage, CLoColorImage, CHiColorImage>;
TYPED_TEST_SUITE(EmptyImageRecords, AllFormats);

TYPED_TEST(EmptyImageRecords, StoreAndLoadBackUnchanged) {
  for (const auto& [width, height] : {std::pair{0, 5}, std::pair{5, 0}, std::pair{0, 0}}) {
    SCOPED_TRACE(::testing::Message() << width << " x " << height);
    TypeParam image;
    ASSERT_EQ(image.Create(width, height, 0, L"empty"), 1);
    auto again = StoreLoadStore(image);
    EXPECT_TRUE(again && again->GetWidth() == width && again->GetHeight() == height);
  }
}

// Found by the archive fuzzer: a bi-level image of width 0 and 16384 rows (its line table
// is larger than the fuzz regression directory's allocation bound allows, so it is kept
// here). Storing it once handed memset a null block.
TEST(EmptyImageRecordsFromTheFuzzer, ZeroWidthBiLevelImageStoresAndLoadsBack) {
  using namespace std::string_literals;  // the bytes hold zeros
  const std::string input =
      "\xFF\xFF\x01\x00\x0D\x00"
      "CBiLevelImage \x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x40"s +
      std::string(26, '\0') + "\x2A\x00\x46\x00\x72\x00\xE9\x65\x00\x65\x00\x2A"s +
      std::string(12, '\0') + "\xFF\xFF\xFF\xFF\x01\x00\x00\xFF\xFF\xFF\xFF\xFF\xFF\xFF"s;
  ASSERT_EQ(input.size(), 99u);
  auto image = recrig::Load<CImage>(std::vector<BYTE>(input.begin(), input.end()));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->GetWidth(), 0);
  auto again = StoreLoadStore(*image);
  EXPECT_TRUE(again && again->GetHeight() == image->GetHeight());
}

}  // namespace
