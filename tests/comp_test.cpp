// CComp: run insertion and removal, copies and the vexed area, set operators, Merge and
// thinning, measurements and incremental caches, boundary polygons and regions, and the
// polygon regions themselves.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "support/comp_pixel_set.h"
#include "support/trace_lines.h"
#include "vorlane/vorlane.h"

namespace {

using comp_reference::CanonicalRuns;
using comp_reference::FromComp;
using comp_reference::Of;
using comp_reference::PixelSet;
using comp_reference::Points;
using comp_reference::RunsOf;
using comp_reference::SamePoints;
using comp_reference::SameRuns;
using Path = std::vector<std::pair<LONG, LONG>>;

std::vector<tagCompRun> R(std::initializer_list<tagCompRun> runs) { return runs; }

TEST(CompRunInsertion, RandomSpansGiveTheCanonicalRunsOfTheirUnion) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 40; ++trial) {
    CComp c;
    PixelSet expected;
    for (const tagCompRun& r : comp_reference::RandomSpans(rng, 30, 40, 8)) {
      c.AddRun(r.y, r.xl, r.xr, trial % 2);
      for (int x = r.xl; x <= r.xr; ++x) expected.insert({r.y, x});
    }
    c.AddRun(3, 9, 8, FALSE);  // xl > xr adds nothing
    ASSERT_TRUE(SameRuns(RunsOf(c), CanonicalRuns(expected))) << "trial " << trial;
    for (int y = -1; y <= 9; ++y) {
      for (int x = -1; x <= 60; ++x) {
        ASSERT_EQ(c.PtInComponent(x, y), expected.count({y, x}) ? 1 : 0);
      }
    }
  }
}

TEST(CompRunRemoval, RunsByIndexAndPoints) {
  CComp c;
  for (int y = 0; y < 4; ++y) c.AddRun(y, 0, 1, FALSE);
  // The last (-11), the first (-10), then indices outside.
  EXPECT_EQ((std::vector<int>{c.RemoveRun(-11, FALSE), c.RemoveRun(-10, FALSE),
                              c.RemoveRun(2, FALSE), c.RemoveRun(-1, FALSE), c.GetRun(0)->y}),
            (std::vector<int>{3, 2, 2, 2, 1}));
  EXPECT_EQ(c.GetRun(2), nullptr);

  CComp p = Of({{2, 0, 6}, {4, 9, 9}});
  // Inside (a split), the left end, the right end.
  EXPECT_EQ(
      (std::vector<int>{p.RemovePoint(3, 2), p.RemovePoint(0, 2), p.RemovePoint(CPoint(6, 2))}),
      (std::vector<int>{3, 3, 3}));
  EXPECT_TRUE(SameRuns(RunsOf(p), R({{2, 1, 2}, {2, 4, 5}, {4, 9, 9}})));
  // A single-pixel run, then a pixel not in the component.
  EXPECT_EQ((std::vector<int>{p.RemovePoint(9, 4), p.RemovePoint(3, 7)}), (std::vector<int>{2, 2}));
  EXPECT_EQ(p.GetSize(), 4);
}

TEST(CompRunRemoval, EmptyingTheComponentDropsTheImageReference) {
  CGreyScaleImage image;
  image.Create(4, 4, 0, L"g");
  CComp one;
  one.SetImageReference(&image);
  one.AddRun(1, 0, 2, TRUE);
  one.GetVexed()->AddPoint(0, 0);
  EXPECT_EQ(one.RemoveRun(0, TRUE), 0);
  EXPECT_EQ(one.GetImageReference(), nullptr);
  EXPECT_EQ(one.GetSize(), 0);
  // So does subtracting every pixel.
  CComp a = Of({{1, 0, 3}, {2, 1, 1}});
  a.SetImageReference(&image);
  a -= a;
  EXPECT_EQ(a.GetMaxRun(), 0);
  EXPECT_EQ(a.GetImageReference(), nullptr);
}

TEST(CompRunOrder, SortRunsOrdersByRowThenColumn) {
  tagCompRun runs[] = {{3, 5, 6}, {1, 4, 4}, {3, 0, 1}, {1, 0, 2}};
  CComp c(runs, 4);
  c.SortRuns();
  EXPECT_TRUE(SameRuns(RunsOf(c), R({{1, 0, 2}, {1, 4, 4}, {3, 0, 1}, {3, 5, 6}})));
  const POINT p{5, 1}, q{0, 2};
  EXPECT_EQ((std::vector<int>{CComp::_compareRUN(&runs[0], &runs[1]),
                              CComp::_compareRUN(&runs[2], &runs[2]), CComp::_comparePOINT(&p, &q),
                              CComp(nullptr, 3).GetMaxRun()}),
            (std::vector<int>{1, 0, -1, 0}));
  // Attached runs are owned and keep the type word.
  c.SetType(0x40, FALSE);
  c.AttachRuns(new tagCompRun[3]{{2, 0, 1}, {0, 3, 3}, {2, 5, 5}}, 3);
  c.SortRuns();
  EXPECT_EQ(c.GetType(), 0x40);
  c.AddRun(2, 2, 4, FALSE);  // joins all of row 2
  EXPECT_TRUE(SameRuns(RunsOf(c), R({{0, 3, 3}, {2, 0, 5}})));
}

