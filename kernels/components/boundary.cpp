// Boundary polygons of components: outline trace and staircase.
#include "kernels/components/boundary.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>

#include "kernels/components/spans.h"

namespace vorlane::detail {

namespace {

// Steps of the eight directions, clockwise from north, y growing downwards.
constexpr int kStepX[8] = {0, 1, 1, 1, 0, -1, -1, -1};
constexpr int kStepY[8] = {-1, -1, 0, 1, 1, 1, 0, -1};

int Sign(int64_t v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

}  // namespace

std::vector<POINT> TraceBoundary(const Run* runs, int count) {
  std::vector<POINT> vertices;
  if (!runs || count < 1) return vertices;
  const POINT start{runs[0].xl, runs[0].y};
  vertices.push_back(start);
  int64_t pixels = 0;
  for (int i = 0; i < count; ++i)
    pixels += std::max<int64_t>(int64_t{runs[i].xr} - runs[i].xl + 1, 0);
  const int64_t limit = 8 * pixels + 8;
  POINT here = start;
  int direction = 2;
  for (int64_t step = 0; step < limit; ++step) {
    for (int turn : {6, 7, 0, 1, 2, 3, 4, 5}) {
      const int d = (direction + turn) % 8;
      const int64_t nx = int64_t{here.x} + kStepX[d];
      const int64_t ny = int64_t{here.y} + kStepY[d];
      if (nx < INT_MIN || nx > INT_MAX || ny < INT_MIN || ny > INT_MAX) continue;
      if (!RunsContain(runs, count, static_cast<int>(nx), static_cast<int>(ny))) continue;
      if (turn != 0) vertices.push_back(here);
      here = POINT{static_cast<LONG>(nx), static_cast<LONG>(ny)};
      direction = d;
      break;
    }
    if (here.x == start.x && here.y == start.y) break;
  }
  return vertices;
}

std::vector<POINT> Staircase(std::vector<POINT> in) {
  // The polygon is one array: the processed vertices (out) followed by the unprocessed ones
  // (in[t..]). Indices into that array wrap around it, as the edge scan does.
  std::vector<POINT> out;
  out.reserve(in.size() * 2);
  size_t t = 0;
  const size_t n = in.size();
  auto at = [&](size_t k) -> POINT& { return k < out.size() ? out[k] : in[t + k - out.size()]; };
  while (t < n) {
    const size_t count = out.size() + (n - t);
    const size_t i = out.size();
    const size_t j = (i + 1) % count;
    const POINT p = at(i);
    const POINT q = at(j);
    const int64_t dx = int64_t{q.x} - p.x;
    const int64_t dy = int64_t{q.y} - p.y;
    if (dx == 0 || dy == 0) {
      out.push_back(p);
      ++t;
      continue;
    }
    const int sx = dx < 0 ? -1 : 1;
    const int sy = dy < 0 ? -1 : 1;
    const bool vertical = (sy < 0 && sx < 0) || (sy > 0 && sx > 0);
    const POINT prev = at((i + count - 1) % count);
    const POINT next = at((j + 1) % count);
    // Does the previous edge continue the first step, or the next edge the last one?
    bool moveStart, moveEnd;
    if (!vertical) {
      moveStart = prev.y == p.y && Sign(int64_t{p.x} - prev.x) == sx;
      moveEnd = next.x == q.x && Sign(int64_t{next.y} - q.y) == sy;
    } else {
      moveStart = prev.x == p.x && Sign(int64_t{p.y} - prev.y) == sy;
      moveEnd = next.y == q.y && Sign(int64_t{next.x} - q.x) == sx;
    }
    POINT start = p;
    POINT end = q;
    bool stepVertical = vertical;
    if (moveStart) {
      if (vertical) {
        start.y += sy;
      } else {
        start.x += sx;
      }
      stepVertical = !vertical;
    }
    if (moveEnd) {
      if (vertical) {
        end.x -= sx;
      } else {
        end.y -= sy;
      }
    }
    at(j) = end;
    const int64_t steps = std::abs(int64_t{end.x} - start.x) + std::abs(int64_t{end.y} - start.y);
    ++t;
    if (steps == 0) continue;  // both ends met: vertex i is dropped
    // The start vertex and the corners between the alternating unit steps.
    out.push_back(start);
    POINT corner = start;
    for (int64_t k = 0; k + 1 < steps; ++k) {
      if (stepVertical) {
        corner.y += sy;
      } else {
        corner.x += sx;
      }
      out.push_back(corner);
      stepVertical = !stepVertical;
    }
  }
  return out;
}

}  // namespace vorlane::detail
