// Progress display on standard error and the interrupt request.
#include "progress.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>

namespace vorlane::cli {
namespace {

std::atomic<bool> g_interrupt{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void OnInterrupt(int) { g_interrupt.store(true); }

constexpr int kBarWidth = 24;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

}  // namespace

ProgressMode ChooseProgressMode(const std::string& text, bool quiet) {
  if (quiet || text == "none") return ProgressMode::none;
  if (text == "plain") return ProgressMode::plain;
  if (text == "bar") return ProgressMode::bar;
  return ::isatty(STDERR_FILENO) ? ProgressMode::bar : ProgressMode::none;
}

void InstallInterruptHandler() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;  // the second Ctrl-C takes the default way out
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

bool InterruptRequested() { return g_interrupt.load(); }
void RequestInterrupt() { g_interrupt.store(true); }
void ClearInterrupt() { g_interrupt.store(false); }

Progress::Progress(ProgressMode mode, int files) : m_mode(mode), m_files(files) {}

Progress::~Progress() { Clear(); }

void Progress::Stage(const std::string& file, const std::string& stage) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_label = file + ": " + stage;
  m_fraction = 0.0;
  if (m_mode == ProgressMode::plain) {
    std::fprintf(stderr, "[%d/%d] %s\n", m_done, m_files, m_label.c_str());
  } else if (m_mode == ProgressMode::bar) {
    DrawLocked();
  }
}

void Progress::Step(int step, int steps) {
  if (m_mode != ProgressMode::bar || steps <= 0) return;
  std::lock_guard<std::mutex> lock(m_mutex);
  m_fraction = static_cast<double>(step) / steps;
  if (std::chrono::steady_clock::now() - m_lastDraw >= kRedrawInterval) DrawLocked();
}

void Progress::Listed(size_t pages) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_files = static_cast<int>(pages);
}

void Progress::PageDone(const std::filesystem::path& file, const pipeline::PageResult& r) {
  using pipeline::PageOutcome;
  const std::string name =
      r.pages > 1 ? file.string() + " page " + std::to_string(r.page + 1) : file.string();
  const char* input = name.c_str();
  std::lock_guard<std::mutex> lock(m_mutex);
  ClearLocked();
  if (!r.warning.empty())
    std::fprintf(stderr, "vorlane: %s: warning: %s\n", input, r.warning.c_str());
  if (r.outcome == PageOutcome::failed)
    std::fprintf(stderr, "vorlane: %s: %s\n", input, r.message.c_str());
  else if (r.outcome == PageOutcome::written)
    std::printf("%s: %d components -> %s\n", input, r.components, r.names.report.c_str());
  else if (r.outcome == PageOutcome::skipped)
    std::printf("%s: skipped, %s exists\n", input, r.names.report.c_str());
  std::fflush(stdout);
  ++m_done;
  if (m_mode == ProgressMode::bar) DrawLocked();
}

bool Progress::StopRequested() { return InterruptRequested(); }

void Progress::Clear() {
  std::lock_guard<std::mutex> lock(m_mutex);
  ClearLocked();
}

void Progress::ClearLocked() {
  if (m_drawn) std::fputs("\r\x1b[K", stderr);
  m_drawn = false;
}

void Progress::DrawLocked() {
  const double overall = m_files > 0 ? (m_done + m_fraction) / m_files : 1.0;
  const int filled = static_cast<int>(overall * kBarWidth);
  char bar[kBarWidth + 1];
  for (int i = 0; i < kBarWidth; ++i) bar[i] = i < filled ? '#' : '-';
  bar[kBarWidth] = '\0';
  std::fprintf(stderr, "\r[%s] %3d%% %d/%d %s\x1b[K", bar, static_cast<int>(overall * 100), m_done,
               m_files, m_label.c_str());
  std::fflush(stderr);
  m_drawn = true;
  m_lastDraw = std::chrono::steady_clock::now();
}

}  // namespace vorlane::cli
