// Rotation by inverse mapping with per-column and per-row products.
#include "kernels/geometry/rotate.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <vector>

#include "kernels/parallel/row_bands.h"

namespace vorlane::detail {

namespace {

constexpr double kTurn = 6.2831854820251465;     // 2 pi in single precision
constexpr float kPiFloat = 3.1415927410125732f;  // pi in single precision
constexpr double kQuarter1 = 1.5707963705062866;
constexpr double kQuarter2 = 3.1415927410125732;
constexpr double kQuarter3 = 4.71238911151886;

// First index in [a, b) for which pred holds, pred being false then true along the range;
// b when it never holds.
template <class Pred>
int FirstTrue(int a, int b, Pred pred) {
  while (a < b) {
    const int mid = a + (b - a) / 2;
    if (pred(mid)) {
      b = mid;
    } else {
      a = mid + 1;
    }
  }
  return a;
}

// The columns [lo, hi) of [a, b) where 0 <= trunc(v(x)) < n, v being non-decreasing in x
// when rising, else non-increasing. trunc(v) >= 0 exactly when v > -1, and trunc(v) < n
// exactly when v < n (n >= 1), so the tests need no conversion.
template <class Value>
void MonotoneSpan(int a, int b, bool rising, int n, Value v, int& lo, int& hi) {
  const double limit = n;
  if (rising) {
    lo = FirstTrue(a, b, [&](int x) { return v(x) > -1.0; });
    hi = FirstTrue(lo, b, [&](int x) { return v(x) >= limit; });
  } else {
    lo = FirstTrue(a, b, [&](int x) { return v(x) < limit; });
    hi = FirstTrue(lo, b, [&](int x) { return v(x) <= -1.0; });
  }
}

}  // namespace

double ReduceAngle(double angle) {
  const double k = std::trunc(angle / kTurn);
  const float twice = static_cast<float>(2.0 * k);
  angle = angle - static_cast<double>(twice * kPiFloat);
  if (angle < 0.0) angle += kTurn;
  return angle;
}

bool MakeRotationFrame(double a, int w, int h, int ew, int eh, RotationFrame& f) {
  if (!std::isfinite(a)) return false;
  const double c = std::cos(a);
  const double s = std::sin(a);
  const double width = std::fabs(c) * w + std::fabs(s) * h;
  const double height = std::fabs(s) * w + std::fabs(c) * h;
  if (!(width < static_cast<double>(INT_MAX)) || !(height < static_cast<double>(INT_MAX))) {
    return false;
  }
  f.c = c;
  f.s = s;
  f.width = static_cast<int>(width);
  f.height = static_cast<int>(height);
  if (a < kQuarter1) {
    f.ox = static_cast<int>(eh * s);
    f.oy = 0;
  } else if (a < kQuarter2) {
    f.ox = static_cast<int>(-ew * c + eh * s);
    f.oy = static_cast<int>(-eh * c);
  } else if (a < kQuarter3) {
    f.ox = static_cast<int>(-ew * c);
    f.oy = static_cast<int>(-ew * s - eh * c);
  } else {
    f.ox = 0;
    f.oy = static_cast<int>(-ew * s);
  }
  return true;
}

// out[x] = row[trunc(cc[x] + rowS)] for the pixels x of [x0, x1), all in range; parameters by
// value so that the byte stores cannot be taken to change them.
template <int Bpp>
void CopyFromRow(unsigned char* out, const unsigned char* row, const double* cc, double rowS,
                 int x0, int x1) {
  for (int x = x0; x < x1; ++x) {
    const ptrdiff_t sx = static_cast<int>(cc[x] + rowS);
    std::memcpy(out + static_cast<ptrdiff_t>(x) * Bpp, row + sx * Bpp, Bpp);
  }
}

// Whether every pixel of the plane holds the same Bpp bytes; value receives them.
template <int Bpp>
bool UniformPlane(const Plane& plane, PixelValue<Bpp>& value) {
  if (plane.width <= 0 || plane.height <= 0) return false;
  std::memcpy(value.bytes, plane.rows[0], Bpp);
  const size_t rowBytes = static_cast<size_t>(plane.width) * Bpp;
  for (int y = 0; y < plane.height; ++y) {
    const unsigned char* row = plane.rows[y];
    // The first pixel, then the row against itself shifted by one pixel.
    if (std::memcmp(row, value.bytes, Bpp) != 0 ||
        std::memcmp(row, row + Bpp, rowBytes - Bpp) != 0) {
      return false;
    }
  }
  return true;
}

template <int Bpp>
void RotatePixels(const Plane& src, const Plane& dst, const RotationFrame& f,
                  const RotationPlacement& p, const PixelValue<Bpp>* fill) {
  const int xBegin = std::max(0, p.left - p.shiftX);
  const int xEnd = std::min(f.width, p.right - p.shiftX);
  const int yBegin = std::max(0, p.top - p.shiftY);
  const int yEnd = std::min(f.height, p.bottom - p.shiftY);
  if (xBegin >= xEnd || yBegin >= yEnd) return;

  // dx * c and dx * s for every column of the window (entries before xBegin unused).
  std::vector<double> colC(static_cast<size_t>(xEnd));
  std::vector<double> colS(colC.size());
  for (int x = xBegin; x < xEnd; ++x) {
    const double dx = static_cast<double>(static_cast<int64_t>(x) - f.ox);
    colC[static_cast<size_t>(x)] = dx * f.c;
    colS[static_cast<size_t>(x)] = dx * f.s;
  }
  const double* cc = colC.data();
  const double* cs = colS.data();
  const bool sxRises = f.c >= 0.0;
  const bool syRises = f.s <= 0.0;
  // Below this |sin| the source row stays the same over runs of several columns.
  const bool rowRuns = std::fabs(f.s) < 0.25;
  const int guess = rowRuns && f.s != 0.0 ? std::max(1, static_cast<int>(0.5 / std::fabs(f.s))) : 1;
  const bool srcEmpty = src.width <= 0 || src.height <= 0;
  // A plane of one value (a blank map, an empty page) gives that value wherever a source
  // pixel lands: its spans are filled instead of copied.
  PixelValue<Bpp> uniformValue;
  const bool uniform = UniformPlane<Bpp>(src, uniformValue);
  const int shiftX = p.shiftX, shiftY = p.shiftY;

  // Rows are independent: each band of target rows is computed on a core of its own.
  const int64_t work = static_cast<int64_t>(xEnd - xBegin) * (yEnd - yBegin) * Bpp;
  ForEachRowBand(yBegin, yEnd, work, [&](int firstRow, int lastRow) {
    for (int y = firstRow; y < lastRow; ++y) {
      const double dy = static_cast<double>(static_cast<int64_t>(y) - f.oy);
      const double rowS = dy * f.s;
      const double rowC = dy * f.c;
      const auto sxOf = [&](int x) { return cc[x] + rowS; };
      const auto syOf = [&](int x) { return rowC - cs[x]; };
      int lo = xBegin, hi = xBegin;
      if (!srcEmpty) {
        int lo1, hi1, lo2, hi2;
        MonotoneSpan(xBegin, xEnd, sxRises, src.width, sxOf, lo1, hi1);
        MonotoneSpan(xBegin, xEnd, syRises, src.height, syOf, lo2, hi2);
        lo = std::max(lo1, lo2);
        hi = std::max(lo, std::min(hi1, hi2));
      }

      // Target column x is out + x * Bpp; the window keeps it inside the plane.
      unsigned char* const out = dst.rows[y + shiftY] + static_cast<ptrdiff_t>(shiftX) * Bpp;
      const auto at = [out](int x) { return out + static_cast<ptrdiff_t>(x) * Bpp; };
      if (fill) {
        FillPixels<Bpp>(at(xBegin), lo - xBegin, *fill);
        FillPixels<Bpp>(at(hi), xEnd - hi, *fill);
      }
      if (uniform) {
        FillPixels<Bpp>(at(lo), hi - lo, uniformValue);
        continue;
      }
      unsigned char* const* in = src.rows;
      if (!rowRuns) {
        for (int x = lo; x < hi; ++x) {
          const int sx = static_cast<int>(sxOf(x));
          const int sy = static_cast<int>(syOf(x));
          std::memcpy(at(x), in[sy] + static_cast<ptrdiff_t>(sx) * Bpp, Bpp);
        }
        continue;
      }
      // Runs of columns with one source row: sy is monotone along the row, so the end of a
      // run is the first column whose sy differs, found by galloping and bisection; inside
      // the span every coordinate is in range, so the conversions are exact and safe.
      for (int x = lo; x < hi;) {
        const int sy = static_cast<int>(syOf(x));
        const auto differs = [&](int i) { return static_cast<int>(syOf(i)) != sy; };
        int same = x, end = hi;
        for (int64_t step = guess; same + step < hi; step *= 2) {
          const int probe = static_cast<int>(same + step);
          if (differs(probe)) {
            end = probe;
            break;
          }
          same = probe;
        }
        end = FirstTrue(same + 1, end, differs);
        CopyFromRow<Bpp>(out, in[sy], cc, rowS, x, end);
        x = end;
      }
    }
  });
}

template <int Bpp>
bool RotateRectangle(const Plane& plane, int left, int top, int right, int bottom,
                     double reducedAngle, const PixelValue<Bpp>* fill, bool clipToRect) {
  const int rw = right - left;
  const int rh = bottom - top;
  RotationFrame frame;
  if (!MakeRotationFrame(reducedAngle, rw, rh, rw, rh, frame)) return false;
  // The rectangle's pixels, rw x rh, as a plane of their own.
  std::vector<unsigned char> copy(static_cast<size_t>(rw) * static_cast<size_t>(rh) * Bpp);
  std::vector<unsigned char*> copyRows(static_cast<size_t>(rh));
  for (int j = 0; j < rh; ++j) {
    unsigned char* row = copy.data() + static_cast<size_t>(j) * static_cast<size_t>(rw) * Bpp;
    copyRows[static_cast<size_t>(j)] = row;
    unsigned char* inPlane = plane.rows[top + j] + static_cast<ptrdiff_t>(left) * Bpp;
    CopyPixels<Bpp>(row, inPlane, rw);
    if (fill) FillColourBytes<Bpp>(inPlane, rw, *fill);
  }
  const Plane source{copyRows.data(), rw, rh};
  RotationPlacement placement;
  placement.shiftX = left - (frame.width - rw) / 2;
  placement.shiftY = top - (frame.height - rh) / 2;
  if (clipToRect) {
    placement.left = left;
    placement.top = top;
    placement.right = right;
    placement.bottom = bottom;
  } else {
    placement.right = plane.width;
    placement.bottom = plane.height;
  }
  RotatePixels<Bpp>(source, plane, frame, placement, nullptr);
  return true;
}

template bool RotateRectangle<1>(const Plane&, int, int, int, int, double, const PixelValue<1>*,
                                 bool);
template bool RotateRectangle<4>(const Plane&, int, int, int, int, double, const PixelValue<4>*,
                                 bool);

template void RotatePixels<1>(const Plane&, const Plane&, const RotationFrame&,
                              const RotationPlacement&, const PixelValue<1>*);
template void RotatePixels<4>(const Plane&, const Plane&, const RotationFrame&,
                              const RotationPlacement&, const PixelValue<4>*);

}  // namespace vorlane::detail
