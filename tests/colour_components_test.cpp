// Colour comparisons of full-colour images and the two colour component analyses: the Lab and
// perceptual tests, region growing by Lab distance, row runs of alike pixels, and both fast
// analyses against plain references on random images.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "support/colour_reference.h"
#include "vorlane/vorlane.h"

namespace {

using colour_reference::ColourProbe;
using colour_reference::Runs;
using Rows = std::vector<std::vector<unsigned long>>;

template <class T>
void Fill(T& image, const Rows& rows) {
  image.Create(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()), 0, L"colour");
  for (size_t y = 0; y < rows.size(); ++y) {
    for (size_t x = 0; x < rows[y].size(); ++x) image.SetRGBColor(int(x), int(y), rows[y][x]);
  }
}

Runs RunsOf(CComp& comp) {
  Runs runs;
  for (int k = 0; k < comp.GetMaxRun(); ++k)
    runs.push_back({comp.GetRun(k)->y, comp.GetRun(k)->xl, comp.GetRun(k)->xr});
  return runs;
}

std::vector<Runs> ComponentRuns(CImage& image) {
  std::vector<Runs> all;
  for (int i = 0; i < image.GetMaxComponent(); ++i) all.push_back(RunsOf(*image.GetComponent(i)));
  return all;
}

constexpr unsigned long kRed = RGB(200, 20, 20), kBlue = RGB(20, 20, 200);
constexpr unsigned long kWhite = RGB(250, 250, 250);

TEST(ColourComparison, LabFormsAgreeOutsideAnswers100EqualPassesThresholdZero) {
  ColourProbe image;
  Fill(image, {{kRed, kBlue, kRed}});
  for (auto [x, y] : {std::pair{-1, 0}, std::pair{3, 0}, std::pair{0, -1}, std::pair{0, 1}}) {
    EXPECT_EQ(image.CheckLabSimilarity(x, y, 10, 10, 10), 100.0);
    EXPECT_EQ(image.CheckLabSimilarity(0, 0, x, y), 100.0);
  }
  const double d = image.CheckLabSimilarity(200, 20, 20, 20, 20, 200);
  EXPECT_EQ(image.CheckLabSimilarity(kRed, kBlue), d);
  EXPECT_EQ(image.CheckLabSimilarity(0, 0, 1, 0), d);
  EXPECT_EQ(CImage::ComputeColourDistance(20, 20, 200, 200, 20, 20), d);
  EXPECT_TRUE(image.IsLabSimilar(kRed, kRed, 0.0) && image.IsLabSimilar(0, 0, 2, 0, 0.0) &&
              image.IsLabSimilar(7, 8, 9, 7, 8, 9, 0.0) &&
              !image.IsLabSimilar(kRed, kBlue, d - 1e-6));
}

TEST(ColourComparison, VisualModes) {
  ColourProbe image;
  Fill(image, {{RGB(100, 100, 100)}});
  for (int mode : {100, 0, 1, 2})
    EXPECT_NE(image.CheckVisualSimilarity(100, 100, 100, 110, 110, 110, mode), 0);
  EXPECT_EQ(image.CheckVisualSimilarity(0, 0, 0, 255, 255, 255, 100), 0);
  EXPECT_EQ(image.CheckVisualSimilarity(200, 20, 20, 20, 200, 20, 100), 0);  // hue decides
  EXPECT_EQ(image.CheckVisualSimilarity(100, 100, 100, 100, 100, 100, 3), 0);
  EXPECT_NE(image.CheckVisualSimilarity(0, 0, 105, 105, 105, 100), 0);
  EXPECT_EQ(image.CheckVisualSimilarity(1, 0, 100, 100, 100, 100), 0);  // outside: like nothing
}

TEST(RegionGrowing, TiesKeepTheEarlierCandidate) {
  // Nothing merges at threshold 0: (1, 1) ties NW with NE, (2, 1) W with N; both join region 0.
  CHiColorImage image;
  Fill(image, {{kRed, kBlue, kRed}, {kWhite, kRed, kRed}});
  image.ExColorCC(0, 0.0);
  EXPECT_EQ(ComponentRuns(image),
            (std::vector<Runs>{{{0, 0, 0}, {1, 1, 2}}, {{0, 1, 1}}, {{0, 2, 2}}, {{1, 0, 0}}}));
}

