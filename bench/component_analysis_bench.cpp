// Connected component analysis on the bi-level A4 bench page: components with 4- and
// 8-connectivity, bounding boxes, components of a map type, and the neighbours of a component
// in the middle of the page; and the colour components of the colour page; each with a cold
// and a warm heap.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdint>
#include <numeric>
#include <vector>

#include "bench/bench_pages.h"
#include "bench/heap_mode.h"
#include "vorlane/vorlane.h"

namespace {

using vorlane::bench::HeapMode;

// A page sharing the bench page's pixels, with a component list of its own.
class Page : public CBiLevelImage {
 public:
  Page() { CreateDuplicate(&vorlane::bench::BenchBiLevelPage(), TRUE); }
  // Empties the component list (outside the timed part, so that an analysis is timed
  // without releasing its predecessor's components).
  void DropComponents() {
    std::vector<int> all(static_cast<size_t>(GetMaxComponent()));
    std::iota(all.begin(), all.end(), 0);
    RemoveComponent(all.data(), static_cast<int>(all.size()));
  }
};

void Report(benchmark::State& state, CImage& page) {
  state.counters["components"] = page.GetMaxComponent();
  state.SetItemsProcessed(state.iterations() * int64_t{vorlane::bench::kPageWidth} *
                          vorlane::bench::kPageHeight);
}

// Arguments: connectivity (4 or 8), heap (0 cold, 1 warm).
void BM_CCAnalysis(benchmark::State& state) {
  Page page;
  const HeapMode heap(state.range(1) != 0);
  for (auto _ : state) {
    state.PauseTiming();
    page.DropComponents();
    state.ResumeTiming();
    benchmark::DoNotOptimize(page.CCAnalysis(state.range(0) == 8));
  }
  Report(state, page);
}

void BM_BBAnalysis(benchmark::State& state) {
  Page page;
  const HeapMode heap(state.range(1) != 0);
  int count = 0;
  for (auto _ : state) {
    RECT* rects = nullptr;
    page.BBAnalysis(&rects, &count, CRect(-1, -1, -1, -1), state.range(0) == 8);
    benchmark::DoNotOptimize(rects);
    delete[] rects;
  }
  state.counters["components"] = count;
}

// The ink of the page as the non-background of its map, as thresholding marks it.
void BM_CCAnalysisFromMap(benchmark::State& state) {
  Page page;
  CImageMap* map = page.GetImageMap(0);
  for (int y = 0; y < page.GetHeight(); ++y) {
    for (int x = 0; x < page.GetWidth(); ++x) {
      if (page.GetRed(x, y)) map->SetMapByte(x, y, 0x01);
    }
  }
  const HeapMode heap(state.range(1) != 0);
  for (auto _ : state) {
    state.PauseTiming();
    page.DropComponents();
    state.ResumeTiming();
    page.CCAnalysisFromMap(-1, 0x01, 1, TRUE, state.range(0) == 8);
  }
  Report(state, page);
}

// The component whose bounding box holds the page centre, or the one closest to it.
int MiddleComponent(CImage& page) {
  const float cx = page.GetWidth() / 2.0f, cy = page.GetHeight() / 2.0f;
  int best = 0;
  float bestDistance = 1e30f;
  for (int i = 0; i < page.GetMaxComponent(); ++i) {
    const CRect box = page.GetComponent(i)->GetBoundingRect();
    const float dx = (box.left + box.right) / 2.0f - cx, dy = (box.top + box.bottom) / 2.0f - cy;
    if (dx * dx + dy * dy < bestDistance) {
      bestDistance = dx * dx + dy * dy;
      best = i;
    }
  }
  return best;
}

// Argument: 0 the index form, 1 the pointer form.
void BM_GetNeighbours(benchmark::State& state) {
  Page page;
  page.CCAnalysis(TRUE);
  CComp* middle = page.GetComponent(MiddleComponent(page));
  int count = 0;
  std::vector<CComp*> comps;
  for (auto _ : state) {
    if (state.range(0) == 0) {
      int* indices = nullptr;
      page.GetNeighbours(middle, &count, &indices);
      benchmark::DoNotOptimize(indices);
      delete[] indices;
    } else {
      page.GetNeighbours(middle, &count, &comps);
      benchmark::DoNotOptimize(comps.data());
    }
  }
  state.counters["neighbours"] = count;
}

// The colour analyses on the colour page. Arguments: analysis (0 regions by Lab distance at
// 20, 1 row runs with 8-connectivity), heap (0 cold, 1 warm).
void BM_ColourComponents(benchmark::State& state) {
  // A plain colour image sharing the page's pixels (a class of its own would take the
  // analyses' general path).
  CHiColorImage page;
  page.CreateDuplicate(&vorlane::bench::BenchColourPage(), TRUE);
  const HeapMode heap(state.range(1) != 0);
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<int> all(static_cast<size_t>(page.GetMaxComponent()));
    std::iota(all.begin(), all.end(), 0);
    page.RemoveComponent(all.data(), static_cast<int>(all.size()));
    state.ResumeTiming();
    if (state.range(0) == 0) {
      page.ExColorCC(0, 20.0);
    } else {
      page.ColorCC(TRUE);
    }
  }
  Report(state, page);
}

void ConnectivityAndHeap(benchmark::internal::Benchmark* b) {
  b->ArgNames({"conn", "warm"});
  for (int warm : {0, 1}) {
    for (int conn : {4, 8}) b->Args({conn, warm});
  }
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_CCAnalysis)->Apply(ConnectivityAndHeap);
BENCHMARK(BM_BBAnalysis)->Apply(ConnectivityAndHeap);
BENCHMARK(BM_CCAnalysisFromMap)->Apply(ConnectivityAndHeap);
BENCHMARK(BM_ColourComponents)
    ->ArgNames({"runs", "warm"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetNeighbours)->ArgName("pointers")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
