// Benchmarks of the analysis toolkit: distribution smoothing and extrema, the line Hough
// transform and k-means clustering of colour points; the distributions also with the host's
// figure (_Host: the distribution made from the profile, then the operation). The transform
// makes its accumulator anew and the clustering writes only its few clusters, on point lists
// they do not change: their figures are the host's.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

#include "bench/host_figure.h"
#include "imageclasses/clustering3d.h"
#include "imageclasses/distribution.h"
#include "imageclasses/houghtransform2d.h"

namespace {

std::vector<int> NoisyProfile(int n) {
  std::mt19937 rng(1);
  std::vector<int> v(n);
  for (int i = 0; i < n; ++i) v[i] = static_cast<int>(rng() % 1000) + (i % 97) * 50;
  return v;
}

// A distribution of values, made anew.
std::unique_ptr<CDistribution<int>> MakeDistribution(const std::vector<int>& values) {
  auto d = std::make_unique<CDistribution<int>>();
  d->Create(values.data(), static_cast<int>(values.size()));
  return d;
}

// Times op on a distribution of values made before (untimed, every run when fresh is set, or
// once); for the host's figure, on one made in the timed run.
template <class Op>
void OnDistribution(benchmark::State& state, bool host, bool fresh, const Op& op) {
  const std::vector<int> values = NoisyProfile(1 << 20);
  if (host) {
    vorlane::bench::HostFigure(
        state, [&] { return MakeDistribution(values); }, [&](auto& d) { op(*d); });
  } else {
    auto d = MakeDistribution(values);
    for (auto _ : state) {
      if (fresh) {
        state.PauseTiming();
        d->Create(values.data(), static_cast<int>(values.size()));
        state.ResumeTiming();
      }
      op(*d);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(values.size()));
}

// Radius in range(0): the cost does not grow with the radius.
void BM_DistributionMovingAverage(benchmark::State& state, bool host) {
  OnDistribution(state, host, true, [&](CDistribution<int>& d) {
    d.MovingAverage(static_cast<int>(state.range(0)));
    benchmark::DoNotOptimize(d.GetPointArray());
  });
}
VORLANE_BENCHMARK_WITH_HOST(BM_DistributionMovingAverage, [](benchmark::internal::Benchmark* b) {
  b->Arg(2)->Arg(50)->Unit(benchmark::kMillisecond);
});

void BM_DistributionComputeExtrema(benchmark::State& state, bool host) {
  OnDistribution(state, host, false, [](CDistribution<int>& d) {
    d.ComputeExtrema();
    benchmark::DoNotOptimize(d.GetMaximaPositions());
  });
}
VORLANE_BENCHMARK_WITH_HOST(BM_DistributionComputeExtrema, vorlane::bench::Milliseconds);

// range(0) points, range(1) angle cells over [0, pi); distances -500..500 by 1.
void BM_LineHoughTransform(benchmark::State& state) {
  const int points = static_cast<int>(state.range(0));
  const int angleCells = static_cast<int>(state.range(1));
  CHoughTransform2D h;
  std::mt19937 rng(2);
  std::uniform_real_distribution<float> coordinate(-350.0f, 350.0f);
  for (int i = 0; i < points; ++i) h.AddPoint(coordinate(rng), coordinate(rng), 1.0f);
  h.SetR(-500.0f, 500.0f, 1.0f);
  h.SetU(0.0f, 3.1415927f, 3.1415927f / static_cast<float>(angleCells));
  for (auto _ : state) {
    float** accumulator = nullptr;
    int cellsX = 0;
    int cellsY = 0;
    h.LineHoughTransform(&accumulator, &cellsX, &cellsY);
    benchmark::DoNotOptimize(accumulator);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(points) * angleCells);
}
BENCHMARK(BM_LineHoughTransform)
    ->Args({100000, 90})
    ->Args({10000, 1800})
    ->Unit(benchmark::kMillisecond);

// 10^6 colour points around 8 colours into 8 clusters: range(0) iterations with no
// tolerance, so each run does exactly that many assignment and update passes.
void BM_ClusteringColourPoints(benchmark::State& state) {
  CClustering3D c;
  std::mt19937 rng(4);
  std::normal_distribution<float> noise(0.0f, 12.0f);
  const float colours[8][3] = {{20, 20, 20},  {230, 230, 230}, {200, 40, 40},  {40, 160, 60},
                               {40, 60, 200}, {220, 200, 60},  {120, 60, 160}, {60, 180, 190}};
  for (int i = 0; i < 1000000; ++i) {
    const float* colour = colours[i % 8];
    c.AddPoint(colour[0] + noise(rng), colour[1] + noise(rng), colour[2] + noise(rng));
  }
  c.SetK(8);
  for (auto _ : state) {
    for (int k = 0; k < 8; ++k) c.InitializeCluster(k, 32.0f * k, 255.0f - 32.0f * k, 128.0f);
    benchmark::DoNotOptimize(c.PerformClustering(0.0f, static_cast<int>(state.range(0))));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0) * 1000000);
}
BENCHMARK(BM_ClusteringColourPoints)->Arg(10)->Unit(benchmark::kMillisecond);

}  // namespace
