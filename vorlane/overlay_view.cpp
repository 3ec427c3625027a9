// The overlay view: a palette picture of the grey page with its labels tinted.
#include "vorlane/overlay_view.h"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "imageclasses/image.h"
#include "imageclasses/imagemap.h"
#include "imageclasses/internal/format_access.h"
#include "kernels/png/png_encoder.h"
#include "kernels/png/png_file.h"

using namespace vorlane::detail;

namespace vorlane {
namespace {

// The palette: 32 untinted grey levels (the paper's noise in more levels would double the
// file), 16 levels of ink tint, and 4 levels for each of 16 map colours.
constexpr int kGreyEntries = 32;
constexpr int kInkFirst = 128;
constexpr int kInkLevels = 16;
constexpr int kTypeFirst = 192;
constexpr int kTypeLevels = 4;
constexpr int kTypeColours = 16;
// Ink tint and the opacity of every tint, in 256ths.
constexpr unsigned char kInk[3] = {230, 30, 30};
constexpr int kOpacity = 150;

unsigned char Blend(int grey, int tint) {
  return static_cast<unsigned char>((grey * (256 - kOpacity) + tint * kOpacity) / 256);
}

void PutEntry(std::vector<unsigned char>& palette, unsigned char r, unsigned char g,
              unsigned char b) {
  palette.push_back(r);
  palette.push_back(g);
  palette.push_back(b);
}

// The grey value of every pixel of a row, whatever the page's format.
struct GreyRows {
  PixelView view;
  void Row(int y, unsigned char* out) const {
    const unsigned char* src = view.rows[y];
    switch (view.format) {
      case PixelFormat::kBiLevel:
        for (int x = 0; x < view.width; ++x) out[x] = src[x] ? 255 : 0;
        break;
      case PixelFormat::kHiColour:  // blue, green, red, unused
        for (int x = 0; x < view.width; ++x, src += 4)
          out[x] = static_cast<unsigned char>((src[2] * 77 + src[1] * 150 + src[0] * 29) >> 8);
        break;
      case PixelFormat::kLoColour:
        for (int x = 0; x < view.width; ++x) {
          const DWORD c = view.palette ? view.palette[src[x]] : 0;
          out[x] = static_cast<unsigned char>(
              ((c & 0xFF) * 77 + ((c >> 8) & 0xFF) * 150 + ((c >> 16) & 0xFF) * 29) >> 8);
        }
        break;
      default:
        std::copy(src, src + view.width, out);
    }
  }
};

// The tint class of each byte of the "Dorvale" map: -1 none, else the index of its colour.
struct TypeTints {
  std::array<int, 256> colourOf;
  std::vector<std::array<unsigned char, 3>> colours;
};

TypeTints DorvaleTints(const CImageMap* map) {
  TypeTints tints;
  tints.colourOf.fill(-1);
  if (!map) return tints;
  const unsigned char paper = map->GetPTByteLabel(L"Paper");
  for (int byte = 1; byte < 256; ++byte) {
    const int index = byte;  // byte labels: the byte is the table index
    if (byte == paper || index >= map->GetPTCount() || !map->GetPTVisible(index)) continue;
    const std::array<unsigned char, 3> c = {map->GetPTRed(index), map->GetPTGreen(index),
                                            map->GetPTBlue(index)};
    auto it = std::find(tints.colours.begin(), tints.colours.end(), c);
    if (it == tints.colours.end()) {
      if (static_cast<int>(tints.colours.size()) == kTypeColours) continue;
      tints.colours.push_back(c);
      it = tints.colours.end() - 1;
    }
    tints.colourOf[static_cast<size_t>(byte)] = static_cast<int>(it - tints.colours.begin());
  }
  return tints;
}

// A map of the page's size, or null.
const CImageMap* SameSized(const CImageMap* map, const PixelView& view) {
  return map && map->GetWidth() == view.width && map->GetHeight() == view.height ? map : nullptr;
}

}  // namespace

bool WriteOverlayPng(CImage& page, const std::filesystem::path& path) {
  const PixelView view = FormatAccess::View(&page);
  if (!view.HasPixels() || view.width <= 0 || view.height <= 0) return false;
  const CImageMap* standard =
      SameSized(page.GetImageMap(static_cast<unsigned char>(MAP_STANDARD)), view);
  const CImageMap* dorvale =
      SameSized(page.GetImageMap(static_cast<unsigned char>(MAP_DORVALE)), view);
  const bool bilevel = view.format == PixelFormat::kBiLevel;
  const unsigned char background = standard ? standard->GetPTByteLabel(L"Background") : 0;
  auto tints = std::make_shared<TypeTints>(DorvaleTints(dorvale));

  PngPicture picture;
  picture.width = view.width;
  picture.height = view.height;
  picture.bitDepth = 8;
  for (int i = 0; i < kInkFirst; ++i) {
    // Entries past the grey levels are unused.
    const auto g =
        static_cast<unsigned char>(std::min(i, kGreyEntries - 1) * 255 / (kGreyEntries - 1));
    PutEntry(picture.palette, g, g, g);
  }
  for (int i = kInkFirst; i < kTypeFirst; ++i) {
    // Entries past the ink levels are unused.
    const int g = std::min(i - kInkFirst, kInkLevels - 1) * 255 / (kInkLevels - 1);
    PutEntry(picture.palette, Blend(g, kInk[0]), Blend(g, kInk[1]), Blend(g, kInk[2]));
  }
  for (const auto& c : tints->colours) {
    for (int i = 0; i < kTypeLevels; ++i) {
      const int g = i * 255 / (kTypeLevels - 1);
      PutEntry(picture.palette, Blend(g, c[0]), Blend(g, c[1]), Blend(g, c[2]));
    }
  }
  const GreyRows grey{view};
  picture.row = [grey, standard, dorvale, bilevel, background, tints](int y, unsigned char* out) {
    grey.Row(y, out);
    const unsigned char* labels = standard ? standard->GetLine(y) : nullptr;
    const unsigned char* types = dorvale ? dorvale->GetLine(y) : nullptr;
    for (int x = 0; x < grey.view.width; ++x) {
      const int v = out[x];
      const int type = types ? tints->colourOf[types[x]] : -1;
      const bool ink = bilevel ? v == 0 : !(labels && (labels[x] & background));
      if (type >= 0) {
        out[x] = static_cast<unsigned char>(kTypeFirst + type * kTypeLevels + v / 64);
      } else if (ink) {
        out[x] = static_cast<unsigned char>(kInkFirst + v / 16);
      } else {
        out[x] = static_cast<unsigned char>(v / 8);
      }
    }
  };
  return WritePngFile(picture, path);
}

}  // namespace vorlane
