// Edge detection by hue and lightness differences, visited column by column so that the
// running angle advances in its fixed order.
#include "kernels/filters/edge_detector.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include "colourfunctions/colourfunctions.h"

namespace vorlane::detail {

namespace {

// Hue (degrees) and lightness (percent) of every pixel of column x.
void ColumnHueLightness(const unsigned char* const* src, int x, int height, float* hue,
                        float* lightness) {
  for (int y = 0; y < height; ++y) {
    const unsigned char* p = src[y] + 4 * x;
    float saturation = 0.0f;
    TT_RGB2HLS(static_cast<float>(p[2]), static_cast<float>(p[1]), static_cast<float>(p[0]),
               &hue[y], &lightness[y], &saturation, kHlsDegreePercentScale);
  }
}

}  // namespace

void DetectEdges(const unsigned char* const* src, unsigned char* const* dst, int width, int height,
                 int directions) {
  if (width < 3 || height < 3) return;
  const int step = 256 / directions;
  const double angleStep = 6.283185307179586 / directions;
  double angle = 0.0;
  const size_t rows = static_cast<size_t>(height);
  // Hue and lightness of columns x (index 0) and x + 1 (index 1).
  std::vector<float> hue[2] = {std::vector<float>(rows), std::vector<float>(rows)};
  std::vector<float> light[2] = {std::vector<float>(rows), std::vector<float>(rows)};
  ColumnHueLightness(src, 1, height, hue[1].data(), light[1].data());
  for (int x = 1; x < width - 1; ++x) {
    hue[0].swap(hue[1]);
    light[0].swap(light[1]);
    ColumnHueLightness(src, x + 1, height, hue[1].data(), light[1].data());
    for (int y = 1; y < height - 1; ++y) {
      int value = 255;
      for (int d = 0; d < directions; ++d) {
        const int dx = static_cast<int>(std::cos(angle) * 10.0) > 4 ? 1 : 0;
        const int dy = static_cast<int>(std::sin(angle) * 10.0) > 4 ? 1 : 0;
        const float hueDiff = hue[0][static_cast<size_t>(y)] - hue[dx][static_cast<size_t>(y - dy)];
        const float lightDiff =
            light[0][static_cast<size_t>(y)] - light[dx][static_cast<size_t>(y - dy)];
        if (std::abs(static_cast<int>(hueDiff)) > 10 ||
            std::abs(static_cast<int>(lightDiff)) > 50) {
          value = value > step ? value - step : 0;
        }
        angle += angleStep;
      }
      unsigned char* p = dst[y] + 4 * x;
      p[0] = p[1] = p[2] = static_cast<unsigned char>(value);
    }
  }
}

}  // namespace vorlane::detail
