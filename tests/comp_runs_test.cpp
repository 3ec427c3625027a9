// CComp run insertion, clipping, merging, removal, points, copies and the vexed area.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "support/comp_pixel_set.h"
#include "vorlane/vorlane.h"

namespace {

using comp_reference::CanonicalRuns;
using comp_reference::FromComp;
using comp_reference::PixelSet;
using comp_reference::RunsOf;
using comp_reference::SameRuns;

std::vector<tagCompRun> R(std::initializer_list<tagCompRun> runs) { return runs; }

TEST(CompRunInsertion, JoinsTouchingRunsOfARow) {
  CComp c;
  EXPECT_EQ(c.AddRun(5, 0, 2, FALSE), 1);
  EXPECT_EQ(c.AddRun(5, 3, 4, FALSE), 1);
  EXPECT_TRUE(SameRuns(RunsOf(c), R({{5, 0, 4}})));
  EXPECT_EQ(c.AddRun(5, 6, 8, FALSE), 2);
  EXPECT_EQ(c.AddRun(5, 5, 5, FALSE), 1);
  EXPECT_TRUE(SameRuns(RunsOf(c), R({{5, 0, 8}})));

  CComp d;
  d.AddRun(5, 0, 2, FALSE);
  d.AddRun(5, 10, 12, FALSE);
  EXPECT_EQ(d.AddRun(5, 6, 9, FALSE), 2);
  EXPECT_TRUE(SameRuns(RunsOf(d), R({{5, 0, 2}, {5, 6, 12}})));
}

TEST(CompRunInsertion, ClipsAgainstExistingRunsAndKeepsOrder) {
  CComp c;
  c.AddRun(3, 4, 6, FALSE);
  c.AddRun(3, 10, 12, FALSE);
  c.AddRun(1, 0, 0, FALSE);
  // Covered spans change nothing and answer the run count.
  EXPECT_EQ(c.AddRun(3, 5, 6, FALSE), 3);
  EXPECT_EQ(c.AddRun(3, 10, 10, FALSE), 3);
  // A span with xl > xr adds nothing.
  EXPECT_EQ(c.AddRun(3, 9, 8, FALSE), 3);
  // A span over both runs and the gaps around them joins everything into one run.
  EXPECT_EQ(c.AddRun(3, 0, 20, FALSE), 2);
  EXPECT_TRUE(SameRuns(RunsOf(c), R({{1, 0, 0}, {3, 0, 20}})));
  // Partial overlaps from either side.
  CComp d;
  d.AddRun(0, 5, 9, FALSE);
  d.AddRun(0, 2, 6, FALSE);
  d.AddRun(0, 8, 14, FALSE);
  d.AddRun(-2, 1, 1, FALSE);
  EXPECT_TRUE(SameRuns(RunsOf(d), R({{-2, 1, 1}, {0, 2, 14}})));
}

TEST(CompRunInsertion, RandomSpansGiveTheCanonicalRunsOfTheirUnion) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 40; ++trial) {
    CComp c;
    PixelSet expected;
    for (const tagCompRun& r : comp_reference::RandomSpans(rng, 30, 40, 8)) {
      c.AddRun(r.y, r.xl, r.xr, trial % 2);
      for (int x = r.xl; x <= r.xr; ++x) expected.insert({r.y, x});
    }
    ASSERT_TRUE(SameRuns(RunsOf(c), CanonicalRuns(expected))) << "trial " << trial;
    for (int y = -1; y <= 9; ++y) {
      for (int x = -1; x <= 60; ++x) {
        ASSERT_EQ(c.PtInComponent(x, y), expected.count({y, x}) ? 1 : 0);
      }
    }
  }
}

TEST(CompRunInsertion, PointsAreSingleColumnRuns) {
  CComp c;
  c.AddPoint(2, 1);
  c.AddPoint(CPoint(3, 1));
  c.AddPoint(2, 1);
  EXPECT_TRUE(SameRuns(RunsOf(c), R({{1, 2, 3}})));
  EXPECT_EQ(c.PtInComponent(CPoint(3, 1)), 1);
  EXPECT_EQ(c.PtInComponent(4, 1), 0);
}

TEST(CompRunInsertion, NonIncrementalAdditionResetsCachesAndType) {
  CComp c;
  c.AddRun(0, 0, 3, FALSE);
  EXPECT_EQ(c.GetSize(), 4);
  c.SetType(0x12, FALSE);
  c.Select(TRUE);
  c.AddRun(1, 0, 0, FALSE);
  EXPECT_EQ(c.GetType(), 1);
  EXPECT_EQ(c.IsSelected(), 0);
  EXPECT_EQ(c.GetSize(), 5);
}

