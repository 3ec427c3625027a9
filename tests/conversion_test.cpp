// Conversion between the four formats: every pair pixel by pixel, the thresholds and the
// single-precision rule, palettes, and conversion into a used image.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
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
          ASSERT_EQ(target->GetWidth() * 100 + target->GetHeight(), size.width * 100 + size.height);
          auto expected = sample::Colours(*source);
          for (auto& c : expected) c = Expected(from, to, c, mode);
          ASSERT_EQ(sample::Colours(*target), expected);
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

TEST(Conversion, ConvertingIntoAUsedImageReplacesItWhole) {
  auto first = sample::Make(Fmt::kGrey, 3, 5, L"first");
  auto second = sample::Make(Fmt::kHi, 7, 2, L"second");
  CGreyScaleImage target;
  ASSERT_EQ(target.CreateFromImage(first.get(), 0), 1);
  ASSERT_EQ(target.CreateBackup(), 1);
  ASSERT_EQ(target.CreateFromImage(second.get(), 1), 1);
  EXPECT_TRUE(target.GetWidth() == 7 && !std::wcscmp(target.GetName(), L"second"));
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

// The fourth byte of each high-colour pixel made from grey is zero (padding: PixelRowPaths).
TEST(Conversion, FourthBytesOfHighColourAreZero) {
  Probe<CHiColorImage> hi;
  ASSERT_EQ(hi.CreateFromImage(sample::Make(Fmt::kGrey, 3, 5).get(), 0), 1);
  for (int i = 0; i < 15; ++i) EXPECT_EQ(hi.Row(i / 3)[4 * (i % 3) + 3], 0) << i;
}

}  // namespace
