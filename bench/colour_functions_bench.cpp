// Per-pixel cost of the colour-space conversions and colour tests over an A4 page at 300 dpi.
// They read pixels they do not change and write no image: their figures are the host's.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "colourfunctions/colourfunctions.h"
#include "kernels/colour/lab_rows.h"

namespace {

constexpr int kPageWidth = 2480;
constexpr int kPageHeight = 3508;

struct Pixel {
  std::uint8_t r, g, b;
};

// A scanned page's worth of colours: noisy off-white paper with dark text, blue ink and a
// red stamp mixed in, so that every branch of the conversions is taken.
const std::vector<Pixel>& Page() {
  static const std::vector<Pixel> page = [] {
    std::vector<Pixel> p(std::size_t{kPageWidth} * kPageHeight);
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> kind(0, 99), noise(-12, 12);
    auto byte = [](int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); };
    for (Pixel& px : p) {
      const int k = kind(rng);
      const int base[3] = {k < 80   ? 240
                           : k < 90 ? 30
                           : k < 96 ? 45
                                    : 200,
                           k < 80   ? 236
                           : k < 90 ? 30
                           : k < 96 ? 55
                                    : 60,
                           k < 80   ? 225
                           : k < 90 ? 32
                           : k < 96 ? 130
                                    : 70};
      px = {byte(base[0] + noise(rng)), byte(base[1] + noise(rng)), byte(base[2] + noise(rng))};
    }
    return p;
  }();
  return page;
}

void BM_RGB2HLS(benchmark::State& state) {
  const auto& page = Page();
  for (auto _ : state) {
    float sum = 0;
    for (const Pixel& px : page) {
      float h, l, s;
      TT_RGB2HLS(px.r, px.g, px.b, &h, &l, &s, vorlane::kHlsByteScale);
      sum += h + l + s;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_RGB2HLS)->Unit(benchmark::kMillisecond);

// The round trip of a table transformation: to HLS and back.
void BM_RGB2HLS2RGB(benchmark::State& state) {
  const auto& page = Page();
  for (auto _ : state) {
    float sum = 0;
    for (const Pixel& px : page) {
      float h, l, s, r, g, b;
      TT_RGB2HLS(px.r, px.g, px.b, &h, &l, &s, vorlane::kHlsByteScale);
      TT_HLS2RGB(h, l, s, &r, &g, &b, vorlane::kHlsByteScale);
      sum += r + g + b;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_RGB2HLS2RGB)->Unit(benchmark::kMillisecond);

void BM_sRGB2sLab(benchmark::State& state) {
  const auto& page = Page();
  for (auto _ : state) {
    float sum = 0;
    for (const Pixel& px : page) {
      float L, a, b;
      TT_sRGB2sLab(px.r, px.g, px.b, &L, &a, &b, vorlane::kLabScale);
      sum += L + a + b;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_sRGB2sLab)->Unit(benchmark::kMillisecond);

// The same page through the row kernel of the colour analyses, row by row from full-colour
// pixels (blue, green, red, unused).
void BM_LabRows(benchmark::State& state) {
  const auto& page = Page();
  std::vector<std::uint8_t> bgrx(4 * page.size());
  for (std::size_t i = 0; i < page.size(); ++i) {
    bgrx[4 * i] = page[i].b, bgrx[4 * i + 1] = page[i].g, bgrx[4 * i + 2] = page[i].r;
  }
  std::vector<float> L(kPageWidth), a(kPageWidth), b(kPageWidth);
  for (auto _ : state) {
    for (int y = 0; y < kPageHeight; ++y) {
      vorlane::detail::LabRow(bgrx.data() + 4 * std::size_t{kPageWidth} * y, kPageWidth, L.data(),
                              a.data(), b.data());
      benchmark::DoNotOptimize(L.data());
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_LabRows)->Unit(benchmark::kMillisecond);

// The full perceptual test of each pixel against its left neighbour: two conversions and
// the five predicates as a visual-similarity check chains them.
void BM_VisualSimilarityChain(benchmark::State& state) {
  const auto& page = Page();
  for (auto _ : state) {
    int alike = 0;
    for (std::size_t i = 1; i < page.size(); ++i) {
      float h1, l1, s1, h2, l2, s2;
      TT_RGB2HLS(page[i].r, page[i].g, page[i].b, &h1, &l1, &s1, vorlane::kHlsByteScale);
      TT_RGB2HLS(page[i - 1].r, page[i - 1].g, page[i - 1].b, &h2, &l2, &s2,
                 vorlane::kHlsByteScale);
      const int a[3] = {int(h1), int(l1), int(s1)}, b[3] = {int(h2), int(l2), int(s2)};
      if (TT_IsChromatic(b[0], b[1], b[2]) && TT_IsChromatic(a[0], a[1], a[2])) {
        alike += TT_CheckHueSimilarity(b[0], a[0], -1.0f) &&
                 TT_CheckLightnessSimilarity(b[1], a[1]) &&
                 TT_CheckSaturationSimilarity(b[0], b[1], b[2], a[0], a[1], a[2]);
      } else if (TT_IsAchromatic(b[0], b[1], b[2]) && TT_IsAchromatic(a[0], a[1], a[2])) {
        alike += TT_CheckLightnessSimilarity(b[1], a[1]);
      } else {
        alike += TT_CheckLightnessSimilarity(b[1], a[1]) &&
                 TT_CheckSaturationSimilarity(b[0], b[1], b[2], a[0], a[1], a[2]);
      }
    }
    benchmark::DoNotOptimize(alike);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(page.size() - 1));
}
BENCHMARK(BM_VisualSimilarityChain)->Unit(benchmark::kMillisecond);

}  // namespace
