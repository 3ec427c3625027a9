// CComp: construction, run insertion and removal with incremental caches, measurements,
// relations and set operators, thinning, the boundary polygon, regions and trace output.
#include "imageclasses/comp.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "colourfunctions/colourfunctions.h"
#include "imageclasses/image.h"
#include "imageclasses/internal/runs.h"
#include "kernels/components/boundary.h"
#include "kernels/components/spans.h"
#include "platform/archive.h"
#include "platform/diagnostics.h"
#include "platform/region.h"

IMPLEMENT_SERIAL(CComp, CObject, VERSIONABLE_SCHEMA | 1)

namespace {

using Run = CComp::tagCompRun;
using KernelRun = vorlane::detail::Run;
using vorlane::detail::CompRuns;
using vorlane::detail::CoverTable;
using vorlane::detail::FirstEndingAtOrAfter;
using vorlane::detail::KernelRuns;
using vorlane::detail::RowBegin;
using vorlane::detail::RowEnd;

constexpr int kNotComputed = -5;
constexpr float kNoCentre = -5.5f;
constexpr DWORD kNoColour = 0xFF000000u;

bool ColourComputed(DWORD colour) { return (colour >> 24) != 0xFF; }

bool RunLess(const Run& a, const Run& b) { return a.y != b.y ? a.y < b.y : a.xl < b.xl; }

// Grows an array held as pointer, count and capacity so that it holds at least needed
// entries, keeping the first count; growth is geometric so that appending one entry at a
// time costs amortised constant time.
template <typename T>
void Reserve(T*& data, int count, int& capacity, int64_t needed) {
  if (needed <= capacity) return;
  const int64_t grown = std::max<int64_t>({needed, int64_t{capacity} + capacity / 2, 16});
  const int64_t fresh = std::min<int64_t>(grown, INT_MAX);
  auto block = std::make_unique<T[]>(static_cast<size_t>(fresh));
  if (count > 0) std::memcpy(block.get(), data, sizeof(T) * static_cast<size_t>(count));
  delete[] data;
  data = block.release();
  capacity = static_cast<int>(fresh);
}

// Replaces entries [pos, pos + erase) by insert[0..n); the array grows as Reserve does.
// insert must not point into the array.
template <typename T>
void Splice(T*& data, int& count, int& capacity, int pos, int erase, const T* insert, int n) {
  const int64_t newCount = int64_t{count} - erase + n;
  Reserve(data, count, capacity, newCount);
  const int tail = count - pos - erase;
  if (tail > 0 && n != erase) {
    std::memmove(data + pos + n, data + pos + erase, sizeof(T) * static_cast<size_t>(tail));
  }
  if (n > 0) std::memcpy(data + pos, insert, sizeof(T) * static_cast<size_t>(n));
  count = static_cast<int>(newCount);
}

// Copies count entries into a new exact-size array (null for count < 1).
template <typename T>
T* CopyArray(const T* source, int count) {
  if (!source || count < 1) return nullptr;
  auto block = std::make_unique<T[]>(static_cast<size_t>(count));
  std::memcpy(block.get(), source, sizeof(T) * static_cast<size_t>(count));
  return block.release();
}

// Channel sums of the image pixels under one run.
struct ChannelSums {
  int64_t red = 0;
  int64_t green = 0;
  int64_t blue = 0;
};

ChannelSums SumRun(CImage* image, int y, int xl, int xr) {
  ChannelSums sums;
  for (int64_t x = xl; x <= xr; ++x) {
    const int column = static_cast<int>(x);
    sums.red += image->GetRed(column, y);
    sums.green += image->GetGreen(column, y);
    sums.blue += image->GetBlue(column, y);
  }
  return sums;
}

// Packs three channel averages (each truncated and kept within 0..255) with a top byte of 0.
DWORD PackChannels(int64_t red, int64_t green, int64_t blue) {
  auto clamp = [](int64_t v) { return static_cast<DWORD>(std::clamp<int64_t>(v, 0, 255)); };
  return clamp(red) | (clamp(green) << 8) | (clamp(blue) << 16);
}

// A run coordinate scaled for a region: multiplied in single precision and truncated
// toward zero, kept within the range of int.
LONG ScaleCoordinate(int64_t value, float scale) {
  const float f = static_cast<float>(value) * scale;
  if (std::isnan(f)) return 0;
  if (f >= 2147483648.0f) return INT_MAX;
  if (f <= -2147483648.0f) return INT_MIN;
  return static_cast<LONG>(f);
}

int64_t RunPixels(const Run* runs, int count) {
  int64_t total = 0;
  for (int i = 0; i < count; ++i) total += int64_t{runs[i].xr} - runs[i].xl + 1;
  return total;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Construction, assignment and bulk state

CComp::CComp()
    : m_wType(1),
      m_pRuns(nullptr),
      m_nRuns(0),
      m_pImage(nullptr),
      m_nSize(kNotComputed),
      m_fCenterX(kNoCentre),
      m_fCenterY(kNoCentre),
      m_crColor(kNoColour),
      m_rcBound(),
      m_nExternalBorder(kNotComputed),
      m_pExternalBorder(nullptr),
      m_nInternalBorder(kNotComputed),
      m_pInternalBorder(nullptr),
      m_pBoundary(nullptr),
      m_nBoundary(0),
      m_nExternalConnections(kNotComputed),
      m_nInternalConnections(kNotComputed),
      m_pVexed(nullptr),
      m_nRunCapacity(0),
      m_nExternalBorderCapacity(0) {}

CComp::CComp(CComp& other) : CComp() { CopyFrom(other); }

CComp::CComp(CComp&& other) noexcept : CComp() { StealFrom(other); }

CComp::CComp(tagCompRun* runs, int count) : CComp() {
  if (!runs || count < 1) return;
  ResizeRuns(count);
  std::memcpy(m_pRuns, runs, sizeof(tagCompRun) * static_cast<size_t>(count));
}

CComp::~CComp() {
  FreeRuns();
  FreeBorders();
  FreeBoundary();
  delete m_pVexed;
}

void CComp::operator=(CComp& other) {
  if (&other == this) return;
  Empty();
  CopyFrom(other);
}

void CComp::operator=(CComp&& other) noexcept {
  if (&other == this) return;
  Empty();
  StealFrom(other);
}

// Copies everything but the boundary polygon into this empty component; the vexed area is
// copied deeply.
void CComp::CopyFrom(const CComp& other) {
  m_pRuns = CopyArray(other.m_pRuns, other.m_nRuns);
  m_nRuns = m_pRuns ? other.m_nRuns : 0;
  m_nRunCapacity = m_nRuns;
  m_rcBound = other.m_rcBound;
  m_fCenterX = other.m_fCenterX;
  m_fCenterY = other.m_fCenterY;
  m_crColor = other.m_crColor;
  m_nExternalBorder = other.m_nExternalBorder;
  if (m_nExternalBorder != kNotComputed) {
    m_pExternalBorder = CopyArray(other.m_pExternalBorder, other.m_nExternalBorder);
    m_nExternalBorder = m_pExternalBorder ? other.m_nExternalBorder : 0;
    m_nExternalBorderCapacity = m_nExternalBorder;
  }
  m_nInternalBorder = other.m_nInternalBorder;
  if (m_nInternalBorder != kNotComputed) {
    m_pInternalBorder = CopyArray(other.m_pInternalBorder, other.m_nInternalBorder);
    m_nInternalBorder = m_pInternalBorder ? other.m_nInternalBorder : 0;
  }
  m_nExternalConnections = other.m_nExternalConnections;
  m_nInternalConnections = other.m_nInternalConnections;
  m_pImage = other.m_pImage;
  m_nSize = other.m_nSize;
  m_wType = other.m_wType;
  if (other.m_pVexed) {
    auto vexed = std::make_unique<CComp>();
    vexed->CopyFrom(*other.m_pVexed);
    m_pVexed = vexed.release();
  }
}

// Takes other's state into this empty component (the boundary polygon is dropped, as a
// copy drops it) and leaves other empty.
void CComp::StealFrom(CComp& other) noexcept {
  m_wType = other.m_wType;
  m_pRuns = std::exchange(other.m_pRuns, nullptr);
  m_nRuns = std::exchange(other.m_nRuns, 0);
  m_nRunCapacity = std::exchange(other.m_nRunCapacity, 0);
  m_pImage = std::exchange(other.m_pImage, nullptr);
  m_nSize = other.m_nSize;
  m_fCenterX = other.m_fCenterX;
  m_fCenterY = other.m_fCenterY;
  m_crColor = other.m_crColor;
  m_rcBound = other.m_rcBound;
  m_nExternalBorder = std::exchange(other.m_nExternalBorder, kNotComputed);
  m_pExternalBorder = std::exchange(other.m_pExternalBorder, nullptr);
  m_nExternalBorderCapacity = std::exchange(other.m_nExternalBorderCapacity, 0);
  m_nInternalBorder = std::exchange(other.m_nInternalBorder, kNotComputed);
  m_pInternalBorder = std::exchange(other.m_pInternalBorder, nullptr);
  m_nExternalConnections = other.m_nExternalConnections;
  m_nInternalConnections = other.m_nInternalConnections;
  m_pVexed = std::exchange(other.m_pVexed, nullptr);
  other.ResetAttributes();
}

void CComp::FreeRuns() {
  delete[] m_pRuns;
  m_pRuns = nullptr;
  m_nRuns = 0;
  m_nRunCapacity = 0;
}

void CComp::FreeBorders() {
  delete[] m_pExternalBorder;
  m_pExternalBorder = nullptr;
  m_nExternalBorder = kNotComputed;
  m_nExternalBorderCapacity = 0;
  delete[] m_pInternalBorder;
  m_pInternalBorder = nullptr;
  m_nInternalBorder = kNotComputed;
}

void CComp::FreeBoundary() {
  delete[] m_pBoundary;
  m_pBoundary = nullptr;
  m_nBoundary = 0;
}

void CComp::ResizeRuns(int count) {
  FreeRuns();
  if (count < 1) return;
  m_pRuns = new tagCompRun[static_cast<size_t>(count)]();
  m_nRuns = count;
  m_nRunCapacity = count;
}

void CComp::ResizeExternalBorder(int count) {
  delete[] m_pExternalBorder;
  m_pExternalBorder = count > 0 ? new POINT[static_cast<size_t>(count)]() : nullptr;
  m_nExternalBorder = std::max(count, 0);
  m_nExternalBorderCapacity = m_nExternalBorder;
}

void CComp::ResizeInternalBorder(int count) {
  delete[] m_pInternalBorder;
  m_pInternalBorder = count > 0 ? new POINT[static_cast<size_t>(count)]() : nullptr;
  m_nInternalBorder = std::max(count, 0);
}

void CComp::ResetAttributes() {
  m_nSize = kNotComputed;
  m_fCenterX = kNoCentre;
  m_fCenterY = kNoCentre;
  m_crColor = kNoColour;
  m_rcBound.SetRectEmpty();
  FreeBorders();
  FreeBoundary();
  m_nExternalConnections = kNotComputed;
  m_nInternalConnections = kNotComputed;
  m_wType = 1;
}

void CComp::Clear() {
  ResetAttributes();
  FreeRuns();
  DiscardVexedArea();
}

void CComp::Empty() {
  Clear();
  m_pImage = nullptr;
}

void CComp::SetImageReference(CImage* image) {
  if (image == m_pImage) return;
  m_pImage = image;
  ResetAttributes();
}

void CComp::AttachRuns(tagCompRun* runs, int count, int capacity) {
  const unsigned short type = m_wType;
  ResetAttributes();
  m_wType = type;
  FreeRuns();
  if (!runs || count < 1) {
    delete[] runs;
    return;
  }
  m_pRuns = runs;
  m_nRuns = count;
  m_nRunCapacity = std::max(count, capacity);
}

// Replaces the runs by an exact-size copy of a canonical run list; the caches are left to
// the caller.
void CComp::ReplaceRuns(const tagCompRun* runs, int count) {
  ResizeRuns(count);
  if (m_pRuns) std::memcpy(m_pRuns, runs, sizeof(tagCompRun) * static_cast<size_t>(count));
}

// ---------------------------------------------------------------------------------------
// Runs and points

int CComp::AddRun(int y, int xl, int xr, int bUpdate) {
  // Clip the span against the runs of its row, leftmost overlap first: the uncovered gaps
  // are inserted one by one from the left, as separate additions.
  while (xl <= xr) {
    const int begin = RowBegin(KernelRuns(m_pRuns), m_nRuns, y);
    const int end = RowEnd(KernelRuns(m_pRuns), m_nRuns, y);
    const int k = FirstEndingAtOrAfter(KernelRuns(m_pRuns), begin, end, xl);
    if (k >= end || m_pRuns[k].xl > xr) {
      InsertRun(y, xl, xr, bUpdate);
      break;
    }
    const tagCompRun r = m_pRuns[k];
    if (r.xl <= xl && r.xr >= xr) break;  // already covered
    if (r.xl > xl) InsertRun(y, xl, r.xl - 1, bUpdate);
    if (r.xr >= xr) break;
    xl = r.xr + 1;
  }
  return m_nRuns;
}

// The external border after adding run (y, xl, xr): in rows y - 1 to y + 1 the old points
// within columns xl - 1 to xr + 1 give way to the ring points around the run that lie
// outside the component. The list stays sorted.
void CComp::UpdateExternalBorder(int y, int xl, int xr) {
  std::vector<POINT> fresh;
  for (int64_t row = int64_t{y} - 1; row <= int64_t{y} + 1; ++row) {
    if (row < INT_MIN || row > INT_MAX) continue;
    const int r = static_cast<int>(row);
    const int64_t from = int64_t{xl} - 1;
    const int64_t to = int64_t{xr} + 1;
    // Ring points of this row that no run covers.
    fresh.clear();
    const int begin = RowBegin(KernelRuns(m_pRuns), m_nRuns, r);
    const int end = RowEnd(KernelRuns(m_pRuns), m_nRuns, r);
    auto outside = [&](int64_t x) {
      const int k = FirstEndingAtOrAfter(KernelRuns(m_pRuns), begin, end, static_cast<int>(x));
      return k >= end || m_pRuns[k].xl > x;
    };
    if (r == y) {
      if (from >= INT_MIN && outside(from)) fresh.push_back(POINT{static_cast<LONG>(from), r});
      if (to <= INT_MAX && outside(to)) fresh.push_back(POINT{static_cast<LONG>(to), r});
    } else {
      int64_t x = std::max<int64_t>(from, INT_MIN);
      const int64_t last = std::min<int64_t>(to, INT_MAX);
      int k = FirstEndingAtOrAfter(KernelRuns(m_pRuns), begin, end, static_cast<int>(x));
      while (x <= last) {
        if (k < end && m_pRuns[k].xl <= x) {
          x = int64_t{m_pRuns[k].xr} + 1;  // skip the covered columns
          ++k;
          continue;
        }
        const int64_t stop = k < end ? std::min<int64_t>(last, int64_t{m_pRuns[k].xl} - 1) : last;
        for (; x <= stop; ++x) fresh.push_back(POINT{static_cast<LONG>(x), r});
      }
    }
    // Old points of this row within the ring's columns.
    const POINT* points = m_pExternalBorder;
    const int count = m_nExternalBorder;
    auto before = [](const POINT& p, const POINT& q) { return p.y != q.y ? p.y < q.y : p.x < q.x; };
    const POINT lo{static_cast<LONG>(std::max<int64_t>(from, INT_MIN)), r};
    const POINT hi{static_cast<LONG>(std::min<int64_t>(to, INT_MAX)), r};
    const int first =
        static_cast<int>(std::lower_bound(points, points + count, lo, before) - points);
    const int past =
        static_cast<int>(std::upper_bound(points, points + count, hi, before) - points);
    Splice(m_pExternalBorder, m_nExternalBorder, m_nExternalBorderCapacity, first, past - first,
           fresh.data(), static_cast<int>(fresh.size()));
  }
  if (m_nExternalBorder == 0) {
    delete[] m_pExternalBorder;
    m_pExternalBorder = nullptr;
    m_nExternalBorderCapacity = 0;
  }
}

void CComp::InsertRun(int y, int xl, int xr, int bUpdate) {
  int64_t before = 0;
  if (bUpdate) {
    // Bring the caches that the update builds on up to date.
    before = GetSize();
    GetCenterX();
    if (m_nRuns == 0) m_fCenterX = m_fCenterY = 0.0f;
    GetColorRGB();
    GetMaxExternalBorder();
    GetBoundingRect();
    UpdateExternalBorder(y, xl, xr);
  }

  // Insert after every run of an earlier row and every run of this row further left.
  const tagCompRun run{y, xl, xr};
  int pos = static_cast<int>(std::lower_bound(m_pRuns, m_pRuns + m_nRuns, run, RunLess) - m_pRuns);
  Splice(m_pRuns, m_nRuns, m_nRunCapacity, pos, 0, &run, 1);

  if (!bUpdate) {
    ResetAttributes();
  } else {
    const int64_t len = int64_t{xr} - xl + 1;
    const int64_t after = before + len;
    if (m_pImage) {
      // Running average, truncated at every step (no old pixels: the run's own average).
      const ChannelSums sums = SumRun(m_pImage, y, xl, xr);
      const int64_t red = (int64_t{GetRValue(m_crColor)} * before + sums.red) / after;
      const int64_t green = (int64_t{GetGValue(m_crColor)} * before + sums.green) / after;
      const int64_t blue = (int64_t{GetBValue(m_crColor)} * before + sums.blue) / after;
      m_crColor = PackChannels(red, green, blue);
    }
    const double mid = static_cast<double>(int64_t{xr} - xl) / 2.0 + xl;
    m_fCenterX = static_cast<float>(
        (mid * static_cast<double>(len) + static_cast<double>(before) * m_fCenterX) /
        static_cast<double>(after));
    m_fCenterY = static_cast<float>(
        (static_cast<double>(before) * m_fCenterY + static_cast<double>(len) * y) /
        static_cast<double>(after));
    m_nSize = static_cast<int>(after);
    if (before == 0) {
      m_rcBound.SetRect(xl, y, xr, y);
    } else {
      m_rcBound.left = std::min<LONG>(m_rcBound.left, xl);
      m_rcBound.top = std::min<LONG>(m_rcBound.top, y);
      m_rcBound.right = std::max<LONG>(m_rcBound.right, xr);
      m_rcBound.bottom = std::max<LONG>(m_rcBound.bottom, y);
    }
    delete[] m_pInternalBorder;
    m_pInternalBorder = nullptr;
    m_nInternalBorder = kNotComputed;
    m_nExternalConnections = kNotComputed;
    m_nInternalConnections = kNotComputed;
    FreeBoundary();
  }

  // Join the neighbours of the same row that the new run touches.
  if (pos > 0 && m_pRuns[pos - 1].y == y && int64_t{m_pRuns[pos - 1].xr} + 1 == xl) {
    m_pRuns[pos - 1].xr = m_pRuns[pos].xr;
    Splice<tagCompRun>(m_pRuns, m_nRuns, m_nRunCapacity, pos, 1, nullptr, 0);
    --pos;
  }
  if (pos + 1 < m_nRuns && m_pRuns[pos + 1].y == y &&
      m_pRuns[pos + 1].xl == int64_t{m_pRuns[pos].xr} + 1) {
    m_pRuns[pos].xr = m_pRuns[pos + 1].xr;
    Splice<tagCompRun>(m_pRuns, m_nRuns, m_nRunCapacity, pos + 1, 1, nullptr, 0);
  }
}

int CComp::RemoveRun(int index, int bUpdate) {
  if (index == -10) index = 0;
  if (index == -11) index = m_nRuns - 1;
  if (index < 0 || index >= m_nRuns) return m_nRuns;
  if (m_nRuns == 1) {
    Empty();
    return m_nRuns;
  }
  if (bUpdate) {
    GetSize();
    GetCenterX();
    GetColorRGB();
  }
  const tagCompRun run = m_pRuns[index];
  Splice<tagCompRun>(m_pRuns, m_nRuns, m_nRunCapacity, index, 1, nullptr, 0);
  if (!bUpdate) {
    ResetAttributes();
    return m_nRuns;
  }

  const int64_t before = m_nSize;
  const int64_t len = int64_t{run.xr} - run.xl + 1;
  const int64_t after = before - len;
  if (after <= 0) {
    // The cached size no longer matches the runs (edited through GetRun): recompute later.
    m_nSize = kNotComputed;
    m_fCenterX = m_fCenterY = kNoCentre;
    m_crColor = kNoColour;
    m_rcBound.SetRectEmpty();
  } else {
    if (m_pImage && ColourComputed(m_crColor)) {
      const ChannelSums sums = SumRun(m_pImage, run.y, run.xl, run.xr);
      const int64_t red = (int64_t{GetRValue(m_crColor)} * before - sums.red) / after;
      const int64_t green = (int64_t{GetGValue(m_crColor)} * before - sums.green) / after;
      const int64_t blue = (int64_t{GetBValue(m_crColor)} * before - sums.blue) / after;
      m_crColor = PackChannels(red, green, blue);
    }
    const double mid = static_cast<double>(int64_t{run.xr} - run.xl) / 2.0 + run.xl;
    m_fCenterX = static_cast<float>(
        (static_cast<double>(before) * m_fCenterX - mid * static_cast<double>(len)) /
        static_cast<double>(after));
    m_fCenterY = static_cast<float>(
        (static_cast<double>(before) * m_fCenterY - static_cast<double>(len) * run.y) /
        static_cast<double>(after));
    m_nSize = static_cast<int>(after);
    if (run.xl == m_rcBound.left || run.xr == m_rcBound.right || run.y == m_rcBound.top ||
        run.y == m_rcBound.bottom) {
      m_rcBound.SetRectEmpty();
      GetBoundingRect();
    }
  }
  FreeBorders();
  m_nExternalConnections = kNotComputed;
  m_nInternalConnections = kNotComputed;
  FreeBoundary();
  return m_nRuns;
}

int CComp::AddPoint(int x, int y) { return AddRun(y, x, x, FALSE); }

int CComp::AddPoint(CPoint pt) { return AddPoint(pt.x, pt.y); }

int CComp::RemovePoint(int x, int y) {
  const int begin = RowBegin(KernelRuns(m_pRuns), m_nRuns, y);
  const int end = RowEnd(KernelRuns(m_pRuns), m_nRuns, y);
  const int k = FirstEndingAtOrAfter(KernelRuns(m_pRuns), begin, end, x);
  if (k >= end || m_pRuns[k].xl > x) return m_nRuns;
  tagCompRun& run = m_pRuns[k];
  if (run.xl == run.xr) return RemoveRun(k, TRUE);
  if (x == run.xl) {
    ++run.xl;
    ResetAttributes();
  } else if (x == run.xr) {
    --run.xr;
    ResetAttributes();
  } else {
    const int oldRight = run.xr;
    run.xr = x - 1;
    ResetAttributes();
    AddRun(y, x + 1, oldRight, TRUE);
  }
  return m_nRuns;
}

int CComp::RemovePoint(CPoint pt) { return RemovePoint(pt.x, pt.y); }

int CComp::PtInComponent(int x, int y) const {
  return vorlane::detail::RunsContain(KernelRuns(m_pRuns), m_nRuns, x, y) ? 1 : 0;
}

int CComp::PtInComponent(const CPoint& pt) const { return PtInComponent(pt.x, pt.y); }

CComp::tagCompRun* CComp::GetRun(int index) {
  if (index < 0 || index >= m_nRuns) return nullptr;
  return m_pRuns + index;
}

void CComp::SortRuns() {
  if (m_nRuns > 1) std::stable_sort(m_pRuns, m_pRuns + m_nRuns, RunLess);
}

int CComp::_compareRUN(const void* a, const void* b) {
  const auto* p = static_cast<const tagCompRun*>(a);
  const auto* q = static_cast<const tagCompRun*>(b);
  if (p->y != q->y) return p->y < q->y ? -1 : 1;
  if (p->xl != q->xl) return p->xl < q->xl ? -1 : 1;
  return 0;
}

int CComp::_comparePOINT(const void* a, const void* b) {
  const auto* p = static_cast<const POINT*>(a);
  const auto* q = static_cast<const POINT*>(b);
  if (p->y != q->y) return p->y < q->y ? -1 : 1;
  if (p->x != q->x) return p->x < q->x ? -1 : 1;
  return 0;
}

// ---------------------------------------------------------------------------------------
// Measurements

int CComp::GetSize() {
  if (m_nSize == kNotComputed) m_nSize = static_cast<int>(RunPixels(m_pRuns, m_nRuns));
  return m_nSize;
}

// Means of the pixel coordinates, summed pixel by pixel in single precision.
void CComp::ComputeCenter() {
  float sumX = 0.0f;
  float sumY = 0.0f;
  for (int i = 0; i < m_nRuns; ++i) {
    const tagCompRun& run = m_pRuns[i];
    const auto y = static_cast<float>(run.y);
    for (int64_t x = run.xl; x <= run.xr; ++x) {
      sumX += static_cast<float>(x);
      sumY += y;
    }
  }
  const auto size = static_cast<float>(GetSize());
  m_fCenterX = sumX / size;
  m_fCenterY = sumY / size;
}

float CComp::GetCenterX() {
  if (m_fCenterX != kNoCentre) return m_fCenterX;
  if (m_nRuns == 0) return kNoCentre;
  ComputeCenter();
  return m_fCenterX;
}

float CComp::GetCenterY() {
  if (m_fCenterY == kNoCentre) GetCenterX();
  return m_fCenterY;
}

CRect CComp::GetBoundingRect() {
  if (m_rcBound.IsRectNull() && m_nRuns > 0) {
    CRect box(m_pRuns[0].xl, m_pRuns[0].y, m_pRuns[0].xr, m_pRuns[0].y);
    for (int i = 1; i < m_nRuns; ++i) {
      const tagCompRun& run = m_pRuns[i];
      box.left = std::min<LONG>(box.left, run.xl);
      box.top = std::min<LONG>(box.top, run.y);
      box.right = std::max<LONG>(box.right, run.xr);
      box.bottom = std::max<LONG>(box.bottom, run.y);
    }
    m_rcBound = box;
  }
  return m_rcBound;
}

int CComp::GetWidth() {
  if (m_nRuns == 0) return 0;
  const CRect box = GetBoundingRect();
  return box.right - box.left + 1;
}

int CComp::GetHeight() {
  if (m_nRuns == 0) return 0;
  const CRect box = GetBoundingRect();
  return box.bottom - box.top + 1;
}

unsigned long CComp::GetColorRGB() {
  if (!ColourComputed(m_crColor) && m_pImage && m_nRuns > 0) {
    ChannelSums total;
    int64_t pixels = 0;
    for (int i = 0; i < m_nRuns; ++i) {
      const tagCompRun& run = m_pRuns[i];
      const ChannelSums sums = SumRun(m_pImage, run.y, run.xl, run.xr);
      total.red += sums.red;
      total.green += sums.green;
      total.blue += sums.blue;
      pixels += std::max<int64_t>(int64_t{run.xr} - run.xl + 1, 0);
    }
    if (pixels > 0) {
      m_crColor = PackChannels(total.red / pixels, total.green / pixels, total.blue / pixels);
    }
  }
  return m_crColor;
}

unsigned long CComp::GetColorHLS() {
  const unsigned long rgb = GetColorRGB();
  float h = 0.0f, l = 0.0f, s = 0.0f;
  TT_RGB2HLS(static_cast<float>(GetRValue(rgb)), static_cast<float>(GetGValue(rgb)),
             static_cast<float>(GetBValue(rgb)), &h, &l, &s, vorlane::kHlsByteScale);
  const auto byte = [](float v) { return static_cast<unsigned long>(static_cast<int>(v) & 0xFF); };
  return byte(h) | (byte(l) << 8) | (byte(s) << 16);
}

int CComp::GetMaxExternalBorder() {
  if (m_nExternalBorder == kNotComputed) {
    std::vector<POINT> points;
    vorlane::detail::ExternalBorderPoints(CoverTable(KernelRuns(m_pRuns), m_nRuns), points);
    ResizeExternalBorder(static_cast<int>(points.size()));
    if (!points.empty())
      std::memcpy(m_pExternalBorder, points.data(), sizeof(POINT) * points.size());
  }
  return m_nExternalBorder;
}

int CComp::GetMaxInternalBorder() {
  if (m_nInternalBorder == kNotComputed) {
    std::vector<POINT> points;
    vorlane::detail::InternalBorderPoints(CoverTable(KernelRuns(m_pRuns), m_nRuns), points);
    ResizeInternalBorder(static_cast<int>(points.size()));
    if (!points.empty())
      std::memcpy(m_pInternalBorder, points.data(), sizeof(POINT) * points.size());
  }
  return m_nInternalBorder;
}

const POINT* CComp::GetExternalBorder() {
  GetMaxExternalBorder();
  return m_pExternalBorder;
}

const POINT* CComp::GetInternalBorder() {
  GetMaxInternalBorder();
  return m_pInternalBorder;
}

int CComp::GetExternalConnections() {
  if (m_nExternalConnections == kNotComputed) {
    // Every pixel with a neighbour outside is on the internal border, so counting the
    // outside neighbours of all pixels counts those of the border list.
    GetMaxInternalBorder();
    const CoverTable table(KernelRuns(m_pRuns), m_nRuns);
    m_nExternalConnections =
        static_cast<int>(8 * table.PixelCount() - vorlane::detail::InternalPairs(table));
  }
  return m_nExternalConnections;
}

int CComp::GetInternalConnections() {
  if (m_nInternalConnections == kNotComputed) {
    const int external = GetExternalConnections();
    const int size = GetSize();
    if (external != kNotComputed && size != kNotComputed) {
      m_nInternalConnections = static_cast<int>(8 * int64_t{size} - external);
    }
  }
  return m_nInternalConnections;
}

// ---------------------------------------------------------------------------------------
// Relations between two components

int CComp::ComputeOverlapping(CComp& other) {
  const CoverTable mine(KernelRuns(m_pRuns), m_nRuns);
  const CoverTable theirs(KernelRuns(other.m_pRuns), other.m_nRuns);
  return static_cast<int>(vorlane::detail::OverlapTables(mine, theirs, 0, 0));
}

int CComp::ComputeConnections(CComp& other) {
  GetMaxInternalBorder();
  other.GetMaxInternalBorder();
  const CoverTable mine(KernelRuns(m_pRuns), m_nRuns);
  const CoverTable theirs(KernelRuns(other.m_pRuns), other.m_nRuns);
  int64_t pairs = 0;
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) {
      if (dx != 0 || dy != 0) pairs += vorlane::detail::OverlapTables(mine, theirs, dx, dy);
    }
  }
  return static_cast<int>(pairs);
}

