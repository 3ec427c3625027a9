// New images of the library's own classes for pictures decoded from files.
#include "vorlane/io/new_image.h"

#include "imageclasses/bilevelimage.h"
#include "imageclasses/greyscaleimage.h"
#include "imageclasses/hicolorimage.h"
#include "imageclasses/internal/format_access.h"
#include "kernels/io/picture_size.h"

namespace vorlane::detail {

bool MakeNewImage(NewImageFormat format, uint32_t width, uint32_t height, const wchar_t* name,
                  NewImage& out, std::string& error) {
  out = NewImage{};
  if (width == 0 || height == 0) {
    error = "the picture is empty (" + std::to_string(width) + " x " + std::to_string(height) +
            " pixels)";
    return false;
  }
  if (PictureBytes(width, height, format == NewImageFormat::kColour ? 4 : 1) < 0) {
    error = "the picture of " + std::to_string(width) + " x " + std::to_string(height) +
            " pixels exceeds the size limit of " + std::to_string(kMaxPictureBytes >> 20) + " MiB";
    return false;
  }
  std::unique_ptr<CImage> image;
  if (format == NewImageFormat::kBiLevel) {
    image = std::make_unique<CBiLevelImage>();
  } else if (format == NewImageFormat::kGrey) {
    image = std::make_unique<CGreyScaleImage>();
  } else {
    image = std::make_unique<CHiColorImage>();
  }
  // Colour 0: every byte of a new image is 0, padding included.
  if (!image->Create(static_cast<int>(width), static_cast<int>(height), 0, name)) {
    error = "no image of " + std::to_string(width) + " x " + std::to_string(height) +
            " pixels can be made";
    return false;
  }
  out.rows = FormatAccess::View(image.get()).rows;
  out.image = std::move(image);
  return true;
}

}  // namespace vorlane::detail
