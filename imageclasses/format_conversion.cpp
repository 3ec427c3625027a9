// Conversion, duplication and backups of the four pixel formats.
#include "imageclasses/bilevelimage.h"
#include "imageclasses/greyscaleimage.h"
#include "imageclasses/hicolorimage.h"
#include "imageclasses/locolorimage.h"

#define VORLANE_PENDING_CONVERSIONS(cls)                        \
  int cls::CreateDuplicate(CImage*, int) { return 0; }          \
  int cls::CreateFromImage(CImage*, unsigned char) { return 0; } \
  int cls::DiscardBackup() { return 0; }                        \
  void cls::RestoreBackup() {}                                  \
  int cls::CreateBackup() { return 0; }

VORLANE_PENDING_CONVERSIONS(CBiLevelImage)
VORLANE_PENDING_CONVERSIONS(CGreyScaleImage)
VORLANE_PENDING_CONVERSIONS(CLoColorImage)
VORLANE_PENDING_CONVERSIONS(CHiColorImage)
void CHiColorImage::SetReferenceImage(CImage*) {}
