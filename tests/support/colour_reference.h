// Plain references of the two colour component analyses, written straight from their
// description: the run mean summed afresh at every column, label lists copied on merges,
// label rows relabelled entry by entry, regions kept as components grown by AddPoint.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "vorlane/vorlane.h"

namespace colour_reference {

// Opens the comparisons and pixels of a colour image.
struct ColourProbe : CHiColorImage {
  using CHiColorImage::CheckLabSimilarity;
  using CHiColorImage::CheckVisualSimilarity;
  using CHiColorImage::IsLabSimilar;
  int Ch(int x, int y, int c) {
    return c == 0 ? PrivateGetR(x, y) : c == 1 ? PrivateGetG(x, y) : PrivateGetB(x, y);
  }
};

// Runs as (row, first column, last column).
using Runs = std::vector<std::array<int, 3>>;

// The run lists of the surviving labels of the row-run analysis, in collected order.
inline std::vector<Runs> ColorCC(ColourProbe& image, bool connect8) {
  struct Run {
    int xl, xr;
    float m[3];
    int label;
  };
  const int w = image.GetWidth(), h = image.GetHeight(), c = connect8 ? 1 : 0;
  std::vector<Runs> labels;
  std::vector<bool> alive;
  std::vector<Run> previous, current;
  for (int y = 0; y < h; ++y) {
    current.clear();
    auto close = [&](int xs, int xe, const float* m) {
      int label = -1;
      for (const Run& p : previous) {
        if (p.xl - c > xe || xs > p.xr + c ||
            !image.CheckVisualSimilarity(m[0], m[1], m[2], p.m[0], p.m[1], p.m[2], 100)) {
          continue;
        }
        const int other = p.label;
        if (label < 0) {
          label = other;
          labels[label].push_back({y, xs, xe});
        } else if (other != label) {
          labels[label].insert(labels[label].end(), labels[other].begin(), labels[other].end());
          labels[other].clear();
          alive[other] = false;
          for (auto* row : {&previous, &current}) {
            for (Run& q : *row) q.label = q.label == other ? label : q.label;
          }
        }
      }
      if (label < 0) {
        label = static_cast<int>(labels.size());
        labels.push_back({{y, xs, xe}});
        alive.push_back(true);
      }
      current.push_back({xs, xe, {m[0], m[1], m[2]}, label});
    };
    for (int x = 0, xs = 0; x < w; ++x) {
      const int last = x == 0 ? 0 : x - 1;  // the mean of xs..x-1, of column 0 at x = 0
      float m[3] = {0, 0, 0}, p[3];
      for (int ch = 0; ch < 3; ++ch) {
        for (int k = xs; k <= last; ++k) m[ch] += static_cast<float>(image.Ch(k, y, ch));
        m[ch] /= static_cast<float>(last - xs + 1);
        p[ch] = static_cast<float>(image.Ch(x, y, ch));
      }
      if (x == w - 1) {
        close(xs, x, m);
      } else if (x > 0 && !image.CheckVisualSimilarity(p[0], p[1], p[2], m[0], m[1], m[2], 100)) {
        close(xs, x - 1, m);
        xs = x;
      }
    }
    previous = current;
  }
  std::vector<Runs> result;
  for (size_t i = 0; i < labels.size(); ++i) {
    if (alive[i]) result.push_back(labels[i]);
  }
  return result;
}

// The regions of the region-growing analysis in the order they were made, as components
// grown by AddPoint and +=; means are exact channel sums over the pixel count.
inline std::vector<std::unique_ptr<CComp>> ExColorCC(ColourProbe& image, double threshold) {
  struct Region {
    std::unique_ptr<CComp> comp;
    int64_t sum[3];
    int64_t count;
    int Mean(int ch) const { return static_cast<int>(sum[ch] / count); }
  };
  const int w = image.GetWidth(), h = image.GetHeight();
  std::vector<Region> regions;
  std::vector<int> previous(static_cast<size_t>(w), -1), current(previous);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int px[3] = {image.Ch(x, y, 0), image.Ch(x, y, 1), image.Ch(x, y, 2)};
      const bool exists[4] = {x > 0, x > 0 && y > 0, y > 0, y > 0 && x < w - 1};
      const int cands[4] = {x > 0 ? current[x - 1] : -1, x > 0 ? previous[x - 1] : -1, previous[x],
                            x < w - 1 ? previous[x + 1] : -1};
      double best = threshold + 1.0;
      int chosen = -1, dir = -1;
      for (int k = 0; k < 4; ++k) {
        if (!exists[k]) continue;
        const Region& r = regions[cands[k]];
        const double d = image.CheckLabSimilarity(x, y, r.Mean(0), r.Mean(1), r.Mean(2));
        if (d < best) best = d, chosen = cands[k], dir = k;
      }
      if (chosen < 0 || best > threshold) {
        chosen = static_cast<int>(regions.size());
        regions.push_back({std::make_unique<CComp>(), {px[0], px[1], px[2]}, 1});
        regions.back().comp->AddPoint(x, y);
        regions.back().comp->SetImageReference(&image);
      } else {
        Region& r = regions[chosen];
        r.comp->AddPoint(x, y);
        for (int ch = 0; ch < 3; ++ch) r.sum[ch] += px[ch];
        ++r.count;
        auto tryMerge = [&](int other) {
          Region& o = regions[other];
          if (other == chosen ||
              !(image.CheckLabSimilarity(r.Mean(0), r.Mean(1), r.Mean(2), o.Mean(0), o.Mean(1),
                                         o.Mean(2)) < threshold))
            return;
          *r.comp += *o.comp;
          o.comp.reset();
          for (int ch = 0; ch < 3; ++ch) r.sum[ch] += o.sum[ch];
          r.count += o.count;
          for (auto* row : {&previous, &current}) {
            for (int& l : *row) l = l == other ? chosen : l;
          }
        };
        if (dir <= 1 && y > 0 && x < w - 1) tryMerge(previous[x + 1]);
        if (dir == 3 && x > 0) tryMerge(previous[x - 1]);
        if (dir == 3 && x > 0) tryMerge(current[x - 1]);
      }
      current[x] = chosen;
    }
    previous = current;
  }
  std::vector<std::unique_ptr<CComp>> result;
  for (Region& r : regions) {
    if (r.comp) result.push_back(std::move(r.comp));
  }
  return result;
}

}  // namespace colour_reference
