// The heaps that the benchmarks time under, shared by the Google benchmarks and the peer
// comparisons, and the count of page faults a call pays.
#pragma once

#include <malloc.h>
#include <sys/resource.h>

#include <cstdint>

namespace vorlane::bench {

enum class Heap {
  // Every buffer above 128 KiB is mapped fresh and returned on release: each call pays for
  // all its new pages.
  kCold,
  // Nothing is mapped or trimmed: the pages one call releases serve the next.
  kWarm,
  // The heap of a long-running host: glibc's adaptive thresholds as they settle once page
  // buffers have been released (blocks up to 32 MiB from the kept heap, larger ones mapped
  // fresh for every call, the top trimmed beyond 64 MiB).
  kHost,
};

// Sets the thresholds of heap. Fixed thresholds are left behind (glibc's adaptive threshold
// cannot be restored).
inline void SetHeap(Heap heap) {
  constexpr int kMiB = 1 << 20;
  mallopt(M_MMAP_MAX, heap == Heap::kWarm ? 0 : 65536);
  mallopt(M_MMAP_THRESHOLD, heap == Heap::kHost ? 32 * kMiB : 128 * 1024);
  mallopt(M_TRIM_THRESHOLD,
          heap == Heap::kWarm ? INT32_MAX : (heap == Heap::kHost ? 64 * kMiB : 128 * 1024));
  if (heap != Heap::kWarm) malloc_trim(0);
}

// Minor page faults of the process so far (pages handed out by the system on first touch).
inline long PageFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

}  // namespace vorlane::bench
