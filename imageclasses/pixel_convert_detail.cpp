// Conversion of pixels between the four formats: tables for one-byte sources, a per-pixel
// rule for colour sources, the palette quantizer for colour to low colour.
#include "imageclasses/pixel_convert_detail.h"

#include <array>
#include <cstring>

#include "imageclasses/palette_quantizer_detail.h"
#include "imageclasses/pixel_copy_detail.h"

namespace vorlane::detail {
namespace {

using ByteTable = std::array<unsigned char, 256>;
// Blue, green, red and a zero fourth byte per source value.
using ColourTable = std::array<std::array<unsigned char, 4>, 256>;

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

// One-byte source to one-byte target: dst = table[src].
void MapBytes(const PixelView& src, const PixelView& dst, const ByteTable& table,
              const RowProgress* progress) {
  const int width = src.width;
  for (int y = 0; y < src.height; ++y) {
    const unsigned char* in = src.rows[y];
    unsigned char* out = dst.rows[y];
    for (int x = 0; x < width; ++x) out[x] = table[in[x]];
    ClearPadding(out, width, dst.bytesPerLine);
    AfterRow(progress, y);
  }
}

// One-byte source to high colour: the four bytes of table[src].
void ExpandBytes(const PixelView& src, const PixelView& dst, const ColourTable& table,
                 const RowProgress* progress) {
  const int width = src.width;
  for (int y = 0; y < src.height; ++y) {
    const unsigned char* in = src.rows[y];
    unsigned char* out = dst.rows[y];
    for (int x = 0; x < width; ++x) std::memcpy(out + 4 * x, table[in[x]].data(), 4);
    ClearPadding(out, 4 * width, dst.bytesPerLine);
    AfterRow(progress, y);
  }
}

// High-colour source to one-byte target: dst = rule(blue, green, red).
template <class Rule>
void ReduceColours(const PixelView& src, const PixelView& dst, Rule rule,
                   const RowProgress* progress) {
  const int width = src.width;
  for (int y = 0; y < src.height; ++y) {
    const unsigned char* in = src.rows[y];
    unsigned char* out = dst.rows[y];
    for (int x = 0; x < width; ++x, in += 4) out[x] = rule(in[0], in[1], in[2]);
    ClearPadding(out, width, dst.bytesPerLine);
    AfterRow(progress, y);
  }
}

// Colour reference of value v of a one-byte source, as its colour interface shows it:
// bi-level 1 white and anything else black, grey as grey, low colour through the palette
// (a grey ramp when there is none).
DWORD SourceColour(const PixelView& src, int v) {
  const auto c = static_cast<BYTE>(v);
  switch (src.format) {
    case PixelFormat::kBiLevel:
      return v == 1 ? RGB(255, 255, 255) : RGB(0, 0, 0);
    case PixelFormat::kLoColour:
      return src.palette ? src.palette[v] : RGB(c, c, c);
    default:
      return RGB(c, c, c);
  }
}

template <class Fn>
ByteTable MakeByteTable(Fn fn) {
  ByteTable table{};
  for (int v = 0; v < 256; ++v) table[v] = fn(v);
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

void ToBiLevel(const PixelView& src, const PixelView& dst, const RowProgress& progress) {
  switch (src.format) {
    case PixelFormat::kGreyScale:
      MapBytes(src, dst, MakeByteTable([](int v) { return v > 128 ? 1 : 0; }), nullptr);
      break;
    case PixelFormat::kLoColour:
      MapBytes(src, dst, MakeByteTable([&](int v) {
                 const DWORD c = SourceColour(src, v);
                 return BiLevelFromColour(GetBValue(c), GetGValue(c), GetRValue(c));
               }),
               &progress);
      break;
    default:
      ReduceColours(src, dst, BiLevelFromColour, &progress);
      break;
  }
}

void ToGreyScale(const PixelView& src, const PixelView& dst, unsigned char mode,
                 const RowProgress& progress) {
  switch (src.format) {
    case PixelFormat::kBiLevel:
      MapBytes(src, dst, MakeByteTable([](int v) { return v == 1 ? 255 : 0; }), nullptr);
      break;
    case PixelFormat::kLoColour:
      MapBytes(src, dst, MakeByteTable([&](int v) {
                 const DWORD c = SourceColour(src, v);
                 return GreyFromColour(GetBValue(c), GetGValue(c), GetRValue(c), mode);
               }),
               &progress);
      break;
    default:
      if (mode & 0x07) {
        // A single channel: no progress, as for the other plain byte conversions.
        ReduceColours(
            src, dst, [mode](BYTE b, BYTE g, BYTE r) { return GreyFromColour(b, g, r, mode); },
            nullptr);
      } else {
        ReduceColours(
            src, dst, [](BYTE b, BYTE g, BYTE r) { return GreyFromColour(b, g, r, 0); }, &progress);
      }
      break;
  }
}

void ToHiColour(const PixelView& src, const PixelView& dst, const RowProgress& progress) {
  ColourTable table{};
  for (int v = 0; v < 256; ++v) {
    const DWORD c = SourceColour(src, v);
    table[v] = {GetBValue(c), GetGValue(c), GetRValue(c), 0};
  }
  ExpandBytes(src, dst, table, &progress);
}

void ToLoColour(const PixelView& src, const PixelView& dst, const RowProgress& progress) {
  const ByteTable identity = MakeByteTable([](int v) { return v; });
  switch (src.format) {
    case PixelFormat::kBiLevel:
      std::memset(dst.palette, 0, 256 * sizeof(DWORD));
      dst.palette[1] = RGB(255, 255, 255);
      MapBytes(src, dst, identity, nullptr);
      break;
    case PixelFormat::kGreyScale:
      FillGreyRamp(dst.palette);
      MapBytes(src, dst, identity, &progress);
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
