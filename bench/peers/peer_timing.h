// Timing of peer comparisons: medians of repeated runs, wall and processor time, with a cold
// heap (fresh pages for every large buffer) or a warm one (released memory reused).
#pragma once

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace vorlane::bench::peers {

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
// kept heap when warm), repetitions times (odd). The warm figures follow one untimed run.
inline Times Measure(bool warm, const std::function<void()>& call,
                     const std::function<void()>& release, int repetitions = kRepetitions) {
  SetHeap(warm);
  if (warm) call();
  std::vector<double> wall, cpu;
  for (int i = 0; i < repetitions; ++i) {
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

// One row of a comparison: cold and warm medians of a call, and what it found (components,
// regions, a checksum) where the peers are compared by a count; -1 when there is none.
struct Figures {
  std::string name;
  Times cold;
  Times warm;
  long long count = -1;
};

// Measures call cold, then warm, under name (count left at -1).
inline Figures MeasureColdWarm(const std::string& name, int repetitions,
                               const std::function<void()>& call,
                               const std::function<void()>& release) {
  return {name, Measure(false, call, release, repetitions),
          Measure(true, call, release, repetitions)};
}

// The column headings of Print; countHeading names the last column.
inline void PrintHeader(const char* countHeading) {
  std::printf("%-46s %9s %9s %9s %9s %9s\n", "operation", "cold", "warm", "cold cpu", "warm cpu",
              countHeading);
}

inline void Print(const Figures& f) {
  std::printf("%-46s %9.2f %9.2f %9.2f %9.2f", f.name.c_str(), f.cold.wall, f.warm.wall, f.cold.cpu,
              f.warm.cpu);
  if (f.count >= 0) std::printf(" %9lld", f.count);
  std::printf("\n");
}

// Prints ours / peer, cold and warm, wall and processor time; with a target above 0, whether
// both wall ratios stay within it. False when a target was missed.
inline bool Ratio(const Figures& ours, const Figures& peer, double target) {
  const double cold = ours.cold.wall / peer.cold.wall, warm = ours.warm.wall / peer.warm.wall;
  const bool met = warm <= target && cold <= target;
  std::printf("%-28s / %-46s cold %5.2fx  warm %5.2fx  (cpu: cold %5.2fx  warm %5.2fx)%s\n",
              ours.name.c_str(), peer.name.c_str(), cold, warm, ours.cold.cpu / peer.cold.cpu,
              ours.warm.cpu / peer.warm.cpu,
              target > 0 ? (met ? "  (target met)" : "  (target missed)") : "");
  return target <= 0 || met;
}

}  // namespace vorlane::bench::peers
