// Ink counts of a page cut into narrow vertical strips, and the row profile of the page
// sheared by an angle, built by shifting whole strips instead of touching pixels.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/types.h"

namespace vorlane::detail {

// Widths in columns of the strips: kSkewStripWidth - 8, kSkewStripWidth or
// kSkewStripWidth + 8 (whole 8-byte words, counted a word at a time), varying from strip to
// strip in a fixed irregular order. Narrow enough that the shift of a strip
// approximates the shear of its pixels to within a row at small angles, wide enough that a
// sheared profile costs a few hundred thousand additions on an A4 page at 300 dpi. Equal
// widths would put the strip centres on a regular grid: wherever the tangent times the
// width is a whole number, every strip's shift would be exactly whole and stay the same
// over a span of angles wider than the target precision, so that the profile could not
// tell them apart.
inline constexpr int kSkewStripWidth = 32;

// Ink counts per strip and row, one byte each: a strip is at most kSkewStripWidth + 8 = 40
// columns wide and ReduceRows sums at most kSkewMaxRowFactor rows, so a count stays below
// 256; bytes keep the counts of an A4 page at 300 dpi in about 300 KiB. Strip j's column is
// counts[j * stride .. (j + 1) * stride): margin zero entries, one count per row of the grid (rows
// entries), margin zeros again. centres[j] is the strip's middle column minus the middle of the
// counted area, in units of the row grid (rows of the grid may sum several pixel rows, see
// ReduceRows).
struct StripCounts {
  int strips = 0;
  int rows = 0;
  int margin = 0;
  int stride = 0;
  std::vector<std::uint8_t> counts;
  std::vector<double> centres;
  long long ink = 0;  // the number of ink pixels counted
  // The largest value a profile entry can take: the counted width times the pixel rows per
  // row of the grid.
  long long largestSum = 0;
};

// Working space of ShearedProfileScore: 16-bit sums where largestSum allows them (twice as
// many additions per vector instruction), 32-bit sums otherwise.
struct ProfileSpace {
  std::vector<std::int16_t> narrow;
  std::vector<std::int32_t> wide;
};

// Counts, for every row of rect (inside the image, with area) of the 1-byte rows src and
// every strip (the last may be narrower than the others), the pixels whose value
// is at most inkAtMost (0 for bi-level rows, where 0 is black; a grey threshold otherwise).
// margin (>= 0) zero rows pad each strip's column above and below.
StripCounts CountStripInk(const unsigned char* const* src, const RECT& rect, int inkAtMost,
                          int margin);

// CountStripInk turned by a right angle: the rows of rect cut into bands of the strip widths
// (in the same order), and for every band and column the pixels of the band's rows at most
// inkAtMost. Strip j of the result is band j, its rows are the columns of rect, and its centre
// is the band's middle row minus the middle of rect; so the scores of ShearedProfileScore
// tell how sharp the column profile of rect is when rect is sheared sideways.
StripCounts CountBandInk(const unsigned char* const* src, const RECT& rect, int inkAtMost,
                         int margin);

inline constexpr int kSkewMaxRowFactor = 6;

// The counts with every factor (1 to kSkewMaxRowFactor) consecutive rows summed into one (the last
// group may be shorter); margin and centres are divided by factor, the margin rounded up.
StripCounts ReduceRows(const StripCounts& full, int factor);

// Sharpness of the profile of the counts sheared by an angle whose tangent is tangent
// (positive: the content turned counter-clockwise, so that a line rises to the right).
// Strip j is read shifted by -round(tangent * centres[j]) rows; the profile P sums the
// shifted strips over the stride's rows, and the score is the sum over neighbouring rows of
// (P[k + 1] - P[k])^2. Sums fit 64 bits: each P[k] is at most largestSum.
std::int64_t ShearedProfileScore(const StripCounts& counts, double tangent, ProfileSpace& space);

}  // namespace vorlane::detail
