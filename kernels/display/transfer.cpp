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

DisplayRows::DisplayRows(const BITMAPINFO& info, const unsigned char* source, int bytesPerLine)
    : m_source(source),
      m_bytesPerLine(bytesPerLine),
      m_width(info.bmiHeader.biWidth),
      m_height(info.bmiHeader.biHeight),
      m_bits(info.bmiHeader.biBitCount) {
  m_valid = source && m_width > 0 && m_height > 0 && (m_bits == 8 || m_bits == 32);
  if (!m_valid || m_bits != 8) return;
  // 8 bits: one lookup table of display pixels over the palette's entries.
  const DWORD used = info.bmiHeader.biClrUsed;
  const int entries = used ? static_cast<int>(std::min<DWORD>(used, 256)) : 256;
  for (int i = 0; i < entries; ++i) {
    const RGBQUAD& q = info.bmiColors[i];
    m_lookup[static_cast<size_t>(i)] =
        (DWORD{q.rgbRed} << 16) | (DWORD{q.rgbGreen} << 8) | q.rgbBlue;
  }
}

void DisplayRows::Row(int y, int columns, DWORD* out) const {
  // Rows are stored bottom row first: display row y is stored row height - 1 - y.
  const unsigned char* in = m_source + static_cast<ptrdiff_t>(m_height - 1 - y) * m_bytesPerLine;
  if (m_bits == 32) {
    ClearFourthBytes(in, columns, out);
  } else {
    LookUpRow(in, columns, m_lookup.data(), out);
  }
}

bool TransferPixels(const BITMAPINFO& info, const unsigned char* source, int bytesPerLine,
                    DWORD* dst, int width, int height, const std::function<void(int y)>* rowDone) {
  const DisplayRows display(info, source, bytesPerLine);
  if (!display.Valid() || !dst || width <= 0 || height <= 0) return false;
  const int rows = std::min(display.Height(), height);
  const int columns = std::min(display.Width(), width);
  if (!display.HoldsColumns(columns)) return false;
  const bool whole = rows == height && columns == width;
  const std::int64_t work = static_cast<std::int64_t>(rows) * columns;
  ForEachRowBand(0, rows, work, [&](int first, int last) {
    for (int y = first; y < last; ++y) {
      display.Row(y, columns, dst + static_cast<ptrdiff_t>(y) * width);
      if (rowDone) (*rowDone)(y);
    }
  });
  return whole;
}

}  // namespace vorlane::detail
