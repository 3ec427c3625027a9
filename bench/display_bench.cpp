// Display benchmarks on the A4 colour page at 300 dpi: the display bitmap with the map
// overlay, the copy with the components shown, and the thumbnail, each with a cold heap
// (fresh pages for the bitmaps) and a warm one; the first two also with the host's figure
// (_Host: a copy of the page made, then its bitmap).
#include <benchmark/benchmark.h>

#include <memory>
#include <utility>

#include "bench/bench_pages.h"
#include "bench/heap_mode.h"
#include "bench/host_figure.h"
#include "vorlane/vorlane.h"

namespace {

using vorlane::bench::HeapMode;

// A duplicate of the colour page with the "Standard" map marking the paper (every pixel
// brighter than 160 in green) and the "Dorvale" map present, and with the components of the
// bi-level page.
std::unique_ptr<CHiColorImage> MarkedPage() {
  auto page = std::make_unique<CHiColorImage>();
  page->CreateDuplicate(&vorlane::bench::BenchColourPage(), FALSE);
  CImageMap* standard = page->GetImageMap(0);
  for (int y = 0; y < page->GetHeight(); ++y) {
    for (int x = 0; x < page->GetWidth(); ++x) {
      if (page->GetGreen(x, y) > 160) standard->SetMapByte(x, y, 0x01);
    }
  }
  page->AddImageMap(static_cast<unsigned char>(MAP_DORVALE));
  CBiLevelImage bi;
  bi.CreateDuplicate(&vorlane::bench::BenchBiLevelPage(), FALSE);
  bi.CCAnalysis(TRUE);
  for (int i = 0; i < bi.GetMaxComponent(); ++i) {
    CComp* comp = page->CreateNewComponent();
    *comp = *bi.GetComponent(i);
  }
  return page;
}

CHiColorImage& Page() {
  static std::unique_ptr<CHiColorImage> page = MarkedPage();
  return *page;
}

// The host's figure of op: a copy of the page (pixels, maps and components) and a new target
// bitmap made, then op on them, timed together.
template <class Op>
void HostBitmap(benchmark::State& state, const Op& op) {
  vorlane::bench::HostFigure(
      state,
      [] {
        return std::pair(vorlane::bench::FreshCopyWithComponents(Page()),
                         std::make_unique<CBitmap>());
      },
      [&](auto& in) { op(*in.first, *in.second); });
}

void BM_RequestUpdateWithMapOverlay(benchmark::State& state, bool host) {
  if (host) {
    return HostBitmap(state, [](CHiColorImage& page, CBitmap&) {
      page.SetUpdateFlags(IU_NORMAL | IU_MAP_OVERLAY);
      benchmark::DoNotOptimize(page.GetBitmap());
    });
  }
  CHiColorImage& page = Page();
  page.SetUpdateFlags(IU_NORMAL | IU_MAP_OVERLAY);
  CBitmap* bitmap = page.GetBitmap();
  HeapMode heap(state);
  // Cold: the display bitmap is released before each rebuild and made afresh.
  for (auto _ : state) {
    if (!heap.Warm()) {
      state.PauseTiming();
      bitmap->DeleteObject();
      state.ResumeTiming();
    }
    page.SetDirty();
    benchmark::DoNotOptimize(page.GetBitmap());
  }
}

void BM_CopyWithComponentsShown(benchmark::State& state, bool host) {
  if (host) {
    return HostBitmap(state, [](CHiColorImage& page, CBitmap& target) {
      page.SetUpdateFlags(IU_NORMAL | IU_SHOW_COMPONENTS);
      page.GetBitmap(&target);
    });
  }
  CHiColorImage& page = Page();
  page.SetUpdateFlags(IU_NORMAL | IU_SHOW_COMPONENTS);
  page.GetBitmap();
  HeapMode heap(state);
  CBitmap reused;
  page.GetBitmap(&reused);
  for (auto _ : state) {
    if (heap.Warm()) {
      page.GetBitmap(&reused);
    } else {
      CBitmap fresh;
      page.GetBitmap(&fresh);
    }
  }
}

// The thumbnail, a small bitmap, is made anew from the display bitmap in every call: its
// figure is the host's.
void BM_UpdateThumbnail(benchmark::State& state) {
  CHiColorImage& page = Page();
  page.SetUpdateFlags(IU_NORMAL);
  page.GetBitmap();
  HeapMode heap(state);
  for (auto _ : state) page.UpdateThumbnail();
}

VORLANE_BENCHMARK_WITH_HOST(BM_RequestUpdateWithMapOverlay, vorlane::bench::ColdAndWarm,
                            vorlane::bench::Milliseconds);
VORLANE_BENCHMARK_WITH_HOST(BM_CopyWithComponentsShown, vorlane::bench::ColdAndWarm,
                            vorlane::bench::Milliseconds);
BENCHMARK(BM_UpdateThumbnail)->Arg(0)->Arg(1)->ArgName("warm")->Unit(benchmark::kMillisecond);

}  // namespace