int CComp::ComputeConnections(CComp* other) { return other ? ComputeConnections(*other) : 0; }

double CComp::ComputeEuclidianDistance(CComp& other) {
  const float dx = other.GetCenterX() - GetCenterX();
  const float dy = other.GetCenterY() - GetCenterY();
  const float squared = dx * dx + dy * dy;
  return static_cast<double>(std::sqrt(squared));
}

// ---------------------------------------------------------------------------------------
// Set operators

void CComp::operator+=(CComp& other) {
  const CoverTable mine(KernelRuns(m_pRuns), m_nRuns);
  const CoverTable theirs(KernelRuns(other.m_pRuns), other.m_nRuns);
  std::vector<KernelRun> runs;
  vorlane::detail::UniteTables(mine, theirs, runs);
  // Adding only covered pixels changes nothing, caches included.
  if (RunPixels(CompRuns(runs.data()), static_cast<int>(runs.size())) == mine.PixelCount()) return;
  ReplaceRuns(CompRuns(runs.data()), static_cast<int>(runs.size()));
  ResetAttributes();
}

void CComp::operator|=(CComp& other) { *this += other; }

void CComp::operator-=(CComp& other) {
  const CoverTable mine(KernelRuns(m_pRuns), m_nRuns);
  const CoverTable theirs(KernelRuns(other.m_pRuns), other.m_nRuns);
  std::vector<KernelRun> runs;
  vorlane::detail::SubtractTables(mine, theirs, runs);
  if (RunPixels(CompRuns(runs.data()), static_cast<int>(runs.size())) == mine.PixelCount()) return;
  if (runs.empty()) {
    // The last run goes the way RemoveRun takes it: the component is emptied.
    Empty();
    return;
  }
  ReplaceRuns(CompRuns(runs.data()), static_cast<int>(runs.size()));
  ResetAttributes();
}

