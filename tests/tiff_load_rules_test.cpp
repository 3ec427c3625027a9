// ImgLoadFromFile's choice of reader and class (extension, photometric interpretation, bit
// depth, host classes), its failures, and CreateFromTIFF called on a host's own handle.
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
using tifftest::CTiffGreyProbe;
using tifftest::CTiffPaletteReader;
using tifftest::TempPath;
using tifftest::TiffFlavour;

TiffFlavour Small(uint16_t bits, uint16_t samples, uint16_t photometric) {
  TiffFlavour f;
  f.width = 6;
  f.height = 4;
  f.bits = bits;
  f.samples = samples;
  f.photometric = photometric;
  if (photometric == PHOTOMETRIC_PALETTE) {
    for (int i = 0; i < 3 << bits; ++i) f.colourMap.push_back(static_cast<uint16_t>(i * 1000));
  }
  return f;
}

// Writes a small picture of the flavour at path.
void Write(const std::string& path, const TiffFlavour& f) {
  const auto page = tifftest::MakePage(f, [&](uint32_t x, uint32_t y, int) {
    return (x + 2 * y) & ((1u << (f.bits > 16 ? 16 : f.bits)) - 1);
  });
  ASSERT_TRUE(tifftest::WriteTiffFile(path, f, {page}));
}

std::unique_ptr<CImage> LoadDefault(const std::wstring& path) {
  return std::unique_ptr<CImage>(ImgLoadFromFile(path.c_str(), nullptr, nullptr, nullptr, nullptr));
}

TEST(TiffLoadRules, ExtensionDecidesWhetherAFileIsReadAsTiff) {
  struct Case {
    const char* suffix;
    bool loads;
  };
  const Case cases[] = {{".tif", true}, {".TIF", true},      {".tiff", true}, {".Tiff", true},
                        {".tf", false}, {".tif.bak", false}, {"", false},     {".tiffx", false}};
  for (const Case& c : cases) {
    TempPath path(c.suffix);
    Write(path.str(), Small(8, 1, PHOTOMETRIC_MINISBLACK));
    EXPECT_EQ(LoadDefault(path.wide()) != nullptr, c.loads) << "suffix '" << c.suffix << "'";
  }
  EXPECT_EQ(ImgLoadFromFile(nullptr, nullptr, nullptr, nullptr, nullptr), nullptr);
}

TEST(TiffLoadRules, PhotometricAndDepthChooseTheLibraryClass) {
  struct Case {
    TiffFlavour flavour;
    const CRuntimeClass* cls;
  };
  const Case cases[] = {{Small(1, 1, PHOTOMETRIC_MINISWHITE), RUNTIME_CLASS(CBiLevelImage)},
                        {Small(1, 1, PHOTOMETRIC_MINISBLACK), RUNTIME_CLASS(CBiLevelImage)},
                        {Small(2, 1, PHOTOMETRIC_MINISBLACK), RUNTIME_CLASS(CGreyScaleImage)},
                        {Small(4, 1, PHOTOMETRIC_MINISWHITE), RUNTIME_CLASS(CGreyScaleImage)},
                        {Small(8, 1, PHOTOMETRIC_MINISBLACK), RUNTIME_CLASS(CGreyScaleImage)},
                        {Small(16, 1, PHOTOMETRIC_MINISBLACK), RUNTIME_CLASS(CGreyScaleImage)},
                        {Small(8, 3, PHOTOMETRIC_RGB), RUNTIME_CLASS(CHiColorImage)}};
  for (const Case& c : cases) {
    TempPath path(".tif");
    Write(path.str(), c.flavour);
    std::unique_ptr<CImage> image = LoadDefault(path.wide());
    ASSERT_NE(image, nullptr) << c.flavour.bits << " bits";
    EXPECT_EQ(image->GetRuntimeClass(), c.cls);
  }
}

