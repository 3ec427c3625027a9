// Side-by-side timing of the component analyses against OpenCV's connectedComponentsWithStats
// and Leptonica's pixConnCompBB and pixConnComp on the bi-level A4 bench page: checks that the
// component counts agree and prints the host's figure (a copy of the page made, or the peer's
// page cloned, then the analysis) and the warm one, medians with their ratios.
#include <leptonica/allheaders.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
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

// Empties the component list of image.
void DropComponents(CImage& image) {
  std::vector<int> all(static_cast<size_t>(image.GetMaxComponent()));
  std::iota(all.begin(), all.end(), 0);
  image.RemoveComponent(all.data(), static_cast<int>(all.size()));
}

// Ours: host, a copy of the bi-level page made, then analysis on it; warm, analysis on a copy
// made before; release drops what analysis made. The count is what analysis returns.
Figures Ours(const std::string& name, const std::function<long long(CBiLevelImage&)>& analysis,
             const std::function<void(CBiLevelImage&)>& release) {
  std::unique_ptr<CBiLevelImage> copy;
  long long count = 0;
  Figures f = MeasureHostWarm(
      name,
      [&] {
        copy = std::make_unique<CBiLevelImage>();
        copy->CreateDuplicate(&vorlane::bench::BenchBiLevelPage(), FALSE);
      },
      [&] { count = analysis(*copy); }, [&] { release(*copy); }, [&] { copy.reset(); });
  f.count = count;
  return f;
}

Figures OursComponents(int connectivity) {
  return Ours(
      "CCAnalysis " + std::to_string(connectivity),
      [=](CBiLevelImage& page) {
        page.CCAnalysis(connectivity == 8);
        return page.GetMaxComponent();
      },
      DropComponents);
}

Figures OursBoxes(int connectivity) {
  RECT* rects = nullptr;
  return Ours(
      "BBAnalysis " + std::to_string(connectivity),
      [&, connectivity](CBiLevelImage& page) {
        int count = 0;
        page.BBAnalysis(&rects, &count, CRect(-1, -1, -1, -1), connectivity == 8);
        return count;
      },
      [&](CBiLevelImage&) {
        delete[] rects;
        rects = nullptr;
      });
}

// The peer on a clone of ink (host) or on one clone made before (warm).
Figures OpenCv(const cv::Mat& ink, int connectivity, int threads) {
  cv::setNumThreads(threads);
  cv::Mat clone, labels, stats, centroids;
  int found = 0;
  Figures f = MeasureHostWarm(
      "cv::connectedComponentsWithStats " + std::to_string(connectivity) +
          (threads == 1 ? " (1 thread)" : ""),
      [&] { clone = ink.clone(); },
      [&] {
        found = cv::connectedComponentsWithStats(clone, labels, stats, centroids, connectivity,
                                                 CV_32S, cv::CCL_BBDT);
      },
      [&] {
        labels.release();
        stats.release();
        centroids.release();
      },
      [&] { clone.release(); });
  f.count = found - 1;  // label 0 is the background
  cv::setNumThreads(-1);
  return f;
}

// The peer on a copy of pix (host) or on one copy made before (warm).
Figures Leptonica(PIX* pix, int connectivity, bool withPixa) {
  PIX* copy = nullptr;
  BOXA* boxes = nullptr;
  PIXA* pieces = nullptr;
  int found = 0;
  Figures f = MeasureHostWarm(
      std::string(withPixa ? "pixConnComp (with pixa) " : "pixConnCompBB ") +
          std::to_string(connectivity),
      [&] { copy = pixCopy(nullptr, pix); },
      [&] {
        boxes =
            withPixa ? pixConnComp(copy, &pieces, connectivity) : pixConnCompBB(copy, connectivity);
        found = boxaGetCount(boxes);
      },
      [&] {
        if (boxes) boxaDestroy(&boxes);
        if (pieces) pixaDestroy(&pieces);
      },
      [&] {
        if (copy) pixDestroy(&copy);
      });
  f.count = found;
  return f;
}

}  // namespace

int main() {
  CBiLevelImage& page = vorlane::bench::BenchBiLevelPage();
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
      "Bi-level A4 page %d x %d, medians of %d runs in ms (host: a fresh copy of the page, then "
      "the analysis; warm: the analysis on inputs made before, heap kept)\n\n",
      width, height, kRepetitions);
  PrintHeader("count");
  const Figures cc8 = OursComponents(8), cc4 = OursComponents(4);
  const Figures bb8 = OursBoxes(8), bb4 = OursBoxes(4);
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
