// CDistribution<T> for T = int and T = long: values, cached properties, extrema, peaks,
// moving average, fitting, typical distances and the point trace file.
#include "imageclasses/distribution.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "kernels/histogram/smoothing.h"
#include "kernels/toolkit/arrays_and_files.h"
#include "platform/diagnostics.h"

// The plateau treatments are the smoothing kernel's plateau rules.
static_assert(PLATEAU_IGNORE == vorlane::detail::kPlateauIgnore &&
              PLATEAU_MIDDLE_MAX == vorlane::detail::kPlateauMiddleMax &&
              PLATEAU_BOTH_ENDS == vorlane::detail::kPlateauBothEnds &&
              PLATEAU_MIDDLE == vorlane::detail::kPlateauMiddle);

namespace vorlane::detail {
namespace {

// Holds every sum formed here exactly: up to 2^31 values of 64 bits, or a 64-bit value times
// weights totalling (radius + 1)^2 < 2^62.
using WideInt = __int128;

// Position of the highest recorded maximum (the default plateau treatment) of the histogram
// of `diffs` (values >= 0, not empty) without building the histogram, whose size would be
// the largest difference: the first maximal run of consecutive bins that hold the highest
// count H gives its middle (s + e) / 2, except that a histogram whose bins all hold H gives 0.
// `highest` receives H.
inline int HistogramPeak(std::vector<int> diffs, int& highest) {
  std::sort(diffs.begin(), diffs.end());
  // Counts of the distinct values, in ascending order.
  std::vector<std::pair<int, int>> bins;
  for (int d : diffs) {
    if (bins.empty() || bins.back().first != d) bins.emplace_back(d, 0);
    ++bins.back().second;
  }
  highest = 0;
  for (const auto& bin : bins) highest = std::max(highest, bin.second);
  std::size_t k = 0;
  while (bins[k].second != highest) ++k;
  std::size_t e = k;
  while (e + 1 < bins.size() && bins[e + 1].first == bins[e].first + 1 &&
         bins[e + 1].second == highest) {
    ++e;
  }
  const int s = bins[k].first;
  const int end = bins[e].first;
  if (s == 0 && e + 1 == bins.size()) return 0;  // a constant histogram
  return static_cast<int>((static_cast<std::int64_t>(s) + end) / 2);
}

}  // namespace
}  // namespace vorlane::detail

namespace {

using vorlane::detail::WideInt;

// Copies `count` entries of `src` into a new owned array; null for no entries.
template <typename U>
std::unique_ptr<U[]> CopyArray(const U* src, int count) {
  if (count <= 0 || !src) return nullptr;
  auto dst = std::make_unique<U[]>(static_cast<std::size_t>(count));
  std::copy(src, src + count, dst.get());
  return dst;
}

// Moves a list into an owned array of exactly its length.
std::unique_ptr<int[]> ToExactArray(const std::vector<int>& list) {
  return CopyArray(list.data(), static_cast<int>(list.size()));
}

// First entry of the ascending list strictly after pos (direction 1) or last one strictly
// before it (any other direction); -1 or the end of the count by boundary when none.
int NearestInList(const int* list, int size, int count, int pos, unsigned char direction,
                  unsigned char boundary) {
  const int* end = list + size;
  if (direction == 1) {
    const int* it = std::upper_bound(list, end, pos);
    if (it != end) return *it;
    return boundary == 2 ? -1 : count - 1;
  }
  const int* it = std::lower_bound(list, end, pos);
  if (it != list) return *(it - 1);
  return boundary == 2 ? -1 : 0;
}

}  // namespace

template <typename T>
CDistribution<T>::CDistribution()
    : m_nCount(0),
      m_nPlateauTreatment(PLATEAU_MIDDLE_MAX),
      m_wValid(0),
      m_Average(0),
      m_nMaxima(0),
      m_nMinima(0),
      m_nMaximumPos(-1),
      m_nMinimumPos(-1) {}

