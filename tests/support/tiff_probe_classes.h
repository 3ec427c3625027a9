// Image classes derived as a host would derive them, for the TIFF tests: they open the pixel
// rows, and one of them reads palette files.
#pragma once

#include "support/sample_images.h"
#include "vorlane/vorlane.h"

namespace tifftest {

class CTiffBiLevelProbe : public sample::Probe<CBiLevelImage> {
  DECLARE_DYNCREATE(CTiffBiLevelProbe)
};
class CTiffGreyProbe : public sample::Probe<CGreyScaleImage> {
  DECLARE_DYNCREATE(CTiffGreyProbe)
};
class CTiffHiProbe : public sample::Probe<CHiColorImage> {
  DECLARE_DYNCREATE(CTiffHiProbe)
};

// Row y of an image of one of the probe classes above.
unsigned char* ProbeRow(CImage& image, int y);

// Reads the size and colour map of palette files (no pixels).
class CTiffPaletteReader : public CLoColorImage {
  DECLARE_DYNCREATE(CTiffPaletteReader)
 public:
  int CreateFromTIFF(TIFF* tif, const wchar_t* fileName) override;
  int m_secondRed = -1;  // red of palette entry 1 as the file holds it (16 bits), or -1
};

}  // namespace tifftest
