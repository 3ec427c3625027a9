// Rotation, shear, crop and resampling of the grey and colour A4 bench pages, cold (fresh
// pages for every new buffer) and warm (freed buffers reused): every run works on an image
// that shares the page's pixels, so the operation's own new buffer is all it allocates. The
// host's figures (_Host) make a copy of the page, then the operation.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <functional>

#include "bench/bench_pages.h"
#include "bench/heap_mode.h"
#include "bench/host_figure.h"
#include "vorlane/vorlane.h"

namespace {

using vorlane::bench::HeapMode;

constexpr double kTwoDegrees = 0.03490658503988659;

// Runs op on a fresh image sharing page's pixels in every iteration; the duplication is
// not timed. For the host's figure, on a copy of page made in the timed run.
template <class Format>
void OnPage(benchmark::State& state, bool host, Format& page,
            const std::function<void(Format&)>& op) {
  if (host) {
    vorlane::bench::HostFigure(
        state, [&] { return vorlane::bench::FreshCopy(page); }, [&](auto& copy) { op(*copy); });
    return;
  }
  HeapMode heap(state);
  for (auto _ : state) {
    state.PauseTiming();
    auto image = std::make_unique<Format>();
    image->CreateDuplicate(&page, TRUE);
    state.ResumeTiming();
    op(*image);
    benchmark::DoNotOptimize(image.get());
    state.PauseTiming();
    image.reset();
    state.ResumeTiming();
  }
}

template <class Format>
void BM_Rotate2Degrees(benchmark::State& state, bool host) {
  OnPage<Format>(state, host, vorlane::bench::BenchPage<Format>(),
                 [](Format& f) { f.Rotate(kTwoDegrees, 0xFFFFFF, 0); });
}
template <class Format>
void BM_Tilt2DegreesBoth(benchmark::State& state, bool host) {
  OnPage<Format>(state, host, vorlane::bench::BenchPage<Format>(),
                 [](Format& f) { f.Tilt(kTwoDegrees, 3); });
}
template <class Format>
void BM_CropInner(benchmark::State& state, bool host) {
  OnPage<Format>(state, host, vorlane::bench::BenchPage<Format>(), [](Format& f) {
    f.Crop(100, 100, vorlane::bench::kPageWidth - 200, vorlane::bench::kPageHeight - 200);
  });
}
template <class Format>
void BM_ReSampleHalf(benchmark::State& state, bool host) {
  OnPage<Format>(state, host, vorlane::bench::BenchPage<Format>(), [](Format& f) {
    f.ReSample(vorlane::bench::kPageWidth / 2, vorlane::bench::kPageHeight / 2, 150);
  });
}
template <class Format>
void BM_ReSampleDouble(benchmark::State& state, bool host) {
  OnPage<Format>(state, host, vorlane::bench::BenchPage<Format>(), [](Format& f) {
    f.ReSample(vorlane::bench::kPageWidth * 2, vorlane::bench::kPageHeight * 2, 600);
  });
}

#define GEOMETRY_BENCH(name)                                                      \
  VORLANE_BENCHMARK_WITH_HOST(name<CGreyScaleImage>, vorlane::bench::ColdAndWarm, \
                              vorlane::bench::Milliseconds);                      \
  VORLANE_BENCHMARK_WITH_HOST(name<CHiColorImage>, vorlane::bench::ColdAndWarm,   \
                              vorlane::bench::Milliseconds);

GEOMETRY_BENCH(BM_Rotate2Degrees)
GEOMETRY_BENCH(BM_Tilt2DegreesBoth)
GEOMETRY_BENCH(BM_CropInner)
GEOMETRY_BENCH(BM_ReSampleHalf)
GEOMETRY_BENCH(BM_ReSampleDouble)

}  // namespace