template <typename T>
CDistribution<T>::CDistribution(const CDistribution& other)
    : m_pPoints(CopyArray(other.m_pPoints.get(), other.m_nCount)),
      m_nCount(other.m_nCount),
      m_nPlateauTreatment(other.m_nPlateauTreatment),
      m_wValid(other.m_wValid),
      m_Average(other.m_Average),
      m_pMaxima(CopyArray(other.m_pMaxima.get(), other.m_nMaxima)),
      m_nMaxima(other.m_nMaxima),
      m_pMinima(CopyArray(other.m_pMinima.get(), other.m_nMinima)),
      m_nMinima(other.m_nMinima),
      m_nMaximumPos(other.m_nMaximumPos),
      m_nMinimumPos(other.m_nMinimumPos) {}

template <typename T>
CDistribution<T>& CDistribution<T>::operator=(const CDistribution& other) {
  if (this != &other) {
    CDistribution copy(other);
    m_pPoints = std::move(copy.m_pPoints);
    m_nCount = copy.m_nCount;
    m_nPlateauTreatment = copy.m_nPlateauTreatment;
    m_wValid = copy.m_wValid;
    m_Average = copy.m_Average;
    m_pMaxima = std::move(copy.m_pMaxima);
    m_nMaxima = copy.m_nMaxima;
    m_pMinima = std::move(copy.m_pMinima);
    m_nMinima = copy.m_nMinima;
    m_nMaximumPos = copy.m_nMaximumPos;
    m_nMinimumPos = copy.m_nMinimumPos;
  }
  return *this;
}

template <typename T>
CDistribution<T>::~CDistribution() = default;

template <typename T>
BOOL CDistribution<T>::Create(const T* values, int count) {
  Reset();
  if (count < 0 || (count > 0 && !values)) return FALSE;
  m_pPoints = CopyArray(values, count);
  m_nCount = count;
  return TRUE;
}

template <typename T>
void CDistribution<T>::Reset() {
  m_pPoints.reset();
  m_nCount = 0;
  m_nPlateauTreatment = PLATEAU_MIDDLE_MAX;
  ResetProperties();
}

template <typename T>
void CDistribution<T>::ResetProperties() {
  m_pMaxima.reset();
  m_pMinima.reset();
  m_nMaxima = 0;
  m_nMinima = 0;
  m_wValid = 0;
  m_Average = 0;
  m_nMaximumPos = -1;
  m_nMinimumPos = -1;
}

template <typename T>
void CDistribution<T>::SetCount(int count) {
  count = std::max(count, 0);
  if (count == m_nCount) return;
  std::unique_ptr<T[]> points;
  if (count > 0) {
    points = std::make_unique<T[]>(static_cast<std::size_t>(count));  // zero-filled
    std::copy(m_pPoints.get(), m_pPoints.get() + std::min(count, m_nCount), points.get());
  }
  m_pPoints = std::move(points);
  m_nCount = count;
}

template <typename T>
T CDistribution<T>::GetAt(int i) const {
  return (i >= 0 && i < m_nCount) ? m_pPoints[i] : T(0);
}

template <typename T>
void CDistribution<T>::SetPlateuTreatment(unsigned char treatment) {
  if (treatment <= PLATEAU_MIDDLE) m_nPlateauTreatment = treatment;
}

template <typename T>
T CDistribution<T>::GetAverage() {
  if (!(m_wValid & DIST_AVERAGE)) {
    WideInt sum = 0;
    for (int i = 0; i < m_nCount; ++i) sum += m_pPoints[i];
    m_Average = m_nCount > 0 ? static_cast<T>(sum / m_nCount) : T(0);
    m_wValid |= DIST_AVERAGE;
  }
  return m_Average;
}

template <typename T>
void CDistribution<T>::ComputeExtrema() {
  std::vector<int> maxima;
  std::vector<int> minima;
  vorlane::detail::FindExtrema(m_pPoints.get(), m_nCount, m_nPlateauTreatment, maxima, minima);
  m_pMaxima = ToExactArray(maxima);
  m_nMaxima = static_cast<int>(maxima.size());
  m_pMinima = ToExactArray(minima);
  m_nMinima = static_cast<int>(minima.size());
  m_wValid |= DIST_EXTREMA;
}