void CComp::operator&=(CComp& other) {
  // this -= (this - other)
  const CoverTable mine(KernelRuns(m_pRuns), m_nRuns);
  const CoverTable theirs(KernelRuns(other.m_pRuns), other.m_nRuns);
  std::vector<KernelRun> outside;
  vorlane::detail::SubtractTables(mine, theirs, outside);
  if (outside.empty()) return;
  std::vector<KernelRun> runs;
  vorlane::detail::SubtractTables(
      mine, CoverTable(outside.data(), static_cast<int>(outside.size())), runs);
  if (runs.empty()) {
    Empty();
    return;
  }
  ReplaceRuns(CompRuns(runs.data()), static_cast<int>(runs.size()));
  ResetAttributes();
}

CComp CComp::operator+(CComp& other) {
  CComp result(*this);
  result += other;
  return result;
}

CComp CComp::operator|(CComp& other) {
  CComp result(*this);
  result |= other;
  return result;
}

CComp CComp::operator-(CComp& other) {
  CComp result(*this);
  result -= other;
  return result;
}

CComp CComp::operator&(CComp& other) {
  CComp result(*this);
  result &= other;
  return result;
}

void CComp::Merge(CComp& other) {
  const CoverTable mine(KernelRuns(m_pRuns), m_nRuns);
  const CoverTable theirs(KernelRuns(other.m_pRuns), other.m_nRuns);
  std::vector<KernelRun> runs;
  vorlane::detail::UniteTables(mine, theirs, runs);

  // Vexed pixels that neither component covers.
  const bool vexed = m_pVexed || other.m_pVexed;
  std::vector<KernelRun> vexedRuns;
  if (vexed) {
    const CoverTable a(m_pVexed ? KernelRuns(m_pVexed->m_pRuns) : nullptr,
                       m_pVexed ? m_pVexed->m_nRuns : 0);
    const CoverTable b(other.m_pVexed ? KernelRuns(other.m_pVexed->m_pRuns) : nullptr,
                       other.m_pVexed ? other.m_pVexed->m_nRuns : 0);
    std::vector<KernelRun> both;
    vorlane::detail::UniteTables(a, b, both);
    vorlane::detail::SubtractTables(CoverTable(both.data(), static_cast<int>(both.size())),
                                    CoverTable(runs.data(), static_cast<int>(runs.size())),
                                    vexedRuns);
  }

  Clear();
  ReplaceRuns(CompRuns(runs.data()), static_cast<int>(runs.size()));
  if (vexed) {
    m_pVexed = new CComp;
    m_pVexed->ReplaceRuns(CompRuns(vexedRuns.data()), static_cast<int>(vexedRuns.size()));
  }
}

