// Byte selections by the bits of a map's bytes.
#include "kernels/histogram/selection.h"

namespace vorlane::detail {

ByteSelection WithoutBits(const MapRows& map, unsigned char label) {
  ByteSelection s;
  s.map = map;
  s.all = true;
  for (int b = 0; b < 256; ++b) s.accept[b] = (b & label) == 0;
  return s;
}

ByteSelection WithBits(const MapRows& map, unsigned char label) {
  ByteSelection s;
  s.map = map;
  s.all = false;
  for (int b = 0; b < 256; ++b) s.accept[b] = (b & label) != 0;
  return s;
}

}  // namespace vorlane::detail
