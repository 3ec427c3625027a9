// Tests of CDistribution's least-squares line, typical distances with their votes and
// trace lines, and the point trace file.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "imageclasses/distribution.h"
#include "support/trace_lines.h"

namespace {

CDistribution<int> Make(const std::vector<int>& values) {
  CDistribution<int> d;
  d.Create(values.data(), static_cast<int>(values.size()));
  return d;
}

std::string TempPath(const char* name) { return ::testing::TempDir() + name; }

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// The typical distance as first built: a dense histogram of the qualifying differences
// and the highest recorded maximum of a distribution over it.
int ReferenceTypicalDistance(const std::vector<int>& positions, int minDistance) {
  std::vector<int> diffs;
  for (std::size_t i = 1; i < positions.size(); ++i) {
    const int d = positions[i] - positions[i - 1];
    if (d > minDistance && d >= 0) diffs.push_back(d);
  }
  const int m = static_cast<int>(diffs.size());
  long long sum = 0;
  for (int d : diffs) sum += d;
  if (m == 0) return minDistance;
  if (m < 5) return static_cast<int>(sum / m);
  std::vector<int> histogram(*std::max_element(diffs.begin(), diffs.end()) + 1, 0);
  for (int d : diffs) ++histogram[d];
  CDistribution<int> h = Make(histogram);
  return h.GetMaximum() < 3 ? static_cast<int>(sum / m) : h.GetMaximumPos();
}

TEST(DistributionLeastSquares, FitsLinesExactly) {
  double slope = -1.0;
  double intercept = -1.0;
  CDistribution<int> d = Make({1, 3, 5});
  EXPECT_EQ(d.LinearLSFitting(&slope, &intercept), 0.0);
  EXPECT_DOUBLE_EQ(slope, 2.0);
  EXPECT_DOUBLE_EQ(intercept, 1.0);
  // Page-sized values: the products i * value pass 2^31.
  std::vector<long> big(5000);
  for (int i = 0; i < 5000; ++i) big[i] = 100000000L + 3L * i;
  CDistribution<long> b;
  b.Create(big.data(), 5000);
  b.LinearLSFitting(&slope, &intercept);
  EXPECT_NEAR(slope, 3.0, 1e-6);
  EXPECT_NEAR(intercept, 1e8, 1e-2);
  // Fewer than two values give a horizontal line.
  CDistribution<int> one = Make({7});
  one.LinearLSFitting(&slope, &intercept);
  EXPECT_EQ(slope, 0.0);
  EXPECT_EQ(intercept, 7.0);
  CDistribution<int>().LinearLSFitting(&slope, &intercept);
  EXPECT_EQ(intercept, 0.0);
  EXPECT_EQ(one.LinearLSFitting(nullptr, nullptr), 0.0);
}

TEST(DistributionTypicalDistance, GoodMaximumAndVotes) {
  TraceCapture trace;
  CDistribution<int> d = Make({0, 10, 20, 30, 40, 50, 60});
  std::vector<int> votes(7, -1);
  EXPECT_EQ(d.DistanceAnalysis(votes.data(), 2), 10);
  EXPECT_EQ(votes, std::vector<int>(7, 6));
  EXPECT_EQ(trace.Lines(), std::vector<std::string>({"\tGood Result Based on High Maximum(6)!\n"}));
}

TEST(DistributionTypicalDistance, FewDifferencesOrAWeakMaximumUseTheAverage) {
  TraceCapture trace;
  CDistribution<int> d = Make({0, 10, 22, 36, 37});  // 10, 12, 14 exceed 2; 1 does not
  EXPECT_EQ(d.DistanceAnalysis(nullptr, 2), 12);
  CDistribution<int> close = Make({0, 1, 2});
  EXPECT_EQ(close.DistanceAnalysis(nullptr, 5), 5);
  CDistribution<int> weak = Make({0, 10, 21, 33, 46, 60});  // 10, 11, 12, 13, 14: once each
  EXPECT_EQ(weak.DistanceAnalysis(nullptr, 0), 12);
  EXPECT_EQ(trace.Lines(), std::vector<std::string>(
                               {"\tVery Few Distances (3): using average or threshold (if zero)\n",
                                "\tVery Few Distances (0): using average or threshold (if zero)\n",
                                "\tNo Good Maximum (1): using average\n"}));
}

TEST(DistributionTypicalDistance, VotesNeedADistanceNearAMultiple) {
  // Result 10; a vote needs a distance within 0.2 periods of a multiple.
  CDistribution<int> d = Make({0, 10, 20, 30, 40, 50, 60, 75, 81});
  std::vector<int> votes(9);
  EXPECT_EQ(d.DistanceAnalysis(votes.data(), 0), 10);
  EXPECT_EQ(votes[0], 7);  // 10..60 and 81
  EXPECT_EQ(votes[7], 0);  // 75 is half a period off 0..60 and 0.6 off 81
  EXPECT_EQ(votes[8], 7);  // 81 is 0.1 period off each of 0..60
  // A typical distance of 0 gives no votes.
  CDistribution<int> same = Make({4, 4, 4, 4, 4, 4, 4});
  std::vector<int> none(7, -1);
  EXPECT_EQ(same.DistanceAnalysis(none.data(), -1), 0);
  EXPECT_EQ(none, std::vector<int>(7, 0));
}

TEST(DistributionTypicalDistance, MatchesTheDenseHistogramOnRandomLists) {
  std::mt19937 rng(11);
  for (int trial = 0; trial < 400; ++trial) {
    const int n = static_cast<int>(rng() % 40);
    const int spread = 1 + static_cast<int>(rng() % 8);
    const int base = static_cast<int>(rng() % 15);
    std::vector<int> positions(n);
    int p = 0;
    for (int i = 0; i < n; ++i) {
      positions[i] = p;
      p += base + static_cast<int>(rng() % spread);
    }
    const int minDistance = static_cast<int>(rng() % 6) - 1;
    CDistribution<int> d = Make(positions);
    ASSERT_EQ(d.DistanceAnalysis(nullptr, minDistance),
              ReferenceTypicalDistance(positions, minDistance))
        << "trial " << trial;
  }
}

TEST(DistributionTypicalDistance, HugeAndNegativeDifferencesAreSafe) {
  // A difference of 2e9 needs no histogram of 2e9 bins.
  CDistribution<int> far = Make({0, 10, 20, 30, 40, 50, 2000000000});
  EXPECT_EQ(far.DistanceAnalysis(nullptr, 0), 10);
  // Falling steps (a list that is not ascending) never qualify.
  CDistribution<int> unsorted = Make({50, 40, 30, 20, 10, 0});
  EXPECT_EQ(unsorted.DistanceAnalysis(nullptr, -100), -100);
  CDistribution<long> wide;
  const long span[] = {-4000000000L, 4000000000L, 4000000010L};
  wide.Create(span, 3);
  EXPECT_EQ(wide.DistanceAnalysis(nullptr, 0), 10);
}

TEST(DistributionTraceFile, WritesValuesAndExtremaColumns) {
  const std::string path = TempPath("distribution_trace.csv");
  CDistribution<int> d = Make({1, 3, 2, 2});
  d.TracePointsToFile(Wide(path).c_str(), 7);
  // The extrema are not computed by the trace: no marks yet.
  EXPECT_EQ(ReadTextFile(path),
            "X,Y,Minima,Maxima\n0, 1.000, 0, 0\n1, 3.000, 0, 0\n2, 2.000, 0, 0\n"
            "3, 2.000, 0, 0\n");
  d.ComputeExtrema();  // maxima 1; minima 0, 2, 3 (a flat bottom gives both ends)
  d.TracePointsToFile(Wide(path).c_str(), 7);
  EXPECT_EQ(ReadTextFile(path),
            "X,Y,Minima,Maxima\n0, 1.000, 65, 0\n1, 3.000, 0, 65\n2, 2.000, 65, 0\n"
            "3, 2.000, 65, 0\n");
  d.TracePointsToFile(Wide(path).c_str(), 4);
  EXPECT_EQ(ReadTextFile(path), "X,Maxima\n0, 0\n1, 65\n2, 0\n3, 0\n");
  CDistribution<long> big;
  const long v[] = {-123456789012L};
  big.Create(v, 1);
  big.TracePointsToFile(Wide(path).c_str(), 1);
  EXPECT_EQ(ReadTextFile(path), "X,Y\n0, -123456789012.000\n");
}

TEST(DistributionTraceFile, ReportsAFileThatCannotBeOpened) {
  TraceCapture trace;
  CDistribution<int> d = Make({1});
  d.TracePointsToFile(L"/nonexistent-directory/trace.csv", 1);
  d.TracePointsToFile(nullptr, 1);
  EXPECT_EQ(trace.Lines(),
            std::vector<std::string>({"Could Not Open File\n", "Could Not Open File\n"}));
}

}  // namespace
