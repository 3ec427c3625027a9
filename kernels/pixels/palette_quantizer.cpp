// Median-cut palette choice over the distinct colours of a colour image, and nearest-entry
// mapping of its pixels.
#include "kernels/pixels/palette_quantizer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace vorlane::detail {
namespace {

constexpr int kPaletteSize = 256;
// Largest sum of absolute channel differences (3 x 255): the bound an entry must beat.
constexpr int kNoMatchDistance = 765;

// Colour reference (red in bits 0-7, green 8-15, blue 16-23) of a blue, green, red pixel.
inline uint32_t KeyOf(const unsigned char* pixel) {
  return pixel[2] | (uint32_t{pixel[1]} << 8) | (uint32_t{pixel[0]} << 16);
}

// Channel c (0 red, 1 green, 2 blue) of a colour reference.
inline int ChannelOf(uint32_t key, int c) { return static_cast<int>((key >> (8 * c)) & 0xFF); }

// Number of set bits, without relying on a population-count instruction (the library is
// built for the baseline instruction set, where std::popcount becomes a library call).
inline uint32_t CountBits(uint64_t v) {
  v = v - ((v >> 1) & 0x5555555555555555ull);
  v = (v & 0x3333333333333333ull) + ((v >> 2) & 0x3333333333333333ull);
  v = (v + (v >> 4)) & 0x0F0F0F0F0F0F0F0Full;
  return static_cast<uint32_t>((v * 0x0101010101010101ull) >> 56);
}

// The set of distinct colours of an image as a bitmap over all 2^24 colour references, with
// the rank of each colour among them in ascending order. Each 64-bit word of the bitmap sits
// beside the count of members before it, so that a rank costs one memory access.
class ColourSet {
 public:
  explicit ColourSet(const PixelView& src) : m_words(kWords) {
    for (int y = 0; y < src.height; ++y) {
      const unsigned char* p = src.rows[y];
      for (int x = 0; x < src.width; ++x, p += 4) {
        const uint32_t key = KeyOf(p);
        m_words[key >> 6].bits |= uint64_t{1} << (key & 63);
      }
    }
    uint32_t total = 0;
    for (Word& word : m_words) {
      word.before = total;
      total += CountBits(word.bits);
    }
    m_count = total;
  }

  uint32_t Count() const { return m_count; }

  // Position of key (a member) among the members in ascending order.
  uint32_t Rank(uint32_t key) const {
    const Word& word = m_words[key >> 6];
    return word.before + CountBits(word.bits & ((uint64_t{1} << (key & 63)) - 1));
  }

  // Calls fn(key) for every member in ascending order.
  template <class Fn>
  void ForEach(Fn fn) const {
    for (size_t w = 0; w < kWords; ++w) {
      for (uint64_t bits = m_words[w].bits; bits != 0; bits &= bits - 1) {
        fn(static_cast<uint32_t>(w * 64 + static_cast<size_t>(std::countr_zero(bits))));
      }
    }
  }

