// TIFF pixels: files of many flavours, written by libtiff, either load through ImgLoadFromFile
// with the right pixels or give null cleanly; ExportTIFF writes files that tiffcmp finds equal,
// tags and rows, to libtiff's own and that load back bit for bit, colours map overlays in, and
// fails cleanly where it cannot write.
#include <gtest/gtest.h>

#include <cstdio>
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
using tifftest::TempPath;
using tifftest::TiffFlavour;

enum class Expect { BiLevel, Grey, Colour, Null };

// Source pictures: one pattern per kind, odd and irregular so that swapped axes, lost rows
// and bit-order slips show.
uint32_t BitPattern(uint32_t x, uint32_t y, int page) {
  return ((x * 3 + y * 5 + static_cast<uint32_t>(page)) % 7 < 3) ? 1 : 0;
}
uint32_t GreyPattern(uint32_t x, uint32_t y) { return (x * 37 + y * 11 + x * y) & 0xFF; }
uint32_t ColourPattern(uint32_t x, uint32_t y, int s) {
  const uint32_t v[] = {x * 29 + y * 3, x * 7 + y * 31, x * x + y, x + y * 17 + 40};
  return v[s] & 0xFF;
}

// Options beyond the kind of picture; zero values are not written.
struct Options {
  uint32_t tileWidth = 0, tileLength = 0;
  uint16_t predictor = 0, orientation = 0, fillOrder = 0;
  int extra = -1;  // ExtraSamples value, -1: none
};

struct MatrixCase {
  const char* name;
  uint16_t bits, samples, photometric, compression;
  Expect expect;
  Options o = {};
  int pages = 1;
};

void PrintTo(const MatrixCase& mc, std::ostream* os) { *os << mc.name; }

constexpr uint16_t mw = PHOTOMETRIC_MINISWHITE, mb = PHOTOMETRIC_MINISBLACK, rgb = PHOTOMETRIC_RGB;
constexpr uint16_t none = COMPRESSION_NONE, lzw = COMPRESSION_LZW, g4 = COMPRESSION_CCITTFAX4,
                   jpeg = COMPRESSION_JPEG;
using E = Expect;

const MatrixCase kCases[] = {
    {"Bits_WhiteIsZero", 1, 1, mw, none, E::BiLevel},
    {"Bits_BlackIsZero", 1, 1, mb, none, E::BiLevel},
    {"Bits_Tiled16", 1, 1, mw, none, E::BiLevel, {.tileWidth = 16, .tileLength = 16}},
    {"Bits_TwoSamples", 1, 2, mw, none, E::BiLevel, {.extra = EXTRASAMPLE_UNSPECIFIED}},
    {"Bits_MultiPage", 1, 1, mw, g4, E::BiLevel, {}, 3},
    {"Bits_FillOrderLsbFirstG4", 1, 1, mw, g4, E::BiLevel, {.fillOrder = FILLORDER_LSB2MSB}},
    {"Grey8_WhiteIsZero", 8, 1, mw, none, E::Grey},
    {"Grey8_Tiled32x16", 8, 1, mb, none, E::Grey, {.tileWidth = 32, .tileLength = 16}},
    {"Grey8_TiledLargerThanImageLzw", 8, 1, mw, lzw, E::Grey, {.tileWidth = 64, .tileLength = 64}},
    {"Grey8_WithAlpha", 8, 2, mb, none, E::Grey, {.extra = EXTRASAMPLE_ASSOCALPHA}},
    {"Grey16_WhiteIsZeroLzw", 16, 1, mw, lzw, E::Grey},
    {"Grey4", 4, 1, mb, none, E::Grey},
    {"Grey12", 12, 1, mb, none, E::Grey},
    {"Rgb_LzwPredictor", 8, 3, rgb, lzw, E::Colour, {.predictor = PREDICTOR_HORIZONTAL}},
    {"Rgb_Sixteen", 16, 3, rgb, none, E::Colour},
    {"Rgb_BottomUp", 8, 3, rgb, none, E::Colour, {.orientation = ORIENTATION_BOTLEFT}},
    {"Rgba_Unassociated", 8, 4, rgb, none, E::Colour, {.extra = EXTRASAMPLE_UNASSALPHA}},
    {"Rgba_AssociatedLzw", 8, 4, rgb, lzw, E::Colour, {.extra = EXTRASAMPLE_ASSOCALPHA}},
    {"Rgbx_NoExtraSamplesTag", 8, 4, rgb, none, E::Colour},
    // A kind no library class reads.
    {"YCbCr_Jpeg", 8, 3, PHOTOMETRIC_YCBCR, jpeg, E::Null},
};

