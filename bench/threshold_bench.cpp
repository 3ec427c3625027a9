// Thresholds, histograms and point operations on the A4 bench pages. The peer comparison
// with cold and warm heaps is bench/peers/threshold_peers.cpp.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "bench/bench_pages.h"
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

void BM_Threshold(benchmark::State& state) {
  for (auto _ : state) {
    CRect r(-1, -1, -1, -1);
    Grey().Threshold(128, r, &Binary());
  }
  CountPixels(state);
}
BENCHMARK(BM_Threshold)->Unit(benchmark::kMillisecond);

void BM_ThresholdNiblack(benchmark::State& state) {
  for (auto _ : state) {
    CRect r(-1, -1, -1, -1);
    Grey().Threshold_Niblack(static_cast<int>(state.range(0)), r, &Binary(), THRESHOLD_OUTPUT_ALL);
  }
  CountPixels(state);
}
BENCHMARK(BM_ThresholdNiblack)->Arg(1)->Arg(15)->Arg(50)->Unit(benchmark::kMillisecond);

void BM_ThresholdWeszkaRosenfeld(benchmark::State& state) {
  for (auto _ : state) {
    CRect r(-1, -1, -1, -1);
    Grey().Threshold_WeszkaRosenfeld(r, &Binary());
  }
  CountPixels(state);
}
BENCHMARK(BM_ThresholdWeszkaRosenfeld)->Unit(benchmark::kMillisecond);

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
