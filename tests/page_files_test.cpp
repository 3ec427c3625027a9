// Page files as scanners write them: every page of a TIFF file, PNG and JPEG pictures of
// every depth, their resolutions, damaged files, and compact TIFF output read back.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include "imageclasses/bilevelimage.h"
#include "imageclasses/greyscaleimage.h"
#include "imageclasses/hicolorimage.h"
#include "imageclasses/internal/format_access.h"
#include "kernels/io/alpha_over_white.h"
#include "support/picture_files.h"
#include "support/pipeline_rig.h"
#include "support/tiff_files.h"
#include "vorlane/io/pages.h"
#include "vorlane/io/tiff_export.h"
#include "vorlane/pipeline/batch.h"

namespace {

namespace fs = std::filesystem;
using picturetest::Picture;
using tifftest::TiffFlavour;

constexpr int kW = 53, kH = 31;

uint8_t G(int x, int y) { return static_cast<uint8_t>(x * 7 + y * 3); }

// The grey picture with samples of bits bits (G's high bits), 16-bit ones big-endian.
Picture GreyPicture(int bits, int channels = 1) {
  Picture p{kW, kH, channels, bits, {}};
  const size_t rowBytes = (static_cast<size_t>(kW) * channels * bits + 7) / 8;
  p.samples.assign(rowBytes * kH, 0);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      for (int c = 0; c < channels; ++c) {
        const size_t i = static_cast<size_t>(x) * channels + c;
        uint8_t* row = p.samples.data() + y * rowBytes;
        const uint8_t v = channels == 2 && c == 1   ? 128
                          : channels >= 3 && c == 1 ? 255 - G(x, y)
                                                    : G(x, y);
        if (bits == 16) {
          row[2 * i] = v, row[2 * i + 1] = static_cast<uint8_t>(x);
        } else if (bits == 8) {
          row[i] = v;
        } else {
          row[i * bits / 8] |= static_cast<uint8_t>((v >> (8 - bits)) << (8 - bits - i * bits % 8));
        }
      }
  return p;
}

// Every pixel of a loaded image: one byte (bi-level, grey) or blue, green, red.
std::vector<int> PixelsOf(CImage& image) {
  const vorlane::detail::PixelView v = vorlane::detail::FormatAccess::View(&image);
  const int n = v.format == vorlane::detail::PixelFormat::kHiColour ? 3 : 1;
  std::vector<int> out;
  for (int y = 0; y < v.height; ++y)
    for (int x = 0; x < v.width; ++x)
      for (int c = 0; c < n; ++c) out.push_back(v.rows[y][x * (n == 3 ? 4 : 1) + c]);
  return out;
}

std::vector<int> Expected(const std::function<std::vector<int>(int, int)>& pixel) {
  std::vector<int> out;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      for (int v : pixel(x, y)) out.push_back(v);
  return out;
}

struct DecodeCase {
  const char* name;
  std::function<bool(const std::string&)> write;
  const char* format;
  std::function<std::vector<int>(int, int)> pixel;
  int tolerance;  // lossy files: the mean difference of a sample allowed; else none
};

bool Tiff(const std::string& path, uint16_t bits, uint16_t compression = COMPRESSION_NONE) {
  TiffFlavour f{kW, kH, bits, 1, PHOTOMETRIC_MINISBLACK, compression};
  return tifftest::WriteTiffFile(
      path, f, {tifftest::MakePage(f, [&](uint32_t x, uint32_t y, int) -> uint32_t {
        const uint32_t g = G(static_cast<int>(x), static_cast<int>(y));
        return bits == 16 ? g * 257 : g >> (8 - bits);
      })});
}

const DecodeCase kDecodeCases[] = {
    {"Png8", [](auto& p) { return picturetest::WritePng(p, GreyPicture(8)); }, "greyscale",
     [](int x, int y) { return std::vector<int>{G(x, y)}; }, 0},
    {"Png16", [](auto& p) { return picturetest::WritePng(p, GreyPicture(16)); }, "greyscale",
     [](int x, int y) { return std::vector<int>{G(x, y)}; }, 0},
    {"Png4", [](auto& p) { return picturetest::WritePng(p, GreyPicture(4)); }, "greyscale",
     [](int x, int y) { return std::vector<int>{(G(x, y) >> 4) * 17}; }, 0},
    {"Png2", [](auto& p) { return picturetest::WritePng(p, GreyPicture(2)); }, "greyscale",
     [](int x, int y) { return std::vector<int>{(G(x, y) >> 6) * 85}; }, 0},
    {"Png1", [](auto& p) { return picturetest::WritePng(p, GreyPicture(1)); }, "bi-level",
     [](int x, int y) { return std::vector<int>{G(x, y) >> 7}; }, 0},
    {"PngGreyAlphaOverWhite", [](auto& p) { return picturetest::WritePng(p, GreyPicture(8, 2)); },
     "greyscale",
     [](int x, int y) { return std::vector<int>{vorlane::detail::OverWhite(G(x, y), 128)}; }, 0},
    {"PngRgb", [](auto& p) { return picturetest::WritePng(p, GreyPicture(8, 3)); }, "colour",
     [](int x, int y) {
       return std::vector<int>{G(x, y), 255 - G(x, y), G(x, y)};
     },
     0},
    {"JpegGrey", [](auto& p) { return picturetest::WriteJpeg(p, GreyPicture(8), 98); }, "greyscale",
     [](int x, int y) { return std::vector<int>{G(x, y)}; }, 2},
    {"JpegRgb", [](auto& p) { return picturetest::WriteJpeg(p, GreyPicture(8, 3), 98); }, "colour",
     [](int x, int y) {
       return std::vector<int>{G(x, y), 255 - G(x, y), G(x, y)};
     },
     6},
    {"Tiff2", [](auto& p) { return Tiff(p, 2); }, "greyscale",
     [](int x, int y) { return std::vector<int>{(G(x, y) >> 6) * 85}; }, 0},
    {"Tiff4Lzw", [](auto& p) { return Tiff(p, 4, COMPRESSION_LZW); }, "greyscale",
     [](int x, int y) { return std::vector<int>{(G(x, y) >> 4) * 17}; }, 0},
    {"Tiff16", [](auto& p) { return Tiff(p, 16); }, "greyscale",
     [](int x, int y) { return std::vector<int>{G(x, y)}; }, 0},
    {"TiffJpeg", [](auto& p) { return Tiff(p, 8, COMPRESSION_JPEG); }, "greyscale",
     [](int x, int y) { return std::vector<int>{G(x, y)}; }, 2},
};

class Decode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Decode, GivesThePicturesPixelsInTheImageOfItsKind) {
  const DecodeCase& c = GetParam();
  tifftest::TempPath path(std::string(".") + c.name);
  ASSERT_TRUE(c.write(path.str()));
  vorlane::OpenedPages opened = vorlane::OpenPages(path.str());
  ASSERT_TRUE(opened.source) << opened.error;
  EXPECT_EQ(opened.source->Info(0).format, c.format);
  vorlane::LoadedImage page = opened.source->Load(0);
  ASSERT_TRUE(page.image) << page.error;
  const std::vector<int> got = PixelsOf(*page.image), want = Expected(c.pixel);
  ASSERT_EQ(got.size(), want.size());
  double worst = 0, sum = 0;
  for (size_t i = 0; i < got.size(); ++i) {
    worst = std::max<double>(worst, std::abs(got[i] - want[i]));
    sum += std::abs(got[i] - want[i]);
  }
  EXPECT_LE(c.tolerance ? sum / got.size() : worst, c.tolerance);
}

