// Row runs of visually alike pixels of a 32-bit colour image, linked from row to row into
// labels by the likeness of the runs' mean colours.
#pragma once

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

#include "kernels/components/run.h"
#include "kernels/components/run_labelling.h"

namespace vorlane::detail {

// The label table starts with room for this many labels and grows by as many.
inline constexpr int kColourLabelStep = 50;

// The runs of each label that survived the linking, in label order; each label's runs in the
// order they were collected (its own runs, then those of the labels merged into it, each
// list in its own order).
struct ColourRunLabels {
  std::vector<std::vector<Run>> labels;
  // 0, or the label capacity that could not be allocated (the labels are then incomplete).
  int failedCapacity = 0;
};

// Labels runs of alike colour in rows[0..height) of width 32-bit pixels (blue, green, red,
// unused). similar(r1, g1, b1, r2, g2, b2) answers non-zero when colour 1 is like colour 2.
// Each row is cut into runs from the left: a run holds column xs and grows to the next
// column x while the pixel at x is like the run's mean over xs..x-1 (the float sums of the
// channels in column order divided by the count); the last column joins the open run without
// a test, and the run closes with the mean it had before (a one-column row: the pixel's
// colour). A closed run [xs, xe] with mean m takes the label of the first run P of the row
// above that touches it (P.xl - c <= xe and xs <= P.xr + c, c = 1 with connect8) and whose
// mean is alike (m as colour 1); every further such P of another label merges that label
// into it (its runs appended); a run with none starts a new label. Requires width, height
// >= 1.
template <class Similar>
ColourRunLabels LinkColourRuns(const unsigned char* const* rows, int width, int height,
                               bool connect8, Similar&& similar) {
  struct BufferedRun {
    int xl;
    int xr;
    float r;
    float g;
    float b;
    int label;
  };
  // Runs kept as one list per label, linked through `next` so that merges append in O(1).
  struct Node {
    Run run;
    int next;
  };
  struct Chain {
    int head;
    int tail;
  };

  ColourRunLabels result;
  const int reach = connect8 ? 1 : 0;
  std::vector<BufferedRun> previousRuns(static_cast<size_t>(width) + 1);
  std::vector<BufferedRun> currentRuns(static_cast<size_t>(width) + 1);
  BufferedRun* previous = previousRuns.data();
  BufferedRun* current = currentRuns.data();
  int previousCount = 0;
  LabelForest forest;
  std::vector<Chain> chains;
  std::vector<Node> nodes;
  int capacity = kColourLabelStep;
  chains.reserve(static_cast<size_t>(capacity));

  auto append = [&](int label, int y, int xl, int xr) {
    const int index = static_cast<int>(nodes.size());
    nodes.push_back(Node{{y, xl, xr}, -1});
    Chain& chain = chains[static_cast<size_t>(label)];
    if (chain.head < 0) {
      chain.head = index;
    } else {
      nodes[static_cast<size_t>(chain.tail)].next = index;
    }
    chain.tail = index;
  };

  for (int y = 0; y < height; ++y) {
    const unsigned char* row = rows[y];
    int currentCount = 0;
    int p = 0;  // first run of the row above that may still touch a run of this row

    // Closes the run [xs, xe] with mean (mr, mg, mb); false when the label table could not
    // grow.
    auto close = [&](int xs, int xe, float mr, float mg, float mb) {
      while (p < previousCount && previous[p].xr + reach < xs) ++p;
      int label = -1;
      for (int k = p; k < previousCount && previous[k].xl - reach <= xe; ++k) {
        BufferedRun& above = previous[k];
        if (!similar(mr, mg, mb, above.r, above.g, above.b)) continue;
        const int other = forest.Find(above.label);
        above.label = other;
        if (label < 0) {
          label = other;
          append(label, y, xs, xe);
        } else if (other != label) {
          Chain& into = chains[static_cast<size_t>(label)];
          const Chain& from = chains[static_cast<size_t>(other)];
          nodes[static_cast<size_t>(into.tail)].next = from.head;
          into.tail = from.tail;
          forest.Merge(other, label);
        }
      }
      if (label < 0) {
        if (forest.Count() == capacity) {
          // The table is full: room for kColourLabelStep more labels.
          const int asked = capacity + kColourLabelStep;
          try {
            if (static_cast<size_t>(asked) > chains.capacity()) {
              chains.reserve(std::max(static_cast<size_t>(asked), 2 * chains.capacity()));
            }
          } catch (const std::bad_alloc&) {
            result.failedCapacity = asked;
            return false;
          }
          capacity = asked;
        }
        label = forest.Create();
        chains.push_back(Chain{-1, -1});
        append(label, y, xs, xe);
      }
      current[currentCount++] = BufferedRun{xs, xe, mr, mg, mb, label};
      return true;
    };

    int xs = 0;
    float sumR = row[2], sumG = row[1], sumB = row[0];
    bool ok = true;
    if (width == 1) ok = close(0, 0, sumR, sumG, sumB);
    for (int x = 1; x < width && ok; ++x) {
      const float count = static_cast<float>(x - xs);
      const float mr = sumR / count, mg = sumG / count, mb = sumB / count;
      const unsigned char* pixel = row + 4 * static_cast<size_t>(x);
      const float r = pixel[2], g = pixel[1], b = pixel[0];
      if (x == width - 1) {
        ok = close(xs, x, mr, mg, mb);
      } else if (similar(r, g, b, mr, mg, mb)) {
        sumR += r;
        sumG += g;
        sumB += b;
      } else {
        ok = close(xs, x - 1, mr, mg, mb);
        xs = x;
        sumR = r;
        sumG = g;
        sumB = b;
      }
    }
    if (!ok) return result;
    std::swap(previous, current);
    previousCount = currentCount;
  }

  for (int label = 0; label < forest.Count(); ++label) {
    if (!forest.Alive(label)) continue;
    std::vector<Run>& runs = result.labels.emplace_back();
    for (int n = chains[static_cast<size_t>(label)].head; n >= 0;
         n = nodes[static_cast<size_t>(n)].next) {
      runs.push_back(nodes[static_cast<size_t>(n)].run);
    }
  }
  return result;
}

}  // namespace vorlane::detail
