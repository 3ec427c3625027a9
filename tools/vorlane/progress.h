// Progress on standard error and the interrupt request: a bar redrawn in place on a
// terminal, or one line per step for logs, fed by the library's keep-alive handler.
#pragma once

#include <chrono>
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

class Progress {
 public:
  Progress(ProgressMode mode, int files);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // A file enters a stage ("load", "threshold", "write", ...).
  void Stage(const std::string& file, const std::string& stage);
  // Rows done of the running stage (from the keep-alive handler); redraws at most 10 times
  // a second.
  void Step(int step, int steps);
  void FileDone();
  // Clears the bar so that the next line starts clean.
  void Clear();

 private:
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

// While alive, the calling thread's keep-alive handler feeds progress (may be null) and
// answers the interrupt request, so a running library operation sees the cancel request.
class KeepAliveScope {
 public:
  explicit KeepAliveScope(Progress* progress);
  ~KeepAliveScope();
  KeepAliveScope(const KeepAliveScope&) = delete;
  KeepAliveScope& operator=(const KeepAliveScope&) = delete;
};

}  // namespace vorlane::cli