TiffFlavour FlavourOf(const MatrixCase& mc) {
  TiffFlavour f = TiffFlavour{37, 23, mc.bits, mc.samples, mc.photometric, mc.compression};
  const Options& o = mc.o;
  f.tileWidth = o.tileWidth, f.tileLength = o.tileLength;
  if (o.predictor) f.predictor = o.predictor;
  if (o.orientation) f.orientation = o.orientation;
  if (o.fillOrder) f.fillOrder = o.fillOrder;
  if (o.extra >= 0) f.extraSample = static_cast<uint16_t>(o.extra);
  return f;
}

// Page p of the source picture for the flavour.
tifftest::Page SourcePage(const TiffFlavour& f, int page) {
  return tifftest::MakePage(f, [&](uint32_t x, uint32_t y, int s) -> uint32_t {
    const auto flip = static_cast<uint32_t>(page * 0x55);
    if (f.bits == 1) return s == 0 ? BitPattern(x, y, page) : (x + y) & 1;
    if (f.samples >= 3) {
      const uint32_t v = ColourPattern(x, y, s) ^ flip;
      return f.bits == 16 ? v * 257 : v;
    }
    const uint32_t g = GreyPattern(x, y) ^ flip;
    if (s > 0) return 200;  // alpha
    if (f.bits == 16) return (g << 8) | ((x * 13 + y) & 0xFF);
    if (f.bits == 12) return (g << 4) | (x & 0xF);
    return g >> (8 - f.bits);
  });
}

