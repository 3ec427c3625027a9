// Views of a page's own pixels: bi-level pixels packed eight to a byte into a two-entry
// palette PNG, grey levels through a palette of the 256 greys, colour as RGB.
#include "vorlane/bilevel_view.h"

#include <algorithm>

#include "imageclasses/image.h"
#include "imageclasses/internal/format_access.h"
#include "kernels/png/png_encoder.h"
#include "kernels/png/png_file.h"

namespace vorlane {

bool WriteBiLevelPng(CImage& page, const std::filesystem::path& path) {
  using namespace vorlane::detail;
  const PixelView view = FormatAccess::View(&page);
  if (view.format != PixelFormat::kBiLevel || !view.HasPixels() || view.width <= 0 ||
      view.height <= 0)
    return false;
  PngPicture picture;
  picture.width = view.width;
  picture.height = view.height;
  picture.bitDepth = 1;
  picture.palette = {0, 0, 0, 255, 255, 255};  // index 0 black, 1 white
  // A bi-level pixel is one byte, non-zero for white; PNG packs the first pixel highest.
  picture.row = [view](int y, unsigned char* out) {
    const unsigned char* src = view.rows[y];
    const int whole = view.width / 8;
    for (int b = 0; b < whole; ++b, src += 8) {
      unsigned char bits = 0;
      for (int i = 0; i < 8; ++i) bits = static_cast<unsigned char>(bits << 1 | (src[i] != 0));
      out[b] = bits;
    }
    if (const int rest = view.width % 8) {
      unsigned char bits = 0;
      for (int i = 0; i < rest; ++i) bits = static_cast<unsigned char>(bits << 1 | (src[i] != 0));
      out[whole] = static_cast<unsigned char>(bits << (8 - rest));
    }
  };
  return WritePngFile(picture, path);
}

bool WritePagePng(CImage& page, const std::filesystem::path& path) {
  using namespace vorlane::detail;
  const PixelView view = FormatAccess::View(&page);
  if (view.format == PixelFormat::kBiLevel) return WriteBiLevelPng(page, path);
  if ((view.format != PixelFormat::kGreyScale && view.format != PixelFormat::kHiColour) ||
      !view.HasPixels() || view.width <= 0 || view.height <= 0)
    return false;
  PngPicture picture;
  picture.width = view.width;
  picture.height = view.height;
  if (view.format == PixelFormat::kGreyScale) {
    for (int level = 0; level < 256; ++level)
      picture.palette.insert(picture.palette.end(), 3, static_cast<unsigned char>(level));
    picture.row = [view](int y, unsigned char* out) { std::copy_n(view.rows[y], view.width, out); };
  } else {
    // Blue, green, red and a fourth byte per pixel into red, green, blue.
    picture.row = [view](int y, unsigned char* out) {
      const unsigned char* src = view.rows[y];
      for (int x = 0; x < view.width; ++x, src += 4, out += 3) {
        out[0] = src[2];
        out[1] = src[1];
        out[2] = src[0];
      }
    };
  }
  return WritePngFile(picture, path);
}

}  // namespace vorlane
