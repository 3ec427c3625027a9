// Tests of CDistribution: values, extrema with every plateau treatment, cached properties,
// local extrema and peaks, smoothing, the least-squares line, typical distances and the trace
// file, for both instantiations.
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
  EXPECT_TRUE(slope == 0.0 && intercept == 7.0) << slope << " " << intercept;
  CDistribution<int>().LinearLSFitting(&slope, &intercept);
  EXPECT_EQ(intercept, 0.0);
  EXPECT_EQ(one.LinearLSFitting(nullptr, nullptr), 0.0);
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

template <typename T>
CDistribution<T> Make(const std::vector<T>& values) {
  CDistribution<T> d;
  EXPECT_TRUE(d.Create(values.data(), static_cast<int>(values.size())));
  return d;
}

template <typename T>
std::vector<int> Maxima(CDistribution<T>& d) {
  return std::vector<int>(d.GetMaximaPositions(), d.GetMaximaPositions() + d.GetMaximaCount());
}

template <typename T>
std::vector<int> Minima(CDistribution<T>& d) {
  return std::vector<int>(d.GetMinimaPositions(), d.GetMinimaPositions() + d.GetMinimaCount());
}

template <typename T>
class DistributionExtrema : public ::testing::Test {};
using ValueTypes = ::testing::Types<int, long>;
TYPED_TEST_SUITE(DistributionExtrema, ValueTypes);

TYPED_TEST(DistributionExtrema, PlateauTreatmentsOnValueLists) {
  struct Case {
    std::vector<int> values;
    unsigned char treatment;
    std::vector<int> maxima;
    std::vector<int> minima;
  };
  const std::vector<Case> cases = {
      {{1, 2, 3}, 1, {2}, {0, 2}},
      {{3, 2, 1}, 1, {0}, {2}},
      {{0, 5, 5, 5, 0, 2, 2, 0}, 1, {2, 5}, {0, 4, 7}},
      {{0, 5, 5, 5, 0, 2, 2, 0}, 2, {1, 3, 5, 6}, {0, 4, 7}},
      {{0, 5, 5, 5, 0, 2, 2, 0}, 0, {0}, {0, 4, 7}},
      {{0, 5, 5, 5, 0, 2, 2, 0}, 3, {2, 5}, {0, 4, 7}},
      {{4, 1, 1, 1, 4}, 1, {0, 4}, {1, 3, 4}},
      {{4, 1, 1, 1, 4}, 2, {0, 4}, {1, 3, 4}},
      {{4, 1, 1, 1, 4}, 3, {0, 4}, {2, 4}},
      {{4, 1, 1, 1, 4}, 0, {0, 4}, {4}},
      // A flat start before a rise counts with its last position; before a fall it is a
      // flat maximum from 0.
      {{2, 2, 2, 5, 1}, 1, {3}, {2, 4}},
      {{5, 5, 5, 1, 3}, 1, {1, 4}, {3, 4}},
      // A flat top at the end is also the last (flat) minimum.
      {{0, 5, 5}, 1, {1}, {0, 1, 2}},
      {{7, 7, 7}, 1, {0}, {0}},
      {{7}, 1, {0}, {0}},
      {{}, 1, {0}, {0}},
  };
  for (const auto& c : cases) {
    auto d = Make(std::vector<TypeParam>(c.values.begin(), c.values.end()));
    d.SetPlateuTreatment(c.treatment);
    EXPECT_EQ(Maxima(d), c.maxima) << "case " << &c - cases.data();
    EXPECT_EQ(Minima(d), c.minima) << "case " << &c - cases.data();
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
  typename CDistribution<TypeParam>::_Peak peak{-9, -9, -9};
  ASSERT_TRUE(d.GetPeak(2, &peak));  // a minimum: the peak starts there
  EXPECT_EQ((std::vector<int>{peak.nLeft, peak.nTop, peak.nRight}), (std::vector<int>{2, 3, 4}));
  ASSERT_TRUE(d.GetPeak(5, &peak));
  EXPECT_EQ((std::vector<int>{peak.nLeft, peak.nTop, peak.nRight}), (std::vector<int>{4, 5, 6}));
  EXPECT_FALSE(d.GetPeak(5, nullptr));
}

TYPED_TEST(DistributionExtrema, ValuesCountsAndBadInput) {
  CDistribution<TypeParam> empty;
  EXPECT_TRUE(empty.IsZero() && empty.IsConstant());
  EXPECT_TRUE(empty.GetAverage() == 0 && empty.GetMaximum() == 0);
  auto d = Make<TypeParam>({4, 4, 4});
  EXPECT_TRUE(!d.IsZero() && d.IsConstant());
  EXPECT_TRUE(d.GetAt(-1) == 0 && d.GetAt(3) == 0);
  d.SetCount(5);  // keeps the values, new ones are 0
  EXPECT_TRUE(d.GetAt(2) == 4 && d.GetAt(4) == 0 && !d.IsConstant());
  d.SetCount(-3);
  EXPECT_EQ(d.GetCount(), 0);
  EXPECT_EQ(d.GetPointArray(), nullptr);
  d = Make<TypeParam>({1, 2});
  EXPECT_FALSE(d.Create(nullptr, 3));
  EXPECT_EQ(d.GetCount(), 0);
  const TypeParam one[] = {1};
  EXPECT_FALSE(d.Create(one, -1));
  EXPECT_TRUE(d.Create(nullptr, 0));
}

TYPED_TEST(DistributionExtrema, CopiesAreDeep) {
  auto a = Make<TypeParam>({0, 5, 0, 7, 0});
  EXPECT_EQ(a.GetMaximumPos(), 3);
  CDistribution<TypeParam> b(a);
  b.GetPointArray()[3] = 1;
  b.ResetProperties();
  EXPECT_EQ(b.GetMaximumPos(), 1);
  EXPECT_TRUE(a.GetAt(3) == 7 && a.GetMaximumPos() == 3);
  CDistribution<TypeParam> c;
  c = b;
  EXPECT_EQ(Maxima(c), Maxima(b));
  EXPECT_NE(c.GetMaximaPositions(), b.GetMaximaPositions());
}

TEST(DistributionAverage, PageHistogramSumsDoNotOverflow) {
  // 256 bins of 10^8 counts sum to 2.56e10, beyond 32 bits.
  std::vector<int> bins(256, 100000000);
  bins[0] = 100000255;
  EXPECT_EQ(Make(bins).GetAverage(), 100000000);
  EXPECT_EQ(Make<long>({LONG_MAX, LONG_MAX, LONG_MAX - 2}).GetAverage(), LONG_MAX - 1);
  EXPECT_EQ(Make<int>({-7, 0}).GetAverage(), -3);  // rounded toward zero
}

template <typename T>
std::vector<T> Values(CDistribution<T>& d) {
  return std::vector<T>(d.GetPointArray(), d.GetPointArray() + d.GetCount());
}

template <typename T>
std::vector<T> Smoothed(std::vector<T> values, int radius) {
  CDistribution<T> d;
  d.Create(values.data(), static_cast<int>(values.size()));
  d.MovingAverage(radius);
  return Values(d);
}

// The moving average straight from its definition, one weighted sum per position.
std::vector<std::int64_t> ReferenceMovingAverage(const std::vector<std::int64_t>& v, int radius) {
  std::vector<std::int64_t> out = v;
  const int n = static_cast<int>(v.size());
  for (int i = radius; i < n - radius; ++i) {
    std::int64_t sum = v[i];
    for (int d = 1; d <= radius; ++d) sum += (radius - d + 1) * (v[i - d] + v[i + d]);
    out[i] = sum / (1 + radius * (radius + 1));
  }
  return out;
}

TEST(DistributionMovingAverage, WeightsFallFromTheCentre) {
  EXPECT_EQ(Smoothed<int>({0, 0, 3, 0, 0}, 1), std::vector<int>({0, 1, 1, 1, 0}));
  EXPECT_EQ(Smoothed<long>({0, 0, 0, 0, 10, 0, 0, 0, 0}, 2),
            std::vector<long>({0, 0, 1, 2, 1, 2, 1, 0, 0}));
  EXPECT_EQ(Smoothed<int>({-7, 0, 0}, 1), std::vector<int>({-7, -2, 0}));  // toward zero
  // Radii without inner positions change nothing.
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
    std::vector<std::int64_t> wide(n);
    for (int i = 0; i < n; ++i) {
      v[i] = static_cast<int>(static_cast<std::int64_t>(rng() % (2 * limit + 1)) - limit);
      wide[i] = v[i];
    }
    const std::vector<int> got = Smoothed(v, radius);
    const std::vector<std::int64_t> want = ReferenceMovingAverage(wide, radius);
    ASSERT_EQ(std::vector<std::int64_t>(got.begin(), got.end()), want)
        << "n " << n << " radius " << radius;
  }
}

