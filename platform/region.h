// CRgn: a graphics region stood in for by closed polygons with the alternate or winding
// fill rule.
#pragma once

#include <vector>

#include "platform/bitmap.h"
#include "platform/types.h"

#ifndef ALTERNATE
#define ALTERNATE 1
#endif
#ifndef WINDING
#define WINDING 2
#endif

// Region types answered by GetRgnBox.
#ifndef NULLREGION
#define ERROR_REGION 0
#define NULLREGION 1
#define SIMPLEREGION 2
#define COMPLEXREGION 3
#endif

// A pixel (x, y) belongs to the region when its centre (x + 0.5, y + 0.5) lies inside the
// polygons: for ALTERNATE when a ray from it crosses the outlines an odd number of times,
// for WINDING when the outlines wind around it a non-zero number of times. A rectangle with
// corners (l, t) and (r, b) thus holds the pixels l..r-1 of rows t..b-1.
class CRgn : public CGdiObject {
 public:
  CRgn() = default;
  ~CRgn() override = default;
  CRgn(const CRgn&) = delete;
  CRgn& operator=(const CRgn&) = delete;

  // Makes the region from polygons closed polygon by polygon: counts[i] points of polygon
  // i follow each other in points. Replaces any region held before. Returns FALSE (and holds
  // no region) for null arrays, polygons < 1, a polygon of fewer than 2 points or a fill
  // mode other than ALTERNATE and WINDING.
  BOOL CreatePolyPolygonRgn(const POINT* points, const int* counts, int polygons, int fillMode);
  BOOL DeleteObject() override;
  void* GetSafeHandle() const override;
  // Non-zero when pixel (x, y) belongs to the region.
  BOOL PtInRegion(int x, int y) const;
  // Bounding box of the polygon outlines that enclose an area (right and bottom exclusive);
  // returns NULLREGION with an all-zero box when there is none, SIMPLEREGION for a single
  // polygon, COMPLEXREGION for several, ERROR_REGION (box untouched) without a region or
  // with a null box.
  int GetRgnBox(RECT* box) const;

  int GetFillMode() const { return m_fillMode; }
  int GetPolygonCount() const { return static_cast<int>(m_counts.size()); }

 private:
  struct Box {
    LONG left, top, right, bottom;
  };
  bool m_exists = false;
  int m_fillMode = ALTERNATE;
  std::vector<POINT> m_points;
  std::vector<int> m_counts;
  std::vector<Box> m_boxes;  // outline box of each polygon
  std::vector<bool> m_hasArea;
};
