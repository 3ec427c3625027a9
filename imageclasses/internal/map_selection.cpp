// Map views and byte selections of the per-pixel kernels.
#include "imageclasses/internal/map_selection.h"

#include "imageclasses/image.h"
#include "imageclasses/imagemap.h"

namespace vorlane::detail {

MapRows RowsOf(CImageMap* map, int width, int height) {
  if (!map || map->GetWidth() != width || map->GetHeight() != height || width <= 0 || height <= 0) {
    return {};
  }
  return MapRows{map->GetLine(0), width};
}

ByteSelection OfType(CImageMap* map, const MapRows& rows, unsigned char label, bool negate) {
  ByteSelection s;
  s.map = rows;
  s.all = negate;
  for (int b = 0; b < 256; ++b) {
    const bool of = map && map->ByteIsOfType(static_cast<unsigned char>(b), label);
    s.accept[b] = negate ? !of : of;
  }
  return s;
}

}  // namespace vorlane::detail

namespace vorlane::detail {

CurrentMapBackground CurrentBackground(const CImage& image) {
  CImageMap* map = image.GetCurrentMap();
  if (!map) return {};
  return {RowsOf(map, image.GetWidth(), image.GetHeight()), map->GetPTByteLabel(L"Background")};
}

ByteSelection NotMarkedBackground(const CImage& image) {
  const CurrentMapBackground bg = CurrentBackground(image);
  return WithoutBits(bg.rows, bg.label);
}

ByteSelection ForegroundPixels(const CImage& image) {
  CImageMap* map = image.GetCurrentMap();
  const unsigned char label = map ? map->GetPTByteLabel(L"Background") : 0;
  return OfType(map, RowsOf(map, image.GetWidth(), image.GetHeight()), label, true);
}

ByteSelection HistogramSelection(const CImage& image, unsigned char mode, int mapIndex,
                                 unsigned char pixelType) {
  switch (mode) {
    case 0:
      return NotMarkedBackground(image);
    case 1:
      return ByteSelection{};
    case 2:
    case 3: {
      CImageMap* map = image.GetImageMap(mapIndex);
      return OfType(map, RowsOf(map, image.GetWidth(), image.GetHeight()), pixelType, mode == 3);
    }
    default: {
      ByteSelection none;
      none.all = false;
      return none;
    }
  }
}

ByteSelection LabelledPixels(const CImage& image, int mapIndex, unsigned char label) {
  if (mapIndex == -1) {
    const CurrentMapBackground bg = CurrentBackground(image);
    return WithBits(bg.rows, bg.label);
  }
  CImageMap* map = image.GetImageMap(mapIndex);
  return WithBits(RowsOf(map, image.GetWidth(), image.GetHeight()), label);
}

}  // namespace vorlane::detail