TEST(CompRunRemoval, RemovesByIndexFirstAndLast) {
  CComp c;
  c.AddRun(0, 0, 1, FALSE);
  c.AddRun(1, 0, 1, FALSE);
  c.AddRun(2, 0, 1, FALSE);
  c.AddRun(3, 0, 1, FALSE);
  EXPECT_EQ(c.RemoveRun(-11, FALSE), 3);
  EXPECT_EQ(c.GetRun(2)->y, 2);
  EXPECT_EQ(c.RemoveRun(-10, FALSE), 2);
  EXPECT_EQ(c.GetRun(0)->y, 1);
  EXPECT_EQ(c.RemoveRun(2, FALSE), 2);   // outside
  EXPECT_EQ(c.RemoveRun(-1, FALSE), 2);  // outside
  EXPECT_EQ(c.GetRun(2), nullptr);
  EXPECT_EQ(c.GetRun(-1), nullptr);
}

TEST(CompRunRemoval, RemovingTheOnlyRunEmptiesAndDropsTheImage) {
  CGreyScaleImage image;
  image.Create(4, 4, 0, L"g");
  CComp c;
  c.SetImageReference(&image);
  c.AddRun(1, 0, 2, TRUE);
  c.GetVexed()->AddPoint(0, 0);
  EXPECT_EQ(c.RemoveRun(0, TRUE), 0);
  EXPECT_EQ(c.GetMaxRun(), 0);
  EXPECT_EQ(c.GetImageReference(), nullptr);
  EXPECT_EQ(c.GetSize(), 0);
}

TEST(CompRunRemoval, IncrementalRemovalKeepsSizeCentreAndBox) {
  CComp c;
  c.AddRun(0, 0, 9, TRUE);
  c.AddRun(1, 2, 3, TRUE);
  c.AddRun(4, 5, 6, TRUE);
  EXPECT_EQ(c.RemoveRun(-11, TRUE), 2);
  EXPECT_EQ(c.GetSize(), 12);
  EXPECT_EQ(c.GetBoundingRect(), CRect(0, 0, 9, 1));
  CComp fresh(c);
  fresh.ResetAttributes();
  EXPECT_NEAR(c.GetCenterX(), fresh.GetCenterX(), 1e-5);
  EXPECT_NEAR(c.GetCenterY(), fresh.GetCenterY(), 1e-5);
  // Borders and connections are recomputed from the runs afterwards.
  EXPECT_EQ(c.GetMaxExternalBorder(), fresh.GetMaxExternalBorder());
}

TEST(CompPointRemoval, SplitsShortensOrRemovesRuns) {
  CComp c;
  c.AddRun(2, 0, 6, FALSE);
  c.AddPoint(9, 4);
  EXPECT_EQ(c.RemovePoint(3, 2), 3);  // inside: split
  EXPECT_TRUE(SameRuns(RunsOf(c), R({{2, 0, 2}, {2, 4, 6}, {4, 9, 9}})));
  EXPECT_EQ(c.RemovePoint(0, 2), 3);          // left end
  EXPECT_EQ(c.RemovePoint(CPoint(6, 2)), 3);  // right end
  EXPECT_TRUE(SameRuns(RunsOf(c), R({{2, 1, 2}, {2, 4, 5}, {4, 9, 9}})));
  EXPECT_EQ(c.RemovePoint(9, 4), 2);  // single-pixel run
  EXPECT_EQ(c.RemovePoint(3, 2), 2);  // not in the component
  EXPECT_EQ(c.RemovePoint(3, 7), 2);
  EXPECT_EQ(c.GetSize(), 4);
}

TEST(CompRunOrder, SortRunsOrdersByRowThenColumn) {
  tagCompRun runs[] = {{3, 5, 6}, {1, 4, 4}, {3, 0, 1}, {1, 0, 2}};
  CComp c(runs, 4);
  EXPECT_TRUE(SameRuns(RunsOf(c), R({{3, 5, 6}, {1, 4, 4}, {3, 0, 1}, {1, 0, 2}})));
  c.SortRuns();
  EXPECT_TRUE(SameRuns(RunsOf(c), R({{1, 0, 2}, {1, 4, 4}, {3, 0, 1}, {3, 5, 6}})));
  EXPECT_EQ(CComp::_compareRUN(&runs[0], &runs[1]), 1);
  EXPECT_EQ(CComp::_compareRUN(&runs[1], &runs[3]), 1);
  EXPECT_EQ(CComp::_compareRUN(&runs[2], &runs[2]), 0);
  const POINT p{5, 1}, q{0, 2};
  EXPECT_EQ(CComp::_comparePOINT(&p, &q), -1);
  CComp none(nullptr, 3);
  EXPECT_EQ(none.GetMaxRun(), 0);
}

TEST(CompRunOrder, AttachedRunsAreOwnedAndKeepTheTypeWord) {
  CComp c;
  c.SetType(0x40, FALSE);
  auto* runs = new tagCompRun[3]{{2, 0, 1}, {0, 3, 3}, {2, 5, 5}};
  c.AttachRuns(runs, 3);
  c.SortRuns();
  EXPECT_EQ(c.GetType(), 0x40);
  EXPECT_EQ(c.GetSize(), 4);
  EXPECT_EQ(c.GetRun(0)->y, 0);
  c.AddRun(2, 2, 4, FALSE);  // joins all of row 2
  EXPECT_TRUE(SameRuns(RunsOf(c), R({{0, 3, 3}, {2, 0, 5}})));
}

