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
using recrig::Load;
using recrig::Rig;
using recrig::Store;

namespace {

// A 3 x 2 greyscale image named "ab" with one map and two components, one with every cache and
// both border lists, one with a vexed area; assembled by hand from the record tables.
TEST(ArchiveRecordLayout, GreyImageWithMapAndComponentsMatchesHandAssembledArchive) {
  Rig<CGreyScaleImage> image;
  ASSERT_EQ(image.Create(3, 2, 0, L"ab"), 1);
  for (int x = 0; x < 6; ++x) image.Row(x / 3)[x % 3] = static_cast<unsigned char>(10 + 10 * x);
  image.SetDPI(300, 200, 5);
  image.AddType(0x100);
  tagImageUpdate update{0x4D, 2.5f, 0x00123456};
  image.SetImageUpdate(&update);
  image.GetImageMap(0)->MapByteAddAttribute(1, 0, 1);
  const std::vector<POINT> border = {{0, 0}, {1, 0}, {2, 0}, {0, 1},
                                     {2, 1}, {0, 2}, {1, 2}, {2, 2}};
  auto* measured = new recrig::CompRig;
  measured->AddPoint(1, 1);
  measured->SetCaches(1, 1.0f, 1.0f, 0x00323232, CRect(1, 1, 1, 1), 0, 0);
  measured->SetBorders(border, {{1, 1}});
  measured->SetTypeWord(9);
  image.AddComponent(measured);
  auto* withVexed = new CComp;
  withVexed->AddRun(0, 0, 2, FALSE);
  withVexed->GetVexed()->AddPoint(0, 1);
  image.AddComponent(withVexed);

  Bytes b;  // class 1, image 2; CComp class 3, objects 4, 5, 6 (the vexed area); map 7, 8
  // clang-format off
  recbuild::ImageHead(b.NewClass("CGreyScaleImage"), {.dpiAux = 5, .dpiX = 300, .dpiY = 200,
      .type = 0x110, .flags = 0x4D, .magnification = 2.5f, .colour = 0x00123456, .name = u"ab"});
  recbuild::CompRecord(b.I32(2).NewClass("CComp"), {.size = 1, .centerX = 1.0f, .centerY = 1.0f,
      .colour = 0x00323232, .left = 1, .top = 1, .right = 1, .bottom = 1, .type = 9,
      .runs = {{1, 1, 1}}, .externalCount = 8, .external = border, .internalCount = 1,
      .internal = {{1, 1}}, .externalConnections = 0, .internalConnections = 0});
  // clang-format on
  recbuild::CompRecord(b.ClassRef(3), {.runs = {{0, 0, 2}}, .vexedFlag = 1});
  recbuild::CompRecord(b.ClassRef(3), {.runs = {{1, 0, 0}}});
  recbuild::MapHead(b.I32(1).I32(0).NewClass("CImageMap"), 3, 2, 0x0002, u"Standard", 1,
                    {0, 1, 0, 0, 0, 0});
  recbuild::StandardTable(b);
  b.Raw({40, 50, 60, 0, 10, 20, 30, 0});  // bottom row first, rows padded to 4 bytes
  EXPECT_EQ(Store(&image), b.Data());
}

// The archive of a 5 x 2 image without name and components, with one "Standard" map of zero
// bytes, ending in the pixel block given.
std::vector<BYTE> PixelBlockArchive(const char* className, int bits, uint32_t type,
                                    const std::vector<BYTE>& block) {
  Bytes b;
  recbuild::ImageHead(
      b.NewClass(className),
      {.bits = bits, .bytesPerLine = 8, .height = 2, .width = 5, .pixels = 10, .type = type});
  recbuild::MapHead(b.I32(0).I32(1).I32(0).NewClass("CImageMap"), 5, 2, 0x0002, u"Standard", 1,
                    std::vector<BYTE>(10, 0));
  recbuild::StandardTable(b);
  return b.Raw(block).Data();
}

// Packed top-down rows for bi-level images; byte buffers bottom-up with padding, the palette
// before the low-colour pixels.
TEST(ArchiveRecordLayout, PixelBlocksOfBiLevelAndLowColourImages) {
  Rig<CBiLevelImage> bi;
  ASSERT_EQ(bi.Create(5, 2, 0, nullptr), 1);
  for (int x = 0; x < 10; ++x) bi.SetRed(x % 5, x / 5, (0x2C9 >> (9 - x)) & 1);  // 10110 01001
  EXPECT_EQ(Store(&bi),
            PixelBlockArchive("CBiLevelImage", 1, 0x02, {0xB0, 0, 0, 0, 0x48, 0, 0, 0}));

  Rig<CLoColorImage> lo;
  ASSERT_EQ(lo.CreateFromImage(sample::Make(sample::Fmt::kGrey, 5, 2).get(), 0), 1);
  lo.SetName(nullptr);
  Bytes block;
  for (DWORD i = 0; i < 256; ++i) block.U32(lo.Palette()[i] = (i * 0x00010203u) & 0x00FFFFFFu);
  std::memset(lo.Buffer(), 0, 16);
  for (int x = 0; x < 5; ++x) lo.Row(0)[x] = BYTE(100 + x), lo.Row(1)[x] = BYTE(200 + x);
  block.Raw({200, 201, 202, 203, 204, 0, 0, 0, 100, 101, 102, 103, 104, 0, 0, 0});
  EXPECT_EQ(Store(&lo), PixelBlockArchive("CLoColorImage", 8, 0x04, block.Data()));
}

// A map in byte labels stores 256 table records; a map without types stores none; names of
// pixel types keep whole characters within their 14 code units.
TEST(ArchiveRecordLayout, MapTablesFollowTheLabelMode) {
  CImageMap dorvale, plain, named;
  ASSERT_TRUE(dorvale.Create(2, 1, static_cast<unsigned char>(MAP_DORVALE)));
  dorvale.SetMapByte(1, 0, 13);
  const std::vector<BYTE> stored = Store(&dorvale);
  Bytes head;
  recbuild::MapHead(head.NewClass("CImageMap"), 2, 1, 0x0000, u"Dorvale", 2, {0, 13});
  recbuild::PixelType(head.Zeros(40), u"Paper", 192, 64, 64, 1);
  ASSERT_EQ(stored.size(), head.Size() - 80 + 256 * 40);
  EXPECT_TRUE(std::equal(head.Data().begin(), head.Data().end() - 80, stored.begin()));
  EXPECT_TRUE(
      std::equal(head.Data().end() - 40, head.Data().end(), stored.begin() + head.Size() - 40));

  ASSERT_TRUE(plain.Create(1, 1, L"x", MAP_NO_TYPES));
  Bytes expected;
  recbuild::MapHead(expected.NewClass("CImageMap"), 1, 1, 0x0000, u"x", 0, {0});
  EXPECT_EQ(Store(&plain), expected.Data());

  // 13 letters and a character beyond the BMP: the pair would need units 14 and 15, so the
  // stored name ends after the letters.
  ASSERT_TRUE(named.Create(1, 1, L"n", MAP_BIT_LABELS));
  named.SetPixelType(0, L"abcdefghijklm\U0001F600", 1, 2, 3, 1);
  Bytes withPair;
  recbuild::MapHead(withPair.NewClass("CImageMap"), 1, 1, 0x0000, u"n", 1, {0});
  recbuild::PixelType(withPair, u"abcdefghijklm", 1, 2, 3, 1);
  const std::vector<BYTE> namedBytes = Store(&named);
  EXPECT_TRUE(std::equal(withPair.Data().begin(), withPair.Data().end(), namedBytes.begin()));
}

template <class Format>
class ArchiveRoundTrip : public ::testing::Test {};
using AllFormats = ::testing::Types<CBiLevelImage, CGreyScaleImage, CLoColorImage, CHiColorImage>;
TYPED_TEST_SUITE(ArchiveRoundTrip, AllFormats);

// Storing what was loaded gives the same bytes: every pixel, map, table, component, cache,
// border list, padding byte and palette entry came back; links to the image are rebuilt.
TYPED_TEST(ArchiveRoundTrip, EveryPartOfTheImageComesBack) {
  for (const auto size : sample::kOddSizes) {
    SCOPED_TRACE(testing::Message() << size.width << " x " << size.height);
    auto original = recrig::RichImage<TypeParam>(size.width, size.height);
    const std::vector<BYTE> stored = Store(original.get());
    auto loaded = Load<CImage>(stored);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->GetRuntimeClass(), TypeParam().GetRuntimeClass());
    ASSERT_EQ(loaded->GetImageMapCount() * 10 + loaded->GetMaxComponent(), 43);
    std::vector<const void*> owners;
    for (int i = 0; i < 4; ++i) owners.push_back(loaded->GetImageMap(i)->GetImage());
    for (int i = 0; i < 3; ++i) owners.push_back(loaded->GetComponent(i)->GetImageReference());
    EXPECT_EQ(owners, std::vector<const void*>(7, loaded.get()));
    EXPECT_EQ(Store(loaded.get()), stored);
  }
}

