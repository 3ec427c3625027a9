// CComp boundary polygons (traced and rectilinear) and regions of components.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <utility>
#include <vector>

#include "support/comp_pixel_set.h"
#include "vorlane/vorlane.h"

namespace {

using comp_reference::Of;
using Path = std::vector<std::pair<LONG, LONG>>;

Path Boundary(CComp& c, int connect) {
  Path path;
  const POINT* p = c.GetBoundary(connect);
  for (int i = 0; p && i < c.GetMaxBoundary(); ++i) path.emplace_back(p[i].x, p[i].y);
  return path;
}

// Every edge, the closing one included, is horizontal or vertical.
bool Rectilinear(const Path& v) {
  for (size_t i = 0; i < v.size(); ++i) {
    const auto& [ax, ay] = v[i];
    const auto& [bx, by] = v[(i + 1) % v.size()];
    if (ax != bx && ay != by) return false;
  }
  return true;
}

TEST(CompBoundary, TracedAndRectilinearPolygonsOfSmallShapes) {
  const struct {
    std::vector<tagCompRun> runs;
    int connect;
    Path path;
  } cases[] = {
      {{{4, 3, 3}}, FALSE, {{3, 4}}},
      {{{0, 0, 1}, {1, 0, 1}}, FALSE, {{0, 0}, {1, 0}, {1, 1}, {0, 1}}},
      {{{5, 2, 4}, {6, 2, 4}, {7, 2, 4}}, TRUE, {{2, 5}, {4, 5}, {4, 7}, {2, 7}}},
      {{{0, 0, 2}}, FALSE, {{0, 0}, {2, 0}}},
      // The first move goes south: the start pixel stands twice at the head.
      {{{0, 0, 0}, {1, 0, 0}}, FALSE, {{0, 0}, {0, 0}, {0, 1}}},
      // Pixel (2,0) over columns 0-1 of row 1: the closing edge (1,1)-(2,0) goes up and right
      // after a horizontal edge to the right, so its first vertex slides right to (2,1) and
      // the step is vertical.
      {{{0, 2, 2}, {1, 0, 1}}, FALSE, {{2, 0}, {2, 0}, {1, 1}, {0, 1}, {1, 1}}},
      {{{0, 2, 2}, {1, 0, 1}}, TRUE, {{2, 0}, {2, 0}, {1, 0}, {1, 1}, {0, 1}, {2, 1}}},
      // Pixel (0,0) over columns 1-2 of row 1: the edge (0,0)-(1,1) is followed by a
      // horizontal edge to the right, so its end vertex slides back to (0,1).
      {{{0, 0, 0}, {1, 1, 2}}, FALSE, {{0, 0}, {0, 0}, {1, 1}, {2, 1}, {1, 1}}},
      {{{0, 0, 0}, {1, 1, 2}}, TRUE, {{0, 0}, {0, 0}, {0, 1}, {2, 1}, {1, 1}, {1, 0}}},
      // A start pixel that joins two loops: the polygon covers the first loop only.
      {{{0, 3, 4}, {1, 0, 2}}, FALSE, {{3, 0}, {4, 0}}},
      {{{0, 2, 3}, {1, 1, 4}, {2, 0, 5}, {3, 1, 4}},
       FALSE,
       {{2, 0}, {3, 0}, {5, 2}, {4, 3}, {1, 3}, {0, 2}}},
  };
  for (const auto& c : cases) {
    CComp comp;
    for (const tagCompRun& r : c.runs) comp.AddRun(r.y, r.xl, r.xr, FALSE);
    EXPECT_EQ(Boundary(comp, c.connect), c.path) << &c - cases;
  }
}

TEST(CompBoundary, RandomShapesGiveClosedRectilinearPolygonsOnTheirPixels) {
  std::mt19937 rng(21);
  for (int trial = 0; trial < 60; ++trial) {
    CComp c;
    comp_reference::FillRandom(c, rng, 12, 12, 8);
    const Path traced = Boundary(c, FALSE);
    ASSERT_FALSE(traced.empty());
    for (size_t i = 0; i < traced.size(); ++i) {
      // Vertices on the pixels, edges of the trace in one of the eight directions.
      const auto& [x, y] = traced[i];
      ASSERT_EQ(c.PtInComponent(x, y), 1);
      const int dx = i ? std::abs(x - traced[i - 1].first) : 0;
      const int dy = i ? std::abs(y - traced[i - 1].second) : 0;
      ASSERT_TRUE(dx == 0 || dy == 0 || dx == dy);
    }
    c.ResetAttributes();
    ASSERT_TRUE(Rectilinear(Boundary(c, TRUE))) << "trial " << trial;
  }
}

TEST(CompRegion, UnitSquaresOfTheRunsScaled) {
  CComp pixel = Of({{3, 2, 2}});
  CRgn rgn;
  ASSERT_EQ(pixel.RequestRgn(&rgn, 1.0f), 1);
  RECT box{};
  EXPECT_TRUE(rgn.GetSafeHandle() != nullptr && rgn.GetFillMode() == WINDING &&
              rgn.GetRgnBox(&box) == SIMPLEREGION && rgn.PtInRegion(2, 3) && !rgn.PtInRegion(3, 3));
  EXPECT_EQ(CRect(box), CRect(2, 3, 3, 4));

  std::mt19937 rng(2);
  CComp c;
  comp_reference::FillRandom(c, rng, 20, 20, 10);
  ASSERT_EQ(c.RequestRgn(&rgn, 1.0f), 1);
  for (int y = -1; y <= 11; ++y) {
    for (int x = -1; x <= 30; ++x) ASSERT_EQ(rgn.PtInRegion(x, y) != 0, c.PtInComponent(x, y) == 1);
  }
  ASSERT_EQ(c.RequestRgn(&rgn, 2.0f), 1);
  for (int y = 0; y <= 20; ++y) {
    for (int x = 0; x <= 60; ++x) {
      ASSERT_EQ(rgn.PtInRegion(x, y) != 0, c.PtInComponent(x / 2, y / 2) == 1);
    }
  }
  // Scaling truncates toward zero: 0.5 * 3 = 1.5 becomes 1.
  CComp small = Of({{0, 0, 2}});
  ASSERT_EQ(small.RequestRgn(&rgn, 0.5f), 1);
  EXPECT_EQ(rgn.GetRgnBox(&box), NULLREGION);  // rows 0 * 0.5 to 1 * 0.5: no height
}

TEST(CompRegion, NullRegionAndEmptyComponent) {
  CComp c;
  EXPECT_EQ(c.RequestRgn(nullptr, 1.0f), 0);
  CRgn rgn;
  c.AddPoint(0, 0);
  ASSERT_EQ(c.RequestRgn(&rgn, 1.0f), 1);
  EXPECT_EQ(CComp().RequestRgn(&rgn, 1.0f), 1);
  EXPECT_EQ(rgn.GetSafeHandle(), nullptr);  // the old region was deleted, none made
}

}  // namespace
