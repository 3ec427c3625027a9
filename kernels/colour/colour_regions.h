// Regions of a 32-bit colour image grown pixel by pixel by the distance of each pixel to the
// mean colour of its neighbours' regions, with merges of regions of like mean colour.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "kernels/colour/colour_similarity.h"
#include "kernels/colour/lab_rows.h"
#include "kernels/components/run.h"

namespace vorlane::detail {

// The exact mean colour of a set of pixels, kept per channel as whole part and remainder of
// the channel sum over the pixel count (sum = whole * count + rest, 0 <= rest < count), so
// that the truncated mean is exact: a mean that is a whole number is never taken for one
// just below it, however many pixels were added or merged.
class ChannelMeans {
 public:
  // The mean of one pixel.
  ChannelMeans(int r, int g, int b) : whole_{r, g, b}, rest_{0, 0, 0}, count_(1) {}

  // Adds one pixel with channels 0..255.
  void Add(int r, int g, int b) {
    const int64_t count = count_ + 1;
    const int v[3] = {r, g, b};
    for (int c = 0; c < 3; ++c) {
      // sum + v = whole * count + (rest + v - whole); bring the remainder into [0, count).
      int64_t rest = rest_[c] + v[c] - whole_[c];
      int64_t whole = whole_[c];
      if (rest >= count || rest < 0) {
        const int64_t shift = (rest >= 0 ? rest : rest - count + 1) / count;
        whole += shift;
        rest -= shift * count;
      }
      whole_[c] = whole;
      rest_[c] = rest;
    }
    count_ = count;
  }

  // Adds every pixel of other.
  void Absorb(const ChannelMeans& other) {
    const int64_t count = count_ + other.count_;
    for (int c = 0; c < 3; ++c) {
      const int64_t sum =
          whole_[c] * count_ + rest_[c] + other.whole_[c] * other.count_ + other.rest_[c];
      whole_[c] = sum / count;
      rest_[c] = sum % count;
    }
    count_ = count;
  }

  // Channel c (0 red, 1 green, 2 blue) of the mean, truncated toward zero.
  int Whole(int c) const { return static_cast<int>(whole_[c]); }
  int64_t Count() const { return count_; }

