// Pixel passes shared among threads: the bands cover every row once, and every threaded
// operation gives the same pixels, maps and display bits on one thread as on several.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <random>
#include <vector>

#include "imageclasses/internal/format_access.h"
#include "kernels/parallel/row_bands.h"
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

// Every byte of an image's pixel rows, of its "Standard" map and, when it shows its maps, of
// its display bitmap.
std::vector<unsigned char> Contents(CImage& image) {
  std::vector<unsigned char> bytes;
  const auto append = [&bytes](const void* data, size_t size) {
    const auto* b = static_cast<const unsigned char*>(data);
    bytes.insert(bytes.end(), b, b + size);
  };
  const auto view = vorlane::detail::FormatAccess::View(&image);
  for (int y = 0; y < view.height; ++y)
    append(view.rows[y], size_t(view.width) * vorlane::detail::BytesPerPixel(view.format));
  CImageMap* map = image.GetImageMap(MAP_STANDARD);
  for (int y = 0; map && y < map->GetHeight(); ++y) append(map->GetLine(y), map->GetWidth());
  if (image.GetUpdateFlags() & IU_MAP_OVERLAY) {
    const CBitmap* bitmap = image.GetBitmap();
    append(bitmap->Pixels(), 4 * size_t(bitmap->Width()) * size_t(bitmap->Height()));
  }
  return bytes;
}

void Threshold128(CImage& image) {
  CRect all(-1, -1, -1, -1);
  image.Threshold(128, all, nullptr);
}

// Operations on a copy of a noisy colour page, or of its grey conversion.
const struct {
  const char* name;
  bool grey;
  void (*run)(CImage&);
} kOperations[] = {
    {"grey conversion", true, [](CImage&) {}},
    {"bi-level conversion", false,
     [](CImage& image) {
       CBiLevelImage bilevel;
       bilevel.CreateFromImage(&image, 0);
       image.CreateFromImage(&bilevel, 0);
     }},
    {"global threshold", true, Threshold128},
    {"automatic threshold", true,
     [](CImage& image) {
       CRect all(-1, -1, -1, -1);
       image.Threshold_WeszkaRosenfeld(all, nullptr);
     }},
    {"rotation", false, [](CImage& image) { image.Rotate(0.035, 0xFFFFFF, 0); }},
    {"box filter", false,
     [](CImage& image) {
       tagFilterStruct box{{}, 9, 3};
       for (int i = 2; i < 5; ++i) std::fill(box.kernel[i] + 2, box.kernel[i] + 5, 1);
       image.ApplyFilter(&box);
     }},
    {"median filter", false, [](CImage& image) { image.ApplyRankOrderFilter(8, 3, 0); }},
    {"colour regions painted by index", false,
     [](CImage& image) {
       image.ExColorCC(0, 20.0);
       for (int i = 0; i < image.GetMaxComponent(); ++i) {
         CComp& comp = *image.GetComponent(i);
         for (int k = 0; k < comp.GetMaxRun(); ++k) {
           const CComp::tagCompRun run = *comp.GetRun(k);
           for (int x = run.xl; x <= run.xr; ++x) image.SetRGBColor(x, run.y, unsigned(i));
         }
       }
     }},
    {"display with map overlay", true,
     [](CImage& image) {
       Threshold128(image);
       image.SetUpdateFlags(IU_NORMAL | IU_MAP_OVERLAY);
     }},
};

TEST(PixelThreads, EveryThreadedOperationGivesTheOneThreadResult) {
  // Large enough for several bands.
  constexpr int kWidth = 1400, kHeight = 1300;
  CHiColorImage page;
  page.Create(kWidth, kHeight, 0xFFFFFF, L"page");
  std::mt19937 random(7);
  const auto view = vorlane::detail::FormatAccess::View(&page);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth * 4; ++x)
      view.rows[y][x] = static_cast<unsigned char>((x / 4 + y) / 11 + random() % 40);
  }
  for (const auto& operation : kOperations) {
    SCOPED_TRACE(operation.name);
    std::vector<unsigned char> results[2];
    for (int threads : {1, 4}) {
      const ThreadSetting setting(threads);
      std::unique_ptr<CImage> copy;
      if (operation.grey) {
        copy = std::make_unique<CGreyScaleImage>();
      } else {
        copy = std::make_unique<CHiColorImage>();
      }
      copy->CreateFromImage(&page, 0);
      operation.run(*copy);
      results[threads == 1 ? 0 : 1] = Contents(*copy);
    }
    ASSERT_FALSE(results[0].empty());
    EXPECT_TRUE(results[0] == results[1]);
  }
}

}  // namespace
