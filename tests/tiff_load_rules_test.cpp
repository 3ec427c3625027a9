// ImgLoadFromFile's choice of reader by extension, its failures, UTF-8 paths, archive files,
// and CreateFromTIFF called on a host's own handle; hostile and damaged TIFF files load as
// null (or as a well-formed image), never crash, hang, leak or allocate what the file claims
// beyond the size limit, and leave standard error alone.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "support/archive_test_classes.h"
#include "support/tiff_files.h"
#include "support/tiff_probe_classes.h"
#include "support/trace_lines.h"
#include "vorlane/vorlane.h"

namespace {

using artest::CArPlain;
using tifftest::TempPath;
using tifftest::TiffFlavour;

TiffFlavour Small(uint16_t bits, uint16_t samples, uint16_t photometric,
                  uint16_t planar = PLANARCONFIG_CONTIG) {
  TiffFlavour f = TiffFlavour{6, 4, bits, samples, photometric};
  f.planar = planar;
  if (bits == 32) f.sampleFormat = SAMPLEFORMAT_IEEEFP;
  for (int i = 0; photometric == PHOTOMETRIC_PALETTE && i < 3 << bits; ++i) {
    f.colourMap.push_back(static_cast<uint16_t>(i * 1000));
  }
  return f;
}

// Writes a small picture of the flavour to a fresh path with the suffix.
std::unique_ptr<TempPath> Write(const TiffFlavour& f, const char* suffix = ".tif") {
  auto path = std::make_unique<TempPath>(suffix);
  const auto page = tifftest::MakePage(f, [&](uint32_t x, uint32_t y, int) {
    return (x + 2 * y) & ((1u << (f.bits > 16 ? 16 : f.bits)) - 1);
  });
  EXPECT_TRUE(tifftest::WriteTiffFile(path->str(), f, {page}));
  return path;
}

std::unique_ptr<CImage> Load(const std::wstring& path, CRuntimeClass* colour = nullptr,
                             CRuntimeClass* palette = nullptr, CRuntimeClass* grey = nullptr) {
  return std::unique_ptr<CImage>(ImgLoadFromFile(path.c_str(), colour, palette, grey, nullptr));
}

TEST(TiffLoadRules, ExtensionDecidesWhetherAFileIsReadAsTiff) {
  const std::pair<const char*, bool> cases[] = {
      {".tif", true}, {".TIF", true}, {".tiff", true},     {".Tiff", true},
      {".tf", false}, {"", false},    {".tif.bak", false}, {".tiffx", false}};
  for (const auto& [suffix, tiff] : cases) {
    EXPECT_EQ(Load(Write(Small(8, 1, PHOTOMETRIC_MINISBLACK), suffix)->wide()) != nullptr, tiff)
        << suffix;
  }
  EXPECT_EQ(ImgLoadFromFile(nullptr, nullptr, nullptr, nullptr, nullptr), nullptr);
}

TEST(TiffLoadRules, UnreadableFilesGiveNullWithTheirTraceLines) {
  TraceCapture trace;
  TempPath missing(".tif");
  EXPECT_EQ(Load(missing.wide()), nullptr);
  EXPECT_TRUE(trace.Has("Cannot open " + missing.str() + "\n"));
  const auto planar = Write(Small(8, 3, PHOTOMETRIC_RGB, PLANARCONFIG_SEPARATE));
  EXPECT_EQ(Load(planar->wide()), nullptr);
  EXPECT_TRUE(trace.Has("Planar cofiguration is not contiguous\n"));
  EXPECT_EQ(Load(Write(Small(8, 4, PHOTOMETRIC_SEPARATED))->wide()), nullptr);
  // The library's own palette class reads no TIFF: no half-made image is handed out. A host
  // class given is the one made (the flavour matrix loads every kind into host classes): one
  // that is no image reads nothing.
  const auto palette = Write(Small(4, 1, PHOTOMETRIC_PALETTE));
  EXPECT_EQ(Load(palette->wide()), nullptr);
  trace.Clear();
  EXPECT_EQ(Load(palette->wide(), nullptr, RUNTIME_CLASS(CArPlain)), nullptr);
  EXPECT_EQ(Load(Write(Small(8, 1, PHOTOMETRIC_MINISBLACK))->wide(), nullptr, nullptr,
                 RUNTIME_CLASS(CObject)),
            nullptr);
  EXPECT_EQ(trace.Lines(), std::vector<std::string>{});
}

TEST(TiffLoadRules, PathsAreHandedToLibtiffAsUtf8) {
  TempPath plain(".tif");
  // The same directory, a name with characters from several planes.
  const std::wstring wide = plain.wide() + L"-\u00e4\u20ac\U0001F600.tif";
  const std::string utf8 = plain.str() + "-\xc3\xa4\xe2\x82\xac\xf0\x9f\x98\x80.tif";
  CGreyScaleImage image;
  ASSERT_EQ(image.Create(3, 3, 0x00004000, L"u"), 1);
  ASSERT_EQ(image.ExportTIFF(wide.c_str()), 1);
  EXPECT_FALSE(tifftest::ReadBytes(utf8).empty());
  std::unique_ptr<CImage> loaded = Load(wide);
  ASSERT_TRUE(loaded && loaded->GetName() == wide);
  std::remove(utf8.c_str());
  // A lone surrogate is no character: nothing is written or read.
  const std::wstring bad = plain.wide() + L"-" + wchar_t(0xD800) + L".tif";
  EXPECT_EQ(image.ExportTIFF(bad.c_str()), 0);
  EXPECT_EQ(Load(bad), nullptr);
}

// A 37 x 30 picture in uncompressed strips of 4 rows written last first, so that the file
// holds them in reverse order; strip 0 lacks its last `missing` bytes.
void WriteReversedStrips(const std::string& path, uint16_t samples, size_t missing) {
  constexpr uint32_t width = 37, height = 30;
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(tif, nullptr);
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, samples == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 4);
  for (uint32_t strip = (height + 3) / 4; strip-- > 0;) {
    std::vector<uint8_t> data;
    for (uint32_t y = strip * 4; y < std::min(height, strip * 4 + 4); ++y) {
      for (uint32_t x = 0; x < width * samples; ++x) data.push_back(uint8_t(x * 5 + y * 11));
    }
    if (strip == 0) data.erase(data.end() - ptrdiff_t(missing), data.end());
    ASSERT_GE(TIFFWriteRawStrip(tif, strip, data.data(), tmsize_t(data.size())), 0);
  }
  TIFFClose(tif);
}

