// Two-level window filters against their reference, edge detection by direction, and
// edge-preserving smoothing on flat areas and small pictures.
#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

#include "tests/support/filter_reference.h"

namespace {

TEST(BiLevelWindows, MatchThePlainReferenceByOperationName) {
  std::mt19937 rng(3);
  for (const auto& [width, height] : {std::pair{1, 1}, {2, 5}, {23, 17}, {290, 6}}) {
    for (int op : {0, 1, 2, 4, 8}) {
      for (int window : {3, 5, 7, 9}) {
        CBiLevelImage image;
        image.Create(width, height, 0, L"b");
        ref::Randomise(image, rng, 2, 0);
        const ref::Picture want = ref::Binary(ref::Read(image, 1), op, window);
        op == 0 ? image.SaltPepperRemoval(window)
                : image.ApplyRankOrderFilter(static_cast<unsigned char>(op), window, 0);
        ASSERT_EQ(want.v, ref::Read(image, 1).v)
            << width << "x" << height << " op " << op << " window " << window;
      }
    }
  }
}

// A picture of red left of column 3 and blue from it on, with one row of green at the bottom.
void Stripes(CHiColorImage& image) {
  image.Create(6, 5, RGB(255, 0, 0), L"c");
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 6; ++x) {
      image.SetRGBColor(x, y, y == 4 ? RGB(0, 255, 0) : x >= 3 ? RGB(0, 0, 255) : RGB(255, 0, 0));
    }
  }
}

TEST(EdgeDetector, OneDirectionComparesWithTheRightNeighbourAndNoneChangeNothing) {
  CHiColorImage image;
  Stripes(image);
  image.EdgeDetector(0);
  image.EdgeDetector(-4);
  EXPECT_EQ(image.GetRGBColor(2, 2), RGB(255, 0, 0));
  image.EdgeDetector(1);
  for (int y = 1; y < 4; ++y) {
    for (int x = 1; x < 5; ++x) EXPECT_EQ(image.GetRGBColor(x, y), x == 2 ? 0ul : 0xFFFFFFul);
  }
  EXPECT_EQ(image.GetRGBColor(0, 0), RGB(255, 0, 0));  // the border keeps its colours
  image.RestoreBackup();
  EXPECT_EQ(image.GetRGBColor(2, 2), RGB(255, 0, 0));
}

TEST(EdgeDetector, FourDirectionsCountTheRightAndUpperNeighbours) {
  CHiColorImage image;
  Stripes(image);
  image.SetRGBColor(4, 0, RGB(0, 255, 0));  // above (4, 1)
  image.EdgeDetector(4);
  EXPECT_EQ((std::vector<int>{image.GetRed(2, 2), image.GetRed(4, 1), image.GetRed(3, 2)}),
            (std::vector<int>{255 - 64, 255 - 64, 255}));
}

TEST(EdgePreservingSmoothing, FlatAreasAndSmallPicturesComeThroughUnchanged) {
  for (int value = 0; value < 256; ++value) {
    CHiColorImage image;
    image.Create(10, 9, RGB(value, 255 - value, value / 2), L"c");
    image.EdgePreservingSmoothing();
    ASSERT_EQ(image.GetRGBColor(4, 4), RGB(value, 255 - value, value / 2));
  }
  std::mt19937 rng(5);
  for (const auto& [width, height] : {std::pair{7, 20}, {20, 7}}) {
    CHiColorImage image;
    image.Create(width, height, 0, L"c");
    ref::Randomise(image, rng, 256, 0);
    const ref::Picture before = ref::Read(image, 3);
    image.EdgePreservingSmoothing();
    EXPECT_EQ(before.v, ref::Read(image, 3).v);
  }
}

}  // namespace