template <typename T>
void CDistribution<T>::EnsureExtrema() {
  if (!(m_wValid & DIST_EXTREMA)) ComputeExtrema();
}

template <typename T>
int CDistribution<T>::GetMaximaCount() {
  EnsureExtrema();
  return m_nMaxima;
}

template <typename T>
int CDistribution<T>::GetMinimaCount() {
  EnsureExtrema();
  return m_nMinima;
}

template <typename T>
int* CDistribution<T>::GetMaximaPositions() {
  EnsureExtrema();
  return m_pMaxima.get();
}

template <typename T>
int* CDistribution<T>::GetMinimaPositions() {
  EnsureExtrema();
  return m_pMinima.get();
}

template <typename T>
int CDistribution<T>::GetMaximumPos() {
  if (!(m_wValid & DIST_MAXPOS)) {
    EnsureExtrema();
    int best = m_pMaxima[0];
    for (int k = 1; k < m_nMaxima; ++k) {
      if (GetAt(m_pMaxima[k]) > GetAt(best)) best = m_pMaxima[k];
    }
    m_nMaximumPos = best;
    m_wValid |= DIST_MAXPOS;
  }
  return m_nMaximumPos;
}

template <typename T>
T CDistribution<T>::GetMaximum() {
  return GetAt(GetMaximumPos());
}

template <typename T>
int CDistribution<T>::GetMinimumPos() {
  if (!(m_wValid & DIST_MINPOS)) {
    EnsureExtrema();
    int best = m_pMinima[0];
    for (int k = 1; k < m_nMinima; ++k) {
      if (GetAt(m_pMinima[k]) < GetAt(best)) best = m_pMinima[k];
    }
    m_nMinimumPos = best;
    m_wValid |= DIST_MINPOS;
  }
  return m_nMinimumPos;
}

template <typename T>
T CDistribution<T>::GetMinimum() {
  return GetAt(GetMinimumPos());
}

template <typename T>
int CDistribution<T>::GetLocalMaximumPos(int pos, unsigned char direction, unsigned char boundary) {
  EnsureExtrema();
  return NearestInList(m_pMaxima.get(), m_nMaxima, m_nCount, pos, direction, boundary);
}

template <typename T>
int CDistribution<T>::GetLocalMinimumPos(int pos, unsigned char direction, unsigned char boundary) {
  EnsureExtrema();
  return NearestInList(m_pMinima.get(), m_nMinima, m_nCount, pos, direction, boundary);
}

template <typename T>
BOOL CDistribution<T>::GetPeak(int pos, _Peak* peak) {
  if (!peak) return FALSE;
  EnsureExtrema();
  const bool isMinimum = std::binary_search(m_pMinima.get(), m_pMinima.get() + m_nMinima, pos);
  peak->nLeft = isMinimum ? pos : GetLocalMinimumPos(pos, 2, 1);
  peak->nTop = GetLocalMaximumPos(peak->nLeft, 1, 1);
  peak->nRight = GetLocalMinimumPos(peak->nTop, 1, 1);
  return TRUE;
}

template <typename T>
BOOL CDistribution<T>::IsZero() const {
  for (int i = 0; i < m_nCount; ++i) {
    if (m_pPoints[i] != 0) return FALSE;
  }
  return TRUE;
}

template <typename T>
BOOL CDistribution<T>::IsConstant() const {
  for (int i = 1; i < m_nCount; ++i) {
    if (m_pPoints[i] != m_pPoints[0]) return FALSE;
  }
  return TRUE;
}

