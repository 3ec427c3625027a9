// CComp archive record: measurements, runs, border point lists and the nested vexed area.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "imageclasses/comp.h"
#include "kernels/io/archive_bounds.h"
#include "platform/archive.h"

namespace {

using vorlane::detail::RejectRecord;

constexpr int kNotComputed = -5;
constexpr uint64_t kRunBytes = 12;
constexpr uint64_t kPointBytes = 8;

static_assert(sizeof(CComp::tagCompRun) == kRunBytes, "runs are three 32-bit fields");
static_assert(sizeof(POINT) == kPointBytes, "points are two 32-bit fields");

// A border count as stored: the count, or -5 when the list is not computed (a negative count
// other than -5 cannot arise and is stored as not computed).
int StoredBorderCount(int count) { return count >= 0 ? count : kNotComputed; }

// A border or connection count as loaded must be -5 or a count.
void CheckBorderCount(int count) {
  if (count < 0 && count != kNotComputed) RejectRecord(CArchiveException::genericException);
}

// Runs must keep the order and the disjointness that the run operations rely on (rows are
// found by binary search): sorted by y, then xl, each run xl <= xr, and no run of a row
// starting at or before the end of the previous one.
void CheckRuns(const CComp::tagCompRun* runs, int count) {
  for (int i = 0; i < count; ++i) {
    const CComp::tagCompRun& run = runs[i];
    bool ok = run.xl <= run.xr;
    if (i > 0) {
      const CComp::tagCompRun& prev = runs[i - 1];
      ok = ok && (prev.y < run.y || (prev.y == run.y && prev.xr < run.xl));
    }
    if (!ok) RejectRecord(CArchiveException::genericException);
  }
}

// Border lists are sorted by y, then x, without duplicates: the incremental update of the
// external border splices into them by binary search.
void CheckBorder(const POINT* points, int count) {
  for (int i = 1; i < count; ++i) {
    const POINT& a = points[i - 1];
    const POINT& b = points[i];
    if (!(a.y < b.y || (a.y == b.y && a.x < b.x))) {
      RejectRecord(CArchiveException::genericException);
    }
  }
}

// The runs' extent must be measurable (width and height within int), and the exact caches
// not computed or in agreement with the runs: the size is the sum of the run lengths, the
// bounding rectangle (inclusive edges) the runs' extent, or null.
void CheckExtentAndCaches(const CComp::tagCompRun* runs, int count, int size, const RECT& bound) {
  int64_t pixels = 0;
  RECT box{0, 0, 0, 0};
  for (int i = 0; i < count; ++i) {
    const CComp::tagCompRun& run = runs[i];
    pixels += int64_t{run.xr} - run.xl + 1;
    if (i == 0) {
      box = RECT{run.xl, run.y, run.xr, run.y};
    } else {
      box.left = std::min(box.left, run.xl);
      box.right = std::max(box.right, run.xr);
      box.bottom = std::max(box.bottom, run.y);
    }
  }
  if (int64_t{box.right} - box.left >= INT_MAX || int64_t{box.bottom} - box.top >= INT_MAX) {
    RejectRecord(CArchiveException::genericException);
  }
  const bool sizeOk = size == kNotComputed || size == static_cast<int>(pixels);
  const bool boundNull = bound.left == 0 && bound.top == 0 && bound.right == 0 && bound.bottom == 0;
  const bool boundOk = boundNull || (count > 0 && bound.left == box.left && bound.top == box.top &&
                                     bound.right == box.right && bound.bottom == box.bottom);
  if (!sizeOk || !boundOk) RejectRecord(CArchiveException::genericException);
}

}  // namespace

void CComp::Serialize(CArchive& ar) {
  CObject::Serialize(ar);
  if (ar.IsStoring()) {
    const int external = StoredBorderCount(m_nExternalBorder);
    const int internal = StoredBorderCount(m_nInternalBorder);
    ar << static_cast<LONG>(m_nSize) << m_fCenterX << m_fCenterY << static_cast<DWORD>(m_crColor);
    ar << static_cast<const RECT&>(m_rcBound);
    ar << static_cast<WORD>(m_wType) << static_cast<LONG>(m_nRuns) << static_cast<LONG>(external)
       << static_cast<LONG>(internal) << static_cast<LONG>(m_nExternalConnections)
       << static_cast<LONG>(m_nInternalConnections);
    vorlane::detail::WriteLE32Array(ar, m_pRuns, static_cast<size_t>(m_nRuns) * 3);
    if (external != kNotComputed) {
      vorlane::detail::WriteLE32Array(ar, m_pExternalBorder, static_cast<size_t>(external) * 2);
    }
    if (internal != kNotComputed) {
      vorlane::detail::WriteLE32Array(ar, m_pInternalBorder, static_cast<size_t>(internal) * 2);
    }
    ar << static_cast<LONG>(m_pVexed ? 1 : 0);
    if (m_pVexed) ar.WriteObject(m_pVexed);
    return;
  }

  if (!vorlane::detail::BeginVersionedRecord(ar)) return;
  Clear();
  try {
    LONG size = 0, runs = 0, external = 0, internal = 0, externalConnections = 0,
         internalConnections = 0;
    float centerX = 0, centerY = 0;
    DWORD colour = 0;
    RECT bound{};
    WORD type = 0;
    ar >> size >> centerX >> centerY >> colour >> bound >> type >> runs >> external >> internal >>
        externalConnections >> internalConnections;
    // Caches hold a measurement or the not-computed mark; the arrays hold what they claim.
    if (!std::isfinite(centerX) || !std::isfinite(centerY) || runs < 0) {
      RejectRecord(CArchiveException::genericException);
    }
    CheckBorderCount(external);
    CheckBorderCount(internal);
    CheckBorderCount(externalConnections);
    CheckBorderCount(internalConnections);
    // Runs, both point lists and the vexed-area flag must all fit in what is left.
    const uint64_t points = static_cast<uint64_t>(external > 0 ? external : 0) +
                            static_cast<uint64_t>(internal > 0 ? internal : 0);
    vorlane::detail::RequireAvailable(ar, static_cast<uint64_t>(runs), kRunBytes,
                                      points * kPointBytes + 4);

    ResizeRuns(runs);
    vorlane::detail::ReadLE32Array(ar, m_pRuns, static_cast<size_t>(runs) * 3);
    CheckRuns(m_pRuns, m_nRuns);
    CheckExtentAndCaches(m_pRuns, m_nRuns, size, bound);
    if (external != kNotComputed) {
      ResizeExternalBorder(external);
      vorlane::detail::ReadLE32Array(ar, m_pExternalBorder, static_cast<size_t>(external) * 2);
      CheckBorder(m_pExternalBorder, m_nExternalBorder);
    }
    if (internal != kNotComputed) {
      ResizeInternalBorder(internal);
      vorlane::detail::ReadLE32Array(ar, m_pInternalBorder, static_cast<size_t>(internal) * 2);
      CheckBorder(m_pInternalBorder, m_nInternalBorder);
    }
    m_nSize = size;
    m_fCenterX = centerX;
    m_fCenterY = centerY;
    m_crColor = colour;
    m_rcBound = bound;
    m_wType = type;
    m_nExternalConnections = externalConnections;
    m_nInternalConnections = internalConnections;

    // The vexed area is owned: a reference to an object read before would give it two owners.
    if (vorlane::detail::ReadInt32(ar) != 0) {
      m_pVexed = static_cast<CComp*>(ar.ReadNewObject(RUNTIME_CLASS(CComp)));
    }
  } catch (...) {
    // A component whose record failed is left empty, never half read.
    Clear();
    throw;
  }
}
