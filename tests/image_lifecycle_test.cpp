// Construction, creation and release of images in every format.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "vorlane/vorlane.h"

namespace {

template <typename T>
class EveryFormat : public ::testing::Test {};

using Formats = ::testing::Types<CBiLevelImage, CGreyScaleImage, CLoColorImage, CHiColorImage>;
TYPED_TEST_SUITE(EveryFormat, Formats);

TYPED_TEST(EveryFormat, CreateGivesOneStandardMapAndFreeMemoryKeepsTheCurrentOne) {
  // Low colour has no Create of its own: the format-independent part runs and makes no pixels.
  TypeParam image;
  ASSERT_EQ(image.Create(5, 5, 0, L"a"), 1);
  image.AddImageMap(L"extra", MAP_BYTE_LABELS);
  image.SetDPI(300);
  image.CreateBackup();
  ASSERT_EQ(image.Create(4, 3, 0, L"page"), 1);  // over a used image: all of it goes
  EXPECT_EQ((std::vector<long>{image.GetWidth(), image.GetHeight(), image.GetNumberOfPixels(),
                               image.GetDPI(), image.GetImageMapCount(), image.GetCurrentMapIndex(),
                               image.DiscardBackup()}),
            (std::vector<long>{4, 3, 12, 1, 1, 0, 0}));
  EXPECT_TRUE(image.GetImageMap(0)->IsPreDefinedMap(MAP_STANDARD));
  image.SetName(image.GetName());  // its own name: nothing is released twice
  EXPECT_STREQ(image.GetName(), L"page");
  EXPECT_TRUE(image.IsDirty());
  image.AddImageMap(L"one", MAP_BYTE_LABELS);
  CImageMap* kept = image.AddImageMap(L"two", MAP_BIT_LABELS);
  ASSERT_TRUE(image.SetCurrentMap(2));
  image.FreeMemory(), image.FreeMemory();
  ASSERT_EQ(image.GetImageMapCount(), 1);
  EXPECT_TRUE(image.GetCurrentMapIndex() == 0 && image.GetImageMap(0) == kept &&
              kept->GetPTByteLabel(L"Background") == 1);
  EXPECT_STREQ(kept->GetName(), L"Standard");
  image.SetName(nullptr);
  EXPECT_EQ(image.GetName(), nullptr);
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

}  // namespace
