// Conversion between the four formats: every pair pixel by pixel, the thresholds and the
// single-precision rule, round trips, palettes, what the new image takes over, bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "support/sample_images.h"

namespace {

using sample::Fmt;
using sample::Probe;

float Luminance(unsigned long c) {
  const float blueGreen = 0.11f * GetBValue(c) + 0.59f * GetGValue(c);
  return blueGreen + 0.3f * GetRValue(c);
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

int RowBytes(CImage& image) {
  if (auto* p = dynamic_cast<Probe<CBiLevelImage>*>(&image)) return p->RowBytes();
  if (auto* p = dynamic_cast<Probe<CGreyScaleImage>*>(&image)) return p->RowBytes();
  if (auto* p = dynamic_cast<Probe<CLoColorImage>*>(&image)) return p->RowBytes();
  return dynamic_cast<Probe<CHiColorImage>&>(image).RowBytes();
}

std::unique_ptr<CImage> Convert(CImage& source, Fmt to, unsigned char mode = 0) {
  auto target = sample::NewImage(to);
  EXPECT_EQ(target->CreateFromImage(&source, mode), 1);
  return target;
}

TEST(Conversion, EveryPairConvertsEveryPixelInPlace) {
  for (Fmt from : sample::kAllFormats) {
    for (Fmt to : sample::kAllFormats) {
      for (sample::Size size : sample::kOddSizes) {
        for (unsigned char mode : {0, 1, 2, 4}) {
          if (mode != 0 && to != Fmt::kGrey) continue;
          SCOPED_TRACE(testing::Message()
                       << sample::Name(to) << " from " << sample::Name(from) << ' ' << size.width
                       << 'x' << size.height << " mode " << int{mode});
          auto source = sample::Make(from, size.width, size.height);
          auto target = Convert(*source, to, mode);
          ASSERT_EQ(target->GetWidth(), size.width);
          ASSERT_EQ(target->GetHeight(), size.height);
          const int pixelBytes = to == Fmt::kHi ? 4 : 1;
          EXPECT_EQ(RowBytes(*target), (size.width * pixelBytes + 3) / 4 * 4);
          const auto in = sample::Colours(*source);
          const auto out = sample::Colours(*target);
          for (size_t i = 0; i < in.size(); ++i) {
            ASSERT_EQ(out[i], Expected(from, to, in[i], mode)) << "pixel " << i;
          }
        }
      }
    }
  }
}

// Every colour once: the bi-level and grey results follow the single-precision sum with the
// blue term first, bit for bit.
TEST(Conversion, AllColoursFollowTheSinglePrecisionRule) {
  Probe<CHiColorImage> hi;
  hi.Create(4096, 4096, 0, nullptr);
  for (int y = 0; y < 4096; ++y) {
    unsigned char* row = hi.Row(y);
    for (int x = 0; x < 4096; ++x) {
      const uint32_t key = static_cast<uint32_t>(y) * 4096 + static_cast<uint32_t>(x);
      row[4 * x] = static_cast<unsigned char>(key >> 16);
      row[4 * x + 1] = static_cast<unsigned char>(key >> 8);
      row[4 * x + 2] = static_cast<unsigned char>(key);
    }
  }
  Probe<CBiLevelImage> bi;
  Probe<CGreyScaleImage> grey;
  ASSERT_EQ(bi.CreateFromImage(&hi, 0), 1);
  ASSERT_EQ(grey.CreateFromImage(&hi, 0), 1);
  int64_t mismatches = 0;
  for (int y = 0; y < 4096; ++y) {
    const unsigned char* in = hi.Row(y);
    for (int x = 0; x < 4096; ++x) {
      const float sum = 0.11f * in[4 * x] + 0.59f * in[4 * x + 1] + 0.3f * in[4 * x + 2];
      mismatches += bi.Row(y)[x] != (sum > 128.0f ? 1 : 0);
      mismatches += grey.Row(y)[x] != static_cast<unsigned char>(sum);
    }
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(Conversion, LowColourPalettes) {
  // From bi-level: black, white, then black; indices are the bi-level values.
  auto bi = sample::Make(Fmt::kBi, 3, 5);
  Probe<CLoColorImage> fromBi;
  ASSERT_EQ(fromBi.CreateFromImage(bi.get(), 0), 1);
  std::vector<DWORD> blackWhite(256, 0);
  blackWhite[1] = 0xFFFFFF;
  EXPECT_EQ(std::vector<DWORD>(fromBi.Palette(), fromBi.Palette() + 256), blackWhite);
  // From greyscale: the grey ramp, index = grey.
  auto grey = sample::Make(Fmt::kGrey, 7, 2);
  Probe<CLoColorImage> fromGrey;
  ASSERT_EQ(fromGrey.CreateFromImage(grey.get(), 0), 1);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(fromGrey.Palette()[i], i * 0x010101u);
  EXPECT_EQ(fromGrey.Row(1)[6], grey->GetRed(6, 1));
  // From colour with few colours: exactly those colours, ascending, then black.
  auto hi = sample::Make(Fmt::kHi, 7, 5);
  Probe<CLoColorImage> fromHi;
  ASSERT_EQ(fromHi.CreateFromImage(hi.get(), 0), 1);
  const auto colours = sample::Colours(*hi);
  std::set<DWORD> distinct(colours.begin(), colours.end());
  std::vector<DWORD> expected(distinct.begin(), distinct.end());
  expected.resize(256, 0);
  EXPECT_EQ(std::vector<DWORD>(fromHi.Palette(), fromHi.Palette() + 256), expected);
}

// A colour image with many colours: every pixel gets the entry that the image's own
// closest-colour rule gives for its colour; clustered colours stay near their cluster.
TEST(Conversion, ManyColoursMapToTheirNearestEntry) {
  std::mt19937 random(7);
  const unsigned long centres[] = {0x202020, 0xE0E8F0, 0x2040C0, 0x10B060};
  CHiColorImage clustered;
  clustered.Create(61, 37, 0, nullptr);
  CHiColorImage uniform;
  uniform.Create(53, 41, 0, nullptr);
  for (int y = 0; y < 41; ++y) {
    for (int x = 0; x < 61; ++x) {
      const unsigned long c = centres[random() % 4];
      const auto jitter = [&](int v) {
        return static_cast<BYTE>(v + static_cast<int>(random() % 25) - 12);
      };
      clustered.SetRGBColor(x, y,
                            RGB(jitter(GetRValue(c)), jitter(GetGValue(c)), jitter(GetBValue(c))));
      uniform.SetRGBColor(x, y, random() & 0xFFFFFF);
    }
  }
  for (CHiColorImage* source : {&clustered, &uniform}) {
    Probe<CLoColorImage> lo;
    ASSERT_EQ(lo.CreateFromImage(source, 0), 1);
    std::set<DWORD> entries(lo.Palette(), lo.Palette() + 256);
    EXPECT_GT(entries.size(), source == &uniform ? 250u : 200u);
    int far = 0;
    for (int y = 0; y < source->GetHeight(); ++y) {
      for (int x = 0; x < source->GetWidth(); ++x) {
        const unsigned long c = source->GetRGBColor(x, y);
        ASSERT_EQ(lo.Row(y)[x], lo.Closest(c)) << x << ',' << y;
        const unsigned long m = lo.GetRGBColor(x, y);
        const int distance = std::abs(GetRValue(c) - GetRValue(m)) +
                             std::abs(GetGValue(c) - GetGValue(m)) +
                             std::abs(GetBValue(c) - GetBValue(m));
        far += distance > 24;
      }
    }
    if (source == &clustered) {
      EXPECT_EQ(far, 0);
    }
    Probe<CLoColorImage> again;
    ASSERT_EQ(again.CreateFromImage(source, 0), 1);
    EXPECT_TRUE(std::equal(lo.Palette(), lo.Palette() + 256, again.Palette()));
  }
}

TEST(Conversion, NewImageTakesNameAndMapsButNotResolutionOrTypes) {
  auto source = sample::Make(Fmt::kHi, 7, 2, L"page");
  source->SetDPI(300);
  source->AddType(0x100);
  CImageMap* extra = source->AddImageMap(L"Extra", MAP_BYTE_LABELS);
  extra->SetMapByte(3, 1, 9);
  source->SetCurrentMap(1);
  for (Fmt to : sample::kAllFormats) {
    SCOPED_TRACE(sample::Name(to));
    auto target = Convert(*source, to);
    EXPECT_STREQ(target->GetName(), L"page");
    EXPECT_TRUE(!target->IsType(0x100) && target->IsDirty());
    ASSERT_EQ(target->GetImageMapCount(), 2);
    EXPECT_EQ((std::vector<int>{target->GetDPI(), target->GetArraysByReference(),
                                target->GetCurrentMapIndex()}),
              (std::vector<int>{1, 0, 1}));
    CImageMap* copy = target->GetImageMap(1);
    EXPECT_TRUE(copy != extra && copy->GetImage() == target.get());
    EXPECT_EQ(copy->GetMapByte(3, 1), 9);
    extra->SetMapByte(3, 1, 4);
    EXPECT_EQ(copy->GetMapByte(3, 1), 9);
    extra->SetMapByte(3, 1, 9);
  }
}

TEST(Conversion, ConvertingIntoAUsedImageReplacesItWhole) {
  auto first = sample::Make(Fmt::kGrey, 3, 5, L"first");
  auto second = sample::Make(Fmt::kHi, 7, 2, L"second");
  CGreyScaleImage target;
  ASSERT_EQ(target.CreateFromImage(first.get(), 0), 1);
  ASSERT_EQ(target.CreateBackup(), 1);
  ASSERT_EQ(target.CreateFromImage(second.get(), 1), 1);
  EXPECT_EQ(target.GetWidth(), 7);
  EXPECT_STREQ(target.GetName(), L"second");
  EXPECT_EQ(target.DiscardBackup(), 0);  // the old backup went with the old pixels
  EXPECT_EQ(sample::Colours(target), sample::Colours(*Convert(*second, Fmt::kGrey, 1)));

  // An image sharing its source's pixels gets a copy of its own.
  CGreyScaleImage sharing;
  ASSERT_EQ(sharing.CreateDuplicate(first.get(), 1), 1);
  ASSERT_EQ(sharing.CreateFromImage(first.get(), 0), 1);
  EXPECT_EQ(sharing.GetArraysByReference(), 0);
  sharing.SetRed(0, 0, 77);
  EXPECT_EQ(first->GetRed(0, 0), sample::kGreys[0]);
}

TEST(Conversion, RefusesSourcesWithoutPixelsAndChangesNothing) {
  CImage plain;
  CLoColorImage sizedButEmpty;
  sizedButEmpty.Create(3, 5, 0, nullptr);  // no pixel buffer of its own
  for (Fmt to : sample::kAllFormats) {
    SCOPED_TRACE(sample::Name(to));
    auto target = sample::Make(to, 3, 5, L"keep");
    const auto before = sample::Colours(*target);
    std::vector<CImage*> bad = {nullptr, target.get(), &plain, &sizedButEmpty};
    std::vector<std::unique_ptr<CImage>> fresh;
    for (Fmt f : sample::kAllFormats) fresh.push_back(sample::NewImage(f));
    for (auto& image : fresh) bad.push_back(image.get());
    for (CImage* source : bad) EXPECT_EQ(target->CreateFromImage(source, 0), 0);
    EXPECT_EQ(sample::Colours(*target), before);
    EXPECT_STREQ(target->GetName(), L"keep");
    EXPECT_EQ(target->GetImageMapCount(), 1);
  }
}

TEST(Conversion, PaddingAndUnusedBytesAreZero) {
  auto grey = sample::Make(Fmt::kGrey, 3, 5);
  Probe<CHiColorImage> hi;
  ASSERT_EQ(hi.CreateFromImage(grey.get(), 0), 1);
  Probe<CBiLevelImage> bi;
  ASSERT_EQ(bi.CreateFromImage(&hi, 0), 1);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 3; ++x) EXPECT_EQ(hi.Row(y)[4 * x + 3], 0);
    EXPECT_EQ(bi.Row(y)[3], 0);
  }
}

}  // namespace
