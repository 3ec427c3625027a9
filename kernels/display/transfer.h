// Device-independent bitmap descriptions of the pixel formats and the transfer of pixel
// buffers into 32-bit display pixels.
#pragma once

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

}  // namespace vorlane::detail
