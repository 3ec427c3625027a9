// Side-by-side timing of the thresholds and the grey histogram on the grey A4 bench page
// against OpenCV (cv::threshold, Otsu, cv::ximgproc::niBlackThreshold, cv::calcHist) and
// Leptonica (pixThresholdToBinary, pixSauvolaBinarize, pixGetGrayHistogram): cold and warm
// medians and their ratios.
#include <leptonica/allheaders.h>

#include <cstdio>
#include <opencv2/core.hpp>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/ximgproc.hpp>
#include <string>

#include "bench/bench_pages.h"
#include "bench/peers/peer_timing.h"
#include "vorlane/vorlane.h"

namespace {

using namespace vorlane::bench::peers;

Figures Time(
    const std::string& name, const std::function<void()>& call,
    const std::function<void()>& release = [] {}) {
  return {name, Measure(false, call, release), Measure(true, call, release)};
}

}  // namespace

int main() {
  // The page's pixels with maps of its own: the thresholds write labels.
  CGreyScaleImage page;
  page.CreateDuplicate(&vorlane::bench::BenchGreyPage(), TRUE);
  const int width = page.GetWidth(), height = page.GetHeight();
  // The library writes the binarised page into a bi-level destination, the peers into their
  // own images.
  CBiLevelImage binary;
  binary.Create(width, height, 0, L"binary");

  cv::Mat grey(height, width, CV_8UC1);
  PIX* pix = pixCreate(width, height, 8);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      grey.at<uint8_t>(y, x) = page.GetRed(x, y);
      pixSetPixel(pix, x, y, page.GetRed(x, y));
    }
  }

  std::printf(
      "Grey A4 page %d x %d, medians of %d runs in ms (cold: fresh pages for every buffer; "
      "warm: heap kept)\n\n",
      width, height, kRepetitions);
  std::printf("%-44s %9s %9s %9s %9s\n", "operation", "cold", "warm", "cold cpu", "warm cpu");

  const auto whole = [] { return CRect(-1, -1, -1, -1); };
  const Figures ours = Time("Threshold 128", [&] {
    CRect r = whole();
    page.Threshold(128, r, &binary);
  });
  cv::Mat out;
  const auto releaseOut = [&] { out.release(); };
  const Figures cvGlobal = Time(
      "cv::threshold 128", [&] { cv::threshold(grey, out, 128, 255, cv::THRESH_BINARY); },
      releaseOut);
  PIX* pixOut = nullptr;
  const auto releasePix = [&] {
    if (pixOut) pixDestroy(&pixOut);
  };
  const Figures lepGlobal = Time(
      "pixThresholdToBinary 128", [&] { pixOut = pixThresholdToBinary(pix, 128); }, releasePix);

  const Figures oursNiblack = Time("Threshold_Niblack 15", [&] {
    CRect r = whole();
    page.Threshold_Niblack(15, r, &binary, THRESHOLD_OUTPUT_ALL);
  });
  const Figures cvNiblack = Time(
      "cv::ximgproc::niBlackThreshold 31x31",
      [&] {
        cv::ximgproc::niBlackThreshold(grey, out, 255, cv::THRESH_BINARY, 31, -0.2,
                                       cv::ximgproc::BINARIZATION_NIBLACK);
      },
      releaseOut);
  const Figures lepSauvola = Time(
      "pixSauvolaBinarize 15",
      [&] { pixSauvolaBinarize(pix, 15, 0.35f, 1, nullptr, nullptr, nullptr, &pixOut); },
      releasePix);

  const Figures oursWeszka = Time("Threshold_WeszkaRosenfeld", [&] {
    CRect r = whole();
    page.Threshold_WeszkaRosenfeld(r, &binary);
  });
  const Figures cvOtsu = Time(
      "cv::threshold Otsu",
      [&] { cv::threshold(grey, out, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU); }, releaseOut);

  long hist[256];
  long* histograms[1] = {hist};
  const Figures oursHist = Time("GetHistograms grey", [&] {
    RECT r{0, 0, 0, 0};
    page.GetHistograms(histograms, 1, r, 1, 0, 0);
  });
  cv::Mat cvHist;
  const Figures cvCalcHist = Time(
      "cv::calcHist 256 bins",
      [&] {
        const int channels[] = {0}, bins[] = {256};
        const float range[] = {0, 256};
        const float* ranges[] = {range};
        cv::calcHist(&grey, 1, channels, cv::Mat(), cvHist, 1, bins, ranges);
      },
      [&] { cvHist.release(); });
  NUMA* numa = nullptr;
  const Figures lepHist = Time(
      "pixGetGrayHistogram", [&] { numa = pixGetGrayHistogram(pix, 1); },
      [&] {
        if (numa) numaDestroy(&numa);
      });

  for (const Figures* f : {&ours, &cvGlobal, &lepGlobal, &oursNiblack, &cvNiblack, &lepSauvola,
                           &oursWeszka, &cvOtsu, &oursHist, &cvCalcHist, &lepHist}) {
    Print(*f);
  }
  std::printf("\nRatios (ours / peer; below 1 is faster):\n");
  Ratio(ours, cvGlobal, 3.0);
  Ratio(ours, lepGlobal, 0);
  Ratio(oursNiblack, cvNiblack, 1.0);
  Ratio(oursNiblack, lepSauvola, 0);
  Ratio(oursWeszka, cvOtsu, 3.0);
  Ratio(oursHist, cvCalcHist, 3.0);
  Ratio(oursHist, lepHist, 0);
  pixDestroy(&pix);
  return 0;
}
