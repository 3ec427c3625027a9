// Image, map and component records: byte layout against hand-assembled archives, round trips
// of every format with maps, components, names and display state, the version message, and
// images stored while sharing their arrays.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "support/archive_record_builder.h"
#include "support/archive_record_rigs.h"
#include "support/archive_test_classes.h"
#include "support/sample_images.h"
#include "vorlane/vorlane.h"

using recbuild::Bytes;
using recrig::CompRig;
using recrig::FormatOf;
using recrig::Load;
using recrig::RichImage;
using recrig::Rig;
using recrig::Store;

namespace {

// Collects the messages shown through the message-box sink while it lives.
class MessageCapture {
 public:
  MessageCapture() {
    m_previous = vorlane::SetMessageBoxSink([this](const wchar_t* text, const wchar_t* caption) {
      m_texts.emplace_back(text);
      m_captions.emplace_back(caption);
    });
  }
  ~MessageCapture() { vorlane::SetMessageBoxSink(m_previous); }
  std::vector<std::wstring> m_texts;
  std::vector<std::wstring> m_captions;

 private:
  vorlane::MessageBoxSink m_previous;
};

const wchar_t kVersionText[] =
    L"Version information for the image (CImage) you are trying to load is unavailable!";
const wchar_t kVersionCaption[] = L"Image Load Aborted";

// Every map byte, row by row.
std::vector<unsigned char> MapBytes(const CImageMap& map) {
  std::vector<unsigned char> out;
  for (int y = 0; y < map.GetHeight(); ++y) {
    for (int x = 0; x < map.GetWidth(); ++x) out.push_back(map.GetMapByte(x, y));
  }
  return out;
}

std::vector<CComp::tagCompRun> Runs(CComp& comp) {
  std::vector<CComp::tagCompRun> out;
  for (int i = 0; i < comp.GetMaxRun(); ++i) out.push_back(*comp.GetRun(i));
  return out;
}

bool SameRuns(CComp& a, CComp& b) {
  const auto ra = Runs(a), rb = Runs(b);
  if (ra.size() != rb.size()) return false;
  for (size_t i = 0; i < ra.size(); ++i) {
    if (ra[i].y != rb[i].y || ra[i].xl != rb[i].xl || ra[i].xr != rb[i].xr) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Byte layout

// A 3 x 2 greyscale image named "ab" with one map and two components, one with every cache and
// both border lists, one with a vexed area; assembled by hand from the record tables.
TEST(ArchiveRecordLayout, GreyImageWithMapAndComponentsMatchesHandAssembledArchive) {
  Rig<CGreyScaleImage> image;
  ASSERT_EQ(image.Create(3, 2, 0, L"ab"), 1);
  const unsigned char grey[2][3] = {{10, 20, 30}, {40, 50, 60}};
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) image.Row(y)[x] = grey[y][x];
  }
  image.SetDPI(300, 200, 5);
  image.AddType(0x100);
  tagImageUpdate update{0x4D, 2.5f, 0x00123456};
  image.SetImageUpdate(&update);
  image.GetImageMap(0)->MapByteAddAttribute(1, 0, 1);

  auto* measured = new CompRig;
  measured->AddPoint(1, 1);
  measured->SetCaches(1, 1.0f, 1.0f, 0x00323232, CRect(1, 1, 1, 1), 0, 0);
  measured->SetBorders({{0, 0}, {1, 0}, {2, 0}, {0, 1}, {2, 1}, {0, 2}, {1, 2}, {2, 2}}, {{1, 1}});
  measured->SetTypeWord(9);
  image.AddComponent(measured);
  auto* withVexed = new CComp;
  withVexed->AddRun(0, 0, 2, FALSE);
  withVexed->GetVexed()->AddPoint(0, 1);
  image.AddComponent(withVexed);

  Bytes b;
  b.NewClass("CGreyScaleImage");  // class index 1, image object 2
  recbuild::ImageFields f;
  f.dpiAux = 5;
  f.dpiX = 300;
  f.dpiY = 200;
  f.type = 0x110;
  f.flags = 0x4D;
  f.magnification = 2.5f;
  f.colour = 0x00123456;
  f.name = u"ab";
  recbuild::ImageHead(b, f);
  b.I32(2);             // components
  b.NewClass("CComp");  // class 3, object 4
  recbuild::CompFields a;
  a.size = 1;
  a.centerX = a.centerY = 1.0f;
  a.colour = 0x00323232;
  a.left = a.top = a.right = a.bottom = 1;
  a.type = 9;
  a.runs = {{1, 1, 1}};
  a.externalCount = 8;
  a.external = {{0, 0}, {1, 0}, {2, 0}, {0, 1}, {2, 1}, {0, 2}, {1, 2}, {2, 2}};
  a.internalCount = 1;
  a.internal = {{1, 1}};
  a.externalConnections = a.internalConnections = 0;
  recbuild::CompRecord(b, a);
  b.ClassRef(3);  // object 5
  recbuild::CompFields c;
  c.runs = {{0, 0, 2}};
  c.vexedFlag = 1;
  recbuild::CompRecord(b, c);
  b.ClassRef(3);  // object 6, the vexed area
  recbuild::CompFields v;
  v.runs = {{1, 0, 0}};
  recbuild::CompRecord(b, v);
  b.I32(1).I32(0);          // maps, current map
  b.NewClass("CImageMap");  // class 7, object 8; owner is object 2
  recbuild::MapHead(b, 3, 2, 0x0002, u"Standard", 1, {0, 1, 0, 0, 0, 0});
  recbuild::StandardTable(b);
  b.Raw({40, 50, 60, 0, 10, 20, 30, 0});  // bottom row first, rows padded to 4 bytes

  EXPECT_EQ(Store(&image), b.Data());
}

// The pixel block of each format for a 5 x 2 image without name and components, with one
// "Standard" map of zero bytes: packed top-down rows, byte buffers bottom-up with padding,
// the palette before the low-colour pixels.
class ArchivePixelBlockLayout : public ::testing::Test {
 protected:
  // The archive of a 5 x 2 image of the class, bits and row length given, ending in block.
  static std::vector<BYTE> Expected(const char* className, int bits, int bytesPerLine,
                                    uint32_t type, const std::vector<BYTE>& block) {
    Bytes b;
    b.NewClass(className);
    recbuild::ImageFields f;
    f.bits = bits;
    f.bytesPerLine = bytesPerLine;
    f.width = 5;
    f.height = 2;
    f.pixels = 10;
    f.type = type;
    recbuild::ImageHead(b, f);
    b.I32(0).I32(1).I32(0);
    b.NewClass("CImageMap");
    recbuild::MapHead(b, 5, 2, 0x0002, u"Standard", 1, std::vector<BYTE>(10, 0));
    recbuild::StandardTable(b);
    b.Raw(block);
    return b.Data();
  }
};

TEST_F(ArchivePixelBlockLayout, BiLevelStoresPackedRowsTopRowFirst) {
  Rig<CBiLevelImage> image;
  ASSERT_EQ(image.Create(5, 2, 0, nullptr), 1);
  const unsigned char bits[2][5] = {{1, 0, 1, 1, 0}, {0, 1, 0, 0, 1}};
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 5; ++x) image.SetRed(x, y, bits[y][x]);
  }
  EXPECT_EQ(Store(&image), Expected("CBiLevelImage", 1, 8, 0x02, {0xB0, 0, 0, 0, 0x48, 0, 0, 0}));
}

