// Image classes derived as a host would derive them, for the TIFF tests: they open the pixel
// rows.
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

}  // namespace tifftest
