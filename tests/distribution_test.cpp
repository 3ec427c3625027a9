// CDistribution: values, extrema with every plateau treatment, cached properties, local extrema
// and peaks, smoothing, the least-squares line, typical distances and the trace file.
#include "imageclasses/distribution.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "support/trace_lines.h"

namespace {

template <typename T = int>
CDistribution<T> Make(const std::vector<T>& values) {
  CDistribution<T> d;
  EXPECT_TRUE(d.Create(values.data(), static_cast<int>(values.size())));
  return d;
}

template <typename T>
std::vector<T> Values(CDistribution<T>& d) {
  return std::vector<T>(d.GetPointArray(), d.GetPointArray() + d.GetCount());
}

// Maxima positions, then minima positions.
template <typename T>
std::vector<std::vector<int>> Extrema(CDistribution<T>& d) {
  return {{d.GetMaximaPositions(), d.GetMaximaPositions() + d.GetMaximaCount()},
          {d.GetMinimaPositions(), d.GetMinimaPositions() + d.GetMinimaCount()}};
}

// The typical distance as first built: a dense histogram of the qualifying differences
// and the highest recorded maximum of a distribution over it.
int ReferenceTypicalDistance(const std::vector<int>& positions, int minDistance) {
  std::vector<int> diffs;
  long long sum = 0;
  for (std::size_t i = 1; i < positions.size(); ++i) {
    const int d = positions[i] - positions[i - 1];
    if (d > minDistance && d >= 0) diffs.push_back(d), sum += d;
  }
  const int m = static_cast<int>(diffs.size());
  if (m == 0) return minDistance;
  if (m < 5) return static_cast<int>(sum / m);
  std::vector<int> histogram(*std::max_element(diffs.begin(), diffs.end()) + 1, 0);
  for (int d : diffs) ++histogram[d];
  CDistribution<int> h = Make(histogram);
  return h.GetMaximum() < 3 ? static_cast<int>(sum / m) : h.GetMaximumPos();
}

// Slope, intercept and the answer of LinearLSFitting.
template <typename T>
std::vector<double> Fit(CDistribution<T> d) {
  double slope = -1.0, intercept = -1.0;
  const double answer = d.LinearLSFitting(&slope, &intercept);
  return {slope, intercept, answer};
}

TEST(DistributionLeastSquares, FitsLinesExactly) {
  // Page-sized values: the products i * value pass 2^31.
  std::vector<long> big(5000);
  for (int i = 0; i < 5000; ++i) big[i] = 100000000L + 3L * i;
  const std::vector<double> line = Fit(Make(big));
  EXPECT_NEAR(line[0], 3.0, 1e-6);
  EXPECT_NEAR(line[1], 1e8, 1e-2);
  // Fewer than two values give a horizontal line.
  EXPECT_EQ(Fit(Make({7})), (std::vector<double>{0, 7, 0}));
  EXPECT_EQ(Fit(CDistribution<int>())[1], 0.0);
  EXPECT_EQ(Make({7}).LinearLSFitting(nullptr, nullptr), 0.0);
}

TEST(DistributionTypicalDistance, VotesNeedADistanceNearAMultiple) {
  // Result 10; a vote needs a distance within 0.2 periods of a multiple: 75 is half a period
  // off 0..60 and 0.6 off 81; 81 is 0.1 period off each of 0..60.
  std::vector<int> votes(9);
  EXPECT_EQ(Make({0, 10, 20, 30, 40, 50, 60, 75, 81}).DistanceAnalysis(votes.data(), 0), 10);
  EXPECT_EQ(votes, (std::vector<int>{7, 7, 7, 7, 7, 7, 7, 0, 7}));
  // A typical distance of 0 gives no votes.
  std::vector<int> none(7, -1);
  EXPECT_EQ(Make({4, 4, 4, 4, 4, 4, 4}).DistanceAnalysis(none.data(), -1), 0);
  EXPECT_EQ(none, std::vector<int>(7, 0));
}

TEST(DistributionTypicalDistance, MatchesTheDenseHistogramOnRandomLists) {
  std::mt19937 rng(11);
  for (int trial = 0; trial < 400; ++trial) {
    const int n = static_cast<int>(rng() % 40);
    const int spread = 1 + static_cast<int>(rng() % 8);
    const int base = static_cast<int>(rng() % 15);
    std::vector<int> positions(n);
    for (int i = 0, p = 0; i < n; ++i, p += base + static_cast<int>(rng() % spread)) {
      positions[i] = p;
    }
    const int minDistance = static_cast<int>(rng() % 6) - 1;
    ASSERT_EQ(Make(positions).DistanceAnalysis(nullptr, minDistance),
              ReferenceTypicalDistance(positions, minDistance))
        << "trial " << trial;
  }
}

TEST(DistributionTypicalDistance, HugeAndNegativeDifferencesAreSafe) {
  // A difference of 2e9 needs no histogram of 2e9 bins; falling steps (a list that is not
  // ascending) never qualify; differences beyond int.
  EXPECT_EQ(Make({0, 10, 20, 30, 40, 50, 2000000000}).DistanceAnalysis(nullptr, 0), 10);
  EXPECT_EQ(Make({50, 40, 30, 20, 10, 0}).DistanceAnalysis(nullptr, -100), -100);
  EXPECT_EQ(Make<long>({-4000000000L, 4000000000L, 4000000010L}).DistanceAnalysis(nullptr, 0), 10);
}

TEST(DistributionTraceFile, WritesValuesAndExtremaColumns) {
  const std::string path = ::testing::TempDir() + "distribution_trace.csv";
  const std::wstring wpath(path.begin(), path.end());
  CDistribution<int> d = Make({1, 3, 2, 2});
  d.ComputeExtrema();  // maxima 1; minima 0, 2, 3 (a flat bottom gives both ends)
  d.TracePointsToFile(wpath.c_str(), 7);
  EXPECT_EQ(ReadTextFile(path),
            "X,Y,Minima,Maxima\n0, 1.000, 65, 0\n1, 3.000, 0, 65\n2, 2.000, 65, 0\n"
            "3, 2.000, 65, 0\n");
  Make<long>({-123456789012L}).TracePointsToFile(wpath.c_str(), 1);
  EXPECT_EQ(ReadTextFile(path), "X,Y\n0, -123456789012.000\n");
}

template <typename T>
class DistributionExtrema : public ::testing::Test {};
using ValueTypes = ::testing::Types<int, long>;
TYPED_TEST_SUITE(DistributionExtrema, ValueTypes);

TYPED_TEST(DistributionExtrema, PlateauTreatmentsOnValueLists) {
  using V = std::vector<int>;
  const struct {
    V values;
    unsigned char treatment;
    V maxima, minima;
  } cases[] = {
      {{0, 5, 5, 5, 0, 2, 2, 0}, 1, {2, 5}, {0, 4, 7}},
      {{0, 5, 5, 5, 0, 2, 2, 0}, 2, {1, 3, 5, 6}, {0, 4, 7}},
      {{0, 5, 5, 5, 0, 2, 2, 0}, 0, {0}, {0, 4, 7}},
      {{4, 1, 1, 1, 4}, 1, {0, 4}, {1, 3, 4}},
      {{4, 1, 1, 1, 4}, 3, {0, 4}, {2, 4}},
      {{4, 1, 1, 1, 4}, 0, {0, 4}, {4}},
      // A flat start before a rise counts with its last position; before a fall it is a
      // flat maximum from 0. A flat top at the end is also the last (flat) minimum.
      {{2, 2, 2, 5, 1}, 1, {3}, {2, 4}},
      {{5, 5, 5, 1, 3}, 1, {1, 4}, {3, 4}},
      {{0, 5, 5}, 1, {1}, {0, 1, 2}},
      {{7, 7, 7}, 1, {0}, {0}},
      {{7}, 1, {0}, {0}},
      {{}, 1, {0}, {0}},
  };
  for (const auto& c : cases) {
    auto d = Make(std::vector<TypeParam>(c.values.begin(), c.values.end()));
    d.SetPlateuTreatment(c.treatment);
    EXPECT_EQ(Extrema(d), (std::vector<V>{c.maxima, c.minima})) << "case " << &c - cases;
  }
}

TYPED_TEST(DistributionExtrema, GlobalAndLocalExtremaAndPeaks) {
  auto d = Make<TypeParam>({1, 9, 2, 9, 0, 4, 0, 8});  // maxima 1 3 5 7, minima 0 2 4 6 7
  // The first of equal values; with no local maximum before, the start or -1; none after,
  // count - 1 or -1.
  EXPECT_EQ((std::vector<long>{d.GetMaximumPos(), d.GetMaximum(), d.GetMinimumPos(), d.GetMinimum(),
                               d.GetLocalMaximumPos(1, 1, 1), d.GetLocalMaximumPos(1, 2, 1),
                               d.GetLocalMaximumPos(1, 2, 2), d.GetLocalMaximumPos(7, 1, 1),
                               d.GetLocalMaximumPos(7, 1, 2), d.GetLocalMinimumPos(4, 2, 1)}),
            (std::vector<long>{1, 9, 4, 0, 3, 0, -1, 7, -1, 2}));
  // At a minimum the peak starts there.
  typename CDistribution<TypeParam>::_Peak a{-9, -9, -9}, b = a;
  EXPECT_TRUE(d.GetPeak(2, &a) && d.GetPeak(5, &b) && !d.GetPeak(5, nullptr));
  EXPECT_EQ((std::vector<int>{a.nLeft, a.nTop, a.nRight, b.nLeft, b.nTop, b.nRight}),
            (std::vector<int>{2, 3, 4, 4, 5, 6}));
}

TYPED_TEST(DistributionExtrema, ValuesCountsAndBadInput) {
  CDistribution<TypeParam> empty;
  EXPECT_TRUE(empty.IsZero() && empty.IsConstant() && empty.GetAverage() == 0 &&
              empty.GetMaximum() == 0);
  auto d = Make<TypeParam>({4, 4, 4});
  EXPECT_TRUE(!d.IsZero() && d.IsConstant() && d.GetAt(-1) == 0 && d.GetAt(3) == 0);
  d.SetCount(5);  // keeps the values, new ones are 0
  EXPECT_TRUE(d.GetAt(2) == 4 && d.GetAt(4) == 0 && !d.IsConstant());
  d.SetCount(-3);
  EXPECT_TRUE(d.GetCount() == 0 && d.GetPointArray() == nullptr);
  d = Make<TypeParam>({1, 2});
  const TypeParam one[] = {1};
  EXPECT_FALSE(d.Create(nullptr, 3));
  EXPECT_EQ(d.GetCount(), 0);
  EXPECT_FALSE(d.Create(one, -1));
  EXPECT_TRUE(d.Create(nullptr, 0));
}

TYPED_TEST(DistributionExtrema, CopiesKeepTheirExtrema) {
  auto a = Make<TypeParam>({0, 5, 0, 7, 0});
  EXPECT_EQ(a.GetMaximumPos(), 3);
  CDistribution<TypeParam> c;
  c = a;
  EXPECT_EQ(Extrema(c), Extrema(a));
}

TEST(DistributionAverage, PageHistogramSumsDoNotOverflow) {
  // 256 bins of 10^8 counts sum to 2.56e10, beyond 32 bits; the mean rounds toward zero.
  std::vector<int> bins(256, 100000000);
  bins[0] = 100000255;
  EXPECT_EQ(Make(bins).GetAverage(), 100000000);
  EXPECT_EQ(Make<long>({LONG_MAX, LONG_MAX, LONG_MAX - 2}).GetAverage(), LONG_MAX - 1);
  EXPECT_EQ(Make({-7, 0}).GetAverage(), -3);
}

template <typename T>
std::vector<T> Smoothed(const std::vector<T>& values, int radius) {
  CDistribution<T> d = Make(values);
  d.MovingAverage(radius);
  return Values(d);
}

// The moving average straight from its definition, one weighted sum per position.
std::vector<std::int64_t> ReferenceMovingAverage(const std::vector<std::int64_t>& v, int radius) {
  std::vector<std::int64_t> out = v;
  for (int i = radius; i < static_cast<int>(v.size()) - radius; ++i) {
    std::int64_t sum = v[i];
    for (int d = 1; d <= radius; ++d) sum += (radius - d + 1) * (v[i - d] + v[i + d]);
    out[i] = sum / (1 + radius * (radius + 1));
  }
  return out;
}

TEST(DistributionMovingAverage, RadiiWithoutInnerPositionsChangeNothing) {
  const std::vector<int> v = {5, 1, 9, 2};
  for (int radius : {0, -2, 2, 1000000}) EXPECT_EQ(Smoothed(v, radius), v);
  EXPECT_TRUE(Smoothed(std::vector<int>{}, 1).empty());
}

TEST(DistributionMovingAverage, MatchesTheDefinitionOnRandomProfiles) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 60; ++trial) {
    const int n = 1 + static_cast<int>(rng() % 200);
    const int radius = static_cast<int>(rng() % 12);
    // Page-histogram magnitudes: weighted sums pass 2^31.
    const std::int64_t limit = trial % 2 ? 100000000 : 1000;
    std::vector<int> v(n);
    for (int& x : v)
      x = static_cast<int>(static_cast<std::int64_t>(rng() % (2 * limit + 1)) - limit);
    const std::vector<int> got = Smoothed(v, radius);
    ASSERT_EQ(std::vector<std::int64_t>(got.begin(), got.end()),
              ReferenceMovingAverage({v.begin(), v.end()}, radius))
        << "n " << n << " radius " << radius;
  }
}

