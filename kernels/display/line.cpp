// Line drawing into 4-byte pixel rows.
#include "kernels/display/line.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace vorlane::detail {
namespace {

// Coordinate of point i on one axis: start + trunc(i * step), all in single precision.
int64_t Coordinate(int start, float step, int64_t i) {
  return start + static_cast<int64_t>(static_cast<float>(i) * step);
}

// The first i in [0, n] for which done(i) holds, done being false then true along i; n when
// it never holds.
template <typename Done>
int64_t FirstWhere(int64_t n, Done&& done) {
  int64_t lo = 0, hi = n;
  while (lo < hi) {
    const int64_t mid = lo + (hi - lo) / 2;
    if (done(mid)) {
      hi = mid;
    } else {
      lo = mid + 1;
    }
  }
  return lo;
}

// Narrows [first, end) to the points whose coordinate on one axis lies in [low, high].
void KeepInside(int start, float step, int low, int high, int64_t n, int64_t& first, int64_t& end) {
  int64_t from, to;
  if (step >= 0) {
    from = FirstWhere(n, [&](int64_t i) { return Coordinate(start, step, i) >= low; });
    to = FirstWhere(n, [&](int64_t i) { return Coordinate(start, step, i) > high; });
  } else {
    from = FirstWhere(n, [&](int64_t i) { return Coordinate(start, step, i) <= high; });
    to = FirstWhere(n, [&](int64_t i) { return Coordinate(start, step, i) < low; });
  }
  if (from > first) first = from;
  if (to < end) end = to;
}

}  // namespace

void DrawLineSegment(unsigned char* const* rows, DrawBox box, int x1, int y1, int x2, int y2,
                     PixelBgr colour) {
  if (!rows || box.right < box.left || box.bottom < box.top) return;
  const int64_t dx = int64_t{x2} - x1;
  const int64_t dy = int64_t{y2} - y1;
  const int64_t n = std::max(std::llabs(dx), std::llabs(dy));
  if (n == 0) return;
  const float sx = static_cast<float>(dx) / static_cast<float>(n);
  const float sy = static_cast<float>(dy) / static_cast<float>(n);
  int64_t first = 0, end = n;
  KeepInside(x1, sx, box.left, box.right, n, first, end);
  KeepInside(y1, sy, box.top, box.bottom, n, first, end);
  for (int64_t i = first; i < end; ++i) {
    const int64_t x = Coordinate(x1, sx, i);
    unsigned char* p = rows[Coordinate(y1, sy, i)] + x * 4;
    p[0] = colour.blue;
    p[1] = colour.green;
    p[2] = colour.red;
  }
}

}  // namespace vorlane::detail