TEST(TiffLoadRules, HostClassesAreInstantiatedAndPaletteFilesNeedOne) {
  TempPath grey(".tif"), palette(".tif");
  Write(grey.str(), Small(8, 1, PHOTOMETRIC_MINISBLACK));
  Write(palette.str(), Small(4, 1, PHOTOMETRIC_PALETTE));

  std::unique_ptr<CImage> image(ImgLoadFromFile(grey.wide().c_str(), nullptr, nullptr,
                                                RUNTIME_CLASS(CTiffGreyProbe), nullptr));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->GetRuntimeClass(), RUNTIME_CLASS(CTiffGreyProbe));

  // The library's own palette class reads no TIFF: no half-made image is handed out.
  TraceCapture trace;
  EXPECT_EQ(LoadDefault(palette.wide()), nullptr);
  EXPECT_TRUE(trace.Has("Cannot read " + palette.str() + "\n"));

  std::unique_ptr<CImage> host(ImgLoadFromFile(
      palette.wide().c_str(), nullptr, RUNTIME_CLASS(CTiffPaletteReader), nullptr, nullptr));
  auto* reader = dynamic_cast<CTiffPaletteReader*>(host.get());
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(reader->m_secondRed, 1000);
  EXPECT_EQ(reader->GetWidth(), 6);
}

TEST(TiffLoadRules, ClassesThatAreNoImagesGiveNull) {
  TempPath path(".tif");
  Write(path.str(), Small(8, 1, PHOTOMETRIC_MINISBLACK));
  // Creatable but no image, and not creatable at all.
  EXPECT_EQ(
      ImgLoadFromFile(path.wide().c_str(), nullptr, nullptr, RUNTIME_CLASS(CArPlain), nullptr),
      nullptr);
  EXPECT_EQ(ImgLoadFromFile(path.wide().c_str(), nullptr, nullptr, RUNTIME_CLASS(CObject), nullptr),
            nullptr);
}

TEST(TiffLoadRules, UnreadableFilesGiveNullWithTheirTraceLines) {
  TraceCapture trace;
  TempPath missing(".tif");
  EXPECT_EQ(LoadDefault(missing.wide()), nullptr);
  EXPECT_TRUE(trace.Has("Cannot open " + missing.str() + "\n"));

  TempPath planar(".tif");
  TiffFlavour f = Small(8, 3, PHOTOMETRIC_RGB);
  f.planar = PLANARCONFIG_SEPARATE;
  Write(planar.str(), f);
  EXPECT_EQ(LoadDefault(planar.wide()), nullptr);
  EXPECT_TRUE(trace.Has("Planar cofiguration is not contiguous\n"));
  EXPECT_TRUE(trace.Has("Cannot read " + planar.str() + "\n"));

  TempPath cmyk(".tif");
  Write(cmyk.str(), Small(8, 4, PHOTOMETRIC_SEPARATED));
  EXPECT_EQ(LoadDefault(cmyk.wide()), nullptr);
}

TEST(TiffLoadRules, PathsAreHandedToLibtiffAsUtf8) {
  TempPath plain(".tif");
  // The same directory, a name with characters from several planes.
  const std::wstring wide = plain.wide() + L"-\u00e4\u20ac\U0001F600.tif";
  std::string utf8 = plain.str() + "-\xc3\xa4\xe2\x82\xac\xf0\x9f\x98\x80.tif";
  CGreyScaleImage image;
  ASSERT_EQ(image.Create(3, 3, 0x00004000, L"u"), 1);
  ASSERT_EQ(image.ExportTIFF(wide.c_str()), 1);
  EXPECT_FALSE(tifftest::ReadBytes(utf8).empty());
  std::unique_ptr<CImage> loaded = LoadDefault(wide);
  ASSERT_NE(loaded, nullptr);
  EXPECT_STREQ(loaded->GetName(), wide.c_str());
  std::remove(utf8.c_str());

  // A lone surrogate is no character: nothing is written or read.
  const std::wstring bad = plain.wide() + L"-" + wchar_t(0xD800) + L".tif";
  EXPECT_EQ(image.ExportTIFF(bad.c_str()), 0);
  EXPECT_EQ(LoadDefault(bad), nullptr);
}

// ---- CreateFromTIFF on a host's handle ----

