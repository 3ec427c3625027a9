// One-pass run-based connected component labelling, shared by the component analyses of
// bi-level images and maps and by the bounding-box analysis: a member test, a label forest
// and a collector policy (run lists or boxes).
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "kernels/components/run.h"

namespace vorlane::detail {

// A byte test: passes when ((byte & mask) == value) != invert.
struct ByteTest {
  uint8_t mask;
  uint8_t value;
  bool invert;

  bool operator()(uint8_t byte) const { return ((byte & mask) == value) != invert; }
};

// Which bytes make runs: a run starts at a byte passing `start` and continues up to, not
// including, the next byte passing `stop`. At the end of the scanned columns an open run
// keeps the last column only when that column passes `start`.
struct RunTest {
  ByteTest start;
  ByteTest stop;
};

// Black pixels of a bi-level row: a run starts at a 0 byte and continues while the byte is
// not 1.
inline RunTest BlackPixelRuns() { return {{0xFF, 0, false}, {0xFF, 1, false}}; }

// Pixels of a map whose byte is of the type with label `label` under labelMode (2: byte
// equals label; 1: byte AND label non-zero; any other mode: never), or, with invert, the
// pixels that are not of that type.
inline RunTest MapTypeRuns(unsigned char labelMode, unsigned char label, bool invert) {
  ByteTest member{0, 0, true};  // never
  if (labelMode == 2) member = {0xFF, label, false};
  if (labelMode == 1) member = {label, 0, true};
  if (invert) member.invert = !member.invert;
  return {member, {member.mask, member.value, !member.invert}};
}

// Bit masks of the run starts and stops of one row: bit i of word i / 64 stands for the i-th
// scanned column. Columns past the scanned ones count as stops, so that every run ends.
class RowMasks {
 public:
  // Room for rows of up to `columns` scanned columns.
  explicit RowMasks(int columns)
      : words_(static_cast<size_t>(columns) / 64 + 1), start_(words_), stop_(words_) {}

  // Builds the masks of row[left..right) (right - left at most the columns given).
  void Build(const uint8_t* row, int left, int right, const RunTest& test) {
    const int n = right - left;
    const uint8_t* bytes = row + left;
    int i = 0;
    size_t w = 0;
#if defined(__SSE2__)
    // Whole words from four 16-byte blocks, kept in registers until stored.
    const Sse starts(test.start), stops(test.stop);
    for (; i + 64 <= n; i += 64, ++w) {
      const __m128i a = Load(bytes + i), b = Load(bytes + i + 16);
      const __m128i c = Load(bytes + i + 32), d = Load(bytes + i + 48);
      start_[w] =
          starts.Mask(a) | starts.Mask(b) << 16 | starts.Mask(c) << 32 | starts.Mask(d) << 48;
      stop_[w] = stops.Mask(a) | stops.Mask(b) << 16 | stops.Mask(c) << 32 | stops.Mask(d) << 48;
    }
#endif
    // The last, partial word, then stops for every column past the row.
    uint64_t startBits = 0, stopBits = 0;
    int k = 0;
#if defined(__SSE2__)
    for (; i + k + 16 <= n; k += 16) {
      const __m128i v = Load(bytes + i + k);
      startBits |= starts.Mask(v) << k;
      stopBits |= stops.Mask(v) << k;
    }
#endif
    for (; i + k < n; ++k) {
      startBits |= uint64_t{test.start(bytes[i + k])} << k;
      stopBits |= uint64_t{test.stop(bytes[i + k])} << k;
    }
    start_[w] = startBits;
    stop_[w] = stopBits | ~uint64_t{0} << k;
    used_ = w + 1;
  }

  // Finds the next run at or after offset `from` of the built row: [begin, stop) where begin
  // passes the start test and stop is the first stop after it (at most the column count).
  // Returns false when no run starts there; otherwise moves `from` past the stop.
  bool Next(int& from, int& begin, int& stop) const {
    size_t w = static_cast<size_t>(from) >> 6;
    if (w >= used_) return false;
    uint64_t m = start_[w] & (~uint64_t{0} << (from & 63));
    while (m == 0) {
      if (++w >= used_) return false;
      m = start_[w];
    }
    begin = static_cast<int>(w << 6) + __builtin_ctzll(m);
    // Stops exist at every column past the row, so this search always ends.
    const int after = begin + 1;
    w = static_cast<size_t>(after) >> 6;
    m = stop_[w] & (~uint64_t{0} << (after & 63));
    while (m == 0) m = stop_[++w];
    stop = static_cast<int>(w << 6) + __builtin_ctzll(m);
    from = stop + 1;
    return true;
  }

