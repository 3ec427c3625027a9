// Side-by-side timing of the colour component analyses on the A4 colour bench page against
// OpenCV's conversion of the whole page to Lab, with cold and warm heaps.
#include <cstdint>
#include <cstdio>
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

Figures Ours(CHiColorImage& page, const std::string& name, const std::function<void()>& call) {
  auto release = [&] { DropComponents(page); };
  Figures f{name, Measure(false, call, release, kAnalysisRepetitions),
            Measure(true, call, release, kAnalysisRepetitions), 0};
  call();
  f.count = page.GetMaxComponent();
  DropComponents(page);
  return f;
}

Figures OpenCvLab(const cv::Mat& bgra, int depth, int threads) {
  cv::setNumThreads(threads);
  cv::Mat source, lab;
  if (depth == CV_32F) {
    bgra.convertTo(source, CV_32F, 1.0 / 255.0);
  } else {
    source = bgra;
  }
  auto call = [&] { cv::cvtColor(source, lab, cv::COLOR_BGR2Lab); };
  auto release = [&] { lab.release(); };
  Figures f{std::string("cv::cvtColor BGR2Lab ") + (depth == CV_32F ? "32F" : "8U") +
                (threads == 1 ? " (1 thread)" : ""),
            Measure(false, call, release), Measure(true, call, release), 0};
  cv::setNumThreads(-1);
  return f;
}

}  // namespace

int main() {
  // Shares the bench page's pixels; a class of its own would take the analyses' general path.
  CHiColorImage page;
  page.CreateDuplicate(&vorlane::bench::BenchColourPage(), TRUE);
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
      "Colour A4 page %d x %d, medians in ms (cold: fresh pages for every buffer; warm: heap "
      "kept)\n\n",
      width, height);
  std::printf("%-46s %9s %9s %9s %9s %7s\n", "operation", "cold", "warm", "cold cpu", "warm cpu",
              "count");
  const Figures ex = Ours(page, "ExColorCC 20", [&] { page.ExColorCC(0, 20.0); });
  const Figures cc = Ours(page, "ColorCC 8", [&] { page.ColorCC(TRUE); });
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