struct TiffCloser {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using Handle = std::unique_ptr<TIFF, TiffCloser>;

TEST(TiffCreateFromHandle, AFailedReadLeavesTheImageAsItWas) {
  CTiffGreyProbe image;
  ASSERT_EQ(image.Create(5, 3, 0x00002A00, L"before"), 1);
  struct Bad {
    const char* what;
    TiffFlavour flavour;
  };
  TiffFlavour planar = Small(8, 2, PHOTOMETRIC_MINISBLACK);
  planar.planar = PLANARCONFIG_SEPARATE;
  planar.extraSample = EXTRASAMPLE_ASSOCALPHA;
  TiffFlavour floats = Small(32, 1, PHOTOMETRIC_MINISBLACK);
  floats.sampleFormat = SAMPLEFORMAT_IEEEFP;
  const Bad bad[] = {{"separate planes", planar},
                     {"float samples", floats},
                     {"colour file", Small(8, 3, PHOTOMETRIC_RGB)},
                     {"palette file", Small(8, 1, PHOTOMETRIC_PALETTE)}};
  for (const Bad& b : bad) {
    TempPath path(".tif");
    Write(path.str(), b.flavour);
    Handle tif(TIFFOpen(path.c_str(), "r"));
    ASSERT_NE(tif, nullptr);
    EXPECT_EQ(image.CreateFromTIFF(tif.get(), L"after"), 0) << b.what;
    EXPECT_EQ(image.GetWidth(), 5);
    EXPECT_EQ(image.GetHeight(), 3);
    EXPECT_STREQ(image.GetName(), L"before");
    EXPECT_EQ(image.Row(2)[4], 0x2A);
  }
  // A bi-level reader refuses deeper samples.
  CBiLevelImage bits;
  TempPath grey(".tif");
  Write(grey.str(), Small(8, 1, PHOTOMETRIC_MINISBLACK));
  Handle tif(TIFFOpen(grey.c_str(), "r"));
  EXPECT_EQ(bits.CreateFromTIFF(tif.get(), L"g"), 0);
}

// ---- Archive files ----

TEST(ArchiveFileLoad, MissingFilesRaiseAFileException) {
  TempPath missing(".vlx");
  EXPECT_THROW(LoadDefault(missing.wide()), CFileException);
}

TEST(ArchiveFileLoad, ContentThatIsNoImageRaisesAnArchiveException) {
  TempPath empty(".vlx"), foreign(".VLX");
  ASSERT_TRUE(tifftest::WriteBytes(empty.str(), {}));
  EXPECT_THROW(LoadDefault(empty.wide()), CArchiveException);

  artest::CFoo foo(7);
  const auto bytes =
      artest::StoreBytes([&](CArchive& ar) { ar << static_cast<const CObject*>(&foo); });
  ASSERT_TRUE(tifftest::WriteBytes(foreign.str(), bytes));
  try {
    LoadDefault(foreign.wide());
    ADD_FAILURE() << "no exception";
  } catch (const CArchiveException& e) {
    EXPECT_EQ(e.m_cause, CArchiveException::badClass);
  }
}

TEST(ArchiveFileLoad, ANullObjectGivesNullAndAnImageComesBackDirty) {
  TempPath nothing(".vlx"), image(".vlx");
  const auto none =
      artest::StoreBytes([](CArchive& ar) { ar << static_cast<const CObject*>(nullptr); });
  ASSERT_TRUE(tifftest::WriteBytes(nothing.str(), none));
  EXPECT_EQ(LoadDefault(nothing.wide()), nullptr);

  CGreyScaleImage grey;
  ASSERT_EQ(grey.Create(3, 2, 0x00001100, L"stored"), 1);
  const auto stored =
      artest::StoreBytes([&](CArchive& ar) { ar << static_cast<const CObject*>(&grey); });
  ASSERT_TRUE(tifftest::WriteBytes(image.str(), stored));
  std::unique_ptr<CImage> loaded = LoadDefault(image.wide());
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->GetRuntimeClass(), RUNTIME_CLASS(CGreyScaleImage));
  EXPECT_TRUE(loaded->IsDirty());
}

}  // namespace