 private:
#if defined(__SSE2__)
  static __m128i Load(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  }

  // A byte test on 16 bytes at once, as a 16-bit mask.
  struct Sse {
    explicit Sse(const ByteTest& test)
        : mask(_mm_set1_epi8(static_cast<char>(test.mask))),
          value(_mm_set1_epi8(static_cast<char>(test.value))),
          flip(test.invert ? 0xFFFFu : 0u) {}
    uint64_t Mask(__m128i v) const {
      return static_cast<unsigned>(
                 _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(v, mask), value))) ^
             flip;
    }
    __m128i mask;
    __m128i value;
    unsigned flip;
  };
#endif

  size_t words_;
  std::vector<uint64_t> start_;
  std::vector<uint64_t> stop_;
  size_t used_ = 0;
};

// Labels in creation order with the merges between them: a merged label points at the label
// it went into, so that the label a finished run carries is found without relabelling.
class LabelForest {
 public:
  int Create() {
    const int label = static_cast<int>(parent_.size());
    parent_.push_back(label);
    ++alive_;
    return label;
  }
  // The alive label that `label` ended up in.
  int Find(int label) {
    while (parent_[label] != label) {
      parent_[label] = parent_[parent_[label]];
      label = parent_[label];
    }
    return label;
  }
  // Marks the alive label `from` as merged into the alive label `into`.
  void Merge(int from, int into) {
    parent_[from] = into;
    --alive_;
  }
  bool Alive(int label) const { return parent_[label] == label; }
  int Count() const { return static_cast<int>(parent_.size()); }
  int AliveCount() const { return alive_; }

 private:
  std::vector<int> parent_;
  int alive_ = 0;
};

// One run of a row buffer.
struct BufferedRun {
  int xl;
  int xr;
  int label;
};

// Labels the runs of rows[top..bottom) between columns left and right (exclusive) in one
// pass, top row first. Each run takes the label of the first run of the row above that
// touches it (columns overlap, widened by one for 8-connectivity); every further touching
// run of another label merges that label into it; a run touching nothing makes a new label.
// The collector sees, in this order of events, Create(label, y, xl, xr), Add(label, y, xl,
// xr) and Merge(from, into); labels count from 0 in creation order. keepAlive(rowsDone,
// rowCount) runs at the start of every row. Returns the label forest, which tells the alive
// labels. Requires left <= right, top <= bottom and rows valid for the rows and columns
// scanned.
template <typename Collector, typename KeepAlive>
LabelForest LabelRuns(const unsigned char* const* rows, int left, int top, int right, int bottom,
                      bool connect8, const RunTest& test, Collector& collector,
                      KeepAlive&& keepAlive) {
  LabelForest forest;
  const int reach = connect8 ? 1 : 0;
  // No row of w columns holds more than (w + 1) / 2 runs.
  const size_t capacity = static_cast<size_t>(right - left) / 2 + 1;
  std::vector<BufferedRun> previousRuns(capacity), currentRuns(capacity);
  BufferedRun* previous = previousRuns.data();
  BufferedRun* current = currentRuns.data();
  int previousCount = 0;
  RowMasks masks(right - left);
  for (int y = top; y < bottom; ++y) {
    keepAlive(y - top, bottom - top);
    const uint8_t* row = rows[y];
    int currentCount = 0;
    int p = 0;  // first run of the row above that may still touch a run of this row
    masks.Build(row, left, right, test);
    int from = 0, begin = 0, stop = 0;
    while (masks.Next(from, begin, stop)) {
      // The run's columns; an open run keeps the last column only when it is a member.
      const int xl = left + begin;
      int xr = left + stop - 1;
      if (left + stop == right && xr > xl && !test.start(row[xr])) --xr;

      // Join it to the touching runs of the row above, left to right.
      while (p < previousCount && previous[p].xr + reach < xl) ++p;
      int label = -1;
      for (int k = p; k < previousCount && previous[k].xl - reach <= xr; ++k) {
        const int other = forest.Find(previous[k].label);
        previous[k].label = other;
        if (label < 0) {
          label = other;
          collector.Add(label, y, xl, xr);
        } else if (other != label) {
          forest.Merge(other, label);
          collector.Merge(other, label);
        }
      }
      if (label < 0) {
        label = forest.Create();
        collector.Create(label, y, xl, xr);
      }
      current[currentCount++] = BufferedRun{xl, xr, label};
    }
    std::swap(previous, current);
    previousCount = currentCount;
  }
  return forest;
}

