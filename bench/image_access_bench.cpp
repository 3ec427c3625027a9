// Creating an A4 page at 300 dpi in each format, and filling and reading every pixel
// through the line table and through the virtual colour interface.
#include <benchmark/benchmark.h>

#include <cstdint>

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

template <typename Format>
void BM_FillReadLineTable(benchmark::State& state) {
  Rows<Format> image;
  image.Create(kWidth, kHeight, 0, L"page");
  const int bpp = image.BytesPerPixel();
  for (auto _ : state) {
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
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kWidth} * kHeight);
}

template <typename Format>
void BM_FillReadVirtual(benchmark::State& state) {
  Format format;
  CImage& image = format;
  image.Create(kWidth, kHeight, 0, L"page");
  for (auto _ : state) {
    uint64_t sum = 0;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) image.SetRGBColor(x, y, static_cast<unsigned long>(x * y));
    }
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) sum += image.GetRGBColor(x, y);
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kWidth} * kHeight);
}

BENCHMARK(BM_Create<CBiLevelImage>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Create<CGreyScaleImage>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Create<CHiColorImage>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillReadLineTable<CBiLevelImage>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillReadLineTable<CGreyScaleImage>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillReadLineTable<CHiColorImage>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillReadVirtual<CBiLevelImage>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillReadVirtual<CGreyScaleImage>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillReadVirtual<CHiColorImage>)->Unit(benchmark::kMillisecond);

}  // namespace
