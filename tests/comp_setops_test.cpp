// CComp set operators, Merge with vexed areas, and thinning.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "support/comp_pixel_set.h"
#include "vorlane/vorlane.h"

namespace {

using comp_reference::CanonicalRuns;
using comp_reference::FromComp;
using comp_reference::Of;
using comp_reference::PixelSet;
using comp_reference::RunsOf;
using comp_reference::SameRuns;

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
    ASSERT_EQ(a.ComputeOverlapping(b), i.GetSize());
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

TEST(CompSetOperators, ChangesResetCachesAndTypeWordOnlyWhenPixelsChange) {
  CComp a, sub = Of({{0, 2, 3}}), other;
  a.AddRun(0, 0, 9, TRUE);
  a.SetType(0x0C, FALSE);
  a += sub, a -= other;  // nothing new, nothing to take away
  EXPECT_EQ(a.GetType() * 100 + a.GetSize(), 0x0C * 100 + 10);
  other.AddRun(0, 9, 12, FALSE);
  a |= other;
  EXPECT_EQ(a.GetType() * 100 + a.GetSize(), 113);
  a.Select(TRUE);
  a -= sub;
  EXPECT_TRUE(a.IsSelected() == 0 && a.GetMaxRun() == 2);
}

TEST(CompSetOperators, SubtractingEverythingEmptiesTheComponent) {
  CGreyScaleImage image;
  image.Create(4, 4, 0, L"g");
  CComp a = Of({{1, 0, 3}, {2, 1, 1}}), disjoint = Of({{9, 9, 9}});
  a.SetImageReference(&image);
  EXPECT_TRUE((a & disjoint).GetMaxRun() == 0 && (a & a).GetSize() == 5 &&
              a.GetImageReference() == &image);
  a -= a;
  EXPECT_TRUE(a.GetMaxRun() == 0 && a.GetImageReference() == nullptr);
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

TEST(CompThinning, ErodesByAThreeByThreeSquare) {
  CComp square = Of({{0, 0, 2}, {1, 0, 2}, {2, 0, 2}});
  square.SetType(0x10, FALSE);
  square.Thin();
  EXPECT_TRUE(SameRuns(RunsOf(square), std::vector<tagCompRun>{{1, 1, 1}}) &&
              square.GetType() == 1);
  CComp line = Of({{0, 3, 3}, {1, 3, 3}, {2, 0, 9}, {3, 3, 3}, {4, 3, 3}, {5, 3, 3}});
  line.Thin();
  EXPECT_EQ(line.GetMaxRun(), 0);

  std::mt19937 rng(9);
  for (int trial = 0; trial < 30; ++trial) {
    CComp c;
    comp_reference::FillRandom(c, rng, 40, 20, 10);
    const PixelSet eroded = comp_reference::Erode(FromComp(c));
    c.Thin();
    ASSERT_TRUE(SameRuns(RunsOf(c), CanonicalRuns(eroded)));
  }
}

}  // namespace
