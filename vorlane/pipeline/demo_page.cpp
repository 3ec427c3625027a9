// The built-in sample page, drawn in an ink layer without skew and sampled turned.
#include "vorlane/pipeline/demo_page.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "imageclasses/hicolorimage.h"

namespace vorlane::pipeline {
namespace {

enum Ink : uint8_t { kPaper = 0, kText = 1, kStamp = 2, kHole = 3 };

// xorshift32: the same numbers on every platform.
class Random {
 public:
  explicit Random(uint32_t seed) : m_state(seed) {}
  uint32_t Next() {
    m_state ^= m_state << 13;
    m_state ^= m_state >> 17;
    m_state ^= m_state << 5;
    return m_state;
  }
  // Uniform in lo..hi inclusive.
  int Between(int lo, int hi) {
    return lo + static_cast<int>(Next() % static_cast<uint32_t>(hi - lo + 1));
  }

 private:
  uint32_t m_state;
};

class InkLayer {
 public:
  InkLayer(int width, int height)
      : m_width(width), m_height(height), m_ink(static_cast<size_t>(width) * height, kPaper) {}

  Ink At(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) return kPaper;
    return static_cast<Ink>(m_ink[static_cast<size_t>(y) * m_width + x]);
  }
  // Fills columns x0..x1 and rows y0..y1 (inclusive), clipped to the layer.
  void Rect(int x0, int y0, int x1, int y1, Ink ink) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, m_width - 1);
    y1 = std::min(y1, m_height - 1);
    for (int y = y0; y <= y1; ++y)
      std::fill_n(&m_ink[static_cast<size_t>(y) * m_width + x0], std::max(0, x1 - x0 + 1), ink);
  }
  // The pixels whose normalised elliptic distance from (cx, cy) lies in [inner, 1].
  void Ellipse(double cx, double cy, double rx, double ry, double inner, Ink ink) {
    for (int y = static_cast<int>(cy - ry); y <= static_cast<int>(cy + ry) + 1; ++y)
      for (int x = static_cast<int>(cx - rx); x <= static_cast<int>(cx + rx) + 1; ++x) {
        const double dx = (x - cx) / rx, dy = (y - cy) / ry;
        const double d = std::sqrt(dx * dx + dy * dy);
        if (d <= 1.0 && d >= inner && x >= 0 && y >= 0 && x < m_width && y < m_height)
          m_ink[static_cast<size_t>(y) * m_width + x] = ink;
      }
  }

 private:
  int m_width, m_height;
  std::vector<uint8_t> m_ink;
};

// One glyph of x-height h and width w with its baseline at y, left edge at x; stroke s.
void Glyph(InkLayer& layer, Random& rnd, int x, int y, int w, int h, int s) {
  const double ring = 1.0 - 2.0 * s / static_cast<double>(std::min(w, h));
  switch (rnd.Between(0, 5)) {
    case 0:  // a tall stem
      layer.Rect(x + w / 3, y - h * 3 / 2, x + w / 3 + s, y, kText);
      break;
    case 1:  // a bowl
      layer.Ellipse(x + w / 2.0, y - h / 2.0, w / 2.0, h / 2.0, ring, kText);
      break;
    case 2:  // two stems under a bar
      layer.Rect(x, y - h, x + s, y, kText);
      layer.Rect(x + w - s, y - h, x + w, y, kText);
      layer.Rect(x, y - h, x + w, y - h + s, kText);
      break;
    case 3:  // a bowl crossed by a bar
      layer.Ellipse(x + w / 2.0, y - h / 2.0, w / 2.0, h / 2.0, ring, kText);
      layer.Rect(x, y - h / 2, x + w, y - h / 2 + s / 2, kText);
      break;
    case 4:  // a short stem with a dot above: two pieces
      layer.Rect(x + w / 3, y - h, x + w / 3 + s, y, kText);
      layer.Rect(x + w / 3, y - h - 2 * s - 3, x + w / 3 + s, y - h - s - 3, kText);
      break;
    default:  // a bowl with a descender
      layer.Ellipse(x + w / 2.0, y - h / 2.0, w / 2.0, h / 2.0, ring, kText);
      layer.Rect(x, y - h / 2, x + s, y + h / 2, kText);
      break;
  }
}