// Records the truncated means that region growing passes to the pixel form.
struct MeanRecorder : CHiColorImage {
  std::vector<int> means;
  double CheckLabSimilarity(int, int, int r, int g, int b) override {
    means.insert(means.end(), {r, g, b});
    return 0.0;
  }
  using CHiColorImage::CheckLabSimilarity;
};

TEST(RegionGrowing, TruncatedMeanIsExactWhereARunningDoubleFallsShort) {
  // A double running mean of these greys ends at 133.99999999999997; their mean is 134.
  std::vector<unsigned long> row;
  for (int g : {227, 206, 41, 19, 181, 66, 167, 249, 211, 1, 178, 62, 0})
    row.push_back(RGB(g, g, g));
  MeanRecorder image;
  Fill(image, {row});
  image.ExColorCC(0, 20.0);
  ASSERT_EQ(image.means.size(), 36u);
  EXPECT_EQ(std::vector<int>(image.means.end() - 3, image.means.end()),
            (std::vector<int>{134, 134, 134}));
}

// Goes through the virtual comparisons without changing them.
struct SameComparisons : CHiColorImage {};

TEST(Differential, FastAnalysesAndCCAnalysisMatchPlainReferencesOnRandomImages) {
  std::mt19937 rng(7);
  const unsigned long bases[] = {kWhite, kRed, kBlue, RGB(120, 120, 120), RGB(30, 160, 60)};
  std::uniform_int_distribution<int> pick(0, 4), noise(-18, 18), change(0, 5);
  for (int trial = 0; trial < 12; ++trial) {
    // Stretches of a few base colours with noise, so that runs and regions grow and split.
    Rows rows(1 + (trial * 7) % 19, std::vector<unsigned long>(1 + trial * 3));
    unsigned long base = bases[0];
    for (auto& row : rows) {
      for (auto& px : row) {
        if (change(rng) == 0) base = bases[pick(rng)];
        auto ch = [&](int v) { return std::clamp(v + noise(rng), 0, 255); };
        px = RGB(ch(GetRValue(base)), ch(GetGValue(base)), ch(GetBValue(base)));
      }
    }
    CHiColorImage fast;
    SameComparisons virtualPath;
    ColourProbe probe;
    Fill(fast, rows), Fill(virtualPath, rows), Fill(probe, rows);
    for (double threshold : {0.0, 8.0, 20.0, 45.0}) {
      std::vector<Runs> expected;
      for (auto& comp : colour_reference::ExColorCC(probe, threshold))
        expected.push_back(RunsOf(*comp));
      fast.ExColorCC(0, threshold);
      virtualPath.ExColorCC(0, threshold);
      EXPECT_EQ(ComponentRuns(fast), expected) << trial << " " << threshold;
      EXPECT_EQ(ComponentRuns(virtualPath), expected) << trial << " " << threshold;
      if (threshold != 20.0) continue;
      EXPECT_EQ(fast.CCAnalysis(trial % 2), 1);  // the argument has no effect
      EXPECT_EQ(ComponentRuns(fast), expected) << trial;
    }
    for (int connect8 : {0, 1}) {
      // The running float sums give the reference's recomputed means; components grown run by
      // run in collected order keep the same running measurements.
      const std::vector<Runs> labels = colour_reference::ColorCC(probe, connect8 != 0);
      fast.ColorCC(connect8);
      virtualPath.ColorCC(connect8);
      ASSERT_EQ(fast.GetMaxComponent(), static_cast<int>(labels.size())) << trial;
      EXPECT_EQ(ComponentRuns(virtualPath), ComponentRuns(fast));
      for (size_t i = 0; i < labels.size(); ++i) {
        CComp reference;
        reference.SetImageReference(&fast);
        for (const auto& r : labels[i]) reference.AddRun(r[0], r[1], r[2], TRUE);
        CComp& got = *fast.GetComponent(static_cast<int>(i));
        EXPECT_EQ(RunsOf(got), RunsOf(reference)) << trial << " " << i;
        EXPECT_EQ(got.GetColorRGB(), reference.GetColorRGB());
        EXPECT_EQ(got.GetCenterX(), reference.GetCenterX());
      }
    }
  }
}

}  // namespace
