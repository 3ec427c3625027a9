// Skew estimation beside Leptonica's pixFindSkew on the same A4 pages at 300 dpi (text,
// frame, table, picture, blank) drawn at -10 to 9.98 degrees in steps of 0.37: the error
// table of both (largest and mean error, pages trusted), and cold and warm medians of one
// page of each kind with their ratios.
#include <leptonica/allheaders.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>

#include "bench/bench_pages.h"
#include "bench/peers/peer_timing.h"
#include "tests/support/skew_pages.h"
#include "vorlane/vorlane.h"

namespace {

using namespace vorlane::bench::peers;

constexpr int kAngles = 55;

// The page as a 1 bpp pix (1 is ink).
PIX* ToPix(const skewpages::Pixels& pixels) {
  PIX* pix = pixCreate(pixels.width, pixels.height, 1);
  l_uint32* data = pixGetData(pix);
  const int wpl = pixGetWpl(pix);
  for (int y = 0; y < pixels.height; ++y) {
    const unsigned char* row = pixels.bytes.data() + static_cast<size_t>(y) * pixels.width;
    l_uint32* line = data + static_cast<size_t>(y) * wpl;
    for (int x = 0; x < pixels.width; ++x)
      if (row[x] == 0) SET_DATA_BIT(line, x);
  }
  return pix;
}

// Leptonica's angle, whose sign agrees with ours on these pages (positive: the content turned
// counter-clockwise). Untrusted estimates count as 0.
double PeerAngle(PIX* pix, bool& trusted) {
  l_float32 angle = 0.0f, conf = 0.0f;
  trusted = pixFindSkew(pix, &angle, &conf) == 0 && conf > 0.0f;
  return trusted ? static_cast<double>(angle) : 0.0;
}

// Errors over all angles, the largest within +-7 degrees (pixFindSkew's default sweep) and
// the largest of the trusted estimates.
struct Errors {
  double worst = 0.0, worstWithin7 = 0.0, worstTrusted = 0.0, sum = 0.0, ms = 0.0;
  int trusted = 0;
  void Add(double estimate, double truth, double angle, bool ok, double elapsed) {
    worst = std::max(worst, std::fabs(estimate - truth));
    if (std::fabs(angle) <= 7.0) worstWithin7 = std::max(worstWithin7, std::fabs(estimate - truth));
    sum += std::fabs(estimate - truth);
    if (ok) worstTrusted = std::max(worstTrusted, std::fabs(estimate - truth));
    trusted += ok;
    ms += elapsed;
  }
};

double Ms(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since)
      .count();
}

}  // namespace

int main() {
  setMsgSeverity(L_SEVERITY_ERROR);  // no warning per page whose peak is on the sweep's end
  using skewpages::Kind;
  const int w = vorlane::bench::kPageWidth, h = vorlane::bench::kPageHeight;
  std::printf("Skew of A4 pages (%d x %d), %d angles from -10 to %.2f degrees\n", w, h, kAngles,
              -10.0 + 0.37 * (kAngles - 1));
  std::printf("%-8s %-14s %10s %10s %12s %12s %8s %10s\n", "page", "estimator", "max error",
              "mean error", "max in +-7", "max trusted", "trusted", "mean ms");
  std::vector<Figures> ours, peers;
  for (Kind kind : skewpages::kAllKinds) {
    const skewpages::Layout layout = skewpages::MakeLayout(kind, w, h);
    const bool lines = kind != Kind::picture && kind != Kind::blank;
    Errors mine, lept;
    for (int i = 0; i < kAngles; ++i) {
      const double truth = -10.0 + 0.37 * i;
      const skewpages::Pixels pixels = skewpages::Render(layout, truth);
      const auto page = skewpages::ToBiLevel(pixels);
      PIX* pix = ToPix(pixels);
      auto start = std::chrono::steady_clock::now();
      const vorlane::SkewEstimate e = vorlane::EstimateSkew(*page);
      mine.Add(e.angleDegrees, lines ? truth : 0.0, truth, e.trusted, Ms(start));
      bool trusted = false;
      start = std::chrono::steady_clock::now();
      const double a = PeerAngle(pix, trusted);
      lept.Add(a, lines ? truth : 0.0, truth, trusted, Ms(start));
      if (i == kAngles / 2 + 7) {  // 2.59 degrees: the timed page of this kind
        ours.push_back(MeasureMaking(
            std::string("EstimateSkew ") + skewpages::Name(kind), kRepetitions,
            [&] { vorlane::EstimateSkew(*page); }, [] {}));
        peers.push_back(MeasureMaking(
            std::string("pixFindSkew ") + skewpages::Name(kind), kRepetitions,
            [&] { PeerAngle(pix, trusted); }, [] {}));
      }
      pixDestroy(&pix);
    }
    for (const auto& [name, r] : {std::pair{"EstimateSkew", mine}, std::pair{"pixFindSkew", lept}})
      std::printf("%-8s %-14s %10.4f %10.4f %12.4f %12.4f %5d/%d %10.2f\n", skewpages::Name(kind),
                  name, r.worst, r.sum / kAngles, r.worstWithin7, r.worstTrusted, r.trusted,
                  kAngles, r.ms / kAngles);
  }
  std::printf("\n(errors of pictures and blank pages are measured from 0, the untrusted answer)\n");
  std::printf("\nMedians in ms at 2.59 degrees:\n");
  PrintHeader("");
  for (size_t i = 0; i < ours.size(); ++i) {
    Print(ours[i]);
    Print(peers[i]);
  }
  std::printf("\nRatios (ours / peer; below 1 is faster):\n");
  for (size_t i = 0; i < ours.size(); ++i) Ratio(ours[i], peers[i], 1.0);
  return 0;
}
