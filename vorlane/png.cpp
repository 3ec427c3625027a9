// The PNG writer of display bitmaps.
#include "vorlane/png.h"

#include <cstdint>

#include "kernels/png/png_encoder.h"
#include "kernels/png/png_file.h"

namespace vorlane {

bool WritePng(const CBitmap& bitmap, const std::filesystem::path& path) {
  const DWORD* pixels = bitmap.Pixels();
  if (!pixels || bitmap.Width() <= 0 || bitmap.Height() <= 0) return false;
  // Few colours (components, overlays of labels) make a palette picture, a quarter of the
  // bytes to deflate; photographs of pages stay RGB.
  static_assert(sizeof(DWORD) == sizeof(std::uint32_t));
  const auto* argb = reinterpret_cast<const std::uint32_t*>(pixels);
  detail::PngPicture picture;
  if (!detail::PalettePicture(argb, bitmap.Width(), bitmap.Height(), picture))
    detail::RgbPicture(argb, bitmap.Width(), bitmap.Height(), picture);
  return detail::WritePngFile(picture, path);
}

}  // namespace vorlane
