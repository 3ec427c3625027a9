// The thumbnail's frame and where a picture goes in it.
#include "kernels/display/thumbnail.h"

namespace vorlane::detail {

void DrawThumbnailFrame(PixelArray thumbnail) {
  constexpr DWORD kBlue = 0x000000FFu;  // pure blue as a display pixel
  constexpr DWORD kBlack = 0;
  DrawFilledRectangle(thumbnail, 0, 0, kThumbnailSide, kThumbnailSide, kBlack, kBlue);
}

ThumbnailPlace PlaceInThumbnail(int width, int height) {
  if (width <= 0 || height <= 0) return {};
  const float scale = width / height >= 1 ? 100.0f / static_cast<float>(width)
                                          : 100.0f / static_cast<float>(height);
  ThumbnailPlace place;
  place.width = static_cast<int>(static_cast<float>(width) * scale);
  place.height = static_cast<int>(static_cast<float>(height) * scale);
  place.x = (kThumbnailSide - place.width) / 2;
  place.y = (kThumbnailSide - place.height) / 2;
  return place;
}

}  // namespace vorlane::detail
