// Connected component analysis and bounding boxes of the black pixels of bi-level images.
#include <algorithm>

#include "imageclasses/bilevelimage.h"
#include "kernels/components/run_labelling.h"

int CBiLevelImage::CCAnalysis(int bConnect8) {
  vorlane::detail::RunListCollector runs;
  vorlane::detail::LabelForest forest;
  if (HasPixels(m_ppLines)) {
    forest = vorlane::detail::LabelRuns(
        m_ppLines, 0, 0, m_nWidth, m_nHeight, bConnect8 != 0, vorlane::detail::BlackPixelRuns(),
        runs, [this](int done, int rows) { Progress_KeepAlive(done, rows); });
  }
  AdoptLabelledComponents(forest, runs, 1);
  return 1;
}

int CBiLevelImage::BBAnalysis(RECT** ppRects, int* pnRects, CRect rcArea, int bConnect8) {
  if (!ppRects || !pnRects) return 0;
  *ppRects = nullptr;
  *pnRects = 0;
  // (-1, -1, -1, -1) is the whole image; any other area is clipped to it (right and bottom
  // exclusive).
  int left = 0, top = 0, right = m_nWidth, bottom = m_nHeight;
  if (rcArea.left != -1 || rcArea.top != -1 || rcArea.right != -1 || rcArea.bottom != -1) {
    left = std::max<int>(rcArea.left, 0);
    top = std::max<int>(rcArea.top, 0);
    right = std::min<int>(rcArea.right, m_nWidth);
    bottom = std::min<int>(rcArea.bottom, m_nHeight);
  }
  if (!HasPixels(m_ppLines) || left >= right || top >= bottom) return 1;

  vorlane::detail::BoxCollector boxes;
  const vorlane::detail::LabelForest forest = vorlane::detail::LabelRuns(
      m_ppLines, left, top, right, bottom, bConnect8 != 0, vorlane::detail::BlackPixelRuns(), boxes,
      [this](int done, int rows) { Progress_KeepAlive(done, rows); });
  const int count = forest.AliveCount();
  if (count == 0) return 1;
  RECT* rects = new RECT[static_cast<size_t>(count)];
  int n = 0;
  for (int label = 0; label < forest.Count(); ++label) {
    if (!forest.Alive(label)) continue;
    const auto& box = boxes.BoxOf(label);
    rects[n++] = RECT{box.left, box.top, box.right, box.bottom};
  }
  *ppRects = rects;
  *pnRects = count;
  return 1;
}
