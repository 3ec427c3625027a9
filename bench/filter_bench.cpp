// The neighbourhood filters on the A4 bench pages: 3 x 3 box filter, 3 x 3 median, edge
// detection and edge-preserving smoothing, each also with the host's figure (_Host); the
// side-by-side figures with OpenCV come from bench/peers/filter_peers.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "bench/bench_pages.h"
#include "bench/host_figure.h"
#include "vorlane/vorlane.h"

namespace {

// Times filter on a duplicate of the page, restored from the page between runs (untimed); or,
// for the host's figure, a fresh copy of the page made, then the filter, timed together.
template <class Format, class Filter>
void Run(benchmark::State& state, bool host, Filter filter) {
  Format& page = vorlane::bench::BenchPage<Format>();
  if (host) {
    vorlane::bench::HostFigure(
        state, [&] { return vorlane::bench::FreshCopy(page); }, [&](auto& copy) { filter(*copy); });
  } else {
    Format image;
    for (auto _ : state) {
      state.PauseTiming();
      image.CreateDuplicate(&page, FALSE);
      state.ResumeTiming();
      filter(image);
    }
  }
  state.SetItemsProcessed(state.iterations() * int64_t{vorlane::bench::kPageWidth} *
                          vorlane::bench::kPageHeight);
}

template <class Format>
void BM_Box3(benchmark::State& state, bool host) {
  CImage::tagFilterStruct box{};
  for (auto& column : box.kernel) {
    for (int& c : column) c = 1;
  }
  box.size = 3;
  box.divisor = 9;
  Run<Format>(state, host, [&](Format& image) { image.ApplyFilter(&box); });
}

void BM_Median3Colour(benchmark::State& state, bool host) {
  Run<CHiColorImage>(state, host,
                     [](CHiColorImage& image) { image.ApplyRankOrderFilter(8, 3, 0); });
}

void BM_EdgePreservingSmoothing(benchmark::State& state, bool host) {
  Run<CHiColorImage>(state, host, [](CHiColorImage& image) { image.EdgePreservingSmoothing(); });
}

void BM_EdgeDetector(benchmark::State& state, bool host) {
  const int directions = static_cast<int>(state.range(0));
  Run<CHiColorImage>(state, host, [&](CHiColorImage& image) { image.EdgeDetector(directions); });
}

void RealMilliseconds(benchmark::internal::Benchmark* b) {
  b->Unit(benchmark::kMillisecond)->UseRealTime();
}

VORLANE_BENCHMARK_WITH_HOST(BM_Box3<CGreyScaleImage>, RealMilliseconds);
VORLANE_BENCHMARK_WITH_HOST(BM_Box3<CHiColorImage>, RealMilliseconds);
VORLANE_BENCHMARK_WITH_HOST(BM_Median3Colour, RealMilliseconds);
VORLANE_BENCHMARK_WITH_HOST(BM_EdgePreservingSmoothing, RealMilliseconds);
VORLANE_BENCHMARK_WITH_HOST(BM_EdgeDetector, [](benchmark::internal::Benchmark* b) {
  RealMilliseconds(b->Arg(1)->Arg(4));
});

}  // namespace
