// The component list of CImage: creation, lookup, combination, removal, selection and
// neighbours of components, and the component analysis of an image map.
#include <algorithm>
#include <climits>
#include <memory>
#include <vector>

#include "imageclasses/comp.h"
#include "imageclasses/image.h"
#include "imageclasses/imagemap.h"
#include "imageclasses/internal/runs.h"
#include "kernels/components/run_labelling.h"

namespace {

// Label-window value of a pixel that belongs to no component.
constexpr int kNoComponent = -1;

// Sorts the caller's index array ascending in place (as the list operations promise) and
// returns its distinct entries that index a component of a list of `count`.
std::vector<int> SortedValidIndices(int* indices, int n, int count) {
  std::vector<int> valid;
  if (!indices || n <= 0) return valid;
  std::sort(indices, indices + n);
  for (int k = 0; k < n; ++k) {
    const int i = indices[k];
    if (i >= 0 && i < count && (valid.empty() || valid.back() != i)) valid.push_back(i);
  }
  return valid;
}

// Indices of the components that own a pixel 8-adjacent to a run of target, in discovery
// order. A pixel shared by several components counts for the last of them in list order;
// target's own pixels and pixels of no component are skipped. Candidate pixels outside the
// width x height image are clamped to its edge, as are runs lying outside it, so that only
// image pixels are looked at. Only the window that holds every candidate is painted, which
// gives the same labels there as a label map of the whole image.
std::vector<int> NeighbourIndices(CComp* const* comps, int count, CComp* target, int width,
                                  int height) {
  std::vector<int> found;
  const int runCount = target->GetMaxRun();
  if (width <= 0 || height <= 0 || runCount == 0) return found;
  auto clampX = [width](int x) { return std::clamp(x, 0, width - 1); };
  auto clampY = [height](int y) { return std::clamp(y, 0, height - 1); };

  // The window of candidate pixels: clamping is monotone, so clamping the extremes bounds
  // every clamped candidate.
  int minX = INT_MAX, maxX = INT_MIN, minY = INT_MAX, maxY = INT_MIN;
  for (int r = 0; r < runCount; ++r) {
    const CComp::tagCompRun& run = *target->GetRun(r);
    minX = std::min(minX, run.xl);
    maxX = std::max(maxX, run.xr);
    minY = std::min(minY, run.y);
    maxY = std::max(maxY, run.y);
  }
  const int left = clampX(minX == INT_MIN ? minX : minX - 1);
  const int right = clampX(maxX == INT_MAX ? maxX : maxX + 1);
  const int top = clampY(minY == INT_MIN ? minY : minY - 1);
  const int bottom = clampY(maxY == INT_MAX ? maxY : maxY + 1);
  const size_t windowWidth = static_cast<size_t>(right - left + 1);
  std::vector<int> window(windowWidth * static_cast<size_t>(bottom - top + 1), kNoComponent);
  auto at = [&](int x, int y) -> int& {
    return window[static_cast<size_t>(y - top) * windowWidth + static_cast<size_t>(x - left)];
  };

  // Paint every component's pixels inside the window, in list order.
  int own = kNoComponent;
  for (int i = 0; i < count; ++i) {
    CComp* comp = comps[i];
    if (comp == target) own = i;
    for (int r = 0; r < comp->GetMaxRun(); ++r) {
      const CComp::tagCompRun& run = *comp->GetRun(r);
      if (run.y < top || run.y > bottom || run.xr < left || run.xl > right) continue;
      std::fill(&at(std::max(run.xl, left), run.y), &at(std::min(run.xr, right), run.y) + 1, i);
    }
  }

  // Visit the ring of every run: above and below each column, then the two ends.
  std::vector<char> seen(static_cast<size_t>(count), 0);
  auto visit = [&](int x, int y) {
    const int label = at(x, y);
    if (label == kNoComponent || label == own || seen[static_cast<size_t>(label)]) return;
    seen[static_cast<size_t>(label)] = 1;
    found.push_back(label);
  };
  for (int r = 0; r < runCount; ++r) {
    const CComp::tagCompRun run = *target->GetRun(r);
    const int above = clampY(run.y == INT_MIN ? run.y : run.y - 1);
    const int below = clampY(run.y == INT_MAX ? run.y : run.y + 1);
    const int first = clampX(run.xl == INT_MIN ? run.xl : run.xl - 1);
    const int last = clampX(run.xr == INT_MAX ? run.xr : run.xr + 1);
    for (int x = first; x <= last; ++x) {
      visit(x, above);
      visit(x, below);
    }
    visit(first, clampY(run.y));
    visit(last, clampY(run.y));
  }
  return found;
}

}  // namespace