TEST_F(ArchivePixelBlockLayout, LoColourStoresPaletteBeforeBottomUpBuffer) {
  auto grey = sample::Make(sample::Fmt::kGrey, 5, 2);
  Rig<CLoColorImage> image;
  ASSERT_EQ(image.CreateFromImage(grey.get(), 0), 1);
  image.SetName(nullptr);
  std::vector<BYTE> block;
  for (DWORD i = 0; i < 256; ++i) {
    image.Palette()[i] = (i * 0x00010203u) & 0x00FFFFFFu;
    Bytes entry;
    entry.U32(image.Palette()[i]);
    block.insert(block.end(), entry.Data().begin(), entry.Data().end());
  }
  std::memset(image.Buffer(), 0, 16);
  for (int x = 0; x < 5; ++x) {
    image.Row(0)[x] = static_cast<unsigned char>(100 + x);
    image.Row(1)[x] = static_cast<unsigned char>(200 + x);
  }
  block.insert(block.end(), {200, 201, 202, 203, 204, 0, 0, 0, 100, 101, 102, 103, 104, 0, 0, 0});
  EXPECT_EQ(Store(&image), Expected("CLoColorImage", 8, 8, 0x04, block));
}

// A map in byte labels stores 256 table records; a map without types stores none; names of
// pixel types keep whole characters within their 14 code units.
TEST(ArchiveRecordLayout, MapTablesFollowTheLabelMode) {
  CImageMap dorvale;
  ASSERT_TRUE(dorvale.Create(2, 1, static_cast<unsigned char>(MAP_DORVALE)));
  dorvale.SetMapByte(1, 0, 13);
  const std::vector<BYTE> stored = Store(&dorvale);
  Bytes head;
  head.NewClass("CImageMap");
  recbuild::MapHead(head, 2, 1, 0x0000, u"Dorvale", 2, {0, 13});
  ASSERT_EQ(stored.size(), head.Size() + 256 * 40);
  EXPECT_TRUE(std::equal(head.Data().begin(), head.Data().end(), stored.begin()));
  Bytes paper;
  recbuild::PixelType(paper, u"Paper", 192, 64, 64, 1);
  EXPECT_TRUE(
      std::equal(paper.Data().begin(), paper.Data().end(), stored.begin() + head.Size() + 40));

  CImageMap plain;
  ASSERT_TRUE(plain.Create(1, 1, L"x", MAP_NO_TYPES));
  Bytes expected;
  expected.NewClass("CImageMap");
  recbuild::MapHead(expected, 1, 1, 0x0000, u"x", 0, {0});
  EXPECT_EQ(Store(&plain), expected.Data());

  // 13 letters and a character beyond the BMP: the pair would need units 14 and 15, so the
  // stored name ends after the letters.
  CImageMap named;
  ASSERT_TRUE(named.Create(1, 1, L"n", MAP_BIT_LABELS));
  named.SetPixelType(0, L"abcdefghijklm\U0001F600", 1, 2, 3, 1);
  const std::vector<BYTE> withPair = Store(&named);
  Bytes entry;
  recbuild::PixelType(entry, u"abcdefghijklm", 1, 2, 3, 1);
  Bytes prefix;
  prefix.NewClass("CImageMap");
  recbuild::MapHead(prefix, 1, 1, 0x0000, u"n", 1, {0});
  EXPECT_TRUE(
      std::equal(entry.Data().begin(), entry.Data().end(), withPair.begin() + prefix.Size()));
}

