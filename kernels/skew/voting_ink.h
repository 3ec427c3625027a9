// Which ink of a page takes part in the skew estimate: text-sized components vote; scanner
// borders, specks and very large components (pictures, rules, frames) do not.
#pragma once

#include "kernels/skew/page_ink.h"

namespace vorlane::detail {

// A component is very large when its box is taller than 1 / kLargeHeightShare of the plane's
// height or wider than 1 / kLargeWidthShare of its width (text lines do not join into one
// component at the working resolution); it is a speck at kSpeckPixels pixels or fewer.
inline constexpr int kLargeHeightShare = 12;
inline constexpr int kLargeWidthShare = 3;
inline constexpr int kSpeckPixels = 2;
// Strokes at least 2 * kThickRadius + 1 pixels thick survive an erosion by a square of that
// side; a component is thin (letters, rules, frames, table grids) when at most 1 / kThinShare
// of its pixels survive it, else filled (a picture or a piece of one, a shadow, a blot).
inline constexpr int kThickRadius = 4;
inline constexpr int kThinShare = 10;

struct InkCensus {
  // Pixels of the components that are neither specks nor touch the plane's edge: what the
  // page holds (a scanner border, or a page cut at the edge, touches it).
  long long content = 0;
  long long voting = 0;  // pixels left in the plane: the ink that votes
  int votingComponents = 0;
  // True when the thin text-sized components held less than leastVoting pixels, so that the
  // thin very large components vote instead of them (a page of rules or tables only).
  bool linesOnly = false;
};

// Labels the 8-connected ink components of mask (0 ink, 1 paper) and turns every pixel of a
// component that does not vote into paper. Votes: thin components that touch no edge of the
// mask, are no specks and are not very large; when those hold fewer than leastVoting pixels,
// the thin very large ones that touch no edge vote in their place, and with allThin they vote
// beside them (the lines of drawings and graphs). Filled components never vote.
InkCensus KeepVotingInk(BytePlane& mask, long long leastVoting, bool allThin = false);

}  // namespace vorlane::detail
