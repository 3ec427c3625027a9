// Row spans for component kernels: span arithmetic and the covering table of a run list.
#include "kernels/components/spans.h"

#include <algorithm>

namespace vorlane::detail {

namespace {

bool RunLess(const Run& a, const Run& b) { return a.y != b.y ? a.y < b.y : a.xl < b.xl; }

// Appends the spans of a widened by one column on each side, merged.
void DilateSpans(SpanView a, std::vector<Span>& out) {
  for (const Span& s : a) AppendSpan(out, s.l - 1, s.r + 1);
}

void AppendRuns(int y, SpanView spans, std::vector<Run>& out) {
  for (const Span& s : spans) out.push_back(Run{y, s.l, s.r});
}

}  // namespace

int RowBegin(const Run* runs, int count, int y) {
  return static_cast<int>(
      std::lower_bound(runs, runs + count, y, [](const Run& r, int v) { return r.y < v; }) - runs);
}

int RowEnd(const Run* runs, int count, int y) {
  return static_cast<int>(
      std::upper_bound(runs, runs + count, y, [](int v, const Run& r) { return v < r.y; }) - runs);
}

int FirstEndingAtOrAfter(const Run* runs, int begin, int end, int x) {
  return static_cast<int>(
      std::lower_bound(runs + begin, runs + end, x, [](const Run& r, int v) { return r.xr < v; }) -
      runs);
}

bool RunsContain(const Run* runs, int count, int x, int y) {
  // One search for the first run of row y ending at or after x (or of a later row).
  const Run* k = std::lower_bound(
      runs, runs + count, Run{y, x, x},
      [](const Run& r, const Run& key) { return r.y != key.y ? r.y < key.y : r.xr < key.xr; });
  return k != runs + count && k->y == y && k->xl <= x;
}

void AppendSpan(std::vector<Span>& out, int l, int r) {
  if (!out.empty() && static_cast<int64_t>(l) <= static_cast<int64_t>(out.back().r) + 1) {
    out.back().r = std::max(out.back().r, r);
    return;
  }
  out.push_back(Span{l, r});
}

void UniteSpans(SpanView a, SpanView b, std::vector<Span>& out) {
  size_t i = 0, j = 0;
  while (i < a.size() || j < b.size()) {
    const Span& s = (j >= b.size() || (i < a.size() && a[i].l <= b[j].l)) ? a[i++] : b[j++];
    AppendSpan(out, s.l, s.r);
  }
}

void IntersectSpans(SpanView a, SpanView b, std::vector<Span>& out) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const int l = std::max(a[i].l, b[j].l);
    const int r = std::min(a[i].r, b[j].r);
    if (l <= r) out.push_back(Span{l, r});
    if (a[i].r < b[j].r) {
      ++i;
    } else {
      ++j;
    }
  }
}

void SubtractSpans(SpanView a, SpanView b, std::vector<Span>& out) {
  size_t j = 0;
  for (const Span& s : a) {
    int l = s.l;
    // Skip the spans of b that end before this span starts.
    while (j < b.size() && b[j].r < l) ++j;
    size_t k = j;
    bool gone = false;
    while (k < b.size() && b[k].l <= s.r) {
      if (b[k].l > l) out.push_back(Span{l, b[k].l - 1});
      if (b[k].r >= s.r) {
        gone = true;
        break;
      }
      l = b[k].r + 1;
      ++k;
    }
    if (!gone) out.push_back(Span{l, s.r});
  }
}

void ErodeSpans(SpanView a, std::vector<Span>& out) {
  for (const Span& s : a) {
    if (static_cast<int64_t>(s.r) - s.l >= 2) out.push_back(Span{s.l + 1, s.r - 1});
  }
}

int64_t OverlapSpans(SpanView a, SpanView b, int shift) {
  int64_t total = 0;
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const int64_t bl = static_cast<int64_t>(b[j].l) + shift;
    const int64_t br = static_cast<int64_t>(b[j].r) + shift;
    const int64_t l = std::max<int64_t>(a[i].l, bl);
    const int64_t r = std::min<int64_t>(a[i].r, br);
    if (l <= r) total += r - l + 1;
    if (a[i].r < br) {
      ++i;
    } else {
      ++j;
    }
  }
  return total;
}

CoverTable::CoverTable(const Run* runs, int count) {
  if (!runs || count <= 0) return;
  std::vector<Run> sorted;
  if (!std::is_sorted(runs, runs + count, RunLess)) {
    sorted.assign(runs, runs + count);
    std::stable_sort(sorted.begin(), sorted.end(), RunLess);
    runs = sorted.data();
  }
  m_spans.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    const Run& run = runs[i];
    if (run.xl > run.xr) continue;
    if (m_rows.empty() || m_rows.back().y != run.y) {
      // A new row: its first span never joins the last span of the row before.
      const int at = static_cast<int>(m_spans.size());
      m_rows.push_back(Row{run.y, at, at});
      m_spans.push_back(Span{run.xl, run.xr});
    } else {
      AppendSpan(m_spans, run.xl, run.xr);
    }
    m_rows.back().end = static_cast<int>(m_spans.size());
  }
  for (const Span& s : m_spans) m_pixels += static_cast<int64_t>(s.r) - s.l + 1;
}

SpanView CoverTable::SpansOfRow(int y) const {
  auto it = std::lower_bound(m_rows.begin(), m_rows.end(), y,
                             [](const Row& row, int value) { return row.y < value; });
  if (it == m_rows.end() || it->y != y) return {};
  return Spans(*it);
}