void CComp::Thin() {
  std::vector<KernelRun> runs;
  vorlane::detail::ErodeTable(CoverTable(KernelRuns(m_pRuns), m_nRuns), runs);
  ResetAttributes();
  ReplaceRuns(CompRuns(runs.data()), static_cast<int>(runs.size()));
}

// ---------------------------------------------------------------------------------------
// Boundary polygon

void CComp::ComputeBoundary() {
  GetBoundingRect();
  const std::vector<POINT> vertices = vorlane::detail::TraceBoundary(KernelRuns(m_pRuns), m_nRuns);
  m_pBoundary = CopyArray(vertices.data(), static_cast<int>(vertices.size()));
  m_nBoundary = m_pBoundary ? static_cast<int>(vertices.size()) : 0;
}

void CComp::ConnectBoundary() {
  std::vector<POINT> vertices =
      vorlane::detail::Staircase(std::vector<POINT>(m_pBoundary, m_pBoundary + m_nBoundary));
  FreeBoundary();
  m_pBoundary = CopyArray(vertices.data(), static_cast<int>(vertices.size()));
  m_nBoundary = m_pBoundary ? static_cast<int>(vertices.size()) : 0;
}

POINT* CComp::GetBoundary(int bConnect) {
  if (m_pBoundary || m_nRuns == 0) return m_pBoundary;
  ComputeBoundary();
  if (bConnect) ConnectBoundary();
  return m_pBoundary;
}

