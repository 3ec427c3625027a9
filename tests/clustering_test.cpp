// The k-means clusterers: creation by class name, convergence and return values, ties, empty
// clusters, random initialisation, angles in cylindrical coordinates, traces.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "imageclasses/clustering3d.h"
#include "imageclasses/clusteringcylindrical.h"
#include "support/trace_lines.h"

namespace {

// x, y, z and size of cluster i (all -1 if GetClusterInfo does not answer 1).
std::vector<float> Of(CClustering3D& c, int i) {
  float x = -1, y = -1, z = -1;
  int size = -1;
  if (c.GetClusterInfo(i, &x, &y, &z, &size) != 1) return {-1, -1, -1, -1};
  return {x, y, z, static_cast<float>(size)};
}

// A clusterer with the given points and k centres.
void Fill(CClustering3D& c, const std::vector<std::vector<float>>& points,
          const std::vector<std::vector<float>>& centres) {
  for (const auto& p : points) c.AddPoint(p[0], p[1], p[2]);
  c.SetK(static_cast<int>(centres.size()));
  for (size_t k = 0; k < centres.size(); ++k) {
    c.InitializeCluster(static_cast<int>(k), centres[k][0], centres[k][1], centres[k][2]);
  }
}

// A clusterer of its own that measures by the z difference alone.
class DepthClustering : public CClusteringCylindrical {
 private:
  float DistanceSquared(const tagFPoint& a, const tagFPoint& b) override {
    return (a.z - b.z) * (a.z - b.z);
  }
};

TEST(Clustering, ADerivedClassMeasuresWithItsOwnDistance) {
  // Near centre 0 in x and y but near centre 1 in z: the own distance decides.
  const std::vector<std::vector<float>> points = {{0, 0, 9}, {10, 0, 1}};
  const std::vector<std::vector<float>> centres = {{0, 0, 0}, {10, 0, 10}};
  CClustering3D plain;
  DepthClustering depth;
  depth.SetAngleMode(2);
  Fill(plain, points, centres);
  Fill(depth, points, {{0, 0, 0}, {10, 0, 10}});
  plain.PerformClustering(0.0f, 1);
  depth.PerformClustering(0.0f, 1);
  EXPECT_EQ(Of(plain, 0)[3], 1.0f);
  EXPECT_EQ(Of(plain, 1)[3], 1.0f);
  // Both points go by z: (.., 9) to centre 1, (.., 1) to centre 0; the centres follow.
  float r = 0, angle = 0, z0 = -1, z1 = -1;
  int n0 = 0, n1 = 0;
  ASSERT_EQ(depth.GetClusterInfo(0, &r, &angle, &z0, &n0), 1);
  ASSERT_EQ(depth.GetClusterInfo(1, &r, &angle, &z1, &n1), 1);
  EXPECT_EQ((std::vector<float>{z0, static_cast<float>(n0), z1, static_cast<float>(n1)}),
            (std::vector<float>{1, 1, 9, 1}));
}

TEST(Clustering, TwoPointsConvergeInTheSecondIteration) {
  CClustering3D c;
  EXPECT_EQ((std::vector<int>{c.AddPoint(0, 0, 0), c.AddPoint(10, 0, 0)}),
            (std::vector<int>{1, 2}));
  Fill(c, {}, {{1, 0, 0}, {9, 0, 0}});
  EXPECT_EQ(c.HypotheticAssignment(5, 0, 0), 0);  // a tie goes to the lower index
  EXPECT_EQ(c.PerformClustering(0.5f, 100), 1);
  EXPECT_EQ(Of(c, 0), (std::vector<float>{0, 0, 0, 1}));
  EXPECT_EQ(Of(c, 1), (std::vector<float>{10, 0, 0, 1}));
  // Without a positive tolerance the limit is always reached.
  EXPECT_EQ((std::vector<int>{c.PerformClustering(0.0f, 7), c.PerformClustering(-1.0f, 0),
                              c.PerformClustering(0.0f, -1)}),
            (std::vector<int>{7, 0, 65535}));
}

TEST(Clustering, OneClusterIsTheMeanOfAllPoints) {
  CClustering3D c;
  Fill(c, {{1, 2, 3}, {5, 0, 1}}, {{100, 100, 100}});
  EXPECT_EQ(c.PerformClustering(0.01f, 10), 1);
  EXPECT_EQ(Of(c, 0), (std::vector<float>{3, 1, 2, 2}));
  // Single-precision sums of 200000 values of 255 would drift from 5.1e7 by hundreds.
  for (int i = 0; i < 200000; ++i) c.AddPoint(255.0f, 1.0f, 100.0f + (i % 2));
  c.PerformClustering(0.0f, 1);
  const std::vector<float> m = Of(c, 0);
  EXPECT_FLOAT_EQ(m[0], (6.0f + 255.0f * 200000) / 200002);
  EXPECT_FLOAT_EQ(m[2], (4.0f + 100.5f * 200000) / 200002);
  EXPECT_EQ(m[3], 200002);
}

TEST(Clustering, MissingClustersAndIndicesOutside) {
  CClustering3D c;
  c.AddPoint(1, 1, 1);
  EXPECT_EQ(c.PerformClustering(0.5f, 10), 0);
  EXPECT_EQ(c.HypotheticAssignment(1, 1, 1), -1);
  float x = -7.0f;
  EXPECT_EQ(c.GetClusterInfo(0, &x, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(x, -7.0f);
  c.SetK(-4);
  EXPECT_EQ(c.GetK(), 0);
  c.SetK(2);
  c.InitializeCluster(2, 9, 9, 9);
  c.InitializeCluster(-1, 9, 9, 9);
  EXPECT_EQ(Of(c, 0), Of(c, 1));
  EXPECT_EQ(Of(c, 1)[0], 0.0f);
  EXPECT_EQ(c.GetClusterInfo(0, nullptr, nullptr, nullptr, nullptr), 1);
  c.InitializeCluster(1, 4, 5, 6);
  c.SetK(2);  // fresh zeroed centres
  EXPECT_EQ(Of(c, 1)[1], 0.0f);
}

TEST(Clustering, RandomInitialisationPicksCoordinatesOfPoints) {
  CClustering3D empty;
  empty.SetK(3);
  empty.AutoInitializeClusters(1);  // no point to pick: centres stay
  EXPECT_EQ(Of(empty, 2)[0], 0.0f);
  CClustering3D c;
  for (int i = 0; i < 1000; ++i) c.AddPoint(i, 1000 + i, 2000 + i);
  c.SetK(8);
  c.AutoInitializeClusters(2);  // no such mode
  EXPECT_EQ(Of(c, 0)[0], 0.0f);
  std::srand(5);
  c.AutoInitializeClusters(1);
  bool differ = false;
  for (int k = 0; k < 8; ++k) {
    const std::vector<float> m = Of(c, k);
    for (int a = 0; a < 3; ++a) {
      EXPECT_TRUE(m[a] >= 1000 * a && m[a] < 1000 * (a + 1) && m[a] == std::floor(m[a])) << m[a];
    }
    differ = differ || m[0] != Of(c, 0)[0];
  }
  EXPECT_TRUE(differ);  // not all from one point (the last one)
}

TEST(ClusteringCylindrical, DegreeAnglesWrapAround) {
  CClusteringCylindrical c;
  c.SetAngleMode(1);
  Fill(c, {}, {{1, 340, 0}, {1, 1, 0}});
  EXPECT_EQ(c.HypotheticAssignment(1, 359, 0) * 10 + c.HypotheticAssignment(1, 345, 0), 10);
  // A cluster over both sides of 0 degrees has its centre at about 0.
  for (float a : {358.0f, 359.0f, 1.0f, 2.0f}) c.AddPoint(1, a, 5);
  c.SetK(1);
  c.PerformClustering(0.0f, 1);
  const std::vector<float> m = Of(c, 0);  // radius, angle, height, size
  EXPECT_TRUE(m[1] >= 0.0f && m[1] < 360.0f) << m[1];
  EXPECT_LT(std::min(m[1], 360.0f - m[1]), 0.01f);
  EXPECT_NEAR(m[0], 0.99962, 1e-5);  // mean of cos 1 and cos 2 degrees
  EXPECT_EQ(m[2] * 10 + m[3], 54.0f);
}

TEST(ClusteringCylindrical, ReportedAnglesAndRadii) {
  CClusteringCylindrical c;
  c.SetK(3);
  c.InitializeCluster(0, 4, 3.14159265f / 2, 7);  // radians by default
  c.SetAngleMode(1);
  c.InitializeCluster(1, 2, 359, 1);
  c.InitializeCluster(2, 2, -0.00001f, 1);  // rounds to a full turn
  const std::vector<float> a = Of(c, 0), b = Of(c, 1), full = Of(c, 2);
  EXPECT_TRUE(std::fabs(a[1] - 90.0f) < 1e-4 && std::fabs(a[0] - 4.0f) < 1e-5 && a[2] == 7.0f);
  EXPECT_TRUE(std::fabs(b[1] - 359.0f) < 1e-3 && std::fabs(b[0] - 2.0f) < 1e-5);
  EXPECT_TRUE(full[1] >= 0.0f && full[1] < 360.0f) << full[1];
  c.SetAngleMode(2);
  EXPECT_NEAR(Of(c, 1)[1], 6.2657320f, 1e-5);
  // x = 0 exactly: the cosine of the rounded angle is tiny but not 0, and x divided by it
  // would give a radius of 0.
  c.CClustering3D::InitializeCluster(0, 0.0f, 5.0f, 0.0f);
  EXPECT_EQ(Of(c, 0)[0], 5.0f);
  EXPECT_NEAR(Of(c, 0)[1], 1.5707964f, 1e-6);
}

TEST(Clustering, TracesClusterInfoAndPoints) {
  CClustering3D c;
  Fill(c, {{1.5f, 2, 3}}, {{0, 0, 0}, {1.5f, 2, 3}});
  c.PerformClustering(0.0f, 1);
  EXPECT_EQ(Of(c, 0), (std::vector<float>{0, 0, 0, 0}));  // an empty cluster keeps its centre
  TraceCapture trace;
  c.TraceClusterInfo(2);  // no such cluster
  c.TracePoints();
  c.TraceClusterInfo(-1);
  EXPECT_EQ(trace.Lines()[0], "1.500\t2.000\t3.000\n");
  EXPECT_EQ(trace.Lines().size(), 9u);
}

}  // namespace
