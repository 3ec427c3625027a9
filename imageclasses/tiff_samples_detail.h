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

// Packs the first 1-bit sample of each of width pixels of a decoded row into dst, most
// significant bit first, complemented when invert (WhiteIsZero files). dst has packedBytes
// bytes, at least (width + 7) / 8; bits and bytes past the width are cleared.
void PackFirstBitSamples(const uint8_t* src, uint32_t width, int samplesPerPixel, bool invert,
                         uint8_t* dst, size_t packedBytes);

// Turns width pixels of 8-bit red, green, blue samples (3 or 4 samples per pixel) into blue,
// green, red and a fourth byte: the fourth sample as it stands, or 255 without one. src may
// be dst when there are 4 samples.
void RgbRowToBgrx(const uint8_t* src, uint32_t width, int samplesPerPixel, uint8_t* dst);

// Turns count pixels of libtiff's RGBA raster (32-bit values, red in the low byte) into blue,
// green, red, alpha bytes in place.
void RasterToBgra(uint8_t* pixels, size_t count);

// Writes width pixels of blue, green, red, fourth byte as red, green, blue, fourth byte.
void BgrxToRgbx(const uint8_t* src, uint32_t width, uint8_t* dst);

}  // namespace vorlane::detail
