// Component census of the skew ink: labelling, sizes, thin strokes, and the clearing of
// what does not vote.
#include "kernels/skew/voting_ink.h"

#include <algorithm>
#include <vector>

#include "kernels/components/run_labelling.h"

namespace vorlane::detail {
namespace {

// Every run with the label it was given, and the boxes and pixel counts of the labels.
class RunCensus {
 public:
  struct Run {
    int y, xl, xr, label;
  };

  void Create(int label, int y, int xl, int xr) {
    if (static_cast<size_t>(label) >= m_pixels.size()) m_pixels.resize(label + size_t{1}, 0);
    m_boxes.Create(label, y, xl, xr);
    Record(label, y, xl, xr);
  }
  void Add(int label, int y, int xl, int xr) {
    m_boxes.Add(label, y, xl, xr);
    Record(label, y, xl, xr);
  }
  void Merge(int from, int into) {
    m_boxes.Merge(from, into);
    m_pixels[static_cast<size_t>(into)] += m_pixels[static_cast<size_t>(from)];
  }

  std::vector<Run>& Runs() { return m_runs; }
  const BoxCollector::Box& BoxOf(int label) const { return m_boxes.BoxOf(label); }
  long long PixelsOf(int label) const { return m_pixels[static_cast<size_t>(label)]; }

 private:
  void Record(int label, int y, int xl, int xr) {
    m_runs.push_back({y, xl, xr, label});
    m_pixels[static_cast<size_t>(label)] += xr - xl + 1;
  }

  BoxCollector m_boxes;
  std::vector<long long> m_pixels;
  std::vector<Run> m_runs;
};

// The pixels of the runs of each label in candidate that survive an erosion by a square of
// side 2 kThickRadius + 1, counted per label: a pixel survives when the square around it is
// all ink of the candidates.
std::vector<long long> ThickPixels(const BytePlane& mask, const std::vector<RunCensus::Run>& runs,
                                   const std::vector<char>& candidate, int labels) {
  constexpr int k = kThickRadius;
  // Horizontal erosion first, from the runs themselves: 1 where a candidate run reaches k
  // pixels either side.
  BytePlane across;
  across.Allocate(mask.width, mask.height);
  std::fill(across.bytes.begin(), across.bytes.end(), 0);
  for (const RunCensus::Run& r : runs) {
    if (!candidate[static_cast<size_t>(r.label)] || r.xr - r.xl < 2 * k) continue;
    std::fill(across.rows[static_cast<size_t>(r.y)] + r.xl + k,
              across.rows[static_cast<size_t>(r.y)] + r.xr - k + 1, 1);
  }
  // Then vertically, pixel by pixel over the candidates' runs.
  std::vector<long long> thick(static_cast<size_t>(labels), 0);
  for (const RunCensus::Run& r : runs) {
    if (!candidate[static_cast<size_t>(r.label)] || r.y < k || r.y + k >= mask.height) continue;
    long long count = 0;
    for (int x = r.xl; x <= r.xr; ++x) {
      bool all = true;
      for (int d = -k; d <= k && all; ++d) all = across.rows[static_cast<size_t>(r.y + d)][x] != 0;
      count += all;
    }
    thick[static_cast<size_t>(r.label)] += count;
  }
  return thick;
}

}  // namespace

InkCensus KeepVotingInk(BytePlane& mask, long long leastVoting, bool allThin) {
  InkCensus census;
  if (mask.width <= 0 || mask.height <= 0) return census;
  RunCensus collector;
  LabelForest forest = LabelRuns(mask.rows.data(), 0, 0, mask.width, mask.height, true,
                                 BlackPixelRuns(), collector, [](int, int) {});
  const int labels = forest.Count();
  std::vector<RunCensus::Run>& runs = collector.Runs();
  for (RunCensus::Run& r : runs) r.label = forest.Find(r.label);
  // Roles of the final labels: specks and what touches the edge count for nothing; of the
  // rest, filled components never vote, large thin ones only in place of text.
  const int tallest = mask.height / kLargeHeightShare, widest = mask.width / kLargeWidthShare;
  std::vector<char> counted(static_cast<size_t>(labels), 0);
  for (int label = 0; label < labels; ++label) {
    if (!forest.Alive(label)) continue;
    const BoxCollector::Box& b = collector.BoxOf(label);
    const bool edge =
        b.left == 0 || b.top == 0 || b.right == mask.width - 1 || b.bottom == mask.height - 1;
    counted[static_cast<size_t>(label)] = !edge && collector.PixelsOf(label) > kSpeckPixels;
  }
  const std::vector<long long> thick = ThickPixels(mask, runs, counted, labels);
  std::vector<char> votes(static_cast<size_t>(labels), 0), thinLarge(votes);
  long long small = 0;
  for (int label = 0; label < labels; ++label) {
    if (!counted[static_cast<size_t>(label)]) continue;
    const BoxCollector::Box& b = collector.BoxOf(label);
    const long long pixels = collector.PixelsOf(label);
    census.content += pixels;
    if (thick[static_cast<size_t>(label)] * kThinShare > pixels) continue;
    const bool large = b.bottom - b.top + 1 > tallest || b.right - b.left + 1 > widest;
    (large ? thinLarge : votes)[static_cast<size_t>(label)] = 1;
    if (!large) small += pixels;
  }
  if (small < leastVoting) {
    census.linesOnly = true;
    votes = thinLarge;
  } else if (allThin) {
    for (size_t label = 0; label < votes.size(); ++label) votes[label] |= thinLarge[label];
  }
  for (int label = 0; label < labels; ++label) {
    if (!votes[static_cast<size_t>(label)]) continue;
    census.voting += collector.PixelsOf(label);
    ++census.votingComponents;
  }
  // Clear what does not vote.
  for (const RunCensus::Run& r : runs) {
    if (votes[static_cast<size_t>(r.label)]) continue;
    std::fill(mask.rows[static_cast<size_t>(r.y)] + r.xl,
              mask.rows[static_cast<size_t>(r.y)] + r.xr + 1, 1);
  }
  return census;
}

}  // namespace vorlane::detail
