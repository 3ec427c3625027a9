// Side-by-side timing of the tool's road on the grey A4 bench page against the same road
// written with OpenCV (imread of the TIFF, ximgproc::niBlackThreshold,
// connectedComponentsWithStats, imwrite of the TIFF), one thread, cold and warm heap.
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
using vorlane::bench::peers::Measure;
using vorlane::bench::peers::Times;

constexpr int kHalfWindow = 15;

void Print(const char* name, const Times& cold, const Times& warm, int components) {
  std::printf("%-52s %9.1f %9.1f %9.1f %9.1f %7d\n", name, cold.wall, warm.wall, cold.cpu, warm.cpu,
              components);
}

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

  std::printf("Grey A4 page %d x %d from its TIFF file, one thread, medians of %d runs in ms\n\n",
              vorlane::bench::kPageWidth, vorlane::bench::kPageHeight,
              vorlane::bench::peers::kRepetitions);
  std::printf("%-52s %9s %9s %9s %9s %7s\n", "road", "cold", "warm", "cpu cold", "cpu warm",
              "comps");
  const Times oursFullCold = Measure(
      false, [&] { oursRoad(true); }, none);
  const Times oursFullWarm = Measure(
      true, [&] { oursRoad(true); }, none);
  Print("vorlane: load, Niblack, components, TIFF, archive, report", oursFullCold, oursFullWarm,
        ours);
  const Times oursCold = Measure(
      false, [&] { oursRoad(false); }, none);
  const Times oursWarm = Measure(
      true, [&] { oursRoad(false); }, none);
  Print("vorlane: load, Niblack, components, TIFF", oursCold, oursWarm, ours);
  const Times peerCold = Measure(false, peerRoad, none);
  const Times peerWarm = Measure(true, peerRoad, none);
  Print("OpenCV: imread, niBlackThreshold, CCStats, imwrite", peerCold, peerWarm, peer);
  std::printf("\nvorlane (same steps) / OpenCV: cold %.2fx, warm %.2fx (target 1.0x)\n",
              oursCold.wall / peerCold.wall, oursWarm.wall / peerWarm.wall);
  std::printf("vorlane whole road, warm: %.1f ms (target 100 ms)\n", oursFullWarm.wall);
  fs::remove_all(folder);
  return 0;
}