TEST(TiffLoadRules, UncompressedStripsAreReadWhereverTheFileHoldsThem) {
  for (const uint16_t samples : {1, 3}) {
    TempPath path(".tif");
    WriteReversedStrips(path.str(), samples, 0);
    const auto image = Load(path.wide());
    ASSERT_NE(image, nullptr);
    for (int y = 0; y < 30; ++y) {
      for (int x = 0; x < 37; ++x) {
        const auto sample = [&](int s) { return uint8_t((x * samples + s) * 5 + y * 11); };
        ASSERT_EQ(image->GetRed(x, y), sample(0)) << samples << " " << x << "," << y;
        ASSERT_EQ(image->GetBlue(x, y), sample(samples == 3 ? 2 : 0)) << x << "," << y;
      }
    }
    // A strip shorter than its rows fails at the first row it cannot fill, as libtiff reads it.
    TempPath shortStrip(".tif");
    WriteReversedStrips(shortStrip.str(), samples, 5);
    TraceCapture trace;
    EXPECT_EQ(Load(shortStrip.wide()), nullptr) << samples;
    EXPECT_TRUE(trace.Has("TIFF row 3 cannot be read\n")) << samples;
  }
}

TEST(TiffCreateFromHandle, AFailedReadLeavesTheImageAsItWas) {
  tifftest::CTiffGreyProbe image;
  CBiLevelImage bits;
  ASSERT_EQ(image.Create(5, 3, 0x00002A00, L"before"), 1);
  // Float samples and a colour file (separate planes: UnreadableFiles); a bi-level reader
  // refuses deeper samples.
  const std::pair<CImage*, TiffFlavour> cases[] = {{&image, Small(32, 1, PHOTOMETRIC_MINISBLACK)},
                                                   {&image, Small(8, 3, PHOTOMETRIC_RGB)},
                                                   {&bits, Small(8, 1, PHOTOMETRIC_MINISBLACK)}};
  for (const auto& [reader, flavour] : cases) {
    const auto path = Write(flavour);
    std::unique_ptr<TIFF, void (*)(TIFF*)> tif(TIFFOpen(path->c_str(), "r"), TIFFClose);
    ASSERT_NE(tif, nullptr);
    EXPECT_EQ(reader->CreateFromTIFF(tif.get(), L"after"), 0) << flavour.bits << " bits";
    EXPECT_TRUE(image.GetWidth() == 5 && image.GetHeight() == 3 && image.Row(2)[4] == 0x2A &&
                std::wstring(image.GetName()) == L"before");
  }
}

