// Side-by-side timing of the tool's road on the grey A4 bench page against the same road
// written with OpenCV (imread of the TIFF, ximgproc::niBlackThreshold,
// connectedComponentsWithStats, imwrite of the TIFF), one thread. Each road loads its page
// from the file, so its figures are a making's: the host's (the heap of a long-running host)
// and the warm one (heap kept), medians with their ratios.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <opencv2/core.hpp>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/ximgproc.hpp>
#include <string>

#include "bench/bench_pages.h"
#include "bench/peers/peer_timing.h"
#include "vorlane/pipeline/outputs.h"
#include "vorlane/pipeline/page_loading.h"
#include "vorlane/pipeline/paths.h"
#include "vorlane/vorlane.h"

namespace {

namespace fs = std::filesystem;
using namespace vorlane::bench::peers;

constexpr int kHalfWindow = 15;

}  // namespace

int main() {
  const fs::path folder =
      fs::temp_directory_path() / ("vorlane-road-peers-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const fs::path input = folder / "grey.tif";
  vorlane::bench::BenchGreyPage().ExportTIFF(vorlane::pipeline::WidePath(input).c_str());
  cv::setNumThreads(1);

  // Ours: load, Niblack, components, then bi-level TIFF, archive and report (no PNG views).
  int ours = 0;
  const auto oursRoad = [&](bool outputs) {
    vorlane::pipeline::LoadedPage page = vorlane::pipeline::LoadPage(input);
    vorlane::ProcessOptions options;
    options.halfWindow = kHalfWindow;
    vorlane::ProcessResult result = vorlane::ProcessPage(*page.image, options);
    ours = static_cast<int>(result.components.size());
    bool noViews = false;
    if (outputs)
      vorlane::pipeline::WriteOutputs(vorlane::pipeline::FactsOf("grey", *page.image), options,
                                      result, vorlane::pipeline::NamesFor(folder, "ours"), noViews,
                                      {});
    else
      result.bilevel->ExportTIFF(vorlane::pipeline::WidePath(folder / "ours.tif").c_str());
  };
  // OpenCV: the same window (31 x 31) and Niblack's usual k = -0.2; ink is 0 after the
  // threshold, so the components are counted on the inverse.
  int peer = 0;
  const auto peerRoad = [&] {
    cv::Mat grey = cv::imread(input.string(), cv::IMREAD_GRAYSCALE);
    cv::Mat binary, ink, labels, stats, centroids;
    cv::ximgproc::niBlackThreshold(grey, binary, 255, cv::THRESH_BINARY, 2 * kHalfWindow + 1, -0.2,
                                   cv::ximgproc::BINARIZATION_NIBLACK);
    cv::bitwise_not(binary, ink);
    peer = cv::connectedComponentsWithStats(ink, labels, stats, centroids, 8, CV_32S) - 1;
    cv::imwrite((folder / "peer.tif").string(), binary, {cv::IMWRITE_TIFF_COMPRESSION, 1});
  };
  const auto none = [] {};

  std::printf(
      "Grey A4 page %d x %d from its TIFF file, one thread, medians of %d runs in ms (host: the "
      "heap of a long-running host; warm: heap kept)\n\n",
      vorlane::bench::kPageWidth, vorlane::bench::kPageHeight, kRepetitions);
  PrintHeader("comps");
  Figures oursFull = MeasureMaking(
      "vorlane: the road with archive and report", kRepetitions, [&] { oursRoad(true); }, none);
  oursFull.count = ours;
  Figures oursSame = MeasureMaking(
      "vorlane: load, Niblack, components, TIFF", kRepetitions, [&] { oursRoad(false); }, none);
  oursSame.count = ours;
  Figures peerSame =
      MeasureMaking("OpenCV: imread, niBlack, CCStats, imwrite", kRepetitions, peerRoad, none);
  peerSame.count = peer;
  for (const Figures* f : {&oursFull, &oursSame, &peerSame}) Print(*f);
  std::printf("\nRatios (ours / peer; below 1 is faster):\n");
  Ratio(oursSame, peerSame, 1.0);
  std::printf("vorlane whole road, warm: %.1f ms, host: %.1f ms (target 100 ms)\n",
              oursFull.warm.wall, oursFull.host.wall);
  fs::remove_all(folder);
  return 0;
}
