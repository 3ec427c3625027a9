// The road on files: load, process, write, one page at a time on each worker thread.
#include "jobs.h"

#include <vorlane/vorlane.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

#include "page_io.h"

namespace vorlane::cli {
namespace {

namespace fs = std::filesystem;

FileResult Fail(std::string message) {
  FileResult r;
  r.outcome = Outcome::failed;
  r.message = std::move(message);
  return r;
}

FileResult Cancelled() {
  FileResult r;
  r.outcome = Outcome::cancelled;
  r.message = "interrupted";
  return r;
}

}  // namespace

FileResult ProcessPageInMemory(CImage& page, const std::string& label, const std::string& stem,
                               const RunSettings& settings, Progress& progress) {
  const OutputNames names = NamesFor(settings.outDir, stem);
  const PageFacts facts = FactsOf(label, page);
  ProcessOptions options = settings.process;
  options.stopRequested = InterruptRequested;
  options.onStage = [&](const char* stage) { progress.Stage(label, stage); };
  ProcessResult result = ProcessPage(page, options);
  if (result.status == ProcessResult::Status::cancelled) return Cancelled();
  if (result.status == ProcessResult::Status::failed) return Fail(result.error);
  progress.Stage(label, "write");
  bool views = settings.writeViews;
  const std::string error = WriteOutputs(facts, options, result, names, views, InterruptRequested);
  if (error == "cancelled") return Cancelled();
  if (!error.empty()) return Fail(error);
  FileResult done;
  done.outcome = Outcome::written;
  done.names = names;
  done.views = views;
  if (views != settings.writeViews)
    done.warning = "the library renders no display bitmap, so no PNG views were written";
  done.components = static_cast<int>(result.components.size());
  return done;
}

FileResult ProcessInputFile(const fs::path& input, const RunSettings& settings,
                            Progress& progress) {
  const std::string stem = input.stem().string();
  if (settings.skipExisting && fs::exists(NamesFor(settings.outDir, stem).report)) {
    FileResult skipped;
    skipped.outcome = Outcome::skipped;
    skipped.names = NamesFor(settings.outDir, stem);
    return skipped;
  }
  progress.Stage(input.string(), "load");
  LoadedPage page = LoadPage(input);
  if (!page.image) return Fail(page.error);
  if (InterruptRequested()) return Cancelled();
  return ProcessPageInMemory(*page.image, input.string(), stem, settings, progress);
}

std::vector<fs::path> ExpandInputs(const std::vector<std::string>& inputs) {
  std::vector<fs::path> files;
  for (const std::string& input : inputs) {
    std::error_code ec;
    if (!fs::is_directory(input, ec)) {
      files.emplace_back(input);
      continue;
    }
    std::vector<fs::path> inside;
    for (const auto& entry : fs::directory_iterator(input, ec))
      if (entry.is_regular_file(ec) && IsPageFile(entry.path())) inside.push_back(entry.path());
    std::sort(inside.begin(), inside.end());
    files.insert(files.end(), inside.begin(), inside.end());
  }
  return files;
}

int RunBatch(const std::vector<fs::path>& inputs, const RunSettings& settings, ProgressMode mode) {
  Progress progress(mode, static_cast<int>(inputs.size()));
  std::vector<FileResult> results(inputs.size());
  // Two inputs with one stem would write the same outputs: the later ones fail.
  std::map<std::string, size_t> firstOfStem;
  std::vector<bool> clash(inputs.size(), false);
  for (size_t i = 0; i < inputs.size(); ++i) {
    const auto [it, fresh] = firstOfStem.emplace(inputs[i].stem().string(), i);
    if (!fresh) {
      clash[i] = true;
      results[i] = Fail("its outputs would overwrite those of " + inputs[it->second].string());
    }
  }

  std::mutex printMutex;
  const auto report = [&](size_t i) {
    const FileResult& r = results[i];
    std::lock_guard<std::mutex> lock(printMutex);
    progress.Clear();
    if (!r.warning.empty())
      std::fprintf(stderr, "vorlane: %s: warning: %s\n", inputs[i].c_str(), r.warning.c_str());
    if (r.outcome != Outcome::failed && !settings.printResults) return;
    if (r.outcome == Outcome::failed)
      std::fprintf(stderr, "vorlane: %s: %s\n", inputs[i].c_str(), r.message.c_str());
    else if (r.outcome == Outcome::written)
      std::printf("%s: %d components -> %s\n", inputs[i].c_str(), r.components,
                  r.names.report.c_str());
    else if (r.outcome == Outcome::skipped)
      std::printf("%s: skipped, %s exists\n", inputs[i].c_str(), r.names.report.c_str());
    std::fflush(stdout);
  };

  std::atomic<size_t> next{0};
  const auto worker = [&] {
    KeepAliveScope keepAlive(&progress);
    for (size_t i = next++; i < inputs.size(); i = next++) {
      if (!clash[i]) {
        if (InterruptRequested()) {
          results[i] = Cancelled();
          continue;
        }
        results[i] = ProcessInputFile(inputs[i], settings, progress);
      }
      report(i);
      progress.FileDone();
    }
  };
  const int threads = std::max(1, std::min<int>(settings.jobs, static_cast<int>(inputs.size())));
  // Pages processed side by side share the cores that a single page's passes would use.
  if (threads > 1) {
    const int cores = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    vorlane::SetPixelThreads(std::max(1, cores / threads));
  }
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) pool.emplace_back(worker);
  worker();
  for (std::thread& t : pool) t.join();
  progress.Clear();

  if (InterruptRequested()) {
    std::fprintf(stderr, "vorlane: interrupted; unfinished pages left no files\n");
    return kExitInterrupted;
  }
  const bool failed = std::any_of(results.begin(), results.end(),
                                  [](const FileResult& r) { return r.outcome == Outcome::failed; });
  return failed ? kExitFileFailed : kExitOk;
}

}  // namespace vorlane::cli
