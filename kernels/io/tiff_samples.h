// Conversion between decoded TIFF rows and the pixel rows of the image formats.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vorlane::detail {

// Writes the grey level of the first sample of each of width pixels of a decoded row to dst.
// Samples are unsigned, bits deep (1 to 16), samplesPerPixel per pixel, contiguous. Samples
// of 8 bits or less are scaled to 0..255 with rounding, v * 255 / (2^bits - 1) (exact for 1,
// 2 and 4 bits: v * 255, v * 85, v * 17); deeper ones keep their 8 most significant bits (16
// bits: the high byte of the native-order value that libtiff delivers; 9 to 15 bits are a
// most-significant-bit-first bit stream). invert stores 255 - level (WhiteIsZero files).
void ConvertGreyRow(const uint8_t* src, uint32_t width, int bits, int samplesPerPixel, bool invert,
                    uint8_t* dst);

// Writes the first 1-bit sample of each of width pixels of a decoded row to dst as one byte
// per pixel: 1 for a set bit, 0 for a clear one, the other way round when invert
// (WhiteIsZero files).
void UnpackFirstBitSamples(const uint8_t* src, uint32_t width, int samplesPerPixel, bool invert,
                           uint8_t* dst);

// Packs width pixel bytes (the low bit of each: 1 white, 0 black) into (width + 7) / 8 bytes,
// most significant bit first; the bits past the width are 0.
void PackPixelBits(const uint8_t* src, uint32_t width, uint8_t* dst);

// Exchanges the first and third byte of each of count 4-byte pixels: red, green, blue, x
// becomes blue, green, red, x and back. src may be dst.
void SwapRedBlue(const uint8_t* src, size_t count, uint8_t* dst);

// Turns width pixels of 8-bit red, green, blue samples (3 or more samples per pixel) into
// blue, green, red and a fourth byte: the fourth sample as it stands, or 255 without one.
// src may be dst when there are 4 samples. pastCache writes three-sample rows around the
// cache, for pages too large to stay in it.
void RgbRowToBgrx(const uint8_t* src, uint32_t width, int samplesPerPixel, uint8_t* dst,
                  bool pastCache = false);

// Turns count pixels of libtiff's RGBA raster (32-bit values, red in the low byte) into blue,
// green, red, alpha bytes in place.
void RasterToBgra(uint8_t* pixels, size_t count);

}  // namespace vorlane::detail
