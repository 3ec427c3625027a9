// Plain per-pixel forms of the rotation and shear formulas, on grids of 32-bit pixel
// values, for differential tests of the geometric operations.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace georef {

struct Grid {
  int w = 0;
  int h = 0;
  std::vector<uint32_t> px;
  Grid(int width, int height, uint32_t value = 0)
      : w(width), h(height), px(static_cast<size_t>(width) * height, value) {}
  uint32_t& at(int x, int y) { return px[static_cast<size_t>(y) * w + x]; }
  uint32_t at(int x, int y) const { return px[static_cast<size_t>(y) * w + x]; }
  bool operator==(const Grid&) const = default;
};

inline double Reduce(double a) {
  const int k = static_cast<int>(a / 6.2831854820251465);
  a = a - static_cast<float>(2 * k) * 3.1415927410125732f;
  return a < 0.0 ? a + 6.2831854820251465 : a;
}

// Offsets by quadrant from the extents ew, eh.
inline void Offsets(double a, double c, double s, int ew, int eh, int& ox, int& oy) {
  if (a < 1.5707963705062866) {
    ox = static_cast<int>(eh * s), oy = 0;
  } else if (a < 3.1415927410125732) {
    ox = static_cast<int>(-ew * c + eh * s), oy = static_cast<int>(-eh * c);
  } else if (a < 4.71238911151886) {
    ox = static_cast<int>(-ew * c), oy = static_cast<int>(-ew * s - eh * c);
  } else {
    ox = 0, oy = static_cast<int>(-ew * s);
  }
}

// Whole rotation on the enlarged canvas, every pixel by the formula.
inline Grid Rotate(const Grid& in, double angle, uint32_t fill) {
  const double a = Reduce(angle), c = std::cos(a), s = std::sin(a);
  Grid out(static_cast<int>(std::fabs(c) * in.w + std::fabs(s) * in.h),
           static_cast<int>(std::fabs(s) * in.w + std::fabs(c) * in.h), fill);
  int ox, oy;
  Offsets(a, c, s, in.w - 1, in.h - 1, ox, oy);
  for (int y = 0; y < out.h; ++y) {
    for (int x = 0; x < out.w; ++x) {
      const int sx = static_cast<int>((x - ox) * c + (y - oy) * s);
      const int sy = static_cast<int>((y - oy) * c - (x - ox) * s);
      if (sx >= 0 && sx < in.w && sy >= 0 && sy < in.h) out.at(x, y) = in.at(sx, sy);
    }
  }
  return out;
}

// Rotation of the rectangle [l, r) x [t, b) in place; fill < 0 means no fill.
inline void RotateRect(Grid& g, int l, int t, int r, int b, double angle, int64_t fill, bool clip) {
  const int rw = r - l, rh = b - t;
  const double a = Reduce(angle), c = std::cos(a), s = std::sin(a);
  const int W = static_cast<int>(std::fabs(c) * rw + std::fabs(s) * rh);
  const int H = static_cast<int>(std::fabs(s) * rw + std::fabs(c) * rh);
  Grid tmp(rw, rh);
  for (int j = 0; j < rh; ++j) {
    for (int i = 0; i < rw; ++i) {
      tmp.at(i, j) = g.at(l + i, t + j);
      if (fill >= 0) g.at(l + i, t + j) = static_cast<uint32_t>(fill);
    }
  }
  int ox, oy;
  Offsets(a, c, s, rw, rh, ox, oy);
  const int cx = (W - rw) / 2, cy = (H - rh) / 2;
  const int cl = clip ? l : 0, ct = clip ? t : 0, cr = clip ? r : g.w, cb = clip ? b : g.h;
  for (int y = 0; y < H; ++y) {
    for (int x = 0; x < W; ++x) {
      const int sx = static_cast<int>((x - ox) * c + (y - oy) * s);
      const int sy = static_cast<int>((y - oy) * c - (x - ox) * s);
      const int tx = l - cx + x, ty = t - cy + y;
      if (sx >= 0 && sx < rw && sy >= 0 && sy < rh && tx >= cl && tx < cr && ty >= ct && ty < cb) {
        g.at(tx, ty) = tmp.at(sx, sy);
      }
    }
  }
}

// Shear as two steps: rows placed, then columns moved in place (moves beyond the canvas
// leave the column all fill). Offsets follow the sign of the tangent.
inline Grid Tilt(const Grid& in, double angle, int mode, uint32_t fill) {
  const double t = std::tan(angle);
  int W = in.w, H = in.h, ox = 0, oy = 0;
  if (mode & 1) {
    W = in.w + std::abs(static_cast<int>(t * in.h));
    ox = t > 0.0 ? static_cast<int>(t * in.h) : 0;
  }
  if (mode & 2) {
    H = in.h + std::abs(static_cast<int>(t * in.w));
    oy = t < 0.0 ? static_cast<int>(-in.w * t) : 0;
  }
  Grid out(W, H, fill);
  for (int r = 0; r < in.h; ++r) {
    const int start = (mode & 1) ? ox - static_cast<int>(t * r) : 0;
    for (int i = 0; i < in.w; ++i) out.at(start + i, r + oy) = in.at(i, r);
  }
  if (!(mode & 2)) return out;
  for (int x = 0; x < W; ++x) {
    const int d = static_cast<int>(t * (x - ox));
    if (d > 0) {
      for (int y = H - 1; y >= d; --y) out.at(x, y) = out.at(x, y - d);
      for (int y = std::min(d, H) - 1; y >= 0; --y) out.at(x, y) = fill;
    } else {
      for (int y = 0; y <= H - 1 + d; ++y) out.at(x, y) = out.at(x, y - d);
      for (int y = std::max(H + d, 0); y < H; ++y) out.at(x, y) = fill;
    }
  }
  return out;
}

}  // namespace georef
