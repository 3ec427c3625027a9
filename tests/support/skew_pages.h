// Synthetic bi-level pages turned by a known angle, drawn directly at that angle (each pixel
// centre mapped back into the unturned page), for the skew tests and benchmarks.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <numbers>
#include <vector>

#include "imageclasses/bilevelimage.h"

namespace skewpages {

enum class Kind { text, frame, table, picture, blank };
inline constexpr Kind kAllKinds[] = {Kind::text, Kind::frame, Kind::table, Kind::picture,
                                     Kind::blank};
inline const char* Name(Kind k) {
  static const char* const kNames[] = {"text", "frame", "table", "picture", "blank"};
  return kNames[static_cast<int>(k)];
}

struct Box {
  double u0, v0, u1, v1;  // unturned page coordinates, right and bottom exclusive
};
struct Disk {
  double u, v, r;
};

// The content of a page before it is turned; the same for every angle.
struct Layout {
  int width = 0, height = 0;
  std::vector<Box> boxes;
  std::vector<Disk> disks;
  std::vector<std::pair<int, int>> specks;  // single ink pixels, not turned (scanner noise)
};

class Random {
 public:
  explicit Random(std::uint64_t seed) : m_state(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  double Uniform(double lo, double hi) {
    return lo + (hi - lo) * static_cast<double>(Next() >> 11) / 9007199254740992.0;
  }

 private:
  std::uint64_t m_state;
};

// Lines of words (runs of letter boxes of x-height, some with ascenders or descenders)
// between u0 and u1, from v0 down to v1, in units of unit pixels (1 at 150 dpi).
inline void AddText(Layout& page, Random& rnd, double unit, double u0, double u1, double v0,
                    double v1, double pitch = 25.0) {
  int line = 0;
  for (double base = v0 + 16 * unit; base < v1; base += pitch * unit, ++line) {
    const bool lastOfParagraph = line % 7 == 6;
    const double end =
        lastOfParagraph ? rnd.Uniform(u0 + 0.2 * (u1 - u0), u1) : u1 - rnd.Uniform(0, 40 * unit);
    double u = u0 + (line % 7 == 0 ? 30 * unit : 0);
    while (u < end) {
      const int letters = 1 + static_cast<int>(rnd.Next() % 9);
      for (int i = 0; i < letters && u < end; ++i) {
        const double w = rnd.Uniform(4, 8) * unit;
        const std::uint64_t shape = rnd.Next() % 10;
        const double top = base - (shape < 2 ? 16 : 11) * unit;
        const double bottom = base + (shape == 2 ? 5 : 0) * unit;
        page.boxes.push_back({u, top, u + w, bottom});
        u += w + 2 * unit;
      }
      u += 7 * unit;
    }
  }
}

// The layout of a page of kind k, width x height pixels, from a fixed seed.
inline Layout MakeLayout(Kind k, int width, int height) {
  Layout page{width, height, {}, {}, {}};
  Random rnd(0x5EED5CE1ull + static_cast<std::uint64_t>(k));
  const double unit = width / 1240.0;
  const double left = 120 * unit, right = width - 120 * unit;
  const auto frame = [&](double u0, double v0, double u1, double v1, double t) {
    page.boxes.push_back({u0, v0, u1, v0 + t});
    page.boxes.push_back({u0, v1 - t, u1, v1});
    page.boxes.push_back({u0, v0, u0 + t, v1});
    page.boxes.push_back({u1 - t, v0, u1, v1});
  };
  switch (k) {
    case Kind::text:
      AddText(page, rnd, unit, left, right, 150 * unit, height - 150 * unit);
      break;
    case Kind::frame:
      frame(70 * unit, 90 * unit, width - 70 * unit, height - 90 * unit, 4 * unit);
      AddText(page, rnd, unit, left, right, 200 * unit, 560 * unit);
      break;
    case Kind::table: {
      const double top = 200 * unit, rowPitch = 44 * unit, rows = 24;
      const double columns[] = {left, left + 200 * unit, left + 480 * unit, left + 760 * unit,
                                right};
      for (int r = 0; r <= rows; ++r)
        page.boxes.push_back(
            {left, top + r * rowPitch, right + 2 * unit, top + r * rowPitch + 2 * unit});
      for (double c : columns) page.boxes.push_back({c, top, c + 2 * unit, top + rows * rowPitch});
      for (int r = 0; r < rows; ++r)
        for (int c = 0; c + 1 < 5; ++c)
          AddText(page, rnd, unit, columns[c] + 10 * unit, columns[c + 1] - 40 * unit,
                  top + r * rowPitch + 6 * unit, top + r * rowPitch + 20 * unit);
      break;
    }
    case Kind::picture:
      for (int i = 0; i < 400; ++i)
        page.disks.push_back(
            {rnd.Uniform(60, width - 60), rnd.Uniform(60, height - 60), rnd.Uniform(3, 45) * unit});
      for (int i = 0; i < width * height / 100; ++i)
        page.specks.push_back(
            {static_cast<int>(rnd.Next() % width), static_cast<int>(rnd.Next() % height)});
      break;
    case Kind::blank:
      for (int i = 0; i < 40; ++i)
        page.disks.push_back({rnd.Uniform(0, width), rnd.Uniform(0, height), 1.5 * unit});
      break;
  }
  return page;
}

// Pixels of a page, top row first, 1 for paper and 0 for ink.
struct Pixels {
  int width = 0, height = 0;
  std::vector<unsigned char> bytes;
  unsigned char* Row(int y) { return bytes.data() + static_cast<size_t>(y) * width; }
};

// The layout turned counter-clockwise by degrees about the page centre: a pixel is ink when
// its centre, turned back, lies in a box or disk. Per row, the columns of a box form one
// interval (two linear conditions), so drawing costs one fill per row of a shape.
inline Pixels Render(const Layout& page, double degrees) {
  Pixels out{page.width, page.height,
             std::vector<unsigned char>(static_cast<size_t>(page.width) * page.height, 1)};
  const double a = degrees * std::numbers::pi / 180.0, c = std::cos(a), s = std::sin(a);
  const double cx = page.width / 2.0, cy = page.height / 2.0;
  const auto fill = [&](int y, double xlo, double xhi) {  // centres in [xlo, xhi)
    const int x0 = std::max(0, static_cast<int>(std::ceil(xlo - 0.5)));
    const int x1 = std::min(page.width, static_cast<int>(std::ceil(xhi - 0.5)));
    if (x1 > x0) std::memset(out.Row(y) + x0, 0, static_cast<size_t>(x1 - x0));
  };
  // Where lo <= base + slope * dx < hi, as an interval of dx.
  const auto solve = [](double lo, double hi, double base, double slope, double& dlo, double& dhi) {
    if (std::fabs(slope) < 1e-12) {
      if (base < lo || base >= hi) dlo = 1, dhi = 0;
      return;
    }
    double p = (lo - base) / slope, q = (hi - base) / slope;
    if (p > q) std::swap(p, q);
    dlo = std::max(dlo, p), dhi = std::min(dhi, q);
  };
  for (const Box& b : page.boxes) {
    // Rows that the turned box can reach: the turned corners' extent.
    double ylo = 1e18, yhi = -1e18;
    for (double u : {b.u0, b.u1})
      for (double v : {b.v0, b.v1}) {
        const double y = cy - s * (u - cx) + c * (v - cy);
        ylo = std::min(ylo, y), yhi = std::max(yhi, y);
      }
    const int y0 = std::max(0, static_cast<int>(std::floor(ylo)));
    const int y1 = std::min(page.height, static_cast<int>(std::ceil(yhi)) + 1);
    for (int y = y0; y < y1; ++y) {
      const double dy = y + 0.5 - cy;
      double dlo = -1e18, dhi = 1e18;
      solve(b.u0, b.u1, cx - s * dy, c, dlo, dhi);  // u = cx + c dx - s dy
      solve(b.v0, b.v1, cy + c * dy, s, dlo, dhi);  // v = cy + s dx + c dy
      if (dhi > dlo) fill(y, cx + dlo, cx + dhi);
    }
  }
  for (const Disk& d : page.disks) {
    const double x = cx + c * (d.u - cx) + s * (d.v - cy);
    const double y = cy - s * (d.u - cx) + c * (d.v - cy);
    const int y0 = std::max(0, static_cast<int>(std::floor(y - d.r)));
    const int y1 = std::min(page.height, static_cast<int>(std::ceil(y + d.r)) + 1);
    for (int row = y0; row < y1; ++row) {
      const double dy = row + 0.5 - y, h = d.r * d.r - dy * dy;
      if (h > 0) fill(row, x - std::sqrt(h), x + std::sqrt(h));
    }
  }
  for (const auto& [x, y] : page.specks) out.Row(y)[x] = 0;
  return out;
}

// A bi-level image of the pixels.
inline std::unique_ptr<CBiLevelImage> ToBiLevel(const Pixels& pixels) {
  struct Writable : CBiLevelImage {
    unsigned char* Row(int y) { return m_ppLines[y]; }
  };
  auto image = std::make_unique<Writable>();
  if (!image->Create(pixels.width, pixels.height, 0x00FFFFFF, L"skew")) return nullptr;
  for (int y = 0; y < pixels.height; ++y)
    std::memcpy(image->Row(y), pixels.bytes.data() + static_cast<size_t>(y) * pixels.width,
                static_cast<size_t>(pixels.width));
  return image;
}

}  // namespace skewpages
