// Shear of images and maps, row by row over runs of columns that move alike.
#include "kernels/geometry/tilt.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <vector>

namespace vorlane::detail {

bool MakeTiltFrame(double angle, unsigned char mode, int w, int h, TiltFrame& f) {
  const double t = std::tan(angle);
  if (!std::isfinite(t)) return false;
  f = TiltFrame{};
  f.t = t;
  f.width = w;
  f.height = h;
  f.horizontal = (mode & 1) != 0;
  f.vertical = (mode & 2) != 0;
  if (f.horizontal) {
    const double shift = t * h;
    if (!(std::fabs(shift) < static_cast<double>(INT_MAX - w))) return false;
    const int extra = static_cast<int>(shift);
    f.width = w + std::abs(extra);
    f.ox = t > 0.0 ? extra : 0;
  }
  if (f.vertical) {
    const double shift = t * w;
    if (!(std::fabs(shift) < static_cast<double>(INT_MAX - h))) return false;
    f.height = h + std::abs(static_cast<int>(shift));
    f.oy = t < 0.0 ? static_cast<int>(-w * t) : 0;
  }
  return true;
}

namespace {

// Columns [begin, end) that move vertically by the same d.
struct ColumnRun {
  int begin;
  int end;
  int64_t d;
};

// The runs of the vertical shift d(x) = trunc(t (x - ox)) over the canvas; a shift of the
// canvas height or more either way is capped there (the column is all fill then).
std::vector<ColumnRun> ColumnRuns(const TiltFrame& f) {
  std::vector<ColumnRun> runs;
  const double limit = f.height;
  for (int x = 0; x < f.width; ++x) {
    int64_t d = 0;
    if (f.vertical) {
      const double v = f.t * static_cast<double>(static_cast<int64_t>(x) - f.ox);
      d = v >= limit    ? f.height
          : v <= -limit ? -static_cast<int64_t>(f.height)
                        : static_cast<int64_t>(v);
    }
    if (runs.empty() || runs.back().d != d) {
      runs.push_back({x, x + 1, d});
    } else {
      runs.back().end = x + 1;
    }
  }
  return runs;
}

}  // namespace

template <int Bpp>
void TiltPixels(const Plane& src, const Plane& dst, const TiltFrame& f,
                const PixelValue<Bpp>& fill) {
  const std::vector<ColumnRun> runs = ColumnRuns(f);
  // Start column of every source row after the horizontal shear.
  std::vector<int64_t> start(static_cast<size_t>(src.height), 0);
  if (f.horizontal) {
    for (int r = 0; r < src.height; ++r) {
      start[static_cast<size_t>(r)] = f.ox - static_cast<int64_t>(f.t * r);
    }
  }
  for (int y = 0; y < f.height; ++y) {
    unsigned char* out = dst.rows[y];
    for (const ColumnRun& run : runs) {
      const int64_t r = y - run.d - f.oy;
      if (r < 0 || r >= src.height) {
        FillPixels<Bpp>(out + static_cast<ptrdiff_t>(run.begin) * Bpp, run.end - run.begin, fill);
        continue;
      }
      // Target columns [a, b) of the run receive source columns [a - s, b - s).
      const int64_t s = start[static_cast<size_t>(r)];
      const int a = static_cast<int>(std::clamp<int64_t>(s, run.begin, run.end));
      const int b = static_cast<int>(std::clamp<int64_t>(s + src.width, a, run.end));
      FillPixels<Bpp>(out + static_cast<ptrdiff_t>(run.begin) * Bpp, a - run.begin, fill);
      CopyPixels<Bpp>(out + static_cast<ptrdiff_t>(a) * Bpp,
                      src.rows[r] + static_cast<ptrdiff_t>(a - s) * Bpp, b - a);
      FillPixels<Bpp>(out + static_cast<ptrdiff_t>(b) * Bpp, run.end - b, fill);
    }
  }
}

template void TiltPixels<1>(const Plane&, const Plane&, const TiltFrame&, const PixelValue<1>&);
template void TiltPixels<4>(const Plane&, const Plane&, const TiltFrame&, const PixelValue<4>&);

}  // namespace vorlane::detail
