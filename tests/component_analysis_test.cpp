// Connected component analysis of bi-level images and maps, and the bounding-box analysis:
// connectivity, run cutting, merge order, areas, keep-alive calls, and a differential test
// against flood fill.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "support/flood_fill_reference.h"
#include "vorlane/vorlane.h"

namespace {

using flood_fill::Art;
using flood_fill::MakeImage;
using flood_fill::PixelSet;
using flood_fill::PixelsOf;
using CompRun = CComp::tagCompRun;

std::vector<PixelSet> AnalysedSets(CImage& image) {
  std::vector<PixelSet> sets;
  for (int i = 0; i < image.GetMaxComponent(); ++i)
    sets.push_back(PixelsOf(*image.GetComponent(i)));
  return sets;
}

// Boxes as (left, top, right, bottom) rows, for whole-list comparisons.
using BoxRows = std::vector<std::vector<LONG>>;
BoxRows Boxes(CImage& image, CRect area, int connect8) {
  RECT* rects = nullptr;
  int n = -1;
  EXPECT_EQ(image.BBAnalysis(&rects, &n, area, connect8), 1);
  BoxRows rows;
  for (int i = 0; i < n; ++i)
    rows.push_back({rects[i].left, rects[i].top, rects[i].right, rects[i].bottom});
  delete[] rects;
  return rows;
}

BoxRows BoxesOf(const std::vector<PixelSet>& sets) {
  BoxRows rows;
  for (const PixelSet& set : sets) {
    const RECT b = flood_fill::BoxOf(set);
    rows.push_back({b.left, b.top, b.right, b.bottom});
  }
  return rows;
}

// Runs sorted by row and column, and maximal (never touching within a row).
bool Canonical(CComp& comp) {
  for (int i = 1; i < comp.GetMaxRun(); ++i) {
    const CompRun &a = *comp.GetRun(i - 1), &b = *comp.GetRun(i);
    if (a.y > b.y || (a.y == b.y && a.xr + 1 >= b.xl)) return false;
  }
  return true;
}

const CRect kWholeImage(-1, -1, -1, -1);

TEST(MergeOrder, ComponentsFollowTheLabelTheyKeepNotTheirOldestLabel) {
  // Labels: the hook's right arm 0, the blob at column 6 1, the hook's left arm 2. The
  // bottom row meets the left arm first and keeps its label, so the hook comes after the
  // blob although its first pixel comes before.
  const Art art{"..X...X", "X.X...X", "XXX...."};
  auto image = MakeImage(art);
  for (int connect8 : {0, 1}) {
    image->CCAnalysis(connect8);
    ASSERT_EQ(image->GetMaxComponent(), 2);
    EXPECT_EQ(PixelsOf(*image->GetComponent(0)), (PixelSet{{0, 6}, {1, 6}}));
    EXPECT_EQ(image->GetComponent(1)->GetSize(), 6);
    EXPECT_EQ((Boxes(*image, kWholeImage, connect8)), (BoxRows{{6, 0, 6, 1}, {0, 0, 2, 2}}));
  }
}

TEST(Boxes, AreaIsClippedAndEdgesAreInclusive) {
  auto image = MakeImage({"XX...", "XX..X", ".....", "..XXX"});
  EXPECT_EQ((Boxes(*image, CRect(-5, -5, 100, 100), 1)),
            (BoxRows{{0, 0, 1, 1}, {4, 1, 4, 1}, {2, 3, 4, 3}}));
  // Right and bottom exclusive: columns 1..3, rows 1..3.
  EXPECT_EQ((Boxes(*image, CRect(1, 1, 4, 4), 1)), (BoxRows{{1, 1, 1, 1}, {2, 3, 3, 3}}));
  EXPECT_TRUE(Boxes(*image, CRect(3, 2, 2, 4), 1).empty());  // right before left
  EXPECT_TRUE(Boxes(*image, CRect(-1, -1, -1, 0), 1).empty());
}

TEST(Boxes, NullOutputsAnswerZeroAndWriteNothing) {
  auto image = MakeImage({"X"});
  RECT* rects = nullptr;
  int n = 7;
  EXPECT_EQ((std::vector<int>{image->BBAnalysis(nullptr, &n, kWholeImage, 1),
                              image->BBAnalysis(&rects, nullptr, kWholeImage, 1)}),
            std::vector<int>(2, 0));
  EXPECT_TRUE(n == 7 && rects == nullptr);
}

TEST(EmptyInput, NoBlackPixelsOrNoPixelsGiveAnEmptyList) {
  auto image = MakeImage({"X.", ".X"});
  image->CCAnalysis(0);
  ASSERT_EQ(image->GetMaxComponent(), 2);
  image->SetRed(0, 0, 1), image->SetRed(1, 1, 1);
  CBiLevelImage blank;  // never created
  for (CImage* i : {static_cast<CImage*>(image.get()), static_cast<CImage*>(&blank)}) {
    EXPECT_EQ(i->CCAnalysis(1), 1);
    EXPECT_TRUE(i->GetMaxComponent() == 0 && Boxes(*i, kWholeImage, 1).empty());
  }
  blank.CCAnalysisFromMap(-1, 1, 1, 1, 1);  // no map: nothing happens
  EXPECT_EQ(blank.GetMaxComponent(), 0);
}

TEST(FromMap, LabelsOneTypeOrEverythingElse) {
  auto image = MakeImage({"....", "....", "...."});
  CImageMap* standard = image->GetImageMap(0);
  standard->SetMapByte(0, 0, 0x01);
  standard->SetMapByte(1, 1, 0x03);  // background among other attributes
  standard->SetMapByte(3, 2, 0x02);
  image->CCAnalysisFromMap(-1, 0x01, 0x0006, FALSE, TRUE);
  ASSERT_EQ(image->GetMaxComponent(), 1);
  EXPECT_EQ(PixelsOf(*image->GetComponent(0)), (PixelSet{{0, 0}, {1, 1}}));
  EXPECT_EQ(image->GetComponent(0)->GetType(), 0x0006);
  image->CCAnalysisFromMap(0, 0x01, 1, FALSE, FALSE);
  EXPECT_EQ(image->GetMaxComponent(), 2);
  image->CCAnalysisFromMap(0, 0x01, 1, TRUE, FALSE);  // every other pixel, one piece
  ASSERT_EQ(image->GetMaxComponent(), 1);
  EXPECT_EQ(image->GetComponent(0)->GetSize(), 10);

  CImageMap* dorvale = image->SafeGetImageMap(static_cast<unsigned char>(MAP_DORVALE));
  ASSERT_NE(dorvale, nullptr);
  dorvale->ClearMap(1);  // paper
  dorvale->SetMapByte(2, 0, 8);
  dorvale->SetMapByte(2, 1, 9);  // another type: not text
  dorvale->SetMapByte(3, 1, 8);
  image->CCAnalysisFromMap(1, 8, 1, FALSE, TRUE);
  ASSERT_EQ(image->GetMaxComponent(), 1);
  EXPECT_EQ(PixelsOf(*image->GetComponent(0)), (PixelSet{{0, 2}, {1, 3}}));
}

TEST(KeepAlive, CalledOncePerScannedRowAndCancelIsIgnored) {
  auto image = MakeImage({"X...", "....", "...X", "X..X", "...."});
  std::vector<int> steps;
  auto old = vorlane::SetKeepAliveHandler([&](CImage&, int step, int) {
    steps.push_back(step);
    return true;  // asks to cancel
  });
  image->CCAnalysis(1);
  EXPECT_EQ(steps, (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(image->GetMaxComponent(), 3);
  steps.clear();
  image->SetCancel(0);
  Boxes(*image, CRect(0, 2, 4, 4), 1);
  EXPECT_EQ(steps, (std::vector<int>{0, 1}));
  vorlane::SetKeepAliveHandler(old);
}

TEST(Differential, MatchesFloodFillOnRandomImages) {
  std::mt19937 rng(20240611);
  // Widths up to 140 cross the 16- and 64-column blocks of the row scan.
  std::uniform_int_distribution<int> columns(1, 140), rows(1, 14);
  for (int trial = 0; trial < 400; ++trial) {
    const int width = columns(rng), height = rows(rng);
    const double density = std::uniform_real_distribution<double>(0.05, 0.95)(rng);
    const Art art = flood_fill::RandomArt(rng, width, height, density);
    auto image = MakeImage(art);
    for (int connect8 : {0, 1}) {
      SCOPED_TRACE(testing::Message() << "trial " << trial << " connect8 " << connect8);
      image->CCAnalysis(connect8);
      std::vector<PixelSet> ours = AnalysedSets(*image);
      std::vector<PixelSet> reference = flood_fill::Components(art, connect8 != 0);
      for (int i = 0; i < image->GetMaxComponent(); ++i)
        EXPECT_TRUE(Canonical(*image->GetComponent(i)));
      // Boxes come in the order of the components.
      EXPECT_EQ(Boxes(*image, kWholeImage, connect8), BoxesOf(ours));
      std::sort(ours.begin(), ours.end());
      std::sort(reference.begin(), reference.end());
      ASSERT_EQ(ours, reference);
      // A random area against flood fill inside that area.
      std::uniform_int_distribution<int> col(-2, width + 2), row(-2, height + 2);
      const int l = col(rng), r = col(rng), t = row(rng), b = row(rng);
      BoxRows got = Boxes(*image, CRect(l, t, r, b), connect8);
      BoxRows want =
          BoxesOf(flood_fill::Components(art, connect8 != 0, std::max(l, 0), std::max(t, 0),
                                         std::min(r, width), std::min(b, height)));
      std::sort(got.begin(), got.end());
      std::sort(want.begin(), want.end());
      ASSERT_EQ(got, want);
    }
  }
}

TEST(Differential, MapAnalysisMatchesTheBiLevelAnalysisOfTheSamePixels) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 60; ++trial) {
    const Art art = flood_fill::RandomArt(rng, 1 + trial % 37, 1 + trial % 9, 0.45);
    auto image = MakeImage(art);
    CImageMap* map = image->GetImageMap(0);
    for (int i = 0; i < image->GetNumberOfPixels(); ++i) {
      const int x = i % image->GetWidth(), y = i / image->GetWidth();
      map->SetMapByte(x, y, art[y][x] == 'X' ? 0x10 : 0x21);
    }
    for (int connect8 : {0, 1}) {
      image->CCAnalysis(connect8);
      const std::vector<PixelSet> fromImage = AnalysedSets(*image);
      image->CCAnalysisFromMap(-1, 0x10, 1, FALSE, connect8);
      EXPECT_EQ(AnalysedSets(*image), fromImage);
      image->CCAnalysisFromMap(-1, 0x20, 1, TRUE, connect8);
      EXPECT_EQ(AnalysedSets(*image), fromImage);
    }
  }
}

// Lets a test clear the dirty flag, as a display rebuild does.
struct Cleanable : CBiLevelImage {
  void MarkClean() { m_bDirty = 0; }
};

TEST(Dirty, AnalysesMarkShownComponentsForRedrawing) {
  Cleanable image;
  image.Create(2, 1, 0, L"black");
  std::vector<int> dirty;
  for (int shown : {0, 1, 1}) {
    image.SetShowComponents(shown);
    image.MarkClean();
    if (dirty.size() < 2) {
      image.CCAnalysis(1);
    } else {
      image.CCAnalysisFromMap(-1, 1, 1, FALSE, TRUE);
    }
    dirty.push_back(image.IsDirty());
  }
  EXPECT_EQ(dirty, (std::vector<int>{0, 1, 1}));  // only when components are shown
}

}  // namespace