CComp* CImage::CreateNewComponent() {
  auto comp = std::make_unique<CComp>();
  auto list = std::make_unique<CComp*[]>(static_cast<size_t>(m_nComponents) + 1);
  std::copy(m_ppComponents, m_ppComponents + m_nComponents, list.get());
  list[static_cast<size_t>(m_nComponents)] = comp.get();
  delete[] m_ppComponents;
  m_ppComponents = list.release();
  ++m_nComponents;
  if (m_ImageUpdate.wFlags & IU_SHOW_COMPONENTS) m_bDirty = 1;
  return comp.release();
}

CComp* CImage::GetComponent(int i) const {
  if (i < 0 || i >= m_nComponents) return nullptr;
  return m_ppComponents[i];
}

int CImage::ComponentFromPoint(CPoint pt) {
  for (int i = 0; i < m_nComponents; ++i) {
    if (m_ppComponents[i]->PtInComponent(pt.x, pt.y)) return i;
  }
  return -1;
}

int CImage::CombineComponents(int a, int b) {
  if (a < 0 || a >= m_nComponents || b < 0 || b >= m_nComponents || a == b) return -1;
  *m_ppComponents[a] += *m_ppComponents[b];
  RemoveComponent(b);
  return a > b ? a - 1 : a;
}

int CImage::CombineComponents(int* pIndices, int n) {
  // Duplicates and indices outside the list are dropped: combining a component with itself
  // or with a nonexistent one does nothing, and a repeated index would otherwise swallow the
  // component that moved into its place.
  std::vector<int> indices = SortedValidIndices(pIndices, n, m_nComponents);
  if (indices.size() < 2) return -1;
  // From the largest index down, so that no index still to be used shifts; the absorbed
  // components then leave the list in one step.
  CComp& target = *m_ppComponents[indices.front()];
  for (size_t k = indices.size() - 1; k >= 1; --k) target += *m_ppComponents[indices[k]];
  RemoveComponent(indices.data() + 1, static_cast<int>(indices.size()) - 1);
  return indices.front();
}

int CImage::RemoveComponent(int i) {
  if (i < 0 || i >= m_nComponents) return m_nComponents;
  return RemoveComponent(&i, 1);
}

int CImage::RemoveComponent(int* pIndices, int n) {
  // Each listed component is deleted once, however often it is listed; indices outside the
  // list are ignored.
  const std::vector<int> doomed = SortedValidIndices(pIndices, n, m_nComponents);
  if (doomed.empty()) return m_nComponents;
  const int remaining = m_nComponents - static_cast<int>(doomed.size());
  std::unique_ptr<CComp*[]> list;
  if (remaining > 0) list = std::make_unique<CComp*[]>(static_cast<size_t>(remaining));
  int kept = 0;
  size_t next = 0;
  for (int i = 0; i < m_nComponents; ++i) {
    if (next < doomed.size() && doomed[next] == i) {
      delete m_ppComponents[i];
      ++next;
    } else {
      list[static_cast<size_t>(kept++)] = m_ppComponents[i];
    }
  }
  delete[] m_ppComponents;
  m_ppComponents = list.release();
  m_nComponents = remaining;
  if (m_ImageUpdate.wFlags & IU_SHOW_COMPONENTS) m_bDirty = 1;
  return m_nComponents;
}

void CImage::SelectComponent(int i, unsigned short wMode) {
  const bool inside = i >= 0 && i < m_nComponents;
  // Selects every component whose type word has typeBit set, deselects the others.
  auto selectByType = [this](unsigned short typeBit) {
    for (int k = 0; k < m_nComponents; ++k) {
      m_ppComponents[k]->Select((m_ppComponents[k]->GetType() & typeBit) != 0);
    }
  };
  if (wMode & 0x0001) {
    if (inside) m_ppComponents[i]->Select(TRUE);
  } else if (wMode & 0x0002) {
    if (inside) m_ppComponents[i]->Select(FALSE);
  } else if (wMode & 0x0004) {
    if (!inside) return;
    for (int k = 0; k < m_nComponents; ++k) m_ppComponents[k]->Select(FALSE);
    m_ppComponents[i]->Select(TRUE);
  } else if (wMode & 0x0010) {
    for (int k = 0; k < m_nComponents; ++k) m_ppComponents[k]->Select(TRUE);
  } else if (wMode & 0x0020) {
    selectByType(0x0002);
  } else if (wMode & 0x0040) {
    selectByType(0x0004);
  } else if (wMode & 0x0080) {
    selectByType(0x0001);
  }
}