// ---------------------------------------------------------------------------------------------
// Round trips

template <class Format>
class ArchiveRoundTrip : public ::testing::Test {};
using AllFormats = ::testing::Types<CBiLevelImage, CGreyScaleImage, CLoColorImage, CHiColorImage>;
TYPED_TEST_SUITE(ArchiveRoundTrip, AllFormats);

TYPED_TEST(ArchiveRoundTrip, EveryPartOfTheImageComesBack) {
  for (const auto size : sample::kOddSizes) {
    SCOPED_TRACE(testing::Message() << size.width << " x " << size.height);
    auto original = RichImage<TypeParam>(size.width, size.height);
    const std::vector<BYTE> stored = Store(original.get());
    auto loaded = Load<CImage>(stored);
    ASSERT_NE(loaded, nullptr);

    // Class, name, map owners and component images; storing what was loaded gives the same
    // bytes: every pixel, map, table, component, cache, border list, padding byte and palette
    // entry came back.
    EXPECT_EQ(loaded->GetRuntimeClass(), TypeParam().GetRuntimeClass());
    EXPECT_STREQ(loaded->GetName(), L"Seite \u00e9\U0001F600");
    EXPECT_EQ(loaded->GetArraysByReference(), 0);
    EXPECT_EQ(sample::Colours(*loaded), sample::Colours(*original));
    ASSERT_EQ(loaded->GetImageMapCount(), 4);
    EXPECT_EQ(loaded->GetCurrentMapIndex(), 2);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(loaded->GetImageMap(i)->GetImage(), loaded.get());
      EXPECT_EQ(MapBytes(*loaded->GetImageMap(i)), MapBytes(*original->GetImageMap(i)));
    }
    EXPECT_STREQ(loaded->GetImageMap(2)->GetPTName(0), L"Kante \U0001F600");
    ASSERT_EQ(loaded->GetMaxComponent(), 3);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(loaded->GetComponent(i)->GetImageReference(), loaded.get());
    }
    EXPECT_TRUE(SameRuns(*loaded->GetComponent(2)->GetVexed()->GetVexed(),
                         *original->GetComponent(2)->GetVexed()->GetVexed()));
    EXPECT_EQ(Store(loaded.get()), stored);
  }
}

TEST(ArchiveRoundTrip, AnImageWithoutMapsOrComponentsLoadsWithEmptyLists) {
  Rig<CGreyScaleImage> image;
  ASSERT_EQ(image.Create(2, 3, 0x00808080, L"m"), 1);
  image.DropMaps();
  ASSERT_EQ(image.GetImageMapCount(), 0);
  auto loaded = Load<CImage>(Store(&image));
  EXPECT_EQ(loaded->GetImageMapCount(), 0);
  EXPECT_EQ(loaded->GetCurrentMapIndex(), -1);
  EXPECT_EQ(loaded->GetMaxComponent(), 0);
  EXPECT_EQ(loaded->GetRed(1, 2), 0x80);
}

TEST(ArchiveRoundTrip, ZeroWidthImageTallerThanItsArchiveComesBack) {
  CGreyScaleImage image;
  ASSERT_EQ(image.Create(0, 5000, 0, nullptr), 1);
  const std::vector<BYTE> stored = Store(&image);
  ASSERT_LT(stored.size(), 5000u);
  auto loaded = Load<CImage>(stored);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->GetHeight(), 5000);
  EXPECT_EQ(loaded->GetImageMap(0)->GetHeight(), 5000);
  EXPECT_EQ(Store(loaded.get()), stored);
}