TEST(CompCopy, AssignmentCopiesRunsCachesAndVexedAreaButNotTheBoundary) {
  CGreyScaleImage image;
  image.Create(8, 8, 0x00808080, L"g");
  CComp a;
  a.SetImageReference(&image);
  a.AddRun(1, 1, 4, TRUE);
  a.AddRun(2, 2, 3, TRUE);
  a.SetType(0x0006, TRUE);
  a.GetVexed()->AddRun(5, 0, 1, FALSE);
  a.GetMaxInternalBorder();
  ASSERT_NE(a.GetBoundary(FALSE), nullptr);

  CComp b(a);
  EXPECT_TRUE(SameRuns(RunsOf(b), RunsOf(a)));
  EXPECT_EQ(b.GetType(), a.GetType());
  EXPECT_EQ(b.GetImageReference(), &image);
  EXPECT_EQ(b.GetSize(), 6);
  EXPECT_EQ(b.GetColorRGB(), 0x00808080u);
  EXPECT_EQ(b.GetMaxExternalBorder(), a.GetMaxExternalBorder());
  EXPECT_EQ(b.GetMaxInternalBorder(), a.GetMaxInternalBorder());
  ASSERT_NE(b.GetVexed(), a.GetVexed());  // a deep copy
  EXPECT_EQ(b.GetVexed()->GetSize(), 2);

  CComp c;
  c.AddPoint(0, 0);
  c = a;
  EXPECT_TRUE(SameRuns(RunsOf(c), RunsOf(a)));
  a.DiscardVexedArea();
  EXPECT_EQ(c.GetVexed()->GetSize(), 2);
}

TEST(CompCopy, SelfAssignmentChangesNothing) {
  CComp a;
  a.AddRun(0, 0, 3, TRUE);
  a.GetVexed()->AddPoint(1, 1);
  a.Select(TRUE);
  CComp& alias = a;
  a = alias;
  EXPECT_EQ(a.GetMaxRun(), 1);
  EXPECT_EQ(a.GetSize(), 4);
  EXPECT_EQ(a.IsSelected(), 8);
  EXPECT_EQ(a.GetVexed()->GetSize(), 1);
}

TEST(CompCopy, ValueResultsMoveIntoExistingComponents) {
  CComp a, b;
  a.AddRun(0, 0, 3, FALSE);
  b.AddRun(0, 2, 6, FALSE);
  CComp c;
  c = a + b;
  EXPECT_TRUE(SameRuns(RunsOf(c), R({{0, 0, 6}})));
  CComp d(std::move(c));
  EXPECT_EQ(d.GetSize(), 7);
  EXPECT_EQ(c.GetMaxRun(), 0);  // NOLINT(bugprone-use-after-move): moved-from is empty
}

TEST(CompVexedArea, IsCreatedOnDemandReplacedAndDiscarded) {
  CComp a;
  CComp* v = a.GetVexed();
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(a.GetVexed(), v);
  EXPECT_EQ(v->GetMaxRun(), 0);
  a.SetVexed(v);  // the same area: kept, not deleted
  EXPECT_EQ(a.GetVexed(), v);
  auto* w = new CComp;
  w->AddPoint(3, 3);
  a.SetVexed(w);
  EXPECT_EQ(a.GetVexed()->GetSize(), 1);
  a.SetVexed(&a);  // would own itself: refused
  EXPECT_EQ(a.GetVexed(), w);
  a.SetVexed(nullptr);
  a.DiscardVexedArea();
  a.AddPoint(0, 0);
  a.Clear();
  EXPECT_EQ(a.GetMaxRun(), 0);
}

TEST(CompTypeWord, SelectionIsBitEight) {
  CComp c;
  EXPECT_EQ(c.GetType(), 1);
  c.Select(TRUE);
  EXPECT_EQ(c.IsSelected(), 8);
  EXPECT_EQ(c.GetType(), 9);
  c.SetType(0x0004, TRUE);
  EXPECT_EQ(c.GetType(), 0x000D);
  c.Select(FALSE);
  EXPECT_EQ(c.GetType(), 0x0005);
  c.SetType(0x0002, FALSE);
  EXPECT_EQ(c.GetType(), 0x0002);
  c.ResetAttributes();
  EXPECT_EQ(c.GetType(), 1);
}

TEST(CompImageReference, ChangingTheImageResetsTheCaches) {
  CGreyScaleImage image;
  image.Create(4, 4, 0x00101010, L"g");
  CComp c;
  c.AddRun(0, 0, 1, TRUE);
  c.SetType(0x20, FALSE);
  c.SetImageReference(nullptr);  // unchanged: caches kept
  EXPECT_EQ(c.GetType(), 0x20);
  c.SetImageReference(&image);
  EXPECT_EQ(c.GetType(), 1);
  EXPECT_EQ(c.GetColorRGB(), 0x00101010u);
  c.Empty();
  EXPECT_EQ(c.GetImageReference(), nullptr);
}

}  // namespace
