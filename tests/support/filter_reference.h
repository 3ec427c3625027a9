// Plain reference implementations of the neighbourhood filters, pixel by pixel from their
// definitions, for differential tests against the library's fast paths.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "vorlane/vorlane.h"

namespace ref {

// A picture of 1 (grey) or 3 (red, green, blue) channels with a foreground flag per pixel.
struct Picture {
  int width = 0, height = 0, channels = 1;
  std::vector<int> v;       // (y * width + x) * channels + c
  std::vector<uint8_t> fg;  // y * width + x
  int& At(int x, int y, int c) { return v[static_cast<size_t>((y * width + x) * channels + c)]; }
  int At(int x, int y, int c) const {
    return v[static_cast<size_t>((y * width + x) * channels + c)];
  }
  bool In(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  bool Fg(int x, int y) const { return fg[static_cast<size_t>(y * width + x)] != 0; }
};

// Reads an image's pixels (channels 1: red, which is grey or the bi-level value) and its
// foreground.
inline Picture Read(CImage& image, int channels) {
  Picture p{image.GetWidth(), image.GetHeight(), channels, {}, {}};
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) {
      p.v.push_back(image.GetRed(x, y));
      if (channels == 3) {
        p.v.push_back(image.GetGreen(x, y));
        p.v.push_back(image.GetBlue(x, y));
      }
      p.fg.push_back(image.IsForeground(x, y) ? 1 : 0);
    }
  }
  return p;
}

// Fills an image with random channel values (levels of them) and marks about one pixel in
// backgroundShare of the "Standard" map as background.
inline void Randomise(CImage& image, std::mt19937& rng, int levels, int backgroundShare) {
  CImageMap* map = image.GetImageMap(0);
  for (int y = 0; y < image.GetHeight(); ++y) {
    for (int x = 0; x < image.GetWidth(); ++x) {
      auto level = [&] { return static_cast<unsigned long>(rng() % levels * 255 / (levels - 1)); };
      image.SetRGBColor(x, y, level() | level() << 8 | level() << 16);
      if (backgroundShare > 0 && rng() % backgroundShare == 0) map->MapByteAddAttribute(x, y, 1);
    }
  }
}

inline Picture Convolve(const Picture& in, const int (*k)[7], int size, int divisor) {
  Picture out = in;
  const int h = (size - 1) / 2, n = size * size;
  for (int x = 0; x < in.width; ++x) {
    for (int y = 0; y < in.height; ++y) {
      int64_t sum[3] = {0, 0, 0};
      int count = 0;
      for (int i = 3 - h; i <= 3 + h; ++i) {
        for (int j = 3 - h; j <= 3 + h; ++j) {
          const int nx = x + i - 3, ny = y + j - 3;
          if (!in.In(nx, ny) || !in.Fg(nx, ny)) continue;
          ++count;
          for (int c = 0; c < in.channels; ++c) sum[c] += int64_t{k[i][j]} * in.At(nx, ny, c);
        }
      }
      if (count == 0) continue;  // no foreground in the window: kept
      for (int c = 0; c < in.channels; ++c) {
        const int64_t q = sum[c] * n / (int64_t{count} * divisor);  // exact quotient
        out.At(x, y, c) = static_cast<int>(std::clamp<int64_t>(q, 0, 255));
      }
    }
  }
  return out;
}

// The sorted values of channel c in the window of half size h around (x, y) inside the
// picture (with fgOnly, only its foreground pixels).
inline std::vector<int> Window(const Picture& in, int x, int y, int h, int c, bool fgOnly) {
  std::vector<int> values;
  for (int dx = -h; dx <= h; ++dx) {
    for (int dy = -h; dy <= h; ++dy) {
      if (in.In(x + dx, y + dy) && (!fgOnly || in.Fg(x + dx, y + dy)))
        values.push_back(in.At(x + dx, y + dy, c));
    }
  }
  std::sort(values.begin(), values.end());
  return values;
}

// Half sizes of the windows 5 and 7; every other size acts as 3.
inline int HalfWindow(int size) { return size == 5 ? 2 : size == 7 ? 3 : 1; }

// The rank operations by name on sorted values: 1 minimum, 2 maximum, 4 their difference,
// else the median.
inline int RankOf(const std::vector<int>& v, int op) {
  return op == 1   ? v.front()
         : op == 2 ? v.back()
         : op == 4 ? v.back() - v.front()
                   : v[v.size() / 2];
}

// Colour rank filter over the foreground; channel codes 1 red, 2 green, 4 blue (the chosen
// channel's result goes to all three), others each channel on its own.
inline Picture Rank(const Picture& in, int op, int windowSize, int channel) {
  Picture out = in;
  const int h = HalfWindow(windowSize);
  const int only = channel == 1 ? 0 : channel == 2 ? 1 : channel == 4 ? 2 : -1;
  for (int x = 0; x < in.width; ++x) {
    for (int y = 0; y < in.height; ++y) {
      if (Window(in, x, y, h, 0, true).empty()) continue;  // no foreground in the window: kept
      for (int c = 0; c < 3; ++c)
        out.At(x, y, c) = RankOf(Window(in, x, y, h, only < 0 ? c : only, true), op);
    }
  }
  return out;
}

// Two-level windows over every pixel: op 1, 2, 4, 8 as the rank operations read by their
// names, 0 the salt-and-pepper majority.
inline Picture Binary(const Picture& in, int op, int windowSize) {
  Picture out = in;
  for (int y = 0; y < in.height; ++y) {
    for (int x = 0; x < in.width; ++x) {
      const std::vector<int> v = Window(in, x, y, HalfWindow(windowSize), 0, false);
      const int ones = static_cast<int>(std::count(v.begin(), v.end(), 1));
      out.At(x, y, 0) = op == 0 ? ones > static_cast<int>(v.size()) / 2 : RankOf(v, op);
    }
  }
  return out;
}

}  // namespace ref
