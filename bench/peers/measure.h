// Timing harness of the side-by-side peer comparisons: cold and warm heaps, medians of wall
// and processor time over repeated runs, and the printing of figures and ratios.
#pragma once

#include <functional>
#include <string>

namespace vorlane::bench {

struct Times {
  double wall;  // median wall time, ms
  double cpu;   // median processor time of all threads, ms
};

// One operation measured cold and warm, with a count that the comparison checks (components,
// pixels, bytes; 0 when there is nothing to compare).
struct Figures {
  std::string name;
  Times cold;
  Times warm;
  long long count = 0;
};

// Median times of repetitions runs of call(), each preceded by an untimed release() of what
// the previous run produced, so that every run makes its outputs anew. Cold: buffers above
// 128 KiB are mapped fresh and the heap is trimmed on release, so every call pays for its new
// pages. Warm: nothing is mapped or trimmed, released memory is reused; the warm figures
// follow one untimed run.
Times Measure(bool warm, int repetitions, const std::function<void()>& call,
              const std::function<void()>& release);

// Measure, cold then warm, under name.
Figures MeasureColdWarm(const std::string& name, int repetitions, const std::function<void()>& call,
                        const std::function<void()>& release);

// The column headings of Print.
void PrintHeader(const char* countHeading);
// One line: name, cold and warm wall and processor medians, count.
void Print(const Figures& f);

// Prints ours / peer for cold and warm; with target > 0 also whether both wall ratios are at
// most target. Returns false when a target was missed.
bool Ratio(const Figures& ours, const Figures& peer, double target);

}  // namespace vorlane::bench
