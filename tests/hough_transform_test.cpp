// The line Hough accumulator: default cells, the single-precision votes, dropped votes, cell
// conversions, IsInCell, Reset and ranges without cells.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "imageclasses/houghtransform2d.h"

namespace {

// The accumulator's cells as rows of x, and the sum of all votes.
struct Accumulator {
  std::vector<std::vector<float>> cells;
  float total = 0.0f;
  bool none = false;  // no cell array handed out
};

Accumulator Transform(CHoughTransform2D& h) {
  float** cells = nullptr;
  int x = -1, y = -1;
  h.LineHoughTransform(&cells, &x, &y);
  Accumulator a{std::vector<std::vector<float>>(x, std::vector<float>(y)), 0.0f, cells == nullptr};
  for (int i = 0; i < x; ++i) {
    for (int j = 0; j < y; ++j) a.total += a.cells[i][j] = cells[i][j];
  }
  return a;
}

struct Point {
  float x, y, w;
};

// The votes straight from their definition, point by point and cell by cell.
std::vector<std::vector<float>> ReferenceVotes(const std::vector<Point>& points, float rMin,
                                               float rMax, float rStep, float uMin, float uMax,
                                               float uStep) {
  const int cellsX = static_cast<int>((static_cast<double>(uMax) - uMin) / uStep);
  const int cellsY = static_cast<int>((static_cast<double>(rMax) - rMin) / rStep);
  std::vector<std::vector<float>> votes(cellsX, std::vector<float>(cellsY, 0.0f));
  for (const Point& p : points) {
    for (int i = 0; i < cellsX; ++i) {
      const float u = static_cast<float>(i) * uStep + uMin;
      const float xc = static_cast<float>(p.x * std::cos(static_cast<double>(u)));
      const float r = static_cast<float>(xc + p.y * std::sin(static_cast<double>(u)));
      const double q = (static_cast<double>(r) - rMin) / rStep;
      if (q > -1.0 && q < cellsY) votes[i][static_cast<int>(q)] += p.w;
    }
  }
  return votes;
}

TEST(HoughTransform, DefaultCellsAndSinglePrecisionVotesAlsoAfterAReset) {
  CHoughTransform2D h;
  for (int i = 0; i < 25; ++i) EXPECT_EQ(h.AddPoint(1, 1, 1), i + 1);
  h.SetR(0.0f, 5.0f, 0.5f);
  h.SetU(0.0f, 1.0f, 0.5f);
  h.Reset();
  EXPECT_EQ(h.AddPoint(3, 0, 2), 1);
  const Accumulator a = Transform(h);
  ASSERT_EQ(a.cells.size() * 100 + a.cells[0].size(), 9020u);
  // Cell 13 at u = 0 holds r = 3; u = 45 steps is pi/2 rounded up: r is about -1.3e-7 and
  // truncates into cell 9. |r| <= 3 lies in range at every angle.
  EXPECT_EQ((std::vector<float>{a.cells[0][13], a.cells[45][9], a.cells[45][10], a.total,
                                h.GetRFromCellY(13)}),
            (std::vector<float>{2, 2, 0, 2.0f * 90, 3}));
  EXPECT_FLOAT_EQ(h.GetUFromCellX(45), 1.5707964f);
}

TEST(HoughTransform, MatchesTheDefinitionOnRandomPoints) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> coordinate(-60.0f, 60.0f), weight(0.1f, 3.0f);
  std::vector<Point> points(300);
  CHoughTransform2D h;
  for (Point& p : points) {
    p = {coordinate(rng), coordinate(rng), weight(rng)};
    h.AddPoint(p.x, p.y, p.w);
  }
  h.SetR(-50.0f, 70.0f, 0.7f);
  h.SetU(-0.3f, 3.1415927f, 0.01f);
  const Accumulator a = Transform(h);
  ASSERT_EQ(a.cells, ReferenceVotes(points, -50.0f, 70.0f, 0.7f, -0.3f, 3.1415927f, 0.01f));
  // Each point lies in exactly the cells it voted for.
  for (int k = 0; k < 20; ++k) {
    const int i = k * 7 % static_cast<int>(a.cells.size());
    const auto alone = ReferenceVotes({points[k]}, -50.0f, 70.0f, 0.7f, -0.3f, 3.1415927f, 0.01f);
    for (size_t j = 0; j < alone[i].size(); ++j) {
      ASSERT_EQ(h.IsInCell(points[k].x, points[k].y, i, static_cast<int>(j)), alone[i][j] != 0.0f);
    }
  }
}

TEST(HoughTransform, RangesWithoutCellsGiveNoAccumulator) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const float ranges[][3] = {{0, 10, 0},  {10, 0, 1},     {0, 0.5f, 1}, {0, 10, nan},
                             {0, inf, 1}, {0, 10, 1e-9f}, {0, 1e9f, 1}};
  for (const auto& r : ranges) {
    CHoughTransform2D h;
    h.AddPoint(1, 1, 1);
    h.SetR(r[0], r[1], r[2]);
    const Accumulator a = Transform(h);
    EXPECT_TRUE(a.none && a.cells.empty() && h.IsInCell(1, 1, 0, 0) == 0) << &r - ranges;
  }
  // Both counts fit, their product does not.
  CHoughTransform2D h;
  h.SetU(0, 20000, 1);
  h.SetR(0, 20000, 1);
  EXPECT_TRUE(Transform(h).none);
  // A descending range with a negative step has cells.
  h.SetR(10, -10, -1);
  h.SetU(0, 3.1415927f, 0.034906585f);
  h.AddPoint(3, 0, 1);
  const Accumulator a = Transform(h);
  EXPECT_EQ(a.cells[0].size(), 20u);
  EXPECT_EQ(a.cells[0][7], 1.0f);  // (3 - 10) / -1
}

}  // namespace
