// The component list of CImage.
#include "imageclasses/comp.h"
#include "imageclasses/image.h"

CComp* CImage::GetComponent(int i) const {
  if (i < 0 || i >= m_nComponents) return nullptr;
  return m_ppComponents[i];
}

void CImage::FreeComponents() {
  for (int i = 0; i < m_nComponents; ++i) delete m_ppComponents[i];
  delete[] m_ppComponents;
  m_ppComponents = nullptr;
  m_nComponents = 0;
  if (m_ImageUpdate.wFlags & IU_SHOW_COMPONENTS) m_bDirty = 1;
}

void CImage::CCAnalysisFromMap(int, unsigned char, unsigned short, int, int) {}
