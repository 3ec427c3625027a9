// Convolution and colour rank filters: windows at borders and next to background, limits,
// guards, cancelling, and the fast paths against plain references.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "imageclasses/internal/format_access.h"
#include "tests/support/filter_reference.h"

namespace {

using Kernel = CImage::tagFilterStruct;

Kernel Box(int size, int divisor, int coefficient = 1) {
  Kernel k{};
  for (auto& column : k.kernel) {
    for (int& c : column) c = coefficient;
  }
  k.size = size;
  k.divisor = divisor;
  return k;
}

// The pixels are the reference's; the map is unchanged (a pixel with no foreground in its
// window is background already).
void ExpectSame(const ref::Picture& want, CImage& image, int channels) {
  const ref::Picture got = ref::Read(image, channels);
  ASSERT_EQ(want.v, got.v);
  ASSERT_EQ(want.fg, got.fg);
}

// The fourth bytes of a colour image's pixels, which the filters leave; with rng, set at random
// first.
std::vector<unsigned char> FourthBytes(CImage& image, std::mt19937* rng = nullptr) {
  const auto view = vorlane::detail::FormatAccess::View(&image);
  std::vector<unsigned char> bytes;
  for (int y = 0; y < view.height; ++y) {
    for (int x = 0; x < view.width; ++x) {
      unsigned char& b = view.rows[y][4 * x + 3];
      if (rng) b = static_cast<unsigned char>((*rng)());
      bytes.push_back(b);
    }
  }
  return bytes;
}

TEST(Convolution, QuotientsAreExact) {
  // 280 / ((8 x 21) / 9.0) is 14.999999999999998 in double; the filter gives 15. Full windows of
  // 231 by 32 give 2079 / 32 = 64 (a multiply-high by 65536 / 32 + 1 gives 65).
  struct Case {
    int width, value, divisor, x, want;
  };
  for (const Case c : {Case{3, 35, 21, 1, 15}, Case{40, 231, 32, 20, 64}}) {
    CGreyScaleImage image;
    image.Create(c.width, 3, RGB(0, c.value, 0), L"g");
    if (c.width == 3) image.GetImageMap(0)->MapByteAddAttribute(0, 0, 1);
    Kernel k = Box(3, c.divisor);
    image.ApplyFilter(&k);
    EXPECT_EQ(image.GetRed(c.x, 1), c.want);
  }
}

TEST(Filters, UnusableKernelsUnknownOperationsAndEmptyImagesChangeNothing) {
  CHiColorImage image;
  image.Create(6, 6, RGB(10, 20, 30), L"c");
  image.SetRGBColor(2, 2, RGB(200, 100, 50));
  const ref::Picture before = ref::Read(image, 3);
  image.ApplyFilter(nullptr);
  for (int size : {0, 2, -1, 8, 6}) {
    Kernel k = Box(size, 1, 5);
    image.ApplyFilter(&k);
  }
  Kernel zero = Box(3, 0);
  image.ApplyFilter(&zero);
  image.ApplyRankOrderFilter(3, 3, 0);
  image.ApplyRankOrderFilter(0, 3, 0);
  EXPECT_EQ(ref::Read(image, 3).v, before.v);
  CHiColorImage empty;
  empty.ApplyFilter(&zero);
  empty.ApplyRankOrderFilter(8, 3, 0);
  CGreyScaleImage emptyGrey;
  Kernel box = Box(3, 9);
  emptyGrey.ApplyFilter(&box);
}

TEST(Convolution, ACancelRestoresThePixelsAndKeepsEarlierMarks) {
  CGreyScaleImage image;
  image.Create(300, 4, RGB(0, 100, 0), L"g");
  CImageMap* map = image.GetImageMap(0);
  for (int x : {1, 280}) {
    for (int y = 0; y < 4; ++y) map->MapByteAddAttribute(x, y, 1);
  }
  image.SetRGBColor(5, 2, RGB(0, 0, 0));
  int calls = 0;
  auto old = vorlane::SetKeepAliveHandler([&](CImage&, int, int) { return ++calls == 270; });
  Kernel k = Box(1, 1);
  image.ApplyFilter(&k);
  vorlane::SetKeepAliveHandler(old);
  EXPECT_EQ(
      (std::vector<int>{calls, image.GetRed(5, 2), map->GetMapByte(1, 0), map->GetMapByte(2, 0)}),
      (std::vector<int>{270, 0, 1, 0}));
  image.SetCancel(0);
  int later = 0;
  old = vorlane::SetKeepAliveHandler([&](CImage&, int, int) { return ++later < 0; });
  Kernel box = Box(3, 9);
  image.ApplyFilter(&box);
  vorlane::SetKeepAliveHandler(old);
  EXPECT_TRUE(later == 300 && image.GetRed(5, 2) == 100 * 8 / 9);  // once per column
}

struct Shape {
  int width, height, background;
};
constexpr Shape kShapes[] = {{1, 1, 0},   {37, 29, 5}, {300, 9, 3},
                             {11, 40, 0}, {4, 3, 2},   {45, 9, 0}};

TEST(Convolution, MatchesThePlainReference) {
  std::mt19937 rng(7);
  for (const Shape s : kShapes) {
    for (int size : {1, 3, 5, 7}) {
      for (bool constant : {true, false}) {
        Kernel k = Box(size, static_cast<int>(rng() % 40) - 8, 1);
        if (k.divisor == 0) k.divisor = 3;
        for (auto& column : k.kernel) {
          for (int& c : column) c = constant ? 2 : static_cast<int>(rng() % 11) - 3;
        }
        CGreyScaleImage grey;
        CHiColorImage colour;
        grey.Create(s.width, s.height, 0, L"g");
        colour.Create(s.width, s.height, 0, L"c");
        ref::Randomise(grey, rng, 256, s.background);
        ref::Randomise(colour, rng, 256, s.background);
        const std::vector<unsigned char> fourth = FourthBytes(colour, &rng);
        const ref::Picture wantGrey = ref::Convolve(ref::Read(grey, 1), k.kernel, size, k.divisor);
        const ref::Picture wantColour =
            ref::Convolve(ref::Read(colour, 3), k.kernel, size, k.divisor);
        grey.ApplyFilter(&k);
        colour.ApplyFilter(&k);
        SCOPED_TRACE(testing::Message() << s.width << "x" << s.height << " size " << size);
        ExpectSame(wantGrey, grey, 1);
        ExpectSame(wantColour, colour, 3);
        EXPECT_EQ(FourthBytes(colour), fourth);
      }
    }
  }
}

TEST(ColourRankFilter, MatchesThePlainReferencePerOperationWindowAndChannel) {
  std::mt19937 rng(11);
  for (const Shape s : kShapes) {
    for (int op : {1, 2, 4, 8}) {
      for (int window : {3, 5, 7, 4}) {
        for (int channel : {1, 2, 4, 0}) {
          CHiColorImage image;
          image.Create(s.width, s.height, 0, L"c");
          ref::Randomise(image, rng, 256, s.background);
          const std::vector<unsigned char> fourth = FourthBytes(image, &rng);
          const ref::Picture want = ref::Rank(ref::Read(image, 3), op, window, channel);
          image.ApplyRankOrderFilter(static_cast<unsigned char>(op), window,
                                     static_cast<unsigned char>(channel));
          SCOPED_TRACE(testing::Message() << s.width << "x" << s.height << " op " << op
                                          << " window " << window << " channel " << channel);
          ExpectSame(want, image, 3);
          EXPECT_EQ(FourthBytes(image), fourth);
        }
      }
    }
  }
}

}  // namespace