TEST(DistributionRemoveSubbase, SaturatesOutsideTheValueRange) {
  const int v[] = {2000000000, -2000000000, 2000000000};
  CDistribution<int> d;
  d.Create(v, 3);
  d.RemoveSubbase();
  EXPECT_EQ(Values(d), std::vector<int>({INT32_MAX, 0, INT32_MAX}));
}

TEST(DistributionPeakSmoothing, MarksSymmetricPeaksWithoutApplyingThem) {
  // Peaks of heights 10, 30, 10 at 1, 3, 5: one group rising to 3 and falling again.
  const int v[] = {0, 10, 0, 30, 0, 10, 0};
  CDistribution<int> d;
  d.Create(v, 7);
  EXPECT_EQ(d.AAPeakSmoothing(10.0f, 0.5f, 0.5f), 1);
  EXPECT_EQ(Values(d), std::vector<int>(v, v + 7));
  EXPECT_TRUE(d.GetMaximaCount() == 3 && d.GetMaximumPos() == 3);
  // Height 20 plus width 4 does not exceed 24; width and count ratios of 1 are not exceeded.
  EXPECT_EQ(
      (std::vector<int>{d.AAPeakSmoothing(24.0f, 0.5f, 0.5f), d.AAPeakSmoothing(10.0f, 1.0f, 0.5f),
                        d.AAPeakSmoothing(10.0f, 0.5f, 1.0f)}),
      std::vector<int>(3, 0));
}

}  // namespace
