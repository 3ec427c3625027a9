// Tests of CDistribution's values, extrema with every plateau treatment, cached
// properties, local extrema and peaks, for both instantiations.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "imageclasses/distribution.h"

namespace {

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
  EXPECT_EQ(d.GetMaximumPos(), 1);                     // the first of equal values
  EXPECT_EQ(d.GetMaximum(), 9);
  EXPECT_EQ(d.GetMinimumPos(), 4);
  EXPECT_EQ(d.GetMinimum(), 0);
  EXPECT_EQ(d.GetLocalMaximumPos(1, 1, 1), 3);
  EXPECT_EQ(d.GetLocalMaximumPos(1, 2, 1), 0);   // none before: the start
  EXPECT_EQ(d.GetLocalMaximumPos(1, 2, 2), -1);  // none before: -1
  EXPECT_EQ(d.GetLocalMaximumPos(7, 1, 1), 7);   // none after: count - 1
  EXPECT_EQ(d.GetLocalMaximumPos(7, 1, 2), -1);
  EXPECT_EQ(d.GetLocalMinimumPos(4, 2, 1), 2);
  typename CDistribution<TypeParam>::_Peak peak{-9, -9, -9};
  ASSERT_TRUE(d.GetPeak(2, &peak));  // a minimum: the peak starts there
  EXPECT_EQ(peak.nLeft, 2);
  EXPECT_EQ(peak.nTop, 3);
  EXPECT_EQ(peak.nRight, 4);
  ASSERT_TRUE(d.GetPeak(5, &peak));
  EXPECT_EQ(peak.nLeft, 4);
  EXPECT_EQ(peak.nTop, 5);
  EXPECT_EQ(peak.nRight, 6);
  EXPECT_FALSE(d.GetPeak(5, nullptr));
}

TYPED_TEST(DistributionExtrema, CachedUntilResetProperties) {
  auto d = Make<TypeParam>({0, 5, 5, 5, 0});
  EXPECT_EQ(Maxima(d), std::vector<int>({2}));
  // A new treatment and written values count only after ResetProperties.
  d.SetPlateuTreatment(PLATEAU_BOTH_ENDS);
  d.GetPointArray()[4] = 10;
  EXPECT_EQ(Maxima(d), std::vector<int>({2}));
  EXPECT_EQ(d.GetAverage(), 5);
  d.GetPointArray()[4] = 0;
  EXPECT_EQ(d.GetAverage(), 5);
  d.ResetProperties();
  EXPECT_EQ(Maxima(d), std::vector<int>({1, 3}));
  EXPECT_EQ(d.GetAverage(), 3);
  d.SetPlateuTreatment(7);  // unknown: ignored
  d.ResetProperties();
  EXPECT_EQ(Maxima(d), std::vector<int>({1, 3}));
  const TypeParam v[] = {0, 5, 5, 5, 0};
  d.Create(v, 5);  // back to the default treatment
  EXPECT_EQ(Maxima(d), std::vector<int>({2}));
}

TYPED_TEST(DistributionExtrema, ValuesCountsAndBadInput) {
  CDistribution<TypeParam> empty;
  EXPECT_TRUE(empty.IsZero());
  EXPECT_TRUE(empty.IsConstant());
  EXPECT_EQ(empty.GetAverage(), 0);
  EXPECT_EQ(empty.GetMaximum(), 0);
  auto d = Make<TypeParam>({4, 4, 4});
  EXPECT_FALSE(d.IsZero());
  EXPECT_TRUE(d.IsConstant());
  EXPECT_EQ(d.GetAt(-1), 0);
  EXPECT_EQ(d.GetAt(3), 0);
  d.SetCount(5);  // keeps the values, new ones are 0
  EXPECT_EQ(d.GetAt(2), 4);
  EXPECT_EQ(d.GetAt(4), 0);
  EXPECT_FALSE(d.IsConstant());
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
  EXPECT_EQ(a.GetAt(3), 7);
  EXPECT_EQ(a.GetMaximumPos(), 3);
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

}  // namespace