// The grey level a sample of the first page should load as.
int ExpectedGrey(const TiffFlavour& f, uint32_t x, uint32_t y) {
  const int g = static_cast<int>(GreyPattern(x, y));
  const int level = f.bits == 4 ? (g >> 4) * 17 : g;
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
  const TiffFlavour f = FlavourOf(mc);
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
  ASSERT_TRUE(image->GetWidth() == int(f.width) && image->GetHeight() == int(f.height));
  EXPECT_TRUE(path.wide() == image->GetName() && image->IsDirty() &&
              image->GetImageMapCount() == 1);
  CRuntimeClass* classes[] = {RUNTIME_CLASS(CTiffBiLevelProbe), RUNTIME_CLASS(CTiffGreyProbe),
                              RUNTIME_CLASS(CTiffHiProbe)};
  ASSERT_EQ(image->GetRuntimeClass(), classes[static_cast<int>(mc.expect)]);
  std::vector<uint32_t> rgba;
  if (mc.expect == Expect::Colour) rgba = LibtiffRgba(path.str(), f.width, f.height);
  for (uint32_t y = 0; y < f.height; ++y) {
    const unsigned char* row = tifftest::ProbeRow(*image, static_cast<int>(y));
    // A bottom-up file stores the picture's last row first.
    const uint32_t sy = f.orientation == ORIENTATION_BOTLEFT ? f.height - 1 - y : y;
    for (uint32_t x = 0; x < f.width; ++x) {
      SCOPED_TRACE(testing::Message() << "x " << x << " y " << y);
      if (mc.expect == Expect::BiLevel) {
        // 1 = white: a set bit is white in BlackIsZero files and black in WhiteIsZero ones.
        const uint32_t bit = BitPattern(x, y, 0);
        ASSERT_EQ(row[x], f.photometric == PHOTOMETRIC_MINISBLACK ? bit : 1 - bit);
      } else if (mc.expect == Expect::Grey) {
        ASSERT_EQ(row[x], ExpectedGrey(f, x, y));
      } else {
        const unsigned char* p = row + 4 * x;
        const uint32_t v = rgba[y * f.width + x];
        // Blue, green, red exactly as libtiff's RGBA interface decodes them.
        ASSERT_EQ((std::vector<uint32_t>{p[0], p[1], p[2]}),
                  (std::vector<uint32_t>{TIFFGetB(v), TIFFGetG(v), TIFFGetR(v)}));
        // The fourth byte: alpha as libtiff gives it, or the fourth sample as it stands in a
        // file that says nothing about it.
        const bool unsaid = f.samples == 4 && !f.extraSample;
        ASSERT_EQ(p[3], unsaid ? ColourPattern(x, sy, 3) : TIFFGetA(v));
      }
    }
    if (mc.expect == Expect::Grey) {
      const int bytes = dynamic_cast<tifftest::CTiffGreyProbe&>(*image).RowBytes();
      for (int x = static_cast<int>(f.width); x < bytes; ++x) ASSERT_EQ(row[x], 0);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Flavours, TiffFlavourMatrix, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A distinct value per pixel and channel.
unsigned Pattern(int x, int y, int channel) {
  return static_cast<unsigned>((x * 31 + y * 17 + channel * 71 + x * y) & 0xFF);
}

// Runs a command line; returns its exit status and its standard output in out (libtiff's
// warnings go to standard error).
int RunCommand(const std::string& command, std::string* out) {
  FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
  if (!pipe) return -1;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out->append(buffer, n);
  const int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A format: bytes per pixel in the image's rows and the file's samples.
struct FormatCase {
  bool bits;  // one bit per pixel, one byte per pixel in the rows
  int pixelBytes;
  uint16_t samples, photometric;
};
const FormatCase kFormats[] = {{true, 1, 1, PHOTOMETRIC_MINISBLACK},
                               {false, 1, 1, PHOTOMETRIC_MINISBLACK},
                               {false, 4, 4, PHOTOMETRIC_RGB}};
// Odd shapes, row lengths around the vector steps of 4, 16 and 32 pixels, and a picture
// written in several blocks of rows, the last one short.
const int kSizes[][2] = {{1, 1},  {3, 5},  {7, 2},  {10, 3}, {33, 17}, {64, 1},    {1, 40}, {2, 3},
                         {5, 3},  {6, 3},  {15, 3}, {16, 3}, {17, 3},  {31, 3},    {32, 3}, {47, 3},
                         {48, 3}, {63, 3}, {65, 3}, {97, 3}, {130, 3}, {2000, 150}};

TEST(TiffRoundTrip, ImagesComeBackBitForBitAndMatchLibtiffsOwnFile) {
  for (const FormatCase& fc : kFormats) {
    for (const auto [w, h] : kSizes) {
      SCOPED_TRACE(testing::Message() << fc.bits << fc.pixelBytes << ' ' << w << "x" << h);
      auto value = [&](int x, int y, int c) {
        return fc.bits ? Pattern(x, y, 0) & 1 : Pattern(x, y, c);
      };
      std::unique_ptr<CImage> image(fc.bits ? static_cast<CImage*>(new CTiffBiLevelProbe)
                                    : fc.pixelBytes == 1 ? static_cast<CImage*>(new CTiffGreyProbe)
                                                         : new CTiffHiProbe);
      ASSERT_EQ(image->Create(w, h, 0, L"x"), 1);
      for (int i = 0; i < w * h * fc.pixelBytes; ++i) {
        const int x = i / fc.pixelBytes % w, y = i / fc.pixelBytes / w, c = i % fc.pixelBytes;
        tifftest::ProbeRow(*image, y)[fc.pixelBytes * x + c] =
            static_cast<unsigned char>(value(x, y, c));
      }
      TempPath path(".tif"), reference(".tif");
      ASSERT_EQ(image->ExportTIFF(path.wide().c_str()), 1);
      std::unique_ptr<CImage> loaded(
          ImgLoadFromFile(path.wide().c_str(), RUNTIME_CLASS(CTiffHiProbe), nullptr,
                          RUNTIME_CLASS(CTiffGreyProbe), RUNTIME_CLASS(CTiffBiLevelProbe)));
      ASSERT_NE(loaded, nullptr);
      ASSERT_EQ(loaded->GetWidth(), w);
      ASSERT_EQ(loaded->GetHeight(), h);
      // Pixels as they were; the row padding of byte formats is 0.
      const int rowBytes = fc.bits ? w : (w * fc.pixelBytes + 3) / 4 * 4;
      for (int y = 0; y < h; ++y) {
        for (int i = 0; i < rowBytes; ++i) {
          const int x = i / fc.pixelBytes;
          ASSERT_EQ(tifftest::ProbeRow(*loaded, y)[i], x < w ? value(x, y, i % fc.pixelBytes) : 0u)
              << i << "," << y;
        }
      }
      // The file holds packed rows, most significant bit first; colour as red, green, blue,
      // fourth byte. tiffcmp reports no difference, in the tags it compares (presence included)
      // or in the rows, from libtiff's own file: no resolution, orientation or alpha tag.
      tifftest::TiffFlavour f = tifftest::TiffFlavour{
          uint32_t(w), uint32_t(h), uint16_t(fc.bits ? 1 : 8), fc.samples, fc.photometric};
      f.fillOrder = FILLORDER_MSB2LSB;
      const int order[] = {2, 1, 0, 3};
      const auto page = tifftest::MakePage(f, [&](uint32_t x, uint32_t y, int c) {
        return value(static_cast<int>(x), static_cast<int>(y), fc.samples == 4 ? order[c] : c);
      });
      ASSERT_TRUE(tifftest::WriteTiffFile(reference.str(), f, {page}));
      std::string cmp;
      EXPECT_EQ(RunCommand("tiffcmp '" + path.str() + "' '" + reference.str() + "'", &cmp), 0);
      EXPECT_EQ(cmp, "");
    }
  }
}

TEST(TiffRoundTrip, ExportFailsWithoutPixelsPathOrDirectoryAndForLowColour) {
  CBiLevelImage bits;
  CGreyScaleImage grey;
  CHiColorImage colour;
  for (CImage* image : std::initializer_list<CImage*>{&bits, &grey, &colour}) {
    TempPath path(".tif");
    EXPECT_EQ(image->ExportTIFF(path.wide().c_str()), 0);
    EXPECT_TRUE(tifftest::ReadBytes(path.str()).empty()) << "no file is made";
    ASSERT_EQ(image->Create(3, 2, 0, nullptr), 1);
    EXPECT_EQ(image->ExportTIFF(nullptr), 0);
    EXPECT_EQ(image->ExportTIFF(L"/nonexistent-directory/vorlane/x.tif"), 0);
  }
  CLoColorImage palette;
  ASSERT_EQ(palette.CreateFromImage(&grey, 0), 1);
  TempPath path(".tif");
  EXPECT_EQ(palette.ExportTIFF(path.wide().c_str()), 0);
}

TEST(TiffRoundTrip, MapOverlayColoursLabelledPixelsByTheFirstMapWithAColour) {
  constexpr int kWidth = 21;  // two runs of eight pixels and a rest
  tifftest::CTiffHiProbe image;
  ASSERT_EQ(image.Create(kWidth, 3, 0x00102030, L"overlay"), 1);
  // Red, green, blue, fourth byte per pixel of the three rows, without the overlay.
  std::vector<uint8_t> plain;
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      image.Row(y)[4 * x + 3] = static_cast<unsigned char>(x);
      plain.insert(plain.end(), {0x30, 0x20, 0x10, static_cast<uint8_t>(x)});
    }
  }
  // "Standard" colours its "Background" type (bit 0) in (0, 0, 192); a second map of byte
  // labels colours label 5 in (10, 200, 30).
  CImageMap* standard = image.GetImageMap(0);
  CImageMap* marks = image.AddImageMap(L"Marks", MAP_BYTE_LABELS);
  ASSERT_NE(marks, nullptr);
  marks->SetPixelType(5, L"Ink", 10, 200, 30, 1);
  standard->SetMapByte(0, 0, 0x01);
  marks->SetMapByte(0, 0, 5);         // both maps: the first in the list wins
  marks->SetMapByte(1, 0, 5);         // only the second map
  standard->SetMapByte(2, 0, 0x02);   // a type that is not visible: no colour
  standard->SetMapByte(13, 0, 0x03);  // inside the second run: the visible bit counts
  marks->SetMapByte(20, 0, 5);        // the rest after the runs
  marks->SetMapByte(20, 1, 5);        // a row labelled only in its rest; the third has none
  const uint8_t ink[] = {10, 200, 30}, background[] = {0, 0, 192}, paper[] = {1, 2, 3};
  std::vector<uint8_t> shown = plain;
  for (const int i : {0, 1, 13, 20, kWidth + 20})
    std::copy_n(i == 0 || i == 13 ? background : ink, 3, shown.begin() + 4 * i);
  // Then label 0 of the second map takes a colour too: every pixel without another colour.
  std::vector<uint8_t> everywhere = shown;
  for (int i = 0; i < 3 * kWidth; ++i)
    if (std::equal(plain.begin() + 4 * i, plain.begin() + 4 * i + 3, shown.begin() + 4 * i))
      std::copy_n(paper, 3, everywhere.begin() + 4 * i);
  struct Case {
    int flags;
    bool paperColoured;
    const std::vector<uint8_t>& expected;
  };
  for (const Case& c :
       {Case{IU_NORMAL | IU_MAP_OVERLAY, false, shown}, Case{IU_NORMAL, false, plain},
        Case{IU_NORMAL | IU_MAP_OVERLAY, true, everywhere}}) {
    if (c.paperColoured) marks->SetPixelType(0, L"Paper", 1, 2, 3, 1);
    image.SetUpdateFlags(static_cast<unsigned short>(c.flags));
    TempPath path(".tif");
    EXPECT_EQ(image.ExportTIFF(path.wide().c_str()), 1);
    std::vector<uint8_t> rows(12 * kWidth);
    std::unique_ptr<TIFF, void (*)(TIFF*)> tif(TIFFOpen(path.c_str(), "r"), TIFFClose);
    ASSERT_TRUE(tif);
    for (uint32_t y = 0; y < 3; ++y)
      ASSERT_EQ(TIFFReadScanline(tif.get(), rows.data() + 4 * kWidth * y, y, 0), 1);
    EXPECT_EQ(rows, c.expected);
  }
}

}  // namespace
