// The global threshold of grey rows.
#pragma once

#include "kernels/threshold/binary_output.h"
#include "platform/types.h"

namespace vorlane::detail {

// For every pixel of rect (inside the image, possibly empty) of the 1-byte rows src: a value
// above threshold is background (map byte replaced by the label, picture background), any
// other value foreground (picture foreground, map byte kept). src and out.picture may be the
// same rows: each pixel is read before it is written.
void GlobalThreshold(const unsigned char* const* src, const RECT& rect, int threshold,
                     const BinaryOutput& out);

}  // namespace vorlane::detail
