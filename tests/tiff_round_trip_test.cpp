// ExportTIFF writes files that tiffcmp finds equal, tags and rows, to libtiff's own and that
// load back bit for bit, colours map overlays in, and fails cleanly where it cannot write.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
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
// Odd shapes, and row lengths around the vector steps of 4, 16 and 32 pixels.
const int kSizes[][2] = {{1, 1},  {3, 5},  {7, 2},  {10, 3}, {33, 17}, {64, 1}, {1, 40},
                         {2, 3},  {5, 3},  {6, 3},  {15, 3}, {16, 3},  {17, 3}, {31, 3},
                         {32, 3}, {47, 3}, {48, 3}, {63, 3}, {65, 3},  {97, 3}, {130, 3}};

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
  ASSERT_EQ(image.Create(kWidth, 2, 0x00102030, L"overlay"), 1);
  // Red, green, blue, fourth byte per pixel of the top row, without and with the overlay.
  std::vector<uint8_t> plain, shown;
  for (int x = 0; x < kWidth; ++x) {
    image.Row(0)[4 * x + 3] = static_cast<unsigned char>(x);
    plain.insert(plain.end(), {0x30, 0x20, 0x10, static_cast<uint8_t>(x)});
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
  shown = plain;
  for (const int x : {0, 1, 13, 20}) {
    const uint8_t ink[] = {10, 200, 30}, background[] = {0, 0, 192};
    std::copy_n(x == 0 || x == 13 ? background : ink, 3, shown.begin() + 4 * x);
  }
  for (const auto& [flags, expected] :
       {std::pair{IU_NORMAL | IU_MAP_OVERLAY, shown}, std::pair{IU_NORMAL, plain}}) {
    image.SetUpdateFlags(static_cast<unsigned short>(flags));
    TempPath path(".tif");
    EXPECT_EQ(image.ExportTIFF(path.wide().c_str()), 1);
    std::vector<uint8_t> row(4 * kWidth);
    std::unique_ptr<TIFF, void (*)(TIFF*)> tif(TIFFOpen(path.c_str(), "r"), TIFFClose);
    ASSERT_TRUE(tif && TIFFReadScanline(tif.get(), row.data(), 0, 0) == 1);
    EXPECT_EQ(row, expected);
  }
}

}  // namespace
