// Side-by-side timing of the peer comparisons: medians of repeated runs with a cold heap
// (fresh pages for every buffer) and a warm one (released memory reused).
#pragma once

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <vector>

namespace vorlane::bench {

inline constexpr int kRepetitions = 21;

// Cold: buffers above 128 KiB are mapped fresh and the heap is trimmed on release, so every
// call pays for its new pages. Warm: nothing is mapped or trimmed, released memory is reused.
inline void SetHeap(bool warm) {
  mallopt(M_MMAP_MAX, warm ? 0 : 65536);
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  mallopt(M_TRIM_THRESHOLD, warm ? INT32_MAX : 128 * 1024);
  malloc_trim(0);
}

// Processor time of the whole process (all threads) in milliseconds.
inline double ProcessCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

inline double Median(std::vector<double> values) {
  std::nth_element(values.begin(), values.begin() + static_cast<ptrdiff_t>(values.size() / 2),
                   values.end());
  return values[values.size() / 2];
}

struct Times {
  double wall;  // median wall time, ms
  double cpu;   // median processor time of all threads, ms
};

// Median times of call(), each run preceded by an untimed release() of what the previous run
// produced, so that every run makes its outputs anew (from fresh pages when cold, from the
// kept heap when warm). The warm figures follow one untimed run.
inline Times Measure(bool warm, const std::function<void()>& call,
                     const std::function<void()>& release) {
  SetHeap(warm);
  if (warm) call();
  std::vector<double> wall, cpu;
  for (int i = 0; i < kRepetitions; ++i) {
    release();
    const double cpuStart = ProcessCpuMs();
    const auto start = std::chrono::steady_clock::now();
    call();
    const auto stop = std::chrono::steady_clock::now();
    cpu.push_back(ProcessCpuMs() - cpuStart);
    wall.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
  }
  release();
  SetHeap(false);
  return {Median(wall), Median(cpu)};
}

}  // namespace vorlane::bench
