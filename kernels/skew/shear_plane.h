// A bi-level working plane sheared vertically, so that lines turned by an angle become rows.
#pragma once

#include "kernels/skew/page_ink.h"

namespace vorlane::detail {

// The rows added above and below a plane of width columns that ShearPlane shears by tangent.
int ShearMargin(int width, double tangent);

// Writes into out the plane in (0 ink, 1 paper) with every column x moved down by
// ShearMargin(in.width, tangent) + round(tangent * (x - in.width / 2)) rows, the rest paper:
// lines whose rows fall by tangent per column to the right (rise on the page) become
// horizontal, as the sheared profiles of the strip counts see them with the same tangent.
// Shearing the result by a second tangent shears the page by the sum of both.
void ShearPlane(const BytePlane& in, double tangent, BytePlane& out);

}  // namespace vorlane::detail
