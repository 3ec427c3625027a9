// Connected component analysis on the bi-level A4 bench page: components with 4- and
// 8-connectivity, bounding boxes, components of a map type, and the neighbours of a component
// in the middle of the page; and the colour components of the colour page; each with a cold
// and a warm heap, and the analyses with the host's figure (_Host: a copy of the page made,
// then the analysis).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdint>
#include <numeric>
#include <vector>

#include "bench/bench_pages.h"
#include "bench/heap_mode.h"
#include "bench/host_figure.h"
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

void Report(benchmark::State& state, int components) {
  state.counters["components"] = components;
  state.SetItemsProcessed(state.iterations() * int64_t{vorlane::bench::kPageWidth} *
                          vorlane::bench::kPageHeight);
}
void Report(benchmark::State& state, CImage& page) { Report(state, page.GetMaxComponent()); }

// The host's figure of analysis: a copy of page made, then the analysis on it, timed together.
template <class Format, class Analysis>
void HostAnalysis(benchmark::State& state, Format& page, const Analysis& analysis) {
  int components = 0;
  vorlane::bench::HostFigure(
      state, [&] { return vorlane::bench::FreshCopy(page); },
      [&](auto& copy) {
        analysis(*copy);
        components = copy->GetMaxComponent();
      });
  Report(state, components);
}

// Arguments: connectivity (4 or 8), heap (0 cold, 1 warm; none for the host's figure).
void BM_CCAnalysis(benchmark::State& state, bool host) {
  if (host) {
    return HostAnalysis(state, vorlane::bench::BenchBiLevelPage(),
                        [&](CBiLevelImage& p) { p.CCAnalysis(state.range(0) == 8); });
  }
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

void BM_BBAnalysis(benchmark::State& state, bool host) {
  int count = 0;
  const auto boxes = [&](CBiLevelImage& p) {
    RECT* rects = nullptr;
    p.BBAnalysis(&rects, &count, CRect(-1, -1, -1, -1), state.range(0) == 8);
    benchmark::DoNotOptimize(rects);
    delete[] rects;
  };
  if (host) {
    HostAnalysis(state, vorlane::bench::BenchBiLevelPage(), boxes);
  } else {
    Page page;
    const HeapMode heap(state.range(1) != 0);
    for (auto _ : state) boxes(page);
  }
  state.counters["components"] = count;
}

// The ink of the page as the non-background of its map, as thresholding marks it.
void BM_CCAnalysisFromMap(benchmark::State& state, bool host) {
  Page page;
  CImageMap* map = page.GetImageMap(0);
  for (int y = 0; y < page.GetHeight(); ++y) {
    for (int x = 0; x < page.GetWidth(); ++x) {
      if (page.GetRed(x, y)) map->SetMapByte(x, y, 0x01);
    }
  }
  const auto analysis = [&](CBiLevelImage& p) {
    p.CCAnalysisFromMap(-1, 0x01, 1, TRUE, state.range(0) == 8);
  };
  if (host) return HostAnalysis<CBiLevelImage>(state, page, analysis);
  const HeapMode heap(state.range(1) != 0);
  for (auto _ : state) {
    state.PauseTiming();
    page.DropComponents();
    state.ResumeTiming();
    analysis(page);
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

// Argument: 0 the index form, 1 the pointer form. A query of a made component list that
// writes a short list of its own: a fresh page would time the analysis, not the query.
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
void BM_ColourComponents(benchmark::State& state, bool host) {
  const auto analysis = [&](CHiColorImage& p) {
    if (state.range(0) == 0) {
      p.ExColorCC(0, 20.0);
    } else {
      p.ColorCC(TRUE);
    }
  };
  if (host) return HostAnalysis(state, vorlane::bench::BenchColourPage(), analysis);
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
    analysis(page);
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

void Connectivity(benchmark::internal::Benchmark* b) {
  b->ArgName("conn")->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond);
}

VORLANE_BENCHMARK_WITH_HOST(BM_CCAnalysis, ConnectivityAndHeap, Connectivity);
VORLANE_BENCHMARK_WITH_HOST(BM_BBAnalysis, ConnectivityAndHeap, Connectivity);
VORLANE_BENCHMARK_WITH_HOST(BM_CCAnalysisFromMap, ConnectivityAndHeap, Connectivity);
VORLANE_BENCHMARK_WITH_HOST(
    BM_ColourComponents,
    [](benchmark::internal::Benchmark* b) {
      b->ArgNames({"runs", "warm"})
          ->Args({0, 0})
          ->Args({0, 1})
          ->Args({1, 0})
          ->Args({1, 1})
          ->Unit(benchmark::kMillisecond);
    },
    [](benchmark::internal::Benchmark* b) {
      b->ArgName("runs")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
    });
BENCHMARK(BM_GetNeighbours)->ArgName("pointers")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