TEST(CompCopy, CopiesTheVexedAreaDeeplyAndSelfAssignmentChangesNothing) {
  CComp a = Of({{1, 1, 4}, {2, 2, 3}});
  a.Select(TRUE);
  a.GetVexed()->AddRun(5, 0, 1, FALSE);
  a.GetMaxInternalBorder();
  ASSERT_NE(a.GetBoundary(FALSE), nullptr);
  CComp c;
  c.AddPoint(0, 0);
  c = a;
  a.DiscardVexedArea();
  CComp& alias = c;
  c = alias;
  EXPECT_EQ((std::vector<int>{c.GetSize(), c.IsSelected(), c.GetVexed()->GetSize(),
                              c.GetMaxInternalBorder()}),
            (std::vector<int>{6, 8, 2, 6}));
  CComp moved(std::move(c));
  EXPECT_EQ(moved.GetSize(), 6);
}

TEST(CompVexedArea, IsCreatedOnDemandReplacedAndNeverItself) {
  CComp a;
  CComp* v = a.GetVexed();
  ASSERT_NE(v, nullptr);
  a.SetVexed(v);  // the same area: kept, not deleted
  EXPECT_EQ(a.GetVexed(), v);
  auto* w = new CComp;
  w->AddPoint(3, 3);
  a.SetVexed(w);
  a.SetVexed(&a);  // would own itself: refused
  EXPECT_TRUE(a.GetVexed() == w && w->GetSize() == 1);
  a.SetVexed(nullptr);
  a.DiscardVexedArea();
}

TEST(CompSetOperators, MatchThePixelSetModel) {
  std::mt19937 rng(5);
  for (int trial = 0; trial < 40; ++trial) {
    CComp a, b;
    comp_reference::FillRandom(a, rng, 10, 20, 6);
    comp_reference::FillRandom(b, rng, 10, 20, 6);
    const PixelSet sa = FromComp(a), sb = FromComp(b);
    CComp u = a + b, o = a | b, d = a - b, i = a & b;
    ASSERT_TRUE(SameRuns(RunsOf(u), CanonicalRuns(comp_reference::Unite(sa, sb))));
    ASSERT_TRUE(SameRuns(RunsOf(o), RunsOf(u)));
    ASSERT_TRUE(SameRuns(RunsOf(d), CanonicalRuns(comp_reference::Subtract(sa, sb))));
    ASSERT_TRUE(SameRuns(RunsOf(i), CanonicalRuns(comp_reference::Intersect(sa, sb))));
    // The value forms leave both operands alone.
    ASSERT_TRUE(SameRuns(RunsOf(a), CanonicalRuns(sa)));
    ASSERT_TRUE(SameRuns(RunsOf(b), CanonicalRuns(sb)));
    // The assignment forms give the same.
    CComp c(a);
    c -= b;
    c += i;
    ASSERT_TRUE(SameRuns(RunsOf(c), CanonicalRuns(sa)));
    c &= b;
    ASSERT_TRUE(SameRuns(RunsOf(c), RunsOf(i)));
  }
}

TEST(CompMerge, UnitesComponentsAndTheirVexedAreas) {
  CComp a = Of({{0, 0, 2}, {1, 0, 0}}), b = Of({{1, 1, 4}});
  a.GetVexed()->AddRun(3, 0, 5, FALSE);
  b.GetVexed()->AddRun(3, 4, 8, FALSE);
  b.GetVexed()->AddRun(1, 3, 6, FALSE);  // partly under b itself
  a.Select(TRUE);
  a.Merge(b);
  // The type word is reset; b is unchanged.
  EXPECT_TRUE(SameRuns(RunsOf(a), std::vector<tagCompRun>{{0, 0, 2}, {1, 0, 4}}));
  EXPECT_TRUE(SameRuns(RunsOf(*a.GetVexed()), std::vector<tagCompRun>{{1, 5, 6}, {3, 0, 8}}));
  EXPECT_TRUE(SameRuns(RunsOf(b), std::vector<tagCompRun>{{1, 1, 4}}));
  EXPECT_EQ(a.GetType() * 100 + b.GetVexed()->GetSize(), 109);
}