TEST(ArchiveVersionMessage, ImageReadOutsideExtractionShowsMessageAndReadsNothing) {
  auto original = recrig::RichImage<CGreyScaleImage>(3, 2);
  std::vector<std::wstring> shown;
  const auto previous =
      vorlane::SetMessageBoxSink([&](const wchar_t* text, const wchar_t* caption) {
        shown.push_back(text + std::wstring(L"|") + caption);
      });
  const std::shared_ptr<void> restore(nullptr,
                                      [&](void*) { vorlane::SetMessageBoxSink(previous); });
  artest::Loader loader(Store(original.get()));
  CGreyScaleImage direct;
  ASSERT_EQ(direct.Create(1, 1, 0, L"kept"), 1);
  direct.Serialize(loader.ar());
  EXPECT_EQ(shown, std::vector<std::wstring>{L"Version information for the image (CImage) you are "
                                             L"trying to load is unavailable!|Image Load Aborted"});
  // Nothing was consumed: the archive still holds the whole object; the image is unchanged.
  EXPECT_STREQ(direct.GetName(), L"kept");
  CImage* image = nullptr;
  loader.ar() >> image;
  std::unique_ptr<CImage> owner(image);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(sample::Colours(*image), sample::Colours(*original));
  EXPECT_EQ(shown.size(), 1u);
}

