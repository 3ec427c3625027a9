// Conversion of pixels between the four formats: a per-pixel rule over the rows (through a
// table of the palette for low-colour sources), the palette quantizer for colour to low
// colour.
#include "kernels/pixels/convert.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "kernels/parallel/row_bands.h"
#include "kernels/pixels/copy.h"
#include "kernels/pixels/luminance_rows.h"
#include "kernels/pixels/palette_quantizer.h"

namespace vorlane::detail {
namespace {

static_assert(std::endian::native == std::endian::little,
              "high-colour pixels are written as 32-bit values: blue in the low byte");

// Calls progress after row y when the conversion reports progress at all.
void AfterRow(const RowProgress* progress, int y) {
  if (progress && *progress) (*progress)(y + 1);
}

// Sets the row padding from byte usedBytes up to bytesPerLine to 0.
void ClearPadding(unsigned char* row, int usedBytes, int bytesPerLine) {
  if (bytesPerLine > usedBytes) {
    std::memset(row + usedBytes, 0, static_cast<size_t>(bytesPerLine - usedBytes));
  }
}

// One-byte source to one-byte target: dst = rule(src).
template <class Rule>
void MapBytes(const PixelView& src, const PixelView& dst, Rule rule, const RowProgress* progress) {
  const int width = src.width;
  for (int y = 0; y < src.height; ++y) {
    const unsigned char* in = src.rows[y];
    unsigned char* out = dst.rows[y];
    for (int x = 0; x < width; ++x) out[x] = rule(in[x]);
    ClearPadding(out, width, dst.bytesPerLine);
    AfterRow(progress, y);
  }
}

// One-byte source to high colour: the pixel rule(src) = blue | green << 8 | red << 16.
template <class Rule>
void ExpandBytes(const PixelView& src, const PixelView& dst, Rule rule,
                 const RowProgress* progress) {
  const int width = src.width;
  for (int y = 0; y < src.height; ++y) {
    const unsigned char* in = src.rows[y];
    unsigned char* out = dst.rows[y];
    for (int x = 0; x < width; ++x) {
      const uint32_t pixel = rule(in[x]);
      std::memcpy(out + 4 * x, &pixel, 4);
    }
    ClearPadding(out, 4 * width, dst.bytesPerLine);
    AfterRow(progress, y);
  }
}

// High-colour source to one-byte target, a row at a time: rowKernel(in, width, out).
template <class RowKernel>
void ReduceColourRows(const PixelView& src, const PixelView& dst, RowKernel rowKernel,
                      const RowProgress* progress) {
  const int width = src.width;
  const auto convertRow = [&](int y) {
    unsigned char* out = dst.rows[y];
    rowKernel(src.rows[y], width, out);
    ClearPadding(out, width, dst.bytesPerLine);
  };
  if (progress && *progress) {
    for (int y = 0; y < src.height; ++y) {
      convertRow(y);
      AfterRow(progress, y);
    }
    return;
  }
  // Without anyone to report progress to, the rows are shared among the cores, and each band
  // is walked in the order its rows lie in memory (bottom row first in image buffers): the
  // processor fetches ascending streams ahead, and a page-sized pass runs at nearly twice the
  // speed that way.
  const bool bottomUp = src.height > 1 && src.rows[1] < src.rows[0];
  ForEachRowBand(0, src.height, static_cast<int64_t>(width) * src.height, [&](int first, int last) {
    for (int i = first; i < last; ++i) convertRow(bottomUp ? first + last - 1 - i : i);
  });
}

// High-colour source to one-byte target: dst = rule(blue, green, red).
template <class Rule>
void ReduceColours(const PixelView& src, const PixelView& dst, Rule rule,
                   const RowProgress* progress) {
  ReduceColourRows(
      src, dst,
      [rule](const unsigned char* in, int width, unsigned char* out) {
        for (int x = 0; x < width; ++x, in += 4) out[x] = rule(in[0], in[1], in[2]);
      },
      progress);
}

// Colour reference of palette entry v of a low-colour source; a grey ramp when the source
// has no palette, as its palette accessors answer.
DWORD PaletteColour(const PixelView& src, int v) {
  const auto c = static_cast<BYTE>(v);
  return src.palette ? src.palette[v] : RGB(c, c, c);
}

// A table of the 256 results of rule(colour of palette entry v).
template <class T, class Rule>
std::array<T, 256> PaletteTable(const PixelView& src, Rule rule) {
  std::array<T, 256> table{};
  for (int v = 0; v < 256; ++v) {
    const DWORD c = PaletteColour(src, v);
    table[v] = rule(GetBValue(c), GetGValue(c), GetRValue(c));
  }
  return table;
}

void FillGreyRamp(DWORD* palette) {
  for (int i = 0; i < 256; ++i) {
    const auto c = static_cast<BYTE>(i);
    palette[i] = RGB(c, c, c);
  }
}

// Whole-buffer copy between images of one format.
void CopySameFormat(const PixelView& src, const PixelView& dst) {
  CopyBuffer(dst.buffer, src.buffer, src.bytesPerLine, src.height);
  if (dst.format != PixelFormat::kLoColour) return;
  if (src.palette) {
    std::memcpy(dst.palette, src.palette, 256 * sizeof(DWORD));
  } else {
    FillGreyRamp(dst.palette);
  }
}

const auto kBiLevel = [](BYTE b, BYTE g, BYTE r) { return BiLevelFromColour(b, g, r); };
const auto kIdentity = [](BYTE v) { return v; };

void ToBiLevel(const PixelView& src, const PixelView& dst, const RowProgress& progress) {
  switch (src.format) {
    case PixelFormat::kGreyScale:
      MapBytes(
          src, dst, [](BYTE v) -> BYTE { return v > 128 ? 1 : 0; }, nullptr);
      break;
    case PixelFormat::kLoColour: {
      const auto table = PaletteTable<BYTE>(src, kBiLevel);
      MapBytes(
          src, dst, [&table](BYTE v) { return table[v]; }, &progress);
      break;
    }
    default:
      ReduceColourRows(src, dst, LuminanceRowToBiLevel, &progress);
      break;
  }
}

void ToGreyScale(const PixelView& src, const PixelView& dst, unsigned char mode,
                 const RowProgress& progress) {
  const auto grey = [mode](BYTE b, BYTE g, BYTE r) { return GreyFromColour(b, g, r, mode); };
  switch (src.format) {
    case PixelFormat::kBiLevel:
      MapBytes(
          src, dst, [](BYTE v) -> BYTE { return v == 1 ? 255 : 0; }, nullptr);
      break;
    case PixelFormat::kLoColour: {
      const auto table = PaletteTable<BYTE>(src, grey);
      MapBytes(
          src, dst, [&table](BYTE v) { return table[v]; }, &progress);
      break;
    }
    default:
      if (mode & 0x07) {
        // A single channel: no progress, as for the other plain byte conversions.
        ReduceColours(src, dst, grey, nullptr);
      } else {
        ReduceColourRows(src, dst, LuminanceRowToGrey, &progress);
      }
      break;
  }
}

void ToHiColour(const PixelView& src, const PixelView& dst, const RowProgress& progress) {
  switch (src.format) {
    case PixelFormat::kBiLevel:
      ExpandBytes(
          src, dst, [](BYTE v) -> uint32_t { return v == 1 ? 0x00FFFFFFu : 0u; }, &progress);
      break;
    case PixelFormat::kGreyScale:
      ExpandBytes(
          src, dst, [](BYTE v) { return v * 0x00010101u; }, &progress);
      break;
    default: {
      const auto table = PaletteTable<uint32_t>(src, [](BYTE b, BYTE g, BYTE r) {
        return uint32_t{b} | uint32_t{g} << 8 | uint32_t{r} << 16;
      });
      ExpandBytes(
          src, dst, [&table](BYTE v) { return table[v]; }, &progress);
      break;
    }
  }
}

void ToLoColour(const PixelView& src, const PixelView& dst, const RowProgress& progress) {
  switch (src.format) {
    case PixelFormat::kBiLevel:
      std::memset(dst.palette, 0, 256 * sizeof(DWORD));
      dst.palette[1] = RGB(255, 255, 255);
      MapBytes(src, dst, kIdentity, nullptr);
      break;
    case PixelFormat::kGreyScale:
      FillGreyRamp(dst.palette);
      MapBytes(src, dst, kIdentity, &progress);
      break;
    default:
      QuantizeToPalette(src, dst, dst.palette, progress);
      break;
  }
}

}  // namespace

void ConvertPixels(const PixelView& src, const PixelView& dst, unsigned char mode,
                   const RowProgress& progress) {
  if (src.format == dst.format) {
    CopySameFormat(src, dst);
    return;
  }
  switch (dst.format) {
    case PixelFormat::kBiLevel:
      ToBiLevel(src, dst, progress);
      break;
    case PixelFormat::kGreyScale:
      ToGreyScale(src, dst, mode, progress);
      break;
    case PixelFormat::kHiColour:
      ToHiColour(src, dst, progress);
      break;
    case PixelFormat::kLoColour:
      ToLoColour(src, dst, progress);
      break;
    case PixelFormat::kNone:
      break;
  }
}

}  // namespace vorlane::detail