// Collects the runs of each label, kept sorted by row and then column at every step: a new
// run is always the last of its label, and a merge interleaves the two sorted lists, so the
// lists come out exactly as the appended lists would after sorting them.
class RunListCollector {
 public:
  struct RunList {
    std::unique_ptr<Run[]> runs;  // new[] array, as a component takes it over
    int count = 0;
    int capacity = 0;
  };

  void Create(int label, int y, int xl, int xr) {
    if (static_cast<size_t>(label) >= lists_.size()) lists_.resize(static_cast<size_t>(label) + 1);
    Add(label, y, xl, xr);
  }

  void Add(int label, int y, int xl, int xr) {
    RunList& list = lists_[static_cast<size_t>(label)];
    if (list.count == list.capacity) Grow(list, list.count + 1);
    list.runs[static_cast<size_t>(list.count++)] = Run{y, xl, xr};
  }

  void Merge(int from, int into) {
    RunList& a = lists_[static_cast<size_t>(into)];
    RunList& b = lists_[static_cast<size_t>(from)];
    const int total = a.count + b.count;
    if (a.capacity < total && b.capacity >= total) std::swap(a, b);
    if (a.capacity >= total) {
      MergeBackwards(a.runs.get(), a.count, b.runs.get(), b.count);
    } else {
      const int capacity = std::max(total, 2 * a.capacity);
      std::unique_ptr<Run[]> merged(new Run[static_cast<size_t>(capacity)]);
      std::merge(a.runs.get(), a.runs.get() + a.count, b.runs.get(), b.runs.get() + b.count,
                 merged.get(), Before);
      a.runs = std::move(merged);
      a.capacity = capacity;
    }
    a.count = total;
    b = RunList{};
  }

  // The run list of a label (empty once merged away); the caller may take the array.
  RunList& List(int label) { return lists_[static_cast<size_t>(label)]; }

 private:
  static bool Before(const Run& a, const Run& b) { return a.y != b.y ? a.y < b.y : a.xl < b.xl; }

  static void Grow(RunList& list, int needed) {
    const int capacity = std::max({needed, 2 * list.capacity, 16});
    std::unique_ptr<Run[]> runs(new Run[static_cast<size_t>(capacity)]);
    std::copy(list.runs.get(), list.runs.get() + list.count, runs.get());
    list.runs = std::move(runs);
    list.capacity = capacity;
  }

  // Merges the sorted b[0..nb) into the sorted a[0..na), which has room for na + nb runs,
  // filling from the back so that nothing is overwritten before it is read.
  static void MergeBackwards(Run* a, int na, const Run* b, int nb) {
    int i = na - 1;
    int j = nb - 1;
    for (int k = na + nb - 1; j >= 0; --k) {
      if (i >= 0 && Before(b[j], a[i])) {
        a[k] = a[i--];
      } else {
        a[k] = b[j--];
      }
    }
  }

  std::vector<RunList> lists_;
};

// Collects the bounding box of each label, edges inclusive.
class BoxCollector {
 public:
  struct Box {
    int left;
    int top;
    int right;
    int bottom;
  };

  void Create(int label, int y, int xl, int xr) {
    if (static_cast<size_t>(label) >= boxes_.size()) boxes_.resize(static_cast<size_t>(label) + 1);
    boxes_[static_cast<size_t>(label)] = Box{xl, y, xr, y};
  }

  void Add(int label, int y, int xl, int xr) {
    Box& box = boxes_[static_cast<size_t>(label)];
    box.left = std::min(box.left, xl);
    box.right = std::max(box.right, xr);
    box.bottom = std::max(box.bottom, y);
  }

  void Merge(int from, int into) {
    Box& a = boxes_[static_cast<size_t>(into)];
    const Box& b = boxes_[static_cast<size_t>(from)];
    a.left = std::min(a.left, b.left);
    a.top = std::min(a.top, b.top);
    a.right = std::max(a.right, b.right);
    a.bottom = std::max(a.bottom, b.bottom);
  }

  const Box& BoxOf(int label) const { return boxes_[static_cast<size_t>(label)]; }

 private:
  std::vector<Box> boxes_;
};

}  // namespace vorlane::detail
