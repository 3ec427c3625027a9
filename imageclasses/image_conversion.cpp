// Format-independent parts of conversion and duplication, and the map-list exchanges.
#include "imageclasses/image.h"
#include "imageclasses/imagemap.h"

int CImage::CreateDuplicate(CImage*, int) { return 0; }
int CImage::CreateFromImage(CImage*, unsigned char) { return 0; }
int CImage::CopyMapArrays(CImage*) { return 0; }
int CImage::SwapMapArrays(CImage*) { return 0; }
