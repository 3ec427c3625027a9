// Plain reference thresholds written straight from their definitions: the per-pixel Niblack
// window loop and the per-candidate straddle scan, for differential tests of the fast kernels.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace reference {

// A grey page: width x height bytes, row-major.
struct Page {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> pixels;
  int At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Niblack decision of every pixel of [left, right) x [top, bottom): 1 background, 0
// foreground, -1 outside the rectangle.
inline std::vector<int> Niblack(const Page& p, int left, int top, int right, int bottom, int w) {
  std::vector<int> out(p.pixels.size(), -1);
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) {
      const int y0 = std::max(top, y - w), y1 = std::min(bottom - 1, y + w);
      const int x0 = std::max(left, x - w), x1 = std::min(right - 1, x + w);
      long long sum = 0;
      int lo = 255, hi = 0;
      for (int yy = y0; yy <= y1; ++yy) {
        for (int xx = x0; xx <= x1; ++xx) {
          sum += p.At(xx, yy);
          lo = std::min(lo, p.At(xx, yy));
          hi = std::max(hi, p.At(xx, yy));
        }
      }
      const double n = static_cast<double>((x1 - x0 + 1) * (y1 - y0 + 1));
      const double m = static_cast<double>(sum) / n;
      const int v = p.At(x, y);
      bool background = hi - lo < 30 || v > 200;
      if (!background) {
        double s1 = 0.0, s2 = 0.0;
        for (int yy = y0; yy <= y1; ++yy) {
          for (int xx = x0; xx <= x1; ++xx) {
            const double d = static_cast<double>(p.At(xx, yy)) - m;
            s1 += d;
            s2 += d * d;
          }
        }
        const double s = std::sqrt((s2 - s1 * s1 / n) / (n - 1.0));
        const double t = m + 1.0 + 0.5 * (1.0 - s / 128.0);
        background = v > static_cast<int>(t);
      }
      out[static_cast<size_t>(y) * p.width + x] = background ? 1 : 0;
    }
  }
  return out;
}

// The ordered pairs (p, q), q one of the 8 neighbours of p inside the rectangle, that
// straddle t: min < t <= max.
inline long long Straddles(const Page& p, int left, int top, int right, int bottom, int t) {
  long long count = 0;
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) {
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
          const int qx = x + dx, qy = y + dy;
          if ((dx == 0 && dy == 0) || qx < left || qy < top || qx >= right || qy >= bottom) {
            continue;
          }
          const int a = p.At(x, y), b = p.At(qx, qy);
          count += (b < t && t <= a) || (a < t && t <= b);
        }
      }
    }
  }
  return count;
}

// The first candidate of [lower, upper) with the fewest straddling pairs; -1 for an empty
// range.
inline int FewestStraddles(const Page& p, int left, int top, int right, int bottom, int lower,
                           int upper) {
  int best = -1;
  long long bestCount = 0;
  for (int t = lower; t < upper; ++t) {
    const long long count = Straddles(p, left, top, right, bottom, t);
    if (best < 0 || count < bestCount) {
      best = t;
      bestCount = count;
    }
  }
  return best;
}

}  // namespace reference
