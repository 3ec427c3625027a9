// Conversion between decoded TIFF rows and the pixel rows of the image formats.
#include "imageclasses/tiff_samples_detail.h"

#include <cstring>

namespace vorlane::detail {
namespace {

// The bits-deep value (bits <= 16) at bit offset pos of a most-significant-bit-first stream.
uint32_t ReadBits(const uint8_t* src, uint64_t pos, int bits) {
  uint32_t value = 0;
  while (bits > 0) {
    const int available = 8 - static_cast<int>(pos & 7);
    const int take = available < bits ? available : bits;
    const uint32_t byte = src[pos >> 3];
    value = (value << take) | ((byte >> (available - take)) & ((1u << take) - 1));
    bits -= take;
    pos += static_cast<uint64_t>(take);
  }
  return value;
}

}  // namespace

void ConvertGreyRow(const uint8_t* src, uint32_t width, int bits, int samplesPerPixel, bool invert,
                    uint8_t* dst) {
  const uint8_t flip = invert ? 0xFF : 0x00;  // 255 - v == v ^ 0xFF for bytes
  const size_t stride = static_cast<size_t>(samplesPerPixel);
  if (bits == 8) {
    for (uint32_t x = 0; x < width; ++x) dst[x] = src[x * stride] ^ flip;
  } else if (bits == 16) {
    for (uint32_t x = 0; x < width; ++x) {
      uint16_t v;
      std::memcpy(&v, src + 2 * x * stride, sizeof v);
      dst[x] = static_cast<uint8_t>(v >> 8) ^ flip;
    }
  } else {
    const uint32_t maxValue = (1u << bits) - 1;
    const uint64_t step = uint64_t{stride} * static_cast<uint64_t>(bits);
    for (uint32_t x = 0; x < width; ++x) {
      const uint32_t v = ReadBits(src, x * step, bits);
      const uint32_t level = bits < 8 ? (v * 255 + maxValue / 2) / maxValue : v >> (bits - 8);
      dst[x] = static_cast<uint8_t>(level) ^ flip;
    }
  }
}

void PackFirstBitSamples(const uint8_t* src, uint32_t width, int samplesPerPixel, bool invert,
                         uint8_t* dst, size_t packedBytes) {
  const size_t used = (static_cast<size_t>(width) + 7) / 8;
  if (samplesPerPixel == 1) {
    if (src != dst) std::memcpy(dst, src, used);
    if (invert) {
      for (size_t i = 0; i < used; ++i) dst[i] = static_cast<uint8_t>(~dst[i]);
    }
  } else {
    std::memset(dst, 0, used);
    const uint64_t stride = static_cast<uint64_t>(samplesPerPixel);
    for (uint32_t x = 0; x < width; ++x) {
      const uint64_t pos = x * stride;
      const uint8_t bit = (src[pos >> 3] >> (7 - (pos & 7))) & 1;
      if (bit != (invert ? 1 : 0)) dst[x >> 3] |= static_cast<uint8_t>(0x80u >> (x & 7));
    }
  }
  // Bits past the width of the last byte, then the padding bytes, are 0.
  if (width % 8 != 0) dst[width / 8] &= static_cast<uint8_t>(0xFF00u >> (width % 8));
  if (packedBytes > used) std::memset(dst + used, 0, packedBytes - used);
}

void RgbRowToBgrx(const uint8_t* src, uint32_t width, int samplesPerPixel, uint8_t* dst) {
  if (samplesPerPixel >= 4) {
    const size_t stride = static_cast<size_t>(samplesPerPixel);
    for (uint32_t x = 0; x < width; ++x, src += stride, dst += 4) {
      const uint8_t red = src[0], green = src[1], blue = src[2], fourth = src[3];
      dst[0] = blue;
      dst[1] = green;
      dst[2] = red;
      dst[3] = fourth;
    }
  } else {
    for (uint32_t x = 0; x < width; ++x, src += 3, dst += 4) {
      dst[0] = src[2];
      dst[1] = src[1];
      dst[2] = src[0];
      dst[3] = 0xFF;
    }
  }
}

void RasterToBgra(uint8_t* pixels, size_t count) {
  for (size_t i = 0; i < count; ++i, pixels += 4) {
    uint32_t v;
    std::memcpy(&v, pixels, sizeof v);
    pixels[0] = static_cast<uint8_t>(v >> 16);
    pixels[1] = static_cast<uint8_t>(v >> 8);
    pixels[2] = static_cast<uint8_t>(v);
    pixels[3] = static_cast<uint8_t>(v >> 24);
  }
}

void BgrxToRgbx(const uint8_t* src, uint32_t width, uint8_t* dst) {
  for (uint32_t x = 0; x < width; ++x, src += 4, dst += 4) {
    dst[0] = src[2];
    dst[1] = src[1];
    dst[2] = src[0];
    dst[3] = src[3];
  }
}

}  // namespace vorlane::detail
