// Binary dilation and erosion of map labels.
#include "kernels/geometry/morphology.h"

namespace vorlane::detail {

namespace {

// Whether the square of radius r around (x, y) in rows holds a byte for which carries()
// equals wanted.
template <class Carries>
bool SquareHas(const unsigned char* const* rows, int x, int y, int r, bool wanted,
               Carries carries) {
  for (int j = y - r; j <= y + r; ++j) {
    const unsigned char* row = rows[j];
    for (int i = x - r; i <= x + r; ++i) {
      if (carries(row[i]) == wanted) return true;
    }
  }
  return false;
}

template <class Carries, class Change>
bool Pass(const Plane& map, const unsigned char* const* before, const MorphologyParams& p,
          const std::function<bool()>& cancelled, Carries carries, Change change) {
  const int r = p.radius;
  for (int y = r; y < map.height - r; ++y) {
    const unsigned char* in = before[y];
    for (int x = r; x < map.width - r; ++x) {
      const bool has = carries(in[x]);
      // Dilation looks at pixels without the label for a neighbour with it; erosion the
      // other way round.
      if (has == p.dilate) continue;
      if (SquareHas(before, x, y, r, p.dilate, carries)) change(x, y, in[x]);
    }
    if (cancelled && cancelled()) return false;
  }
  return true;
}

}  // namespace

bool ApplyMorphology(const Plane& map, const unsigned char* const* before,
                     const MorphologyParams& p, const std::function<bool()>& cancelled) {
  const unsigned char label = p.label;
  if (p.bitLabels) {
    const auto carries = [label](unsigned char b) { return (b & label) == label; };
    return Pass(map, before, p, cancelled, carries, [&](int x, int y, unsigned char b) {
      unsigned char& out = map.rows[y][x];
      if (p.dilate) {
        out = static_cast<unsigned char>(b | label);
      } else if ((b & ~label) == 0) {
        out = static_cast<unsigned char>(b & ~label);
      } else {
        out = static_cast<unsigned char>(b & ~(label & ~p.option));
      }
    });
  }
  const auto carries = [label](unsigned char b) { return b == label; };
  return Pass(map, before, p, cancelled, carries, [&](int x, int y, unsigned char) {
    unsigned char& out = map.rows[y][x];
    if (p.dilate) {
      out = label;
    } else {
      out = p.option == 1 && p.restoreRows ? p.restoreRows[y][x] : p.foreground;
    }
  });
}

}  // namespace vorlane::detail
