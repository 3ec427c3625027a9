// The road on files: load, process, write, one page at a time on each worker thread.
#include "vorlane/pipeline/batch.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <system_error>
#include <thread>

#include "imageclasses/bilevelimage.h"
#include "imageclasses/greyscaleimage.h"
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
  const OutputNames names = NamesFor(settings.outDir, stem);
  const PageFacts facts = FactsOf(label, page);
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

PageResult ProcessInputFile(const fs::path& input, const RunSettings& settings,
                            Observer* observer) {
  const std::string stem = input.stem().string();
  if (settings.skipExisting && fs::exists(NamesFor(settings.outDir, stem).report)) {
    PageResult skipped;
    skipped.outcome = PageOutcome::skipped;
    skipped.names = NamesFor(settings.outDir, stem);
    return skipped;
  }
  if (observer) observer->Stage(input.string(), "load");
  LoadedPage page = LoadPage(input);
  if (!page.image) return ResultOf(Failed(page.error));
  if (observer && observer->StopRequested()) return ResultOf(Cancelled());
  return ProcessPageInMemory(*page.image, input.string(), stem, settings, observer);
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
  return results;
}

}  // namespace vorlane::pipeline
