// The bi-level view: the page's pixels packed eight to a byte into a two-entry palette PNG.
#include "vorlane/bilevel_view.h"

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

}  // namespace vorlane