TEST(ArchiveFileLoad, ArchivesGiveTheirImageNullOrAnException) {
  // A file holding the archive of one object; it goes with the path.
  const auto stored = [](const CObject* object) {
    auto path = std::make_unique<TempPath>(".VLX");
    const auto bytes = artest::StoreBytes([&](CArchive& ar) { ar << object; });
    EXPECT_TRUE(tifftest::WriteBytes(path->str(), bytes));
    return path;
  };
  TempPath missing(".vlx"), empty(".vlx");
  EXPECT_THROW(Load(missing.wide()), CFileException);
  ASSERT_TRUE(tifftest::WriteBytes(empty.str(), {}));
  EXPECT_THROW(Load(empty.wide()), CArchiveException);
  artest::CFoo foo(7);
  EXPECT_EQ(artest::Cause([&] { Load(stored(&foo)->wide()); }), CArchiveException::badClass);
  EXPECT_EQ(Load(stored(nullptr)->wide()), nullptr);
  CGreyScaleImage grey;
  ASSERT_EQ(grey.Create(3, 2, 0x00001100, L"stored"), 1);
  std::unique_ptr<CImage> loaded = Load(stored(&grey)->wide());
  ASSERT_TRUE(loaded && loaded->GetRuntimeClass() == RUNTIME_CLASS(CGreyScaleImage) &&
              loaded->IsDirty());
}

using Bytes = std::vector<uint8_t>;

// Loads bytes saved as a .tif file. A result must be a whole image whose pixels can be read.
std::unique_ptr<CImage> LoadBytes(const Bytes& bytes) {
  TempPath path(".tif");
  EXPECT_TRUE(tifftest::WriteBytes(path.str(), bytes));
  std::unique_ptr<CImage> image = Load(path.wide());
  unsigned long sum = 0;  // every pixel is read (ASan checks the reads)
  for (int y = 0; image && y < image->GetHeight(); ++y) {
    for (int x = 0; x < image->GetWidth(); ++x) sum += image->GetRGBColor(x, y);
  }
  EXPECT_TRUE(!image || (image->GetWidth() > 0 && image->GetHeight() > 0 && sum + 1 > 0));
  return image;
}

// A hand-assembled file: its claims, and dataSize bytes of fill at offset 8.
struct Claim {
  const char* what;
  uint32_t width, height;
  uint16_t bits, samples, photometric, compression;
  uint32_t tile, claimedBytes, dataSize;
  uint8_t fill;
  bool limitTrace;  // the size check itself refuses the file (libtiff accepted it)
};

constexpr uint16_t mb = PHOTOMETRIC_MINISBLACK, mw = PHOTOMETRIC_MINISWHITE, rgb = PHOTOMETRIC_RGB;
constexpr uint16_t pb = COMPRESSION_PACKBITS, none = COMPRESSION_NONE, lzw = COMPRESSION_LZW,
                   deflate = COMPRESSION_ADOBE_DEFLATE, jpeg = COMPRESSION_JPEG,
                   g3 = COMPRESSION_CCITTFAX3, g4 = COMPRESSION_CCITTFAX4;
constexpr uint32_t kBig = 0xFFFFFFFFu;

TEST(TiffHostileInput, FilesClaimingSizesOrDataTheyDoNotHoldLoadAsNull) {
  // A few bytes of PackBits data stand for a whole picture; missing data ends strips early.
  const Claim claims[] = {
      {"grey just over 1 GiB", 32768, 32769, 8, 1, mb, pb, 0, 8, 8, 0x81, true},
      {"bi-level over 1 GiB", 32769, 32768, 1, 1, PHOTOMETRIC_MINISWHITE, pb, 0, 8, 8, 0x81, true},
      {"colour just over 1 GiB", 16385, 16384, 8, 3, rgb, pb, 0, 8, 8, 0x81, true},
      {"grey row of 2^31 pixels", 0x80000000u, 1, 8, 1, mb, pb, 0, 8, 8, 0x81, true},
      {"grey column of 2^32 - 1 pixels", 1, kBig, 8, 1, mb, pb, 0, 8, 8, 0x81, true},
      {"colour 2^32 - 1 squared", kBig, kBig, 8, 3, rgb, pb, 0, 8, 8, 0x81, false},
      {"zero width", 0, 10, 8, 1, mb, pb, 0, 8, 8, 0x81, false},
      {"tiles of 65536 squared", 32, 32, 8, 1, mb, pb, 65536, 16, 16, 0x81, false},
      {"uncompressed data missing", 200, 100, 8, 1, mb, none, 0, 20000, 64, 0x55, false},
      {"colour data missing", 200, 100, 8, 3, rgb, none, 0, 60000, 64, 0x55, false},
  };
  for (const Claim& c : claims) {
    TraceCapture trace;
    const auto file = tifftest::AssembleTiff(
        tifftest::StripEntries(c.width, c.height, c.bits, c.samples, c.photometric, c.compression,
                               c.claimedBytes, c.tile),
        Bytes(c.dataSize, c.fill));
    EXPECT_EQ(LoadBytes(file), nullptr) << c.what;
    EXPECT_TRUE(!c.limitTrace || trace.HasPrefix("TIFF image of ")) << c.what;
  }
}