 private:
  int64_t whole_[3];
  int64_t rest_[3];
  int64_t count_;
};

// One grown region: its runs, sorted by row and column, disjoint and maximal (a new[] array,
// as a component takes it over).
struct ColourRegion {
  std::unique_ptr<Run[]> runs;
  int count = 0;
};

// Grows regions over rows[0..height) of width 32-bit pixels (blue, green, red, unused) in
// row-major order; returns the regions that survive, in the order they were made.
//
// Each pixel looks at the regions of its neighbours W, NW, N and NE (those inside the image)
// in that order and picks the one at the smallest distance, strictly below the best so far
// starting from threshold + 1 (ties keep the earlier). Above threshold, or with no
// neighbour, it starts a region; otherwise it joins the picked one, whose mean takes it in.
// Regions that now touch through the pixel are then tested: after joining W or NW the NE
// region, after joining NE the NW region and then the W region; a distance of the two means
// strictly below threshold merges the other into the joined region.
//
// metric supplies the distances: BeginRow(y), where it has one, announces each row before
// its pixels, SetPixel(x, y, r, g, b) the pixel,
// ToMean(region, mean) is the distance of that pixel to a region's truncated mean, and
// Between(regionA, meanA, regionB, meanB) the distance of two regions' truncated means.
// Regions are numbered from 0 in the order they are made. Requires width, height >= 1.
template <class Metric>
std::vector<ColourRegion> GrowColourRegions(const unsigned char* const* rows, int width, int height,
                                            double threshold, Metric& metric) {
  std::vector<ChannelMeans> means;
  means.reserve(500);
  // The region each region went into (itself while it lives); merges always go into the
  // region the current pixel joined, which lives.
  std::vector<int> parent;
  parent.reserve(500);
  auto find = [&parent](int region) {
    while (parent[static_cast<size_t>(region)] != region) {
      int& up = parent[static_cast<size_t>(region)];
      up = parent[static_cast<size_t>(up)];
      region = up;
    }
    return region;
  };

  // The region of each pixel of the previous and the current row, and the runs of every
  // finished row with the region they had then.
  struct LabelledRun {
    Run run;
    int region;
  };
  std::vector<int> previousRow(static_cast<size_t>(width), -1);
  std::vector<int> currentRow(static_cast<size_t>(width), -1);
  std::vector<LabelledRun> rowRuns;

  enum Direction { kNone, kWest, kNorthWest, kNorth, kNorthEast };
  const double worst = threshold + 1.0;
  auto startRegion = [&](int r, int g, int b) {
    const int made = static_cast<int>(means.size());
    means.emplace_back(r, g, b);
    parent.push_back(made);
    return made;
  };
  for (int y = 0; y < height; ++y) {
    const unsigned char* row = rows[y];
    int* above = previousRow.data();
    int* here = currentRow.data();
    if constexpr (requires { metric.BeginRow(y); }) metric.BeginRow(y);
    // The row's runs of equal label as the pixels get them; later merges are resolved at the
    // end, where runs of one region that touch are joined.
    int runStart = 0;
    int runRegion = -1;
    auto label = [&](int x, int region) {
      here[x] = region;
      if (region == runRegion) return;
      if (x > 0) rowRuns.push_back(LabelledRun{{y, runStart, x - 1}, runRegion});
      runStart = x;
      runRegion = region;
    };
    for (int x = 0; x < width; ++x) {
      const unsigned char* pixel = row + 4 * static_cast<size_t>(x);
      const int r = pixel[2], g = pixel[1], b = pixel[0];
      metric.SetPixel(x, y, r, g, b);

      // Inside a region: all four candidates carry the W region (which lives: every merge
      // so far went into the region a pixel joined). It is measured once, and a join makes
      // no merge test, as the NE region is the joined one.
      if (y > 0 && x > 0 && x < width - 1) {
        const int west = here[x - 1];
        if (above[x - 1] == west && above[x] == west && above[x + 1] == west) {
          ChannelMeans& mean = means[static_cast<size_t>(west)];
          const double distance = metric.ToMean(west, mean);
          if (distance < worst && !(distance > threshold)) {
            mean.Add(r, g, b);
            label(x, west);
          } else {
            label(x, startRegion(r, g, b));
          }
          continue;
        }
      }

      // The candidates in their order; a region met again has the same distance, which
      // cannot be strictly smaller, so it is measured once.
      double best = worst;
      int chosen = -1;
      Direction direction = kNone;
      int seen[4];
      int seenCount = 0;
      auto consider = [&](int region, Direction d) {
        for (int k = 0; k < seenCount; ++k) {
          if (seen[k] == region) return;
        }
        seen[seenCount++] = region;
        const double distance = metric.ToMean(region, means[static_cast<size_t>(region)]);
        if (distance < best) {
          best = distance;
          chosen = region;
          direction = d;
        }
      };
      if (x > 0) consider(find(here[x - 1]), kWest);
      if (y > 0) {
        if (x > 0) consider(find(above[x - 1]), kNorthWest);
        consider(find(above[x]), kNorth);
        if (x < width - 1) consider(find(above[x + 1]), kNorthEast);
      }

      if (chosen < 0 || best > threshold) {
        chosen = startRegion(r, g, b);
      } else {
        ChannelMeans& mean = means[static_cast<size_t>(chosen)];
        mean.Add(r, g, b);
        auto tryMerge = [&](int other) {
          if (other == chosen) return;
          const ChannelMeans& otherMean = means[static_cast<size_t>(other)];
          if (!(metric.Between(chosen, mean, other, otherMean) < threshold)) return;
          mean.Absorb(otherMean);
          parent[static_cast<size_t>(other)] = chosen;
        };
        if ((direction == kWest || direction == kNorthWest) && y > 0 && x < width - 1) {
          tryMerge(find(above[x + 1]));
        } else if (direction == kNorthEast) {
          if (x > 0) tryMerge(find(above[x - 1]));
          if (x > 0) tryMerge(find(here[x - 1]));
        }
      }
      label(x, chosen);
    }
    rowRuns.push_back(LabelledRun{{y, runStart, width - 1}, runRegion});
    previousRow.swap(currentRow);
  }

  // Number the surviving regions in the order they were made, then hand each its runs in
  // row order, joining runs of one row that touch.
  const size_t made = means.size();
  std::vector<int> slot(made, -1);
  int survivors = 0;
  for (size_t k = 0; k < made; ++k) {
    if (parent[k] == static_cast<int>(k)) slot[k] = survivors++;
  }
  std::vector<int> runCounts(static_cast<size_t>(survivors), 0);
  for (LabelledRun& lr : rowRuns) {
    lr.region = slot[static_cast<size_t>(find(lr.region))];
    ++runCounts[static_cast<size_t>(lr.region)];
  }
  std::vector<ColourRegion> regions(static_cast<size_t>(survivors));
  for (int k = 0; k < survivors; ++k) {
    regions[static_cast<size_t>(k)].runs.reset(
        new Run[static_cast<size_t>(runCounts[static_cast<size_t>(k)])]);
  }
  for (const LabelledRun& lr : rowRuns) {
    ColourRegion& target = regions[static_cast<size_t>(lr.region)];
    if (target.count > 0) {
      Run& last = target.runs[static_cast<size_t>(target.count - 1)];
      if (last.y == lr.run.y && last.xr + 1 == lr.run.xl) {
        last.xr = lr.run.xr;
        continue;
      }
    }
    target.runs[static_cast<size_t>(target.count++)] = lr.run;
  }
  return regions;
}

// The Lab distances of GrowColourRegions with the Lab colours of the pixels converted a row
// at a time (ahead of the growth where a second thread may) and each region's truncated mean
// converted again only when it changes.
class CachedLabMetric {
 public:
  // The metric of a growth over rows[0..height) of width pixels.
  CachedLabMetric(const unsigned char* const* rows, int width, int height)
      : lab_(rows, width, height) {}

