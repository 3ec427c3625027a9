// Generation of the synthetic A4 benchmark page and its greyscale, bi-level and low-colour
// forms.
#include "bench/bench_pages.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "vorlane/vorlane.h"

namespace vorlane::bench {
namespace {

constexpr uint64_t kSeed = 0x5EED0A4A4ull;
constexpr int kMarginX = 236;  // 2 cm
constexpr int kMarginY = 300;
constexpr int kLinePitch = 50;  // 12 points
constexpr int kXHeight = 22;
constexpr int kAscender = 32;
constexpr int kDescender = 10;
constexpr float kStrokeRadius = 2.2f;

// splitmix64: a small generator whose sequence is the same on every platform.
class Random {
 public:
  explicit Random(uint64_t seed) : m_state(seed) {}
  uint64_t Next() {
    uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [low, high].
  int Between(int low, int high) {
    return low + static_cast<int>(Next() % static_cast<uint64_t>(high - low + 1));
  }
  // Roughly normal with mean 0 and standard deviation 1 (a sum of four uniforms).
  float Normal() {
    const uint64_t r = Next();
    const float sum =
        static_cast<float>((r & 0xFFFF) + ((r >> 16) & 0xFFFF) + ((r >> 32) & 0xFFFF) + (r >> 48));
    return (sum / 65536.0f - 2.0f) * 1.7320508f;
  }

 private:
  uint64_t m_state;
};

struct Segment {
  float x0, y0, x1, y1;
};

// A glyph: strokes relative to its left edge and the baseline (y grows downwards).
struct Glyph {
  std::vector<Segment> strokes;
  int width = 0;
};

void AddRing(Glyph& glyph, float cx, float cy, float rx, float ry) {
  constexpr int kSides = 12;
  for (int i = 0; i < kSides; ++i) {
    const float a0 = 6.2831853f * static_cast<float>(i) / kSides;
    const float a1 = 6.2831853f * static_cast<float>(i + 1) / kSides;
    glyph.strokes.push_back({cx + rx * std::cos(a0), cy + ry * std::sin(a0), cx + rx * std::cos(a1),
                             cy + ry * std::sin(a1)});
  }
}

// One of eight letter-like shapes: ring, tall stem, arch, cross, stem with a dot (two
// pieces), ring with a bar, descender with a bowl, ascender with a bowl.
Glyph MakeGlyph(Random& random) {
  Glyph g;
  const float w = static_cast<float>(random.Between(14, 26));
  const float xh = static_cast<float>(kXHeight);
  const float r = kStrokeRadius + 0.5f;
  switch (random.Between(0, 7)) {
    case 0:
      AddRing(g, w / 2, -xh / 2, w / 2 - r, xh / 2 - r);
      break;
    case 1:
      g.strokes.push_back({r + 2, 0, r + 2, -kAscender});
      g.width = static_cast<int>(2 * r + 4);
      return g;
    case 2:
      g.strokes.push_back({r, 0, r, -xh});
      g.strokes.push_back({r, -xh + 5, w / 2, -xh + r});
      g.strokes.push_back({w / 2, -xh + r, w - r, -xh + 5});
      g.strokes.push_back({w - r, -xh + 5, w - r, 0});
      break;
    case 3:
      g.strokes.push_back({r, -r, w - r, -xh + r});
      g.strokes.push_back({r, -xh + r, w - r, -r});
      break;
    case 4:
      g.strokes.push_back({r + 2, 0, r + 2, -xh});
      g.strokes.push_back({r + 2, -xh - 9, r + 2, -xh - 9});
      g.width = static_cast<int>(2 * r + 4);
      return g;
    case 5:
      AddRing(g, w / 2, -xh / 2, w / 2 - r, xh / 2 - r);
      g.strokes.push_back({r, -xh / 2, w - r, -xh / 2});
      break;
    case 6:
      g.strokes.push_back({r, kDescender, r, -xh});
      AddRing(g, w / 2 + r / 2, -xh / 2, w / 2 - r, xh / 2 - r);
      break;
    default:
      g.strokes.push_back({w - r, 0, w - r, -kAscender});
      AddRing(g, w / 2 - r / 2, -xh / 2, w / 2 - r, xh / 2 - r);
      break;
  }
  g.width = static_cast<int>(w);
  return g;
}

float DistanceToSegment(float px, float py, const Segment& s) {
  const float dx = s.x1 - s.x0;
  const float dy = s.y1 - s.y0;
  const float length2 = dx * dx + dy * dy;
  float t = length2 > 0 ? ((px - s.x0) * dx + (py - s.y0) * dy) / length2 : 0.0f;
  t = std::clamp(t, 0.0f, 1.0f);
  const float ex = px - (s.x0 + t * dx);
  const float ey = py - (s.y0 + t * dy);
  return std::sqrt(ex * ex + ey * ey);
}

// Ink cover of the page, 0 to 255 per pixel, top row first, and the ink of each row.
struct InkLayer {
  std::vector<unsigned char> cover;
  std::vector<unsigned char> inkOfRow;

  InkLayer() : cover(static_cast<size_t>(kPageWidth) * kPageHeight, 0), inkOfRow(kPageHeight, 0) {}

