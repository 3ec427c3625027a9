// Timing of peer comparisons: medians of repeated runs, wall and processor time and page
// faults, warm (the operation alone on inputs made before it, the heap kept) and as a host
// pays it (a fresh input made from the page, then the operation, timed together).
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "bench/heap_settings.h"

namespace vorlane::bench::peers {

inline constexpr int kRepetitions = 21;

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
  double wall;    // median wall time, ms
  double cpu;     // median processor time of all threads, ms
  double faults;  // median minor page faults
};

// Median times of timed() under heap, each run preceded by an untimed release() of what the
// previous run produced, repetitions times (odd), after one untimed run.
inline Times MeasureUnder(Heap heap, const std::function<void()>& timed,
                          const std::function<void()>& release, int repetitions) {
  vorlane::bench::SetHeap(heap);
  if (heap != Heap::kCold) timed();
  std::vector<double> wall, cpu, faults;
  for (int i = 0; i < repetitions; ++i) {
    release();
    const long faultsStart = PageFaults();
    const double cpuStart = ProcessCpuMs();
    const auto start = std::chrono::steady_clock::now();
    timed();
    const auto stop = std::chrono::steady_clock::now();
    cpu.push_back(ProcessCpuMs() - cpuStart);
    faults.push_back(static_cast<double>(PageFaults() - faultsStart));
    wall.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
  }
  release();
  vorlane::bench::SetHeap(Heap::kCold);
  return {Median(wall), Median(cpu), Median(faults)};
}

// Median times of call(), each run preceded by an untimed release() of what the previous run
// produced, so that every run makes its outputs anew (from fresh pages when cold, from the
// kept heap when warm), repetitions times (odd). The warm figures follow one untimed run.
inline Times Measure(bool warm, const std::function<void()>& call,
                     const std::function<void()>& release, int repetitions = kRepetitions) {
  return MeasureUnder(warm ? Heap::kWarm : Heap::kCold, call, release, repetitions);
}

// The host's figure: fresh() makes the operation's input anew from the page, as a host makes
// an image for each page (a copy, a conversion, a new destination; for a peer, a clone),
// then call() runs on it, both timed together, on the heap of a long-running host; release()
// drops both, untimed. The page faults that fresh pages cost land in the figure, whichever
// of the two steps touches them first.
inline Times MeasureHost(const std::function<void()>& fresh, const std::function<void()>& call,
                         const std::function<void()>& release, int repetitions = kRepetitions) {
  return MeasureUnder(
      Heap::kHost,
      [&] {
        fresh();
        call();
      },
      release, repetitions);
}

// One row of a comparison: the host's and the warm medians of an operation, and what it
// found (components, regions, a checksum) where the peers are compared by a count; -1 when
// there is none.
struct Figures {
  std::string name;
  Times host;
  Times warm;
  long long count = -1;
};

// The host's figure of fresh() then call() and the warm figure of call() alone (on inputs
// made once, before, by fresh()), under name; release() drops what a run made and, for the
// warm figure, must leave what fresh() made.
inline Figures MeasureHostWarm(const std::string& name, const std::function<void()>& fresh,
                               const std::function<void()>& call,
                               const std::function<void()>& releaseOutputs,
                               const std::function<void()>& releaseInputs,
                               int repetitions = kRepetitions) {
  Figures f{name, {}, {}};
  f.host = MeasureHost(
      fresh, call,
      [&] {
        releaseOutputs();
        releaseInputs();
      },
      repetitions);
  fresh();
  f.warm = Measure(true, call, releaseOutputs, repetitions);
  releaseInputs();
  return f;
}

// For an operation that makes its outputs anew from the page by itself (a load, a
// conversion, an estimate from a page it reads): the host's figure and the warm one of call(),
// under name; release() drops what a run made.
inline Figures MeasureMaking(const std::string& name, int repetitions,
                             const std::function<void()>& call,
                             const std::function<void()>& release) {
  return {name, MeasureHost([] {}, call, release, repetitions),
          Measure(true, call, release, repetitions)};
}

// The column headings of Print; countHeading names the last column.
inline void PrintHeader(const char* countHeading = "") {
  std::printf("%-46s %9s %9s %9s %9s %9s %s\n", "operation", "host", "warm", "host cpu", "warm cpu",
              "host flt", countHeading);
}

inline void Print(const Figures& f) {
  std::printf("%-46s %9.2f %9.2f %9.2f %9.2f %9.0f", f.name.c_str(), f.host.wall, f.warm.wall,
              f.host.cpu, f.warm.cpu, f.host.faults);
  if (f.count >= 0) std::printf(" %9lld", f.count);
  std::printf("\n");
}

// Prints ours / peer, the host's figure and warm, wall and processor time; with a target
// above 0, whether the host's wall ratio stays within it. False when a target was missed.
inline bool Ratio(const Figures& ours, const Figures& peer, double target) {
  const double host = ours.host.wall / peer.host.wall, warm = ours.warm.wall / peer.warm.wall;
  const bool met = host <= target;
  std::printf("%-28s / %-40s host %5.2fx  warm %5.2fx  (cpu: host %5.2fx  warm %5.2fx)%s\n",
              ours.name.c_str(), peer.name.c_str(), host, warm, ours.host.cpu / peer.host.cpu,
              ours.warm.cpu / peer.warm.cpu,
              target > 0 ? (met ? "  (target met)" : "  (target missed)") : "");
  return target <= 0 || met;
}

}  // namespace vorlane::bench::peers
