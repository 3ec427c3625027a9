// Synthetic bi-level pages turned by a known angle, drawn directly at that angle (each pixel
// centre mapped back into the unturned page), grey scans made from them (uneven light,
// noise), and grey pages without lines (blank paper, photographs), for the skew tests and
// benchmarks.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "imageclasses/bilevelimage.h"
#include "imageclasses/greyscaleimage.h"

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

// A fixed-seed generator (its sequence is the same on every platform) and its uniform doubles.
using Random = std::mt19937_64;
inline double Uniform(Random& rnd, double lo, double hi) {
  return lo + (hi - lo) * static_cast<double>(rnd() >> 11) / 9007199254740992.0;
}

// Lines of words (runs of letter boxes of x-height, some with ascenders or descenders)
// between u0 and u1, from v0 down to v1, in units of unit pixels (1 at 150 dpi); paragraphs
// of seven lines, the first indented and the last short.
inline void AddText(Layout& page, Random& rnd, double unit, double u0, double u1, double v0,
                    double v1) {
  int line = 0;
  for (double base = v0 + 16 * unit; base < v1; base += 25 * unit, ++line) {
    const double end =
        line % 7 == 6 ? Uniform(rnd, u0 + 0.2 * (u1 - u0), u1) : u1 - Uniform(rnd, 0, 40 * unit);
    for (double u = u0 + (line % 7 == 0 ? 30 * unit : 0); u < end; u += 7 * unit) {
      for (int letters = 1 + static_cast<int>(rnd() % 9); letters > 0 && u < end; --letters) {
        const double w = Uniform(rnd, 4, 8) * unit;
        const std::uint64_t shape = rnd() % 10;
        page.boxes.push_back(
            {u, base - (shape < 2 ? 16 : 11) * unit, u + w, base + (shape == 2 ? 5 : 0) * unit});
        u += w + 2 * unit;
      }
    }
  }
}

