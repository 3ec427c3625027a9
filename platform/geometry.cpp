// Rectangle arithmetic of CRect.
#include "platform/geometry.h"

#include <algorithm>

void CRect::NormalizeRect() {
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
}

BOOL CRect::UnionRect(const RECT* a, const RECT* b) {
  const CRect ra(*a), rb(*b);
  if (ra.IsRectEmpty() && rb.IsRectEmpty()) {
    SetRectEmpty();
    return FALSE;
  }
  if (ra.IsRectEmpty()) {
    *this = rb;
  } else if (rb.IsRectEmpty()) {
    *this = ra;
  } else {
    SetRect(std::min(ra.left, rb.left), std::min(ra.top, rb.top), std::max(ra.right, rb.right),
            std::max(ra.bottom, rb.bottom));
  }
  return TRUE;
}

BOOL CRect::IntersectRect(const RECT* a, const RECT* b) {
  CRect r(std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
          std::min(a->bottom, b->bottom));
  if (r.IsRectEmpty()) {
    SetRectEmpty();
    return FALSE;
  }
  *this = r;
  return TRUE;
}
