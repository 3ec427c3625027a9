// Filled and hollow rectangles, colour-on-colour stretches and raster-operation copies.
#include "kernels/display/stretch.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "kernels/display/display_bitmaps.h"
#include "kernels/parallel/row_bands.h"

namespace vorlane::detail {
namespace {

// The part of [left, right) x [top, bottom) inside dst.
struct Area {
  int64_t left, top, right, bottom;
};
Area Inside(PixelArray dst, int64_t left, int64_t top, int64_t right, int64_t bottom) {
  return Area{std::max<int64_t>(left, 0), std::max<int64_t>(top, 0),
              std::min<int64_t>(right, dst.width), std::min<int64_t>(bottom, dst.height)};
}

void FillRows(PixelArray dst, int64_t left, int64_t top, int64_t right, int64_t bottom,
              DWORD colour) {
  const Area a = Inside(dst, left, top, right, bottom);
  for (int64_t y = a.top; y < a.bottom; ++y) {
    DWORD* row = dst.pixels + y * dst.width;
    std::fill(row + a.left, row + std::max(a.left, a.right), colour);
  }
}

DWORD Combine(DWORD s, DWORD d, DWORD operation) {
  switch (operation) {
    case kSrcPaint:
      return s | d;
    case kSrcAnd:
      return s & d;
    case kSrcInvert:
      return s ^ d;
    case kNotSrcCopy:
      return ~s;
    case kBlackness:
      return 0;
    case kWhiteness:
      return 0xFFFFFFFFu;
    default:
      return s;
  }
}

}  // namespace

void DrawRectangleOutline(PixelArray dst, int left, int top, int right, int bottom, DWORD outline) {
  if (!dst.pixels || right <= left || bottom <= top) return;
  FillRows(dst, left, top, right, int64_t{top} + 1, outline);
  FillRows(dst, left, int64_t{bottom} - 1, right, bottom, outline);
  FillRows(dst, left, top, int64_t{left} + 1, bottom, outline);
  FillRows(dst, int64_t{right} - 1, top, right, bottom, outline);
}

void DrawFilledRectangle(PixelArray dst, int left, int top, int right, int bottom, DWORD outline,
                         DWORD fill) {
  if (!dst.pixels || right <= left || bottom <= top) return;
  FillRows(dst, int64_t{left} + 1, int64_t{top} + 1, int64_t{right} - 1, int64_t{bottom} - 1, fill);
  DrawRectangleOutline(dst, left, top, right, bottom, outline);
}

void StretchColourOnColour(PixelArray src, PixelArray dst, int dstX, int dstY, int dstWidth,
                           int dstHeight) {
  if (!src.pixels) return;
  StretchRowsColourOnColour([src](int sy) { return src.pixels + int64_t{sy} * src.width; },
                            src.width, src.height, dst, dstX, dstY, dstWidth, dstHeight);
}

void StretchRowsColourOnColour(const std::function<const DWORD*(int sy)>& row, int srcWidth,
                               int srcHeight, PixelArray dst, int dstX, int dstY, int dstWidth,
                               int dstHeight) {
  if (!row || !dst.pixels || srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0) {
    return;
  }
  const Area a = Inside(dst, dstX, dstY, int64_t{dstX} + dstWidth, int64_t{dstY} + dstHeight);
  for (int64_t y = a.top; y < a.bottom; ++y) {
    const int64_t sy = (y - dstY) * srcHeight / dstHeight;
    const DWORD* in = row(static_cast<int>(sy));
    DWORD* out = dst.pixels + y * dst.width;
    for (int64_t x = a.left; x < a.right; ++x) out[x] = in[(x - dstX) * srcWidth / dstWidth];
  }
}

void CopyPixels(PixelArray src, PixelArray dst) {
  if (!src.pixels || !dst.pixels) return;
  const int width = std::min(src.width, dst.width);
  const int height = std::min(src.height, dst.height);
  if (width <= 0) return;
  ForEachRowBand(0, height, int64_t{width} * height, [&](int first, int last) {
    for (int y = first; y < last; ++y) {
      std::memcpy(dst.pixels + int64_t{y} * dst.width, src.pixels + int64_t{y} * src.width,
                  static_cast<size_t>(width) * sizeof(DWORD));
    }
  });
}

bool KnownRasterOperation(DWORD operation) {
  switch (operation) {
    case kSrcCopy:
    case kSrcPaint:
    case kSrcAnd:
    case kSrcInvert:
    case kNotSrcCopy:
    case kBlackness:
    case kWhiteness:
      return true;
    default:
      return false;
  }
}

void CopyWithRasterOperation(const unsigned char* source, int bytesPerLine, int width, int height,
                             PixelArray dst, int x, int y, DWORD operation) {
  if (!source || !dst.pixels || width <= 0 || height <= 0 || !KnownRasterOperation(operation)) {
    return;
  }
  const Area a = Inside(dst, x, y, int64_t{x} + width, int64_t{y} + height);
  for (int64_t row = a.top; row < a.bottom; ++row) {
    // Source rows are stored bottom row first.
    const unsigned char* in = source + (height - 1 - (row - y)) * int64_t{bytesPerLine};
    DWORD* out = dst.pixels + row * dst.width;
    for (int64_t column = a.left; column < a.right; ++column) {
      DWORD s;
      std::memcpy(&s, in + (column - x) * 4, sizeof s);
      out[column] = Combine(s, out[column], operation) & 0x00FFFFFFu;
    }
  }
}

}  // namespace vorlane::detail