TYPED_TEST(ArchiveRoundTrip, SharingImageStoresNoBlockAndLoadsWithBlackPixelsOfItsOwn) {
  auto source = sample::Make(recrig::kFormatOf<TypeParam>, 5, 3);
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
  EXPECT_EQ(loaded->GetArraysByReference() * 10 + loaded->GetImageMap(0)->GetMapByte(4, 2), 1);
  EXPECT_EQ(sample::Colours(*loaded), std::vector<unsigned long>(15, 0));
  // Stored again it is an image of its own, with a pixel block.
  EXPECT_EQ(sample::Colours(*Load<CImage>(Store(loaded.get()))), sample::Colours(*loaded));
}

TEST(ArchiveFailedLoad, ImageWhoseRecordEndsEarlyIsLeftEmptyWithoutSize) {
  // Without maps, whose owner references need the image's place in the archive's table.
  auto original = recrig::RichImage<CHiColorImage>(7, 2);
  original->DropMaps();
  std::vector<BYTE> stored = Store(original.get());
  stored.erase(stored.end() - 3, stored.end());  // inside the pixel block
  artest::Loader loader(stored);
  CHiColorImage target;
  ASSERT_EQ(target.Create(2, 2, 0, L"old"), 1);
  ASSERT_EQ(loader.ar().ReadClass(RUNTIME_CLASS(CImage)), RUNTIME_CLASS(CHiColorImage));
  loader.ar().SetObjectSchema(1);  // as object extraction would hand it over
  EXPECT_THROW(target.Serialize(loader.ar()), CArchiveException);
  EXPECT_TRUE(target.GetWidth() == 0 && target.GetHeight() == 0 && target.GetName() == nullptr &&
              target.GetImageMapCount() == 0 && target.GetMaxComponent() == 0 &&
              target.GetRed(0, 0) == 0);
  // Usable again once created.
  EXPECT_EQ(target.Create(3, 3, 0x00FF0000, nullptr), 1);
  EXPECT_EQ(target.GetBlue(2, 2), 0xFF);
}

}  // namespace