template <typename T>
void CDistribution<T>::MovingAverage(int radius) {
  if (m_nCount > 0) {
    auto smoothed = std::make_unique<T[]>(static_cast<std::size_t>(m_nCount));
    vorlane::detail::WeightedMovingAverage(m_pPoints.get(), smoothed.get(), m_nCount, radius);
    m_pPoints = std::move(smoothed);
  }
  ResetProperties();
}

template <typename T>
void CDistribution<T>::RemoveSubbase() {
  const WideInt base = GetMinimum();
  for (int i = 0; i < m_nCount; ++i) {
    const WideInt value = m_pPoints[i] - base;
    m_pPoints[i] = static_cast<T>(
        std::clamp<WideInt>(value, std::numeric_limits<T>::min(), std::numeric_limits<T>::max()));
  }
  // Positions of the extrema do not move; only the average changes.
  m_wValid &= static_cast<WORD>(~DIST_AVERAGE);
  m_Average = 0;
}

template <typename T>
int CDistribution<T>::AAPeakSmoothing(float minSize, float minWidthRatio, float minCountRatio) {
  EnsureExtrema();
  // The peaks: each maximum from the first one at or after the first minimum, with the
  // pair of successive minima enclosing it.
  struct Peak {
    int left;
    int right;
    int top;
    bool keep;
  };
  std::vector<Peak> peaks;
  int ma = 0;
  while (ma < m_nMaxima && m_pMaxima[ma] < m_pMinima[0]) ++ma;
  for (int mi = 0; ma < m_nMaxima && mi < m_nMinima - 1; ++ma, ++mi) {
    peaks.push_back({m_pMinima[mi], m_pMinima[mi + 1], m_pMaxima[ma], true});
  }
  const int count = static_cast<int>(peaks.size());
  auto height = [&](int k) { return static_cast<WideInt>(GetAt(peaks[k].top)); };
  // Groups over the peak heights: from a start a, a climb to the highest peak c and a
  // descent to b, after the initial falling run.
  int marked = 0;
  int k = 0;
  while (k < count - 1 && height(k) > height(k + 1)) ++k;
  while (k < count - 1) {
    const int a = k;
    while (k < count - 1 && height(k) <= height(k + 1)) {
      while (k < count - 1 && height(k) < height(k + 1)) ++k;
      while (k < count - 1 && height(k) == height(k + 1)) ++k;
    }
    const int c = k;
    while (k < count - 1 && height(k) >= height(k + 1)) {
      while (k < count - 1 && height(k) > height(k + 1)) ++k;
      while (k < count - 1 && height(k) == height(k + 1)) ++k;
    }
    const int b = k;
    if (c == a || c == b) break;
    // Small groups stay; large, symmetric ones have their highest peak marked.
    const WideInt rise = std::max(height(c) - height(a), height(c) - height(b));
    const double width = static_cast<double>(peaks[b].top) - peaks[a].top;
    if (static_cast<double>(rise) + width <= minSize) continue;
    const int rightWidth = peaks[b].top - peaks[c].top;
    const int leftWidth = peaks[c].top - peaks[a].top;
    const float widthRatio = static_cast<float>(std::min(rightWidth, leftWidth)) /
                             static_cast<float>(std::max(rightWidth, leftWidth));
    const float countRatio =
        static_cast<float>(std::min(b - c, c - a)) / static_cast<float>(std::max(b - c, c - a));
    if (widthRatio > minWidthRatio && countRatio > minCountRatio) {
      peaks[c].keep = false;
      ++marked;
    }
  }
  return marked;
}

template <typename T>
double CDistribution<T>::LinearLSFitting(double* slope, double* intercept) const {
  double a = 0.0;
  double b = 0.0;
  if (m_nCount == 1) {
    b = static_cast<double>(m_pPoints[0]);
  } else if (m_nCount > 1) {
    const double n = m_nCount;
    double sx = 0.0;
    double sxx = 0.0;
    double sy = 0.0;
    double sxy = 0.0;
    for (int i = 0; i < m_nCount; ++i) {
      const double x = i;
      const double y = static_cast<double>(m_pPoints[i]);
      sx += x;
      sxx += x * x;
      sy += y;
      sxy += x * y;
    }
    const double denominator = n * sxx - sx * sx;
    a = (n * sxy - sx * sy) / denominator;
    b = (sy * sxx - sx * sxy) / denominator;
  }
  if (slope) *slope = a;
  if (intercept) *intercept = b;
  return 0.0;
}