INSTANTIATE_TEST_SUITE_P(Kinds, Decode, ::testing::ValuesIn(kDecodeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PageFiles, ResolutionComesFromEachKindOfTag) {
  const struct {
    const char* suffix;
    std::function<bool(const std::string&)> write;
    int dpi;  // 0: none
  } cases[] = {
      {".tif",
       [](auto& p) {
         TiffFlavour f{kW, kH};
         f.resolution = 300;
         return tifftest::WriteTiffFile(p, f, {tifftest::Page(kW * kH, 200)});
       },
       300},
      {".tif",
       [](auto& p) {
         TiffFlavour f{kW, kH};
         f.resolution = 118.11f, f.resolutionUnit = RESUNIT_CENTIMETER;
         return tifftest::WriteTiffFile(p, f, {tifftest::Page(kW * kH, 200)});
       },
       300},
      {".png", [](auto& p) { return picturetest::WritePng(p, GreyPicture(8), 11811); }, 300},
      {".png", [](auto& p) { return picturetest::WritePng(p, GreyPicture(8), 0); }, 0},
      {".jpg", [](auto& p) { return picturetest::WriteJpeg(p, GreyPicture(8), 90, 1, 200); }, 200},
      {".jpg", [](auto& p) { return picturetest::WriteJpeg(p, GreyPicture(8), 90, 2, 79); }, 201},
      {".jpg", [](auto& p) { return picturetest::WriteJpeg(p, GreyPicture(8), 90, 1, 0); }, 0},
  };
  for (const auto& c : cases) {
    tifftest::TempPath path(c.suffix);
    ASSERT_TRUE(c.write(path.str()));
    vorlane::LoadedImage page = vorlane::LoadPage(path.str());
    ASSERT_TRUE(page.image) << page.error;
    EXPECT_EQ(page.image->GetDPI() >= 50 ? page.image->GetDPI() : 0, c.dpi) << path.str();
  }
}

TEST(PageFiles, EveryPageOfATiffInOrderThumbnailsSkippedDamagedPagesAlone) {
  TiffFlavour f{kW, kH, 8, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_LZW};
  f.reducedPage = 1;
  std::vector<tifftest::Page> pages;
  for (int p = 0; p < 4; ++p)
    pages.push_back(tifftest::Page(kW * kH, static_cast<uint8_t>(p * 60)));
  tifftest::TempPath path(".tif");
  ASSERT_TRUE(tifftest::WriteTiffFile(path.str(), f, pages));
  ASSERT_TRUE(tifftest::DamageFirstStrip(path.str(), 2));

  vorlane::OpenedPages opened = vorlane::OpenPages(path.str());
  ASSERT_TRUE(opened.source) << opened.error;
  ASSERT_EQ(opened.source->Count(), 3);  // the thumbnail is no page
  const int levels[] = {0, -1, 180};     // the second page is damaged
  for (int i = 0; i < 3; ++i) {
    vorlane::LoadedImage page = opened.source->Load(i);
    if (levels[i] < 0) {
      EXPECT_FALSE(page.image);
      EXPECT_NE(page.error.find("damaged"), std::string::npos) << page.error;
      continue;
    }
    ASSERT_TRUE(page.image) << page.error;
    EXPECT_EQ(PixelsOf(*page.image), std::vector<int>(kW * kH, levels[i]));
  }
  EXPECT_FALSE(opened.source->Load(3).image);
}

// A PNG file of the picture whose IHDR claims width x height (its CRC made right).
std::vector<uint8_t> PngClaiming(uint32_t width, uint32_t height) {
  tifftest::TempPath path(".png");
  picturetest::WritePng(path.str(), GreyPicture(8));
  std::vector<uint8_t> bytes = tifftest::ReadBytes(path.str());
  for (int i = 0; i < 4; ++i) {
    bytes[16 + i] = static_cast<uint8_t>(width >> (24 - 8 * i));
    bytes[20 + i] = static_cast<uint8_t>(height >> (24 - 8 * i));
  }
  const uLong crc = crc32(0, bytes.data() + 12, 17);
  for (int i = 0; i < 4; ++i) bytes[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
  return bytes;
}

TEST(PageFiles, BadFilesGiveTheirReasonWithoutAllocatingOrCrashing) {
  tifftest::TempPath jpeg(".jpg"), png(".png");
  picturetest::WriteJpeg(jpeg.str(), GreyPicture(8), 90);
  picturetest::WritePng(png.str(), GreyPicture(8));
  std::vector<uint8_t> truncatedJpeg = tifftest::ReadBytes(jpeg.str());
  truncatedJpeg.resize(truncatedJpeg.size() / 2);
  std::vector<uint8_t> badCrc = tifftest::ReadBytes(png.str());
  badCrc[badCrc.size() - 20] ^= 0x5A;  // inside the image data
  const auto huge =
      tifftest::StripEntries(100000, 100000, 8, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE, 16);
  const struct {
    const char* suffix;
    std::vector<uint8_t> bytes;
    const char* reason;
  } cases[] = {
      {".jpg", truncatedJpeg, "damaged JPEG"},
      {".png", badCrc, "damaged PNG"},
      {".png", PngClaiming(100000, 100000), "exceeds the size limit"},
      {".png", PngClaiming(0, 0), "damaged PNG"},
      {".tif", tifftest::AssembleTiff(huge, std::vector<uint8_t>(16)), "exceeds the size limit"},
      {".tif", {'I', 'I', 42, 0, 8, 0, 0, 0}, "damaged TIFF"},
      {".jpg", {'n', 'o', 't'}, "not a JPEG file"},
      {".txt", {'n', 'o', 't'}, "unsupported kind of file"},
  };
  for (const auto& c : cases) {
    tifftest::TempPath path(c.suffix);
    ASSERT_TRUE(tifftest::WriteBytes(path.str(), c.bytes));
    const vorlane::LoadedImage page = vorlane::LoadPage(path.str());
    EXPECT_FALSE(page.image);
    EXPECT_NE(page.error.find(c.reason), std::string::npos) << c.reason << ": " << page.error;
  }
}

TEST(TiffExport, CompactFilesReadBackEqualWithTheirResolution) {
  std::vector<std::unique_ptr<CImage>> images;
  images.push_back(pipetest::SmallPage(false, 200, 120));
  images.push_back(pipetest::SmallPage(true, 200, 120));
  auto bits = std::make_unique<CBiLevelImage>();
  ASSERT_TRUE(bits->Create(203, 120, 0xFFFFFF, L"bits"));
  const vorlane::detail::PixelView view = vorlane::detail::FormatAccess::View(bits.get());
  for (int y = 0; y < view.height; ++y)
    for (int x = 0; x < view.width; ++x) view.rows[y][x] = (x / 3 + y / 5) % 4 != 0;
  images.push_back(std::move(bits));
  const struct {
    size_t image;
    vorlane::TiffCompression compression;
    bool accepted;
  } cases[] = {
      {2, vorlane::TiffCompression::g4, true},      {2, vorlane::TiffCompression::lzw, true},
      {2, vorlane::TiffCompression::none, true},    {0, vorlane::TiffCompression::lzw, true},
      {0, vorlane::TiffCompression::deflate, true}, {1, vorlane::TiffCompression::lzw, true},
      {0, vorlane::TiffCompression::g4, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.image << " " << vorlane::CompressionName(c.compression));
    tifftest::TempPath path(".tif");
    std::string error;
    ASSERT_EQ(vorlane::ExportTiff(*images[c.image], path.str(), {c.compression, 300}, error),
              c.accepted)
        << error;
    if (!c.accepted) {
      EXPECT_FALSE(fs::exists(path.str()));
      continue;
    }
    vorlane::LoadedImage back = vorlane::LoadPage(path.str());
    ASSERT_TRUE(back.image) << back.error;
    EXPECT_EQ(PixelsOf(*back.image), PixelsOf(*images[c.image]));
    EXPECT_EQ(back.image->GetDPI(), 300);
  }
}

}  // namespace
