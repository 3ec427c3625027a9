// Connected component analysis of bi-level images and maps, and the bounding-box analysis:
// connectivity, run cutting, merge order, areas, keep-alive calls, and a differential test
// against flood fill; the component list the analyses fill.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "support/flood_fill_reference.h"
#include "vorlane/vorlane.h"

namespace {

using flood_fill::Art;
using flood_fill::MakeImage;
using flood_fill::PixelSet;
using flood_fill::PixelsOf;

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
  return comp_reference::SameRuns(comp_reference::RunsOf(comp),
                                  comp_reference::CanonicalRuns(PixelsOf(comp)));
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

TEST(Boxes, NullOutputsAnswerZeroAndWriteNothing) {
  auto image = MakeImage({"X"});
  RECT* rects = nullptr;
  int n = 7;
  EXPECT_EQ((std::vector<int>{image->BBAnalysis(nullptr, &n, kWholeImage, 1),
                              image->BBAnalysis(&rects, nullptr, kWholeImage, 1)}),
            std::vector<int>(2, 0));
  EXPECT_TRUE(n == 7 && rects == nullptr);
  // Only all four at -1 mean the whole image.
  EXPECT_TRUE(Boxes(*image, CRect(-1, -1, -1, 0), 1).empty());
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

// The map analysis against the bi-level one is in Differential below.
TEST(FromMap, ByteLabelsOfAnotherMapAndTheTypeWord) {
  auto image = MakeImage({"....", "....", "...."});
  CImageMap* dorvale = image->SafeGetImageMap(static_cast<unsigned char>(MAP_DORVALE));
  ASSERT_NE(dorvale, nullptr);
  dorvale->ClearMap(1);  // paper
  dorvale->SetMapByte(2, 0, 8);
  dorvale->SetMapByte(2, 1, 9);  // another type: not text
  dorvale->SetMapByte(3, 1, 8);
  image->CCAnalysisFromMap(1, 8, 0x0006, FALSE, TRUE);
  ASSERT_EQ(image->GetMaxComponent(), 1);
  EXPECT_EQ(PixelsOf(*image->GetComponent(0)), (PixelSet{{0, 2}, {1, 3}}));
  EXPECT_EQ(image->GetComponent(0)->GetType(), 0x0006);
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
      BoxRows want = BoxesOf(flood_fill::Components(art, connect8 != 0, l, t, r, b));
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

// Six components in label order: A (0-1, 0-1), B (4, 0), C (7-8, 0-1), D (0, 3),
// E (2-4, 3), F (8, 3).
std::unique_ptr<CBiLevelImage> SixBlobs() {
  auto image = MakeImage({"XX..X..XX", "XX.....XX", ".........", "X.XXX...X"});
  image->CCAnalysis(1);
  return image;
}

std::vector<CComp*> List(CImage& image) {
  std::vector<CComp*> list;
  for (int i = 0; i < image.GetMaxComponent(); ++i) list.push_back(image.GetComponent(i));
  return list;
}

TEST(ListBasics, CreateAppendsEmptyComponentsAndLookupsAnswerNullOrMinusOne) {
  auto image = SixBlobs();
  ASSERT_EQ(image->GetMaxComponent(), 6);
  CComp* fresh = image->CreateNewComponent();
  EXPECT_EQ(image->GetComponent(6), fresh);
  EXPECT_TRUE(image->GetComponent(7) == nullptr && image->GetComponent(-1) == nullptr);
  EXPECT_EQ((std::vector<int>{image->ComponentFromPoint(CPoint(4, 0)),
                              image->ComponentFromPoint(CPoint(3, 3)),
                              image->ComponentFromPoint(CPoint(2, 0))}),
            (std::vector<int>{1, 4, -1}));  // the last is background
  fresh->AddPoint(4, 0);                    // shared with B: the first in list order wins
  EXPECT_EQ(image->ComponentFromPoint(CPoint(4, 0)), 1);
}

TEST(Combine, PairMovesTheSecondIntoTheFirstAndAnswersItsNewIndex) {
  auto image = SixBlobs();
  const std::vector<CComp*> before = List(*image);
  EXPECT_EQ(image->CombineComponents(3, 1), 2);
  EXPECT_EQ(List(*image),
            (std::vector<CComp*>{before[0], before[2], before[3], before[4], before[5]}));
  EXPECT_EQ(PixelsOf(*image->GetComponent(2)), (PixelSet{{0, 4}, {3, 0}}));
  EXPECT_EQ((std::vector<int>{image->CombineComponents(2, 2), image->CombineComponents(0, 5),
                              image->CombineComponents(-1, 0)}),
            (std::vector<int>(3, -1)));
  EXPECT_EQ(image->GetMaxComponent(), 5);
}

TEST(Combine, IndexArrayWithDuplicatesAndStrangersCombinesEachComponentOnce) {
  auto image = SixBlobs();
  const std::vector<CComp*> before = List(*image);
  const PixelSet expected = comp_reference::Unite(
      comp_reference::Unite(PixelsOf(*before[0]), PixelsOf(*before[2])), PixelsOf(*before[5]));
  int indices[] = {5, 0, 5, 2, 42, -1, 2};
  EXPECT_EQ(image->CombineComponents(indices, 7), 0);
  EXPECT_EQ((std::vector<int>(indices, indices + 7)), (std::vector<int>{-1, 0, 2, 2, 5, 5, 42}));
  EXPECT_EQ(List(*image), (std::vector<CComp*>{before[0], before[1], before[3], before[4]}));
  EXPECT_EQ(PixelsOf(*image->GetComponent(0)), expected);

  int lone[] = {1, 1, 9};  // nothing to combine with
  EXPECT_EQ(image->CombineComponents(lone, 3) + image->CombineComponents(nullptr, 2), -2);
  EXPECT_EQ(image->GetMaxComponent(), 4);
}

TEST(Remove, SingleAndArrayFormsDeleteEachListedComponentOnce) {
  auto image = SixBlobs();
  const std::vector<CComp*> before = List(*image);
  EXPECT_EQ(image->RemoveComponent(6) + image->RemoveComponent(-1), 12);
  int indices[] = {4, 1, 1, 9, -3, 4};
  EXPECT_EQ(image->RemoveComponent(indices, 6), 4);
  EXPECT_EQ((std::vector<int>(indices, indices + 6)), (std::vector<int>{-3, 1, 1, 4, 4, 9}));
  EXPECT_EQ(List(*image), (std::vector<CComp*>{before[0], before[2], before[3], before[5]}));
  EXPECT_EQ(image->RemoveComponent(nullptr, 3), 4);
  EXPECT_EQ(image->RemoveComponent(0), 3);
  EXPECT_EQ(List(*image), (std::vector<CComp*>{before[2], before[3], before[5]}));
  int all[] = {0, 1, 2};
  EXPECT_EQ(image->RemoveComponent(all, 3), 0);
  EXPECT_EQ(image->GetComponent(0), nullptr);
}

TEST(Select, ModesAreTriedInOrderAndTheFirstSetBitDecides) {
  auto image = SixBlobs();
  auto selected = [&] {
    std::vector<int> on;
    for (int i = 0; i < image->GetMaxComponent(); ++i) {
      if (image->IsComponentSelected(i)) on.push_back(i);
    }
    return on;
  };
  image->SelectComponent(-1, 0x0010);
  EXPECT_EQ(selected(), (std::vector<int>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(image->IsComponentSelected(0) * 10 + image->IsComponentSelected(6), 80);
  image->SelectComponent(2, 0x0002);
  image->SelectComponent(4, 0x0012);  // deselect wins over select-all
  EXPECT_EQ(selected(), (std::vector<int>{0, 1, 3, 5}));
  image->SelectComponent(3, 0x0004);
  EXPECT_EQ(selected(), (std::vector<int>{3}));
  image->SelectComponent(9, 0x0004);  // outside: nothing, not even the deselection
  image->SelectComponent(1, 0x0008);
  image->SelectComponent(1, 0x0100);
  EXPECT_EQ(selected(), (std::vector<int>{3}));
  image->SelectComponent(1, 0x0003);  // select wins over deselect
  EXPECT_EQ(selected(), (std::vector<int>{1, 3}));

  const unsigned short types[] = {0x0002, 0x0004, 0x0001, 0x0006, 0x0008, 0x0010};
  for (int i = 0; i < 6; ++i) image->GetComponent(i)->SetType(types[i], FALSE);
  // By type word: the three modes pick different bits.
  std::vector<std::vector<int>> byType;
  for (int mode : {0x0020, 0x0040, 0x0080})
    image->SelectComponent(-1, mode), byType.push_back(selected());
  EXPECT_EQ(byType, (std::vector<std::vector<int>>{{0, 3}, {1, 3}, {2}}));
}

// A 6 x 4 image with hand-made components around comp 0 = row 1, columns 1-2.
std::unique_ptr<CBiLevelImage> Neighbourhood() {
  auto image = std::make_unique<CBiLevelImage>();
  image->Create(6, 4, 0x00FFFFFF, L"ring");
  image->CreateNewComponent()->AddRun(1, 1, 2, FALSE);
  image->CreateNewComponent()->AddPoint(3, 1);  // right end
  image->CreateNewComponent()->AddPoint(0, 0);  // diagonal above the left end
  image->CreateNewComponent()->AddPoint(2, 2);  // below
  image->CreateNewComponent()->AddPoint(5, 3);  // away
  return image;
}

// The indices GetNeighbours reports for comp; {-2} if it answers other than 1.
std::vector<int> NeighbourIndices(CImage& image, CComp* comp) {
  int* indices = nullptr;
  int n = -1;
  if (image.GetNeighbours(comp, &n, &indices) != 1) return {-2};
  std::vector<int> out(indices, indices + n);
  delete[] indices;
  return out;
}

TEST(Neighbours, ReportedInDiscoveryOrderInBothFormsAndClampedAtTheEdges) {
  auto image = Neighbourhood();
  EXPECT_EQ(NeighbourIndices(*image, image->GetComponent(0)), (std::vector<int>{2, 3, 1}));
  int n = -1;
  std::vector<CComp*> comps{image->GetComponent(4)};  // replaced, not appended to
  ASSERT_EQ(image->GetNeighbours(image->GetComponent(0), &n, &comps), 1);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(comps, (std::vector<CComp*>{image->GetComponent(2), image->GetComponent(3),
                                        image->GetComponent(1)}));

  // The corner pixel: its ring is clamped into the image.
  EXPECT_EQ(NeighbourIndices(*image, image->GetComponent(2)), (std::vector<int>{0}));
  // A pixel held by two components counts for the later one.
  image->CreateNewComponent()->AddPoint(2, 2);
  EXPECT_EQ(NeighbourIndices(*image, image->GetComponent(0)), (std::vector<int>{2, 5, 1}));
}

TEST(Neighbours, StrangeComponentsAreSafe) {
  auto image = Neighbourhood();
  // A component far outside the image, and one outside the list.
  image->CreateNewComponent()->AddRun(1000, -50, 70, FALSE);
  EXPECT_NE(NeighbourIndices(*image, image->GetComponent(5)), std::vector<int>{-2});
  CComp stranger;
  stranger.AddPoint(5, 1);
  EXPECT_EQ(NeighbourIndices(*image, &stranger), std::vector<int>{});
  stranger.AddPoint(3, 2);
  EXPECT_EQ(NeighbourIndices(*image, &stranger), (std::vector<int>{0, 1, 3}));
}

TEST(Neighbours, NullArgumentsAndAnEmptyListAnswerZero) {
  auto image = Neighbourhood();
  int* indices = nullptr;
  int n = -1;
  std::vector<CComp*> comps;
  CComp* first = image->GetComponent(0);
  EXPECT_EQ(image->GetNeighbours(nullptr, &n, &indices), 0);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(
      (std::vector<int>{image->GetNeighbours(first, nullptr, &indices),
                        image->GetNeighbours(first, &n, static_cast<int**>(nullptr)),
                        image->GetNeighbours(first, &n, static_cast<std::vector<CComp*>*>(nullptr)),
                        image->GetNeighbours(nullptr, &n, &comps)}),
      std::vector<int>(4, 0));
  CComp lone;
  lone.AddPoint(0, 0);
  CBiLevelImage empty;
  empty.Create(2, 2, 0, L"none");
  n = -1;
  EXPECT_EQ(empty.GetNeighbours(&lone, &n, &indices), 0);
  EXPECT_TRUE(n == 0 && indices == nullptr);
}

}  // namespace
