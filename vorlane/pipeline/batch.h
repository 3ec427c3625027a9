// Running the road on page files: one page per call, or a batch over several threads, with
// progress and stop requests through an observer.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/hooks.h"
#include "vorlane/io/tiff_export.h"
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
  // The pages of each file that RunBatch processes, as ranges of page numbers from 1
  // (inclusive); empty: every page.
  PageSelection pages;
  // The resolution given to pages whose file has none (HasResolution false); 0: none given.
  int dpi = 0;
  TiffCompression compression = TiffCompression::g4;  // of the bi-level TIFF
  // The HTML report of outDir (WriteHtmlReport) rewritten as each page finishes and at the
  // end of RunBatch; a failed page then leaves its error record (WritePageError).
  bool report = false;
};

// The outcome of one page with what it wrote.
struct PageResult : PageStatus {
  int page = 0;         // the page's index in its file, from 0
  int pages = 1;        // the pages of its file (0 when the file could not be opened)
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
  // RunBatch has listed the pages it will process (before any is begun).
  virtual void Listed(size_t pages);
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
// The same with the facts of the page as its file gave them (FactsOf, with its page index).
PageResult ProcessPageInMemory(CImage& page, const PageFacts& facts, const std::string& stem,
                               const RunSettings& settings, Observer* observer);

// The output stem of page index (from 0) of a file of pages pages: the file's stem, followed
// by "-p0001" (the page number) when the file has more than one page.
std::string PageStem(const std::filesystem::path& input, int index, int pages);

// Loads page index of input (LoadPage) and runs ProcessPageInMemory on it under its
// PageStem; with settings.skipExisting, a page whose report exists is skipped. A page
// without resolution gets settings.dpi. observer may be null. The page's time counts from
// before it is loaded; records and report as ProcessPageInMemory.
PageResult ProcessInputFile(const std::filesystem::path& input, const RunSettings& settings,
                            Observer* observer, int index = 0);

// One page of a batch: input's page index of pages, or the file's error when it could not
// be opened (index 0, pages 0).
struct PageTask {
  std::filesystem::path input;
  int index = 0;
  int pages = 1;
  std::string error;
};

// The pages of every input that selection names (every page when it is empty), in order:
// files that cannot be opened give one task with their error, and so do files of which the
// selection names no page.
std::vector<PageTask> ListPages(const std::vector<std::filesystem::path>& inputs,
                                const PageSelection& selection);

// The page files named by inputs: files as given (whatever their kind, so that a wrong one is
// reported), folders replaced by the .tif, .tiff and .vlx files directly inside, sorted.
std::vector<std::filesystem::path> ExpandInputs(const std::vector<std::string>& inputs);

// Processes the selected pages of every input (ListPages) with settings.jobs threads, each
// under a KeepAliveScope, one page file loaded per page; pages whose stem an earlier page
// has fail, as their outputs would overwrite its. Several jobs share the processor's cores
// (SetPixelThreads). Returns one result per page, in order.
std::vector<PageResult> RunBatch(const std::vector<std::filesystem::path>& inputs,
                                 const RunSettings& settings, Observer& observer);

}  // namespace vorlane::pipeline
