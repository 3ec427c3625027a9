// Archive records of CImage and CImageMap.
#include "imageclasses/image.h"
#include "imageclasses/imagemap.h"
#include "platform/archive.h"

void CImage::Serialize(CArchive& ar) { CObject::Serialize(ar); }

void CImageMap::Serialize(CArchive& ar) { CObject::Serialize(ar); }

#include "imageclasses/bilevelimage.h"
#include "imageclasses/greyscaleimage.h"
#include "imageclasses/hicolorimage.h"
#include "imageclasses/locolorimage.h"

void CBiLevelImage::Serialize(CArchive& ar) { CImage::Serialize(ar); }
void CGreyScaleImage::Serialize(CArchive& ar) { CImage::Serialize(ar); }
void CLoColorImage::Serialize(CArchive& ar) { CImage::Serialize(ar); }
void CHiColorImage::Serialize(CArchive& ar) { CImage::Serialize(ar); }