  void BeginRow(int y) { row_ = lab_.Row(y); }
  void SetPixel(int x, int, int, int, int) { pixel_ = LabColour{row_.L[x], row_.a[x], row_.b[x]}; }
  double ToMean(int region, const ChannelMeans& mean) {
    return LabDistance(pixel_, MeanLab(region, mean));
  }
  double Between(int a, const ChannelMeans& meanA, int b, const ChannelMeans& meanB) {
    const LabColour labA = MeanLab(a, meanA);
    return LabDistance(labA, MeanLab(b, meanB));
  }

 private:
  struct Entry {
    uint32_t colour;  // the truncated mean converted, kNoColour before the first
    LabColour lab;
  };
  static constexpr uint32_t kNoColour = 0xFFFFFFFFu;

  static uint32_t Pack(int r, int g, int b) {
    return static_cast<uint32_t>(r) | static_cast<uint32_t>(g) << 8 |
           static_cast<uint32_t>(b) << 16;
  }

  // The cached Lab of a region's mean; the rare misses are kept out of the inlined path.
  const LabColour& MeanLab(int region, const ChannelMeans& mean) {
    const size_t index = static_cast<size_t>(region);
    const uint32_t colour = Pack(mean.Whole(0), mean.Whole(1), mean.Whole(2));
    if (index < cache_.size() && cache_[index].colour == colour) [[likely]] {
      return cache_[index].lab;
    }
    return Convert(index, mean);
  }

  // Converts the region's mean and keeps it, growing the cache to the region.
  [[gnu::noinline]] const LabColour& Convert(size_t index, const ChannelMeans& mean) {
    if (index >= cache_.size()) cache_.resize(index + 1, Entry{kNoColour, {}});
    Entry& entry = cache_[index];
    entry.colour = Pack(mean.Whole(0), mean.Whole(1), mean.Whole(2));
    entry.lab = LabOf(mean.Whole(0), mean.Whole(1), mean.Whole(2));
    return entry.lab;
  }

  LabRowsAhead lab_;
  LabRowsAhead::Planes row_{};
  LabColour pixel_{};
  std::vector<Entry> cache_;
};

}  // namespace vorlane::detail