int CImage::IsComponentSelected(int i) {
  if (i < 0 || i >= m_nComponents) return 0;
  return m_ppComponents[i]->IsSelected();
}

int CImage::GetNeighbours(CComp* pComp, int* pnCount, int** ppIndices) {
  if (pnCount) *pnCount = 0;
  if (ppIndices) *ppIndices = nullptr;
  if (!pComp || !pnCount || !ppIndices || m_nComponents == 0) return 0;
  const std::vector<int> found =
      NeighbourIndices(m_ppComponents, m_nComponents, pComp, m_nWidth, m_nHeight);
  if (!found.empty()) {
    *ppIndices = new int[found.size()];
    std::copy(found.begin(), found.end(), *ppIndices);
  }
  *pnCount = static_cast<int>(found.size());
  return 1;
}

int CImage::GetNeighbours(CComp* pComp, int* pnCount, std::vector<CComp*>* pComps) {
  if (pComps) pComps->clear();
  int* raw = nullptr;
  int count = 0;
  const int result = pComps ? GetNeighbours(pComp, &count, &raw) : 0;
  const std::unique_ptr<int[]> indices(raw);
  if (pnCount) *pnCount = count;
  if (!result) return 0;
  pComps->reserve(static_cast<size_t>(count));
  for (int k = 0; k < count; ++k)
    pComps->push_back(m_ppComponents[indices[static_cast<size_t>(k)]]);
  return 1;
}

void CImage::FreeComponents() {
  for (int i = 0; i < m_nComponents; ++i) delete m_ppComponents[i];
  delete[] m_ppComponents;
  m_ppComponents = nullptr;
  m_nComponents = 0;
  if (m_ImageUpdate.wFlags & IU_SHOW_COMPONENTS) m_bDirty = 1;
}

void CImage::AdoptLabelledComponents(vorlane::detail::LabelForest& forest,
                                     vorlane::detail::RunListCollector& runs,
                                     unsigned short wType) {
  FreeComponents();
  const int alive = forest.AliveCount();
  if (alive == 0) return;
  m_ppComponents = new CComp*[static_cast<size_t>(alive)];
  // The list grows one component at a time, so that it stays consistent if an allocation
  // fails half-way.
  for (int label = 0; label < forest.Count(); ++label) {
    if (!forest.Alive(label)) continue;
    auto comp = std::make_unique<CComp>();
    comp->SetImageReference(this);
    comp->SetType(wType, FALSE);
    // The run lists are already sorted by row and column.
    vorlane::detail::RunListCollector::RunList& list = runs.List(label);
    comp->AttachRuns(vorlane::detail::CompRuns(list.runs.release()), list.count, list.capacity);
    m_ppComponents[m_nComponents++] = comp.release();
  }
  if (m_ImageUpdate.wFlags & IU_SHOW_COMPONENTS) m_bDirty = 1;
}

void CImage::AdoptComponents(std::vector<std::unique_ptr<CComp>>& components) {
  FreeComponents();
  if (!components.empty()) m_ppComponents = new CComp*[components.size()];
  for (std::unique_ptr<CComp>& comp : components) m_ppComponents[m_nComponents++] = comp.release();
  components.clear();
  if (m_ImageUpdate.wFlags & IU_SHOW_COMPONENTS) m_bDirty = 1;
}

void CImage::CCAnalysisFromMap(int nMap, unsigned char byType, unsigned short wCompType,
                               int bInvert, int bConnect8) {
  CImageMap* map = nMap == -1 ? GetCurrentMap() : GetImageMap(nMap);
  if (!map) return;
  // The map has the image's size; should it not, only the part both cover is scanned.
  const int width = std::min(map->m_nWidth, m_nWidth);
  const int height = map->m_ppLines ? std::min(map->m_nHeight, m_nHeight) : 0;
  vorlane::detail::RunListCollector runs;
  vorlane::detail::LabelForest forest;
  if (width > 0 && height > 0) {
    forest = vorlane::detail::LabelRuns(
        map->m_ppLines, 0, 0, width, height, bConnect8 != 0,
        vorlane::detail::MapTypeRuns(map->m_nLabelMode, byType, bInvert != 0), runs,
        [this](int done, int rows) { Progress_KeepAlive(done, rows); });
  }
  AdoptLabelledComponents(forest, runs, wCompType);
}
