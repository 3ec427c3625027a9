// Side-by-side timing of the thresholds and the grey histogram on the grey A4 bench page
// against OpenCV (cv::threshold, Otsu, cv::ximgproc::niBlackThreshold, cv::calcHist) and
// Leptonica (pixThresholdToBinary, pixSauvolaBinarize, pixGetGrayHistogram): the host's
// figure (a copy of the page and a new destination made, then the operation; the peers'
// page cloned) and the warm one, medians with their ratios.
#include <leptonica/allheaders.h>

#include <cstdio>
#include <functional>
#include <memory>
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

// Ours on a fresh copy of the bench page (pixels and its unwritten maps) into a fresh bi-level
// destination for the host's figure; on page itself and one destination, both made before,
// for the warm one.
Figures Ours(const std::string& name, CGreyScaleImage& page,
             const std::function<void(CGreyScaleImage&, CBiLevelImage&)>& op) {
  CBiLevelImage binary;
  binary.Create(page.GetWidth(), page.GetHeight(), 0, L"binary");
  std::unique_ptr<CGreyScaleImage> copy;
  std::unique_ptr<CBiLevelImage> destination;
  Figures f{name, {}, {}};
  f.host = MeasureHost(
      [&] {
        copy = std::make_unique<CGreyScaleImage>();
        copy->CreateDuplicate(&vorlane::bench::BenchGreyPage(), FALSE);
        destination = std::make_unique<CBiLevelImage>();
        destination->Create(page.GetWidth(), page.GetHeight(), 0, L"binary");
      },
      [&] { op(*copy, *destination); },
      [&] {
        copy.reset();
        destination.reset();
      });
  f.warm = Measure(
      true, [&] { op(page, binary); }, [] {});
  return f;
}

// A peer on a clone of src (host) or on src itself (warm), into out.
Figures Cv(const std::string& name, const cv::Mat& src, cv::Mat& out,
           const std::function<void(const cv::Mat&)>& op) {
  cv::Mat clone;
  return {name,
          MeasureHost([&] { clone = src.clone(); }, [&] { op(clone); },
                      [&] {
                        clone.release();
                        out.release();
                      }),
          Measure(
              true, [&] { op(src); }, [&] { out.release(); })};
}

// A Leptonica call on a copy of pix (host) or on pix (warm); release drops its output.
Figures Lept(const std::string& name, PIX* pix, const std::function<void(PIX*)>& op,
             const std::function<void()>& release) {
  PIX* copy = nullptr;
  return {name,
          MeasureHost([&] { copy = pixCopy(nullptr, pix); }, [&] { op(copy); },
                      [&] {
                        if (copy) pixDestroy(&copy);
                        release();
                      }),
          Measure(
              true, [&] { op(pix); }, release)};
}

}  // namespace

int main() {
  // The page's pixels with maps of its own: the thresholds write labels.
  CGreyScaleImage page;
  page.CreateDuplicate(&vorlane::bench::BenchGreyPage(), TRUE);
  const int width = page.GetWidth(), height = page.GetHeight();
  cv::Mat grey(height, width, CV_8UC1);
  PIX* pix = pixCreate(width, height, 8);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      grey.at<uint8_t>(y, x) = page.GetRed(x, y);
      pixSetPixel(pix, x, y, page.GetRed(x, y));
    }
  }

  std::printf(
      "Grey A4 page %d x %d, medians of %d runs in ms (host: a fresh copy of the page, then "
      "the operation; warm: the operation on inputs made before, heap kept)\n\n",
      width, height, kRepetitions);
  PrintHeader();

  const auto whole = [] { return CRect(-1, -1, -1, -1); };
  const Figures ours = Ours("Threshold 128", page, [&](CGreyScaleImage& g, CBiLevelImage& b) {
    CRect r = whole();
    g.Threshold(128, r, &b);
  });
  cv::Mat out;
  const Figures cvGlobal = Cv("cv::threshold 128", grey, out, [&](const cv::Mat& g) {
    cv::threshold(g, out, 128, 255, cv::THRESH_BINARY);
  });
  PIX* pixOut = nullptr;
  const auto releasePix = [&] {
    if (pixOut) pixDestroy(&pixOut);
  };
  const Figures lepGlobal = Lept(
      "pixThresholdToBinary 128", pix, [&](PIX* p) { pixOut = pixThresholdToBinary(p, 128); },
      releasePix);

  const Figures oursNiblack =
      Ours("Threshold_Niblack 15", page, [&](CGreyScaleImage& g, CBiLevelImage& b) {
        CRect r = whole();
        g.Threshold_Niblack(15, r, &b, THRESHOLD_OUTPUT_ALL);
      });
  const Figures cvNiblack =
      Cv("cv::ximgproc::niBlackThreshold 31x31", grey, out, [&](const cv::Mat& g) {
        cv::ximgproc::niBlackThreshold(g, out, 255, cv::THRESH_BINARY, 31, -0.2,
                                       cv::ximgproc::BINARIZATION_NIBLACK);
      });
  const Figures lepSauvola = Lept(
      "pixSauvolaBinarize 15", pix,
      [&](PIX* p) { pixSauvolaBinarize(p, 15, 0.35f, 1, nullptr, nullptr, nullptr, &pixOut); },
      releasePix);

  const Figures oursWeszka =
      Ours("Threshold_WeszkaRosenfeld", page, [&](CGreyScaleImage& g, CBiLevelImage& b) {
        CRect r = whole();
        g.Threshold_WeszkaRosenfeld(r, &b);
      });
  const Figures cvOtsu = Cv("cv::threshold Otsu", grey, out, [&](const cv::Mat& g) {
    cv::threshold(g, out, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
  });

  long hist[256];
  long* histograms[1] = {hist};
  const Figures oursHist =
      Ours("GetHistograms grey", page, [&](CGreyScaleImage& g, CBiLevelImage&) {
        RECT r{0, 0, 0, 0};
        g.GetHistograms(histograms, 1, r, 1, 0, 0);
      });
  cv::Mat cvHist;
  const Figures cvCalcHist = Cv("cv::calcHist 256 bins", grey, cvHist, [&](const cv::Mat& g) {
    const int channels[] = {0}, bins[] = {256};
    const float range[] = {0, 256};
    const float* ranges[] = {range};
    cv::calcHist(&g, 1, channels, cv::Mat(), cvHist, 1, bins, ranges);
  });
  NUMA* numa = nullptr;
  const Figures lepHist = Lept(
      "pixGetGrayHistogram", pix, [&](PIX* p) { numa = pixGetGrayHistogram(p, 1); },
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
