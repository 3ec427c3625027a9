// CComp run insertion, removal, order, copies and the vexed area.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "support/comp_pixel_set.h"
#include "vorlane/vorlane.h"

namespace {

using comp_reference::CanonicalRuns;
using comp_reference::Of;
using comp_reference::PixelSet;
using comp_reference::RunsOf;
using comp_reference::SameRuns;

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

TEST(CompRunRemoval, IncrementalRemovalKeepsTheCachesAndTheLastRunDropsTheImage) {
  CComp c;
  for (const tagCompRun& r : R({{0, 0, 9}, {1, 2, 3}, {4, 5, 6}})) c.AddRun(r.y, r.xl, r.xr, TRUE);
  EXPECT_EQ(c.RemoveRun(-11, TRUE), 2);
  EXPECT_EQ(c.GetSize(), 12);
  EXPECT_EQ(c.GetBoundingRect(), CRect(0, 0, 9, 1));
  CComp fresh(c);
  fresh.ResetAttributes();
  EXPECT_NEAR(c.GetCenterX(), fresh.GetCenterX(), 1e-5);
  EXPECT_NEAR(c.GetCenterY(), fresh.GetCenterY(), 1e-5);
  EXPECT_EQ(c.GetMaxExternalBorder(), fresh.GetMaxExternalBorder());

  CGreyScaleImage image;
  image.Create(4, 4, 0, L"g");
  CComp one;
  one.SetImageReference(&image);
  one.AddRun(1, 0, 2, TRUE);
  one.GetVexed()->AddPoint(0, 0);
  EXPECT_EQ(one.RemoveRun(0, TRUE), 0);
  EXPECT_TRUE(one.GetImageReference() == nullptr && one.GetSize() == 0);
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

TEST(CompCopy, CopiesRunsCachesAndVexedAreaDeeplyAndSelfAssignmentChangesNothing) {
  CGreyScaleImage image;
  image.Create(8, 8, 0x00808080, L"g");
  CComp a;
  a.SetImageReference(&image);
  for (const tagCompRun& r : R({{1, 1, 4}, {2, 2, 3}})) a.AddRun(r.y, r.xl, r.xr, TRUE);
  a.SetType(0x0006, TRUE);
  a.Select(TRUE);
  a.GetVexed()->AddRun(5, 0, 1, FALSE);
  a.GetMaxInternalBorder();
  ASSERT_NE(a.GetBoundary(FALSE), nullptr);
  CComp b(a);
  EXPECT_TRUE(SameRuns(RunsOf(b), RunsOf(a)));
  EXPECT_TRUE(b.GetType() == a.GetType() && b.GetImageReference() == &image &&
              b.GetColorRGB() == 0x00808080u &&
              b.GetMaxInternalBorder() == a.GetMaxInternalBorder());
  ASSERT_NE(b.GetVexed(), a.GetVexed());
  CComp c;
  c.AddPoint(0, 0);
  c = a;
  a.DiscardVexedArea();
  EXPECT_EQ(c.GetVexed()->GetSize(), 2);
  CComp& alias = c;
  c = alias;
  EXPECT_EQ((std::vector<int>{c.GetSize(), c.IsSelected(), c.GetVexed()->GetSize()}),
            (std::vector<int>{6, 8, 2}));
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
  a.AddPoint(0, 0);
  a.Clear();
  EXPECT_EQ(a.GetMaxRun(), 0);
}

}  // namespace
