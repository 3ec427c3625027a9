// Bitmap descriptions of the pixel formats and the transfer of their pixels to the display.
#include "kernels/display/transfer.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "kernels/parallel/row_bands.h"

namespace vorlane::detail {
namespace {

constexpr LONG kPixelsPerMetre = 2835;

// Palette entry of a colour reference (red in the low byte).
RGBQUAD Quad(DWORD colour) {
  return RGBQUAD{GetBValue(colour), GetGValue(colour), GetRValue(colour), 0};
}

// The row loops take their parameters by value: the pixel stores cannot then be taken to
// change them, and the loops vectorise.
void ClearFourthBytes(const unsigned char* src, int count, DWORD* out) {
  for (int x = 0; x < count; ++x) {
    DWORD pixel;
    std::memcpy(&pixel, src + static_cast<ptrdiff_t>(x) * 4, sizeof pixel);
    out[x] = pixel & 0x00FFFFFFu;
  }
}

void LookUpRow(const unsigned char* src, int count, const DWORD* lookup, DWORD* out) {
  for (int x = 0; x < count; ++x) out[x] = lookup[src[x]];
}

}  // namespace

BITMAPINFO* NewBitmapInfo(const PixelView& view) {
  int bits = 8;
  int entries = 256;
  DWORD used = 0;
  switch (view.format) {
    case PixelFormat::kNone:
      return nullptr;
    case PixelFormat::kBiLevel:
      entries = 2;
      used = 2;
      break;
    case PixelFormat::kHiColour:
      bits = 32;
      entries = 0;
      break;
    case PixelFormat::kGreyScale:
    case PixelFormat::kLoColour:
      break;
  }
  const size_t size = sizeof(BITMAPINFOHEADER) + static_cast<size_t>(entries) * sizeof(RGBQUAD);
  auto* block = new unsigned char[std::max(size, sizeof(BITMAPINFO))]();
  auto* info = reinterpret_cast<BITMAPINFO*>(block);
  BITMAPINFOHEADER& h = info->bmiHeader;
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = view.width;
  h.biHeight = view.height;
  h.biPlanes = 1;
  h.biBitCount = static_cast<WORD>(bits);
  h.biCompression = BI_RGB;
  h.biSizeImage = 0;
  h.biXPelsPerMeter = kPixelsPerMetre;
  h.biYPelsPerMeter = kPixelsPerMetre;
  h.biClrUsed = used;
  h.biClrImportant = used;
  RGBQUAD* palette = info->bmiColors;
  for (int i = 0; i < entries; ++i) {
    DWORD colour = RGB(i, i, i);
    if (view.format == PixelFormat::kBiLevel) colour = i ? RGB(255, 255, 255) : RGB(0, 0, 0);
    if (view.format == PixelFormat::kLoColour && view.palette) colour = view.palette[i];
    palette[i] = Quad(colour);
  }
  return info;
}

void ReleaseBitmapInfo(BITMAPINFO*& info) {
  delete[] reinterpret_cast<unsigned char*>(info);
  info = nullptr;
}

bool TransferPixels(const BITMAPINFO& info, const unsigned char* source, int bytesPerLine,
                    DWORD* dst, int width, int height, const std::function<void(int y)>* rowDone) {
  const BITMAPINFOHEADER& h = info.bmiHeader;
  const int bits = h.biBitCount;
  const int rows = std::min<int>(h.biHeight, height);
  const int columns = std::min<int>(h.biWidth, width);
  if (!source || !dst || rows <= 0 || columns <= 0) return false;
  if ((bits != 8 && bits != 32) || bytesPerLine < columns * (bits / 8)) return false;
  const bool whole = rows == height && columns == width;
  // Rows are stored bottom row first: display row y is stored row biHeight - 1 - y.
  auto sourceRow = [&](int y) {
    return source + static_cast<ptrdiff_t>(h.biHeight - 1 - y) * bytesPerLine;
  };
  const std::int64_t work = static_cast<std::int64_t>(rows) * columns;
  if (bits == 32) {
    ForEachRowBand(0, rows, work, [&](int first, int last) {
      for (int y = first; y < last; ++y) {
        ClearFourthBytes(sourceRow(y), columns, dst + static_cast<ptrdiff_t>(y) * width);
        if (rowDone) (*rowDone)(y);
      }
    });
    return whole;
  }
  // 8 bits: one lookup table of display pixels over the palette's entries.
  const int entries = h.biClrUsed ? static_cast<int>(std::min<DWORD>(h.biClrUsed, 256)) : 256;
  std::array<DWORD, 256> lookup{};
  for (int i = 0; i < entries; ++i) {
    const RGBQUAD& q = info.bmiColors[i];
    lookup[static_cast<size_t>(i)] = (DWORD{q.rgbRed} << 16) | (DWORD{q.rgbGreen} << 8) | q.rgbBlue;
  }
  ForEachRowBand(0, rows, work, [&](int first, int last) {
    for (int y = first; y < last; ++y) {
      LookUpRow(sourceRow(y), columns, lookup.data(), dst + static_cast<ptrdiff_t>(y) * width);
      if (rowDone) (*rowDone)(y);
    }
  });
  return whole;
}

}  // namespace vorlane::detail
