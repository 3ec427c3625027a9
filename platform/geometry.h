// CPoint and CRect: value types over POINT and RECT (right and bottom exclusive).
#pragma once

#include "platform/types.h"

class CPoint : public POINT {
 public:
  CPoint() : POINT{0, 0} {}
  CPoint(int x_, int y_) : POINT{x_, y_} {}
  CPoint(const POINT& p) : POINT(p) {}
  bool operator==(const POINT& o) const { return x == o.x && y == o.y; }
  bool operator!=(const POINT& o) const { return !(*this == o); }
};

class CRect : public RECT {
 public:
  CRect() : RECT{0, 0, 0, 0} {}
  CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
  CRect(const RECT& r) : RECT(r) {}

  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  // Empty when it has no area (width or height not positive).
  BOOL IsRectEmpty() const { return right <= left || bottom <= top; }
  // Null when all four coordinates are 0.
  BOOL IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
  BOOL PtInRect(POINT p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  void SetRect(int l, int t, int r, int b) {
    left = l;
    top = t;
    right = r;
    bottom = b;
  }
  void SetRectEmpty() { SetRect(0, 0, 0, 0); }
  // Swaps coordinates so that left <= right and top <= bottom.
  void NormalizeRect();
  // Smallest rectangle holding both; an empty operand is ignored. Returns non-zero when
  // the result is not empty.
  BOOL UnionRect(const RECT* a, const RECT* b);
  // Overlap of both; an empty overlap gives (0, 0, 0, 0) and returns 0.
  BOOL IntersectRect(const RECT* a, const RECT* b);
  void OffsetRect(int dx, int dy) {
    left += dx;
    right += dx;
    top += dy;
    bottom += dy;
  }
  bool operator==(const RECT& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
  bool operator!=(const RECT& o) const { return !(*this == o); }
  operator RECT*() { return this; }
  operator const RECT*() const { return this; }
};
