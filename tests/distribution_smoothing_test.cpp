// Tests of CDistribution's transformations: weighted moving average, removal of the base
// and the peak marking.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "imageclasses/distribution.h"

namespace {

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

TEST(DistributionRemoveSubbase, SubtractsTheMinimumAndDropsTheAverage) {
  const long v[] = {7, 9, 5, 8, 6};
  CDistribution<long> d;
  d.Create(v, 5);
  EXPECT_EQ(d.GetAverage(), 7);
  const int maximumPos = d.GetMaximumPos();
  d.RemoveSubbase();
  EXPECT_EQ(Values(d), std::vector<long>({2, 4, 0, 3, 1}));
  EXPECT_EQ(d.GetAverage(), 2);
  EXPECT_EQ(d.GetMaximumPos(), maximumPos);
  EXPECT_EQ(d.GetMinimum(), 0);
}

TEST(DistributionRemoveSubbase, SaturatesOutsideTheValueRange) {
  const int v[] = {2000000000, -2000000000, 2000000000};
  CDistribution<int> d;
  d.Create(v, 3);
  d.RemoveSubbase();
  EXPECT_EQ(Values(d), std::vector<int>({INT32_MAX, 0, INT32_MAX}));
}

TEST(DistributionMovingAverage, ResetsTheCachedProperties) {
  const int v[] = {0, 0, 0, 0, 10, 0, 0, 0, 0};
  CDistribution<int> d;
  d.Create(v, 9);
  EXPECT_EQ(d.GetAverage(), 1);
  d.MovingAverage(2);  // 0 0 1 2 1 2 1 0 0
  EXPECT_EQ(d.GetAverage(), 0);
  EXPECT_EQ(d.GetMaximaCount(), 2);
}

TEST(DistributionPeakSmoothing, MarksSymmetricPeaksWithoutApplyingThem) {
  // Peaks of heights 10, 30, 10 at 1, 3, 5: one group rising to 3 and falling again.
  const int v[] = {0, 10, 0, 30, 0, 10, 0};
  CDistribution<int> d;
  d.Create(v, 7);
  EXPECT_EQ(d.AAPeakSmoothing(10.0f, 0.5f, 0.5f), 1);
  EXPECT_EQ(Values(d), std::vector<int>(v, v + 7));
  EXPECT_EQ(d.GetMaximaCount(), 3);
  EXPECT_EQ(d.GetMaximumPos(), 3);
  // Height 20 plus width 4 does not exceed 24: kept.
  EXPECT_EQ(d.AAPeakSmoothing(24.0f, 0.5f, 0.5f), 0);
  // Width and count ratios are both 1, which must be exceeded.
  EXPECT_EQ(d.AAPeakSmoothing(10.0f, 1.0f, 0.5f), 0);
  EXPECT_EQ(d.AAPeakSmoothing(10.0f, 0.5f, 1.0f), 0);
}

TEST(DistributionPeakSmoothing, StopsAtAGroupWithoutRiseOrFall) {
  const int falling[] = {0, 30, 0, 20, 0, 10, 0};
  CDistribution<int> d;
  d.Create(falling, 7);
  EXPECT_EQ(d.AAPeakSmoothing(0.0f, 0.0f, 0.0f), 0);
  const int rising[] = {0, 10, 0, 20, 0, 30, 0};
  d.Create(rising, 7);
  EXPECT_EQ(d.AAPeakSmoothing(0.0f, 0.0f, 0.0f), 0);
  CDistribution<int> empty;
  EXPECT_EQ(empty.AAPeakSmoothing(0.0f, 0.0f, 0.0f), 0);
}

}  // namespace
