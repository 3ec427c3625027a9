// Conversion between the four formats and duplicates: every pair pixel by pixel with what the
// copy takes over, the thresholds and the single-precision rule, palettes, what duplicating and
// converting refuse; sharing a high-colour image's arrays, backups, and the exchange of map
// lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "support/luminance_reference.h"
#include "support/sample_images.h"

namespace {

using sample::Fmt;
using sample::Probe;

float Luminance(unsigned long c) {
  return reference::Luminance(GetBValue(c), GetGValue(c), GetRValue(c));
}

// The colour that the target's colour interface shows for a source pixel of colour c.
unsigned long Expected(Fmt src, Fmt dst, unsigned long c, unsigned char mode) {
  if (dst == Fmt::kBi) {
    const bool white = src == Fmt::kBi     ? c != 0
                       : src == Fmt::kGrey ? GetRValue(c) > 128
                                           : Luminance(c) > 128.0f;
    return white ? 0xFFFFFFul : 0ul;
  }
  if (dst == Fmt::kGrey && src != Fmt::kBi && src != Fmt::kGrey) {
    const unsigned long grey = (mode & 1)   ? GetRValue(c)
                               : (mode & 2) ? GetGValue(c)
                               : (mode & 4) ? GetBValue(c)
                                            : static_cast<unsigned char>(Luminance(c));
    return grey * 0x010101ul;
  }
  return c;  // every other pair keeps the colour (the samples have at most 14 colours)
}

// Changes the colour interface's view of pixel (x, y) in every format (a sample palette has
// both black and white).
void Flip(CImage& image, int x, int y) {
  image.SetRGBColor(x, y, image.GetRGBColor(x, y) == 0 ? 0xFFFFFFul : 0ul);
}

// Every pair converts every pixel (to grey also by one channel), and a duplicate by copy
// keeps them. Copies and conversions take over the name, the maps (as copies of their own) and
// the current map, but not the resolution, types or backup; nothing done to them reaches the
// source.
TEST(Conversion, EveryPairConvertsEveryPixelAndTakesNameAndMapsButNotResolutionTypesOrBackup) {
  for (Fmt from : sample::kAllFormats) {
    for (sample::Size size : sample::kOddSizes) {
      const int right = size.width - 1, bottom = size.height - 1;
      auto source = sample::Make(from, size.width, size.height, L"page");
      const auto colours = sample::Colours(*source);
      source->SetDPI(300);
      source->AddType(0x100);
      CImageMap* extra = source->AddImageMap(L"Extra", MAP_BYTE_LABELS);
      extra->SetMapByte(right, bottom, 9);
      source->SetCurrentMap(1);
      ASSERT_EQ(source->CreateBackup(), 1);
      for (Fmt to : sample::kAllFormats) {
        for (int variant : {0, 1, 2, 4, -1}) {  // conversion modes; -1: a duplicate
          if ((variant > 0 && to != Fmt::kGrey) || (variant < 0 && to != from)) continue;
          SCOPED_TRACE(testing::Message()
                       << sample::Name(to) << " from " << sample::Name(from) << ' ' << size.width
                       << 'x' << size.height << " variant " << variant);
          const auto mode = static_cast<unsigned char>(std::max(variant, 0));
          auto copy = sample::NewImage(to);
          ASSERT_EQ(variant < 0 ? copy->CreateDuplicate(source.get(), 0)
                                : copy->CreateFromImage(source.get(), mode),
                    1);
          auto expected = colours;
          for (auto& c : expected) c = Expected(from, to, c, mode);
          ASSERT_EQ(sample::Colours(*copy), expected);
          // High colour made from another format: the fourth byte of each pixel is zero (row
          // padding: PixelRowPaths).
          for (int i = 0; to == Fmt::kHi && from != to && i < size.width * size.height; ++i) {
            const int x = i % size.width, y = i / size.width;
            EXPECT_EQ(dynamic_cast<Probe<CHiColorImage>&>(*copy).Row(y)[4 * x + 3], 0) << i;
          }
          EXPECT_STREQ(copy->GetName(), L"page");
          EXPECT_FALSE(copy->IsType(0x100));
          EXPECT_EQ((std::vector<int>{copy->GetDPI(), copy->GetArraysByReference(),
                                      copy->GetImageMapCount(), copy->GetCurrentMapIndex(),
                                      copy->GetImageMap(1)->GetMapByte(right, bottom),
                                      copy->IsDirty(), copy->DiscardBackup()}),
                    (std::vector<int>{1, 0, 2, 1, 9, 1, 0}));
          EXPECT_EQ(copy->GetImageMap(1)->GetImage(), copy.get());
          copy->GetImageMap(1)->SetMapByte(right, bottom, 4);
          Flip(*copy, right, 0);
          EXPECT_EQ(extra->GetMapByte(right, bottom), 9);
          EXPECT_EQ(sample::Colours(*source), colours);
        }
      }
    }
  }
}

// Bi-level: black, white, then black (indices are the bi-level values); greyscale: the grey
// ramp; colour with few colours: exactly those colours, ascending, then black.
TEST(Conversion, LowColourPalettes) {
  const auto colours = sample::Colours(*sample::Make(Fmt::kHi, 7, 5));
  const std::set<DWORD> distinct(colours.begin(), colours.end());
  std::vector<DWORD> bw(256, 0), ramp, few(distinct.begin(), distinct.end());
  bw[1] = 0xFFFFFF;
  for (DWORD i = 0; i < 256; ++i) ramp.push_back(i * 0x010101u);
  few.resize(256, 0);
  for (const auto& [from, palette] :
       {std::pair{Fmt::kBi, bw}, {Fmt::kGrey, ramp}, {Fmt::kHi, few}}) {
    Probe<CLoColorImage> lo;
    ASSERT_EQ(lo.CreateFromImage(sample::Make(from, 7, 5).get(), 0), 1);
    EXPECT_EQ(std::vector<DWORD>(lo.Palette(), lo.Palette() + 256), palette) << sample::Name(from);
  }
}

// A colour image of many colours in clusters: every pixel gets the entry that the image's own
// closest-colour rule gives for its colour, near its cluster; the palette is the same each time.
TEST(Conversion, ManyColoursMapToTheirNearestEntry) {
  std::mt19937 random(7);
  const unsigned long centres[] = {0x202020, 0xE0E8F0, 0x2040C0, 0x10B060};
  CHiColorImage source;
  source.Create(61, 37, 0, nullptr);
  for (int y = 0; y < 37; ++y) {
    for (int x = 0; x < 61; ++x) {
      const unsigned long c = centres[random() % 4];
      const auto jitter = [&](int v) {
        return static_cast<BYTE>(v + static_cast<int>(random() % 25) - 12);
      };
      source.SetRGBColor(x, y,
                         RGB(jitter(GetRValue(c)), jitter(GetGValue(c)), jitter(GetBValue(c))));
    }
  }
  Probe<CLoColorImage> lo, again;
  ASSERT_EQ(lo.CreateFromImage(&source, 0), 1);
  EXPECT_GT(std::set<DWORD>(lo.Palette(), lo.Palette() + 256).size(), 200u);
  for (int y = 0; y < 37; ++y) {
    for (int x = 0; x < 61; ++x) {
      const unsigned long c = source.GetRGBColor(x, y), m = lo.GetRGBColor(x, y);
      ASSERT_EQ(lo.Row(y)[x], lo.Closest(c)) << x << ',' << y;
      ASSERT_LE(std::abs(GetRValue(c) - GetRValue(m)) + std::abs(GetGValue(c) - GetGValue(m)) +
                    std::abs(GetBValue(c) - GetBValue(m)),
                24)
          << x << ',' << y;
    }
  }
  ASSERT_EQ(again.CreateFromImage(&source, 0), 1);
  EXPECT_TRUE(std::equal(lo.Palette(), lo.Palette() + 256, again.Palette()));
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
