// Side-by-side timing of the component analyses against OpenCV's connectedComponentsWithStats
// and Leptonica's pixConnCompBB and pixConnComp on the bi-level A4 bench page: checks that the
// component counts agree and prints cold and warm medians with their ratios.
#include <leptonica/allheaders.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <numeric>
#include <opencv2/core.hpp>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "bench/bench_pages.h"
#include "bench/peers/peer_timing.h"
#include "vorlane/vorlane.h"

namespace {

using namespace vorlane::bench::peers;

// A page sharing the bench page's pixels, with a component list of its own.
class Page : public CBiLevelImage {
 public:
  Page() { CreateDuplicate(&vorlane::bench::BenchBiLevelPage(), TRUE); }
  void DropComponents() {
    std::vector<int> all(static_cast<size_t>(GetMaxComponent()));
    std::iota(all.begin(), all.end(), 0);
    RemoveComponent(all.data(), static_cast<int>(all.size()));
  }
};

Figures Ours(Page& page, int connectivity) {
  auto call = [&] { page.CCAnalysis(connectivity == 8); };
  auto release = [&] { page.DropComponents(); };
  Figures f{"CCAnalysis " + std::to_string(connectivity), Measure(false, call, release),
            Measure(true, call, release), 0};
  call();
  f.count = page.GetMaxComponent();
  page.DropComponents();
  return f;
}

Figures OursBoxes(Page& page, int connectivity) {
  RECT* rects = nullptr;
  int count = 0;
  auto call = [&] { page.BBAnalysis(&rects, &count, CRect(-1, -1, -1, -1), connectivity == 8); };
  auto release = [&] {
    delete[] rects;
    rects = nullptr;
  };
  Figures f{"BBAnalysis " + std::to_string(connectivity), Measure(false, call, release),
            Measure(true, call, release), 0};
  call();
  f.count = count;
  release();
  return f;
}

Figures OpenCv(const cv::Mat& ink, int connectivity, int threads) {
  cv::setNumThreads(threads);
  cv::Mat labels, stats, centroids;
  int found = 0;
  auto call = [&] {
    found = cv::connectedComponentsWithStats(ink, labels, stats, centroids, connectivity, CV_32S,
                                             cv::CCL_BBDT);
  };
  auto release = [&] {
    labels.release();
    stats.release();
    centroids.release();
  };
  Figures f{"cv::connectedComponentsWithStats " + std::to_string(connectivity) +
                (threads == 1 ? " (1 thread)" : ""),
            Measure(false, call, release), Measure(true, call, release), 0};
  call();
  f.count = found - 1;  // label 0 is the background
  cv::setNumThreads(-1);
  return f;
}

Figures Leptonica(PIX* pix, int connectivity, bool withPixa) {
  BOXA* boxes = nullptr;
  PIXA* pieces = nullptr;
  auto release = [&] {
    if (boxes) boxaDestroy(&boxes);
    if (pieces) pixaDestroy(&pieces);
  };
  auto call = [&] {
    boxes = withPixa ? pixConnComp(pix, &pieces, connectivity) : pixConnCompBB(pix, connectivity);
  };
  Figures f{std::string(withPixa ? "pixConnComp (with pixa) " : "pixConnCompBB ") +
                std::to_string(connectivity),
            Measure(false, call, release), Measure(true, call, release), 0};
  call();
  f.count = boxaGetCount(boxes);
  release();
  return f;
}

}  // namespace

int main() {
  Page page;
  const int width = page.GetWidth(), height = page.GetHeight();

  // The same ink for the peers: OpenCV wants non-zero foreground bytes, Leptonica set bits.
  cv::Mat ink(height, width, CV_8UC1, cv::Scalar(0));
  PIX* pix = pixCreate(width, height, 1);
  l_uint32* data = pixGetData(pix);
  const int wpl = pixGetWpl(pix);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = ink.ptr<uint8_t>(y);
    l_uint32* line = data + static_cast<ptrdiff_t>(y) * wpl;
    for (int x = 0; x < width; ++x) {
      if (page.GetRed(x, y) == 0) {
        row[x] = 255;
        SET_DATA_BIT(line, x);
      }
    }
  }

  std::printf(
      "Bi-level A4 page %d x %d, medians of %d runs in ms (cold: fresh pages for every "
      "buffer; warm: heap kept)\n\n",
      width, height, kRepetitions);
  std::printf("%-46s %9s %9s %9s %9s %7s\n", "operation", "cold", "warm", "cold cpu", "warm cpu",
              "count");
  std::vector<Figures> all;
  const Figures cc8 = Ours(page, 8), cc4 = Ours(page, 4);
  const Figures bb8 = OursBoxes(page, 8), bb4 = OursBoxes(page, 4);
  const Figures cv8 = OpenCv(ink, 8, -1), cv4 = OpenCv(ink, 4, -1);
  const Figures cv8single = OpenCv(ink, 8, 1);
  const Figures lbb8 = Leptonica(pix, 8, false), lbb4 = Leptonica(pix, 4, false);
  const Figures lcc8 = Leptonica(pix, 8, true);
  for (const Figures* f : {&cc8, &cc4, &bb8, &bb4, &cv8, &cv4, &cv8single, &lbb8, &lbb4, &lcc8}) {
    Print(*f);
  }

  std::printf("\nRatios (ours / peer; below 1 is faster):\n");
  Ratio(cc8, cv8, 1.0);
  Ratio(cc8, cv8single, 0);
  Ratio(cc4, cv4, 0);
  Ratio(bb8, lbb8, 1.0);
  Ratio(bb4, lbb4, 0);
  Ratio(cc8, lcc8, 0);

  bool agree = true;
  auto check = [&](const Figures& a, const Figures& b) {
    if (a.count == b.count) return;
    std::printf("COUNT MISMATCH: %s %lld, %s %lld\n", a.name.c_str(), a.count, b.name.c_str(),
                b.count);
    agree = false;
  };
  check(cc8, cv8);
  check(cc4, cv4);
  check(bb8, lbb8);
  check(bb4, lbb4);
  check(cc8, bb8);
  check(cc8, lcc8);
  std::printf("\nComponent counts %s.\n", agree ? "agree" : "DISAGREE");
  pixDestroy(&pix);
  return agree ? 0 : 1;
}
