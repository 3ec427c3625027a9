// Conversion between decoded TIFF rows and the pixel rows of the image formats.
#include "kernels/io/tiff_samples.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VORLANE_X86 1
#endif

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

// Three-sample pixels from x on: red, green, blue become blue, green, red, 255.
void RgbToBgrxFrom(const uint8_t* src, uint32_t x, uint32_t width, uint8_t* dst) {
  for (; x < width; ++x) {
    const uint8_t* in = src + 3 * static_cast<size_t>(x);
    uint8_t* out = dst + 4 * static_cast<size_t>(x);
    out[0] = in[2];
    out[1] = in[1];
    out[2] = in[0];
    out[3] = 0xFF;
  }
}

#ifdef VORLANE_X86

// Three-sample rows with one byte shuffle per four pixels. Each step reads 16 bytes for the
// 12 it converts, so it stops while 16 bytes remain in the row.
// Non-temporal stores (stream) bypass the cache and skip reading the lines they fill; they
// need 16-byte aligned destinations.
__attribute__((target("ssse3"))) void RgbToBgrxSsse3(const uint8_t* src, uint32_t width,
                                                     uint8_t* dst, bool stream) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1);
  const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  uint32_t x = 0;
  if (stream && reinterpret_cast<uintptr_t>(dst) % 16 == 0) {
    for (; x + 6 <= width; x += 4) {
      const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 3 * size_t{x}));
      _mm_stream_si128(reinterpret_cast<__m128i*>(dst + 4 * size_t{x}),
                       _mm_or_si128(_mm_shuffle_epi8(in, order), opaque));
    }
    _mm_sfence();
  }
  for (; x + 6 <= width; x += 4) {
    const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 3 * size_t{x}));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * size_t{x}),
                     _mm_or_si128(_mm_shuffle_epi8(in, order), opaque));
  }
  RgbToBgrxFrom(src, x, width, dst);
}

void RgbToBgrxPlain(const uint8_t* src, uint32_t width, uint8_t* dst, bool) {
  RgbToBgrxFrom(src, 0, width, dst);
}

// The shuffle where the processor has it.
void RgbToBgrx(const uint8_t* src, uint32_t width, uint8_t* dst, bool stream) {
  static const auto kernel = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3") ? RgbToBgrxSsse3 : RgbToBgrxPlain;
  }();
  kernel(src, width, dst, stream);
}

#else

void RgbToBgrx(const uint8_t* src, uint32_t width, uint8_t* dst, bool) {
  RgbToBgrxFrom(src, 0, width, dst);
}

#endif

// The levels of the samples packed into each byte value: 8 / bits samples of bits bits,
// most significant first, each scaled exactly to 0-255 (v * 255 / max, rounded).
template <int bits>
const std::array<std::array<uint8_t, 8 / bits>, 256>& PackedLevels() {
  static const auto table = [] {
    constexpr uint32_t maxValue = (1u << bits) - 1;
    std::array<std::array<uint8_t, 8 / bits>, 256> t{};
    for (uint32_t byte = 0; byte < 256; ++byte)
      for (int i = 0; i < 8 / bits; ++i) {
        const uint32_t v = (byte >> (8 - bits * (i + 1))) & maxValue;
        t[byte][static_cast<size_t>(i)] = static_cast<uint8_t>((v * 255 + maxValue / 2) / maxValue);
      }
    return t;
  }();
  return table;
}

// Single-sample rows of 2 or 4 bits: whole source bytes through the table, then the rest.
template <int bits>
void ExpandPackedGrey(const uint8_t* src, uint32_t width, uint8_t flip, uint8_t* dst) {
  constexpr uint32_t perByte = 8 / bits;
  const auto& table = PackedLevels<bits>();
  const uint32_t whole = width / perByte;
  for (uint32_t i = 0; i < whole; ++i) {
    const auto& levels = table[src[i]];
    for (uint32_t k = 0; k < perByte; ++k) dst[i * perByte + k] = levels[k] ^ flip;
  }
  for (uint32_t x = whole * perByte; x < width; ++x)
    dst[x] = table[src[whole]][x - whole * perByte] ^ flip;
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
  } else if (bits == 4 && stride == 1) {
    ExpandPackedGrey<4>(src, width, flip, dst);
  } else if (bits == 2 && stride == 1) {
    ExpandPackedGrey<2>(src, width, flip, dst);
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
#ifdef VORLANE_X86
  // Sixteen pixels at a time: the bytes of each half are put in reverse order (pixel 0 last),
  // the low bit of every byte is shifted into its top bit, and movemask gathers the top bits
  // (bit i from byte i), so that each half gives one byte with its first pixel on top.
  for (; x + 16 <= width; x += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x));
    v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));  // swap bytes in words
    v = _mm_shufflelo_epi16(v, _MM_SHUFFLE(0, 1, 2, 3));           // reverse the words
    v = _mm_shufflehi_epi16(v, _MM_SHUFFLE(0, 1, 2, 3));
    // Bit 0 of each byte becomes bit 7 of that byte (the low byte's other bits move into
    // the high byte's low bits, which movemask ignores).
    const int bits = _mm_movemask_epi8(_mm_slli_epi16(v, 7));
    dst[x / 8] = static_cast<uint8_t>(bits);
    dst[x / 8 + 1] = static_cast<uint8_t>(bits >> 8);
  }
#endif
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

void RgbRowToBgrx(const uint8_t* src, uint32_t width, int samplesPerPixel, uint8_t* dst,
                  bool pastCache) {
  if (samplesPerPixel == 4) {
    SwapRedBlue(src, width, dst);
    return;
  }
  if (samplesPerPixel == 3) {
    RgbToBgrx(src, width, dst, pastCache);
    return;
  }
  const size_t stride = static_cast<size_t>(samplesPerPixel);
  for (uint32_t x = 0; x < width; ++x, src += stride, dst += 4) {
    dst[0] = src[2];
    dst[1] = src[1];
    dst[2] = src[0];
    dst[3] = src[3];
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
