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
int RunCommand(const std::string& command, std::string* out = nullptr) {
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

// A format's pixel layout: its bytes per pixel, how (x, y, byte) is written into a row, and
// the file it should give (red, green, blue, fourth byte for colour; 1 = white for bits).
struct FormatCase {
  const char* name;
  int pixelBytes;  // 0: one bit per pixel
  uint16_t bits, samples, photometric;
  const char* info;
};
const FormatCase kFormats[] = {
    {"bits", 0, 1, 1, PHOTOMETRIC_MINISBLACK, "min-is-black"},
    {"grey", 1, 8, 1, PHOTOMETRIC_MINISBLACK, "min-is-black"},
    {"colour", 4, 8, 4, PHOTOMETRIC_RGB, "RGB color"},
};

// The value of byte c of pixel (x, y) in the image's rows (the bit for bi-level images).
unsigned Expected(const FormatCase& fc, int x, int y, int c) {
  return fc.pixelBytes == 0 ? Pattern(x, y, 0) & 1 : Pattern(x, y, c);
}

TEST(TiffRoundTrip, ImagesComeBackBitForBitAndMatchLibtiffsOwnFile) {
  for (const FormatCase& fc : kFormats) {
    for (const Size s : kSizes) {
      SCOPED_TRACE(testing::Message() << fc.name << ' ' << s.width << "x" << s.height);
      std::unique_ptr<CImage> image(fc.pixelBytes == 0   ? static_cast<CImage*>(new CBiLevelImage)
                                    : fc.pixelBytes == 1 ? static_cast<CImage*>(new CTiffGreyProbe)
                                                         : static_cast<CImage*>(new CTiffHiProbe));
      ASSERT_EQ(image->Create(s.width, s.height, 0, L"x"), 1);
      for (int y = 0; y < s.height; ++y) {
        for (int x = 0; x < s.width; ++x) {
          if (fc.pixelBytes == 0)
            image->SetRed(x, y, static_cast<unsigned char>(Pattern(x, y, 0) & 1));
          unsigned char* row =
              fc.pixelBytes == 1   ? dynamic_cast<CTiffGreyProbe&>(*image).MutableRow(y)
              : fc.pixelBytes == 4 ? dynamic_cast<CTiffHiProbe&>(*image).MutableRow(y)
                                   : nullptr;
          for (int c = 0; c < fc.pixelBytes; ++c) {
            row[fc.pixelBytes * x + c] = static_cast<unsigned char>(Pattern(x, y, c));
          }
        }
      }
      TempPath path(".tif"), reference(".tif");
      ASSERT_EQ(image->ExportTIFF(path.wide().c_str()), 1);

      std::unique_ptr<CImage> loaded = Load(path);
      ASSERT_NE(loaded, nullptr);
      ASSERT_EQ(loaded->GetWidth(), s.width);
      ASSERT_EQ(loaded->GetHeight(), s.height);
      const unsigned char* (*rowOf)(CImage&, int) = nullptr;
      if (fc.pixelBytes == 0) {
        rowOf = [](CImage& i, int y) { return dynamic_cast<CTiffBiLevelProbe&>(i).Row(y); };
      } else if (fc.pixelBytes == 1) {
        rowOf = [](CImage& i, int y) { return dynamic_cast<CTiffGreyProbe&>(i).Row(y); };
      } else {
        rowOf = [](CImage& i, int y) { return dynamic_cast<CTiffHiProbe&>(i).Row(y); };
      }
      const int bytesPerPixel = fc.pixelBytes ? fc.pixelBytes : 1;
      const int rowBytes = (s.width * bytesPerPixel + 3) / 4 * 4;
      for (int y = 0; y < s.height; ++y) {
        // Pixels as they were; the row padding of byte formats is 0.
        for (int i = 0; i < (fc.pixelBytes ? rowBytes : s.width); ++i) {
          const int x = i / bytesPerPixel;
          ASSERT_EQ(rowOf(*loaded, y)[i], x < s.width ? Expected(fc, x, y, i % bytesPerPixel) : 0u)
              << i << "," << y;
        }
      }
      // The file holds packed rows, most significant bit first; colour as red, green, blue,
      // fourth byte.
      tifftest::TiffFlavour f;
      f.width = static_cast<uint32_t>(s.width);
      f.height = static_cast<uint32_t>(s.height);
      f.bits = fc.bits;
      f.samples = fc.samples;
      f.photometric = fc.photometric;
      f.fillOrder = FILLORDER_MSB2LSB;
      const int order[] = {2, 1, 0, 3};
      const auto page = tifftest::MakePage(f, [&](uint32_t x, uint32_t y, int c) {
        return Expected(fc, static_cast<int>(x), static_cast<int>(y),
                        fc.samples == 4 ? order[c] : c);
      });
      ASSERT_TRUE(tifftest::WriteTiffFile(reference.str(), f, {page}));
      std::string info;
      ASSERT_EQ(RunCommand("tiffinfo '" + path.str() + "'", &info), 0) << info;
      EXPECT_NE(info.find("Compression Scheme: None"), std::string::npos) << info;
      EXPECT_NE(info.find("Planar Configuration: single image plane"), std::string::npos) << info;
      EXPECT_NE(info.find(fc.info), std::string::npos) << info;
      std::string cmp;
      EXPECT_EQ(RunCommand("tiffcmp '" + path.str() + "' '" + reference.str() + "'", &cmp), 0)
          << cmp;
    }
  }
}

TEST(TiffRoundTrip, FilesCarryExactlyTheFormatTagsAndNothingElse) {
  CBiLevelImage bits;
  CGreyScaleImage grey;
  CHiColorImage colour;
  for (CImage* image : std::initializer_list<CImage*>{&bits, &grey, &colour}) {
    ASSERT_EQ(image->Create(10, 3, 0x00123456, L"x"), 1);
    TempPath path(".tif");
    ASSERT_EQ(image->ExportTIFF(path.wide().c_str()), 1);
    // The format's eight tags plus the strip tags libtiff writes itself (RowsPerStrip only
    // when there is more than one strip): no resolution, orientation or extra-samples tag.
    std::set<uint16_t> tags = DirectoryTags(tifftest::ReadBytes(path.str()));
    tags.erase(TIFFTAG_ROWSPERSTRIP);
    EXPECT_EQ(tags, (std::set<uint16_t>{256, 257, 258, 259, 262, 266, 273, 277, 279, 284}));
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

}  // namespace