// The layout of a page of kind k, width x height pixels, from a fixed seed.
inline Layout MakeLayout(Kind k, int width, int height) {
  Layout page{width, height, {}, {}, {}};
  Random rnd(0x5EED5CE1ull + static_cast<std::uint64_t>(k));
  const double unit = width / 1240.0;
  const double left = 120 * unit, right = width - 120 * unit;
  switch (k) {
    case Kind::text:
      AddText(page, rnd, unit, left, right, 150 * unit, height - 150 * unit);
      break;
    case Kind::frame: {  // a frame of four bars round the page, text in its top part
      const double u0 = 70 * unit, v0 = 90 * unit, u1 = width - u0, v1 = height - v0, t = 4 * unit;
      page.boxes = {
          {u0, v0, u1, v0 + t}, {u0, v1 - t, u1, v1}, {u0, v0, u0 + t, v1}, {u1 - t, v0, u1, v1}};
      AddText(page, rnd, unit, left, right, 200 * unit, 560 * unit);
      break;
    }
    case Kind::table: {
      const double top = 200 * unit, rowPitch = 44 * unit, rows = 24;
      const double columns[] = {left, left + 200 * unit, left + 480 * unit, left + 760 * unit,
                                right};
      for (int r = 0; r <= rows; ++r)
        page.boxes.push_back(
            {left, top + r * rowPitch, right + 2 * unit, top + r * rowPitch + 2 * unit});
      for (double c : columns) page.boxes.push_back({c, top, c + 2 * unit, top + rows * rowPitch});
      break;
    }
    case Kind::picture:
      for (int i = 0; i < 400; ++i)
        page.disks.push_back({Uniform(rnd, 60, width - 60), Uniform(rnd, 60, height - 60),
                              Uniform(rnd, 3, 45) * unit});
      for (int i = 0; i < width * height / 100; ++i)
        page.specks.push_back({static_cast<int>(rnd() % width), static_cast<int>(rnd() % height)});
      break;
    case Kind::blank:
      for (int i = 0; i < 40; ++i)
        page.disks.push_back({Uniform(rnd, 0, width), Uniform(rnd, 0, height), 1.5 * unit});
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
// its centre, turned back, lies in a box or disk.
inline Pixels Render(const Layout& page, double degrees) {
  Pixels out{page.width, page.height,
             std::vector<unsigned char>(static_cast<size_t>(page.width) * page.height, 1)};
  const double a = degrees * std::numbers::pi / 180.0, c = std::cos(a), s = std::sin(a);
  const double cx = page.width / 2.0, cy = page.height / 2.0;
  // Inks the pixels within rx and ry of the turned (u, v) whose centres, turned back, are inside.
  const auto paint = [&](double u, double v, double rx, double ry, auto inside) {
    const double x = cx + c * (u - cx) + s * (v - cy), y = cy - s * (u - cx) + c * (v - cy);
    const int x0 = std::max(0, static_cast<int>(x - rx)),
              y0 = std::max(0, static_cast<int>(y - ry));
    const int x1 = std::min(page.width, static_cast<int>(x + rx) + 1);
    const int y1 = std::min(page.height, static_cast<int>(y + ry) + 1);
    for (int py = y0; py < y1; ++py) {
      for (int px = x0; px < x1; ++px) {
        const double dx = px + 0.5 - cx, dy = py + 0.5 - cy;
        if (inside(cx + c * dx - s * dy, cy + s * dx + c * dy)) out.Row(py)[px] = 0;
      }
    }
  };
  for (const Box& b : page.boxes) {
    const double ru = (b.u1 - b.u0) / 2, rv = (b.v1 - b.v0) / 2;
    paint(b.u0 + ru, b.v0 + rv, std::fabs(c) * ru + std::fabs(s) * rv,
          std::fabs(s) * ru + std::fabs(c) * rv,
          [&](double u, double v) { return u >= b.u0 && u < b.u1 && v >= b.v0 && v < b.v1; });
  }
  for (const Disk& d : page.disks)
    paint(d.u, d.v, d.r, d.r, [&](double u, double v) {
      return (u - d.u) * (u - d.u) + (v - d.v) * (v - d.v) < d.r * d.r;
    });
  for (const auto& [x, y] : page.specks) out.Row(y)[x] = 0;
  return out;
}

// An image of class Format (bi-level or greyscale: one byte per pixel) holding the pixels.
template <class Format>
std::unique_ptr<Format> ToImage(const Pixels& pixels) {
  struct Writable : Format {
    unsigned char* Row(int y) { return this->m_ppLines[y]; }
  };
  auto image = std::make_unique<Writable>();
  if (!image->Create(pixels.width, pixels.height, 0x00FFFFFF, L"skew")) return nullptr;
  for (int y = 0; y < pixels.height; ++y)
    std::memcpy(image->Row(y), pixels.bytes.data() + static_cast<size_t>(y) * pixels.width,
                static_cast<size_t>(pixels.width));
  return image;
}

// A bi-level image of the pixels.
inline std::unique_ptr<CBiLevelImage> ToBiLevel(const Pixels& pixels) {
  return ToImage<CBiLevelImage>(pixels);
}

// Grey pixels of a bi-level page: ink and paper values.
inline Pixels Grey(const Pixels& bilevel, unsigned char ink, unsigned char paper) {
  Pixels out = bilevel;
  for (unsigned char& b : out.bytes) b = b ? paper : ink;
  return out;
}

// Lights grey pixels unevenly, as a scanner lid left open or a bent page does: brightness
// falls from 1 at the top left corner to darkest at the bottom right, a shadow darkens the left
// edge to 0.6, and uniform noise of +-noise grey values is added.
inline void Light(Pixels& grey, double darkest, double noise, std::uint64_t seed) {
  Random rnd(seed);
  for (int y = 0; y < grey.height; ++y) {
    unsigned char* row = grey.Row(y);
    for (int x = 0; x < grey.width; ++x) {
      const double fall =
          (static_cast<double>(x) / grey.width + static_cast<double>(y) / grey.height) / 2;
      const double shadow = 1.0 - 0.4 * std::exp(-x / (0.04 * grey.width));
      const double v =
          row[x] * (1.0 - (1.0 - darkest) * fall) * shadow + Uniform(rnd, -noise, noise);
      row[x] = static_cast<unsigned char>(std::clamp(v, 0.0, 255.0));
    }
  }
}

// Plain paper of the given grey value (to be lit and noised with Light).
inline Pixels Paper(int width, int height, unsigned char value) {
  return Pixels{width, height,
                std::vector<unsigned char>(static_cast<size_t>(width) * height, value)};
}

// A photograph-like grey picture over the area [x0, x1) x [y0, y1) of grey: smooth shading
// with soft-edged objects (turned ellipses of random size and grey) and fine texture, from
// a fixed seed.
inline void Photo(Pixels& grey, int x0, int y0, int x1, int y1, std::uint64_t seed) {
  Random rnd(seed);
  const double w = x1 - x0, h = y1 - y0, p = Uniform(rnd, 0, 6.3), q = Uniform(rnd, 0, 6.3);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      grey.Row(y)[x] = static_cast<unsigned char>(120 + 60 * std::sin(4.0 * (x - x0) / w + p) *
                                                            std::cos(3.0 * (y - y0) / h + q));
  const double size = std::min(w, h);
  for (int i = 0; i < 160; ++i) {
    const double cx = Uniform(rnd, x0, x1), cy = Uniform(rnd, y0, y1);
    const double ra = Uniform(rnd, 0.01, 0.12) * size, rb = ra * Uniform(rnd, 0.3, 1.0);
    const double turn = Uniform(rnd, 0, std::numbers::pi), level = Uniform(rnd, 20, 240);
    const double c = std::cos(turn), s = std::sin(turn), soft = Uniform(rnd, 1.5, 6.0);
    const int r = static_cast<int>(ra) + 8;
    for (int y = std::max(y0, static_cast<int>(cy) - r); y < std::min(y1, static_cast<int>(cy) + r);
         ++y) {
      for (int x = std::max(x0, static_cast<int>(cx) - r);
           x < std::min(x1, static_cast<int>(cx) + r); ++x) {
        const double u = (x - cx) * c + (y - cy) * s, v = (y - cy) * c - (x - cx) * s;
        const double d = std::sqrt(u * u / (ra * ra) + v * v / (rb * rb));
        const double alpha = std::clamp((1.0 - d) * rb / soft, 0.0, 1.0);
        unsigned char& px = grey.Row(y)[x];
        px = static_cast<unsigned char>(px * (1.0 - alpha) + level * alpha);
      }
    }
  }
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      unsigned char& px = grey.Row(y)[x];
      px = static_cast<unsigned char>(std::clamp(px + Uniform(rnd, -12, 12), 0.0, 255.0));
    }
}

// A greyscale image of grey pixels.
inline std::unique_ptr<CGreyScaleImage> ToGreyImage(const Pixels& pixels) {
  return ToImage<CGreyScaleImage>(pixels);
}

}  // namespace skewpages
