// ExportTIFF writes files that libtiff's own tools accept, with exactly the tags and sample
// layouts of each format, and that load back bit for bit.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "support/tiff_files.h"
#include "support/tiff_probe_classes.h"
#include "vorlane/vorlane.h"

namespace {

using tifftest::CTiffBiLevelProbe;
using tifftest::CTiffGreyProbe;
using tifftest::CTiffHiProbe;
using tifftest::TempPath;

struct Size {
  int width;
  int height;
};
const Size kSizes[] = {{1, 1}, {3, 5}, {7, 2}, {10, 3}, {33, 17}, {64, 1}, {1, 40}};

// A distinct value per pixel and channel.
unsigned Pattern(int x, int y, int channel) {
  return static_cast<unsigned>((x * 31 + y * 17 + channel * 71 + x * y) & 0xFF);
}

std::unique_ptr<CImage> Load(const TempPath& path) {
  return std::unique_ptr<CImage>(ImgLoadFromFile(path.wide().c_str(), RUNTIME_CLASS(CTiffHiProbe),
                                                 nullptr, RUNTIME_CLASS(CTiffGreyProbe),
                                                 RUNTIME_CLASS(CTiffBiLevelProbe)));
}

// Runs a command line; returns its exit status and its standard output in out.
int Run(const std::string& command, std::string* out = nullptr) {
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return -1;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
    if (out) out->append(buffer, n);
  }
  const int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The tags of the first directory of a little-endian file, straight from its bytes.
std::set<uint16_t> DirectoryTags(const std::vector<uint8_t>& file) {
  auto u16 = [&](size_t at) { return static_cast<uint16_t>(file.at(at) | file.at(at + 1) << 8); };
  auto u32 = [&](size_t at) { return static_cast<uint32_t>(u16(at) | u16(at + 2) << 16); };
  EXPECT_EQ(file.at(0), 'I');
  const uint32_t ifd = u32(4);
  std::set<uint16_t> tags;
  for (uint16_t i = 0, n = u16(ifd); i < n; ++i) tags.insert(u16(ifd + 2 + 12u * i));
  return tags;
}

// Writes a reference file with libtiff from the rows a format should produce.
void WriteReference(const TempPath& path, uint32_t w, uint32_t h, uint16_t bits, uint16_t samples,
                    uint16_t photometric, const tifftest::Page& page) {
  tifftest::TiffFlavour f;
  f.width = w;
  f.height = h;
  f.bits = bits;
  f.samples = samples;
  f.photometric = photometric;
  f.fillOrder = FILLORDER_MSB2LSB;
  ASSERT_TRUE(tifftest::WriteTiffFile(path.str(), f, {page}));
}

// Checks the file with tiffinfo and compares it with the reference using tiffcmp.
void CheckWithLibtiffTools(const TempPath& file, const TempPath& reference,
                           const char* photometric) {
  std::string info;
  ASSERT_EQ(Run("tiffinfo '" + file.str() + "'", &info), 0) << info;
  EXPECT_NE(info.find("Compression Scheme: None"), std::string::npos) << info;
  EXPECT_NE(info.find("Planar Configuration: single image plane"), std::string::npos) << info;
  EXPECT_NE(info.find(photometric), std::string::npos) << info;
  std::string cmp;
  EXPECT_EQ(Run("tiffcmp '" + file.str() + "' '" + reference.str() + "'", &cmp), 0) << cmp;
}

TEST(TiffRoundTrip, BiLevelImagesComeBackBitForBit) {
  for (const Size s : kSizes) {
    SCOPED_TRACE(testing::Message() << s.width << "x" << s.height);
    CBiLevelImage image;
    ASSERT_EQ(image.Create(s.width, s.height, 0, L"bits"), 1);
    for (int y = 0; y < s.height; ++y) {
      for (int x = 0; x < s.width; ++x) image.SetRed(x, y, Pattern(x, y, 0) & 1);
    }
    TempPath path(".tif"), reference(".tif");
    ASSERT_EQ(image.ExportTIFF(path.wide().c_str()), 1);

    std::unique_ptr<CImage> loaded = Load(path);
    auto* probe = dynamic_cast<CTiffBiLevelProbe*>(loaded.get());
    ASSERT_NE(probe, nullptr);
    ASSERT_EQ(probe->GetWidth(), s.width);
    ASSERT_EQ(probe->GetHeight(), s.height);
    for (int y = 0; y < s.height; ++y) {
      for (int x = 0; x < s.width; ++x) ASSERT_EQ(probe->Row(y)[x], Pattern(x, y, 0) & 1);
    }
    // The file holds packed rows, most significant bit first, 1 = white, BlackIsZero.
    tifftest::TiffFlavour f;
    f.width = static_cast<uint32_t>(s.width);
    f.height = static_cast<uint32_t>(s.height);
    f.bits = 1;
    const auto page = tifftest::MakePage(f, [](uint32_t x, uint32_t y, int) {
      return Pattern(static_cast<int>(x), static_cast<int>(y), 0) & 1;
    });
    WriteReference(reference, f.width, f.height, 1, 1, PHOTOMETRIC_MINISBLACK, page);
    CheckWithLibtiffTools(path, reference, "min-is-black");
  }
}

TEST(TiffRoundTrip, GreyImagesComeBackBitForBit) {
  for (const Size s : kSizes) {
    SCOPED_TRACE(testing::Message() << s.width << "x" << s.height);
    CTiffGreyProbe image;
    ASSERT_EQ(image.Create(s.width, s.height, 0, L"grey"), 1);
    for (int y = 0; y < s.height; ++y) {
      for (int x = 0; x < s.width; ++x)
        image.MutableRow(y)[x] = static_cast<unsigned char>(Pattern(x, y, 0));
    }
    TempPath path(".tif"), reference(".tif");
    ASSERT_EQ(image.ExportTIFF(path.wide().c_str()), 1);

    std::unique_ptr<CImage> loaded = Load(path);
    auto* probe = dynamic_cast<CTiffGreyProbe*>(loaded.get());
    ASSERT_NE(probe, nullptr);
    ASSERT_EQ(probe->GetWidth(), s.width);
    ASSERT_EQ(probe->GetHeight(), s.height);
    for (int y = 0; y < s.height; ++y) {
      // Pixels as they were; the row padding is 0.
      for (int x = 0; x < probe->BytesPerLine(); ++x) {
        ASSERT_EQ(probe->Row(y)[x], x < s.width ? Pattern(x, y, 0) : 0u) << x << "," << y;
      }
    }
    tifftest::TiffFlavour f;
    f.width = static_cast<uint32_t>(s.width);
    f.height = static_cast<uint32_t>(s.height);
    const auto page = tifftest::MakePage(f, [](uint32_t x, uint32_t y, int) {
      return Pattern(static_cast<int>(x), static_cast<int>(y), 0);
    });
    WriteReference(reference, f.width, f.height, 8, 1, PHOTOMETRIC_MINISBLACK, page);
    CheckWithLibtiffTools(path, reference, "min-is-black");
  }
}

TEST(TiffRoundTrip, ColourImagesComeBackBitForBitWithTheFourthByte) {
  for (const Size s : kSizes) {
    SCOPED_TRACE(testing::Message() << s.width << "x" << s.height);
    CTiffHiProbe image;
    ASSERT_EQ(image.Create(s.width, s.height, 0, L"colour"), 1);
    for (int y = 0; y < s.height; ++y) {
      for (int x = 0; x < s.width; ++x) {
        for (int c = 0; c < 4; ++c) {
          image.MutableRow(y)[4 * x + c] = static_cast<unsigned char>(Pattern(x, y, c));
        }
      }
    }
    TempPath path(".tif"), reference(".tif");
    ASSERT_EQ(image.ExportTIFF(path.wide().c_str()), 1);

    std::unique_ptr<CImage> loaded = Load(path);
    auto* probe = dynamic_cast<CTiffHiProbe*>(loaded.get());
    ASSERT_NE(probe, nullptr);
    ASSERT_EQ(probe->GetWidth(), s.width);
    ASSERT_EQ(probe->GetHeight(), s.height);
    for (int y = 0; y < s.height; ++y) {
      for (int x = 0; x < 4 * s.width; ++x) ASSERT_EQ(probe->Row(y)[x], Pattern(x / 4, y, x % 4));
    }
    // The file holds red, green, blue, fourth byte.
    tifftest::TiffFlavour f;
    f.width = static_cast<uint32_t>(s.width);
    f.height = static_cast<uint32_t>(s.height);
    f.samples = 4;
    const int order[] = {2, 1, 0, 3};
    const auto page = tifftest::MakePage(f, [&](uint32_t x, uint32_t y, int c) {
      return Pattern(static_cast<int>(x), static_cast<int>(y), order[c]);
    });
    WriteReference(reference, f.width, f.height, 8, 4, PHOTOMETRIC_RGB, page);
    CheckWithLibtiffTools(path, reference, "RGB color");
  }
}

TEST(TiffRoundTrip, FilesCarryExactlyTheFormatTagsAndNothingElse) {
  struct Expected {
    uint16_t samples, bits, photometric;
  };
  CBiLevelImage bits;
  CGreyScaleImage grey;
  CHiColorImage colour;
  ASSERT_EQ(bits.Create(10, 3, 0x00FFFFFF, L"b"), 1);
  ASSERT_EQ(grey.Create(10, 3, 0x00808080, L"g"), 1);
  ASSERT_EQ(colour.Create(10, 3, 0x00123456, L"c"), 1);
  const std::pair<CImage*, Expected> cases[] = {{&bits, {1, 1, PHOTOMETRIC_MINISBLACK}},
                                                {&grey, {1, 8, PHOTOMETRIC_MINISBLACK}},
                                                {&colour, {4, 8, PHOTOMETRIC_RGB}}};
  for (const auto& [image, expected] : cases) {
    TempPath path(".tif");
    ASSERT_EQ(image->ExportTIFF(path.wide().c_str()), 1);
    // The format's eight tags plus the strip tags libtiff writes itself (RowsPerStrip only
    // when there is more than one strip): no resolution, orientation or extra-samples tag.
    std::set<uint16_t> tags = DirectoryTags(tifftest::ReadBytes(path.str()));
    tags.erase(TIFFTAG_ROWSPERSTRIP);
    EXPECT_EQ(tags, (std::set<uint16_t>{256, 257, 258, 259, 262, 266, 273, 277, 279, 284}));
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(tif, nullptr);
    uint32_t w = 0, h = 0;
    uint16_t compression = 0, planar = 0, spp = 0, bps = 0, fill = 0, photometric = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
    TIFFGetField(tif, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bps);
    TIFFGetField(tif, TIFFTAG_FILLORDER, &fill);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    EXPECT_EQ(w, 10u);
    EXPECT_EQ(h, 3u);
    EXPECT_EQ(compression, COMPRESSION_NONE);
    EXPECT_EQ(planar, PLANARCONFIG_CONTIG);
    EXPECT_EQ(spp, expected.samples);
    EXPECT_EQ(bps, expected.bits);
    EXPECT_EQ(fill, FILLORDER_MSB2LSB);
    EXPECT_EQ(photometric, expected.photometric);
    // A bi-level row of 10 pixels is a scanline of 2 bytes: the first 2 of its 4 packed bytes.
    if (expected.bits == 1) {
      EXPECT_EQ(TIFFScanlineSize(tif), 2);
      std::vector<uint8_t> row(2);
      ASSERT_EQ(TIFFReadScanline(tif, row.data(), 0, 0), 1);
      EXPECT_EQ(row, (std::vector<uint8_t>{0xFF, 0xC0}));
    }
    TIFFClose(tif);
  }
}

TEST(TiffRoundTrip, MapOverlayColoursLabelledPixelsByTheFirstMapWithAColour) {
  constexpr int kWidth = 21;  // two runs of eight pixels and a rest
  CTiffHiProbe image;
  ASSERT_EQ(image.Create(kWidth, 2, 0x00102030, L"overlay"), 1);
  for (int x = 0; x < kWidth; ++x) image.MutableRow(0)[4 * x + 3] = static_cast<unsigned char>(x);
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

  auto exported = [&](unsigned short flags) {
    image.SetUpdateFlags(flags);
    TempPath path(".tif");
    EXPECT_EQ(image.ExportTIFF(path.wide().c_str()), 1);
    std::vector<uint8_t> row(4 * kWidth);
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    EXPECT_NE(tif, nullptr);
    if (tif) {
      EXPECT_EQ(TIFFReadScanline(tif, row.data(), 0, 0), 1);
      TIFFClose(tif);
    }
    return row;
  };
  // Red, green, blue, fourth byte per pixel of the top row.
  std::vector<uint8_t> plain, shown;
  for (int x = 0; x < kWidth; ++x) {
    plain.insert(plain.end(), {0x30, 0x20, 0x10, static_cast<uint8_t>(x)});
  }
  shown = plain;
  for (const auto& [x, r, g, b] : {std::tuple{0, 0, 0, 192}, std::tuple{1, 10, 200, 30},
                                   std::tuple{13, 0, 0, 192}, std::tuple{20, 10, 200, 30}}) {
    shown[4 * x] = static_cast<uint8_t>(r);
    shown[4 * x + 1] = static_cast<uint8_t>(g);
    shown[4 * x + 2] = static_cast<uint8_t>(b);
  }
  EXPECT_EQ(exported(IU_NORMAL | IU_MAP_OVERLAY), shown);
  EXPECT_EQ(exported(IU_NORMAL), plain);
}

TEST(TiffRoundTrip, ExportFailsWithoutPixelsPathOrDirectory) {
  TempPath path(".tif");
  CBiLevelImage emptyBits;
  CGreyScaleImage emptyGrey;
  CHiColorImage emptyColour;
  for (CImage* image : std::initializer_list<CImage*>{&emptyBits, &emptyGrey, &emptyColour}) {
    EXPECT_EQ(image->ExportTIFF(path.wide().c_str()), 0);
    EXPECT_TRUE(tifftest::ReadBytes(path.str()).empty()) << "no file is made";
    ASSERT_EQ(image->Create(3, 2, 0, nullptr), 1);
    EXPECT_EQ(image->ExportTIFF(nullptr), 0);
    EXPECT_EQ(image->ExportTIFF(L"/nonexistent-directory/vorlane/x.tif"), 0);
  }
  CLoColorImage palette;
  EXPECT_EQ(palette.ExportTIFF(path.wide().c_str()), 0);
}

TEST(TiffRoundTrip, ExportReplacesAnExistingFile) {
  TempPath path(".tif");
  ASSERT_TRUE(tifftest::WriteBytes(path.str(), std::vector<uint8_t>(100000, 0xAB)));
  CGreyScaleImage image;
  ASSERT_EQ(image.Create(5, 4, 0x00003C00, L"g"), 1);
  ASSERT_EQ(image.ExportTIFF(path.wide().c_str()), 1);
  EXPECT_LT(tifftest::ReadBytes(path.str()).size(), 1000u);
  std::unique_ptr<CImage> loaded = Load(path);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->GetRGBColor(4, 3), 0x3C3C3Cul);
}

}  // namespace