TEST(DistributionRemoveSubbase, SaturatesOutsideTheValueRange) {
  auto d = Make({2000000000, -2000000000, 2000000000});
  d.RemoveSubbase();
  EXPECT_EQ(Values(d), std::vector<int>({INT32_MAX, 0, INT32_MAX}));
}

TEST(DistributionPeakSmoothing, MarksSymmetricPeaksWithoutApplyingThem) {
  // Peaks of heights 10, 30, 10 at 1, 3, 5: one group rising to 3 and falling again.
  const std::vector<int> v = {0, 10, 0, 30, 0, 10, 0};
  auto d = Make(v);
  EXPECT_EQ(d.AAPeakSmoothing(10.0f, 0.5f, 0.5f), 1);
  EXPECT_EQ(Values(d), v);
  EXPECT_TRUE(d.GetMaximaCount() == 3 && d.GetMaximumPos() == 3);
  // Height 20 plus width 4 does not exceed 24; width and count ratios of 1 are not exceeded.
  EXPECT_EQ(
      (std::vector<int>{d.AAPeakSmoothing(24.0f, 0.5f, 0.5f), d.AAPeakSmoothing(10.0f, 1.0f, 0.5f),
                        d.AAPeakSmoothing(10.0f, 0.5f, 1.0f)}),
      std::vector<int>(3, 0));
}

}  // namespace
