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
  const int* p = d.GetMaximaPositions();
  return std::vector<int>(p, p + d.GetMaximaCount());
}

template <typename T>
std::vector<int> Minima(CDistribution<T>& d) {
  const int* p = d.GetMinimaPositions();
  return std::vector<int>(p, p + d.GetMinimaCount());
}

template <typename T>
class DistributionExtrema : public ::testing::Test {};
using ValueTypes = ::testing::Types<int, long>;
TYPED_TEST_SUITE(DistributionExtrema, ValueTypes);

struct ExtremaCase {
  std::vector<int> values;
  unsigned char treatment;
  std::vector<int> maxima;
  std::vector<int> minima;
};

TYPED_TEST(DistributionExtrema, PlateauTreatmentsOnValueLists) {
  const std::vector<ExtremaCase> cases = {
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
    const std::vector<TypeParam> values(c.values.begin(), c.values.end());
    auto d = Make(values);
    d.SetPlateuTreatment(c.treatment);
    EXPECT_EQ(Maxima(d), c.maxima) << "case " << &c - cases.data();
    EXPECT_EQ(Minima(d), c.minima) << "case " << &c - cases.data();
  }
}

TYPED_TEST(DistributionExtrema, GlobalExtremaTakeTheFirstOnEqualValues) {
  auto d = Make<TypeParam>({1, 9, 2, 9, 0, 4, 0, 8});
  EXPECT_EQ(d.GetMaximumPos(), 1);
  EXPECT_EQ(d.GetMaximum(), 9);
  EXPECT_EQ(d.GetMinimumPos(), 4);
  EXPECT_EQ(d.GetMinimum(), 0);
}

TYPED_TEST(DistributionExtrema, CachedUntilResetProperties) {
  auto d = Make<TypeParam>({0, 5, 5, 5, 0});
  EXPECT_EQ(Maxima(d), std::vector<int>({2}));
  EXPECT_EQ(d.GetAverage(), 3);
  // A new treatment only counts after ResetProperties.
  d.SetPlateuTreatment(PLATEAU_BOTH_ENDS);
  EXPECT_EQ(Maxima(d), std::vector<int>({2}));
  d.ResetProperties();
  EXPECT_EQ(Maxima(d), std::vector<int>({1, 3}));
  EXPECT_EQ(d.GetAverage(), 3);
  // So do written values.
  d.GetPointArray()[4] = 10;
  EXPECT_EQ(Maxima(d), std::vector<int>({1, 3}));
  EXPECT_EQ(d.GetAverage(), 3);
  d.ResetProperties();
  EXPECT_EQ(Maxima(d), std::vector<int>({4}));
  EXPECT_EQ(d.GetAverage(), 5);
  // Unknown treatments are ignored.
  d.GetPointArray()[4] = 0;
  d.SetPlateuTreatment(7);
  d.ResetProperties();
  EXPECT_EQ(Maxima(d), std::vector<int>({1, 3}));
  // Reset brings back the default treatment.
  d.Reset();
  EXPECT_EQ(d.GetCount(), 0);
  const TypeParam v[] = {0, 5, 5, 5, 0};
  d.Create(v, 5);
  EXPECT_EQ(Maxima(d), std::vector<int>({2}));
}

TYPED_TEST(DistributionExtrema, LocalExtremaByDirectionAndBoundary) {
  auto d = Make<TypeParam>({0, 3, 1, 4, 1, 5, 2});  // maxima 1 3 5, minima 0 2 4 6
  EXPECT_EQ(d.GetLocalMaximumPos(1, 1, 1), 3);
  EXPECT_EQ(d.GetLocalMaximumPos(1, 2, 1), 0);   // none before: start
  EXPECT_EQ(d.GetLocalMaximumPos(1, 2, 2), -1);  // none before: -1
  EXPECT_EQ(d.GetLocalMaximumPos(4, 2, 1), 3);
  EXPECT_EQ(d.GetLocalMaximumPos(5, 1, 2), -1);
  EXPECT_EQ(d.GetLocalMaximumPos(5, 1, 1), 6);  // count - 1
  EXPECT_EQ(d.GetLocalMinimumPos(2, 1, 1), 4);
  EXPECT_EQ(d.GetLocalMinimumPos(2, 2, 1), 0);
  EXPECT_EQ(d.GetLocalMinimumPos(6, 1, 2), -1);
}

