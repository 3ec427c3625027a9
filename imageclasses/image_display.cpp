// Display state of CImage: the display bitmap, its rebuild and the drawing settings.
// The bitmap content (overlays, thumbnails, titles) is built by the display code.
#include "imageclasses/image.h"

CBitmap* CImage::GetBitmap() {
  if (m_bDirty) RequestUpdate();
  return &m_Bitmap;
}

void CImage::RequestUpdate() { m_bDirty = 0; }
void CImage::UpdateColourMap(int) {}
void CImage::UpdateThumbnail() {}
void CImage::ShowPhysicalStructure(CBitmap*) {}
CString CImage::GetTitle(unsigned short) { return CString(m_pszName); }

void CImage::DrawSetLimits(CRect limits) { m_rcDrawLimits = limits; }
void CImage::DrawSetForeColor(unsigned long colour) { m_crDrawFore = static_cast<DWORD>(colour); }
void CImage::DrawSetBackColor(unsigned long colour) { m_crDrawBack = static_cast<DWORD>(colour); }