TEST(ArchiveRoundTrip, ExtractingAnotherFormatRaisesBadClass) {
  auto hi = sample::Make(sample::Fmt::kHi, 2, 2);
  const std::vector<BYTE> stored = Store(hi.get());
  auto asImage = Load<CImage>(stored);
  EXPECT_NE(dynamic_cast<CHiColorImage*>(asImage.get()), nullptr);
  try {
    Load<CGreyScaleImage>(stored);
    FAIL() << "no exception";
  } catch (const CArchiveException& e) {
    EXPECT_EQ(e.m_cause, CArchiveException::badClass);
  }
}

// ---------------------------------------------------------------------------------------------
// The version message

TEST(ArchiveVersionMessage, ImageReadOutsideExtractionShowsMessageAndReadsNothing) {
  auto original = RichImage<CGreyScaleImage>(3, 2);
  const std::vector<BYTE> stored = Store(original.get());
  MessageCapture messages;
  artest::Loader loader(stored);
  CGreyScaleImage direct;
  ASSERT_EQ(direct.Create(1, 1, 0, L"kept"), 1);
  direct.Serialize(loader.ar());
  ASSERT_EQ(messages.m_texts.size(), 1u);
  EXPECT_EQ(messages.m_texts[0], kVersionText);
  EXPECT_EQ(messages.m_captions[0], kVersionCaption);
  // Neither the image record nor the pixel block consumed a byte: the archive still holds
  // the whole object, and the image was left as it was.
  EXPECT_STREQ(direct.GetName(), L"kept");
  CImage* image = nullptr;
  loader.ar() >> image;
  std::unique_ptr<CImage> owner(image);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(sample::Colours(*image), sample::Colours(*original));
  EXPECT_EQ(messages.m_texts.size(), 1u);
}

// ---------------------------------------------------------------------------------------------
// Images stored while sharing their arrays

TYPED_TEST(ArchiveRoundTrip, SharingImageStoresNoBlockAndLoadsWithBlackPixelsOfItsOwn) {
  auto source = sample::Make(FormatOf<TypeParam>::value, 5, 3);
  TypeParam view;
  ASSERT_EQ(view.CreateDuplicate(source.get(), 1), 1);
  view.GetImageMap(0)->SetMapByte(4, 2, 1);
  const std::vector<BYTE> stored = Store(&view);

  // The record: flag 1, and nothing after the table of the last map.
  EXPECT_EQ(stored[6 + std::strlen(view.GetRuntimeClass()->m_lpszClassName)], 1);
  Bytes table;
  recbuild::StandardTable(table);
  ASSERT_GT(stored.size(), table.Size());
  EXPECT_TRUE(std::equal(table.Data().begin(), table.Data().end(), stored.end() - 8 * 40));

  auto loaded = Load<CImage>(stored);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->GetArraysByReference(), 0);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) EXPECT_EQ(loaded->GetRGBColor(x, y), 0u);
  }
  EXPECT_EQ(loaded->GetImageMap(0)->GetMapByte(4, 2), 1);
  // Stored again it is an image of its own, with a pixel block.
  auto again = Load<CImage>(Store(loaded.get()));
  EXPECT_EQ(sample::Colours(*again), sample::Colours(*loaded));
}

// ---------------------------------------------------------------------------------------------
// Failed loads

TEST(ArchiveFailedLoad, ImageWhoseRecordEndsEarlyIsLeftEmptyWithoutSize) {
  // Without maps, whose owner references need the image's place in the archive's table.
  auto original = RichImage<CHiColorImage>(7, 2);
  original->DropMaps();
  std::vector<BYTE> stored = Store(original.get());
  stored.erase(stored.end() - 3, stored.end());  // inside the pixel block
  artest::Loader loader(stored);
  CHiColorImage target;
  ASSERT_EQ(target.Create(2, 2, 0, L"old"), 1);
  CRuntimeClass* cls = loader.ar().ReadClass(RUNTIME_CLASS(CImage));
  ASSERT_EQ(cls, RUNTIME_CLASS(CHiColorImage));
  loader.ar().SetObjectSchema(1);  // as object extraction would hand it over
  EXPECT_THROW(target.Serialize(loader.ar()), CArchiveException);
  EXPECT_EQ(target.GetWidth(), 0);
  EXPECT_EQ(target.GetHeight(), 0);
  EXPECT_EQ(target.GetName(), nullptr);
  EXPECT_EQ(target.GetImageMapCount(), 0);
  EXPECT_EQ(target.GetMaxComponent(), 0);
  EXPECT_EQ(target.GetRed(0, 0), 0);
  // Usable again once created.
  EXPECT_EQ(target.Create(3, 3, 0x00FF0000, nullptr), 1);
  EXPECT_EQ(target.GetBlue(2, 2), 0xFF);
}

}  // namespace
