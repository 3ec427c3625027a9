// CRgn as polygons with an exact point-in-polygon test for both fill rules.
#include "platform/region.h"

#include <algorithm>
#include <cstdint>

namespace {

// Winding number of the polygon pts[0..n) around the point (px, py), all coordinates
// doubled so that pixel centres are whole numbers. Crossings are counted on a ray towards
// +x with half-open edges (an edge covers py when exactly one end lies above it), so that
// points on an outline are decided consistently. odd receives the crossing parity.
int Winding(const POINT* pts, int n, int64_t px, int64_t py, bool* odd) {
  int winding = 0;
  bool parity = false;
  for (int i = 0; i < n; ++i) {
    const POINT& a = pts[i];
    const POINT& b = pts[(i + 1) % n];
    const int64_t ax = int64_t{a.x} * 2, ay = int64_t{a.y} * 2;
    const int64_t bx = int64_t{b.x} * 2, by = int64_t{b.y} * 2;
    const bool aAbove = ay > py;
    const bool bAbove = by > py;
    if (aAbove == bAbove) continue;
    // x of the crossing compared with px: (px - ax)(by - ay) < (py - ay)(bx - ax) when the
    // edge runs downwards (by > ay); the inequality turns for upward edges.
    const int64_t lhs = (px - ax) * (by - ay);
    const int64_t rhs = (py - ay) * (bx - ax);
    const bool crossingRight = by > ay ? lhs < rhs : lhs > rhs;
    if (!crossingRight) continue;
    parity = !parity;
    winding += by > ay ? 1 : -1;
  }
  *odd = parity;
  return winding;
}

// Twice the signed area of a polygon.
int64_t DoubleArea(const POINT* pts, int n) {
  int64_t area = 0;
  for (int i = 0; i < n; ++i) {
    const POINT& a = pts[i];
    const POINT& b = pts[(i + 1) % n];
    area += int64_t{a.x} * b.y - int64_t{b.x} * a.y;
  }
  return area;
}

}  // namespace

BOOL CRgn::CreatePolyPolygonRgn(const POINT* points, const int* counts, int polygons,
                                int fillMode) {
  DeleteObject();
  if (!points || !counts || polygons < 1 || (fillMode != ALTERNATE && fillMode != WINDING)) {
    return FALSE;
  }
  int64_t total = 0;
  for (int i = 0; i < polygons; ++i) {
    if (counts[i] < 2) return FALSE;
    total += counts[i];
  }
  m_points.assign(points, points + total);
  m_counts.assign(counts, counts + polygons);
  m_boxes.reserve(static_cast<size_t>(polygons));
  m_hasArea.reserve(static_cast<size_t>(polygons));
  const POINT* p = m_points.data();
  for (int i = 0; i < polygons; ++i) {
    Box box{p[0].x, p[0].y, p[0].x, p[0].y};
    for (int k = 1; k < counts[i]; ++k) {
      box.left = std::min(box.left, p[k].x);
      box.top = std::min(box.top, p[k].y);
      box.right = std::max(box.right, p[k].x);
      box.bottom = std::max(box.bottom, p[k].y);
    }
    m_boxes.push_back(box);
    m_hasArea.push_back(DoubleArea(p, counts[i]) != 0);
    p += counts[i];
  }
  m_fillMode = fillMode;
  m_exists = true;
  return TRUE;
}

BOOL CRgn::DeleteObject() {
  if (!m_exists) return FALSE;
  m_exists = false;
  m_points.clear();
  m_counts.clear();
  m_boxes.clear();
  m_hasArea.clear();
  return TRUE;
}

void* CRgn::GetSafeHandle() const { return m_exists ? const_cast<CRgn*>(this) : nullptr; }

BOOL CRgn::PtInRegion(int x, int y) const {
  if (!m_exists) return FALSE;
  const int64_t px = int64_t{x} * 2 + 1;
  const int64_t py = int64_t{y} * 2 + 1;
  int winding = 0;
  bool odd = false;
  const POINT* p = m_points.data();
  for (size_t i = 0; i < m_counts.size(); ++i) {
    const Box& b = m_boxes[i];
    // A point outside a polygon's box is neither wound around nor crossed an odd number of
    // times by it.
    if (px > int64_t{b.left} * 2 && px < int64_t{b.right} * 2 && py > int64_t{b.top} * 2 &&
        py < int64_t{b.bottom} * 2) {
      bool polygonOdd = false;
      winding += Winding(p, m_counts[i], px, py, &polygonOdd);
      odd = odd != polygonOdd;
    }
    p += m_counts[i];
  }
  return (m_fillMode == WINDING ? winding != 0 : odd) ? TRUE : FALSE;
}

int CRgn::GetRgnBox(RECT* box) const {
  if (!m_exists || !box) return ERROR_REGION;
  bool any = false;
  int polygons = 0;
  RECT result{0, 0, 0, 0};
  for (size_t i = 0; i < m_counts.size(); ++i) {
    if (!m_hasArea[i]) continue;
    const Box& b = m_boxes[i];
    if (!any) {
      result = RECT{b.left, b.top, b.right, b.bottom};
      any = true;
    } else {
      result.left = std::min(result.left, b.left);
      result.top = std::min(result.top, b.top);
      result.right = std::max(result.right, b.right);
      result.bottom = std::max(result.bottom, b.bottom);
    }
    ++polygons;
  }
  *box = result;
  if (!any) return NULLREGION;
  return polygons == 1 ? SIMPLEREGION : COMPLEXREGION;
}
