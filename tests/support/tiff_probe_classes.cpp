// Image classes derived as a host would derive them, for the TIFF tests.
#include "support/tiff_probe_classes.h"

#include <tiffio.h>

namespace tifftest {

IMPLEMENT_DYNCREATE(CTiffBiLevelProbe, CBiLevelImage)
IMPLEMENT_DYNCREATE(CTiffGreyProbe, CGreyScaleImage)
IMPLEMENT_DYNCREATE(CTiffHiProbe, CHiColorImage)
IMPLEMENT_DYNCREATE(CTiffPaletteReader, CLoColorImage)

unsigned char* ProbeRow(CImage& image, int y) {
  if (auto* bits = dynamic_cast<CTiffBiLevelProbe*>(&image)) return bits->Row(y);
  if (auto* grey = dynamic_cast<CTiffGreyProbe*>(&image)) return grey->Row(y);
  return dynamic_cast<CTiffHiProbe&>(image).Row(y);
}

int CTiffPaletteReader::CreateFromTIFF(TIFF* tif, const wchar_t* fileName) {
  uint32_t width = 0, height = 0;
  uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
  if (!tif || !TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) ||
      !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height) ||
      !TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue)) {
    return 0;
  }
  m_secondRed = red[1];
  return CImage::Create(static_cast<int>(width), static_cast<int>(height), 0, fileName);
}

}  // namespace tifftest
