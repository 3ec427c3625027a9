// Construction, creation and release of images in every format.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <vector>

#include "vorlane/vorlane.h"

namespace {

template <typename T>
class EveryFormat : public ::testing::Test {};

using Formats = ::testing::Types<CBiLevelImage, CGreyScaleImage, CLoColorImage, CHiColorImage>;
TYPED_TEST_SUITE(EveryFormat, Formats);

TYPED_TEST(EveryFormat, CreateGivesOneStandardMapAndResolutionOne) {
  TypeParam image;
  if (image.IsType(IMAGE_TYPE_LOCOLOR)) {
    // No Create of its own: the format-independent part runs and makes no pixels.
    EXPECT_EQ(image.Create(4, 3, 0, L"page"), 1);
  } else {
    ASSERT_EQ(image.Create(4, 3, 0x00FFFFFF, L"page"), 1);
  }
  EXPECT_EQ(
      (std::vector<long>{image.GetWidth(), image.GetHeight(), image.GetNumberOfPixels(),
                         image.GetDPI(), image.GetImageMapCount(), image.GetCurrentMapIndex()}),
      (std::vector<long>{4, 3, 12, 1, 1, 0}));
  EXPECT_TRUE(image.GetImageMap(0)->IsPreDefinedMap(MAP_STANDARD));
  EXPECT_STREQ(image.GetName(), L"page");
  EXPECT_TRUE(image.IsDirty());
}

TYPED_TEST(EveryFormat, CreateTwiceAndFreeMemoryTwiceAreHarmless) {
  TypeParam image;
  image.Create(5, 5, 0, L"a");
  image.AddImageMap(L"extra", MAP_BYTE_LABELS);
  image.Create(7, 2, 0, L"b");  // over a used image: the old buffers are released
  EXPECT_TRUE(image.GetImageMapCount() == 1 && image.GetWidth() == 7);
  image.FreeMemory();
  image.FreeMemory();
  EXPECT_EQ(image.GetImageMapCount(), 1);
}

TYPED_TEST(EveryFormat, RefusesSizesWhoseBuffersCannotExist) {
  const int sizes[][2] = {{-1, 5}, {5, -1}, {INT_MAX, 2}, {70000, 70000}, {INT_MAX, INT_MAX}};
  for (const auto& s : sizes) {
    TypeParam image;
    EXPECT_EQ(image.Create(s[0], s[1], 0, L"x"), 0) << s[0] << " x " << s[1];
    EXPECT_TRUE(image.GetImageMapCount() == 0 && image.GetWidth() == 0 &&
                image.GetRGBColor(0, 0) == 0u);
  }
}

TYPED_TEST(EveryFormat, ZeroSizedImageIsValidAndEmpty) {
  TypeParam image;
  EXPECT_EQ(image.Create(0, 0, 0, nullptr), 1);
  EXPECT_EQ(image.Create(0, 9, 0, nullptr), 1);
  EXPECT_TRUE(image.GetNumberOfPixels() == 0 && image.GetRGBColor(0, 0) == 0u);
}

TEST(ImageName, NullNameLeavesNoNameAndNothingIsReleasedTwice) {
  CGreyScaleImage image;
  image.Create(2, 2, 0, L"first");
  image.SetName(L"second");
  EXPECT_STREQ(image.GetName(), L"second");
  image.SetName(image.GetName());
  EXPECT_STREQ(image.GetName(), L"second");
  image.SetName(nullptr);
  EXPECT_EQ(image.GetName(), nullptr);
}

TEST(FreeMemory, KeepsOnlyTheCurrentMapResetToStandard) {
  CHiColorImage image;
  image.Create(3, 3, 0, nullptr);
  image.AddImageMap(L"one", MAP_BYTE_LABELS);
  CImageMap* kept = image.AddImageMap(L"two", MAP_BIT_LABELS);
  ASSERT_TRUE(image.SetCurrentMap(2));
  image.FreeMemory();
  ASSERT_EQ(image.GetImageMapCount(), 1);
  EXPECT_TRUE(image.GetCurrentMapIndex() == 0 && image.GetImageMap(0) == kept);
  EXPECT_STREQ(kept->GetName(), L"Standard");
  EXPECT_EQ(kept->GetPTByteLabel(L"Background"), 1);
  image.FreeMemory();
  EXPECT_EQ(image.GetImageMapCount(), 1);
}

TEST(DefaultOperations, EdgePreservingSmoothingTracesThatItDoesNothing) {
  std::string trace;
  auto old = vorlane::SetTraceSink([&](const char* line) { trace += line; });
  CImage image;
  image.EdgePreservingSmoothing();
  vorlane::SetTraceSink(old);
  EXPECT_EQ(trace,
            "EdgePreservingSmoothing(): Default implementation in CImage called, does nothing\n");
  EXPECT_EQ(image.CreateBackup(), 1);
  EXPECT_EQ(image.CCAnalysis(1), 0);
  RECT* rects = nullptr;
  int n = 0;
  EXPECT_EQ(image.BBAnalysis(&rects, &n, CRect(0, 0, 1, 1), 1), 0);
  EXPECT_EQ(image.UpdateNormal(), nullptr);
}

}  // namespace