void TableToRuns(const CoverTable& table, std::vector<Run>& out) {
  for (const auto& row : table.Rows()) AppendRuns(row.y, table.Spans(row), out);
}

void UniteTables(const CoverTable& a, const CoverTable& b, std::vector<Run>& out) {
  const auto& ra = a.Rows();
  const auto& rb = b.Rows();
  std::vector<Span> spans;
  size_t i = 0, j = 0;
  while (i < ra.size() || j < rb.size()) {
    if (j >= rb.size() || (i < ra.size() && ra[i].y < rb[j].y)) {
      AppendRuns(ra[i].y, a.Spans(ra[i]), out);
      ++i;
    } else if (i >= ra.size() || rb[j].y < ra[i].y) {
      AppendRuns(rb[j].y, b.Spans(rb[j]), out);
      ++j;
    } else {
      spans.clear();
      UniteSpans(a.Spans(ra[i]), b.Spans(rb[j]), spans);
      AppendRuns(ra[i].y, spans, out);
      ++i;
      ++j;
    }
  }
}

void SubtractTables(const CoverTable& a, const CoverTable& b, std::vector<Run>& out) {
  std::vector<Span> spans;
  for (const auto& row : a.Rows()) {
    spans.clear();
    SubtractSpans(a.Spans(row), b.SpansOfRow(row.y), spans);
    AppendRuns(row.y, spans, out);
  }
}

int64_t OverlapTables(const CoverTable& a, const CoverTable& b, int dx, int dy) {
  int64_t total = 0;
  for (const auto& row : a.Rows()) {
    const int64_t other = static_cast<int64_t>(row.y) + dy;
    if (other < INT32_MIN || other > INT32_MAX) continue;
    total += OverlapSpans(a.Spans(row), b.SpansOfRow(static_cast<int>(other)), -dx);
  }
  return total;
}

void ExternalBorderPoints(const CoverTable& table, std::vector<POINT>& out) {
  const auto& rows = table.Rows();
  std::vector<Span> ring, middle, merged, border;
  bool any = false;
  int64_t last = 0;
  for (const auto& row : rows) {
    // Every row next to a row of the set may hold border points, each visited once.
    for (int64_t r = static_cast<int64_t>(row.y) - 1; r <= static_cast<int64_t>(row.y) + 1; ++r) {
      if ((any && r <= last) || r < INT32_MIN || r > INT32_MAX) continue;
      any = true;
      last = r;
      const int y = static_cast<int>(r);
      // Columns within one of a pixel in this row or the rows above and below ...
      ring.clear();
      merged.clear();
      DilateSpans(r > INT32_MIN ? table.SpansOfRow(y - 1) : SpanView{}, ring);
      middle.clear();
      DilateSpans(table.SpansOfRow(y), middle);
      UniteSpans(ring, middle, merged);
      ring.clear();
      DilateSpans(r < INT32_MAX ? table.SpansOfRow(y + 1) : SpanView{}, ring);
      middle.clear();
      UniteSpans(merged, ring, middle);
      // ... that are not in the set themselves.
      border.clear();
      SubtractSpans(middle, table.SpansOfRow(y), border);
      for (const Span& s : border) {
        for (int64_t x = s.l; x <= s.r; ++x) out.push_back(POINT{static_cast<LONG>(x), y});
      }
    }
  }
}

namespace {

// Interior of row index i of the table: pixels whose eight neighbours are all in the set.
void RowInterior(const CoverTable& table, size_t i, std::vector<Span>& out,
                 std::vector<Span>& scratch1, std::vector<Span>& scratch2) {
  const auto& rows = table.Rows();
  const int y = rows[i].y;
  out.clear();
  // The rows above and below must be present as rows y - 1 and y + 1.
  if (i == 0 || i + 1 >= rows.size() || rows[i - 1].y != y - 1 || rows[i + 1].y != y + 1) {
    return;
  }
  scratch1.clear();
  scratch2.clear();
  ErodeSpans(table.Spans(rows[i]), scratch1);
  ErodeSpans(table.Spans(rows[i - 1]), scratch2);
  std::vector<Span> both;
  IntersectSpans(scratch1, scratch2, both);
  scratch1.clear();
  ErodeSpans(table.Spans(rows[i + 1]), scratch1);
  IntersectSpans(both, scratch1, out);
}

}  // namespace

void InternalBorderPoints(const CoverTable& table, std::vector<POINT>& out) {
  const auto& rows = table.Rows();
  std::vector<Span> interior, border, s1, s2;
  for (size_t i = 0; i < rows.size(); ++i) {
    RowInterior(table, i, interior, s1, s2);
    border.clear();
    SubtractSpans(table.Spans(rows[i]), interior, border);
    for (const Span& s : border) {
      for (int64_t x = s.l; x <= s.r; ++x) {
        out.push_back(POINT{static_cast<LONG>(x), rows[i].y});
      }
    }
  }
}

void ErodeTable(const CoverTable& table, std::vector<Run>& out) {
  const auto& rows = table.Rows();
  std::vector<Span> interior, s1, s2;
  for (size_t i = 0; i < rows.size(); ++i) {
    RowInterior(table, i, interior, s1, s2);
    AppendRuns(rows[i].y, interior, out);
  }
}

int64_t InternalPairs(const CoverTable& table) {
  int64_t total = 0;
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) {
      if (dx != 0 || dy != 0) total += OverlapTables(table, table, dx, dy);
    }
  }
  return total;
}

}  // namespace vorlane::detail