  // Draws the strokes at (left, baseline) with soft edges of one pixel.
  void Draw(const std::vector<Segment>& strokes, int left, int baseline) {
    float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
    for (const Segment& s : strokes) {
      minX = std::min({minX, s.x0, s.x1});
      maxX = std::max({maxX, s.x0, s.x1});
      minY = std::min({minY, s.y0, s.y1});
      maxY = std::max({maxY, s.y0, s.y1});
    }
    const int pad = static_cast<int>(kStrokeRadius) + 2;
    const int x0 = std::max(0, left + static_cast<int>(std::floor(minX)) - pad);
    const int x1 = std::min(kPageWidth - 1, left + static_cast<int>(std::ceil(maxX)) + pad);
    const int y0 = std::max(0, baseline + static_cast<int>(std::floor(minY)) - pad);
    const int y1 = std::min(kPageHeight - 1, baseline + static_cast<int>(std::ceil(maxY)) + pad);
    for (int y = y0; y <= y1; ++y) {
      for (int x = x0; x <= x1; ++x) {
        float d = 1e9f;
        for (const Segment& s : strokes) {
          d = std::min(d, DistanceToSegment(static_cast<float>(x - left),
                                            static_cast<float>(y - baseline), s));
        }
        const float a = std::clamp(kStrokeRadius + 0.5f - d, 0.0f, 1.0f);
        unsigned char& c = cover[static_cast<size_t>(y) * kPageWidth + x];
        c = std::max(c, static_cast<unsigned char>(a * 255.0f));
      }
    }
  }
};

// Lays out paragraphs of words of glyphs, line by line, and a few specks of dust.
InkLayer LayOutText(Random& random) {
  InkLayer ink;
  int line = 0;
  bool paragraphStart = true;
  for (int baseline = kMarginY + kAscender; baseline + kDescender < kPageHeight - kMarginY;
       baseline += kLinePitch, ++line) {
    const int lineInk = line % 9 == 4 ? 1 : line % 13 == 7 ? 2 : 0;
    for (int y = baseline - kAscender - 4; y <= baseline + kDescender + 3; ++y) {
      ink.inkOfRow[y] = static_cast<unsigned char>(lineInk);
    }
    const bool paragraphEnd = random.Between(0, 7) == 0;
    const int right =
        kPageWidth - kMarginX - (paragraphEnd ? random.Between(300, 1500) : random.Between(0, 40));
    int x = kMarginX + (paragraphStart ? 70 : 0);
    while (true) {
      std::vector<Glyph> word;
      int wordWidth = 0;
      for (int n = random.Between(2, 9); n > 0; --n) {
        word.push_back(MakeGlyph(random));
        wordWidth += word.back().width + 4;
      }
      if (x + wordWidth > right) break;
      for (const Glyph& g : word) {
        ink.Draw(g.strokes, x, baseline);
        x += g.width + 4;
      }
      x += random.Between(10, 18);
    }
    paragraphStart = paragraphEnd;
    if (paragraphEnd) baseline += kLinePitch;  // a blank line between paragraphs
  }
  for (int speck = 0; speck < 150; ++speck) {
    const float x = static_cast<float>(random.Between(0, 2));
    ink.Draw({{0, 0, x, 0}}, random.Between(40, kPageWidth - 40),
             random.Between(40, kPageHeight - 40));
  }
  return ink;
}

// Gives the generator the rows of a high-colour image.
struct ColourRows : CHiColorImage {
  unsigned char* Row(int y) { return m_ppLines[y]; }
};

void Paint(ColourRows& page, const InkLayer& ink, Random& random) {
  constexpr float kPaper[3] = {222.0f, 234.0f, 240.0f};   // blue, green, red
  constexpr float kInk[3][3] = {{40.0f, 35.0f, 35.0f},    // black
                                {150.0f, 55.0f, 40.0f},   // blue
                                {35.0f, 40.0f, 160.0f}};  // red
  for (int y = 0; y < kPageHeight; ++y) {
    unsigned char* row = page.Row(y);
    const float fy = (static_cast<float>(y) - 0.25f * kPageHeight) / kPageHeight;
    const float(&inkColour)[3] = kInk[ink.inkOfRow[y]];
    const unsigned char* cover = &ink.cover[static_cast<size_t>(y) * kPageWidth];
    for (int x = 0; x < kPageWidth; ++x) {
      // Light falls off with the square of the distance from a point at the upper left.
      const float fx = (static_cast<float>(x) - 0.3f * kPageWidth) / kPageWidth;
      const float light = std::max(0.77f, 1.0f - 0.22f * (fx * fx + fy * fy));
      const float a = static_cast<float>(cover[x]) / 255.0f;
      for (int c = 0; c < 3; ++c) {
        const float v =
            (kPaper[c] * (1.0f - a) + inkColour[c] * a) * light + 5.0f * random.Normal();
        row[4 * x + c] = static_cast<unsigned char>(std::clamp(v, 0.0f, 255.0f));
      }
    }
  }
}

}  // namespace

CHiColorImage& BenchColourPage() {
  static const std::unique_ptr<ColourRows> page = [] {
    auto image = std::make_unique<ColourRows>();
    image->Create(kPageWidth, kPageHeight, 0, L"bench page");
    Random random(kSeed);
    const InkLayer ink = LayOutText(random);
    Paint(*image, ink, random);
    return image;
  }();
  return *page;
}

// Makes a page of Format from source on first use.
template <class Format>
Format& ConvertedPage(CImage& source) {
  static const std::unique_ptr<Format> page = [&source] {
    auto image = std::make_unique<Format>();
    image->CreateFromImage(&source, 0);
    return image;
  }();
  return *page;
}

CGreyScaleImage& BenchGreyPage() { return ConvertedPage<CGreyScaleImage>(BenchColourPage()); }
CBiLevelImage& BenchBiLevelPage() { return ConvertedPage<CBiLevelImage>(BenchGreyPage()); }
CLoColorImage& BenchLoColourPage() { return ConvertedPage<CLoColorImage>(BenchColourPage()); }

}  // namespace vorlane::bench
