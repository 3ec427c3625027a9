// Duplicates by reference and what duplicating and converting refuse (duplicates by copy:
// conversion_test), sharing a high-colour image's arrays, backups, and the exchange of map lists.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "support/sample_images.h"

namespace {

using sample::Fmt;

// Changes the colour interface's view of pixel (x, y) in every format (a sample palette has
// both black and white).
void Flip(CImage& image, int x, int y) {
  image.SetRGBColor(x, y, image.GetRGBColor(x, y) == 0 ? 0xFFFFFFul : 0ul);
}

// Duplicating and converting refuse sources without pixels (duplicating, also sources of
// another class) and change nothing.
TEST(Duplicate, RefusesWhatItCannotDuplicateOrConvertAndChangesNothing) {
  CImage plain;
  CLoColorImage sizedButEmpty;
  sizedButEmpty.Create(3, 5, 0, nullptr);  // no pixel buffer of its own
  for (Fmt f : sample::kAllFormats) {
    SCOPED_TRACE(sample::Name(f));
    auto target = sample::Make(f, 3, 5, L"keep");
    const auto before = sample::Colours(*target);
    // An empty image of the format; for duplicating, also an image of another class.
    auto empty = sample::NewImage(f);
    auto other = sample::Make(f == Fmt::kHi ? Fmt::kGrey : Fmt::kHi, 3, 5);
    std::vector<CImage*> bad = {nullptr, target.get(), &plain, &sizedButEmpty, empty.get()};
    for (CImage* source : bad) EXPECT_EQ(target->CreateFromImage(source, 0), 0);
    bad.push_back(other.get());
    for (CImage* source : bad) {
      EXPECT_EQ(target->CreateDuplicate(source, 0), 0);
      EXPECT_EQ(target->CreateDuplicate(source, 1), 0);
    }
    EXPECT_EQ(sample::Colours(*target), before);
    EXPECT_STREQ(target->GetName(), L"keep");
    EXPECT_EQ(target->GetImageMapCount(), 1);

    // An image whose arrays another image shares cannot come to share them with itself.
    auto sharing = sample::NewImage(f);
    ASSERT_EQ(sharing->CreateDuplicate(target.get(), 1), 1);
    EXPECT_EQ(target->CreateDuplicate(sharing.get(), 1), 0);
    EXPECT_EQ(target->GetArraysByReference(), 0);
    // The sharing image can turn into a copy of its own.
    ASSERT_EQ(sharing->CreateDuplicate(target.get(), 0), 1);
    EXPECT_EQ(sharing->GetArraysByReference(), 0);
    Flip(*sharing, 0, 0);
    EXPECT_EQ(sample::Colours(*target), before);
  }
}

// Backups in every format, also of an image that shares its pixels: its backup goes back into
// the shared pixels, the reference restores while shared, and no array is released twice.
TEST(Backup, CreateRestoreDiscardInEveryFormatAlsoWhileSharing) {
  for (Fmt f : sample::kAllFormats) {
    SCOPED_TRACE(sample::Name(f));
    auto image = sample::Make(f, 5, 3);
    const auto original = sample::Colours(*image);
    EXPECT_EQ(image->CreateBackup(), 1);
    EXPECT_EQ(image->CreateBackup(), 0);  // the first backup stays
    Flip(*image, 4, 0);
    const auto changed = sample::Colours(*image);
    ASSERT_NE(changed, original);
    image->RestoreBackup();
    EXPECT_EQ(sample::Colours(*image), original);
    Flip(*image, 4, 0);
    image->RestoreBackup();  // no backup left: nothing happens
    EXPECT_EQ(sample::Colours(*image), changed);

    EXPECT_EQ((std::vector<int>{image->DiscardBackup(), image->CreateBackup(),
                                image->DiscardBackup(), image->DiscardBackup()}),
              (std::vector<int>{0, 1, 1, 0}));

    auto empty = sample::NewImage(f);
    EXPECT_EQ(empty->CreateBackup(), 0);  // no pixels to keep
    empty->RestoreBackup();

    auto shared = sample::NewImage(f);
    ASSERT_EQ(shared->CreateDuplicate(image.get(), 1), 1);
    ASSERT_EQ(shared->CreateBackup(), 1);
    Flip(*shared, 1, 2);
    ASSERT_NE(sample::Colours(*image), changed);
    shared->RestoreBackup();
    EXPECT_EQ(sample::Colours(*image), changed);
    ASSERT_EQ(image->CreateBackup(), 1);
    Flip(*image, 2, 2);
    image->RestoreBackup();
    EXPECT_EQ(sample::Colours(*shared), changed);
  }
}

TEST(ReferenceImage, HighColourStartsAndStopsSharingAndRefusesWhatItCannotShareSafely) {
  auto reference = sample::Make(Fmt::kHi, 7, 2);
  const auto original = sample::Colours(*reference);
  CHiColorImage image;
  image.Create(7, 2, 0x00FF00, nullptr);
  ASSERT_EQ(image.CreateBackup(), 1);
  image.SetReferenceImage(reference.get());
  EXPECT_EQ(image.GetArraysByReference(), 1);
  EXPECT_EQ(sample::Colours(image), original);
  image.SetRGBColor(6, 1, 0x010203);
  EXPECT_EQ(reference->GetRGBColor(6, 1), 0x010203u);

  // Ending the share leaves a black image of its own and the reference untouched.
  image.SetReferenceImage(nullptr);
  EXPECT_EQ(image.GetArraysByReference(), 0);
  EXPECT_EQ(sample::Colours(image), std::vector<unsigned long>(14, 0));
  image.SetRGBColor(0, 0, 0xFFFFFF);
  EXPECT_TRUE(reference->GetRGBColor(6, 1) == 0x010203u &&
              reference->GetRGBColor(0, 0) != 0xFFFFFFu);
  image.RestoreBackup();  // the green pixels saved before the share
  EXPECT_EQ(image.GetRGBColor(3, 1), 0x00FF00u);

  // Refused: another size or class, an empty image, itself, and an image that shares its
  // arrays (it cannot take them back).
  auto otherSize = sample::Make(Fmt::kHi, 2, 7);
  auto otherClass = sample::Make(Fmt::kGrey, 7, 2);
  CHiColorImage empty, sharing;
  ASSERT_EQ(sharing.CreateDuplicate(&image, 1), 1);
  for (CImage* bad : std::initializer_list<CImage*>{otherSize.get(), otherClass.get(), &empty,
                                                    &image, &sharing}) {
    image.SetReferenceImage(bad);
    EXPECT_TRUE(image.GetArraysByReference() == 0 && image.GetRGBColor(6, 1) == 0x00FF00u);
  }
  // Sharing a second reference while sharing the first releases nothing.
  auto second = sample::Make(Fmt::kHi, 7, 2);
  sharing.SetReferenceImage(second.get());
  EXPECT_EQ(sample::Colours(sharing), sample::Colours(*second));
  EXPECT_EQ(image.GetRGBColor(6, 1), 0x00FF00u);
}

TEST(MapArrays, SwapExchangesListsAndOwners) {
  auto a = sample::Make(Fmt::kBi, 7, 2);
  auto b = sample::Make(Fmt::kLo, 7, 2);
  a->AddImageMap(L"A1", MAP_BIT_LABELS);
  a->AddImageMap(L"A2", MAP_BYTE_LABELS);
  a->SetCurrentMap(2);
  CImageMap* a2 = a->GetImageMap(2);
  a2->CreateBackup();
  CImageMap* b0 = b->GetImageMap(0);

  auto otherSize = sample::Make(Fmt::kBi, 2, 7);
  EXPECT_EQ((std::vector<int>{a->SwapMapArrays(otherSize.get()), a->SwapMapArrays(nullptr),
                              a->GetImageMapCount()}),
            (std::vector<int>{0, 0, 3}));

  ASSERT_EQ(a->SwapMapArrays(b.get()), 1);
  EXPECT_TRUE(a->GetImageMapCount() == 1 && a->GetImageMap(0) == b0 && b0->GetImage() == a.get());
  EXPECT_TRUE(b->GetImageMap(2) == a2 && a2->GetImage() == b.get());
  EXPECT_EQ(a2->GetBackup()->GetImage(), b.get());
  // The index stays with its image where the new list reaches it, else falls back to 0.
  EXPECT_TRUE(b->GetCurrentMapIndex() == 0 && a->GetCurrentMapIndex() == 0);
  b->SetCurrentMap(2);
  ASSERT_EQ(a->SwapMapArrays(b.get()), 1);
  EXPECT_EQ(a->GetImageMap(2), a2);
  EXPECT_TRUE(a->GetCurrentMapIndex() == 0 && b->GetCurrentMapIndex() == 0);
}

}  // namespace