TYPED_TEST(DistributionExtrema, PeaksHaveBothFeetAndTop) {
  auto d = Make<TypeParam>({0, 3, 1, 4, 1, 5, 2});
  typename CDistribution<TypeParam>::_Peak peak{-9, -9, -9};
  ASSERT_TRUE(d.GetPeak(2, &peak));  // 2 is a minimum: the peak starts there
  EXPECT_EQ(peak.nLeft, 2);
  EXPECT_EQ(peak.nTop, 3);
  EXPECT_EQ(peak.nRight, 4);
  ASSERT_TRUE(d.GetPeak(5, &peak));
  EXPECT_EQ(peak.nLeft, 4);
  EXPECT_EQ(peak.nTop, 5);
  EXPECT_EQ(peak.nRight, 6);
  EXPECT_FALSE(d.GetPeak(5, nullptr));
}

TYPED_TEST(DistributionExtrema, ZeroAndConstant) {
  CDistribution<TypeParam> empty;
  EXPECT_TRUE(empty.IsZero());
  EXPECT_TRUE(empty.IsConstant());
  EXPECT_EQ(empty.GetAverage(), 0);
  EXPECT_EQ(empty.GetMaximum(), 0);
  auto constant = Make<TypeParam>({4, 4, 4});
  EXPECT_FALSE(constant.IsZero());
  EXPECT_TRUE(constant.IsConstant());
  EXPECT_EQ(constant.GetMaximumPos(), 0);
  EXPECT_EQ(constant.GetMinimumPos(), 0);
  auto varied = Make<TypeParam>({0, 0, 1});
  EXPECT_FALSE(varied.IsZero());
  EXPECT_FALSE(varied.IsConstant());
}

TYPED_TEST(DistributionExtrema, ValuesAndCounts) {
  auto d = Make<TypeParam>({1, 2, 3});
  EXPECT_EQ(d.GetAt(-1), 0);
  EXPECT_EQ(d.GetAt(3), 0);
  EXPECT_EQ(d.GetAt(2), 3);
  d.SetCount(5);
  EXPECT_EQ(d.GetCount(), 5);
  EXPECT_EQ(d.GetAt(2), 3);
  EXPECT_EQ(d.GetAt(4), 0);
  d.SetCount(2);
  EXPECT_EQ(d.GetAt(1), 2);
  EXPECT_EQ(d.GetAt(2), 0);
  d.SetCount(-3);
  EXPECT_EQ(d.GetCount(), 0);
  EXPECT_EQ(d.GetPointArray(), nullptr);
}

TYPED_TEST(DistributionExtrema, CreateRefusesMissingValues) {
  auto d = Make<TypeParam>({1, 2});
  EXPECT_FALSE(d.Create(nullptr, 3));
  EXPECT_EQ(d.GetCount(), 0);
  const TypeParam v[] = {1};
  EXPECT_FALSE(d.Create(v, -1));
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
  const CDistribution<TypeParam>& self = c;
  c = self;
  EXPECT_EQ(c.GetAt(1), 5);
}

TEST(DistributionAverage, PageHistogramSumsDoNotOverflow) {
  // 256 bins of 10^8 counts sum to 2.56e10, beyond 32 bits.
  std::vector<int> bins(256, 100000000);
  bins[0] = 100000255;
  auto d = Make(bins);
  EXPECT_EQ(d.GetAverage(), 100000000);
  std::vector<long> wide = {LONG_MAX, LONG_MAX, LONG_MAX - 2};
  auto w = Make(wide);
  EXPECT_EQ(w.GetAverage(), LONG_MAX - 1);
  auto negative = Make<int>({-7, 0});
  EXPECT_EQ(negative.GetAverage(), -3);  // rounded toward zero
}

}  // namespace
