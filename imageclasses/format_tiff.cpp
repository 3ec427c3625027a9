// TIFF import and export of the bi-level, greyscale and full-colour formats.
#include "imageclasses/bilevelimage.h"
#include "imageclasses/greyscaleimage.h"
#include "imageclasses/hicolorimage.h"

int CBiLevelImage::ExportTIFF(const wchar_t*) { return 0; }
int CBiLevelImage::CreateFromTIFF(TIFF*, const wchar_t*) { return 0; }
int CGreyScaleImage::ExportTIFF(const wchar_t*) { return 0; }
int CGreyScaleImage::CreateFromTIFF(TIFF*, const wchar_t*) { return 0; }
int CHiColorImage::ExportTIFF(const wchar_t*) { return 0; }
int CHiColorImage::CreateFromTIFF(TIFF*, const wchar_t*) { return 0; }
