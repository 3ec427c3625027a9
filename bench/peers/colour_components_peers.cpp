// Side-by-side timing of the colour component analyses on the A4 colour bench page against
// OpenCV's conversion of the whole page to Lab: the host's figure (a copy of the page made, or
// the peer's page cloned, then the operation) and the warm one, medians with their ratios.
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

// The analyses are slow enough for fewer runs.
constexpr int kAnalysisRepetitions = 3;

// Empties the component list of image.
void DropComponents(CImage& image) {
  std::vector<int> all(static_cast<size_t>(image.GetMaxComponent()));
  std::iota(all.begin(), all.end(), 0);
  image.RemoveComponent(all.data(), static_cast<int>(all.size()));
}

// Host: a copy of the colour page made, then analysis on it; warm: analysis on a copy made
// before, its components dropped between runs.
Figures Ours(const std::string& name, const std::function<void(CHiColorImage&)>& analysis) {
  std::unique_ptr<CHiColorImage> copy;
  long long count = 0;
  Figures f = MeasureHostWarm(
      name,
      [&] {
        copy = std::make_unique<CHiColorImage>();
        copy->CreateDuplicate(&vorlane::bench::BenchColourPage(), FALSE);
      },
      [&] {
        analysis(*copy);
        count = copy->GetMaxComponent();
      },
      [&] { DropComponents(*copy); }, [&] { copy.reset(); }, kAnalysisRepetitions);
  f.count = count;
  return f;
}

Figures OpenCvLab(const cv::Mat& bgra, int depth, int threads) {
  cv::setNumThreads(threads);
  cv::Mat source, clone, lab;
  if (depth == CV_32F) {
    bgra.convertTo(source, CV_32F, 1.0 / 255.0);
  } else {
    source = bgra;
  }
  // Host: the page cloned, then converted; warm: one clone made before, converted.
  Figures f = MeasureHostWarm(
      std::string("cv::cvtColor BGR2Lab ") + (depth == CV_32F ? "32F" : "8U") +
          (threads == 1 ? " (1 thread)" : ""),
      [&] { clone = source.clone(); }, [&] { cv::cvtColor(clone, lab, cv::COLOR_BGR2Lab); },
      [&] { lab.release(); }, [&] { clone.release(); });
  cv::setNumThreads(-1);
  return f;
}

}  // namespace

int main() {
  CHiColorImage& page = vorlane::bench::BenchColourPage();
  const int width = page.GetWidth(), height = page.GetHeight();

  // The same pixels for OpenCV, top row first, as blue, green, red, unused.
  cv::Mat bgra(height, width, CV_8UC4);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = bgra.ptr<uint8_t>(y);
    for (int x = 0; x < width; ++x) {
      const unsigned long c = page.GetRGBColor(x, y);
      row[4 * x] = GetBValue(c);
      row[4 * x + 1] = GetGValue(c);
      row[4 * x + 2] = GetRValue(c);
      row[4 * x + 3] = 0;
    }
  }

  std::printf(
      "Colour A4 page %d x %d, medians in ms (host: a fresh copy of the page, then the "
      "operation; warm: the operation on inputs made before, heap kept)\n\n",
      width, height);
  PrintHeader("count");
  const Figures ex = Ours("ExColorCC 20", [](CHiColorImage& p) { p.ExColorCC(0, 20.0); });
  const Figures cc = Ours("ColorCC 8", [](CHiColorImage& p) { p.ColorCC(TRUE); });
  const Figures lab8 = OpenCvLab(bgra, CV_8U, -1), lab8single = OpenCvLab(bgra, CV_8U, 1);
  const Figures lab32 = OpenCvLab(bgra, CV_32F, -1);
  for (const Figures* f : {&ex, &cc, &lab8, &lab8single, &lab32}) Print(*f);

  std::printf("\nRatios (ours / peer; below 1 is faster):\n");
  Ratio(ex, lab8, 10.0);
  Ratio(ex, lab8single, 0);
  Ratio(ex, lab32, 0);
  Ratio(cc, lab8, 0);
  return 0;
}
