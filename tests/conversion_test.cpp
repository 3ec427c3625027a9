// Conversion between the four formats and duplicates by copy: every pair pixel by pixel with
// what the copy takes over, the thresholds and the single-precision rule, and palettes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
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
          copy->SetRGBColor(right, 0, copy->GetRGBColor(right, 0) == 0 ? 0xFFFFFFul : 0ul);
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

}  // namespace