int CComp::GetMaxBoundary() {
  if (!m_pBoundary) GetBoundary(TRUE);
  return m_nBoundary;
}

// ---------------------------------------------------------------------------------------
// Region, type word, vexed area, trace

int CComp::RequestRgn(CRgn* rgn, float scale) {
  if (!rgn) return 0;
  rgn->DeleteObject();
  if (m_nRuns == 0) return 1;
  std::vector<POINT> corners(static_cast<size_t>(m_nRuns) * 4);
  std::vector<int> counts(static_cast<size_t>(m_nRuns), 4);
  for (int i = 0; i < m_nRuns; ++i) {
    const tagCompRun& run = m_pRuns[i];
    const LONG left = ScaleCoordinate(run.xl, scale);
    const LONG right = ScaleCoordinate(int64_t{run.xr} + 1, scale);
    const LONG top = ScaleCoordinate(run.y, scale);
    const LONG bottom = ScaleCoordinate(int64_t{run.y} + 1, scale);
    POINT* p = &corners[static_cast<size_t>(i) * 4];
    p[0] = POINT{left, top};
    p[1] = POINT{right, top};
    p[2] = POINT{right, bottom};
    p[3] = POINT{left, bottom};
  }
  return rgn->CreatePolyPolygonRgn(corners.data(), counts.data(), m_nRuns, WINDING) ? 1 : 0;
}

