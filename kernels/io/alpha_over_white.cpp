// Pictures with an alpha channel laid over white paper.
#include "kernels/io/alpha_over_white.h"

namespace vorlane::detail {

void GreyAlphaOverWhite(const uint8_t* src, uint32_t width, uint8_t* dst) {
  // Front to back: pixel x is read (bytes 2x, 2x + 1) before byte x is written.
  for (uint32_t x = 0; x < width; ++x) dst[x] = OverWhite(src[2 * x], src[2 * x + 1]);
}

void BgraOverWhite(uint8_t* pixels, uint32_t width) {
  for (uint32_t x = 0; x < width; ++x, pixels += 4) {
    const uint32_t alpha = pixels[3];
    if (alpha != 255) {
      pixels[0] = OverWhite(pixels[0], alpha);
      pixels[1] = OverWhite(pixels[1], alpha);
      pixels[2] = OverWhite(pixels[2], alpha);
    }
    pixels[3] = 255;
  }
}

}  // namespace vorlane::detail
