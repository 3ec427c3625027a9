// Conversion between decoded TIFF rows and the pixel rows of the image formats.
#include "kernels/io/tiff_samples.h"

#include <array>
#include <bit>
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

void UnpackFirstBitSamples(const uint8_t* src, uint32_t width, int samplesPerPixel, bool invert,
                           uint8_t* dst) {
  const uint8_t flip = invert ? 1 : 0;
  uint32_t x = 0;
  if (samplesPerPixel == 1) {
    // Eight pixels per source byte through a table of their eight pixel bytes.
    static const std::array<uint64_t, 256> kPixels = [] {
      std::array<uint64_t, 256> table{};
      for (int byte = 0; byte < 256; ++byte) {
        uint8_t pixels[8];
        for (int bit = 0; bit < 8; ++bit) pixels[bit] = (byte >> (7 - bit)) & 1;
        std::memcpy(&table[static_cast<size_t>(byte)], pixels, 8);
      }
      return table;
    }();
    const uint8_t mask = invert ? 0xFF : 0x00;
    for (; x + 8 <= width; x += 8) {
      std::memcpy(dst + x, &kPixels[static_cast<uint8_t>(src[x / 8] ^ mask)], 8);
    }
  }
  const uint64_t stride = static_cast<uint64_t>(samplesPerPixel);
  for (; x < width; ++x) {
    const uint64_t pos = x * stride;
    dst[x] = ((src[pos >> 3] >> (7 - (pos & 7))) & 1) ^ flip;
  }
}

void PackPixelBits(const uint8_t* src, uint32_t width, uint8_t* dst) {
  uint32_t x = 0;
  if constexpr (std::endian::native == std::endian::little) {
    // Eight pixels at a time: the multiplication gathers the low bit of byte i of v into bit
    // 7 - i of the top byte (the partial products never overlap, so nothing carries).
    for (; x + 8 <= width; x += 8) {
      uint64_t v;
      std::memcpy(&v, src + x, 8);
      dst[x / 8] =
          static_cast<uint8_t>(((v & 0x0101010101010101ull) * 0x8040201008040201ull) >> 56);
    }
  }
  for (; x < width; x += 8) {
    uint8_t byte = 0;
    for (uint32_t i = 0; i < 8 && x + i < width; ++i) {
      byte |= static_cast<uint8_t>((src[x + i] & 1) << (7 - i));
    }
    dst[x / 8] = byte;
  }
}

void SwapRedBlue(const uint8_t* src, size_t count, uint8_t* dst) {
  for (size_t i = 0; i < count; ++i, src += 4, dst += 4) {
    if constexpr (std::endian::native == std::endian::little) {
      // Bytes 0 and 2 are bits 0-7 and 16-23 of the little-endian value.
      uint32_t v;
      std::memcpy(&v, src, 4);
      v = (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
      std::memcpy(dst, &v, 4);
    } else {
      const uint8_t first = src[0], third = src[2];
      dst[0] = third;
      dst[1] = src[1];
      dst[2] = first;
      dst[3] = src[3];
    }
  }
}

void RgbRowToBgrx(const uint8_t* src, uint32_t width, int samplesPerPixel, uint8_t* dst) {
  if (samplesPerPixel == 4) {
    SwapRedBlue(src, width, dst);
    return;
  }
  const size_t stride = static_cast<size_t>(samplesPerPixel);
  for (uint32_t x = 0; x < width; ++x, src += stride, dst += 4) {
    dst[0] = src[2];
    dst[1] = src[1];
    dst[2] = src[0];
    dst[3] = samplesPerPixel > 3 ? src[3] : 0xFF;
  }
}

void RasterToBgra(uint8_t* pixels, size_t count) {
  if constexpr (std::endian::native == std::endian::little) {
    // The values' bytes are red, green, blue, alpha in memory.
    SwapRedBlue(pixels, count, pixels);
  } else {
    for (size_t i = 0; i < count; ++i, pixels += 4) {
      uint32_t v;
      std::memcpy(&v, pixels, sizeof v);
      pixels[0] = static_cast<uint8_t>(v >> 16);
      pixels[1] = static_cast<uint8_t>(v >> 8);
      pixels[2] = static_cast<uint8_t>(v);
      pixels[3] = static_cast<uint8_t>(v >> 24);
    }
  }
}

}  // namespace vorlane::detail
