// The road on files: load, process, write, one page at a time on each worker thread.
#include "vorlane/pipeline/batch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <system_error>
#include <thread>

#include "imageclasses/bilevelimage.h"
#include "imageclasses/greyscaleimage.h"
#include "vorlane/pipeline/html_report.h"
#include "vorlane/pipeline/page_loading.h"
#include "vorlane/threads.h"

namespace vorlane::pipeline {
namespace {

namespace fs = std::filesystem;

PageResult ResultOf(PageStatus status) {
  PageResult r;
  r.outcome = status.outcome;
  r.message = std::move(status.message);
  return r;
}

// The stop request of observer, or nothing to poll without one.
std::function<bool()> StopOf(Observer* observer) {
  if (!observer) return {};
  return [observer] { return observer->StopRequested(); };
}

// The road and the outputs of a page in memory; facts.started is when work on it began.
PageResult ProcessLoaded(CImage& page, const PageFacts& facts, const std::string& stem,
                         const RunSettings& settings, Observer* observer) {
  const OutputNames names = NamesFor(settings.outDir, stem);
  const std::string& label = facts.input;
  ProcessOptions options = settings.process;
  options.stopRequested = StopOf(observer);
  if (observer) options.onStage = [&](const char* stage) { observer->Stage(label, stage); };
  ProcessResult result = ProcessPage(page, options);
  if (result.status == ProcessResult::Status::cancelled) return ResultOf(Cancelled());
  if (result.status == ProcessResult::Status::failed) return ResultOf(Failed(result.error));
  if (observer) observer->Stage(label, "write");
  bool views = settings.writeViews;
  PageResult done =
      ResultOf(WriteOutputs(facts, options, result, names, views, options.stopRequested));
  if (done.outcome != PageOutcome::written) return done;
  done.names = names;
  done.views = views;
  if (views != settings.writeViews)
    done.warning = "the library renders no display bitmap, so no PNG views were written";
  done.components = static_cast<int>(result.components.size());
  return done;
}

// What a finished page leaves beside its outputs: a written page removes a stale error
// record; with settings.report a failed one writes its record, and the HTML report is
// rewritten. A record or report that cannot be written becomes the result's warning.
PageResult Recorded(PageResult result, const std::string& input, const std::string& stem,
                    int pageIndex, const RunSettings& settings) {
  if (result.outcome == PageOutcome::cancelled) return result;
  const OutputNames names = NamesFor(settings.outDir, stem);
  std::error_code ec;
  if (result.outcome == PageOutcome::written) fs::remove(names.error, ec);
  if (!settings.report) return result;
  const auto warn = [&result](const std::string& problem) {
    result.warning += (result.warning.empty() ? "" : "; ") + problem;
  };
  if (result.outcome == PageOutcome::failed &&
      !WritePageError(settings.outDir, stem, input, pageIndex, result.message))
    warn("cannot write " + names.error.string());
  const std::string problem = WriteHtmlReport(settings.outDir);
  if (!problem.empty()) warn("the HTML report: " + problem);
  return result;
}

}  // namespace

void Observer::Stage(const std::string&, const std::string&) {}
void Observer::Step(int, int) {}
void Observer::PageDone(const fs::path&, const PageResult&) {}
bool Observer::StopRequested() { return false; }

KeepAliveScope::KeepAliveScope(Observer* observer)
    : m_previous(SetKeepAliveHandler([observer](CImage&, int step, int steps) {
        if (!observer) return false;
        observer->Step(step, steps);
        return observer->StopRequested();
      })) {}

KeepAliveScope::~KeepAliveScope() { SetKeepAliveHandler(std::move(m_previous)); }

PageResult ProcessPageInMemory(CImage& page, const std::string& label, const std::string& stem,
                               const RunSettings& settings, Observer* observer) {
  const PageFacts facts = FactsOf(label, page);
  return Recorded(ProcessLoaded(page, facts, stem, settings, observer), label, stem,
                  facts.pageIndex, settings);
}

PageResult ProcessInputFile(const fs::path& input, const RunSettings& settings,
                            Observer* observer) {
  const std::string stem = input.stem().string();
  if (settings.skipExisting && fs::exists(NamesFor(settings.outDir, stem).report)) {
    PageResult skipped;
    skipped.outcome = PageOutcome::skipped;
    skipped.names = NamesFor(settings.outDir, stem);
    return Recorded(skipped, input.string(), stem, 0, settings);
  }
  const auto started = std::chrono::steady_clock::now();
  constexpr int pageIndex = 0;
  if (observer) observer->Stage(input.string(), "load");
  LoadedPage page = LoadPage(input);
  if (!page.image)
    return Recorded(ResultOf(Failed(page.error)), input.string(), stem, pageIndex, settings);
  if (observer && observer->StopRequested()) return ResultOf(Cancelled());
  PageFacts facts = FactsOf(input.string(), *page.image);
  facts.pageIndex = pageIndex;
  facts.started = started;
  return Recorded(ProcessLoaded(*page.image, facts, stem, settings, observer), input.string(), stem,
                  pageIndex, settings);
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

std::vector<PageResult> RunBatch(const std::vector<fs::path>& inputs, const RunSettings& settings,
                                 Observer& observer) {
  std::vector<PageResult> results(inputs.size());
  // Two inputs with one stem would write the same outputs: the later ones fail.
  std::map<std::string, size_t> firstOfStem;
  std::vector<bool> clash(inputs.size(), false);
  for (size_t i = 0; i < inputs.size(); ++i) {
    const auto [it, fresh] = firstOfStem.emplace(inputs[i].stem().string(), i);
    if (!fresh) {
      clash[i] = true;
      results[i] =
          ResultOf(Failed("its outputs would overwrite those of " + inputs[it->second].string()));
    }
  }

  std::atomic<size_t> next{0};
  const auto worker = [&] {
    KeepAliveScope keepAlive(&observer);
    for (size_t i = next++; i < inputs.size(); i = next++) {
      if (!clash[i]) {
        if (observer.StopRequested()) {
          results[i] = ResultOf(Cancelled());
          continue;
        }
        results[i] = ProcessInputFile(inputs[i], settings, &observer);
      }
      observer.PageDone(inputs[i], results[i]);
    }
  };
  const int threads = std::max(1, std::min<int>(settings.jobs, static_cast<int>(inputs.size())));
  // Pages processed side by side share the cores that a single page's passes would use.
  if (threads > 1) {
    const int cores = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    SetPixelThreads(std::max(1, cores / threads));
  }
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) pool.emplace_back(worker);
  worker();
  for (std::thread& t : pool) t.join();
  // Each finished page rewrote the report; this one also covers a run where none finished.
  if (settings.report) WriteHtmlReport(settings.outDir);
  return results;
}

}  // namespace vorlane::pipeline
