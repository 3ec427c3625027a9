// Automatic skew estimation of scanned pages: the angle by which the lines of a page are
// turned, how clearly the page shows it, and whether the estimate is to be trusted.
//
// Sign convention, used by the estimate, the tool and its reports alike: a positive angle
// means the content is turned counter-clockwise as displayed (its lines rise to the right).
// Straightening such a page turns it clockwise by the same angle, which is what a positive
// angle does in CImage::Rotate (radians there): Rotate(angle * pi / 180, white, 1).
//
// Method: projection profiles. Lines of text, rules and frames make the page's row profile
// (ink pixels per row) sharp when the page is sheared by its own skew: lines fall onto
// rows, the gaps between them become empty, and the sum of squared differences of
// neighbouring row sums peaks. A vertical shear by the angle's tangent makes turned lines
// exactly horizontal again and needs no resampling: the ink is counted once per row in
// narrow vertical strips, and each candidate angle shifts whole strips by rows,
// so that a candidate costs one addition per strip and row instead of one per pixel. The
// sweep runs coarsely on rows reduced by 4 out to twice the range, then is refined at the
// working resolution around the peak, down to a fifth of the target precision. Lines turned
// by 2 degrees or more fall by a row or more across a strip, which blurs its counts: a page
// whose ink is mostly text but whose peak is not sharp enough to trust is then sheared by the
// angle found (whole rows per column) and searched again, and the two shears add up.
//
// What is searched: pages whose shorter side has 2000 pixels or more are first reduced by 2
// (the darkest pixel of each 2 x 2 block). Grey pages are split into ink and paper by a
// threshold that follows the paper's own brightness block by block, so that uneven light,
// shadows and dark scanner borders do not become ink. Only text-sized ink votes: components
// touching the page's edge (scanner borders, black margins), specks, filled components
// (pictures, blots) and very large ones (rules, frames, tables) are left out; a page whose
// only lines are rules and frames is estimated from those.
//
// Confidence: 1 - mean / peak of the coarse sweep's scores, from 0 (no angle stands out, as
// on blank pages, noise and pictures) towards 1 (a sharp peak). An estimate is trusted when
// the page has enough voting ink, the confidence reaches the minimum, the peak lies within
// the range and no second angle rises nearly as high; otherwise it reports angle 0 and the
// reason.
#pragma once

#include "platform/types.h"

class CImage;

namespace vorlane {

struct SkewOptions {
  // Angles from -rangeDegrees to +rangeDegrees are estimated (from above 0 to 45); lines
  // turned further, out to twice the range, are recognised as out of range.
  double rangeDegrees = 15.0;
  // The step of the refined search (the result is refined to a fifth of it); from 0.01 to
  // rangeDegrees.
  double precisionDegrees = 0.05;
  // The part of the page that is searched: (-1, -1, -1, -1) for the whole page; any other
  // rectangle (right and bottom exclusive) is clipped to the page.
  RECT region{-1, -1, -1, -1};
  // The least confidence of a trusted estimate, 0 to 1. Printed pages of text score about 0.9
  // and more; drawings, graphs and handwriting on photographed pages below 0.85.
  double minConfidence = 0.85;
};

// Why an estimate is not trusted.
enum class SkewReason {
  none,        // trusted (or bad options: nothing was estimated)
  blank,       // too little ink, or no page to search
  noLines,     // ink without lines: a photograph, a drawing, pictures only
  ambiguous,   // two angles compete
  outOfRange,  // the lines lie beyond the range searched, or the page is on its side
};

// The text of a reason for reports: "", "blank", "no lines", "ambiguous", "out of range".
const char* SkewReasonText(SkewReason reason);

struct SkewEstimate {
  double angleDegrees = 0.0;  // positive: the content is turned counter-clockwise
  double confidence = 0.0;    // 0 to 1
  bool trusted = false;
  SkewReason reason = SkewReason::none;
};

// Estimates the skew of page (or of options.region). Bi-level pages are searched as they are
// (0 is ink); greyscale pages are split into ink and paper by the paper-relative threshold
// above; colour pages are converted to greyscale first, as CGreyScaleImage::CreateFromImage
// does. Pages without pixels and a region narrower than two strips or lower than 16 rows
// give an untrusted 0 for a blank page; bad options an untrusted 0 with reason none. A page
// whose rows show no sharp lines but whose columns do is on its side: out of range. The page
// is not changed.
SkewEstimate EstimateSkew(const CImage& page, const SkewOptions& options = {});

}  // namespace vorlane
