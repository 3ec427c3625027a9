// Timing harness of the side-by-side peer comparisons.
#include "bench/peers/measure.h"

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <vector>

namespace vorlane::bench {
namespace {

// Cold: buffers above 128 KiB are mapped fresh and the heap is trimmed on release. Warm:
// nothing is mapped or trimmed, released memory is reused.
void SetHeap(bool warm) {
  mallopt(M_MMAP_MAX, warm ? 0 : 65536);
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  mallopt(M_TRIM_THRESHOLD, warm ? INT32_MAX : 128 * 1024);
  malloc_trim(0);
}

// Processor time of the whole process (all threads) in milliseconds.
double ProcessCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

double Median(std::vector<double> values) {
  std::nth_element(values.begin(), values.begin() + static_cast<ptrdiff_t>(values.size() / 2),
                   values.end());
  return values[values.size() / 2];
}

}  // namespace

Times Measure(bool warm, int repetitions, const std::function<void()>& call,
              const std::function<void()>& release) {
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

Figures MeasureColdWarm(const std::string& name, int repetitions, const std::function<void()>& call,
                        const std::function<void()>& release) {
  Figures f{name, Measure(false, repetitions, call, release),
            Measure(true, repetitions, call, release), 0};
  return f;
}

void PrintHeader(const char* countHeading) {
  std::printf("%-46s %9s %9s %9s %9s %9s\n", "operation", "cold", "warm", "cold cpu", "warm cpu",
              countHeading);
}

void Print(const Figures& f) {
  std::printf("%-46s %9.2f %9.2f %9.2f %9.2f %9lld\n", f.name.c_str(), f.cold.wall, f.warm.wall,
              f.cold.cpu, f.warm.cpu, f.count);
}

bool Ratio(const Figures& ours, const Figures& peer, double target) {
  const double cold = ours.cold.wall / peer.cold.wall, warm = ours.warm.wall / peer.warm.wall;
  const bool met = warm <= target && cold <= target;
  std::printf("%-24s / %-40s cold %5.2fx  warm %5.2fx  (cpu: cold %5.2fx  warm %5.2fx)%s\n",
              ours.name.c_str(), peer.name.c_str(), cold, warm, ours.cold.cpu / peer.cold.cpu,
              ours.warm.cpu / peer.warm.cpu,
              target > 0 ? (met ? "  (target met)" : "  (target missed)") : "");
  return target <= 0 || met;
}

}  // namespace vorlane::bench
