// Row bands: a page-sized pixel pass split into horizontal bands that run on the processor's
// cores at once. Each band is a contiguous range of rows handed to the same function; the
// function must write only the rows of its band (and state of its own band), so the result
// is the one a single pass gives.
#pragma once

#include <algorithm>
#include <cstdint>
#include <system_error>
#include <thread>
#include <vector>

#include "kernels/parallel/thread_setting.h"

namespace vorlane::detail {

// Below this many pixels (or bytes) of work per band a pass stays on the calling thread:
// starting a thread costs tens of microseconds.
inline constexpr std::int64_t kMinWorkPerBand = 1 << 19;
inline constexpr int kMaxBands = 8;

// The bands of rows [begin, end) for a pass of `work` units: one per thread the setting
// allows (one per core by default), at most kMaxBands, each with at least kMinWorkPerBand
// units and one row.
class RowBands {
 public:
  RowBands(int begin, int end, std::int64_t work)
      : m_begin(begin), m_rows(std::max(end - begin, 0)) {
    static const int cores = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    const int setting = ThreadSetting();
    const std::int64_t threads = setting > 0 ? setting : cores;
    const std::int64_t byWork = work / kMinWorkPerBand;
    m_count = static_cast<int>(std::max<std::int64_t>(
        1, std::min<std::int64_t>({threads, kMaxBands, byWork, std::max(m_rows, 1)})));
  }

  int Count() const { return m_count; }
  int First(int band) const {
    return m_begin + static_cast<int>(static_cast<std::int64_t>(m_rows) * band / m_count);
  }

  // Calls fn(band, first, last) for every band, the bands at once. Band 0 runs on the
  // calling thread; a band whose thread cannot be started runs there too. fn must not throw.
  template <class Fn>
  void Run(Fn&& fn) const {
    if (m_rows == 0) return;
    std::vector<std::jthread> threads;
    if (m_count > 1) threads.reserve(static_cast<size_t>(m_count - 1));
    for (int band = 1; band < m_count; ++band) {
      const int first = First(band), last = First(band + 1);
      try {
        threads.emplace_back([&fn, band, first, last] { fn(band, first, last); });
      } catch (const std::system_error&) {
        fn(band, first, last);
      }
    }
    fn(0, m_begin, First(1));
  }

 private:
  int m_begin, m_rows, m_count;
};

// Calls fn(first, last) for the bands of rows [begin, end), at once when the work is large.
template <class Fn>
void ForEachRowBand(int begin, int end, std::int64_t work, Fn&& fn) {
  RowBands(begin, end, work).Run([&fn](int, int first, int last) { fn(first, last); });
}

}  // namespace vorlane::detail
