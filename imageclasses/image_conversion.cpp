// Format-independent parts of conversion and duplication, and the copy and exchange of map
// lists between images.
#include <cstdint>
#include <utility>

#include "imageclasses/image.h"
#include "imageclasses/imagemap.h"

int CImage::CreateFromImage(CImage* source, unsigned char /*mode*/) {
  if (!source || source == this) return 0;
  m_nWidth = source->m_nWidth;
  m_nHeight = source->m_nHeight;
  m_lNumberOfPixels = static_cast<LONG>(int64_t{m_nWidth} * m_nHeight);
  m_nDPIX = m_nDPIY = m_nDPIAux = 1;
  m_wReserved = 0;
  m_nBytesPerLine = GetBytesPerLine(m_nWidth);
  m_bBackup = 0;
  m_bArraysByReference = 0;
  SetName(source->m_pszName);
  DuplicateMapList(*source);
  m_bDirty = 1;
  return 1;
}

// The same as the format-independent part of a conversion, with the source's depth. The
// sharing flag is the format's to set afterwards.
int CImage::CreateDuplicate(CImage* source, int /*byReference*/) {
  if (!source || source == this) return 0;
  m_nBitsPerPixel = source->m_nBitsPerPixel;
  return CImage::CreateFromImage(source, 0);
}

int CImage::CopyMapArrays(CImage* source) {
  if (!source || source->m_nWidth != m_nWidth || source->m_nHeight != m_nHeight) return 0;
  if (source == this) return 1;  // the list is already its own copy
  DuplicateMapList(*source);
  if (m_ImageUpdate.wFlags & IU_MAP_OVERLAY) m_bDirty = 1;
  return 1;
}

int CImage::SwapMapArrays(CImage* other) {
  if (!other || other->m_nWidth != m_nWidth || other->m_nHeight != m_nHeight) return 0;
  std::swap(m_ppImageMaps, other->m_ppImageMaps);
  std::swap(m_nImageMaps, other->m_nImageMaps);
  for (CImage* image : {this, other}) {
    for (int i = 0; i < image->m_nImageMaps; ++i) {
      CImageMap* map = image->m_ppImageMaps[i];
      map->SetImage(image);
      if (map->m_pBackup) map->m_pBackup->SetImage(image);
    }
    // The current-map index stays with its image; one that the new list does not reach
    // falls back to the first map (or to none for an empty list).
    if (image->m_nCurrentMap < 0 || image->m_nCurrentMap >= image->m_nImageMaps) {
      image->m_nCurrentMap = image->m_nImageMaps > 0 ? 0 : -1;
    }
  }
  if (m_ImageUpdate.wFlags & IU_MAP_OVERLAY) m_bDirty = 1;
  return 1;
}
