// The component list of an image: creation and lookup, combination and removal (with bad
// index arrays), selection modes and neighbours.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "support/flood_fill_reference.h"
#include "vorlane/vorlane.h"

namespace {

using flood_fill::MakeImage;
using flood_fill::PixelSet;
using flood_fill::PixelsOf;

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
  EXPECT_TRUE(image->GetMaxComponent() == 7 && image->GetComponent(6) == fresh &&
              fresh->GetMaxRun() == 0 && fresh->GetType() == 1 &&
              fresh->GetImageReference() == nullptr && image->GetComponent(7) == nullptr &&
              image->GetComponent(-1) == nullptr);
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
  image->SelectComponent(-1, 0x0001);
  EXPECT_TRUE(selected().empty());
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
  image->SelectComponent(1, 0x0003);
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

TEST(Neighbours, ReportedInDiscoveryOrderInBothForms) {
  auto image = Neighbourhood();
  EXPECT_EQ(NeighbourIndices(*image, image->GetComponent(0)), (std::vector<int>{2, 3, 1}));
  int n = -1;
  std::vector<CComp*> comps{image->GetComponent(4)};  // replaced, not appended to
  ASSERT_EQ(image->GetNeighbours(image->GetComponent(0), &n, &comps), 1);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(comps, (std::vector<CComp*>{image->GetComponent(2), image->GetComponent(3),
                                        image->GetComponent(1)}));

  // A pixel held by two components counts for the later one.
  image->CreateNewComponent()->AddPoint(2, 2);
  EXPECT_EQ(NeighbourIndices(*image, image->GetComponent(0)), (std::vector<int>{2, 5, 1}));
}

TEST(Neighbours, EdgesClampAndStrangeComponentsAreSafe) {
  auto image = Neighbourhood();
  // The corner pixel: its ring is clamped into the image.
  EXPECT_EQ(NeighbourIndices(*image, image->GetComponent(2)), (std::vector<int>{0}));
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
