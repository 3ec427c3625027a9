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

#include "imageclasses/comp.h"

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

// First column in [x, end) of row whose byte passes test; end when there is none. Scans 16
// bytes at a time where the processor allows.
inline int FindByte(const uint8_t* row, int x, int end, const ByteTest& test) {
#if defined(__SSE2__)
  const __m128i mask = _mm_set1_epi8(static_cast<char>(test.mask));
  const __m128i value = _mm_set1_epi8(static_cast<char>(test.value));
  const unsigned flip = test.invert ? 0xFFFFu : 0u;
  for (; x + 16 <= end; x += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
    const unsigned hits = static_cast<unsigned>(_mm_movemask_epi8(
                              _mm_cmpeq_epi8(_mm_and_si128(bytes, mask), value))) ^
                          flip;
    if (hits) return x + __builtin_ctz(hits);
  }
#endif
  for (; x < end; ++x) {
    if (test(row[x])) return x;
  }
  return end;
}

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
  for (int y = top; y < bottom; ++y) {
    keepAlive(y - top, bottom - top);
    const uint8_t* row = rows[y];
    int currentCount = 0;
    int p = 0;  // first run of the row above that may still touch a run of this row
    int x = left;
    while (x < right) {
      // Cut the next run out of the row.
      const int xl = FindByte(row, x, right, test.start);
      if (xl >= right) break;
      const int stop = FindByte(row, xl + 1, right, test.stop);
      int xr = stop - 1;
      if (stop == right && xr > xl && !test.start(row[xr])) --xr;
      x = stop + 1;

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
  using Run = CComp::tagCompRun;

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
    const int capacity = std::max({needed, 2 * list.capacity, 4});
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