template <typename T>
int CDistribution<T>::DistanceAnalysis(int* votes, int minDistance) {
  // Differences between successive positions that exceed minDistance.
  std::vector<int> diffs;
  std::int64_t sum = 0;
  for (int i = 1; i < m_nCount; ++i) {
    const WideInt d = static_cast<WideInt>(m_pPoints[i]) - m_pPoints[i - 1];
    if (d > minDistance && d >= 0 && d <= INT_MAX) {
      diffs.push_back(static_cast<int>(d));
      sum += static_cast<int>(d);
    }
  }
  const int m = static_cast<int>(diffs.size());
  int result;
  if (m < 5) {
    result = m == 0 ? minDistance : static_cast<int>(sum / m);
    vorlane::detail::TraceF("\tVery Few Distances (%d): using average or threshold (if zero)\n", m);
  } else {
    int highest = 0;
    result = vorlane::detail::HistogramPeak(diffs, highest);
    if (highest < 3) {
      result = static_cast<int>(sum / m);
      vorlane::detail::TraceF("\tNo Good Maximum (%d): using average\n", highest);
    } else {
      vorlane::detail::TraceF("\tGood Result Based on High Maximum(%d)!\n", highest);
    }
  }
  if (votes) {
    std::fill(votes, votes + m_nCount, 0);
    if (result != 0) {
      const double period = result;
      // Every pair at a distance within 20% of a multiple of the result votes for both.
      for (int i = 0; i < m_nCount; ++i) {
        for (int j = i + 1; j < m_nCount; ++j) {
          const double distance =
              static_cast<double>(m_pPoints[j]) - static_cast<double>(m_pPoints[i]);
          const double r = std::fmod(distance, period) / period;
          if (r <= 0.2 || r >= 0.8) {
            ++votes[i];
            ++votes[j];
          }
        }
      }
    }
  }
  return result;
}

template <typename T>
void CDistribution<T>::TracePointsToFile(const wchar_t* path, unsigned char columns) {
  vorlane::detail::UniqueFile file = vorlane::detail::OpenTextFileForWriting(path);
  if (!file) {
    vorlane::detail::Trace("Could Not Open File\n");
    return;
  }
  std::FILE* f = file.get();
  std::fprintf(f, "X%s%s%s\n", (columns & 1) ? ",Y" : "", (columns & 2) ? ",Minima" : "",
               (columns & 4) ? ",Maxima" : "");
  const bool haveExtrema = (m_wValid & DIST_EXTREMA) != 0;
  const int nMinima = haveExtrema ? m_nMinima : 0;
  const int nMaxima = haveExtrema ? m_nMaxima : 0;
  int nextMinimum = 0;
  int nextMaximum = 0;
  // Whether position i is the next unreported entry of an ascending list.
  auto isNext = [](const int* list, int size, int& next, int i) {
    while (next < size && list[next] < i) ++next;
    if (next < size && list[next] == i) {
      ++next;
      return true;
    }
    return false;
  };
  for (int i = 0; i < m_nCount; ++i) {
    std::fprintf(f, "%d", i);
    if (columns & 1) std::fprintf(f, ", %5.3f", static_cast<double>(m_pPoints[i]));
    if (columns & 2) {
      std::fprintf(f, ", %d", isNext(m_pMinima.get(), nMinima, nextMinimum, i) ? 65 : 0);
    }
    if (columns & 4) {
      std::fprintf(f, ", %d", isNext(m_pMaxima.get(), nMaxima, nextMaximum, i) ? 65 : 0);
    }
    std::fputc('\n', f);
  }
}

template class CDistribution<int>;
template class CDistribution<long>;
