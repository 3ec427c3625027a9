// Fast counting of byte values, for histograms of whole pages.
#pragma once

#include <cstdint>
#include <vector>

namespace vorlane::detail {

// Counts of the 256 byte values over any number of Add calls. Eight tables of 32-bit counters
// take the increments in turn, so that a run of one value does not wait for each increment
// before the next; they are folded into 64-bit totals before any counter could overflow.
class ByteCounts {
 public:
  ByteCounts();
  // Counts values[0 .. count - 1].
  void Add(const unsigned char* values, int count);
  // Counts values[i] for the i below count whose take[selectors[i]] is 1 (take holds 0 or 1).
  void AddTaken(const unsigned char* values, const unsigned char* selectors,
                const unsigned char* take, int count);
  // The totals so far, 256 entries.
  const std::int64_t* Totals();

 private:
  void Fold();

  static constexpr int kTables = 8;
  std::uint32_t m_tables[kTables][256];
  std::int64_t m_totals[256];
  std::int64_t m_pending = 0;
};

// Counts of the 256 byte values taken two at a time: a pair a | b << 8 counts a and b with
// one increment of a 65536-entry table indexed by the pair. Where paired values are close
// (neighbouring pixels) the touched entries stay in the first-level cache, and half as many
// increments as single-value counting are made. Folded into 64-bit totals before any counter
// could overflow.
class PairCounts {
 public:
  PairCounts();
  // Counts both bytes of pairs[0 .. count - 1].
  void Add(const std::uint16_t* pairs, int count);
  // The totals of all values counted so far, 256 entries.
  const std::int64_t* Totals();

 private:
  void Fold();

  std::vector<std::uint32_t> m_table;
  std::int64_t m_totals[256];
  std::int64_t m_pending = 0;
};

}  // namespace vorlane::detail
