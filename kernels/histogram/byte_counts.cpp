// Byte value counting with interleaved tables, eight bytes per load.
#include "kernels/histogram/byte_counts.h"

#include <algorithm>
#include <cstring>

namespace vorlane::detail {
namespace {

// Folding before this many values keeps every 32-bit counter exact.
constexpr std::int64_t kFoldAt = std::int64_t{1} << 31;
// Entries of one table of value pairs.
constexpr int kPairEntries = 1 << 16;

}  // namespace

ByteCounts::ByteCounts() {
  std::memset(m_tables, 0, sizeof m_tables);
  std::memset(m_totals, 0, sizeof m_totals);
}

void ByteCounts::Add(const unsigned char* values, int count) {
  if (count <= 0) return;
  if (m_pending + count > kFoldAt) Fold();
  m_pending += count;
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    std::uint64_t w;
    std::memcpy(&w, values + i, sizeof w);
    ++m_tables[0][w & 0xFF];
    ++m_tables[1][(w >> 8) & 0xFF];
    ++m_tables[2][(w >> 16) & 0xFF];
    ++m_tables[3][(w >> 24) & 0xFF];
    ++m_tables[4][(w >> 32) & 0xFF];
    ++m_tables[5][(w >> 40) & 0xFF];
    ++m_tables[6][(w >> 48) & 0xFF];
    ++m_tables[7][w >> 56];
  }
  for (; i < count; ++i) ++m_tables[i & (kTables - 1)][values[i]];
}

void ByteCounts::AddTaken(const unsigned char* values, const unsigned char* selectors,
                          const unsigned char* take, int count) {
  if (count <= 0) return;
  if (m_pending + count > kFoldAt) Fold();
  m_pending += count;
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    std::uint64_t w, s;
    std::memcpy(&w, values + i, sizeof w);
    std::memcpy(&s, selectors + i, sizeof s);
    // Eight equal selectors (a map is mostly runs of one label): all or none taken.
    if (s == (s & 0xFF) * 0x0101010101010101u) {
      if (!take[s & 0xFF]) continue;
      for (int k = 0; k < kTables; ++k) ++m_tables[k][(w >> (8 * k)) & 0xFF];
      continue;
    }
    for (int k = 0; k < kTables; ++k) {
      m_tables[k][(w >> (8 * k)) & 0xFF] += take[(s >> (8 * k)) & 0xFF];
    }
  }
  for (; i < count; ++i) m_tables[i & (kTables - 1)][values[i]] += take[selectors[i]];
}

const std::int64_t* ByteCounts::Totals() {
  Fold();
  return m_totals;
}

void ByteCounts::Fold() {
  for (int v = 0; v < 256; ++v) {
    std::int64_t sum = 0;
    for (int k = 0; k < kTables; ++k) sum += m_tables[k][v];
    m_totals[v] += sum;
  }
  std::memset(m_tables, 0, sizeof m_tables);
  m_pending = 0;
}

PairCounts::PairCounts() : m_table(kPairEntries, 0) { std::memset(m_totals, 0, sizeof m_totals); }

void PairCounts::Add(const std::uint16_t* pairs, int count) {
  if (count <= 0) return;
  if (m_pending + count > kFoldAt) Fold();
  m_pending += count;
  std::uint32_t* table = m_table.data();
#pragma GCC unroll 8
  for (int i = 0; i < count; ++i) ++table[pairs[i]];
}

const std::int64_t* PairCounts::Totals() {
  Fold();
  return m_totals;
}

void PairCounts::Fold() {
  const std::uint32_t* table = m_table.data();
  for (int b = 0; b < 256; ++b) {
    std::int64_t row = 0;
    for (int a = 0; a < 256; ++a) {
      const std::uint32_t c = table[(b << 8) | a];
      row += c;
      m_totals[a] += c;
    }
    m_totals[b] += row;
  }
  std::fill(m_table.begin(), m_table.end(), 0u);
  m_pending = 0;
}

}  // namespace vorlane::detail
