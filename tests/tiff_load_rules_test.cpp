// ImgLoadFromFile's choice of reader by extension, its failures, UTF-8 paths, archive files,
// and CreateFromTIFF called on a host's own handle.
#include <gtest/gtest.h>

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

}  // namespace