TEST(CompMerge, WithoutVexedAreasMakesNoneAndKeepsTheImage) {
  CGreyScaleImage image;
  image.Create(4, 4, 0, L"g");
  CComp a, b;
  a.SetImageReference(&image);
  a.AddPoint(0, 0);
  b.AddPoint(1000000, 1000000);  // far apart: no grid between them is needed
  a.Merge(b);
  EXPECT_TRUE(a.GetMaxRun() == 2 && a.GetImageReference() == &image);
  CComp copy(a);
  copy.DiscardVexedArea();
  a.Merge(a);
  EXPECT_TRUE(SameRuns(RunsOf(a), RunsOf(copy)));
  EXPECT_EQ(a.GetVexed()->GetMaxRun(), 0);  // made on demand only
}

TEST(CompThinning, ErodesByAThreeByThreeSquareAndResetsTheType) {
  std::mt19937 rng(9);
  for (int trial = 0; trial < 30; ++trial) {
    CComp c;
    comp_reference::FillRandom(c, rng, 40, 20, 10);
    c.SetType(0x10, FALSE);
    const PixelSet eroded = comp_reference::Erode(FromComp(c));
    c.Thin();
    ASSERT_TRUE(SameRuns(RunsOf(c), CanonicalRuns(eroded)));
    ASSERT_EQ(c.GetType(), 1);
  }
}

int OutsideNeighbours(const PixelSet& set) {
  int n = 0;
  comp_reference::ForOutsideNeighbours(set, [&](const auto&, const auto&) { ++n; });
  return n;
}

TEST(CompMeasurements, BordersAndConnectionsMatchAPixelSetModel) {
  std::mt19937 rng(11);
  for (int trial = 0; trial < 30; ++trial) {
    CComp a, b;
    comp_reference::FillRandom(a, rng, 12, 16, 7);
    comp_reference::FillRandom(b, rng, 12, 16, 7);
    const PixelSet sa = comp_reference::FromComp(a);
    const PixelSet sb = comp_reference::FromComp(b);
    ASSERT_TRUE(SamePoints(a.GetExternalBorder(), a.GetMaxExternalBorder(),
                           Points(comp_reference::ExternalBorder(sa))));
    ASSERT_TRUE(SamePoints(a.GetInternalBorder(), a.GetMaxInternalBorder(),
                           Points(comp_reference::InternalBorder(sa))));
    ASSERT_EQ(a.GetExternalConnections(), OutsideNeighbours(sa));
    ASSERT_EQ(a.GetInternalConnections(), comp_reference::AdjacentPairs(sa, sa));
    ASSERT_EQ(a.ComputeConnections(b), comp_reference::AdjacentPairs(sa, sb));
    ASSERT_EQ(a.ComputeConnections(&b), b.ComputeConnections(a));
    ASSERT_EQ(a.ComputeOverlapping(b), static_cast<int>(comp_reference::Intersect(sa, sb).size()));
  }
}

// The size, box, centre and external border kept up to date run by run equal a fresh
// computation.
void ExpectFreshCaches(CComp& c) {
  CComp fresh(c);
  fresh.ResetAttributes();
  ASSERT_EQ(c.GetSize(), fresh.GetSize());
  ASSERT_EQ(c.GetBoundingRect(), fresh.GetBoundingRect());
  ASSERT_NEAR(c.GetCenterX(), fresh.GetCenterX(), 1e-3);
  ASSERT_NEAR(c.GetCenterY(), fresh.GetCenterY(), 1e-3);
  const POINT* border = fresh.GetExternalBorder();
  ASSERT_TRUE(SamePoints(c.GetExternalBorder(), c.GetMaxExternalBorder(),
                         {border, border + fresh.GetMaxExternalBorder()}));
}

TEST(CompIncrementalCaches, SizeBoxCentreAndExternalBorderEqualAFreshComputation) {
  std::mt19937 rng(3);
  for (int trial = 0; trial < 40; ++trial) {
    SCOPED_TRACE(trial);
    CComp c;
    for (const auto& r : comp_reference::RandomSpans(rng, 25, 30, 9)) {
      c.AddRun(r.y - 3, r.xl - 5, r.xr - 5, TRUE);
      ASSERT_NO_FATAL_FAILURE(ExpectFreshCaches(c));
    }
    // Taking the runs away again, from either end.
    while (c.GetMaxRun() > 1) {
      c.RemoveRun(c.GetMaxRun() % 2 ? -10 : -11, TRUE);
      ASSERT_NO_FATAL_FAILURE(ExpectFreshCaches(c));
    }
  }
}

