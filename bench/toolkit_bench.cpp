// Benchmarks of the analysis toolkit: distribution smoothing and extrema, the line Hough
// transform and k-means clustering of colour points.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

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

// Radius in range(1): the cost does not grow with the radius.
void BM_DistributionMovingAverage(benchmark::State& state) {
  const std::vector<int> values = NoisyProfile(1 << 20);
  CDistribution<int> d;
  for (auto _ : state) {
    state.PauseTiming();
    d.Create(values.data(), static_cast<int>(values.size()));
    state.ResumeTiming();
    d.MovingAverage(static_cast<int>(state.range(0)));
    benchmark::DoNotOptimize(d.GetPointArray());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(values.size()));
}
BENCHMARK(BM_DistributionMovingAverage)->Arg(2)->Arg(50)->Unit(benchmark::kMillisecond);

void BM_DistributionComputeExtrema(benchmark::State& state) {
  const std::vector<int> values = NoisyProfile(1 << 20);
  CDistribution<int> d;
  d.Create(values.data(), static_cast<int>(values.size()));
  for (auto _ : state) {
    d.ComputeExtrema();
    benchmark::DoNotOptimize(d.GetMaximaPositions());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(values.size()));
}
BENCHMARK(BM_DistributionComputeExtrema)->Unit(benchmark::kMillisecond);

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
