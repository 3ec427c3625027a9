// Image classes derived as a host would derive them, for the TIFF tests.
#include "support/tiff_probe_classes.h"

namespace tifftest {

IMPLEMENT_DYNCREATE(CTiffBiLevelProbe, CBiLevelImage)
IMPLEMENT_DYNCREATE(CTiffGreyProbe, CGreyScaleImage)
IMPLEMENT_DYNCREATE(CTiffHiProbe, CHiColorImage)

unsigned char* ProbeRow(CImage& image, int y) {
  if (auto* bits = dynamic_cast<CTiffBiLevelProbe*>(&image)) return bits->Row(y);
  if (auto* grey = dynamic_cast<CTiffGreyProbe*>(&image)) return grey->Row(y);
  return dynamic_cast<CTiffHiProbe&>(image).Row(y);
}

}  // namespace tifftest
