// String-art bi-level images and a plain flood-fill labelling of their black pixels, the
// reference for the component analyses.
#pragma once

#include <algorithm>
#include <climits>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "support/comp_pixel_set.h"
#include "vorlane/vorlane.h"

namespace flood_fill {

using comp_reference::Pixel;
using comp_reference::PixelSet;
// Rows of a picture: 'X' is black (byte 0), anything else white (byte 1).
using Art = std::vector<std::string>;

inline std::unique_ptr<CBiLevelImage> MakeImage(const Art& art) {
  auto image = std::make_unique<CBiLevelImage>();
  const int height = static_cast<int>(art.size());
  const int width = height ? static_cast<int>(art[0].size()) : 0;
  image->Create(width, height, 0x00FFFFFF, L"art");
  for (int i = 0; i < width * height; ++i)
    image->SetRed(i % width, i / width, art[i / width][i % width] != 'X');
  return image;
}

// A width x height picture whose pixels are black with the given probability.
inline Art RandomArt(std::mt19937& rng, int width, int height, double black) {
  std::bernoulli_distribution isBlack(black);
  Art art(static_cast<size_t>(height), std::string(static_cast<size_t>(width), '.'));
  for (auto& row : art)
    std::generate(row.begin(), row.end(), [&] { return isBlack(rng) ? 'X' : '.'; });
  return art;
}

// The black pixels of art inside [left, right) x [top, bottom) (clipped to the picture), split
// into connected sets by flood fill from each unvisited black pixel in raster order.
inline std::vector<PixelSet> Components(const Art& art, bool connect8, int left = 0, int top = 0,
                                        int right = INT_MAX, int bottom = INT_MAX) {
  left = std::max(left, 0), top = std::max(top, 0);
  bottom = std::min(bottom, static_cast<int>(art.size()));
  right = std::min(right, bottom > 0 ? static_cast<int>(art[0].size()) : 0);
  std::set<Pixel> visited;
  std::vector<PixelSet> result;
  auto black = [&](int x, int y) {
    return x >= left && x < right && y >= top && y < bottom && art[y][x] == 'X';
  };
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) {
      if (!black(x, y) || visited.count({y, x})) continue;
      PixelSet component;
      std::vector<Pixel> stack{{y, x}};
      visited.insert({y, x});
      while (!stack.empty()) {
        const auto [py, px] = stack.back();
        stack.pop_back();
        component.insert({py, px});
        for (int d = 0; d < 9; ++d) {
          const int dx = d % 3 - 1, dy = d / 3 - 1, nx = px + dx, ny = py + dy;
          if ((dx || dy) && (connect8 || !dx || !dy) && black(nx, ny) &&
              visited.insert({ny, nx}).second) {
            stack.push_back({ny, nx});
          }
        }
      }
      result.push_back(std::move(component));
    }
  }
  return result;
}

inline PixelSet PixelsOf(CComp& comp) { return comp_reference::FromComp(comp); }

// Inclusive bounding box (left, top, right, bottom) of a non-empty pixel set.
inline RECT BoxOf(const PixelSet& set) {
  RECT box{set.begin()->second, set.begin()->first, set.begin()->second, set.begin()->first};
  for (const auto& [y, x] : set) {
    box.left = std::min<LONG>(box.left, x);
    box.right = std::max<LONG>(box.right, x);
    box.bottom = std::max<LONG>(box.bottom, y);
  }
  return box;
}

}  // namespace flood_fill
