// The process-wide thread limit of the pixel passes.
#include "kernels/parallel/thread_setting.h"

#include <algorithm>
#include <atomic>

namespace vorlane::detail {
namespace {

std::atomic<int> g_threads{0};

}  // namespace

int SetThreadSetting(int threads) { return g_threads.exchange(std::max(threads, 0)); }

int ThreadSetting() { return g_threads.load(); }

}  // namespace vorlane::detail
