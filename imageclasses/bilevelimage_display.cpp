// CBiLevelImage drawing of its component list into its pixels.
#include <algorithm>
#include <cstring>

#include "imageclasses/bilevelimage.h"
#include "imageclasses/comp.h"

void CBiLevelImage::DrawComponents(unsigned long colour) {
  if (!HasPixels(m_ppLines)) return;
  const unsigned char value =
      (GetRValue(colour) < 129 && GetGValue(colour) < 129 && GetBValue(colour) < 129) ? 0 : 1;
  for (int y = 0; y < m_nHeight; ++y) std::memset(m_ppLines[y], 1, static_cast<size_t>(m_nWidth));
  for (int i = 0; i < m_nComponents; ++i) {
    CComp* comp = m_ppComponents[i];
    if (!comp) continue;
    const tagCompRun* runs = comp->GetRun(0);
    for (int r = 0; r < comp->GetMaxRun(); ++r) {
      const tagCompRun& run = runs[r];
      if (run.y < 0 || run.y >= m_nHeight) continue;
      const int xl = std::max(run.xl, 0);
      const int xr = std::min(run.xr, m_nWidth - 1);
      if (xl <= xr) std::memset(m_ppLines[run.y] + xl, value, static_cast<size_t>(xr - xl + 1));
    }
  }
}
