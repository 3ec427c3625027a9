// The process-wide thread limit of the pixel passes.
#include "vorlane/threads.h"

#include <algorithm>
#include <atomic>

namespace vorlane {
namespace {

std::atomic<int> g_pixelThreads{0};

}  // namespace

int SetPixelThreads(int threads) { return g_pixelThreads.exchange(std::max(threads, 0)); }

int GetPixelThreads() { return g_pixelThreads.load(); }

}  // namespace vorlane
