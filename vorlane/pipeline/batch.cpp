// The road on files: load, process, write, one page at a time on each worker thread.
#include "vorlane/pipeline/batch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <system_error>
#include <thread>

#include "imageclasses/bilevelimage.h"
#include "imageclasses/greyscaleimage.h"
#include "vorlane/io/pages.h"
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

// The road and the outputs of a page in memory.
PageResult ProcessLoaded(CImage& page, const PageFacts& facts, const std::string& stem,
                         const RunSettings& settings, Observer* observer) {
  OutputNames names = NamesFor(settings.outDir, stem);
  // The report shows the page itself beside its results.
  if (settings.report) names.pageView = settings.outDir / (stem + "-original.png");
  const std::string label = facts.pageIndex > 0
                                ? facts.input + " page " + std::to_string(facts.pageIndex + 1)
                                : facts.input;
  ProcessOptions options = settings.process;
  options.stopRequested = StopOf(observer);
  if (observer) options.onStage = [&](const char* stage) { observer->Stage(label, stage); };
  ProcessResult result = ProcessPage(page, options);
  if (result.status == ProcessResult::Status::cancelled) return ResultOf(Cancelled());
  if (result.status == ProcessResult::Status::failed) return ResultOf(Failed(result.error));
  if (observer) observer->Stage(label, "write");
  bool views = settings.writeViews;
  PageResult done =
      ResultOf(WriteOutputs(facts, options, result, names, views, options.stopRequested,
                            TiffExportOptions{settings.compression, 0}));
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
void Observer::Listed(size_t) {}
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
  return ProcessPageInMemory(page, FactsOf(label, page), stem, settings, observer);
}

PageResult ProcessPageInMemory(CImage& page, const PageFacts& facts, const std::string& stem,
                               const RunSettings& settings, Observer* observer) {
  return Recorded(ProcessLoaded(page, facts, stem, settings, observer), facts.input, stem,
                  facts.pageIndex, settings);
}

std::string PageStem(const fs::path& input, int index, int pages) {
  std::string stem = input.stem().string();
  if (pages > 1) {
    char number[16];
    std::snprintf(number, sizeof number, "-p%04d", index + 1);
    stem += number;
  }
  return stem;
}

PageResult ProcessInputFile(const fs::path& input, const RunSettings& settings, Observer* observer,
                            int index) {
  const auto started = std::chrono::steady_clock::now();
  const std::string label =
      index > 0 ? input.string() + " page " + std::to_string(index + 1) : input.string();
  // The page count names the outputs, so a page whose report exists is skipped unloaded.
  std::string error;
  const int pages = CountPages(input, error);
  const auto placed = [&](PageResult r) {
    r.page = index;
    r.pages = pages;
    return r;
  };
  const std::string stem = PageStem(input, index, pages);
  if (settings.skipExisting && fs::exists(NamesFor(settings.outDir, stem).report)) {
    PageResult skipped;
    skipped.outcome = PageOutcome::skipped;
    skipped.names = NamesFor(settings.outDir, stem);
    return placed(Recorded(skipped, input.string(), stem, index, settings));
  }
  if (observer) observer->Stage(label, "load");
  LoadedPage page = LoadPage(input, index);
  if (!page.image)
    return placed(Recorded(ResultOf(Failed(page.error)), input.string(), stem, index, settings));
  if (observer && observer->StopRequested()) return placed(ResultOf(Cancelled()));
  if (settings.dpi > 0 && !HasResolution(page.image->GetDPI())) page.image->SetDPI(settings.dpi);
  PageFacts facts = FactsOf(input.string(), *page.image);
  facts.pageIndex = index;
  facts.pageCount = page.pageCount;
  facts.started = started;
  return placed(ProcessPageInMemory(*page.image, facts, stem, settings, observer));
}

std::vector<PageTask> ListPages(const std::vector<fs::path>& inputs,
                                const PageSelection& selection) {
  std::vector<PageTask> tasks;
  for (const fs::path& input : inputs) {
    std::string error;
    const int pages = CountPages(input, error);
    if (pages <= 0) {
      tasks.push_back({input, 0, 0, error});
      continue;
    }
    const size_t before = tasks.size();
    for (int i = 0; i < pages; ++i)
      if (Selects(selection, i + 1)) tasks.push_back({input, i, pages, {}});
    if (tasks.size() == before) {
      tasks.push_back({input, 0, pages,
                       "the selected pages are not in the file (it has " + std::to_string(pages) +
                           (pages == 1 ? " page)" : " pages)")});
    }
  }
  return tasks;
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
  const std::vector<PageTask> tasks = ListPages(inputs, settings.pages);
  observer.Listed(tasks.size());
  std::vector<PageResult> results(tasks.size());
  // Two pages with one stem would write the same outputs: the later ones fail.
  std::map<std::string, size_t> firstOfStem;
  std::vector<bool> settled(tasks.size(), false);
  for (size_t i = 0; i < tasks.size(); ++i) {
    const PageTask& task = tasks[i];
    results[i].page = task.index;
    results[i].pages = task.pages;
    if (!task.error.empty()) continue;  // failed when its turn comes
    const auto [it, fresh] = firstOfStem.emplace(PageStem(task.input, task.index, task.pages), i);
    if (!fresh) {
      settled[i] = true;
      results[i] = ResultOf(
          Failed("its outputs would overwrite those of " + tasks[it->second].input.string()));
      results[i].page = task.index;
      results[i].pages = task.pages;
    }
  }

  std::atomic<size_t> next{0};
  const auto worker = [&] {
    KeepAliveScope keepAlive(&observer);
    for (size_t i = next++; i < tasks.size(); i = next++) {
      if (!settled[i]) {
        if (observer.StopRequested()) {
          results[i] = ResultOf(Cancelled());
          continue;
        }
        if (tasks[i].error.empty()) {
          results[i] = ProcessInputFile(tasks[i].input, settings, &observer, tasks[i].index);
        } else {
          const PageTask& task = tasks[i];
          results[i] = Recorded(ResultOf(Failed(task.error)), task.input.string(),
                                PageStem(task.input, 0, task.pages), 0, settings);
          results[i].pages = task.pages;
        }
      }
      observer.PageDone(tasks[i].input, results[i]);
    }
  };
  const int threads = std::max(1, std::min<int>(settings.jobs, static_cast<int>(tasks.size())));
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
