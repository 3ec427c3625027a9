// A slow, obviously correct pixel-set model of a component, for differential tests of CComp.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "vorlane/vorlane.h"

namespace comp_reference {

// (y, x), so that the set order is by row, then column.
using Pixel = std::pair<int, int>;
using PixelSet = std::set<Pixel>;
using Run = CComp::tagCompRun;

inline std::vector<Run> RunsOf(CComp& comp) {
  std::vector<Run> runs;
  for (int i = 0; i < comp.GetMaxRun(); ++i) runs.push_back(*comp.GetRun(i));
  return runs;
}

inline PixelSet FromComp(CComp& comp) {
  PixelSet set;
  for (const Run& r : RunsOf(comp)) {
    for (int x = r.xl; x <= r.xr; ++x) set.insert({r.y, x});
  }
  return set;
}

// Sorted, disjoint, maximal runs of a pixel set.
inline std::vector<Run> CanonicalRuns(const PixelSet& set) {
  std::vector<Run> runs;
  for (const auto& [y, x] : set) {
    if (!runs.empty() && runs.back().y == y && runs.back().xr + 1 == x) {
      runs.back().xr = x;
    } else {
      runs.push_back(Run{y, x, x});
    }
  }
  return runs;
}

inline bool SameRuns(const std::vector<Run>& a, const std::vector<Run>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const Run& p, const Run& q) {
    return p.y == q.y && p.xl == q.xl && p.xr == q.xr;
  });
}

// A component made of the given runs, added without incremental update.
inline CComp Of(std::initializer_list<Run> runs) {
  CComp comp;
  for (const Run& r : runs) comp.AddRun(r.y, r.xl, r.xr, FALSE);
  return comp;
}

// Pairs (pixel of the set, 8-neighbour outside it), handed to f one by one.
template <class F>
void ForOutsideNeighbours(const PixelSet& set, F f) {
  for (const auto& [y, x] : set) {
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) {
        if (!set.count({y + dy, x + dx})) f(Pixel{y, x}, Pixel{y + dy, x + dx});
      }
    }
  }
}

// Pixels outside the set that are 8-adjacent to it.
inline PixelSet ExternalBorder(const PixelSet& set) {
  PixelSet out;
  ForOutsideNeighbours(set, [&](const Pixel&, const Pixel& q) { out.insert(q); });
  return out;
}

// Pixels of the set with an 8-neighbour outside it.
inline PixelSet InternalBorder(const PixelSet& set) {
  PixelSet out;
  ForOutsideNeighbours(set, [&](const Pixel& p, const Pixel&) { out.insert(p); });
  return out;
}

// Pixels whose eight neighbours all lie in the set.
inline PixelSet Erode(const PixelSet& set) {
  PixelSet out = set;
  ForOutsideNeighbours(set, [&](const Pixel& p, const Pixel&) { out.erase(p); });
  return out;
}

// Ordered pairs (p in a, q in b) of 8-adjacent pixels.
inline int AdjacentPairs(const PixelSet& a, const PixelSet& b) {
  int pairs = 0;
  for (const auto& p : a) {
    for (const auto& q : b) {
      pairs += p != q && std::abs(p.first - q.first) <= 1 && std::abs(p.second - q.second) <= 1;
    }
  }
  return pairs;
}

inline PixelSet Unite(PixelSet a, const PixelSet& b) { return a.insert(b.begin(), b.end()), a; }

// The pixels of a that lie in b (inB) or outside it.
inline PixelSet Filter(const PixelSet& a, const PixelSet& b, bool inB) {
  PixelSet out;
  for (const auto& p : a) {
    if (b.count(p) == (inB ? 1u : 0u)) out.insert(p);
  }
  return out;
}
inline PixelSet Intersect(const PixelSet& a, const PixelSet& b) { return Filter(a, b, true); }
inline PixelSet Subtract(const PixelSet& a, const PixelSet& b) { return Filter(a, b, false); }

inline std::vector<POINT> Points(const PixelSet& set) {
  std::vector<POINT> points;
  for (const auto& [y, x] : set) points.push_back(POINT{x, y});
  return points;
}

inline bool SamePoints(const POINT* a, int n, const std::vector<POINT>& b) {
  return std::equal(a, a + n, b.begin(), b.end(),
                    [](const POINT& p, const POINT& q) { return p.x == q.x && p.y == q.y; });
}

// Random spans within a width x height window, added with AddRun.
inline std::vector<Run> RandomSpans(std::mt19937& rng, int count, int width, int height) {
  std::vector<Run> spans;
  std::uniform_int_distribution<int> row(0, height - 1), col(0, width - 1), len(0, width / 3);
  for (int i = 0; i < count; ++i) {
    const int xl = col(rng);
    spans.push_back(Run{row(rng), xl, xl + len(rng)});
  }
  return spans;
}

// A component made of random spans (without incremental update).
inline void FillRandom(CComp& comp, std::mt19937& rng, int count, int width, int height) {
  for (const Run& r : RandomSpans(rng, count, width, height)) comp.AddRun(r.y, r.xl, r.xr, FALSE);
}

}  // namespace comp_reference
