// Component overlays of CImage: components painted in rotating or type colours, and
// chosen components tinted red and their vexed areas green.
#include <vector>

#include "imageclasses/comp.h"
#include "imageclasses/image.h"
#include "imageclasses/internal/runs.h"
#include "kernels/display/display_bitmaps.h"
#include "kernels/display/paint_runs.h"
#include "kernels/display/rotating_colours.h"

using vorlane::detail::PixelBgr;

namespace {

// Type-word bits that choose how a component is shown.
constexpr unsigned short kBlackBit = 0x02;
constexpr unsigned short kWhiteBit = 0x04;

// The colour of a component by its type word: black, else white, else green.
PixelBgr TypeColour(unsigned short type) {
  if (type & kBlackBit) return PixelBgr{0, 0, 0};
  if (type & kWhiteBit) return PixelBgr{255, 255, 255};
  return PixelBgr{0, 255, 0};
}

// The runs of comp as one array (null when it has none).
const vorlane::detail::Run* RunsOf(CComp& comp) {
  return vorlane::detail::KernelRuns(comp.GetRun(0));
}

}  // namespace

void CImage::ShowPhysicalStructure(CBitmap* bitmap) {
  CBitmap& target = bitmap ? *bitmap : m_Bitmap;
  const auto view = vorlane::detail::ViewOf(target);
  // Only 24- and 32-bit bitmaps are painted; the stand-in bitmaps are 32-bit.
  if (!view.bits || vorlane::detail::OverlayPixelStep(view.bitsPerPixel) == 0) return;
  const bool byType = (m_ImageUpdate.wFlags & IU_BLACK_WHITE) != 0;
  vorlane::detail::RotatingColours rotating;
  for (int i = 0; i < m_nComponents; ++i) {
    CComp* comp = m_ppComponents[i];
    if (!comp || (comp->GetType() & vorlane::detail::kHiddenComponentBit)) continue;
    const PixelBgr colour = byType ? TypeColour(comp->GetType()) : rotating.Current();
    vorlane::detail::PaintRuns(view, RunsOf(*comp), comp->GetMaxRun(), colour);
    rotating.Advance();
  }
}

void CImage::OverlayComponent(int* indices, int count, CBitmap* bitmap, unsigned char flags) {
  if (!indices || count < 1) return;
  CBitmap& target = bitmap ? *bitmap : m_Bitmap;
  if (!target.GetSafeHandle()) return;
  const unsigned char red = (flags & 0x04) ? 0xFF : 0xC0;
  const unsigned char green = (flags & 0x08) ? 0xFF : 0xC0;
  const auto view = vorlane::detail::ViewOf(target);
  if (!vorlane::detail::OverlayDepthAccepted(view, "CImage::OverlayComponent")) return;
  // Two passes: the red tint over the runs of every listed component first, then the green
  // tint over every listed vexed area, so a pixel in both is blended red before green.
  const auto listed = [&](int k) -> CComp* {
    const int i = indices[k];
    return i < 0 || i >= m_nComponents ? nullptr : m_ppComponents[i];
  };
  if (flags & 0x01) {
    for (int k = 0; k < count; ++k) {
      if (CComp* comp = listed(k))
        vorlane::detail::TintRuns(view, RunsOf(*comp), comp->GetMaxRun(), {0, 0, red});
    }
  }
  if (flags & 0x02) {
    for (int k = 0; k < count; ++k) {
      CComp* comp = listed(k);
      CComp* vexed = comp ? comp->GetVexed() : nullptr;
      if (vexed) vorlane::detail::TintRuns(view, RunsOf(*vexed), vexed->GetMaxRun(), {0, green, 0});
    }
  }
}

void CImage::OverlayComponent(int index, CBitmap* bitmap, unsigned char flags) {
  if (index == -1) {
    std::vector<int> all(static_cast<size_t>(m_nComponents > 0 ? m_nComponents : 0));
    for (int i = 0; i < m_nComponents; ++i) all[static_cast<size_t>(i)] = i;
    OverlayComponent(all.data(), m_nComponents, bitmap, flags);
    return;
  }
  if (index < 0 || index >= m_nComponents) return;
  OverlayComponent(&index, 1, bitmap, flags);
}
