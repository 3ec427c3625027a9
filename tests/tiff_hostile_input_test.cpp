// Hostile and damaged TIFF files load as null (or as a well-formed image), never crash, hang,
// leak or allocate what the file claims beyond the size limit, and leave standard error alone.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/tiff_files.h"
#include "support/trace_lines.h"
#include "vorlane/vorlane.h"

namespace {

using tifftest::IfdEntry;
using tifftest::TempPath;
using tifftest::TiffFlavour;

// Loads bytes saved as a .tif file. A result must be a whole image.
std::unique_ptr<CImage> LoadBytes(const std::vector<uint8_t>& bytes) {
  TempPath path(".tif");
  EXPECT_TRUE(tifftest::WriteBytes(path.str(), bytes));
  std::unique_ptr<CImage> image(
      ImgLoadFromFile(path.wide().c_str(), nullptr, nullptr, nullptr, nullptr));
  if (image) {
    EXPECT_GT(image->GetWidth(), 0);
    EXPECT_GT(image->GetHeight(), 0);
    // Every pixel can be read.
    unsigned long sum = 0;
    for (int y = 0; y < image->GetHeight(); ++y) {
      for (int x = 0; x < image->GetWidth(); ++x) sum += image->GetRGBColor(x, y);
    }
    EXPECT_GE(sum, 0ul);
  }
  return image;
}

struct Claim {
  const char* what;
  uint32_t width, height;
  uint16_t bits, samples, photometric;
  bool limitTrace;  // the size check itself refuses the file (libtiff accepted it)
};

TEST(TiffHostileInput, FilesClaimingEnormousSizesLoadAsNull) {
  const uint16_t mb = PHOTOMETRIC_MINISBLACK, rgb = PHOTOMETRIC_RGB;
  const Claim claims[] = {
      {"grey 100000 x 100000", 100000, 100000, 8, 1, mb, true},
      {"grey just over 1 GiB", 32768, 32769, 8, 1, mb, true},
      {"bi-level just over 1 GiB", 32769, 32768, 1, 1, PHOTOMETRIC_MINISWHITE, true},
      {"colour just over 1 GiB", 16385, 16384, 8, 3, rgb, true},
      {"grey row of 2^31 pixels", 0x80000000u, 1, 8, 1, mb, true},
      {"grey column of 2^32 - 1 pixels", 1, 0xFFFFFFFFu, 8, 1, mb, true},
      {"colour 2^32 - 1 squared", 0xFFFFFFFFu, 0xFFFFFFFFu, 8, 3, rgb, false},
      {"grey 16 bits 2^32 - 1 wide", 0xFFFFFFFFu, 2, 16, 1, mb, false},
      {"zero width", 0, 10, 8, 1, mb, false},
      {"zero height", 10, 0, 8, 1, mb, false},
  };
  // A few bytes of PackBits data stand for the whole picture.
  const std::vector<uint8_t> data = {0x81, 0x00, 0x81, 0x00, 0x81, 0x00, 0x81, 0x00};
  for (const Claim& c : claims) {
    TraceCapture trace;
    const auto file = tifftest::AssembleTiff(
        tifftest::StripEntries(c.width, c.height, c.bits, c.samples, c.photometric,
                               COMPRESSION_PACKBITS, static_cast<uint32_t>(data.size())),
        data);
    EXPECT_EQ(LoadBytes(file), nullptr) << c.what;
    if (c.limitTrace) {
      EXPECT_TRUE(trace.HasPrefix("TIFF image of ")) << c.what;
    }
  }
}

TEST(TiffHostileInput, TilesClaimingEnormousSizesLoadAsNull) {
  TraceCapture trace;
  const std::vector<uint8_t> data(16, 0x81);
  const std::vector<IfdEntry> entries = {
      {TIFFTAG_IMAGEWIDTH, TIFF_LONG, 1, 32},
      {TIFFTAG_IMAGELENGTH, TIFF_LONG, 1, 32},
      {TIFFTAG_BITSPERSAMPLE, TIFF_SHORT, 1, 8},
      {TIFFTAG_COMPRESSION, TIFF_SHORT, 1, COMPRESSION_PACKBITS},
      {TIFFTAG_PHOTOMETRIC, TIFF_SHORT, 1, PHOTOMETRIC_MINISBLACK},
      {TIFFTAG_SAMPLESPERPIXEL, TIFF_SHORT, 1, 1},
      {TIFFTAG_TILEWIDTH, TIFF_LONG, 1, 65536},
      {TIFFTAG_TILELENGTH, TIFF_LONG, 1, 65536},
      {TIFFTAG_TILEOFFSETS, TIFF_LONG, 1, 8},
      {TIFFTAG_TILEBYTECOUNTS, TIFF_LONG, 1, 16}};
  EXPECT_EQ(LoadBytes(tifftest::AssembleTiff(entries, data)), nullptr);
}

TEST(TiffHostileInput, MissingPixelDataLoadsAsNull) {
  TraceCapture trace;
  // 200 x 100 uncompressed pixels claimed, 64 bytes present; likewise for compressed data
  // that ends early.
  const std::vector<uint8_t> data(64, 0x55);
  for (const uint16_t compression :
       {COMPRESSION_NONE, COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE, COMPRESSION_PACKBITS}) {
    const auto file = tifftest::AssembleTiff(
        tifftest::StripEntries(200, 100, 8, 1, PHOTOMETRIC_MINISBLACK, compression, 20000), data);
    EXPECT_EQ(LoadBytes(file), nullptr) << "compression " << compression;
  }
  const auto rgb = tifftest::AssembleTiff(
      tifftest::StripEntries(200, 100, 8, 3, PHOTOMETRIC_RGB, COMPRESSION_NONE, 60000), data);
  EXPECT_EQ(LoadBytes(rgb), nullptr);
}

TEST(TiffHostileInput, ShortAndNonsenseFilesLoadAsNull) {
  EXPECT_EQ(LoadBytes({}), nullptr);
  EXPECT_EQ(LoadBytes({'I', 'I', 42, 0}), nullptr);
  EXPECT_EQ(LoadBytes({'I', 'I', 42, 0, 8, 0, 0, 0}), nullptr);
  EXPECT_EQ(LoadBytes({'M', 'M', 0, 42, 0xFF, 0xFF, 0xFF, 0xF0}), nullptr);
  std::vector<uint8_t> noise(4096);
  uint32_t state = 12345;
  for (auto& b : noise) b = static_cast<uint8_t>((state = state * 1103515245u + 12345u) >> 24);
  EXPECT_EQ(LoadBytes(noise), nullptr);
}

// Valid files of several flavours, the starting points of the damage below.
std::vector<std::vector<uint8_t>> ValidFiles() {
  struct Kind {
    uint16_t bits, samples, photometric, compression;
    uint32_t tile;
    std::optional<uint16_t> extra;
  };
  const Kind kinds[] = {
      {1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4, 0, {}},
      {1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX3, 0, {}},
      {1, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_PACKBITS, 16, {}},
      {4, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE, 0, {}},
      {8, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_LZW, 0, {}},
      {8, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_ADOBE_DEFLATE, 16, {}},
      {8, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_JPEG, 0, {}},
      {16, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE, 0, {}},
      {8, 3, PHOTOMETRIC_RGB, COMPRESSION_JPEG, 0, {}},
      {8, 3, PHOTOMETRIC_RGB, COMPRESSION_LZW, 16, {}},
      {8, 4, PHOTOMETRIC_RGB, COMPRESSION_NONE, 0, EXTRASAMPLE_UNASSALPHA},
      {16, 3, PHOTOMETRIC_RGB, COMPRESSION_PACKBITS, 0, {}},
  };
  std::vector<std::vector<uint8_t>> files;
  for (const Kind& k : kinds) {
    TiffFlavour f;
    f.width = 40;
    f.height = 24;
    f.bits = k.bits;
    f.samples = k.samples;
    f.photometric = k.photometric;
    f.compression = k.compression;
    f.tileWidth = f.tileLength = k.tile;
    f.rowsPerStrip = k.tile ? 0 : 8;
    f.extraSample = k.extra;
    const auto page = tifftest::MakePage(f, [&](uint32_t x, uint32_t y, int s) {
      return ((x * 7 + y * 3 + static_cast<uint32_t>(s)) * 2654435761u) >> (32 - k.bits);
    });
    TempPath path(".tif");
    EXPECT_TRUE(tifftest::WriteTiffFile(path.str(), f, {page}));
    files.push_back(tifftest::ReadBytes(path.str()));
  }
  return files;
}

TEST(TiffHostileInput, TruncatedFilesNeverCrash) {
  for (const auto& file : ValidFiles()) {
    ASSERT_NE(LoadBytes(file), nullptr);
    for (size_t length = 0; length < file.size(); length += 1 + length / 16) {
      LoadBytes(std::vector<uint8_t>(file.begin(), file.begin() + static_cast<ptrdiff_t>(length)));
    }
  }
}

TEST(TiffHostileInput, DamagedFilesNeverCrash) {
  uint32_t state = 2024;
  auto next = [&] { return (state = state * 1664525u + 1013904223u) >> 8; };
  for (const auto& file : ValidFiles()) {
    // Single bit flips anywhere, header and directory included.
    for (int i = 0; i < 150; ++i) {
      auto damaged = file;
      damaged[next() % damaged.size()] ^= static_cast<uint8_t>(1u << (next() % 8));
      LoadBytes(damaged);
    }
    // Runs of noise over the pixel data, which libtiff writes before the directory.
    for (int i = 0; i < 40; ++i) {
      auto damaged = file;
      const size_t start = 8 + next() % (damaged.size() / 2);
      for (size_t j = start; j < start + 24 && j < damaged.size(); ++j) {
        damaged[j] = static_cast<uint8_t>(next());
      }
      LoadBytes(damaged);
    }
  }
}

TEST(TiffHostileInput, LibtiffMessagesNeverReachStandardError) {
  TempPath captured(".txt");
  std::fflush(stderr);
  const int saved = ::dup(2);
  const int fd = ::open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  ::dup2(fd, 2);
  ::close(fd);
  {
    // Errors and warnings of every kind: a missing file, unknown tags, bad data.
    TempPath missing(".tif");
    EXPECT_EQ(ImgLoadFromFile(missing.wide().c_str(), nullptr, nullptr, nullptr, nullptr), nullptr);
    auto entries =
        tifftest::StripEntries(200, 100, 8, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_LZW, 20000);
    entries.push_back({65000, TIFF_LONG, 1, 7});
    LoadBytes(tifftest::AssembleTiff(entries, std::vector<uint8_t>(64, 0x55)));
    for (const auto& file : ValidFiles()) {
      auto damaged = file;
      for (size_t j = 8; j < damaged.size() / 2; j += 5) damaged[j] ^= 0x5A;
      LoadBytes(damaged);
    }
    CGreyScaleImage image;
    ASSERT_EQ(image.Create(2, 2, 0, nullptr), 1);
    EXPECT_EQ(image.ExportTIFF(L"/nonexistent-directory/x.tif"), 0);
  }
  std::fflush(stderr);
  ::dup2(saved, 2);
  ::close(saved);
  const auto output = tifftest::ReadBytes(captured.str());
  EXPECT_TRUE(output.empty()) << std::string(output.begin(), output.end());
}

}  // namespace
