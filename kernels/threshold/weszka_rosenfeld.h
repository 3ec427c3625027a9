// The automatic global threshold between the two main peaks of a grey histogram, chosen
// where the fewest neighbouring pixel pairs straddle it.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace vorlane::detail {

// Candidate range of the threshold: lower end included, upper end excluded.
struct CandidateRange {
  int lower = 0;
  int upper = 255;
  bool twoPeaks = true;  // false when smoothing left fewer than two maxima
};

// Smooths a copy of hist (256 counts) with moving averages until at most two maxima remain:
// radius k = 2 and c0 = the maxima count; while the count c exceeds 2: if c == c0 the radius
// grows by one (stopping beyond 20), else it returns to 2 and c0 = c; then a moving average of
// radius k. Every pass either grows the radius or changes the count, and a count that keeps
// changing could cycle for ever, so the loop also stops after kMaxSmoothingPasses passes.
// Range: fewer than two maxima, 0..255 (twoPeaks false); exactly two, from the first to the
// second; more (a limit was reached), from the first to the last.
CandidateRange SmoothedPeakRange(const long* hist);
inline constexpr int kMaxSmoothingPasses = 1000;

// Straddle counts of every candidate t (0..255) over rect (inside the image, possibly empty)
// of the 1-byte rows src: counts[t] is the number of unordered pairs of 8-neighbouring pixels
// inside rect with min < t <= max of their values, from one pass over the rows (a histogram
// of the pixels and one of the pair maxima). pixelCounts, when not null, receives that histogram
// of the pixels of rect (256 counts).
void StraddleCounts(const unsigned char* const* src, const RECT& rect, std::int64_t* counts,
                    std::int64_t* pixelCounts = nullptr);

// The first candidate of [range.lower, range.upper) with the fewest straddling pairs; -1
// when the range is empty.
int FewestStraddles(const std::int64_t* counts, const CandidateRange& range);

// The automatic threshold of a region and what a global threshold at it takes as foreground.
struct AutomaticLevel {
  int level = -1;              // values above it are background; -1 without a candidate
  bool twoPeaks = true;        // false when smoothing left fewer than two maxima
  int largestForeground = -1;  // the largest value of the region at or below level, or -1
};

// The threshold between the two main peaks of hist (256 counts of the pixels the caller
// selected) where the fewest pairs of 8-neighbouring pixels of rect (inside the image,
// possibly empty) of the 1-byte rows straddle it: FewestStraddles(StraddleCounts(rows, rect),
// SmoothedPeakRange(hist)). rows may be null (no pixels): then every candidate has no
// straddles and no pixel is foreground. hist null counts as no peaks.
AutomaticLevel WeszkaRosenfeldLevel(const unsigned char* const* rows, const RECT& rect,
                                    const long* hist);

// WeszkaRosenfeldLevel with hist the histogram of the pixels of rect, taken in the same pass
// as the straddle counts. rows may be null (no pixels, no peaks).
AutomaticLevel WeszkaRosenfeldLevelOfRect(const unsigned char* const* rows, const RECT& rect);

}  // namespace vorlane::detail
