// Rectangles, stretched copies and raster-operation copies between 32-bit pixel arrays
// (pixels 0x00RRGGBB, rows top row first).
#pragma once

#include <functional>

#include "platform/types.h"

namespace vorlane::detail {

// A 32-bit pixel array: width x height pixels, row y at pixels + y * width.
struct PixelArray {
  DWORD* pixels = nullptr;
  int width = 0;
  int height = 0;
};

// Draws the rectangle [left, right) x [top, bottom) as a graphics rectangle does with a
// one-pixel pen and a solid brush: its outermost rows and columns take outline, the inside
// takes fill. The parts outside dst are left out.
void DrawFilledRectangle(PixelArray dst, int left, int top, int right, int bottom, DWORD outline,
                         DWORD fill);

// Draws only the one-pixel outline of [left, right) x [top, bottom) (hollow brush).
void DrawRectangleOutline(PixelArray dst, int left, int top, int right, int bottom, DWORD outline);

// Stretches the whole of src into the dstWidth x dstHeight rectangle of dst at (dstX, dstY)
// by deleting or repeating rows and columns (no blending): destination pixel (i, j) takes
// source pixel (i * src.width / dstWidth, j * src.height / dstHeight). Only the source
// pixels that are kept are read. Destination pixels outside dst are left out; an empty
// source or rectangle copies nothing.
void StretchColourOnColour(PixelArray src, PixelArray dst, int dstX, int dstY, int dstWidth,
                           int dstHeight);

// The same stretch from a source of srcWidth x srcHeight pixels whose row sy row(sy) gives
// (srcWidth pixels); row is called once for each destination row, top to bottom.
void StretchRowsColourOnColour(const std::function<const DWORD*(int sy)>& row, int srcWidth,
                               int srcHeight, PixelArray dst, int dstX, int dstY, int dstWidth,
                               int dstHeight);

// Raster operations of a copy: destination from source (S) and destination (D).
inline constexpr DWORD kSrcCopy = 0x00CC0020;     // S
inline constexpr DWORD kSrcPaint = 0x00EE0086;    // S | D
inline constexpr DWORD kSrcAnd = 0x008800C6;      // S & D
inline constexpr DWORD kSrcInvert = 0x00660046;   // S ^ D
inline constexpr DWORD kNotSrcCopy = 0x00330008;  // ~S
inline constexpr DWORD kBlackness = 0x00000042;   // 0
inline constexpr DWORD kWhiteness = 0x00FF0062;   // all ones

// Whether CopyWithRasterOperation knows operation.
bool KnownRasterOperation(DWORD operation);

// Combines the width x height pixels of source (rows of bytesPerLine bytes, bottom row
// first, 4 bytes per pixel blue, green, red, unused) into dst at (x, y) with a known
// raster operation, 1:1; the fourth byte of each written pixel is 0. Pixels outside dst are
// left out; an unknown operation writes nothing.
void CopyWithRasterOperation(const unsigned char* source, int bytesPerLine, int width, int height,
                             PixelArray dst, int x, int y, DWORD operation);

}  // namespace vorlane::detail
