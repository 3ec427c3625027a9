// Side-by-side timing of the neighbourhood filters against OpenCV on the A4 bench pages: the 3 x 3
// box filter beside cv::blur and the 3 x 3 median beside cv::medianBlur, in grey and colour, and
// the edge-preserving smoothing alone; the host's figure (a copy of the page, or a clone,
// then the filter) and the warm one (the filter alone), medians with their ratios.
#include <cstdio>
#include <memory>
#include <opencv2/core.hpp>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>
#include <string>

#include "bench/bench_pages.h"
#include "bench/peers/peer_timing.h"
#include "vorlane/vorlane.h"

namespace {

using vorlane::bench::peers::Figures;
using vorlane::bench::peers::kRepetitions;
using vorlane::bench::peers::Measure;
using vorlane::bench::peers::MeasureHost;
using vorlane::bench::peers::Print;
using vorlane::bench::peers::Ratio;

// Host: a copy of page made, then the filter on it. Warm: the filter on a private duplicate of
// page, put back untimed before each run.
template <class Format>
Figures Ours(const std::string& name, Format& page, void (*filter)(Format&),
             int repetitions = kRepetitions) {
  std::unique_ptr<Format> copy;
  Figures f{name, {}, {}};
  f.host = MeasureHost(
      [&] {
        copy = std::make_unique<Format>();
        copy->CreateDuplicate(&page, FALSE);
      },
      [&] { filter(*copy); }, [&] { copy.reset(); }, repetitions);
  Format image;
  image.CreateDuplicate(&page, FALSE);
  f.warm = Measure(
      true, [&] { filter(image); }, [&] { image.CreateDuplicate(&page, FALSE); }, repetitions);
  Print(f);
  return f;
}

void Box(CImage& image) {
  CImage::tagFilterStruct box{};
  for (auto& column : box.kernel) {
    for (int& c : column) c = 1;
  }
  box.size = 3;
  box.divisor = 9;
  image.ApplyFilter(&box);
}

Figures Peer(const std::string& name, const cv::Mat& src,
             void (*filter)(const cv::Mat&, cv::Mat&)) {
  cv::Mat dst, clone;
  auto release = [&] { dst.release(); };
  Figures f{name,
            MeasureHost([&] { clone = src.clone(); }, [&] { filter(clone, dst); },
                        [&] {
                          clone.release();
                          release();
                        }),
            Measure(
                true, [&] { filter(src, dst); }, release)};
  Print(f);
  return f;
}

}  // namespace

// Any argument leaves the (slow) edge-preserving smoothing out.
int main(int argc, char**) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  CHiColorImage& colour = vorlane::bench::BenchColourPage();
  CGreyScaleImage& grey = vorlane::bench::BenchGreyPage();
  const int width = colour.GetWidth(), height = colour.GetHeight();
  cv::Mat colourMat(height, width, CV_8UC3), greyMat(height, width, CV_8UC1);
  for (int y = 0; y < height; ++y) {
    auto* c = colourMat.ptr<uint8_t>(y);
    auto* g = greyMat.ptr<uint8_t>(y);
    for (int x = 0; x < width; ++x) {
      c[3 * x] = colour.GetBlue(x, y);
      c[3 * x + 1] = colour.GetGreen(x, y);
      c[3 * x + 2] = colour.GetRed(x, y);
      g[x] = grey.GetRed(x, y);
    }
  }

  std::printf(
      "A4 pages %d x %d, medians of %d runs in ms (host: a copy of the page, then the filter; "
      "warm: the filter alone, heap kept)\n",
      width, height, kRepetitions);
  // Both libraries on one thread, then both with their default threads (one per core).
  for (const bool oneThread : {true, false}) {
    vorlane::SetPixelThreads(oneThread ? 1 : 0);
    cv::setNumThreads(oneThread ? 1 : -1);
    std::printf("\n%s\n", oneThread ? "One thread" : "Default threads");
    vorlane::bench::peers::PrintHeader();
    const Figures boxGrey =
        Ours<CGreyScaleImage>("ApplyFilter box 3 grey", grey, [](CGreyScaleImage& i) { Box(i); });
    const Figures boxColour =
        Ours<CHiColorImage>("ApplyFilter box 3 colour", colour, [](CHiColorImage& i) { Box(i); });
    const Figures medianColour =
        Ours<CHiColorImage>("ApplyRankOrderFilter median 3 colour", colour,
                            [](CHiColorImage& i) { i.ApplyRankOrderFilter(8, 3, 0); });
    if (argc < 2 && !oneThread) {
      Ours<CHiColorImage>(
          "EdgePreservingSmoothing colour", colour,
          [](CHiColorImage& i) { i.EdgePreservingSmoothing(); }, 3);
    }
    const Figures blurGrey = Peer("cv::blur 3 grey", greyMat, [](const cv::Mat& s, cv::Mat& d) {
      cv::blur(s, d, cv::Size(3, 3));
    });
    const Figures blurColour =
        Peer("cv::blur 3 colour", colourMat,
             [](const cv::Mat& s, cv::Mat& d) { cv::blur(s, d, cv::Size(3, 3)); });
    Peer("cv::medianBlur 3 grey", greyMat,
         [](const cv::Mat& s, cv::Mat& d) { cv::medianBlur(s, d, 3); });
    const Figures medianColourCv =
        Peer("cv::medianBlur 3 colour", colourMat,
             [](const cv::Mat& s, cv::Mat& d) { cv::medianBlur(s, d, 3); });
    std::printf("\nRatios (ours / peer; below 1 is faster; target at most 1.5x):\n");
    Ratio(boxGrey, blurGrey, 1.5);
    Ratio(boxColour, blurColour, 1.5);
    Ratio(medianColour, medianColourCv, 1.5);
  }
  vorlane::SetPixelThreads(0);
  cv::setNumThreads(-1);
  return 0;
}