 private:
  static constexpr size_t kWords = (size_t{1} << 24) / 64;
  struct Word {
    uint64_t bits = 0;
    uint32_t before = 0;
  };
  std::vector<Word> m_words;
  uint32_t m_count = 0;
};

struct WeightedColour {
  uint32_t key;
  uint32_t count;  // pixels of this colour
};

// A box of the median cut: the colours [begin, end) of the colour array with their
// statistics. Pixel counts stay below 2^31 and channel values below 256, so the sums of
// values (below 2^39) and of squared values (below 2^47) fit in 64 bits.
struct Box {
  size_t begin = 0;
  size_t end = 0;
  uint64_t count = 0;
  std::array<uint64_t, 3> sum{};
  double error = 0.0;  // pixel-weighted squared error over all channels
  int axis = -1;       // channel with a spread and the largest squared error; -1: one colour
};

Box MakeBox(const std::vector<WeightedColour>& colours, size_t begin, size_t end) {
  Box box;
  box.begin = begin;
  box.end = end;
  std::array<uint64_t, 3> squares{};
  std::array<int, 3> low{255, 255, 255};
  std::array<int, 3> high{0, 0, 0};
  for (size_t i = begin; i < end; ++i) {
    const WeightedColour& c = colours[i];
    box.count += c.count;
    for (int ch = 0; ch < 3; ++ch) {
      const uint64_t v = static_cast<uint64_t>(ChannelOf(c.key, ch));
      box.sum[ch] += v * c.count;
      squares[ch] += v * v * c.count;
      low[ch] = std::min(low[ch], static_cast<int>(v));
      high[ch] = std::max(high[ch], static_cast<int>(v));
    }
  }
  double best = -1.0;
  for (int ch = 0; ch < 3; ++ch) {
    const double mean = static_cast<double>(box.sum[ch]) / static_cast<double>(box.count);
    const double error =
        std::max(0.0, static_cast<double>(squares[ch]) - mean * static_cast<double>(box.sum[ch]));
    box.error += error;
    // Only a channel with a spread can be split; among those the one with most error.
    if (low[ch] < high[ch] && error > best) {
      best = error;
      box.axis = ch;
    }
  }
  return box;
}

// Splits box on its axis at the pixel-weighted median value v (values <= v go first),
// moving v below the largest value when it falls there so that both halves are non-empty.
// Returns the index where the second half begins.
size_t SplitBox(std::vector<WeightedColour>& colours, const Box& box) {
  const int axis = box.axis;
  std::array<uint64_t, 256> histogram{};
  int high = 0;
  for (size_t i = box.begin; i < box.end; ++i) {
    const int v = ChannelOf(colours[i].key, axis);
    histogram[v] += colours[i].count;
    high = std::max(high, v);
  }
  const uint64_t half = (box.count + 1) / 2;
  uint64_t cumulative = 0;
  int median = 0;
  while (true) {
    cumulative += histogram[median];
    if (cumulative >= half) break;
    ++median;
  }
  if (median == high) {
    do {
      --median;
    } while (histogram[median] == 0);
  }
  const auto first = colours.begin() + static_cast<std::ptrdiff_t>(box.begin);
  const auto last = colours.begin() + static_cast<std::ptrdiff_t>(box.end);
  const auto middle = std::partition(
      first, last, [&](const WeightedColour& c) { return ChannelOf(c.key, axis) <= median; });
  return static_cast<size_t>(middle - colours.begin());
}

// Up to 256 palette colours for the weighted colours, in ascending order.
std::vector<DWORD> MedianCut(std::vector<WeightedColour>& colours) {
  std::vector<Box> boxes;
  boxes.push_back(MakeBox(colours, 0, colours.size()));
  while (boxes.size() < kPaletteSize) {
    int pick = -1;
    for (size_t i = 0; i < boxes.size(); ++i) {
      if (boxes[i].axis >= 0 && (pick < 0 || boxes[i].error > boxes[pick].error)) {
        pick = static_cast<int>(i);
      }
    }
    if (pick < 0) break;  // every box holds a single colour
    const Box box = boxes[pick];
    const size_t middle = SplitBox(colours, box);
    boxes[pick] = MakeBox(colours, box.begin, middle);
    boxes.push_back(MakeBox(colours, middle, box.end));
  }
  std::vector<DWORD> entries;
  entries.reserve(boxes.size());
  for (const Box& box : boxes) {
    DWORD entry = 0;
    for (int ch = 0; ch < 3; ++ch) {
      const uint64_t mean = (box.sum[ch] + box.count / 2) / box.count;
      entry |= static_cast<DWORD>(mean) << (8 * ch);
    }
    entries.push_back(entry);
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

// Nearest-entry search over a 256-entry palette. Entries are visited in order of red
// outward from the requested red; a direction stops once the red difference alone exceeds
// the best distance found, which no entry beyond can beat or equal.
class NearestEntry {
 public:
  explicit NearestEntry(const DWORD* palette) {
    for (int i = 0; i < kPaletteSize; ++i) {
      const DWORD c = palette[i];
      m_entries[i] = {GetRValue(c), GetGValue(c), GetBValue(c), i};
    }
    std::sort(m_entries.begin(), m_entries.end(), [](const Entry& a, const Entry& b) {
      return a.red != b.red ? a.red < b.red : a.index < b.index;
    });
  }

  // Smallest sum of absolute channel differences, lowest index among equals; 0 when none
  // comes below 765.
  int Find(int red, int green, int blue) const {
    int best = 0;
    int bestDistance = kNoMatchDistance;
    const auto consider = [&](const Entry& e) {
      const int d = std::abs(red - e.red) + std::abs(green - e.green) + std::abs(blue - e.blue);
      if (d < bestDistance || (d == bestDistance && d < kNoMatchDistance && e.index < best)) {
        best = e.index;
        bestDistance = d;
      }
    };
    const auto start = std::lower_bound(m_entries.begin(), m_entries.end(), red,
                                        [](const Entry& e, int r) { return e.red < r; });
    for (auto it = start; it != m_entries.end() && it->red - red <= bestDistance; ++it) {
      consider(*it);
    }
    for (auto it = start; it != m_entries.begin() && red - (it - 1)->red <= bestDistance;) {
      --it;
      consider(*it);
    }
    return best;
  }

 private:
  struct Entry {
    int red;
    int green;
    int blue;
    int index;
  };
  std::array<Entry, kPaletteSize> m_entries{};
};

}  // namespace

void QuantizeToPalette(const PixelView& src, const PixelView& dst, DWORD* palette,
                       const RowProgress& progress) {
  const ColourSet set(src);

  // The palette: the colours themselves when they fit, else the median cut over the
  // distinct colours weighted by their pixel counts.
  std::vector<DWORD> entries;
  if (set.Count() <= kPaletteSize) {
    set.ForEach([&](uint32_t key) { entries.push_back(key); });
  } else {
    std::vector<WeightedColour> colours(set.Count());
    size_t i = 0;
    set.ForEach([&](uint32_t key) { colours[i++] = {key, 0}; });
    for (int y = 0; y < src.height; ++y) {
      const unsigned char* p = src.rows[y];
      for (int x = 0; x < src.width; ++x, p += 4) ++colours[set.Rank(KeyOf(p))].count;
    }
    entries = MedianCut(colours);
  }
  std::memset(palette, 0, kPaletteSize * sizeof(DWORD));
  std::copy(entries.begin(), entries.end(), palette);

  // Nearest entry of every distinct colour, then of every pixel.
  const NearestEntry nearest(palette);
  std::vector<unsigned char> indexOf(set.Count());
  {
    size_t i = 0;
    set.ForEach([&](uint32_t key) {
      indexOf[i++] = static_cast<unsigned char>(
          nearest.Find(ChannelOf(key, 0), ChannelOf(key, 1), ChannelOf(key, 2)));
    });
  }
  for (int y = 0; y < src.height; ++y) {
    const unsigned char* p = src.rows[y];
    unsigned char* out = dst.rows[y];
    for (int x = 0; x < src.width; ++x, p += 4) out[x] = indexOf[set.Rank(KeyOf(p))];
    if (dst.bytesPerLine > src.width) {
      std::memset(out + src.width, 0, static_cast<size_t>(dst.bytesPerLine - src.width));
    }
    if (progress) progress(y + 1);
  }
}

}  // namespace vorlane::detail
