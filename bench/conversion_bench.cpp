// Conversions between all formats, duplicates and backups on the A4 bench page, each with a
// cold heap (every large buffer fresh from the system) and a warm one (freed buffers kept
// and reused); the backups also with the host's figure (_Host: a copy of the page made, then
// the backup). A conversion or a duplicate makes its image anew from the page by itself: it
// is the host's step.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdint>

#include "bench/bench_pages.h"
#include "bench/heap_mode.h"
#include "bench/host_figure.h"
#include "vorlane/vorlane.h"

namespace {

using vorlane::bench::HeapMode;

using vorlane::bench::kPageHeight;
using vorlane::bench::kPageWidth;

void CountPixels(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * int64_t{kPageWidth} * kPageHeight);
}

template <class To, class From>
void BM_Convert(benchmark::State& state) {
  CImage& source = vorlane::bench::BenchPage<From>();
  const auto mode = static_cast<unsigned char>(state.range(1));
  const HeapMode heap(state);
  To target;
  for (auto _ : state) benchmark::DoNotOptimize(target.CreateFromImage(&source, mode));
  CountPixels(state);
}

template <class Format>
void BM_Duplicate(benchmark::State& state) {
  Format& source = vorlane::bench::BenchPage<Format>();
  const int byReference = static_cast<int>(state.range(1));
  const HeapMode heap(state);
  Format target;
  for (auto _ : state) benchmark::DoNotOptimize(target.CreateDuplicate(&source, byReference));
  CountPixels(state);
}

// Times op on a copy of the page made once; for the host's figure, on a copy made in the
// timed run.
template <class Format, class Op>
void OnCopy(benchmark::State& state, bool host, const Op& op) {
  Format& page = vorlane::bench::BenchPage<Format>();
  if (host) {
    vorlane::bench::HostFigure(
        state, [&] { return vorlane::bench::FreshCopy(page); }, [&](auto& copy) { op(*copy); });
  } else {
    Format image;
    image.CreateDuplicate(&page, 0);
    const HeapMode heap(state);
    for (auto _ : state) op(image);
  }
  CountPixels(state);
}

template <class Format>
void BM_BackupRestore(benchmark::State& state, bool host) {
  OnCopy<Format>(state, host, [](Format& image) {
    benchmark::DoNotOptimize(image.CreateBackup());
    image.RestoreBackup();
  });
}

template <class Format>
void BM_BackupDiscard(benchmark::State& state, bool host) {
  OnCopy<Format>(state, host, [](Format& image) {
    benchmark::DoNotOptimize(image.CreateBackup());
    image.DiscardBackup();
  });
}

void ColdAndWarmRealTime(benchmark::internal::Benchmark* b) {
  vorlane::bench::ColdAndWarm(b->UseRealTime());
}
void RealTime(benchmark::internal::Benchmark* b) { vorlane::bench::Milliseconds(b->UseRealTime()); }

#define VORLANE_CONVERT(To, From)          \
  BENCHMARK_TEMPLATE(BM_Convert, To, From) \
      ->ArgNames({"warm", "mode"})         \
      ->Args({0, 0})                       \
      ->Args({1, 0})                       \
      ->Unit(benchmark::kMillisecond)      \
      ->UseRealTime()

#define VORLANE_EVERY_SOURCE(To)        \
  VORLANE_CONVERT(To, CBiLevelImage);   \
  VORLANE_CONVERT(To, CGreyScaleImage); \
  VORLANE_CONVERT(To, CLoColorImage);   \
  VORLANE_CONVERT(To, CHiColorImage)

VORLANE_EVERY_SOURCE(CBiLevelImage);
VORLANE_EVERY_SOURCE(CGreyScaleImage);
VORLANE_EVERY_SOURCE(CLoColorImage);
VORLANE_EVERY_SOURCE(CHiColorImage);

// Greyscale from colour by a single channel (no luminance sum).
BENCHMARK_TEMPLATE(BM_Convert, CGreyScaleImage, CHiColorImage)
    ->ArgNames({"warm", "mode"})
    ->Args({0, 2})
    ->Args({1, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

#define VORLANE_COPIES(Format)                                                          \
  BENCHMARK_TEMPLATE(BM_Duplicate, Format)                                              \
      ->ArgNames({"warm", "byRef"})                                                     \
      ->ArgsProduct({{0, 1}, {0, 1}})                                                   \
      ->Unit(benchmark::kMillisecond)                                                   \
      ->UseRealTime();                                                                  \
  VORLANE_BENCHMARK_WITH_HOST(BM_BackupRestore<Format>, ColdAndWarmRealTime, RealTime); \
  VORLANE_BENCHMARK_WITH_HOST(BM_BackupDiscard<Format>, ColdAndWarmRealTime, RealTime)

VORLANE_COPIES(CBiLevelImage);
VORLANE_COPIES(CGreyScaleImage);
VORLANE_COPIES(CLoColorImage);
VORLANE_COPIES(CHiColorImage);

}  // namespace
