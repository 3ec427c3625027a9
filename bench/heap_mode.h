// Cold and warm heaps for benchmarks that allocate page-sized buffers.
#pragma once

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdint>

namespace vorlane::bench {

// Heap behaviour for the duration of a benchmark. Cold (argument 0): every buffer above
// 128 KiB is mapped fresh and returned on release, so each store or load pays for its new
// pages. Warm (argument 1): nothing is mapped or trimmed, so the pages that one iteration
// releases serve the next. Fixed thresholds are left behind (glibc's adaptive threshold
// cannot be restored).
class HeapMode {
 public:
  explicit HeapMode(const benchmark::State& state) : HeapMode(state.range(0) != 0) {}
  explicit HeapMode(bool warm) : m_warm(warm) { Set(m_warm); }
  ~HeapMode() { Set(false); }
  HeapMode(const HeapMode&) = delete;
  HeapMode& operator=(const HeapMode&) = delete;
  bool Warm() const { return m_warm; }

 private:
  static void Set(bool warm) {
    mallopt(M_MMAP_MAX, warm ? 0 : 65536);
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    mallopt(M_TRIM_THRESHOLD, warm ? INT32_MAX : 128 * 1024);
  }
  bool m_warm;
};

}  // namespace vorlane::bench
