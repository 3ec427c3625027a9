// Device-independent bitmap descriptions of the pixel formats and the transfer of pixel
// buffers into 32-bit display pixels.
#pragma once

#include <array>
#include <functional>

#include "kernels/pixels/pixel_view.h"
#include "platform/bitmap.h"

namespace vorlane::detail {

// A new bitmap description of view's pixels (40-byte header and palette), allocated as an
// unsigned char array that the owner releases with ReleaseBitmapInfo; null for an image of
// no known format. Header: width and height of the image (positive: bottom row first),
// 1 plane, no compression, image size 0, 2835 pixels per metre both ways. Bi-level:
// 8 bits, palette black and white, 2 colours used and important. Greyscale: 8 bits, 256
// grey entries (i, i, i). Low colour: 8 bits, the 256 palette colours (a grey ramp when
// the image has no palette). High colour: 32 bits, no palette.
BITMAPINFO* NewBitmapInfo(const PixelView& view);
void ReleaseBitmapInfo(BITMAPINFO*& info);

// Transfers source (rows of bytesPerLine bytes, bottom row first, as info describes them)
// into dst (width x height pixels 0x00RRGGBB, top row first), info's width and height
// clipped to dst's. 8-bit pixels are looked up in info's palette (a value beyond the
// palette's colours is black); 32-bit pixels are copied with their fourth byte cleared.
// Other depths, a null source or a row length too short for the width transfer nothing.
// True when every pixel of dst was written. rowDone, when given, is called with each row y of
// dst as soon as it is written, on the thread that wrote it (rows of one band in turn).
bool TransferPixels(const BITMAPINFO& info, const unsigned char* source, int bytesPerLine,
                    DWORD* dst, int width, int height,
                    const std::function<void(int y)>* rowDone = nullptr);

// Single display rows of source as TransferPixels writes them, for a caller that needs only
// some rows or reads them one at a time. Valid for 8- and 32-bit pixels of a non-null source.
class DisplayRows {
 public:
  DisplayRows(const BITMAPINFO& info, const unsigned char* source, int bytesPerLine);
  bool Valid() const { return m_valid; }
  int Width() const { return m_width; }
  int Height() const { return m_height; }
  // The display pixel of each of the 256 byte values of an 8-bit source.
  const DWORD* Lookup() const { return m_lookup.data(); }
  bool EightBit() const { return m_bits == 8; }
  // Whether a row of the source holds the bytes of columns pixels.
  bool HoldsColumns(int columns) const {
    return static_cast<long long>(m_bytesPerLine) >= static_cast<long long>(columns) * (m_bits / 8);
  }
  // Writes the first columns pixels of display row y (top row 0; 0 <= y < Height(),
  // columns <= Width()) into out.
  void Row(int y, int columns, DWORD* out) const;

 private:
  const unsigned char* m_source;
  int m_bytesPerLine, m_width, m_height, m_bits;
  bool m_valid;
  std::array<DWORD, 256> m_lookup{};
};

}  // namespace vorlane::detail
