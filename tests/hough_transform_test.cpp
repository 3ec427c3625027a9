// Tests of the line Hough accumulator: default cells, the single-precision votes,
// dropped votes, cell conversions, IsInCell, Reset and ranges without cells.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "imageclasses/houghtransform2d.h"

namespace {

struct Accumulator {
  float** cells = nullptr;
  int x = -1;
  int y = -1;
};

Accumulator Transform(CHoughTransform2D& h) {
  Accumulator a;
  h.LineHoughTransform(&a.cells, &a.x, &a.y);
  return a;
}

float Total(const Accumulator& a) {
  float sum = 0.0f;
  for (int i = 0; i < a.x; ++i) {
    for (int j = 0; j < a.y; ++j) sum += a.cells[i][j];
  }
  return sum;
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

TEST(HoughTransform, DefaultCellsAndSinglePrecisionVotes) {
  CHoughTransform2D h;
  EXPECT_EQ(h.AddPoint(3, 0, 2), 1);
  const Accumulator a = Transform(h);
  ASSERT_EQ(a.x * 100 + a.y, 9020);
  // Cell 13 at u = 0 holds r = 3; u = 45 steps is pi/2 rounded up: r is about -1.3e-7 and
  // truncates into cell 9. |r| <= 3 lies in range at every angle.
  EXPECT_EQ((std::vector<float>{a.cells[0][13], a.cells[45][9], a.cells[45][10], Total(a)}),
            (std::vector<float>{2, 2, 0, 2.0f * 90}));
  EXPECT_FLOAT_EQ(h.GetUFromCellX(45), 1.5707964f);
  EXPECT_EQ(h.GetRFromCellY(13), 3.0f);
  // Points on the vertical line x = 5 meet in one cell.
  CHoughTransform2D line;
  for (int y = -3; y <= 3; ++y) line.AddPoint(5, static_cast<float>(y), 1);
  EXPECT_EQ(Transform(line).cells[0][15], 7.0f);
}

TEST(HoughTransform, MatchesTheDefinitionOnRandomPoints) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> coordinate(-60.0f, 60.0f);
  std::uniform_real_distribution<float> weight(0.1f, 3.0f);
  std::vector<Point> points(300);
  CHoughTransform2D h;
  for (Point& p : points) {
    p = {coordinate(rng), coordinate(rng), weight(rng)};
    h.AddPoint(p.x, p.y, p.w);
  }
  h.SetR(-50.0f, 70.0f, 0.7f);
  h.SetU(-0.3f, 3.1415927f, 0.01f);
  const Accumulator a = Transform(h);
  const auto want = ReferenceVotes(points, -50.0f, 70.0f, 0.7f, -0.3f, 3.1415927f, 0.01f);
  ASSERT_EQ(a.x, static_cast<int>(want.size()));
  ASSERT_EQ(a.y, static_cast<int>(want[0].size()));
  for (int i = 0; i < a.x; ++i) {
    for (int j = 0; j < a.y; ++j) ASSERT_EQ(a.cells[i][j], want[i][j]) << i << "," << j;
  }
  // Each point lies in exactly the cells it voted for.
  for (int k = 0; k < 20; ++k) {
    const int i = k * 7 % a.x;
    const auto alone = ReferenceVotes({points[k]}, -50.0f, 70.0f, 0.7f, -0.3f, 3.1415927f, 0.01f);
    for (int j = 0; j < a.y; ++j) {
      ASSERT_EQ(h.IsInCell(points[k].x, points[k].y, i, j), alone[i][j] != 0.0f ? 1 : 0);
    }
  }
}

TEST(HoughTransform, RangesWithoutCellsGiveNoAccumulator) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Range {
    float min, max, step;
  };
  for (const Range r : {Range{0, 10, 0}, Range{10, 0, 1}, Range{0, 0.5f, 1}, Range{0, 10, nan},
                        Range{0, inf, 1}, Range{0, 10, 1e-9f}, Range{0, 1e9f, 1}}) {
    CHoughTransform2D h;
    h.AddPoint(1, 1, 1);
    h.SetR(r.min, r.max, r.step);
    const Accumulator a = Transform(h);
    EXPECT_TRUE(a.cells == nullptr && a.x == 0 && a.y == 0 && h.IsInCell(1, 1, 0, 0) == 0)
        << r.min << " " << r.max << " " << r.step;
  }
  // Both counts fit, their product does not.
  CHoughTransform2D h;
  h.SetU(0, 20000, 1);
  h.SetR(0, 20000, 1);
  EXPECT_EQ(Transform(h).cells, nullptr);
  // A descending range with a negative step has cells.
  h.SetR(10, -10, -1);
  h.SetU(0, 3.1415927f, 0.034906585f);
  h.AddPoint(3, 0, 1);
  const Accumulator a = Transform(h);
  EXPECT_EQ(a.y, 20);
  EXPECT_EQ(a.cells[0][7], 1.0f);  // (3 - 10) / -1
}

TEST(HoughTransform, ResetRestoresTheDefaults) {
  CHoughTransform2D h;
  for (int i = 0; i < 25; ++i) EXPECT_EQ(h.AddPoint(1, 1, 1), i + 1);
  h.SetR(0.0f, 5.0f, 0.5f);
  h.SetU(0.0f, 1.0f, 0.5f);
  Accumulator a = Transform(h);
  EXPECT_EQ(a.x * 100 + a.y, 210);
  h.Reset();
  EXPECT_EQ(h.IsInCell(1, 1, 0, 0), 0);
  EXPECT_EQ(h.GetRFromCellY(0), -10.0f);
  EXPECT_EQ(h.AddPoint(3, 0, 2), 1);
  a = Transform(h);
  EXPECT_EQ(a.x * 100 + a.y, 9020);
  EXPECT_EQ(Total(a), 180.0f);
}

}  // namespace
