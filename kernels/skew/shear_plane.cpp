// Vertical shear of a working plane by whole rows per column, in runs of columns that move
// by the same number of rows.
#include "kernels/skew/shear_plane.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vorlane::detail {

int ShearMargin(int width, double tangent) {
  return static_cast<int>(std::ceil(std::fabs(tangent) * width / 2.0)) + 1;
}

void ShearPlane(const BytePlane& in, double tangent, BytePlane& out) {
  const int margin = ShearMargin(in.width, tangent);
  out.Allocate(in.width, in.height + 2 * margin);
  std::fill(out.bytes.begin(), out.bytes.end(), static_cast<unsigned char>(1));
  const double middle = in.width / 2.0;
  const auto shift = [&](int x) {
    return margin + static_cast<int>(std::lround(tangent * (x - middle)));
  };
  for (int x0 = 0; x0 < in.width;) {
    const int s = shift(x0);
    int x1 = x0 + 1;
    while (x1 < in.width && shift(x1) == s) ++x1;
    const size_t run = static_cast<size_t>(x1 - x0);
    for (int y = 0; y < in.height; ++y) {
      std::memcpy(out.rows[static_cast<size_t>(y + s)] + x0, in.rows[static_cast<size_t>(y)] + x0,
                  run);
    }
    x0 = x1;
  }
}

}  // namespace vorlane::detail
