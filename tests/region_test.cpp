// CRgn: polygon regions under the alternate and winding fill rules.
#include <gtest/gtest.h>

#include <vector>

#include "vorlane/vorlane.h"

namespace {

TEST(Region, RectangleHoldsItsPixelsWithExclusiveRightAndBottom) {
  CRgn rgn;
  EXPECT_EQ(rgn.GetSafeHandle(), nullptr);
  EXPECT_FALSE(rgn.PtInRegion(0, 0));
  const POINT rect[] = {{1, 1}, {4, 1}, {4, 3}, {1, 3}};
  const int counts[] = {4};
  ASSERT_TRUE(rgn.CreatePolyPolygonRgn(rect, counts, 1, ALTERNATE));
  for (int i = 0; i < 30; ++i) {
    const int x = i % 6, y = i / 6;
    EXPECT_EQ(rgn.PtInRegion(x, y) != 0, x >= 1 && x < 4 && y >= 1 && y < 3) << x << "," << y;
  }
  RECT box{};
  EXPECT_EQ(rgn.GetRgnBox(&box), SIMPLEREGION);
  EXPECT_EQ(CRect(box), CRect(1, 1, 4, 3));
  EXPECT_TRUE(rgn.DeleteObject() && !rgn.DeleteObject() && rgn.GetRgnBox(&box) == ERROR_REGION);
}

TEST(Region, NestedSquaresDifferByFillRule) {
  // Two squares of the same orientation, one inside the other: a hole under ALTERNATE,
  // filled under WINDING.
  const POINT pts[] = {{0, 0}, {6, 0}, {6, 6}, {0, 6}, {2, 2}, {4, 2}, {4, 4}, {2, 4}};
  const int counts[] = {4, 4};
  CRgn alternate, winding;
  ASSERT_TRUE(alternate.CreatePolyPolygonRgn(pts, counts, 2, ALTERNATE));
  ASSERT_TRUE(winding.CreatePolyPolygonRgn(pts, counts, 2, WINDING));
  EXPECT_EQ((std::vector<int>{alternate.PtInRegion(3, 3), winding.PtInRegion(3, 3),
                              alternate.PtInRegion(1, 3), winding.PtInRegion(5, 5),
                              winding.PtInRegion(6, 3)}),
            (std::vector<int>{0, 1, 1, 1, 0}));
  RECT box{};
  EXPECT_EQ(winding.GetRgnBox(&box), COMPLEXREGION);
  EXPECT_EQ(CRect(box), CRect(0, 0, 6, 6));
  // The inner square turned the other way is a hole under both rules.
  const POINT reversed[] = {{0, 0}, {6, 0}, {6, 6}, {0, 6}, {2, 2}, {2, 4}, {4, 4}, {4, 2}};
  ASSERT_TRUE(winding.CreatePolyPolygonRgn(reversed, counts, 2, WINDING));
  EXPECT_FALSE(winding.PtInRegion(3, 3));
}

TEST(Region, BadArgumentsMakeNoRegion) {
  const POINT pts[] = {{0, 0}, {2, 0}, {2, 2}};
  const int one[] = {1};
  const int three[] = {3};
  CRgn rgn;
  EXPECT_FALSE(rgn.CreatePolyPolygonRgn(nullptr, three, 1, WINDING) ||
               rgn.CreatePolyPolygonRgn(pts, nullptr, 1, WINDING) ||
               rgn.CreatePolyPolygonRgn(pts, three, 0, WINDING) ||
               rgn.CreatePolyPolygonRgn(pts, one, 1, WINDING) ||
               rgn.CreatePolyPolygonRgn(pts, three, 1, 7) || rgn.GetSafeHandle() != nullptr);
  ASSERT_TRUE(rgn.CreatePolyPolygonRgn(pts, three, 1, ALTERNATE));
  EXPECT_EQ(rgn.GetRgnBox(nullptr), ERROR_REGION);
}

}  // namespace
