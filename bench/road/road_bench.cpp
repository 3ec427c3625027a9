// The road of the tool on the A4 bench pages: one grey or colour page from its TIFF file to
// the bi-level TIFF, archive and report (PNG views excluded), with the time of each stage,
// and a batch of 20 grey pages with one and two jobs.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>

#include "bench_pages.h"
#include "vorlane/pipeline/batch.h"
#include "vorlane/pipeline/page_loading.h"
#include "vorlane/pipeline/paths.h"
#include "vorlane/vorlane.h"

namespace {

namespace fs = std::filesystem;
using vorlane::pipeline::RunSettings;

constexpr int kBatchPages = 20;

// A scratch folder with the grey and colour pages as TIFF files and kBatchPages copies of the
// grey page, made once per process.
const fs::path& Folder() {
  static const fs::path folder = [] {
    fs::path f = fs::temp_directory_path() / ("vorlane-road-bench-" + std::to_string(::getpid()));
    fs::create_directories(f / "batch");
    vorlane::bench::BenchGreyPage().ExportTIFF(vorlane::pipeline::WidePath(f / "grey.tif").c_str());
    vorlane::bench::BenchColourPage().ExportTIFF(
        vorlane::pipeline::WidePath(f / "colour.tif").c_str());
    for (int i = 0; i < kBatchPages; ++i)
      fs::copy_file(f / "grey.tif", f / "batch" / ("page" + std::to_string(i) + ".tif"));
    return f;
  }();
  return folder;
}

struct Cleanup {
  ~Cleanup() {
    std::error_code ec;
    fs::remove_all(Folder(), ec);
  }
};

RunSettings Settings(const fs::path& out, int jobs) {
  RunSettings s;
  s.outDir = out;
  s.writeViews = false;
  s.jobs = jobs;
  return s;
}

// One page through the whole road, warm heap, one core; counters: seconds per stage.
void BM_RoadPage(benchmark::State& state, const char* name) {
  static Cleanup cleanup;
  const fs::path input = Folder() / (std::string(name) + ".tif");
  const fs::path out = Folder() / (std::string("out-") + name);
  fs::create_directories(out);
  mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
  mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
  std::map<std::string, double> stages;
  const RunSettings settings = Settings(out, 1);
  for (auto _ : state) {
    bool noViews = false;
    const auto t0 = std::chrono::steady_clock::now();
    vorlane::pipeline::LoadedPage page = vorlane::pipeline::LoadPage(input);
    const auto t1 = std::chrono::steady_clock::now();
    vorlane::ProcessOptions options = settings.process;
    vorlane::ProcessResult result = vorlane::ProcessPage(*page.image, options);
    const auto t2 = std::chrono::steady_clock::now();
    const vorlane::pipeline::PageStatus written = vorlane::pipeline::WriteOutputs(
        vorlane::pipeline::FactsOf(name, *page.image), options, result,
        vorlane::pipeline::NamesFor(out, name), noViews, {});
    const auto t3 = std::chrono::steady_clock::now();
    if (written.outcome != vorlane::pipeline::PageOutcome::written)
      state.SkipWithError(written.message.c_str());
    stages["load"] += std::chrono::duration<double>(t1 - t0).count();
    for (const auto& s : result.stages) stages[s.name] += s.seconds;
    stages["write"] += std::chrono::duration<double>(t3 - t2).count();
  }
  for (const auto& [stage, seconds] : stages)
    state.counters[stage + "_ms"] = seconds * 1e3 / static_cast<double>(state.iterations());
}
BENCHMARK_CAPTURE(BM_RoadPage, grey, "grey")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_RoadPage, colour, "colour")->Unit(benchmark::kMillisecond)->UseRealTime();

// Twenty grey pages through the pipeline's batch runner with N jobs; counter: pages per second.
void BM_Batch20(benchmark::State& state) {
  const int jobs = static_cast<int>(state.range(0));
  const fs::path out = Folder() / ("out-batch-" + std::to_string(jobs));
  fs::create_directories(out);
  const auto inputs = vorlane::pipeline::ExpandInputs({(Folder() / "batch").string()});
  vorlane::pipeline::Observer quiet;
  for (auto _ : state) {
    for (const auto& r : vorlane::pipeline::RunBatch(inputs, Settings(out, jobs), quiet))
      if (r.outcome != vorlane::pipeline::PageOutcome::written) {
        state.SkipWithError("the batch failed");
        break;
      }
  }
  state.counters["pages_per_second"] =
      benchmark::Counter(static_cast<double>(kBatchPages) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Batch20)->Arg(1)->Arg(2)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
