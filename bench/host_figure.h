// The host's figure of a Google benchmark: the operation on inputs made anew from the page in
// every run, as a host makes an image for each page (a copy, a conversion, a new destination)
// and then runs the operation; the page faults of the pages that either step touches first
// are part of the figure.
#pragma once

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench/bench_pages.h"
#include "bench/heap_settings.h"
#include "vorlane/vorlane.h"

namespace vorlane::bench {

// Times inputs = make() then op(inputs) together in every iteration, on the heap of a
// long-running host, after one untimed run; drops the inputs untimed after each run. Reports
// the page faults of a run as the counter "faults". Leaves the heap cold, as HeapMode does.
template <class Make, class Op>
void HostFigure(benchmark::State& state, const Make& make, const Op& op) {
  SetHeap(Heap::kHost);
  {
    auto inputs = make();
    op(inputs);
  }
  long faults = 0;
  for (auto _ : state) {
    const long start = PageFaults();
    {
      auto inputs = make();
      op(inputs);
      faults += PageFaults() - start;
      state.PauseTiming();
    }
    state.ResumeTiming();
  }
  SetHeap(Heap::kCold);
  state.counters["faults"] =
      benchmark::Counter(static_cast<double>(faults), benchmark::Counter::kAvgIterations);
}

// A host's copy of page: pixels and maps of its own (no components).
template <class Format>
std::unique_ptr<Format> FreshCopy(Format& page) {
  auto copy = std::make_unique<Format>();
  copy->CreateDuplicate(&page, FALSE);
  return copy;
}

// A host's copy of page with copies of its components as well.
template <class Format>
std::unique_ptr<Format> FreshCopyWithComponents(Format& page) {
  auto copy = FreshCopy(page);
  for (int i = 0; i < page.GetMaxComponent(); ++i) {
    *copy->CreateNewComponent() = *page.GetComponent(i);
  }
  return copy;
}

// A new bi-level destination of the bench page's size.
inline std::unique_ptr<CBiLevelImage> FreshBiLevelPage() {
  auto image = std::make_unique<CBiLevelImage>();
  image->Create(kPageWidth, kPageHeight, 0, L"binary");
  return image;
}

// Registers fn(state, false) under name, set up by setup (arguments, unit), and its host's
// figure, fn(state, true), under name followed by "_Host", set up by hostSetup. Returns true,
// for an initialiser at namespace scope.
template <class Fn, class Setup, class HostSetup>
bool RegisterWithHost(const std::string& name, Fn fn, const Setup& setup,
                      const HostSetup& hostSetup) {
  setup(benchmark::RegisterBenchmark(name.c_str(), [fn](benchmark::State& s) { fn(s, false); }));
  hostSetup(benchmark::RegisterBenchmark((name + "_Host").c_str(),
                                         [fn](benchmark::State& s) { fn(s, true); }));
  return true;
}

// The same with one setup for both.
template <class Fn, class Setup>
bool RegisterWithHost(const std::string& name, Fn fn, const Setup& setup) {
  return RegisterWithHost(name, fn, setup, setup);
}

// Sets up a benchmark timed in milliseconds.
inline void Milliseconds(benchmark::internal::Benchmark* b) { b->Unit(benchmark::kMillisecond); }

// Sets up a benchmark of a cold and a warm heap (argument "warm" 0 and 1, as HeapMode reads
// it), timed in milliseconds.
inline void ColdAndWarm(benchmark::internal::Benchmark* b) {
  b->ArgName("warm")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
}

}  // namespace vorlane::bench

#define VORLANE_BENCH_JOIN2(a, b) a##b
#define VORLANE_BENCH_JOIN(a, b) VORLANE_BENCH_JOIN2(a, b)

// Registers fn (a function of the state and whether to time the host's figure) as fn and
// fn_Host, set up by the setups that follow (functions of the benchmark: one for both, or
// one for fn and one for fn_Host).
#define VORLANE_BENCHMARK_WITH_HOST(fn, ...)                                \
  [[maybe_unused]] const bool VORLANE_BENCH_JOIN(g_withHost, __COUNTER__) = \
      vorlane::bench::RegisterWithHost(#fn, fn, __VA_ARGS__)