void CComp::SetType(unsigned short wType, int bAdd) {
  m_wType = bAdd ? static_cast<unsigned short>(m_wType | wType) : wType;
}

void CComp::Select(int bSelect) {
  m_wType = bSelect ? static_cast<unsigned short>(m_wType | kSelectedBit)
                    : static_cast<unsigned short>(m_wType & ~kSelectedBit);
}

CComp* CComp::GetVexed() {
  if (!m_pVexed) m_pVexed = new CComp;
  return m_pVexed;
}

void CComp::SetVexed(CComp* vexed) {
  if (vexed == m_pVexed) return;
  // A component that owns this one, directly or through its vexed areas, cannot become
  // owned by it.
  for (const CComp* c = vexed; c; c = c->m_pVexed) {
    if (c == this) return;
  }
  delete m_pVexed;
  m_pVexed = vexed;
}

void CComp::DiscardVexedArea() {
  delete m_pVexed;
  m_pVexed = nullptr;
}

void CComp::TraceInfo() {
  using vorlane::detail::Trace;
  using vorlane::detail::TraceF;
  const float centerX = GetCenterX();
  if (centerX == kNoCentre) {
    Trace("Center : Undefined\n");
  } else {
    TraceF("Center : %f, %f\n", static_cast<double>(centerX), static_cast<double>(GetCenterY()));
  }
  const unsigned long colour = GetColorRGB();
  if (!ColourComputed(static_cast<DWORD>(colour))) {
    Trace("Color  : Undefined\n");
  } else {
    TraceF("Color  : %d %d %d\n", GetRValue(colour), GetGValue(colour), GetBValue(colour));
  }
  const int size = GetSize();
  if (size == kNotComputed) {
    Trace("Size   : Undefined\n");
  } else {
    TraceF("Size   : %d\n", size);
  }
  if (m_rcBound.IsRectNull()) {
    Trace("Bounding Rect: Undefined\n");
  } else {
    TraceF("Bounding Rect: (%d, %d) - (%d, %d)\n", m_rcBound.left, m_rcBound.top, m_rcBound.right,
           m_rcBound.bottom);
  }
  TraceF("Number of Runs: %d\n", m_nRuns);
  const int external = GetMaxExternalBorder();
  if (external == kNotComputed) {
    Trace("Number of ExtBorder pixels: Undefined\n");
  } else {
    TraceF("Number of extBorder Pixels: %d\n", external);
  }
  const int internal = GetMaxInternalBorder();
  if (internal == kNotComputed) {
    Trace("Number of IntBorder pixels: Undefined\n");
  } else {
    TraceF("Number of intBorder Pixels: %d\n", internal);
  }
  const int externalConnections = GetExternalConnections();
  if (externalConnections == kNotComputed) {
    Trace("External Connections : Undefined\n");
  } else {
    TraceF("External Connections : %d\n", externalConnections);
  }
  const int internalConnections = GetInternalConnections();
  if (internalConnections == kNotComputed) {
    Trace("Internal Connections : Undefined\n");
  } else {
    TraceF("Internal Connections : %d\n", internalConnections);
  }
}

void CComp::TraceRuns() const {
  vorlane::detail::Trace("y\txl\txr\n");
  for (int i = 0; i < m_nRuns; ++i) {
    vorlane::detail::TraceF("%d\t%d\t%d\n", m_pRuns[i].y, m_pRuns[i].xl, m_pRuns[i].xr);
  }
}
