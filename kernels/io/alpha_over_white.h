// Pictures with an alpha channel laid over white paper.
#pragma once

#include <cstdint>

namespace vorlane::detail {

// The level of a sample v of opacity alpha (0 transparent, 255 opaque) over white:
// (v * alpha + 255 * (255 - alpha)) / 255, rounded to nearest.
inline uint8_t OverWhite(uint32_t v, uint32_t alpha) {
  return static_cast<uint8_t>((v * alpha + 255 * (255 - alpha) + 127) / 255);
}

// Writes the grey levels of width grey and alpha pairs (2 bytes per pixel) at src over
// white to dst (1 byte per pixel). dst may be src.
void GreyAlphaOverWhite(const uint8_t* src, uint32_t width, uint8_t* dst);

// Lays width blue, green, red, alpha pixels over white in place; the fourth byte becomes 255.
void BgraOverWhite(uint8_t* pixels, uint32_t width);

}  // namespace vorlane::detail
