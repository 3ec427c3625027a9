// Conversions between all formats, duplicates and backups on the A4 bench page, each with a
// cold heap (every large buffer fresh from the system) and a warm one (freed buffers kept
// and reused).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdint>

#include "bench/bench_pages.h"
#include "bench/heap_mode.h"
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

template <class Format>
void BM_BackupRestore(benchmark::State& state) {
  Format image;
  image.CreateDuplicate(&vorlane::bench::BenchPage<Format>(), 0);
  const HeapMode heap(state);
  for (auto _ : state) {
    benchmark::DoNotOptimize(image.CreateBackup());
    image.RestoreBackup();
  }
  CountPixels(state);
}

template <class Format>
void BM_BackupDiscard(benchmark::State& state) {
  Format image;
  image.CreateDuplicate(&vorlane::bench::BenchPage<Format>(), 0);
  const HeapMode heap(state);
  for (auto _ : state) {
    benchmark::DoNotOptimize(image.CreateBackup());
    image.DiscardBackup();
  }
  CountPixels(state);
}

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

#define VORLANE_COPIES(Format)                 \
  BENCHMARK_TEMPLATE(BM_Duplicate, Format)     \
      ->ArgNames({"warm", "byRef"})            \
      ->ArgsProduct({{0, 1}, {0, 1}})          \
      ->Unit(benchmark::kMillisecond)          \
      ->UseRealTime();                         \
  BENCHMARK_TEMPLATE(BM_BackupRestore, Format) \
      ->ArgName("warm")                        \
      ->Arg(0)                                 \
      ->Arg(1)                                 \
      ->Unit(benchmark::kMillisecond)          \
      ->UseRealTime();                         \
  BENCHMARK_TEMPLATE(BM_BackupDiscard, Format) \
      ->ArgName("warm")                        \
      ->Arg(0)                                 \
      ->Arg(1)                                 \
      ->Unit(benchmark::kMillisecond)          \
      ->UseRealTime()

VORLANE_COPIES(CBiLevelImage);
VORLANE_COPIES(CGreyScaleImage);
VORLANE_COPIES(CLoColorImage);
VORLANE_COPIES(CHiColorImage);

}  // namespace
