// Thresholds, histograms and point operations on the A4 bench pages; the thresholds also with
// the host's figure (_Host). The peer comparison is bench/peers/threshold_peers.cpp.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <utility>

#include "bench/bench_pages.h"
#include "bench/host_figure.h"
#include "vorlane/vorlane.h"

namespace {

using vorlane::bench::kPageHeight;
using vorlane::bench::kPageWidth;

void CountPixels(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * int64_t{kPageWidth} * kPageHeight);
}

// A bi-level destination of the page's size, made once.
CBiLevelImage& Binary() {
  static CBiLevelImage* binary = [] {
    auto* b = new CBiLevelImage;
    b->Create(kPageWidth, kPageHeight, 0, L"binary");
    return b;
  }();
  return *binary;
}

// The grey page's pixels with maps of its own: the thresholds write labels.
CGreyScaleImage& Grey() {
  static CGreyScaleImage* grey = [] {
    auto* g = new CGreyScaleImage;
    g->CreateDuplicate(&vorlane::bench::BenchGreyPage(), TRUE);
    return g;
  }();
  return *grey;
}

// Times op on the grey page's pixels and a destination, both made once; or, for the host's
// figure, on a fresh copy of the page and a fresh destination, made in the timed run.
template <class Op>
void OnGrey(benchmark::State& state, bool host, const Op& op) {
  if (host) {
    vorlane::bench::HostFigure(
        state,
        [] {
          return std::pair(vorlane::bench::FreshCopy(vorlane::bench::BenchGreyPage()),
                           vorlane::bench::FreshBiLevelPage());
        },
        [&](auto& in) { op(*in.first, *in.second); });
  } else {
    for (auto _ : state) op(Grey(), Binary());
  }
  CountPixels(state);
}

void BM_Threshold(benchmark::State& state, bool host) {
  OnGrey(state, host, [](CGreyScaleImage& grey, CBiLevelImage& binary) {
    CRect r(-1, -1, -1, -1);
    grey.Threshold(128, r, &binary);
  });
}

void BM_ThresholdNiblack(benchmark::State& state, bool host) {
  const int halfWindow = static_cast<int>(state.range(0));
  OnGrey(state, host, [&](CGreyScaleImage& grey, CBiLevelImage& binary) {
    CRect r(-1, -1, -1, -1);
    grey.Threshold_Niblack(halfWindow, r, &binary, THRESHOLD_OUTPUT_ALL);
  });
}

void BM_ThresholdWeszkaRosenfeld(benchmark::State& state, bool host) {
  OnGrey(state, host, [](CGreyScaleImage& grey, CBiLevelImage& binary) {
    CRect r(-1, -1, -1, -1);
    grey.Threshold_WeszkaRosenfeld(r, &binary);
  });
}

VORLANE_BENCHMARK_WITH_HOST(BM_Threshold, vorlane::bench::Milliseconds);
VORLANE_BENCHMARK_WITH_HOST(BM_ThresholdNiblack, [](benchmark::internal::Benchmark* b) {
  b->Arg(1)->Arg(15)->Arg(50)->Unit(benchmark::kMillisecond);
});
VORLANE_BENCHMARK_WITH_HOST(BM_ThresholdWeszkaRosenfeld, vorlane::bench::Milliseconds);

// The histograms and the average colour read a page they do not change and write a few
// counters: their figure is the host's too.
void BM_GreyHistogram(benchmark::State& state) {
  long hist[256];
  long* histograms[1] = {hist};
  for (auto _ : state) {
    RECT r{0, 0, 0, 0};
    Grey().GetHistograms(histograms, 1, r, 0, 0, 0);
  }
  CountPixels(state);
}
BENCHMARK(BM_GreyHistogram)->Unit(benchmark::kMillisecond);

void BM_ColourHistograms(benchmark::State& state) {
  long h[7][256];
  long* histograms[7] = {h[0], h[1], h[2], h[3], h[4], h[5], h[6]};
  const unsigned long flags = static_cast<unsigned long>(state.range(0));
  for (auto _ : state) {
    RECT r{0, 0, 0, 0};
    vorlane::bench::BenchColourPage().GetHistograms(histograms, flags, r, 0, 0, 0);
  }
  CountPixels(state);
}
BENCHMARK(BM_ColourHistograms)->Arg(0x0F)->Arg(0x7F)->Unit(benchmark::kMillisecond);

void BM_AverageColour(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(vorlane::bench::BenchColourPage().GetAverageColour(0, 0xFF));
  }
  CountPixels(state);
}
BENCHMARK(BM_AverageColour)->Unit(benchmark::kMillisecond);

}  // namespace
