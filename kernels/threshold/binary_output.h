// Where a threshold writes its decisions: map labels and a binarised picture.
#pragma once

#include "kernels/histogram/selection.h"

namespace vorlane::detail {

// The outputs of a threshold. map: background pixels get their map byte set to (or, with
// addLabel, ORed with) label; none without map rows. picture: 1-byte rows that receive
// background or foreground per pixel; none when null.
struct BinaryOutput {
  MapRows map;
  unsigned char label = 0x01;
  unsigned char* const* picture = nullptr;
  unsigned char background = 255;
  unsigned char foreground = 0;
};

}  // namespace vorlane::detail
