// Benchmarks of run-length components on an A4 page at 300 dpi: the paper around a page of
// text, built row by row, measured, traced and combined. The measures, merge and thinning also
// with the host's figure (_Host: a copy of the component made, then the operation); building
// makes its component anew, and the operators, overlaps and point tests read components they
// do not change and make their results anew, so their figures are the host's.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bench/host_figure.h"
#include "vorlane/vorlane.h"

namespace {

constexpr int kPageWidth = 2480;
constexpr int kPageHeight = 3508;
constexpr int kMargin = 200;
constexpr int kLinePitch = 50;   // rows from one text line to the next
constexpr int kLineHeight = 30;  // rows of a text line
constexpr int kGlyphPitch = 40;  // columns from one glyph to the next
constexpr int kGlyphWidth = 20;

// Left and right page edges wobble from row to row, so that the outline has diagonal steps.
int LeftEdge(int y) { return (y * 7) % 5; }
int RightEdge(int y) { return kPageWidth - 1 - (y * 3) % 4; }

bool TextRow(int y) {
  return y >= kMargin && y < kPageHeight - kMargin && (y - kMargin) % kLinePitch < kLineHeight;
}

// The paper: every pixel of the page except the glyph boxes of the text lines. About 115,000
// runs and 6 million pixels.
std::vector<tagCompRun> PaperRuns(int shift = 0) {
  std::vector<tagCompRun> runs;
  for (int y = 0; y < kPageHeight; ++y) {
    int x = LeftEdge(y);
    if (TextRow(y)) {
      for (int g = kMargin + shift; g + kGlyphWidth < kPageWidth - kMargin; g += kGlyphPitch) {
        runs.push_back(tagCompRun{y, x, g - 1});
        x = g + kGlyphWidth;
      }
    }
    runs.push_back(tagCompRun{y, x, RightEdge(y)});
  }
  return runs;
}

// The glyph boxes themselves: the ink of the page.
std::vector<tagCompRun> InkRuns() {
  std::vector<tagCompRun> runs;
  for (int y = 0; y < kPageHeight; ++y) {
    if (!TextRow(y)) continue;
    for (int g = kMargin; g + kGlyphWidth < kPageWidth - kMargin; g += kGlyphPitch) {
      runs.push_back(tagCompRun{y, g, g + kGlyphWidth - 1});
    }
  }
  return runs;
}

CComp Build(const std::vector<tagCompRun>& runs) {
  CComp comp;
  for (const tagCompRun& r : runs) comp.AddRun(r.y, r.xl, r.xr, FALSE);
  return comp;
}

// Times op on a copy of comp made once (warm; op first resets what the last run measured) or,
// for the host's figure, on a copy made in the timed run.
template <class Op>
void OnCopy(benchmark::State& state, bool host, CComp& comp, const Op& op) {
  if (host) {
    vorlane::bench::HostFigure(
        state, [&] { return std::make_unique<CComp>(comp); }, [&](auto& copy) { op(*copy); });
    return;
  }
  CComp target(comp);
  for (auto _ : state) op(target);
}

void BM_CompBuildPageRowByRow(benchmark::State& state) {
  const std::vector<tagCompRun> runs = PaperRuns();
  const int update = static_cast<int>(state.range(0));
  for (auto _ : state) {
    CComp comp;
    for (const tagCompRun& r : runs) comp.AddRun(r.y, r.xl, r.xr, update);
    benchmark::DoNotOptimize(comp.GetMaxRun());
  }
  state.counters["runs"] = static_cast<double>(runs.size());
}
BENCHMARK(BM_CompBuildPageRowByRow)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Incremental building with an image: the running colour reads every pixel once.
void BM_CompBuildPageRowByRowWithColour(benchmark::State& state) {
  const std::vector<tagCompRun> runs = PaperRuns();
  CGreyScaleImage image;
  image.Create(kPageWidth, kPageHeight, 0x00F0F0F0, L"page");
  for (auto _ : state) {
    CComp comp;
    comp.SetImageReference(&image);
    for (const tagCompRun& r : runs) comp.AddRun(r.y, r.xl, r.xr, TRUE);
    benchmark::DoNotOptimize(comp.GetColorRGB());
  }
}
BENCHMARK(BM_CompBuildPageRowByRowWithColour)->Unit(benchmark::kMillisecond);

void BM_CompExternalBorder(benchmark::State& state, bool host) {
  CComp comp = Build(PaperRuns());
  int points = 0;
  OnCopy(state, host, comp, [&](CComp& c) {
    c.ResetAttributes();
    benchmark::DoNotOptimize(points = c.GetMaxExternalBorder());
  });
  state.counters["points"] = points;
}
VORLANE_BENCHMARK_WITH_HOST(BM_CompExternalBorder, vorlane::bench::Milliseconds);

void BM_CompConnections(benchmark::State& state, bool host) {
  CComp comp = Build(PaperRuns());
  int border = 0;
  OnCopy(state, host, comp, [&](CComp& c) {
    c.ResetAttributes();
    benchmark::DoNotOptimize(c.GetInternalConnections());
    border = c.GetMaxInternalBorder();
  });
  state.counters["internal border"] = border;
}
VORLANE_BENCHMARK_WITH_HOST(BM_CompConnections, vorlane::bench::Milliseconds);

void BM_CompConnectionsBetweenPaperAndInk(benchmark::State& state) {
  CComp paper = Build(PaperRuns());
  CComp ink = Build(InkRuns());
  for (auto _ : state) benchmark::DoNotOptimize(paper.ComputeConnections(ink));
}
BENCHMARK(BM_CompConnectionsBetweenPaperAndInk)->Unit(benchmark::kMillisecond);

void BM_CompPtInComponent(benchmark::State& state) {
  CComp comp = Build(PaperRuns());
  int x = 0, y = 0, hits = 0;
  for (auto _ : state) {
    hits += comp.PtInComponent(x, y);
    x = (x + 97) % kPageWidth;
    y = (y + 89) % kPageHeight;
  }
  benchmark::DoNotOptimize(hits);
}
BENCHMARK(BM_CompPtInComponent);

void BM_CompBoundary(benchmark::State& state, bool host) {
  CComp comp = Build(PaperRuns());
  const int connect = static_cast<int>(state.range(0));
  int vertices = 0;
  OnCopy(state, host, comp, [&](CComp& c) {
    c.ResetAttributes();
    benchmark::DoNotOptimize(c.GetBoundary(connect));
    vertices = c.GetMaxBoundary();
  });
  state.counters["vertices"] = vertices;
}
VORLANE_BENCHMARK_WITH_HOST(BM_CompBoundary, [](benchmark::internal::Benchmark* b) {
  b->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
});

// Times op on a copy of comp made anew for every run, untimed; for the host's figure, timed.
template <class Op>
void OnFreshCopy(benchmark::State& state, bool host, CComp& comp, const Op& op) {
  if (host) return OnCopy(state, true, comp, op);
  for (auto _ : state) {
    state.PauseTiming();
    CComp target(comp);
    state.ResumeTiming();
    op(target);
  }
}

void BM_CompMerge(benchmark::State& state, bool host) {
  CComp paper = Build(PaperRuns());
  CComp ink = Build(InkRuns());
  OnFreshCopy(state, host, paper, [&](CComp& target) {
    target.Merge(ink);
    benchmark::DoNotOptimize(target.GetMaxRun());
  });
}
VORLANE_BENCHMARK_WITH_HOST(BM_CompMerge, vorlane::bench::Milliseconds);

// Set operators of the paper and the paper with its glyph boxes shifted by half a glyph.
void BM_CompSetOperator(benchmark::State& state) {
  CComp a = Build(PaperRuns());
  CComp b = Build(PaperRuns(kGlyphWidth / 2));
  const int op = static_cast<int>(state.range(0));
  for (auto _ : state) {
    CComp result = op == 0 ? a + b : op == 1 ? a - b : a & b;
    benchmark::DoNotOptimize(result.GetMaxRun());
  }
}
BENCHMARK(BM_CompSetOperator)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_CompOverlapping(benchmark::State& state) {
  CComp a = Build(PaperRuns());
  CComp b = Build(PaperRuns(kGlyphWidth / 2));
  for (auto _ : state) benchmark::DoNotOptimize(a.ComputeOverlapping(b));
}
BENCHMARK(BM_CompOverlapping)->Unit(benchmark::kMillisecond);

void BM_CompThin(benchmark::State& state, bool host) {
  CComp paper = Build(PaperRuns());
  OnFreshCopy(state, host, paper, [](CComp& target) {
    target.Thin();
    benchmark::DoNotOptimize(target.GetMaxRun());
  });
}
VORLANE_BENCHMARK_WITH_HOST(BM_CompThin, vorlane::bench::Milliseconds);

}  // namespace
