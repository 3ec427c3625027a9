// Overflow-safe sizes of pixel buffers and rows.
#pragma once

#include <cstdint>

namespace vorlane::detail {

// Largest pixel buffer or map an image may hold, in bytes: the pixel loops index rows
// with int offsets, and pixel counts are kept as 32-bit values.
inline constexpr int64_t kMaxBufferBytes = INT32_MAX;

// Bytes of a row of width pixels of bitsPerPixel bits, padded to whole 32-bit words;
// -1 when width or bitsPerPixel is negative or the row exceeds kMaxBufferBytes.
inline int64_t PaddedRowBytes(int64_t width, int64_t bitsPerPixel) {
  if (width < 0 || bitsPerPixel < 0) return -1;
  const int64_t bytes = ((width * bitsPerPixel + 31) & ~int64_t{31}) / 8;
  return bytes > kMaxBufferBytes ? -1 : bytes;
}

// True when a buffer of rowBytes x height bytes is allowed (both non-negative and the
// product within kMaxBufferBytes).
inline bool BufferSizeAllowed(int64_t rowBytes, int64_t height) {
  if (rowBytes < 0 || height < 0) return false;
  return rowBytes == 0 || height <= kMaxBufferBytes / rowBytes;
}

}  // namespace vorlane::detail
