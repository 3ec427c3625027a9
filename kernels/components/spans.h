// Row spans for component kernels: the pixel set of a run list as merged spans per row,
// and the span arithmetic (union, intersection, difference, erosion) the measurements use.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "kernels/components/run.h"
#include "platform/types.h"

namespace vorlane::detail {

// Index of the first run of row y or a later row in runs[0..count) (sorted by y).
int RowBegin(const Run* runs, int count, int y);
// One past the last run of row y or an earlier row.
int RowEnd(const Run* runs, int count, int y);
// First run in runs[begin..end), the runs of one row, whose xr is at least x; end when none.
// The row's runs must be sorted and disjoint, so that their xr ascend as well.
int FirstEndingAtOrAfter(const Run* runs, int begin, int end, int x);
// True when a run of sorted, disjoint runs holds pixel (x, y).
bool RunsContain(const Run* runs, int count, int x, int y);

// Columns l..r of one row, both inclusive (l <= r).
struct Span {
  int l;
  int r;
};

using SpanView = std::span<const Span>;

// Appends [l, r] to out, joining it with the last span when they overlap or touch.
// Spans must come in order of l.
void AppendSpan(std::vector<Span>& out, int l, int r);

// Set operations on sorted, disjoint, non-touching span lists; results are of the same kind
// and are appended to out.
void UniteSpans(SpanView a, SpanView b, std::vector<Span>& out);
void IntersectSpans(SpanView a, SpanView b, std::vector<Span>& out);
void SubtractSpans(SpanView a, SpanView b, std::vector<Span>& out);
// Columns x with x - 1, x and x + 1 all in a: [l + 1, r - 1] of every span that long.
void ErodeSpans(SpanView a, std::vector<Span>& out);
// Number of columns in both a and (b shifted right by shift).
int64_t OverlapSpans(SpanView a, SpanView b, int shift);

// The pixel set of a run list as rows of merged spans, rows in ascending order. Runs in any
// order, overlapping or touching, are accepted: the table holds their union.
class CoverTable {
 public:
  struct Row {
    int y;
    int begin;  // index of the row's first span
    int end;    // one past its last span
  };

  CoverTable(const Run* runs, int count);

  const std::vector<Row>& Rows() const { return m_rows; }
  SpanView Spans(const Row& row) const {
    return SpanView(m_spans.data() + row.begin, static_cast<size_t>(row.end - row.begin));
  }
  // The spans of row y; empty when the row holds no pixel.
  SpanView SpansOfRow(int y) const;
  // Number of pixels in the set.
  int64_t PixelCount() const { return m_pixels; }

 private:
  std::vector<Span> m_spans;
  std::vector<Row> m_rows;
  int64_t m_pixels = 0;
};

// Canonical runs (sorted, disjoint, maximal) of a covering table, appended to out.
void TableToRuns(const CoverTable& table, std::vector<Run>& out);
// Canonical runs of a union b, a minus b and a intersected with b.
void UniteTables(const CoverTable& a, const CoverTable& b, std::vector<Run>& out);
void SubtractTables(const CoverTable& a, const CoverTable& b, std::vector<Run>& out);
// Number of pixels p of a for which p + (dx, dy) lies in b.
int64_t OverlapTables(const CoverTable& a, const CoverTable& b, int dx, int dy);

// Points of the external border (pixels outside the set that are 8-adjacent to it) and of
// the internal border (pixels of the set with an 8-neighbour outside it), sorted by y then
// x, appended to out.
void ExternalBorderPoints(const CoverTable& table, std::vector<POINT>& out);
void InternalBorderPoints(const CoverTable& table, std::vector<POINT>& out);
// Canonical runs of the erosion by a 3 x 3 square: pixels whose eight neighbours are all in
// the set.
void ErodeTable(const CoverTable& table, std::vector<Run>& out);
// Ordered pairs of 8-adjacent pixels that both lie in the set.
int64_t InternalPairs(const CoverTable& table);

}  // namespace vorlane::detail
