// CComp boundary polygons (traced and rectilinear) and regions of components.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "support/comp_pixel_set.h"
#include "vorlane/vorlane.h"

namespace {

using comp_reference::Of;

std::vector<POINT> Boundary(CComp& c, int connect) {
  const POINT* p = c.GetBoundary(connect);
  return p ? std::vector<POINT>(p, p + c.GetMaxBoundary()) : std::vector<POINT>{};
}

std::vector<POINT> P(std::initializer_list<POINT> points) { return points; }

bool Same(const std::vector<POINT>& a, const std::vector<POINT>& b) {
  return comp_reference::SamePoints(a.data(), static_cast<int>(a.size()), b);
}

// Every edge, the closing one included, is horizontal or vertical.
bool Rectilinear(const std::vector<POINT>& v) {
  for (size_t i = 0; i < v.size(); ++i) {
    const POINT& a = v[i];
    const POINT& b = v[(i + 1) % v.size()];
    if (a.x != b.x && a.y != b.y) return false;
  }
  return true;
}

TEST(CompBoundary, SquaresLinesAndSinglePixels) {
  CComp pixel = Of({{4, 3, 3}}), square = Of({{0, 0, 1}, {1, 0, 1}});
  CComp big = Of({{5, 2, 4}, {6, 2, 4}, {7, 2, 4}}), row = Of({{0, 0, 2}});
  EXPECT_TRUE(Same(Boundary(pixel, FALSE), P({{3, 4}})));
  EXPECT_TRUE(Same(Boundary(square, FALSE), P({{0, 0}, {1, 0}, {1, 1}, {0, 1}})));
  EXPECT_TRUE(Same(Boundary(big, TRUE), P({{2, 5}, {4, 5}, {4, 7}, {2, 7}})));
  EXPECT_TRUE(Same(Boundary(row, FALSE), P({{0, 0}, {2, 0}})));
  // The first move goes south: the start pixel stands twice at the head.
  CComp column = Of({{0, 0, 0}, {1, 0, 0}});
  EXPECT_TRUE(Same(Boundary(column, FALSE), P({{0, 0}, {0, 0}, {0, 1}})));
}

TEST(CompBoundary, StaircaseJoinsStepsWithStraightNeighbours) {
  // Pixel (2,0) over columns 0-1 of row 1: the closing edge (1,1)-(2,0) goes up and right
  // after a horizontal edge to the right, so its first vertex slides right to (2,1) and the
  // step is vertical.
  CComp left = Of({{0, 2, 2}, {1, 0, 1}});
  EXPECT_TRUE(Same(Boundary(left, FALSE), P({{2, 0}, {2, 0}, {1, 1}, {0, 1}, {1, 1}})));
  left.ResetAttributes();
  EXPECT_TRUE(Same(Boundary(left, TRUE), P({{2, 0}, {2, 0}, {1, 0}, {1, 1}, {0, 1}, {2, 1}})));
  // Pixel (0,0) over columns 1-2 of row 1: the edge (0,0)-(1,1) is followed by a horizontal
  // edge to the right, so its end vertex slides back to (0,1).
  CComp right = Of({{0, 0, 0}, {1, 1, 2}});
  EXPECT_TRUE(Same(Boundary(right, FALSE), P({{0, 0}, {0, 0}, {1, 1}, {2, 1}, {1, 1}})));
  right.ResetAttributes();
  EXPECT_TRUE(Same(Boundary(right, TRUE), P({{0, 0}, {0, 0}, {0, 1}, {2, 1}, {1, 1}, {1, 0}})));
  // A start pixel that joins two loops: the polygon covers the first loop only.
  CComp loops = Of({{0, 3, 4}, {1, 0, 2}});
  EXPECT_TRUE(Same(Boundary(loops, FALSE), P({{3, 0}, {4, 0}})));
  CComp blob = Of({{0, 2, 3}, {1, 1, 4}, {2, 0, 5}, {3, 1, 4}});
  EXPECT_TRUE(Same(Boundary(blob, FALSE), P({{2, 0}, {3, 0}, {5, 2}, {4, 3}, {1, 3}, {0, 2}})));
  blob.ResetAttributes();
  EXPECT_TRUE(Rectilinear(Boundary(blob, TRUE)));
}

TEST(CompBoundary, RandomShapesGiveClosedRectilinearPolygonsOnTheirPixels) {
  std::mt19937 rng(21);
  for (int trial = 0; trial < 60; ++trial) {
    CComp c;
    comp_reference::FillRandom(c, rng, 12, 12, 8);
    const std::vector<POINT> traced = Boundary(c, FALSE);
    ASSERT_FALSE(traced.empty());
    for (const POINT& p : traced) ASSERT_EQ(c.PtInComponent(p.x, p.y), 1);
    for (size_t i = 0; i + 1 < traced.size(); ++i) {
      // Edges of the trace run in one of the eight directions.
      const int dx = std::abs(traced[i + 1].x - traced[i].x);
      const int dy = std::abs(traced[i + 1].y - traced[i].y);
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
  EXPECT_NE(rgn.GetSafeHandle(), nullptr);
  EXPECT_EQ(rgn.GetFillMode(), WINDING);
  RECT box{};
  EXPECT_EQ(rgn.GetRgnBox(&box), SIMPLEREGION);
  EXPECT_EQ(CRect(box), CRect(2, 3, 3, 4));
  EXPECT_TRUE(rgn.PtInRegion(2, 3));
  EXPECT_FALSE(rgn.PtInRegion(3, 3));

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
  CComp empty;
  EXPECT_EQ(empty.RequestRgn(&rgn, 1.0f), 1);
  EXPECT_EQ(rgn.GetSafeHandle(), nullptr);  // the old region was deleted, none made
}

}  // namespace