// Valid files of several flavours, the starting points of the damage below.
std::vector<Bytes> ValidFiles() {
  // Bits, samples, photometric, compression, tile size (0: strips of 8 rows); four samples
  // carry unassociated alpha.
  const int kinds[][5] = {{1, 1, mw, g4, 0},    {1, 1, mw, g3, 0},    {1, 1, mb, pb, 16},
                          {4, 1, mb, none, 0},  {8, 1, mb, lzw, 0},   {8, 1, mw, deflate, 16},
                          {8, 1, mb, jpeg, 0},  {16, 1, mb, none, 0}, {8, 3, rgb, jpeg, 0},
                          {8, 3, rgb, lzw, 16}, {8, 4, rgb, none, 0}, {16, 3, rgb, pb, 0}};
  std::vector<Bytes> files;
  for (const auto [bits, samples, photometric, compression, tile] : kinds) {
    auto f = tifftest::TiffFlavour{
        40, 24, uint16_t(bits), uint16_t(samples), uint16_t(photometric), uint16_t(compression)};
    f.tileWidth = f.tileLength = uint32_t(tile);
    f.rowsPerStrip = tile ? 0 : 8;
    if (samples == 4) f.extraSample = EXTRASAMPLE_UNASSALPHA;
    const auto page = tifftest::MakePage(f, [&](uint32_t x, uint32_t y, int s) {
      return ((x * 7 + y * 3 + static_cast<uint32_t>(s)) * 2654435761u) >> (32 - bits);
    });
    TempPath path(".tif");
    EXPECT_TRUE(tifftest::WriteTiffFile(path.str(), f, {page}));
    files.push_back(tifftest::ReadBytes(path.str()));
  }
  return files;
}

// Damaged files never crash; libtiff's errors and warnings about them, a missing file, unknown
// tags and a failed export never reach standard error.
TEST(TiffHostileInput, DamagedFilesNeverCrashNorWriteToStandardError) {
  TempPath captured(".txt");
  std::fflush(stderr);
  const int saved = ::dup(2);
  const int fd = ::open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  ::dup2(fd, 2);
  ::close(fd);
  uint32_t state = 2024;
  auto next = [&] { return (state = state * 1664525u + 1013904223u) >> 8; };
  for (const auto& file : ValidFiles()) {
    EXPECT_NE(LoadBytes(file), nullptr);
    for (size_t length = 0; length < file.size(); length += 1 + length / 16) {
      LoadBytes(Bytes(file.begin(), file.begin() + static_cast<ptrdiff_t>(length)));
    }
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
  // Noise, and a big-endian header whose directory lies far beyond the end (short files are
  // among the truncations above).
  Bytes noise(4096);
  for (auto& b : noise) b = static_cast<uint8_t>(next());
  EXPECT_EQ(LoadBytes(noise), nullptr);
  EXPECT_EQ(LoadBytes({'M', 'M', 0, 42, 0xFF, 0xFF, 0xFF, 0xF0}), nullptr);
  TempPath missing(".tif");
  EXPECT_EQ(Load(missing.wide()), nullptr);
  auto entries = tifftest::StripEntries(200, 100, 8, 1, mb, lzw, 20000);
  entries.push_back({65000, TIFF_LONG, 1, 7});
  LoadBytes(tifftest::AssembleTiff(entries, Bytes(64, 0x55)));
  CGreyScaleImage image;
  EXPECT_EQ(image.Create(2, 2, 0, nullptr), 1);
  EXPECT_EQ(image.ExportTIFF(L"/nonexistent-directory/x.tif"), 0);
  std::fflush(stderr);
  ::dup2(saved, 2);
  ::close(saved);
  const auto output = tifftest::ReadBytes(captured.str());
  EXPECT_TRUE(output.empty()) << std::string(output.begin(), output.end());
}

}  // namespace
