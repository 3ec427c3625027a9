// Edge-preserving smoothing over eight weighted 3 x 3 windows, with the window means of a row
// computed for all its pixels at once (one pass per weight, in the same order for every pixel).
#include "kernels/filters/edge_preserving_smoothing.h"

#include <cmath>
#include <vector>

namespace vorlane::detail {

namespace {

// Weights by row offset + 3 and column offset + 3 (symmetric); the centre has none.
constexpr float kWeights[7][7] = {
    {0.3f, 0.4f, 0.5f, 0.6f, 0.5f, 0.4f, 0.3f}, {0.4f, 0.6f, 0.7f, 0.8f, 0.7f, 0.6f, 0.4f},
    {0.5f, 0.7f, 0.9f, 1.0f, 0.9f, 0.7f, 0.5f}, {0.6f, 0.8f, 1.0f, 0.0f, 1.0f, 0.8f, 0.6f},
    {0.5f, 0.7f, 0.9f, 1.0f, 0.9f, 0.7f, 0.5f}, {0.4f, 0.6f, 0.7f, 0.8f, 0.7f, 0.6f, 0.4f},
    {0.3f, 0.4f, 0.5f, 0.6f, 0.5f, 0.4f, 0.3f}};

// Top-left column and row offsets of the eight windows and their weight sums.
constexpr int kWindowX[8] = {-3, -1, 1, 1, 1, -1, -3, -3};
constexpr int kWindowY[8] = {-3, -3, -3, -1, 1, 1, 1, -1};
constexpr float kWindowWeight[8] = {5.0f, 6.6f, 5.0f, 6.6f, 5.0f, 6.6f, 5.0f, 6.6f};
constexpr float kThreshold = 5000.0f;

// Squared colour distance of two colours, red, green and blue differences summed in order.
inline float Distance(const float* a, const float* b) {
  const float dr = a[0] - b[0], dg = a[1] - b[1], db = a[2] - b[2];
  return dr * dr + dg * dg + db * db;
}

// A channel result as a byte: within 0.001 of a whole number it is that number, then it is
// truncated (and kept within 0..255).
inline unsigned char WholeByte(float v) {
  const float whole = static_cast<float>(static_cast<int>(v + 0.5f));
  if (std::fabs(v - whole) < 1e-3f) v = whole;
  if (!(v > 0.0f)) return 0;
  return v >= 255.0f ? 255 : static_cast<unsigned char>(static_cast<int>(v));
}

}  // namespace

void SmoothPreservingEdges(const unsigned char* const* src, unsigned char* const* dst, int width,
                           int height) {
  const int xa = 3, xb = width - 4, ya = 3, yb = height - 4;
  if (xb <= xa || yb <= ya) return;
  const int count = xb - xa;
  const size_t row = static_cast<size_t>(width);
  // The seven copy rows y - 3 .. y + 3 as float planes of red, green and blue: slot r % 7.
  std::vector<float> planes(7 * 3 * row);
  auto plane = [&](int r, int c) { return planes.data() + ((r % 7) * 3 + c) * row; };
  auto load = [&](int r) {
    for (int c = 0; c < 3; ++c) {
      float* p = plane(r, c);
      for (int x = 0; x < width; ++x) p[x] = static_cast<float>(src[r][4 * x + 2 - c]);
    }
  };
  // means[(k * 3 + c) * count + x - xa]: the mean of window k, channel c, at pixel x.
  std::vector<float> means(8 * 3 * static_cast<size_t>(count));
  for (int r = ya - 3; r < ya + 3; ++r) load(r);

  for (int y = ya; y < yb; ++y) {
    load(y + 3);
    // Window means: each weight's pass adds its product for every pixel of the row.
    for (int k = 0; k < 8; ++k) {
      for (int c = 0; c < 3; ++c) {
        float* m = &means[(static_cast<size_t>(k) * 3 + c) * count];
        for (int x = 0; x < count; ++x) m[x] = 0.0f;
        for (int j = 0; j < 3; ++j) {
          const int dy = kWindowY[k] + j;
          const float* p = plane(y + dy, c) + xa;
          for (int i = 0; i < 3; ++i) {
            const int dx = kWindowX[k] + i;
            const float weight = kWeights[dy + 3][dx + 3];
            for (int x = 0; x < count; ++x) m[x] += weight * p[x + dx];
          }
        }
        for (int x = 0; x < count; ++x) m[x] = m[x] / kWindowWeight[k];
      }
    }
    // The choice per pixel.
    for (int x = 0; x < count; ++x) {
      float mean[8][3], d[8];
      const unsigned char* s = src[y] + 4 * (x + xa);
      const float centre[3] = {static_cast<float>(s[2]), static_cast<float>(s[1]),
                               static_cast<float>(s[0])};
      int far = 0, near = 0;
      for (int k = 0; k < 8; ++k) {
        for (int c = 0; c < 3; ++c)
          mean[k][c] = means[(static_cast<size_t>(k) * 3 + c) * count + x];
        d[k] = Distance(mean[k], centre);
        if (d[k] > d[far]) far = k;
        if (d[k] < d[near]) near = k;
      }
      float out[3];
      if (d[far] < kThreshold) {
        // Every window resembles the pixel: the weighted mean of the eight means.
        float weights = 0.0f;
        for (int k = 0; k < 8; ++k) weights += kWindowWeight[k];
        for (int c = 0; c < 3; ++c) {
          float sum = 0.0f;
          for (int k = 0; k < 8; ++k) sum += kWindowWeight[k] * mean[k][c];
          out[c] = sum / weights;
        }
      } else if (d[near] < kThreshold) {
        // An edge: blend with the window on the pixel's side.
        const float w = kWindowWeight[near];
        for (int c = 0; c < 3; ++c) out[c] = (centre[c] + w * mean[near][c]) / (w + 1.0f);
      } else {
        // No window resembles the pixel: the side window most alike the other sides.
        static constexpr int kSides[4] = {1, 3, 5, 7};
        float best = 0.0f;
        int chosen = 1;
        for (int k : kSides) {
          float total = d[k];
          for (int j : kSides) {
            if (j != k) total += Distance(mean[k], mean[j]);
          }
          if (k == 1 || total < best) {
            best = total;
            chosen = k;
          }
        }
        for (int c = 0; c < 3; ++c) out[c] = mean[chosen][c];
      }
      unsigned char* o = dst[y] + 4 * (x + xa);
      o[2] = WholeByte(out[0]);
      o[1] = WholeByte(out[1]);
      o[0] = WholeByte(out[2]);
    }
  }
}

}  // namespace vorlane::detail
