// Progress on standard error and the interrupt request: a bar redrawn in place on a
// terminal, or one line per step for logs, fed by the pipeline as its observer, with the
// outcome of each page of a batch.
#pragma once

#include <vorlane/pipeline/batch.h>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>

namespace vorlane::cli {

enum class ProgressMode { none, bar, plain };

// "auto" gives a bar when standard error is a terminal and nothing otherwise; "bar",
// "plain" and "none" are taken as they are; quiet gives none whatever the text says.
ProgressMode ChooseProgressMode(const std::string& text, bool quiet);

// Ctrl-C (SIGINT) and SIGTERM set the interrupt request; a second Ctrl-C ends the process
// at once.
void InstallInterruptHandler();
bool InterruptRequested();
void RequestInterrupt();
void ClearInterrupt();

class Progress : public pipeline::Observer {
 public:
  Progress(ProgressMode mode, int files);
  ~Progress() override;
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // A file enters a stage ("load", "threshold", "write", ...).
  void Stage(const std::string& file, const std::string& stage) override;
  // The batch's pages are listed: they are the count shown.
  void Listed(size_t pages) override;
  // Rows done of the running stage (from the keep-alive handler); redraws at most 10 times
  // a second.
  void Step(int step, int steps) override;
  // Prints the outcome of a page (FILE followed by " page N" for the pages of a file of
  // several): "FILE: N components -> REPORT" or "FILE: skipped, REPORT
  // exists" on standard output, "vorlane: FILE: problem" (and warnings) on standard error;
  // then counts the file done.
  void PageDone(const std::filesystem::path& input, const pipeline::PageResult& result) override;
  // The interrupt request.
  bool StopRequested() override;
  // Clears the bar so that the next line starts clean.
  void Clear();

 private:
  void ClearLocked();
  void DrawLocked();

  ProgressMode m_mode;
  int m_files;
  int m_done = 0;
  std::string m_label;
  double m_fraction = 0.0;
  bool m_drawn = false;
  std::chrono::steady_clock::time_point m_lastDraw{};
  std::mutex m_mutex;
};

}  // namespace vorlane::cli