TEST(CompIncrementalCaches, BoxAtTheOriginAndRunningColourTruncatedAtEveryStep) {
  // A box of (0, 0, 0, 0) is a real box once the component has pixels.
  CComp box;
  box.AddRun(0, 0, 0, TRUE);
  box.AddRun(5, 3, 4, TRUE);
  EXPECT_EQ(box.GetBoundingRect(), CRect(0, 0, 4, 5));
  CGreyScaleImage image;
  ASSERT_EQ(image.Create(5, 1, 0, L"g"), 1);
  for (int x = 1; x < 5; ++x) image.SetRGBColor(x, 0, 0x00030303);
  CComp c;
  c.SetImageReference(&image);
  c.AddRun(0, 0, 1, TRUE);  // pixels 0 and 3
  EXPECT_EQ(c.GetColorRGB(), 0x00010101u);
  for (int x = 2; x < 5; ++x) c.AddRun(0, x, x, TRUE);
  EXPECT_EQ(c.GetColorRGB(), 0x00010101u);
  CComp fresh(c);
  fresh.SetImageReference(nullptr);
  fresh.SetImageReference(&image);
  EXPECT_EQ(fresh.GetColorRGB(), 0x00020202u);
  // A black pixel outside the image: (1 * 5 + 0) / 6 = 0; taking it away again keeps the
  // truncated value, (0 * 6 - 0) / 5 = 0.
  c.AddRun(2, 0, 0, TRUE);
  EXPECT_EQ(c.GetColorRGB(), 0u);
  EXPECT_EQ(c.RemoveRun(-11, TRUE), 1);
  EXPECT_TRUE(c.GetSize() == 5 && c.GetColorRGB() == 0u);
}

TEST(CompColour, AverageOfTheImagePixelsAndItsHls) {
  CHiColorImage image;
  ASSERT_EQ(image.Create(4, 2, 0, L"rgb"), 1);
  image.SetRGBColor(0, 0, RGB(200, 10, 0));
  image.SetRGBColor(1, 0, RGB(101, 20, 3));
  image.SetRGBColor(0, 1, RGB(0, 30, 0));
  CComp c;
  c.SetImageReference(&image);
  c.AddRun(0, 0, 1, FALSE);
  c.AddRun(1, 0, 0, FALSE);
  EXPECT_EQ(c.GetColorRGB(), RGB(100, 20, 1));
  float h = 0, l = 0, s = 0;
  TT_RGB2HLS(100.0f, 20.0f, 1.0f, &h, &l, &s, 36);
  EXPECT_EQ(c.GetColorHLS(), (int(h) & 0xFFu) | (int(l) & 0xFFu) << 8 | (int(s) & 0xFFu) << 16);
}

TEST(CompTrace, InfoLinesOfASinglePixel) {
  CComp c;
  c.AddPoint(2, 1);
  TraceCapture trace;
  c.TraceInfo();
  EXPECT_TRUE(trace.Has("Number of extBorder Pixels: 8\n"));
}

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
  std::mt19937 rng(2);
  CComp c;
  comp_reference::FillRandom(c, rng, 20, 20, 10);
  CRgn rgn;
  ASSERT_EQ(c.RequestRgn(&rgn, 2.0f), 1);
  EXPECT_EQ(rgn.GetFillMode(), WINDING);
  for (int y = 0; y <= 20; ++y) {
    for (int x = 0; x <= 60; ++x) {
      ASSERT_EQ(rgn.PtInRegion(x, y) != 0, c.PtInComponent(x / 2, y / 2) == 1);
    }
  }
  // Scaling truncates toward zero: 0.5 * 3 = 1.5 becomes 1.
  CComp small = Of({{0, 0, 2}});
  ASSERT_EQ(small.RequestRgn(&rgn, 0.5f), 1);
  RECT box{};
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

TEST(Region, BadArgumentsMakeNoRegionAndDeletingTwiceFails) {
  const POINT pts[] = {{0, 0}, {2, 0}, {2, 2}};
  const int one[] = {1};
  const int three[] = {3};
  CRgn rgn;
  EXPECT_FALSE(rgn.PtInRegion(0, 0));  // no region yet
  EXPECT_EQ((std::vector<int>{rgn.CreatePolyPolygonRgn(nullptr, three, 1, WINDING),
                              rgn.CreatePolyPolygonRgn(pts, nullptr, 1, WINDING),
                              rgn.CreatePolyPolygonRgn(pts, three, 0, WINDING),
                              rgn.CreatePolyPolygonRgn(pts, one, 1, WINDING),
                              rgn.CreatePolyPolygonRgn(pts, three, 1, 7)}),
            std::vector<int>(5, 0));
  EXPECT_EQ(rgn.GetSafeHandle(), nullptr);
  ASSERT_TRUE(rgn.CreatePolyPolygonRgn(pts, three, 1, ALTERNATE));
  EXPECT_EQ(rgn.GetRgnBox(nullptr), ERROR_REGION);
  EXPECT_TRUE(rgn.DeleteObject());
  EXPECT_FALSE(rgn.DeleteObject());
}

}  // namespace
