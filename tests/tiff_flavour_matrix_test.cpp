// TIFF files of many flavours, written by libtiff, either load through ImgLoadFromFile with
// the right pixels or give null cleanly.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "support/tiff_files.h"
#include "support/tiff_probe_classes.h"
#include "vorlane/vorlane.h"

namespace {

using tifftest::CTiffBiLevelProbe;
using tifftest::CTiffGreyProbe;
using tifftest::CTiffHiProbe;
using tifftest::TiffFlavour;

enum class Expect { BiLevel, Grey, Colour, Null };

// Source pictures: one pattern per kind, odd and irregular so that swapped axes, lost rows
// and bit-order slips show. Smooth variants serve the lossy JPEG files.
uint32_t BitPattern(uint32_t x, uint32_t y, int page) {
  return ((x * 3 + y * 5 + static_cast<uint32_t>(page)) % 7 < 3) ? 1 : 0;
}
uint32_t GreyPattern(uint32_t x, uint32_t y, bool smooth) {
  return smooth ? (x * 6 + y * 3) & 0xFF : (x * 37 + y * 11 + x * y) & 0xFF;
}
uint32_t ColourPattern(uint32_t x, uint32_t y, int s, bool smooth) {
  if (smooth) return s == 0 ? x * 6 : s == 1 ? y * 9 : 128;
  switch (s) {
    case 0:
      return (x * 29 + y * 3) & 0xFF;
    case 1:
      return (x * 7 + y * 31) & 0xFF;
    case 2:
      return (x * x + y) & 0xFF;
    default:
      return (x + y * 17 + 40) & 0xFF;
  }
}

struct MatrixCase {
  const char* name;
  TiffFlavour flavour;
  Expect expect;
  int tolerance = 0;  // largest difference per channel (lossy files)
  int pages = 1;
};

void PrintTo(const MatrixCase& mc, std::ostream* os) { *os << mc.name; }

TiffFlavour Flavour(uint16_t bits, uint16_t samples, uint16_t photometric,
                    uint16_t compression = COMPRESSION_NONE) {
  TiffFlavour f;
  f.width = 37;
  f.height = 23;
  f.bits = bits;
  f.samples = samples;
  f.photometric = photometric;
  f.compression = compression;
  return f;
}

template <typename Change>
TiffFlavour With(TiffFlavour f, Change change) {
  change(f);
  return f;
}

std::vector<MatrixCase> Cases() {
  const auto mw = PHOTOMETRIC_MINISWHITE, mb = PHOTOMETRIC_MINISBLACK, rgb = PHOTOMETRIC_RGB;
  std::vector<MatrixCase> c;
  // One bit per pixel.
  c.push_back({"Bits_WhiteIsZero", Flavour(1, 1, mw), Expect::BiLevel});
  c.push_back({"Bits_BlackIsZero", Flavour(1, 1, mb), Expect::BiLevel});
  c.push_back({"Bits_FillOrder2",
               With(Flavour(1, 1, mw), [](auto& f) { f.fillOrder = FILLORDER_LSB2MSB; }),
               Expect::BiLevel});
  c.push_back({"Bits_PackBits", Flavour(1, 1, mw, COMPRESSION_PACKBITS), Expect::BiLevel});
  c.push_back({"Bits_CcittG3", Flavour(1, 1, mw, COMPRESSION_CCITTFAX3), Expect::BiLevel});
  c.push_back({"Bits_CcittG4", Flavour(1, 1, mw, COMPRESSION_CCITTFAX4), Expect::BiLevel});
  c.push_back({"Bits_G4FillOrder2",
               With(Flavour(1, 1, mw, COMPRESSION_CCITTFAX4),
                    [](auto& f) { f.fillOrder = FILLORDER_LSB2MSB; }),
               Expect::BiLevel});
  c.push_back({"Bits_StripsOfSevenRowsLzw",
               With(Flavour(1, 1, mw, COMPRESSION_LZW), [](auto& f) { f.rowsPerStrip = 7; }),
               Expect::BiLevel});
  c.push_back({"Bits_Tiled16",
               With(Flavour(1, 1, mw), [](auto& f) { f.tileWidth = f.tileLength = 16; }),
               Expect::BiLevel});
  c.push_back({"Bits_TiledG4Wide",
               With(Flavour(1, 1, mb, COMPRESSION_CCITTFAX4),
                    [](auto& f) { f.tileWidth = 64, f.tileLength = 16; }),
               Expect::BiLevel});
  c.push_back({"Bits_TwoSamples",
               With(Flavour(1, 2, mw), [](auto& f) { f.extraSample = EXTRASAMPLE_UNSPECIFIED; }),
               Expect::BiLevel});
  c.push_back({"Bits_MultiPage", Flavour(1, 1, mw, COMPRESSION_CCITTFAX4), Expect::BiLevel, 0, 3});
  // Greyscale.
  c.push_back({"Grey8_Uncompressed", Flavour(8, 1, mb), Expect::Grey});
  c.push_back({"Grey8_WhiteIsZero", Flavour(8, 1, mw), Expect::Grey});
  c.push_back({"Grey8_LzwPredictor",
               With(Flavour(8, 1, mb, COMPRESSION_LZW),
                    [](auto& f) { f.predictor = PREDICTOR_HORIZONTAL; }),
               Expect::Grey});
  c.push_back({"Grey8_Jpeg", Flavour(8, 1, mb, COMPRESSION_JPEG), Expect::Grey, 6});
  c.push_back(
      {"Grey8_StripsOfFiveRowsDeflate",
       With(Flavour(8, 1, mb, COMPRESSION_ADOBE_DEFLATE), [](auto& f) { f.rowsPerStrip = 5; }),
       Expect::Grey});
  c.push_back({"Grey8_Tiled32x16",
               With(Flavour(8, 1, mb), [](auto& f) { f.tileWidth = 32, f.tileLength = 16; }),
               Expect::Grey});
  c.push_back(
      {"Grey8_TiledLargerThanImageLzw",
       With(Flavour(8, 1, mw, COMPRESSION_LZW), [](auto& f) { f.tileWidth = f.tileLength = 64; }),
       Expect::Grey});
  c.push_back({"Grey8_WithAlpha",
               With(Flavour(8, 2, mb), [](auto& f) { f.extraSample = EXTRASAMPLE_ASSOCALPHA; }),
               Expect::Grey});
  c.push_back({"Grey16_WhiteIsZeroLzw", Flavour(16, 1, mw, COMPRESSION_LZW), Expect::Grey});
  c.push_back({"Grey4", Flavour(4, 1, mb), Expect::Grey});
  c.push_back({"Grey2", Flavour(2, 1, mb), Expect::Grey});
  c.push_back({"Grey12", Flavour(12, 1, mb), Expect::Grey});
  c.push_back({"Grey8_MultiPage", Flavour(8, 1, mb, COMPRESSION_LZW), Expect::Grey, 0, 2});
  c.push_back({"Grey32Float",
               With(Flavour(32, 1, mb), [](auto& f) { f.sampleFormat = SAMPLEFORMAT_IEEEFP; }),
               Expect::Null});
  // Colour.
  c.push_back({"Rgb_LzwPredictor",
               With(Flavour(8, 3, rgb, COMPRESSION_LZW),
                    [](auto& f) { f.predictor = PREDICTOR_HORIZONTAL; }),
               Expect::Colour});
  c.push_back({"Rgb_Jpeg", Flavour(8, 3, rgb, COMPRESSION_JPEG), Expect::Colour, 8});
  c.push_back({"Rgb_StripsOfThreeRows",
               With(Flavour(8, 3, rgb), [](auto& f) { f.rowsPerStrip = 3; }), Expect::Colour});
  c.push_back({"Rgb_Tiled16x32",
               With(Flavour(8, 3, rgb, COMPRESSION_LZW),
                    [](auto& f) { f.tileWidth = 16, f.tileLength = 32; }),
               Expect::Colour});
  c.push_back({"Rgb_Sixteen", Flavour(16, 3, rgb), Expect::Colour});
  c.push_back({"Rgb_BottomUp",
               With(Flavour(8, 3, rgb), [](auto& f) { f.orientation = ORIENTATION_BOTLEFT; }),
               Expect::Colour});
  c.push_back(
      {"Rgb_MultiPage", Flavour(8, 3, rgb, COMPRESSION_ADOBE_DEFLATE), Expect::Colour, 0, 2});
  c.push_back({"Rgba_Unassociated",
               With(Flavour(8, 4, rgb), [](auto& f) { f.extraSample = EXTRASAMPLE_UNASSALPHA; }),
               Expect::Colour});
  c.push_back({"Rgba_AssociatedLzw",
               With(Flavour(8, 4, rgb, COMPRESSION_LZW),
                    [](auto& f) { f.extraSample = EXTRASAMPLE_ASSOCALPHA; }),
               Expect::Colour});
  c.push_back({"Rgbx_NoExtraSamplesTag", Flavour(8, 4, rgb), Expect::Colour});
  c.push_back({"Rgbx_TiledNoExtraSamplesTag",
               With(Flavour(8, 4, rgb), [](auto& f) { f.tileWidth = f.tileLength = 16; }),
               Expect::Colour});
  // Kinds no library class reads.
  c.push_back({"YCbCr_Jpeg", Flavour(8, 3, PHOTOMETRIC_YCBCR, COMPRESSION_JPEG), Expect::Null});
  c.push_back({"Rgb_PlanarSeparate",
               With(Flavour(8, 3, rgb), [](auto& f) { f.planar = PLANARCONFIG_SEPARATE; }),
               Expect::Null});
  c.push_back({"Palette8",
               With(Flavour(8, 1, PHOTOMETRIC_PALETTE),
                    [](auto& f) {
                      for (int i = 0; i < 3 * 256; ++i)
                        f.colourMap.push_back(static_cast<uint16_t>(i * 85));
                    }),
               Expect::Null});
  c.push_back({"Cmyk", Flavour(8, 4, PHOTOMETRIC_SEPARATED), Expect::Null});
  return c;
}

bool IsLossy(const TiffFlavour& f) { return f.compression == COMPRESSION_JPEG; }

// Page p of the source picture for the flavour.
tifftest::Page SourcePage(const TiffFlavour& f, int page) {
  const bool smooth = IsLossy(f);
  return tifftest::MakePage(f, [&](uint32_t x, uint32_t y, int s) -> uint32_t {
    if (f.bits == 1) return s == 0 ? BitPattern(x, y, page) : (x + y) & 1;
    if (f.samples >= 3) {
      const uint32_t v = ColourPattern(x, y, s, smooth) ^ static_cast<uint32_t>(page * 0x55);
      return f.bits == 16 ? v * 257 : v;
    }
    const uint32_t g = GreyPattern(x, y, smooth) ^ static_cast<uint32_t>(page * 0x55);
    if (s > 0) return 200;  // alpha
    if (f.bits == 16) return (g << 8) | ((x * 13 + y) & 0xFF);
    if (f.bits == 12) return (g << 4) | (x & 0xF);
    if (f.bits == 32) return 0x3F000000;  // 0.5f
    return g >> (8 - f.bits);
  });
}

// The grey level a sample of the first page should load as.
int ExpectedGrey(const TiffFlavour& f, uint32_t x, uint32_t y) {
  const int g = static_cast<int>(GreyPattern(x, y, IsLossy(f)));
  int level = g;
  if (f.bits == 4) level = (g >> 4) * 17;
  if (f.bits == 2) level = (g >> 6) * 85;
  return f.photometric == PHOTOMETRIC_MINISWHITE ? 255 - level : level;
}

// What libtiff's own RGBA interface makes of the first page, top row first, as 32-bit
// values with red in the low byte.
std::vector<uint32_t> LibtiffRgba(const std::string& path, uint32_t w, uint32_t h) {
  std::vector<uint32_t> raster(size_t{w} * h);
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  EXPECT_NE(tif, nullptr);
  if (tif) {
    EXPECT_EQ(TIFFReadRGBAImageOriented(tif, w, h, raster.data(), ORIENTATION_TOPLEFT, 1), 1);
    TIFFClose(tif);
  }
  return raster;
}

class TiffFlavourMatrix : public ::testing::TestWithParam<MatrixCase> {};

TEST_P(TiffFlavourMatrix, LoadsWithTheRightPixelsOrGivesNull) {
  const MatrixCase& mc = GetParam();
  const TiffFlavour& f = mc.flavour;
  tifftest::TempPath path(".tif");
  std::vector<tifftest::Page> pages;
  for (int p = 0; p < mc.pages; ++p) pages.push_back(SourcePage(f, p));
  ASSERT_TRUE(tifftest::WriteTiffFile(path.str(), f, pages));

  std::unique_ptr<CImage> image(ImgLoadFromFile(path.wide().c_str(), RUNTIME_CLASS(CTiffHiProbe),
                                                nullptr, RUNTIME_CLASS(CTiffGreyProbe),
                                                RUNTIME_CLASS(CTiffBiLevelProbe)));
  if (mc.expect == Expect::Null) {
    EXPECT_EQ(image, nullptr);
    return;
  }
  ASSERT_NE(image, nullptr);
  ASSERT_EQ(image->GetWidth(), static_cast<int>(f.width));
  ASSERT_EQ(image->GetHeight(), static_cast<int>(f.height));
  EXPECT_STREQ(image->GetName(), path.wide().c_str());
  EXPECT_TRUE(image->IsDirty());
  EXPECT_EQ(image->GetImageMapCount(), 1);

  if (mc.expect == Expect::BiLevel) {
    auto* bits = dynamic_cast<tifftest::CTiffBiLevelProbe*>(image.get());
    ASSERT_NE(bits, nullptr);
    for (uint32_t y = 0; y < f.height; ++y) {
      for (uint32_t x = 0; x < f.width; ++x) {
        // 1 = white: a set bit is white in BlackIsZero files and black in WhiteIsZero ones.
        const uint32_t bit = BitPattern(x, y, 0);
        const int white = static_cast<int>(f.photometric == PHOTOMETRIC_MINISBLACK ? bit : 1 - bit);
        ASSERT_EQ(bits->Row(static_cast<int>(y))[x], white) << "x " << x << " y " << y;
      }
    }
  } else if (mc.expect == Expect::Grey) {
    auto* grey = dynamic_cast<tifftest::CTiffGreyProbe*>(image.get());
    ASSERT_NE(grey, nullptr);
    for (uint32_t y = 0; y < f.height; ++y) {
      const unsigned char* row = grey->Row(static_cast<int>(y));
      for (uint32_t x = 0; x < f.width; ++x) {
        ASSERT_NEAR(row[x], ExpectedGrey(f, x, y), mc.tolerance) << "x " << x << " y " << y;
      }
      for (int x = static_cast<int>(f.width); x < grey->BytesPerLine(); ++x) ASSERT_EQ(row[x], 0);
    }
  } else {
    auto* colour = dynamic_cast<tifftest::CTiffHiProbe*>(image.get());
    ASSERT_NE(colour, nullptr);
    const std::vector<uint32_t> rgba = LibtiffRgba(path.str(), f.width, f.height);
    const bool premultiplied = f.extraSample == EXTRASAMPLE_UNASSALPHA;
    for (uint32_t y = 0; y < f.height; ++y) {
      const unsigned char* row = colour->Row(static_cast<int>(y));
      // A bottom-up file stores the picture's last row first.
      const uint32_t sy = f.orientation == ORIENTATION_BOTLEFT ? f.height - 1 - y : y;
      for (uint32_t x = 0; x < f.width; ++x) {
        const unsigned char* p = row + 4 * x;
        const uint32_t v = rgba[y * f.width + x];
        // Blue, green, red exactly as libtiff's RGBA interface decodes them...
        ASSERT_EQ(p[0], TIFFGetB(v)) << "x " << x << " y " << y;
        ASSERT_EQ(p[1], TIFFGetG(v));
        ASSERT_EQ(p[2], TIFFGetR(v));
        // ...which, for lossless files that need no conversion, are the source samples.
        if (!premultiplied) {
          ASSERT_NEAR(p[2], ColourPattern(x, sy, 0, IsLossy(f)), mc.tolerance);
          ASSERT_NEAR(p[1], ColourPattern(x, sy, 1, IsLossy(f)), mc.tolerance);
          ASSERT_NEAR(p[0], ColourPattern(x, sy, 2, IsLossy(f)), mc.tolerance);
        }
        // The fourth byte: alpha as libtiff gives it, or the fourth sample as it stands in a
        // file that says nothing about it.
        if (f.samples == 4 && !f.extraSample) {
          ASSERT_NEAR(p[3], ColourPattern(x, sy, 3, IsLossy(f)), mc.tolerance);
        } else {
          ASSERT_EQ(p[3], TIFFGetA(v));
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Flavours, TiffFlavourMatrix, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
