// Skew estimation of A4 pages at 300 dpi: a text page drawn at 2.59 degrees, and the grey
// and bi-level bench pages (straight), cold and warm. An estimate reads a page it does not
// change: its figures are the host's.
#include <benchmark/benchmark.h>

#include <memory>

#include "bench/bench_pages.h"
#include "bench/heap_mode.h"
#include "tests/support/skew_pages.h"
#include "vorlane/vorlane.h"

namespace {

using vorlane::bench::HeapMode;

CBiLevelImage& TextPage() {
  static const std::unique_ptr<CBiLevelImage> page = skewpages::ToBiLevel(
      skewpages::Render(skewpages::MakeLayout(skewpages::Kind::text, vorlane::bench::kPageWidth,
                                              vorlane::bench::kPageHeight),
                        2.59));
  return *page;
}

void Estimate(benchmark::State& state, const CImage& page) {
  HeapMode heap(state);
  for (auto _ : state) benchmark::DoNotOptimize(vorlane::EstimateSkew(page));
}

void BM_EstimateSkewTextPage(benchmark::State& state) { Estimate(state, TextPage()); }
void BM_EstimateSkewBenchBiLevel(benchmark::State& state) {
  Estimate(state, vorlane::bench::BenchBiLevelPage());
}
void BM_EstimateSkewBenchGrey(benchmark::State& state) {
  Estimate(state, vorlane::bench::BenchGreyPage());
}

BENCHMARK(BM_EstimateSkewTextPage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EstimateSkewBenchBiLevel)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EstimateSkewBenchGrey)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