void DrawText(InkLayer& layer, Random& rnd, int width, int height, double unit) {
  const int margin = static_cast<int>(200 * unit);
  const int pitch = std::max(8, static_cast<int>(58 * unit));
  const int xHeight = std::max(4, static_cast<int>(24 * unit));
  const int stroke = std::max(1, static_cast<int>(4 * unit));
  for (int base = static_cast<int>(300 * unit); base < height - margin; base += pitch) {
    // Paragraph ends leave short lines.
    const int end = rnd.Between(0, 6) == 0 ? width / 2 : width - margin;
    for (int x = margin; x < end;) {
      const int letters = rnd.Between(2, 9);
      for (int k = 0; k < letters && x < end; ++k) {
        const int w = std::max(3, static_cast<int>(rnd.Between(14, 26) * unit));
        Glyph(layer, rnd, x, base, w, xHeight, stroke);
        x += w + std::max(2, static_cast<int>(5 * unit));
      }
      x += std::max(4, static_cast<int>(rnd.Between(18, 30) * unit));
    }
  }
}

void DrawStampAndHoles(InkLayer& layer, Random& rnd, int width, int height, double unit) {
  const double cx = width - 560 * unit, cy = height - 520 * unit, r = 170 * unit;
  layer.Ellipse(cx, cy, r, r, 1.0 - 10 * unit / r, kStamp);
  layer.Ellipse(cx, cy, r * 0.78, r * 0.78, 1.0 - 5 * unit / (r * 0.78), kStamp);
  for (int i = 0; i < 12; ++i) {  // marks around the inner ring
    const double a = i * std::numbers::pi / 6.0;
    const int x = static_cast<int>(cx + r * 0.89 * std::cos(a));
    const int y = static_cast<int>(cy + r * 0.89 * std::sin(a));
    const int half = std::max(1, static_cast<int>(rnd.Between(4, 7) * unit));
    layer.Rect(x - half, y - half, x + half, y + half, kStamp);
  }
  layer.Rect(static_cast<int>(cx - r * 0.5), static_cast<int>(cy - 6 * unit),
             static_cast<int>(cx + r * 0.5), static_cast<int>(cy + 6 * unit), kStamp);
  const double holeRadius = 36 * unit, holeX = 95 * unit, spacing = 472 * unit;
  for (const double y : {height / 2.0 - spacing, height / 2.0 + spacing})
    layer.Ellipse(holeX, y, holeRadius, holeRadius, 0.0, kHole);
}

}  // namespace

std::unique_ptr<CHiColorImage> MakeDemoPage(int width, int height,
                                            const std::function<bool()>& stop) {
  auto page = std::make_unique<CHiColorImage>();
  if (width <= 0 || height <= 0 || !page->Create(width, height, RGB(255, 255, 255), L"demo"))
    return nullptr;
  page->SetDPI(kDemoDpi);
  const double unit =
      std::min(width / static_cast<double>(kDemoWidth), height / static_cast<double>(kDemoHeight));
  Random rnd(0x5EED1234u);
  InkLayer layer(width, height);
  DrawText(layer, rnd, width, height, unit);
  DrawStampAndHoles(layer, rnd, width, height, unit);

  // A stain: a soft brown ellipse.
  const double sx = width * 0.68, sy = height * 0.72, srx = 260 * unit, sry = 180 * unit;
  const double angle = kDemoSkewDegrees * std::numbers::pi / 180.0;
  const double c = std::cos(angle), s = std::sin(angle);
  const double cx = width / 2.0, cy = height / 2.0;
  for (int y = 0; y < height && !(stop && stop()); ++y) {
    for (int x = 0; x < width; ++x) {
      // The content is turned counter-clockwise: sample the unturned layer.
      const double u = cx + (x - cx) * c - (y - cy) * s;
      const double v = cy + (x - cx) * s + (y - cy) * c;
      const int ui = static_cast<int>(std::floor(u)), vi = static_cast<int>(std::floor(v));
      // Paper lit unevenly: brightest at the upper left.
      const double light = 1.0 - 0.16 * (0.6 * x / width + 0.4 * y / height);
      double r = 246 * light, g = 241 * light, b = 229 * light;
      const double dx = (u - sx) / srx, dy = (v - sy) / sry, d = dx * dx + dy * dy;
      if (d < 1.0) {
        const double k = 1.0 - 0.5 * (1.0 - d);  // darker towards the middle
        r *= 0.55 + 0.45 * k;
        g *= 0.45 + 0.55 * k;
        b *= 0.30 + 0.70 * k;
      }
      switch (layer.At(ui, vi)) {
        case kText:
          r = 28, g = 26, b = 32;
          break;
        case kStamp:
          r = 48, g = 70, b = 175;
          break;
        case kHole:
          r = 18, g = 18, b = 18;
          break;
        case kPaper:
          break;
      }
      const int noise = static_cast<int>(rnd.Next() % 25) - 12;
      const auto channel = [noise](double value) {
        return static_cast<unsigned long>(std::clamp(static_cast<int>(value) + noise, 0, 255));
      };
      page->SetRGBColor(x, y, channel(r) | channel(g) << 8 | channel(b) << 16);
    }
  }
  return page;
}

}  // namespace vorlane::pipeline
