// The neighbourhood filters on the A4 bench pages: 3 x 3 box filter, 3 x 3 median, edge
// detection and edge-preserving smoothing (the side-by-side figures with OpenCV, cold and warm,
// come from bench/peers/filter_peers).
#include <benchmark/benchmark.h>

#include <cstdint>

#include "bench/bench_pages.h"
#include "vorlane/vorlane.h"

namespace {

// Times filter on a duplicate of the page, restored from the page between runs (untimed).
template <class Format, class Filter>
void Run(benchmark::State& state, Filter filter) {
  Format image;
  for (auto _ : state) {
    state.PauseTiming();
    image.CreateDuplicate(&vorlane::bench::BenchPage<Format>(), FALSE);
    state.ResumeTiming();
    filter(image);
  }
  state.SetItemsProcessed(state.iterations() * int64_t{vorlane::bench::kPageWidth} *
                          vorlane::bench::kPageHeight);
}

template <class Format>
void BM_Box3(benchmark::State& state) {
  CImage::tagFilterStruct box{};
  for (auto& column : box.kernel) {
    for (int& c : column) c = 1;
  }
  box.size = 3;
  box.divisor = 9;
  Run<Format>(state, [&](Format& image) { image.ApplyFilter(&box); });
}

void BM_Median3Colour(benchmark::State& state) {
  Run<CHiColorImage>(state, [](CHiColorImage& image) { image.ApplyRankOrderFilter(8, 3, 0); });
}

void BM_EdgePreservingSmoothing(benchmark::State& state) {
  Run<CHiColorImage>(state, [](CHiColorImage& image) { image.EdgePreservingSmoothing(); });
}

void BM_EdgeDetector(benchmark::State& state) {
  const int directions = static_cast<int>(state.range(0));
  Run<CHiColorImage>(state, [&](CHiColorImage& image) { image.EdgeDetector(directions); });
}

BENCHMARK_TEMPLATE(BM_Box3, CGreyScaleImage)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_TEMPLATE(BM_Box3, CHiColorImage)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Median3Colour)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EdgePreservingSmoothing)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EdgeDetector)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
