// Running the road on page files: one page per call, or a batch over several threads, with
// progress and stop requests through an observer.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/hooks.h"
#include "vorlane/pipeline/outputs.h"
#include "vorlane/pipeline/vocabulary.h"
#include "vorlane/process.h"

class CImage;

namespace vorlane::pipeline {

struct RunSettings {
  ProcessOptions process;  // its callbacks are set per page
  std::filesystem::path outDir = ".";
  bool skipExisting = false;
  bool writeViews = true;  // the PNG views (when the library renders display bitmaps)
  int jobs = 1;            // pages processed at once by RunBatch, one per thread
  // The HTML report of outDir (WriteHtmlReport) rewritten as each page finishes and at the
  // end of RunBatch; a failed page then leaves its error record (WritePageError).
  bool report = false;
};

// The outcome of one page with what it wrote.
struct PageResult : PageStatus {
  std::string warning;  // what is missing from a written page
  bool views = false;   // whether the PNG views were written
  OutputNames names;
  int components = 0;
};

// Told what the pipeline does; every member may be called from several worker threads at
// once, so an observer guards its own state. The defaults do nothing and never stop.
class Observer {
 public:
  virtual ~Observer() = default;
  // A page enters a stage: "load", then the stages of ProcessPage, then "write".
  virtual void Stage(const std::string& page, const std::string& stage);
  // Rows done of the running stage, from the keep-alive handler of KeepAliveScope.
  virtual void Step(int step, int steps);
  // A page of RunBatch is finished (written, skipped or failed; not a cancelled one).
  virtual void PageDone(const std::filesystem::path& input, const PageResult& result);
  // Polled between stages, files and, through KeepAliveScope, rows; true stops the pages
  // that run and those not yet begun.
  virtual bool StopRequested();
};

// While alive, the calling thread's keep-alive handler feeds observer's Step (observer may be
// null) and answers its stop request, so that a running library operation sees it. The
// previous handler is restored afterwards.
class KeepAliveScope {
 public:
  explicit KeepAliveScope(Observer* observer);
  ~KeepAliveScope();
  KeepAliveScope(const KeepAliveScope&) = delete;
  KeepAliveScope& operator=(const KeepAliveScope&) = delete;

 private:
  KeepAliveHandler m_previous;
};

// Runs the road on a page already in memory and writes its outputs into settings.outDir
// under stem; label names it in the report and the stages. observer may be null. A written
// page removes an error record left by an earlier run; with settings.report a failed page
// leaves one, and the HTML report is rewritten (a failure to write it is the warning).
PageResult ProcessPageInMemory(CImage& page, const std::string& label, const std::string& stem,
                               const RunSettings& settings, Observer* observer);

// Loads input (LoadPage) and runs ProcessPageInMemory on it under the input's stem; with
// settings.skipExisting, a page whose report exists is skipped. observer may be null. The
// page's time counts from before it is loaded; records and report as ProcessPageInMemory.
PageResult ProcessInputFile(const std::filesystem::path& input, const RunSettings& settings,
                            Observer* observer);

// The page files named by inputs: files as given (whatever their kind, so that a wrong one is
// reported), folders replaced by the .tif, .tiff and .vlx files directly inside, sorted.
std::vector<std::filesystem::path> ExpandInputs(const std::vector<std::string>& inputs);

// Processes every input with settings.jobs threads, each under a KeepAliveScope; inputs
// whose stem an earlier input has fail, as their outputs would overwrite its. Several jobs
// share the processor's cores (SetPixelThreads). Returns one result per input, in order.
std::vector<PageResult> RunBatch(const std::vector<std::filesystem::path>& inputs,
                                 const RunSettings& settings, Observer& observer);

}  // namespace vorlane::pipeline
