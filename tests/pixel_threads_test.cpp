// Pixel passes shared among threads: the bands cover every row once, and every threaded
// operation gives the same pixels, maps and display bits on one thread as on several.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <vector>

#include "kernels/parallel/row_bands.h"
#include "kernels/pixels/format_access.h"
#include "vorlane/vorlane.h"

namespace {

using vorlane::detail::kMaxBands;
using vorlane::detail::kMinWorkPerBand;
using vorlane::detail::RowBands;

class ThreadSetting {
 public:
  explicit ThreadSetting(int threads) : m_old(vorlane::SetPixelThreads(threads)) {}
  ~ThreadSetting() { vorlane::SetPixelThreads(m_old); }

 private:
  int m_old;
};

TEST(RowBands, CoverEveryRowOnceWithinTheLimits) {
  constexpr std::int64_t kLarge = std::int64_t{1} << 30;
  struct Case {
    int threads, begin, end;
    std::int64_t work;
    int bands;
  };
  const Case cases[] = {
      {1, 0, 1000, kLarge, 1},                      // one thread: the caller's
      {4, 0, 1000, kLarge, 4},                      // one band per thread
      {4, 10, 13, kLarge, 3},                       // no band without a row
      {4, 0, 1000, 3 * kMinWorkPerBand, 3},         // no band without enough work
      {4, 0, 1000, 1000, 1},                        // small passes stay on the caller
      {kMaxBands + 5, 0, 1000, kLarge, kMaxBands},  // the band limit
      {4, 7, 7, kLarge, 1},                         // no rows: no call
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.threads << " threads, rows " << c.begin << ".." << c.end);
    const ThreadSetting setting(c.threads);
    const RowBands bands(c.begin, c.end, c.work);
    EXPECT_EQ(bands.Count(), c.bands);
    std::mutex mutex;
    std::vector<int> visits(static_cast<size_t>(c.end - c.begin), 0);
    bands.Run([&](int band, int first, int last) {
      std::lock_guard<std::mutex> lock(mutex);
      EXPECT_EQ(first, bands.First(band));
      EXPECT_EQ(last, bands.First(band + 1));
      for (int y = first; y < last; ++y) ++visits[static_cast<size_t>(y - c.begin)];
    });
    EXPECT_EQ(std::count(visits.begin(), visits.end(), 1), c.end - c.begin);
  }
}

// Every byte of an image's pixel rows, then of its "Standard" map.
std::vector<unsigned char> Contents(CImage& image) {
  const auto view = vorlane::detail::FormatAccess::View(&image);
  const int rowBytes = view.width * vorlane::detail::BytesPerPixel(view.format);
  std::vector<unsigned char> bytes;
  for (int y = 0; y < view.height; ++y)
    bytes.insert(bytes.end(), view.rows[y], view.rows[y] + rowBytes);
  if (CImageMap* map = image.GetImageMap(MAP_STANDARD)) {
    for (int y = 0; y < map->GetHeight(); ++y) {
      const unsigned char* row = map->GetLine(y);
      bytes.insert(bytes.end(), row, row + map->GetWidth());
    }
  }
  return bytes;
}

// A page large enough for several bands: noise over a gradient, in colour.
std::unique_ptr<CHiColorImage> NoisyColourPage() {
  constexpr int kWidth = 1400, kHeight = 1300;
  auto page = std::make_unique<CHiColorImage>();
  page->Create(kWidth, kHeight, 0xFFFFFF, L"page");
  std::mt19937 random(7);
  const auto view = vorlane::detail::FormatAccess::View(page.get());
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth * 4; ++x) {
      view.rows[y][x] = static_cast<unsigned char>((x / 4 + y) / 11 + random() % 40);
    }
  }
  return page;
}

TEST(PixelThreads, EveryThreadedOperationGivesTheOneThreadResult) {
  using Operation = std::function<std::vector<unsigned char>(const CHiColorImage&)>;
  const auto grey = [](const CHiColorImage& page) {
    auto image = std::make_unique<CGreyScaleImage>();
    image->CreateFromImage(const_cast<CHiColorImage*>(&page), 0);
    return image;
  };
  const auto colour = [](const CHiColorImage& page) {
    auto image = std::make_unique<CHiColorImage>();
    image->CreateDuplicate(const_cast<CHiColorImage*>(&page), 0);
    return image;
  };
  tagFilterStruct box{};
  for (int i = 2; i < 5; ++i)
    for (int j = 2; j < 5; ++j) box.kernel[i][j] = 1;
  box.divisor = 9;
  box.size = 3;
  const struct {
    const char* name;
    Operation run;
  } operations[] = {
      {"grey conversion", [&](const CHiColorImage& p) { return Contents(*grey(p)); }},
      {"bi-level conversion",
       [](const CHiColorImage& p) {
         CBiLevelImage image;
         image.CreateFromImage(const_cast<CHiColorImage*>(&p), 0);
         return Contents(image);
       }},
      {"global threshold",
       [&](const CHiColorImage& p) {
         auto image = grey(p);
         CRect all(-1, -1, -1, -1);
         image->Threshold(128, all, nullptr);
         return Contents(*image);
       }},
      {"automatic threshold",
       [&](const CHiColorImage& p) {
         auto image = grey(p);
         CRect all(-1, -1, -1, -1);
         image->Threshold_WeszkaRosenfeld(all, nullptr);
         return Contents(*image);
       }},
      {"rotation",
       [&](const CHiColorImage& p) {
         auto image = colour(p);
         image->Rotate(0.035, 0xFFFFFF, 0);
         return Contents(*image);
       }},
      {"box filter",
       [&](const CHiColorImage& p) {
         auto image = colour(p);
         image->ApplyFilter(&box);
         return Contents(*image);
       }},
      {"median filter",
       [&](const CHiColorImage& p) {
         auto image = colour(p);
         image->ApplyRankOrderFilter(8, 3, 0);
         return Contents(*image);
       }},
      {"display with map overlay",
       [&](const CHiColorImage& p) {
         auto image = grey(p);
         CRect all(-1, -1, -1, -1);
         image->Threshold(128, all, nullptr);  // labels for the overlay
         image->SetUpdateFlags(IU_NORMAL | IU_MAP_OVERLAY);
         CBitmap bitmap;
         image->GetBitmap(&bitmap);
         const DWORD* bits = bitmap.Pixels();
         const auto* bytes = reinterpret_cast<const unsigned char*>(bits);
         return std::vector<unsigned char>(
             bytes, bytes + 4 * std::size_t(bitmap.Width()) * std::size_t(bitmap.Height()));
       }},
  };
  const std::unique_ptr<CHiColorImage> page = NoisyColourPage();
  for (const auto& operation : operations) {
    SCOPED_TRACE(operation.name);
    std::vector<unsigned char> single, shared;
    {
      const ThreadSetting setting(1);
      single = operation.run(*page);
    }
    {
      const ThreadSetting setting(4);
      shared = operation.run(*page);
    }
    ASSERT_FALSE(single.empty());
    EXPECT_TRUE(single == shared);
  }
}

}  // namespace
