// The global threshold: one pass over the rectangle's rows, branch-free so that it
// vectorises.
#include "kernels/threshold/global_threshold.h"

#include <cstdint>

#include "kernels/parallel/row_bands.h"

namespace vorlane::detail {
namespace {

// Row kernels with every parameter in a register (byte stores could alias a parameter read
// through a reference), so that the loops vectorise.
void LabelRow(const unsigned char* row, unsigned char* mapRow, int left, int right, unsigned char t,
              unsigned char label) {
  for (int x = left; x < right; ++x) mapRow[x] = row[x] > t ? label : mapRow[x];
}

// dst may be row itself: each pixel is read before it is written.
void DecideRow(const unsigned char* row, unsigned char* dst, int left, int right, unsigned char t,
               unsigned char background, unsigned char foreground) {
  for (int x = left; x < right; ++x) dst[x] = row[x] > t ? background : foreground;
}

}  // namespace

void GlobalThreshold(const unsigned char* const* src, const RECT& rect, int threshold,
                     const BinaryOutput& out) {
  if (threshold < 0 || threshold > 255) {
    // Every value lies above (or none above) the threshold.
    const bool all = threshold < 0;
    for (int y = rect.top; y < rect.bottom; ++y) {
      unsigned char* mapRow = out.map.Row(y);
      unsigned char* dst = out.picture ? out.picture[y] : nullptr;
      for (int x = rect.left; x < rect.right; ++x) {
        if (all && mapRow) mapRow[x] = out.label;
        if (dst) dst[x] = all ? out.background : out.foreground;
      }
    }
    return;
  }
  const unsigned char t = static_cast<unsigned char>(threshold);
  const std::int64_t work = std::int64_t{rect.right - rect.left} * (rect.bottom - rect.top);
  ForEachRowBand(rect.top, rect.bottom, work, [&out, &rect, src, t](int first, int last) {
    for (int y = first; y < last; ++y) {
      const unsigned char* row = src[y];
      // The picture row may be the source row: the labels are set first, from the source.
      if (unsigned char* mapRow = out.map.Row(y)) {
        LabelRow(row, mapRow, rect.left, rect.right, t, out.label);
      }
      if (out.picture) {
        DecideRow(row, out.picture[y], rect.left, rect.right, t, out.background, out.foreground);
      }
    }
  });
}

}  // namespace vorlane::detail
