// Creating an A4 page at 300 dpi in each format, and filling and reading every pixel
// through the line table and through the virtual colour interface, in an image made once and,
// for the host's figure (_Host), in a new image made in the timed run. Creating an image
// makes it anew: its figure is the host's.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "bench/host_figure.h"
#include "vorlane/vorlane.h"

namespace {

constexpr int kWidth = 2480;
constexpr int kHeight = 3508;

// Gives the benchmark the line table that image operations walk.
template <typename Format>
struct Rows : Format {
  unsigned char** Lines() { return this->m_ppLines; }
  int BytesPerPixel() { return this->m_nBitsPerPixel == 32 ? 4 : 1; }
};

template <typename Format>
void BM_Create(benchmark::State& state) {
  for (auto _ : state) {
    Format image;
    benchmark::DoNotOptimize(image.Create(kWidth, kHeight, 0x00FFFFFF, L"page"));
  }
}

// A new black page of Image.
template <typename Image>
std::unique_ptr<Image> NewPage() {
  auto image = std::make_unique<Image>();
  image->Create(kWidth, kHeight, 0, L"page");
  return image;
}

// Times op on a page made once; for the host's figure, on a new page made in the timed run.
template <typename Image, class Op>
void OnPage(benchmark::State& state, bool host, const Op& op) {
  if (host) {
    vorlane::bench::HostFigure(state, NewPage<Image>, [&](auto& image) { op(*image); });
  } else {
    const auto image = NewPage<Image>();
    for (auto _ : state) op(*image);
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kWidth} * kHeight);
}

template <typename Format>
void BM_FillReadLineTable(benchmark::State& state, bool host) {
  OnPage<Rows<Format>>(state, host, [](Rows<Format>& image) {
    const int bpp = image.BytesPerPixel();
    uint64_t sum = 0;
    for (int y = 0; y < kHeight; ++y) {
      unsigned char* row = image.Lines()[y];
      for (int x = 0; x < kWidth * bpp; ++x) row[x] = static_cast<unsigned char>(x + y);
    }
    for (int y = 0; y < kHeight; ++y) {
      const unsigned char* row = image.Lines()[y];
      for (int x = 0; x < kWidth * bpp; ++x) sum += row[x];
    }
    benchmark::DoNotOptimize(sum);
  });
}

template <typename Format>
void BM_FillReadVirtual(benchmark::State& state, bool host) {
  OnPage<Format>(state, host, [](CImage& image) {
    uint64_t sum = 0;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) image.SetRGBColor(x, y, static_cast<unsigned long>(x * y));
    }
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) sum += image.GetRGBColor(x, y);
    }
    benchmark::DoNotOptimize(sum);
  });
}

BENCHMARK(BM_Create<CBiLevelImage>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Create<CGreyScaleImage>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Create<CHiColorImage>)->Unit(benchmark::kMillisecond);
VORLANE_BENCHMARK_WITH_HOST(BM_FillReadLineTable<CBiLevelImage>, vorlane::bench::Milliseconds);
VORLANE_BENCHMARK_WITH_HOST(BM_FillReadLineTable<CGreyScaleImage>, vorlane::bench::Milliseconds);
VORLANE_BENCHMARK_WITH_HOST(BM_FillReadLineTable<CHiColorImage>, vorlane::bench::Milliseconds);
VORLANE_BENCHMARK_WITH_HOST(BM_FillReadVirtual<CBiLevelImage>, vorlane::bench::Milliseconds);
VORLANE_BENCHMARK_WITH_HOST(BM_FillReadVirtual<CGreyScaleImage>, vorlane::bench::Milliseconds);
VORLANE_BENCHMARK_WITH_HOST(BM_FillReadVirtual<CHiColorImage>, vorlane::bench::Milliseconds);

}  // namespace
