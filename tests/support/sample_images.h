// Small patterned images of every format, and probes that open the pixel rows, for the
// conversion, duplication and backup tests.
#pragma once

#include <cstdint>
#include <iterator>
#include <memory>
#include <type_traits>
#include <vector>

#include "vorlane/vorlane.h"

namespace sample {

enum class Fmt { kBi, kGrey, kLo, kHi };
inline constexpr Fmt kAllFormats[] = {Fmt::kBi, Fmt::kGrey, Fmt::kLo, Fmt::kHi};

inline const char* Name(Fmt f) {
  static const char* const kNames[] = {"BiLevel", "Grey", "LoColour", "HiColour"};
  return kNames[static_cast<int>(f)];
}

// Opens the protected storage of a format for inspection.
template <class Format>
struct Probe : Format {
  int RowBytes() const { return this->m_nBytesPerLine; }
  unsigned char* Row(int y) { return this->m_ppLines[y]; }
  DWORD* Palette() requires std::is_same_v<Format, CLoColorImage> { return this->m_pPalette; }
  int Closest(unsigned long colour) requires std::is_same_v<Format, CLoColorImage> {
    return this->GetClosestPaletteColor(colour);
  }
};

inline std::unique_ptr<CImage> NewImage(Fmt f) {
  if (f == Fmt::kBi) return std::make_unique<Probe<CBiLevelImage>>();
  if (f == Fmt::kGrey) return std::make_unique<Probe<CGreyScaleImage>>();
  if (f == Fmt::kLo) return std::make_unique<Probe<CLoColorImage>>();
  return std::make_unique<Probe<CHiColorImage>>();
}

// Greys and colours around the thresholds (128/129) and the float rounding (15 -> 14).
inline constexpr unsigned char kGreys[] = {0, 15, 30, 127, 128, 129, 200, 254, 255};
inline constexpr unsigned long kColours[] = {
    0x000000, 0xFFFFFF, 0x808080, 0x818181, 0x0000FF, 0x00FF00, 0xFF0000,
    0x4DC80C, 0xFCFBFA, 0x808081, 0x0F0F0F, 0x102030, 0x7F7F7F, 0x00C0FF,
};

// Index of the pattern entry at (x, y): no symmetry, so flips and swaps show.
inline int PatternIndex(int x, int y, size_t n) {
  return (x * 3 + y * 5 + x * y) % static_cast<int>(n);
}

// A width x height image of format f with the pattern of its format: bi-level ones where
// the pattern index is odd, greys from kGreys, colours from kColours; low colour is the
// high-colour pattern converted (so its palette holds exactly kColours).
inline std::unique_ptr<CImage> Make(Fmt f, int width, int height, const wchar_t* name = L"src") {
  auto image = NewImage(f == Fmt::kLo ? Fmt::kHi : f);
  image->Create(width, height, 0, name);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (f == Fmt::kBi) image->SetRed(x, y, PatternIndex(x, y, 7) % 2);
      if (f == Fmt::kGrey) image->SetRed(x, y, kGreys[PatternIndex(x, y, std::size(kGreys))]);
      if (f == Fmt::kLo || f == Fmt::kHi)
        image->SetRGBColor(x, y, kColours[PatternIndex(x, y, std::size(kColours))]);
    }
  }
  if (f != Fmt::kLo) return image;
  auto lo = NewImage(Fmt::kLo);
  lo->CreateFromImage(image.get(), 0);
  return lo;
}

// Every pixel's colour as the image's colour interface shows it, row by row.
inline std::vector<unsigned long> Colours(CImage& image) {
  std::vector<unsigned long> out;
  for (int y = 0; y < image.GetHeight(); ++y) {
    for (int x = 0; x < image.GetWidth(); ++x) out.push_back(image.GetRGBColor(x, y));
  }
  return out;
}

struct Size {
  int width;
  int height;
};
inline constexpr Size kOddSizes[] = {{1, 1}, {3, 5}, {7, 2}, {5, 3}};

}  // namespace sample
